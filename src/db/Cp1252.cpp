// SPDX-License-Identifier: GPL-3.0-or-later
// Windows-1252 to UTF-8 and back, and the folded form of names.
#include "Cp1252.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace kinscope {
namespace {

// Bytes 0x80 to 0x9F; the undefined ones keep their Latin-1 value.
constexpr char16_t kHigh[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// The folded forms of the letters among bytes 0x80 to 0x9F.
std::string_view FoldedC1(uint8_t byte) {
  switch (byte) {
    case 0x8A:  // Š
    case 0x9A:  // š
      return "s";
    case 0x8C:  // Œ
    case 0x9C:  // œ
      return "oe";
    case 0x8E:  // Ž
    case 0x9E:  // ž
      return "z";
    case 0x9F:  // Ÿ
      return "y";
    default:
      return {};
  }
}

// The folded forms of bytes 0xC0 to 0xFF, capitals and small letters alike
// (0xE0 to 0xFF are 0xC0 to 0xDF in small letters, but for ß and ÿ); empty
// for the two signs among them, × and ÷.
constexpr const char* kFoldedLetters[32] = {
    "a", "a", "a", "a", "a", "a", "ae", "c",   // À Á Â Ã Ä Å Æ Ç
    "e", "e", "e", "e", "i", "i", "i",  "i",   // È É Ê Ë Ì Í Î Ï
    "d", "n", "o", "o", "o", "o", "o",  "",    // Ð Ñ Ò Ó Ô Õ Ö ×
    "o", "u", "u", "u", "u", "y", "th", "ss",  // Ø Ù Ú Û Ü Ý Þ ß
};

std::string_view Folded(uint8_t byte) {
  if (byte >= 0x80 && byte < 0xA0) return FoldedC1(byte);
  if (byte < 0xC0) return {};
  if (byte == 0xFF) return "y";  // ÿ
  if (byte == 0xF7) return {};   // ÷
  return kFoldedLetters[(byte - 0xC0) & 0x1F];
}

// The next code point of `s` from `i` on, `i` moved past it; kNotUtf8 when
// the bytes there are not UTF-8.
char32_t DecodeUtf8(std::string_view s, size_t& i) {
  const auto byte = [&s](size_t at) { return static_cast<uint8_t>(s[at]); };
  const uint8_t lead = byte(i++);
  if (lead < 0x80) return lead;
  int more = 0;
  char32_t code = 0;
  char32_t least = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    more = 1, code = lead & 0x1Fu, least = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    more = 2, code = lead & 0x0Fu, least = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    more = 3, code = lead & 0x07u, least = 0x10000;
  } else {
    return kNotUtf8;
  }
  for (; more > 0; --more) {
    if (i >= s.size() || (byte(i) & 0xC0) != 0x80) return kNotUtf8;
    code = (code << 6) | (byte(i++) & 0x3Fu);
  }
  if (code < least || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return kNotUtf8;
  return code;
}

}  // namespace

char32_t Cp1252CodePoint(uint8_t byte) {
  return byte >= 0x80 && byte < 0xA0 ? kHigh[byte - 0x80] : char32_t{byte};
}

void AppendUtf8(std::string& out, char32_t code) {
  if (code < 0x80) {
    out.push_back(static_cast<char>(code));
  } else if (code < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (code >> 6)));
    out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
  } else if (code < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (code >> 12)));
    out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (code >> 18)));
    out.push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
  }
}

void AppendCp1252AsUtf8(std::string& out, std::string_view text) {
  if (std::none_of(text.begin(), text.end(), [](char c) { return (c & 0x80) != 0; })) {
    out.append(text);  // the common case: plain ASCII
    return;
  }
  for (char ch : text) AppendUtf8(out, Cp1252CodePoint(static_cast<uint8_t>(ch)));
}

std::string Cp1252ToUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  AppendCp1252AsUtf8(out, text);
  return out;
}

std::string Cp1252ToUtf8(const uint8_t* text, size_t max) {
  const void* end = std::memchr(text, 0, max);
  const size_t n =
      end == nullptr ? max : static_cast<size_t>(static_cast<const uint8_t*>(end) - text);
  return Cp1252ToUtf8(std::string_view(reinterpret_cast<const char*>(text), n));
}

bool Utf8ToCp1252(std::string_view utf8, std::string& out, char32_t& missing) {
  out.clear();
  missing = 0;
  for (size_t i = 0; i < utf8.size();) {
    const char32_t code = DecodeUtf8(utf8, i);
    if (code == kNotUtf8) {
      missing = kNotUtf8;
      return false;
    }
    if (code <= 0xFF && Cp1252CodePoint(static_cast<uint8_t>(code)) == code) {
      out.push_back(static_cast<char>(code));  // the byte it decodes from
      continue;
    }
    const char16_t* at = std::find(std::begin(kHigh), std::end(kHigh), code);
    if (code > 0xFFFF || at == std::end(kHigh)) {
      missing = code;
      return false;
    }
    out.push_back(static_cast<char>(0x80 + (at - std::begin(kHigh))));
  }
  return true;
}

std::string Cp1252MissingText(char32_t missing) {
  if (missing >= kNotUtf8) return "the text is not UTF-8";
  char number[16];
  std::snprintf(number, sizeof number, "U+%04X", static_cast<unsigned>(missing));
  std::string out = "\"";
  if (missing >= 0x20 && missing != 0x7F) AppendUtf8(out, missing);
  out += "\" (";
  out += number;
  out +=
      ") is not in Windows-1252, the code page of the file's texts: no text of the file can "
      "hold it";
  return out;
}

void AppendCp1252Folded(std::string& out, std::string_view text) {
  for (const char ch : text) {
    const auto byte = static_cast<uint8_t>(ch);
    if (byte >= 'A' && byte <= 'Z') {
      out.push_back(static_cast<char>(byte - 'A' + 'a'));
    } else if (const std::string_view folded = Folded(byte); !folded.empty()) {
      out.append(folded);
    } else {
      out.push_back(ch);
    }
  }
}

}  // namespace kinscope

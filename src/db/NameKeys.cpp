// SPDX-License-Identifier: GPL-3.0-or-later
// Reading, splitting and keying individuals' names.
#include "NameKeys.h"

#include <algorithm>
#include <cstring>

#include "Coding.h"
#include "RecordLayouts.h"
#include "TEVDatabase.h"

namespace kinscope {
namespace {

constexpr char16_t kBlank = u' ';
constexpr char16_t kSlash = u'/';

// A link between individual's name records: none (0) or inside the name area.
bool NameLinkSound(int32_t link, int32_t area_start, int32_t area_end) {
  return link == 0 || (link >= area_start && link <= area_end);
}

// Widens one byte with sign extension.
char16_t Widen(uint8_t byte) { return static_cast<char16_t>(byte < 0x80 ? byte : 0xff00 | byte); }

// At most capacity - 1 characters of `text`, trimmed of blanks at both
// ends when asked.
std::u16string_view PartView(std::u16string_view text, size_t capacity, bool trim) {
  text = text.substr(0, capacity == 0 ? 0 : capacity - 1);
  if (!trim) return text;
  const size_t end = text.find_last_not_of(kBlank);
  if (end == std::u16string_view::npos) return {};
  text = text.substr(0, end + 1);
  return text.substr(text.find_first_not_of(kBlank));
}

WideText Part(std::u16string_view text, size_t capacity, bool trim) {
  return WideText(PartView(text, capacity, trim));
}

}  // namespace

int ReadINameText(CTEVDatabase& db, WideText& text, uint8_t& type, int32_t offset,
                  LinkCheck check) {
  text.clear();
  type = 0;
  INameRecImage image;  // LoadINameRec clears it
  if (db.LoadINameRec(offset, image) == 0) return 0;
  if (check == LinkCheck::kOn) {
    const int32_t owner = DecodeI32(image.data(), iname::kOwnerId);
    const int32_t start = db.HeaderI32(kHdrNameAreaStart);
    const int32_t end = db.HeaderI32(kHdrNameAreaEnd);
    if (owner < 1 || owner > db.HeaderI32(kHdrIndividBound) ||
        !NameLinkSound(DecodeI32(image.data(), iname::kPrevious), start, end) ||
        !NameLinkSound(DecodeI32(image.data(), iname::kNext), start, end)) {
      return 0;
    }
  }
  WidenINameText(image, text);
  type = DecodeU8(image.data(), iname::kType);
  return 1;
}

void WidenINameText(const INameRecImage& image, WideText& text) {
  const uint8_t* from = image.data() + iname::kText;
  const void* end = std::memchr(from, 0, kINameTextMax);
  text.resize(end == nullptr ? kINameTextMax
                             : static_cast<size_t>(static_cast<const uint8_t*>(end) - from));
  for (size_t i = 0; i < text.size(); ++i) text[i] = Widen(from[i]);
}

void SplitName(std::u16string_view text, WideText& given, size_t given_capacity, WideText& surname,
               size_t surname_capacity, WideText& suffix, size_t suffix_capacity) {
  given.clear();
  surname.clear();
  suffix.clear();
  text = text.substr(0, text.find(u'\0'));
  const size_t last = text.rfind(kSlash);
  if (last == std::u16string_view::npos) {
    given = Part(text, given_capacity, false);
    return;
  }
  suffix = Part(text.substr(last + 1), suffix_capacity, true);
  const size_t first = text.find(kSlash);
  given = Part(text.substr(0, first), given_capacity, true);
  if (last > first + 1) {
    surname = Part(text.substr(first + 1, last - first - 1), surname_capacity, true);
  }
}

void TrimBlanks(WideText& text) {
  const size_t end = text.find_last_not_of(kBlank);
  if (end == WideText::npos) {
    text.clear();
    return;
  }
  text.erase(end + 1);
  text.erase(0, text.find_first_not_of(kBlank));
}

void MakeNameKey(std::u16string_view text, WideText& key, size_t capacity) {
  // The parts as SplitName makes them, as views into the text.
  std::u16string_view given;
  std::u16string_view surname;
  std::u16string_view suffix;
  text = text.substr(0, text.find(u'\0'));
  const size_t last = text.rfind(kSlash);
  if (last == std::u16string_view::npos) {
    given = PartView(text, kNameKeyCapacity, false);
  } else {
    suffix = PartView(text.substr(last + 1), kNameKeyCapacity, true);
    const size_t first = text.find(kSlash);
    given = PartView(text.substr(0, first), kNameKeyCapacity, true);
    if (last > first + 1) {
      surname = PartView(text.substr(first + 1, last - first - 1), kNameKeyCapacity, true);
    }
  }
  key.assign(surname);
  key += u", ";
  key += given;
  if (!suffix.empty()) {
    if (given.size() > 1) key += kBlank;
    key += suffix;
  }
  key.resize(std::min(key.size(), capacity == 0 ? 0 : capacity - 1));
}

void FoldNameKey(std::u16string_view key, std::string& out) {
  out.clear();
  for (const char16_t c : key) {
    if (c == 0) break;
    const auto low = static_cast<char>(c & 0xff);
    out.push_back(low >= 'A' && low <= 'Z' ? static_cast<char>(low - 'A' + 'a') : low);
  }
}

int32_t CompareNameKey(CTEVDatabase& db, std::u16string_view key, int32_t offset, LinkCheck check) {
  WideText text;
  uint8_t type = 0;
  if (ReadINameText(db, text, type, offset, check) == 0) return -1;
  WideText record_key;
  MakeNameKey(text, record_key, kNameKeyCapacity);
  if (key.empty() || key.front() == 0) return 1;
  const int32_t order = CUnicodeCompareDefault::Instance().Compare(key, record_key, 0);
  return order < 0 ? 2 : order > 0 ? 1 : 0;
}

}  // namespace kinscope

// Text helpers of the dump commands.
#include <cstring>

#include "Dump.h"

namespace kinscope::dump {

std::string Latin1(const std::string& bytes) {
  std::string out;
  for (char ch : bytes) {
    const auto c = static_cast<unsigned char>(ch);
    if (c < 0x80) {
      out.push_back(static_cast<char>(c));
    } else {
      out.push_back(static_cast<char>(0xc0 | (c >> 6)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3f)));
    }
  }
  return out;
}

std::string Latin1(const uint8_t* text, size_t max) {
  const void* end = std::memchr(text, 0, max);
  const size_t n = end == nullptr ? max : static_cast<size_t>(static_cast<const uint8_t*>(end) - text);
  return Latin1(std::string(reinterpret_cast<const char*>(text), n));
}

std::string Hex(const uint8_t* bytes, size_t count) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string out;
  for (size_t i = 0; i < count; ++i) {
    if (i > 0) out.push_back(' ');
    out.push_back(kDigits[bytes[i] >> 4]);
    out.push_back(kDigits[bytes[i] & 15]);
  }
  return out;
}

}  // namespace kinscope::dump

// SPDX-License-Identifier: GPL-3.0-or-later
// The file's texts as Unicode and back, and the sound code of surnames.
#include <gtest/gtest.h>

#include <string>

#include "Cp1252.h"
#include "NameFind.h"

using namespace kinscope;

namespace {

// Every byte, the five undefined ones included, decodes to one character
// that encodes back to that byte.
TEST(Cp1252, EveryByteComesBack) {
  for (int b = 0; b < 256; ++b) {
    const std::string byte(1, static_cast<char>(b));
    std::string back;
    char32_t missing = 0;
    EXPECT_TRUE(Utf8ToCp1252(Cp1252ToUtf8(byte), back, missing)) << b;
    EXPECT_EQ(back, byte) << b;
  }
}

// A character the code page has no byte for, and bytes that are not UTF-8,
// are refused and named; the bytes before them are kept.
TEST(Cp1252, RefusesWhatItCannotHold) {
  const struct {
    const char* utf8;
    char32_t missing;
    const char* before;
  } rows[] = {
      {"\xC5\x81ukasz", 0x141, ""},                    // Ł
      {"M\xC3\xBCller \xC2\x80", 0x80, "M\xFCller "},  // U+0080: its byte is the euro sign
      {"Jo \xF0\x9F\x98\x80", 0x1F600, "Jo "},         // beyond 16 bits
      {"Ann \xC3", kNotUtf8, "Ann "},                  // cut short
      {"\xC0\xAF", kNotUtf8, ""},                      // overlong
      {"\xED\xA0\x80", kNotUtf8, ""},                  // a surrogate
      {"\xF4\x90\x80\x80", kNotUtf8, ""},              // beyond U+10FFFF
      {"M\xFCller", kNotUtf8, "M"},                    // Latin-1, not UTF-8
  };
  for (const auto& row : rows) {
    std::string bytes;
    char32_t missing = 0;
    EXPECT_FALSE(Utf8ToCp1252(row.utf8, bytes, missing)) << row.utf8;
    EXPECT_EQ(missing, row.missing) << row.utf8;
    EXPECT_EQ(bytes, row.before) << row.utf8;
  }
  EXPECT_EQ(Cp1252MissingText(0x141).substr(0, 13), "\"\xC5\x81\" (U+0141)");
  EXPECT_EQ(Cp1252MissingText(kNotUtf8), "the text is not UTF-8");
}

TEST(Soundex, AmericanCodes) {
  const std::pair<const char*, const char*> rows[] = {
      {"smith", "S530"},    {"smyth", "S530"},
      {"schmidt", "S530"},  {"robert", "R163"},
      {"rupert", "R163"},   {"rubin", "R150"},
      {"ashcraft", "A261"}, {"tymczak", "T522"},
      {"pfister", "P236"},  {"honeyman", "H555"},
      {"lee", "L000"},      {"o'brien", "O165"},
      {"zizek", "Z220"},    {"", ""},
      {"1850 -", ""},
  };
  for (const auto& [surname, code] : rows) EXPECT_EQ(SoundexCode(surname), code) << surname;
}

}  // namespace

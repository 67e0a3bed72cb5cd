// SPDX-License-Identifier: GPL-3.0-or-later
// The text buffer: capacity steps, assignment, joining, comparison, raw
// storage access and the formatted assign.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <new>
#include <string>
#include <vector>

#include "TextBuffer.h"

using kinscope::FormatArg;
using kinscope::TextBuffer;

namespace {

// The text as its length field reads it, zero bytes included.
std::string Str(const TextBuffer& b) {
  return std::string(b.Text(), static_cast<size_t>(b.Length()));
}

void ExpectBuffer(const TextBuffer& b, const std::string& text, int32_t capacity) {
  EXPECT_EQ(Str(b), text);
  EXPECT_EQ(b.Text()[b.Length()], '\0');
  EXPECT_EQ(b.Capacity(), capacity);
  EXPECT_TRUE(b.HasStorage());
}

std::string X(int n) { return std::string(static_cast<size_t>(n), 'x'); }
TextBuffer WithCapacity(int32_t capacity) {  // "abc" in storage of the given rule capacity
  TextBuffer b("abc");
  b.Reserve(capacity);
  return b;
}
template <typename... Args>
std::string Fmt(const char* format, const Args&... args) {
  TextBuffer b;
  b.Format(format, args...);
  return Str(b);
}

TEST(TextBufferTest, EmptyWithoutStorage) {
  const TextBuffer b;
  EXPECT_FALSE(b.HasStorage());
  EXPECT_EQ(b.Length(), 0);
  EXPECT_EQ(b.Capacity(), 0);
  EXPECT_STREQ(b.Text(), "");
  EXPECT_FALSE(TextBuffer(b).HasStorage());
}

TEST(TextBufferTest, CapacityStepsOfTextAndBytes) {
  const struct {
    int length;
    int32_t capacity;
  } cases[] = {{0, 11}, {11, 11}, {12, 27}, {27, 27}, {28, 59}, {59, 59}, {60, 123}, {124, 251}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.length);
    const std::string text = X(c.length);
    ExpectBuffer(TextBuffer(text.c_str()), text, c.capacity);
    ExpectBuffer(TextBuffer(text.data(), c.length), text, c.capacity);
    ExpectBuffer(TextBuffer(TextBuffer(text.c_str())), text, c.capacity);
  }
  ExpectBuffer(TextBuffer("ab\0cd", 5), std::string("ab\0cd", 5), 11);
  ExpectBuffer(TextBuffer("abc", -1), "", 11);
  ExpectBuffer(TextBuffer(nullptr, 4), "", 11);
}

TEST(TextBufferTest, RepeatedCharacter) {
  const struct {
    int32_t count;
    int32_t capacity;
  } cases[] = {{1, 3}, {0, 11}, {-5, 11}, {2, 11}, {11, 11}, {12, 27}, {28, 59}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.count);
    const std::string want(static_cast<size_t>(std::max(c.count, 0)), 'z');
    ExpectBuffer(TextBuffer('z', c.count), want, c.capacity);
  }
}

TEST(TextBufferTest, AssignTextReplacesOrKeepsStorage) {
  const struct {
    TextBuffer before;
    int length;
    int32_t capacity;
  } cases[] = {
      {WithCapacity(59), 3, 11},   {WithCapacity(59), 13, 27},   {WithCapacity(59), 14, 59},
      {WithCapacity(123), 29, 59}, {WithCapacity(123), 30, 123}, {WithCapacity(27), 3, 27},
      {WithCapacity(27), 27, 27},  {WithCapacity(27), 28, 59},   {WithCapacity(11), 12, 27},
      {WithCapacity(59), 0, 11},   {TextBuffer('q', 1), 2, 3},   {TextBuffer('q', 1), 0, 11},
      {TextBuffer(), 0, 11},       {TextBuffer(), 5, 11}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.before.Capacity() << " <- " << c.length);
    TextBuffer b(c.before);
    b = X(c.length).c_str();
    ExpectBuffer(b, X(c.length), c.capacity);
  }
}

TEST(TextBufferTest, AssignTextFromOwnStorage) {
  TextBuffer shrinks(X(37).append("end").c_str());  // capacity 59: storage replaced
  shrinks = shrinks.Text() + 37;
  ExpectBuffer(shrinks, "end", 11);
  TextBuffer kept("abcdefghijklm");  // capacity 27: overlapping copy in place
  kept = kept.Text() + 2;
  ExpectBuffer(kept, "cdefghijklm", 27);
}

TEST(TextBufferTest, AssignBufferTakesItsCapacity) {
  const struct {
    TextBuffer target;
    TextBuffer source;
  } cases[] = {{WithCapacity(59), TextBuffer('q', 1)},
               {WithCapacity(11), TextBuffer(X(40).c_str())},
               {WithCapacity(27), WithCapacity(27)},
               {TextBuffer(), TextBuffer("")},
               {TextBuffer("abc"), TextBuffer("a\0b", 3)}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.source.Capacity());
    TextBuffer b(c.target);
    b = c.source;
    ExpectBuffer(b, Str(c.source), c.source.Capacity());
  }
  TextBuffer b("abc");
  const TextBuffer& itself = b;  // assigned to itself, through a second name
  b = itself;
  ExpectBuffer(b, "abc", 11);
  b = TextBuffer();
  EXPECT_FALSE(b.HasStorage());
  EXPECT_EQ(b.Capacity(), 0);
}

TEST(TextBufferTest, Concatenation) {
  const TextBuffer abc("abc");
  const struct {
    TextBuffer result;
    std::string text;
    int32_t capacity;
  } cases[] = {{abc + TextBuffer("def"), "abcdef", 11},
               {TextBuffer(X(8).c_str()) + TextBuffer("1234"), X(8) + "1234", 27},
               {WithCapacity(59) + TextBuffer("d"), "abcd", 59},  // the first's capacity stays
               {abc + abc, "abcabc", 11},
               {TextBuffer() + TextBuffer(), "", 11},
               {TextBuffer() + TextBuffer("xy"), "xy", 11},
               {TextBuffer("") + TextBuffer(), "", 11},
               {TextBuffer("ab\0cd", 5) + TextBuffer("x"), "abx", 11},
               {abc + "de", "abcde", 11},
               {abc + X(9).c_str(), "abc" + X(9), 27},
               {abc + static_cast<const char*>(nullptr), "abc", 11},
               {TextBuffer() + "", "", 11},
               {'a' + TextBuffer("bc"), "abc", 3},
               {'a' + TextBuffer("bcd"), "abcd", 11},
               {'a' + TextBuffer(), "a", 3}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    ExpectBuffer(c.result, c.text, c.capacity);
  }
  EXPECT_EQ(Str(abc), "abc");
}

TEST(TextBufferTest, CompareLikeStrcmpWithUnsignedBytes) {
  const struct {
    TextBuffer b;
    const char* text;
    int sign;
  } cases[] = {{TextBuffer(), "abc", -1},       {TextBuffer(), "", 0},
               {TextBuffer(""), "", 0},         {TextBuffer("abc"), "abc", 0},
               {TextBuffer("abc"), "abd", -1},  {TextBuffer("ab"), "abc", -1},
               {TextBuffer("abc"), "ab", 1},    {TextBuffer("\x80"), "a", 1},
               {TextBuffer("a"), "\xff", -1},   {TextBuffer("\xe4"), "\xc4", 1},
               {TextBuffer("abc"), nullptr, 1}, {TextBuffer("ab\0z", 4), "ab", 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.b.Text() << " vs " << (c.text ? c.text : "(null)"));
    const int result = c.b.Compare(c.text);
    EXPECT_EQ((result > 0) - (result < 0), c.sign);
  }
}

TEST(TextBufferTest, ReserveAndSetLength) {
  TextBuffer b("abc");
  EXPECT_EQ(b.Reserve(11), b.Text());
  EXPECT_EQ(b.Capacity(), 11);
  char* p = b.Reserve(40);
  ExpectBuffer(b, "abc", 59);
  for (int i = 3; i <= 59; ++i) ASSERT_EQ(p[i], '\0') << i;
  std::memcpy(p + 3, "defg", 4);
  b.SetLength(-1);
  ExpectBuffer(b, "abcdefg", 59);
  b.SetLength(2);
  ExpectBuffer(b, "ab", 59);
  b.SetLength(-7);
  ExpectBuffer(b, "", 59);
  std::memset(b.Reserve(59), 'y', 60);  // every byte written, terminator included
  b.SetLength(-1);
  ExpectBuffer(b, std::string(59, 'y'), 59);
  b.SetLength(100);
  EXPECT_EQ(b.Length(), 59);

  TextBuffer none;
  none.SetLength(5);
  EXPECT_FALSE(none.HasStorage());
  EXPECT_STREQ(none.Reserve(0), "");
  EXPECT_EQ(none.Capacity(), 11);
}

TEST(TextBufferTest, FormatConversions) {
  const struct {
    std::string got;
    std::string want;
  } cases[] = {
      {Fmt("%02d%02d%02d", 1901, 1, 5), "19010105"},
      {Fmt("%d ", 7), "7 "},
      {Fmt("%ld", 5), "5d"},
      {Fmt("%lu|%hx", 5, 255), "5u|ff"},
      {Fmt("no conversions"), "no conversions"},
      {Fmt("100%", 1), "100%"},
      {Fmt("%d%-5", 1, 2), "1%-5"},
      {Fmt("%d|%x|%X|%o|%u", INT32_MIN, -1, -255, -1, -1),
       "-2147483648|ffffffff|FFFFFF01|37777777777|4294967295"},
      {Fmt("%c%c|a%cb", 'O', 'K', 0), "OK|ab"},
      {Fmt("[%10s][%-6.2s][%.0s]", "abc", "abc", "abc"), "[       abc][ab    ][]"},
      {Fmt("%.3f %e %G", 3.14159, 12345.678, 0.000012), "3.142 1.234568e+04 1.2E-05"},
      {Fmt("[%*d][%-*d][%.*f]", 4, 7, 3, 8, 2, 1.5), "[   7][8  ][1.50]"},
      {Fmt("[%*d]", -3, 9), "[9  ]"},
      {Fmt("%#d|%05s|%.3c|%+u", 4, "ab", 'x', 6), "4|   ab|x|6"},  // undefined combinations dropped
      {Fmt("%nd", 3), "3"},
      {Fmt("%s!", TextBuffer("hi")), "hi!"},
      // Mismatched and missing arguments.
      {Fmt("%d|%d|%d|%d", 2.9, -2.9, 1e20, std::nan("")), "2|-2|2147483647|0"},
      {Fmt("%.1f|%d|%s|%s", 2, "text", 42, static_cast<const char*>(nullptr)), "2.0|0||"},
      {Fmt("%x|%u", int64_t{0x100000010}, 4294967295u), "10|4294967295"},
      {Fmt("%d-%s-%.2f-%c."), "0--0.00-."}};
  for (const auto& c : cases) EXPECT_EQ(c.got, c.want);
}

TEST(TextBufferTest, FormatCapacity) {
  const struct {
    TextBuffer before;
    const char* format;
    int value;
    std::string want;
    int32_t capacity;
  } cases[] = {{TextBuffer(), "%d", 7, "7", 11},
               {TextBuffer(), "%011d", 1, "00000000001", 11},
               {TextBuffer(), "%012d", 1, "000000000001", 27},
               {TextBuffer(), "abcdefghijkl", 0, "abcdefghijkl", 27},
               {WithCapacity(59), "%d", 7, "7", 59},  // never shrinks
               {TextBuffer('q', 1), "%d", 42, "42", 3},
               {TextBuffer('q', 1), "%d", 4242, "4242", 11}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.format);
    TextBuffer b(c.before);
    b.Format(c.format, c.value);
    ExpectBuffer(b, c.want, c.capacity);
  }
  TextBuffer self("abc");
  self.Format("%s-%s", self, self.Text());
  ExpectBuffer(self, "abc-abc", 11);
}

TEST(TextBufferTest, WideConversionsFitTheirStorage) {
  TextBuffer b;
  b.Format("%300d", 7);
  ExpectBuffer(b, std::string(299, ' ') + "7", 507);
  TextBuffer f;
  f.Format("%.200f", 1.0);
  ExpectBuffer(f, "1." + std::string(200, '0'), 251);
  TextBuffer c("ab");
  c.Format("%s%500s|%-80.70f", "head", "x", 0.5);
  ASSERT_EQ(c.Length(), 4 + 500 + 1 + 80);
  EXPECT_EQ(Str(c).substr(0, 6), "head  ");
  EXPECT_EQ(Str(c).substr(503, 5), "x|0.5");
  EXPECT_EQ(c.Capacity(), 1019);

  std::string format;
  std::string want;
  std::vector<FormatArg> args;
  for (int i = 0; i < 60; ++i) {
    format += "[%4d]";
    const std::string digits = std::to_string(i < 50 ? i * 37 : 0);  // the last ten are missing
    want += "[" + std::string(4 - digits.size(), ' ') + digits + "]";
    if (i < 50) args.emplace_back(i * 37);
  }
  TextBuffer many;
  many.FormatList(format.c_str(), args.data(), args.size());
  ExpectBuffer(many, want, 507);
}

TEST(TextBufferTest, TooLongThrowsBadAlloc) {
  const std::function<void()> cases[] = {[] { TextBuffer().Reserve(INT32_MAX); },
                                         [] { TextBuffer('x', INT32_MAX); },
                                         [] { TextBuffer().Format("%2147483647d", 1); },
                                         [] { TextBuffer().Format("%.2147483647f", 1.0); }};
  for (const auto& run : cases) EXPECT_THROW(run(), std::bad_alloc);
}

}  // namespace

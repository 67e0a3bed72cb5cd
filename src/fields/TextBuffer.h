// SPDX-License-Identifier: GPL-3.0-or-later
// TextBuffer: the program's own growable 8-bit text.
//
// An owned, zero-terminated run of 8-bit characters with its length and
// capacity. The date code composes its display texts and sort keys with it,
// and the identical-name re-ordering keeps and compares its name texts in it.
//
// Capacity rule: for a needed size n (length + 1) the allocation is the
// smallest 16 * 2^k - 4 (k >= 0) that holds n -- 12, 28, 60, 124, 252, ... --
// and the capacity is one less: 11, 27, 59, 123, 251, ... A text of one
// repeated character of count 1 gets capacity 3 instead. A buffer without
// storage has length and capacity 0 and reads as the empty text; every
// buffer with storage has storage[length] == 0 and length <= capacity.
//
// A failed allocation, or a text that would not fit a signed 32-bit length
// (the largest capacity is 2^31 - 5), throws std::bad_alloc; the program
// then ends with exit status 5 (kOutOfMemoryStatus), which its top level
// (the main window, the re-ordering) sees to.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <type_traits>

namespace kinscope {

// The program's exit status when a text buffer cannot be allocated.
constexpr int kOutOfMemoryStatus = 5;

class TextBuffer;

// One argument of TextBuffer::Format: a 32-bit integer, a double or a text.
// A conversion reads the argument as the kind it needs, so a mismatch never
// reaches the C library: integers and doubles convert by value (a double is
// truncated toward zero and clamped to the 32-bit range, NaN reads as 0), a
// text read as a number is 0, a number read as a text is the empty text.
class FormatArg {
 public:
  enum class Kind { kInteger, kDouble, kText };

  // The integer 0: what a missing argument formats as.
  FormatArg() = default;
  // Integers of any width are taken modulo 2^32, the way a 32-bit
  // conversion reads them (so 0xFFFFFFFFu formats with %x as ffffffff).
  template <typename T, std::enable_if_t<std::is_integral_v<T>, int> = 0>
  explicit FormatArg(T value) : integer_(static_cast<int32_t>(static_cast<uint32_t>(value))) {}
  template <typename T, std::enable_if_t<std::is_floating_point_v<T>, int> = 0>
  explicit FormatArg(T value) : kind_(Kind::kDouble), real_(static_cast<double>(value)) {}
  // A null text reads as the empty text.
  explicit FormatArg(const char* text);
  // The buffer's text; the buffer must outlive the Format call.
  explicit FormatArg(const TextBuffer& buffer);

  Kind kind() const { return kind_; }
  int32_t AsInteger() const;
  double AsDouble() const;
  const char* AsText() const;

 private:
  Kind kind_ = Kind::kInteger;
  int32_t integer_ = 0;
  double real_ = 0.0;
  const char* text_ = nullptr;
};

class TextBuffer {
 public:
  // Empty, without storage: length 0, capacity 0.
  TextBuffer() = default;
  // Same length and capacity as `other`; a copy of a buffer without storage
  // has no storage either.
  TextBuffer(const TextBuffer& other);
  // `count` copies of `c`: capacity 3 when count is 1, else by the capacity
  // rule for count + 1. A count of 0 or less gives the empty text with
  // capacity 11.
  TextBuffer(char c, int32_t count);
  // A copy of the zero-terminated `text` (null reads as empty).
  explicit TextBuffer(const char* text);
  // The `count` bytes at `bytes`, zero bytes included, then terminated.
  // A null `bytes` or a negative count gives the empty text.
  TextBuffer(const char* bytes, int32_t count);
  ~TextBuffer();

  // Takes the other's length and text; the storage is replaced by one of the
  // other's capacity when the capacities differ (std::bad_alloc when that
  // allocation fails). Assigning a buffer without storage frees the storage.
  TextBuffer& operator=(const TextBuffer& other);
  // Takes a zero-terminated text (null reads as empty), which may lie inside
  // this buffer's own storage. The storage is replaced, sized by the capacity
  // rule, when the text is empty, longer than the capacity, or shorter than
  // capacity / 4 while the capacity exceeds 27; otherwise it is kept.
  TextBuffer& operator=(const char* text);

  int32_t Length() const { return length_; }
  int32_t Capacity() const { return capacity_; }
  bool HasStorage() const { return storage_ != nullptr; }
  // The text with its terminator; a shared empty text when there is no
  // storage. Never null.
  const char* Text() const;

  // As strcmp on the two texts with bytes compared unsigned: negative, zero
  // or positive. No storage and a null `text` both read as the empty text.
  int Compare(const char* text) const;

  // Makes room for a length of `n`: when the capacity is below n, or there is
  // no storage at all, new zero-filled storage by the capacity rule for n + 1
  // receives the old text. Returns the storage (capacity + 1 writable
  // characters), terminated at the length.
  char* Reserve(int32_t n);
  // Position -1: the length becomes that of the zero-terminated text in the
  // storage (at most the capacity; a missing terminator is restored there).
  // Otherwise the length becomes the position, clamped to 0..capacity, and a
  // 0 is written there. Without storage nothing changes.
  void SetLength(int32_t position);

  // Formatted assign with a conversion set of its own. Outside a conversion
  // every character is literal; there is no escape for '%'. A conversion
  // runs from '%' to the first of "scgeGEfdxXolu" after it:
  //   d, l       32-bit integer, decimal ("%ld" ends at the l; the d is text)
  //   o u x X    32-bit integer read as unsigned
  //   c          32-bit integer as one character
  //   e E f g G  double
  //   s          zero-terminated text
  // Between the '%' and that character come the flags "-+ #0", a width and
  // a precision, each digits or '*' (which takes the next argument as an
  // integer, printf-style); any other characters there (length modifiers and
  // the like) are ignored, and flags or a precision the C library does not
  // define for the conversion are dropped. Each conversion is then formatted
  // by snprintf with its argument. A '%' with no conversion character after
  // it is copied as text with the rest of the format. Missing arguments
  // format as 0 (the empty text for s); extra arguments are ignored. After
  // each conversion the length is taken from the terminator, so "%c" with 0
  // adds nothing.
  //
  // Growth: the text is composed in storage of the buffer's capacity (11
  // when it has none). Before each run of literal text and each conversion
  // is written, its exact length is known (snprintf is asked first), and
  // only when it does not fit does the capacity grow, to the capacity rule
  // for the new length + 1. Format never shrinks the capacity, and no width
  // or precision can write past the storage. A conversion too long for the
  // largest capacity throws std::bad_alloc.
  //
  // The arguments may refer to this buffer's own text.
  template <typename... Args>
  TextBuffer& Format(const char* format, const Args&... args) {
    return FormatList(format, {FormatArg(args)...});
  }
  TextBuffer& FormatList(const char* format, std::initializer_list<FormatArg> args) {
    return FormatList(format, args.begin(), args.size());
  }
  TextBuffer& FormatList(const char* format, const FormatArg* args, size_t count);

  friend TextBuffer operator+(const TextBuffer& first, const TextBuffer& second);
  friend TextBuffer operator+(const TextBuffer& first, const char* second);
  friend TextBuffer operator+(char first, const TextBuffer& second);

 private:
  // Copies `count` bytes into new storage sized by the capacity rule.
  void Init(const char* bytes, size_t count);
  // Reserve for the length plus `extra` more characters.
  void Grow(int64_t extra);
  void Append(const char* bytes, size_t count);
  // The first text followed by the zero-terminated second, which has
  // `second_length` in its length field: built in `first`, a copy of the
  // left operand, with room reserved for both lengths.
  static TextBuffer Joined(TextBuffer first, const char* second, int64_t second_length);

  char* storage_ = nullptr;
  int32_t length_ = 0;
  int32_t capacity_ = 0;
};

inline FormatArg::FormatArg(const char* text) : kind_(Kind::kText), text_(text) {}
inline FormatArg::FormatArg(const TextBuffer& buffer) : kind_(Kind::kText), text_(buffer.Text()) {}

}  // namespace kinscope

// SPDX-License-Identifier: GPL-3.0-or-later
// The text buffer: storage by the capacity rule, assignment, joining,
// comparison and the formatted assign.
#include "TextBuffer.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <utility>

namespace kinscope {
namespace {

constexpr int32_t kFirstCapacity = 11;
constexpr int32_t kRepeatedOneCapacity = 3;
// The largest allocation of the rule that a signed 32-bit size holds is
// 2^31 - 4; its capacity is one less.
constexpr int32_t kMaxCapacity = INT32_MAX - 4;

const char kEmptyText[1] = "";

[[noreturn]] void OutOfMemory() { throw std::bad_alloc(); }

// The capacity for a needed size (length + 1): the smallest allocation
// 16 * 2^k - 4 holding it, minus one.
int32_t CapacityFor(int64_t needed) {
  int64_t allocation = 12;
  while (allocation < needed) allocation = 2 * allocation + 4;
  if (allocation - 1 > kMaxCapacity) OutOfMemory();
  return static_cast<int32_t>(allocation - 1);
}

// Zero-filled storage for `capacity` characters and the terminator.
char* NewStorage(int32_t capacity) {
  char* storage = new (std::nothrow) char[static_cast<size_t>(capacity) + 1]();
  if (storage == nullptr) OutOfMemory();
  return storage;
}

int32_t CheckedLength(int64_t length) {
  if (length > kMaxCapacity) OutOfMemory();
  return static_cast<int32_t>(length);
}

}  // namespace

// ---- Format arguments ---------------------------------------------------

int32_t FormatArg::AsInteger() const {
  switch (kind_) {
    case Kind::kInteger:
      return integer_;
    case Kind::kDouble:
      if (std::isnan(real_)) return 0;
      if (real_ >= 2147483647.0) return INT32_MAX;
      if (real_ <= -2147483648.0) return INT32_MIN;
      return static_cast<int32_t>(real_);
    case Kind::kText:
      break;
  }
  return 0;
}

double FormatArg::AsDouble() const {
  switch (kind_) {
    case Kind::kInteger:
      return integer_;
    case Kind::kDouble:
      return real_;
    case Kind::kText:
      break;
  }
  return 0.0;
}

const char* FormatArg::AsText() const {
  return kind_ == Kind::kText && text_ != nullptr ? text_ : kEmptyText;
}

// ---- Construction and assignment ----------------------------------------

TextBuffer::TextBuffer(const TextBuffer& other) {
  if (other.storage_ == nullptr) return;
  storage_ = NewStorage(other.capacity_);
  capacity_ = other.capacity_;
  length_ = other.length_;
  std::memcpy(storage_, other.storage_, static_cast<size_t>(length_) + 1);
}

TextBuffer::TextBuffer(char c, int32_t count) {
  if (count < 0) count = 0;
  capacity_ = count == 1 ? kRepeatedOneCapacity : CapacityFor(int64_t{count} + 1);
  storage_ = NewStorage(capacity_);
  std::memset(storage_, c, static_cast<size_t>(count));
  length_ = count;
}

TextBuffer::TextBuffer(const char* text) { Init(text, text == nullptr ? 0 : std::strlen(text)); }

TextBuffer::TextBuffer(const char* bytes, int32_t count) {
  Init(bytes, bytes == nullptr || count < 0 ? 0 : static_cast<size_t>(count));
}

void TextBuffer::Init(const char* bytes, size_t count) {
  if (count > static_cast<size_t>(kMaxCapacity)) OutOfMemory();
  length_ = static_cast<int32_t>(count);
  capacity_ = CapacityFor(int64_t{length_} + 1);
  storage_ = NewStorage(capacity_);
  if (count > 0) std::memcpy(storage_, bytes, count);
}

TextBuffer::~TextBuffer() {
  delete[] storage_;
  storage_ = nullptr;
  length_ = 0;
  capacity_ = 0;
}

TextBuffer& TextBuffer::operator=(const TextBuffer& other) {
  if (this == &other) return *this;
  if (other.storage_ == nullptr) {
    delete[] storage_;
    storage_ = nullptr;
    length_ = 0;
    capacity_ = 0;
    return *this;
  }
  if (storage_ == nullptr || capacity_ != other.capacity_) {
    char* fresh = NewStorage(other.capacity_);
    delete[] storage_;
    storage_ = fresh;
    capacity_ = other.capacity_;
  }
  length_ = other.length_;
  std::memcpy(storage_, other.storage_, static_cast<size_t>(length_) + 1);
  return *this;
}

TextBuffer& TextBuffer::operator=(const char* text) {
  if (text == nullptr) text = kEmptyText;
  const size_t count = std::strlen(text);
  const int32_t length = CheckedLength(static_cast<int64_t>(count));
  if (length == 0 || length > capacity_ || (length < capacity_ / 4 && capacity_ > 27)) {
    // The text may lie in the old storage: copy before freeing it.
    const int32_t capacity = CapacityFor(int64_t{length} + 1);
    char* fresh = NewStorage(capacity);
    std::memcpy(fresh, text, count + 1);
    delete[] storage_;
    storage_ = fresh;
    capacity_ = capacity;
  } else {
    std::memmove(storage_, text, count + 1);
  }
  length_ = length;
  return *this;
}

// ---- Reading -------------------------------------------------------------

const char* TextBuffer::Text() const { return storage_ != nullptr ? storage_ : kEmptyText; }

int TextBuffer::Compare(const char* text) const {
  const auto* a = reinterpret_cast<const unsigned char*>(Text());
  const auto* b = reinterpret_cast<const unsigned char*>(text != nullptr ? text : kEmptyText);
  while (*a != 0 && *a == *b) {
    ++a;
    ++b;
  }
  return int{*a} - int{*b};
}

// ---- Raw storage ---------------------------------------------------------

char* TextBuffer::Reserve(int32_t n) {
  if (n < 0) n = 0;
  if (storage_ == nullptr || capacity_ < n) {
    const int32_t capacity = CapacityFor(int64_t{n} + 1);
    char* fresh = NewStorage(capacity);
    if (storage_ != nullptr) std::memcpy(fresh, storage_, static_cast<size_t>(length_));
    delete[] storage_;
    storage_ = fresh;
    capacity_ = capacity;
  }
  storage_[length_] = 0;
  return storage_;
}

void TextBuffer::SetLength(int32_t position) {
  if (storage_ == nullptr) return;
  if (position == -1) {
    // The caller may have written all capacity + 1 characters.
    const void* zero = std::memchr(storage_, 0, static_cast<size_t>(capacity_));
    position = zero == nullptr ? capacity_
                               : static_cast<int32_t>(static_cast<const char*>(zero) - storage_);
  } else if (position < 0) {
    position = 0;
  } else if (position > capacity_) {
    position = capacity_;
  }
  length_ = position;
  storage_[length_] = 0;
}

void TextBuffer::Grow(int64_t extra) { Reserve(CheckedLength(int64_t{length_} + extra)); }

void TextBuffer::Append(const char* bytes, size_t count) {
  Grow(static_cast<int64_t>(count));
  std::memcpy(storage_ + length_, bytes, count);
  length_ += static_cast<int32_t>(count);
  storage_[length_] = 0;
}

// ---- Joining -------------------------------------------------------------

TextBuffer TextBuffer::Joined(TextBuffer first, const char* second, int64_t second_length) {
  char* text = first.Reserve(CheckedLength(int64_t{first.length_} + second_length));
  // Appended at the first text's terminator, as strcat does; a first text
  // holding zero bytes therefore ends at its first one.
  std::strcpy(text + std::strlen(text), second);
  first.SetLength(-1);
  return first;
}

TextBuffer operator+(const TextBuffer& first, const TextBuffer& second) {
  return TextBuffer::Joined(first, second.Text(), second.length_);
}

TextBuffer operator+(const TextBuffer& first, const char* second) {
  if (second == nullptr) second = kEmptyText;
  return TextBuffer::Joined(first, second, static_cast<int64_t>(std::strlen(second)));
}

TextBuffer operator+(char first, const TextBuffer& second) {
  return TextBuffer::Joined(TextBuffer(first, 1), second.Text(), second.length_);
}

// ---- Formatted assign ----------------------------------------------------

namespace {

constexpr const char kConversionChars[] = "scgeGEfdxXolu";

enum class ArgType { kSigned, kUnsigned, kDouble, kText };

// How one conversion character is handed to snprintf: the character it
// becomes, the argument type, and the flags and precision the C library
// defines for it.
struct Conversion {
  char printf_char;
  ArgType type;
  const char* flags;
  bool precision;
};

Conversion ConversionFor(char c) {
  switch (c) {
    case 'd':
    case 'l':
      return {'d', ArgType::kSigned, "-+ 0", true};
    case 'c':
      return {'c', ArgType::kSigned, "-", false};
    case 'o':
    case 'x':
    case 'X':
      return {c, ArgType::kUnsigned, "-#0", true};
    case 'u':
      return {'u', ArgType::kUnsigned, "-0", true};
    case 's':
      return {'s', ArgType::kText, "-", true};
    default:  // e E f g G
      return {c, ArgType::kDouble, "-+ #0", true};
  }
}

// Reads the argument list in order; past its end every argument is 0.
class ArgReader {
 public:
  ArgReader(const FormatArg* args, size_t count) : args_(args), count_(count) {}
  FormatArg Next() { return next_ < count_ ? args_[next_++] : FormatArg(); }

 private:
  const FormatArg* args_;
  size_t count_;
  size_t next_ = 0;
};

// A parsed conversion; width and precision are -1 when absent.
struct Spec {
  bool flag[128] = {};
  int64_t width = -1;
  int64_t precision = -1;
};

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Reads digits or a '*' at *p (before `end`), saturating at INT32_MAX.
int64_t ReadNumber(const char*& p, const char* end, ArgReader& args) {
  if (p < end && *p == '*') {
    ++p;
    return args.Next().AsInteger();
  }
  int64_t value = 0;
  while (p < end && IsDigit(*p)) {
    value = value * 10 + (*p - '0');
    if (value > INT32_MAX) value = INT32_MAX;
    ++p;
  }
  return value;
}

// Parses the characters between '%' and the conversion character.
Spec ParseSpec(const char* p, const char* end, ArgReader& args) {
  Spec spec;
  while (p < end && std::strchr("-+ #0", *p) != nullptr) {
    spec.flag[static_cast<unsigned char>(*p++)] = true;
  }
  if (p < end && (*p == '*' || IsDigit(*p))) {
    spec.width = ReadNumber(p, end, args);
    if (spec.width < 0) {  // a negative '*' width means left-justified
      spec.flag[static_cast<unsigned char>('-')] = true;
      spec.width = -spec.width > INT32_MAX ? INT32_MAX : -spec.width;
    }
  }
  if (p < end && *p == '.') {
    ++p;
    spec.precision = ReadNumber(p, end, args);
    if (spec.precision < 0) spec.precision = -1;  // a negative '*' precision: none
  }
  return spec;  // whatever remains before `end` is ignored
}

void AppendNumber(char*& out, int64_t value) {
  char digits[24];
  int n = 0;
  do {
    digits[n++] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value > 0);
  while (n > 0) *out++ = digits[--n];
}

// Builds the printf conversion text: "%", flags, width, precision, character.
void BuildPrintfSpec(const Spec& spec, const Conversion& conversion, char (&out)[48]) {
  char* p = out;
  *p++ = '%';
  for (const char* f = conversion.flags; *f != 0; ++f) {
    if (spec.flag[static_cast<unsigned char>(*f)]) *p++ = *f;
  }
  if (spec.width >= 0) AppendNumber(p, spec.width);
  if (conversion.precision && spec.precision >= 0) {
    *p++ = '.';
    AppendNumber(p, spec.precision);
  }
  *p++ = conversion.printf_char;
  *p = 0;
}

// snprintf of one conversion with its argument read as the type it takes.
int Print(char* out, size_t size, const char* printf_spec, ArgType type, const FormatArg& arg) {
  switch (type) {
    case ArgType::kSigned:
      return std::snprintf(out, size, printf_spec, int{arg.AsInteger()});
    case ArgType::kUnsigned:
      return std::snprintf(out, size, printf_spec,
                           static_cast<unsigned>(static_cast<uint32_t>(arg.AsInteger())));
    case ArgType::kDouble:
      return std::snprintf(out, size, printf_spec, arg.AsDouble());
    case ArgType::kText:
      break;
  }
  return std::snprintf(out, size, printf_spec, arg.AsText());
}

}  // namespace

TextBuffer& TextBuffer::FormatList(const char* format, const FormatArg* args, size_t count) {
  if (format == nullptr) format = kEmptyText;
  ArgReader reader(args, count);

  // Composed apart from the current storage, which an argument may point into.
  TextBuffer work;
  work.capacity_ = storage_ != nullptr ? capacity_ : kFirstCapacity;
  work.storage_ = NewStorage(work.capacity_);

  const char* rest = format;
  while (const char* percent = std::strchr(rest, '%')) {
    work.Append(rest, static_cast<size_t>(percent - rest));
    const char* last = std::strpbrk(percent + 1, kConversionChars);
    if (last == nullptr) {  // no conversion character follows: plain text
      rest = percent;
      break;
    }
    const Spec spec = ParseSpec(percent + 1, last, reader);
    const Conversion conversion = ConversionFor(*last);
    const FormatArg arg = reader.Next();
    rest = last + 1;

    // Widths and precisions that cannot fit the largest capacity (a text's
    // precision only limits it) are refused before snprintf pads them out.
    if (spec.width > kMaxCapacity ||
        (spec.precision > kMaxCapacity && conversion.type != ArgType::kText)) {
      OutOfMemory();
    }
    char printf_spec[48];
    BuildPrintfSpec(spec, conversion, printf_spec);
    const int needed = Print(nullptr, 0, printf_spec, conversion.type, arg);
    if (needed < 0) OutOfMemory();  // longer than snprintf can count
    work.Grow(needed);
    char* at = work.storage_ + work.length_;
    Print(at, static_cast<size_t>(needed) + 1, printf_spec, conversion.type, arg);
    work.length_ += static_cast<int32_t>(std::strlen(at));
  }
  work.Append(rest, std::strlen(rest));

  // Install the composed text; `work` takes the old storage away with it.
  std::swap(storage_, work.storage_);
  std::swap(length_, work.length_);
  std::swap(capacity_, work.capacity_);
  return *this;
}

}  // namespace kinscope

// SPDX-License-Identifier: GPL-3.0-or-later
#include "FieldText.h"

#include "Coding.h"
#include "Cp1252.h"
#include "TEVDatabase.h"
#include "TimeStamp.h"
#include "wtev5date.h"

namespace kinscope {

int64_t FieldInteger(const FieldSpec& f, const uint8_t* at) {
  switch (f.width) {
    case 1:
      return f.is_signed ? int64_t{DecodeI8(at, 0)} : int64_t{DecodeU8(at, 0)};
    case 2:
      return f.is_signed ? int64_t{DecodeI16(at, 0)} : int64_t{DecodeU16(at, 0)};
    default:
      return f.is_signed ? int64_t{DecodeI32(at, 0)} : int64_t{DecodeU32(at, 0)};
  }
}

std::string FieldCharText(uint8_t byte) { return Cp1252ToUtf8(&byte, 1); }

std::string FieldTimeText(int32_t seconds) {
  std::string text = TimeStampText(seconds);
  if (!text.empty() && text.back() == '\n') text.pop_back();
  return text;
}

std::string FieldDateText(const uint8_t* at) {
  return Cp1252ToUtf8(wtev5date(at).DateText().Text());
}

std::string FieldValueText(const FieldSpec& f, const uint8_t* at) {
  switch (f.kind) {
    case FieldKind::kInt:
      return std::to_string(FieldInteger(f, at));
    case FieldKind::kChar:
      return std::to_string(DecodeI8(at, 0)) +
             (at[0] == 0 ? std::string() : " '" + FieldCharText(at[0]) + "'");
    case FieldKind::kTime:
      return FieldTimeText(DecodeI32(at, 0));
    case FieldKind::kText:
      return Cp1252ToUtf8(at, f.width);
    case FieldKind::kDate:
      return wtev5date(at).IsValid() ? FieldDateText(at) : "(invalid date type)";
    case FieldKind::kFlags:
      return "0x" + HexBytes(at, 1);
    default:
      return std::string();
  }
}

std::string HexBytes(const uint8_t* bytes, size_t count) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string out;
  out.reserve(count * 3);
  for (size_t i = 0; i < count; ++i) {
    if (i > 0) out.push_back(' ');
    out.push_back(kDigits[bytes[i] >> 4]);
    out.push_back(kDigits[bytes[i] & 15]);
  }
  return out;
}

std::string BirthDateText(CTEVDatabase& db, int32_t rin) {
  IndividImage person{};
  if (db.LoadIndivid(person, rin) == 0) return std::string();
  return FieldDateText(person.data() + individ::kBirth + event::kDate);
}

}  // namespace kinscope

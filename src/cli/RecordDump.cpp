// SPDX-License-Identifier: GPL-3.0-or-later
// The record command: one record, every field of its layout decoded.
#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

#include "Coding.h"
#include "Dump.h"
#include "FieldText.h"
#include "RecordLayouts.h"
#include "RecordLinks.h"
#include "TEVDatabase.h"
#include "wtev5date.h"

namespace kinscope::dump {
namespace {

std::string TypeName(int32_t code) {
  if (const char* name = RecordTypeName(code)) return name;
  return "code " + std::to_string(code) + " (no record type)";
}

json Fields(CTEVDatabase& db, const RecordLayout& layout, const uint8_t* bytes);

json DateValue(const uint8_t* at) {
  const wtev5date date(at);
  json v = {{"bytes", HexBytes(at, date::kSize)}, {"valid", date.IsValid()}};
  v["text"] = FieldDateText(at);
  v["sort_key"] = date.DateSortKey().Text();
  return v;
}

// The text of the name record or individual's name record a link names.
std::string LinkedText(CTEVDatabase& db, int32_t code, int32_t offset) {
  if (code == kNameCode) return Latin1(db.NameRecText(offset));
  INameRecImage name{};
  if (db.LoadINameRec(offset, name) == 0) return std::string();
  return Latin1(name.data() + iname::kText, kINameTextMax);
}

json Field(CTEVDatabase& db, const RecordLayout& layout, const uint8_t* bytes, const FieldSpec& f) {
  const uint8_t* at = bytes + f.offset;
  json j = {{"name", f.name}, {"offset", f.offset}, {"width", f.width}};
  switch (f.kind) {
    case FieldKind::kInt: {
      const int64_t value = FieldInteger(f, at);
      j["value"] = value;
      if (f.link == kNoLink) break;
      const std::optional<int32_t> code =
          f.link == kLinkByType ? ChosenLinkCode(layout, bytes, f) : std::optional<int32_t>(f.link);
      j["links_to"] = code ? json(TypeName(*code)) : json(nullptr);
      if (code && (*code == kNameCode || *code == kIndivNameCode) && value > 0) {
        j["text"] = LinkedText(db, *code, static_cast<int32_t>(value));
      }
      break;
    }
    case FieldKind::kChar:
      j["value"] = DecodeI8(at, 0);
      j["char"] = FieldCharText(at[0]);
      break;
    case FieldKind::kTime:
      j["value"] = DecodeI32(at, 0);
      j["text"] = FieldTimeText(DecodeI32(at, 0));
      break;
    case FieldKind::kText:
      j["value"] = Latin1(at, f.width);
      break;
    case FieldKind::kDate:
      j["value"] = DateValue(at);
      break;
    case FieldKind::kEvent:
      j["value"] = Fields(db, event::kLayout, at);
      break;
    case FieldKind::kOrdinance:
      j["value"] = Fields(db, ordinance::kLayout, at);
      break;
    case FieldKind::kFlags:
      j["value"] = at[0];
      j["hex"] = HexBytes(at, 1);
      break;
    case FieldKind::kBytes:
      j["value"] = HexBytes(at, f.width);
      break;
  }
  return j;
}

json Fields(CTEVDatabase& db, const RecordLayout& layout, const uint8_t* bytes) {
  json fields = json::array();
  for (size_t i = 0; i < layout.count; ++i)
    fields.push_back(Field(db, layout, bytes, layout.fields[i]));
  return fields;
}

}  // namespace

int32_t RecordTypeCode(const std::string& name) {
  auto lower = [](std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
  };
  for (const RecordType& type : kRecordTypes) {
    if (lower(name) == lower(type.name)) return type.code;
  }
  if (!name.empty() && name.size() <= 2 &&
      std::all_of(name.begin(), name.end(), [](unsigned char c) { return std::isdigit(c); })) {
    const int32_t code = std::stoi(name);
    if (code < kRecordTypeCount) return code;
  }
  return -1;
}

Result Record(CTEVDatabase& db, int32_t code, int32_t number, bool with_bytes) {
  const RecordType* type = RecordTypeOf(code);
  if (type == nullptr || type->layout == nullptr) {
    return {nullptr, kCannotOpen, TypeName(code) + " records have no layout to show"};
  }
  const RecordLayout& layout = *type->layout;
  const bool numbered = type->table.table != 0;
  std::vector<uint8_t> bytes(std::max<size_t>(layout.size, kINameRecRead + 1), 0);
  size_t length = layout.size;
  std::string failure;
  if (numbered) {
    const TableSpec& t = type->table;
    if (db.ReadRecord(bytes.data(), t.size, number, t.table, t.per_page) == 0) {
      failure = db.LocateRecord(number, t.table, t.size, t.per_page) == 0 ? "is not in the file"
                                                                          : "reads short";
    }
  } else if (code == kNameCode) {
    NameRecImage image{};
    const int stored = db.LoadNameRec(number, image);
    if (stored == 0) failure = "cannot be read";
    std::copy(image.begin(), image.end(), bytes.begin());
    length = std::min<size_t>(static_cast<size_t>(stored), image.size() - 1);
  } else {
    INameRecImage image{};
    const int stored = db.LoadINameRec(number, image);
    if (stored == 0) failure = "cannot be read";
    std::copy(image.begin(), image.end(), bytes.begin());
    length = std::min<size_t>(static_cast<size_t>(stored), kINameRecRead);
  }
  const std::string what = std::string(type->name) + " " + std::to_string(number);
  if (!failure.empty()) return {nullptr, kNoRecord, what + " " + failure};
  json doc = {{"type", type->name}, {"code", code}, {"number", number}, {"kind", layout.kind}};
  if (numbered) {
    const TableSpec& t = type->table;
    doc["table"] = t.table;
    doc["file_offset"] = db.LocateRecord(number, t.table, t.size, t.per_page);
  } else {
    doc["file_offset"] = number;
    doc["stored_length"] = length;
  }
  doc["fields"] = Fields(db, layout, bytes.data());
  if (with_bytes) doc["bytes"] = HexBytes(bytes.data(), length);
  return {doc, kOk, ""};
}

}  // namespace kinscope::dump

// SPDX-License-Identifier: GPL-3.0-or-later
// Look-ups in the record-type registry, and what the rows must hold.
#include "RecordRegistry.h"

namespace kinscope {
namespace {

// What every row must hold, checked when the program is built: its code at
// its index, and a table in 1 to 32 that is not the page maps' and that no
// other row numbers its records in, with at least one record a page. (The
// row helpers give a window only to a row with a layout; the rows' texts
// are checked by db_tests, since a sanitizer build cannot compare their
// addresses here.)
constexpr bool RowsAreSound() {
  for (int32_t code = 0; code < kRecordTypeCount; ++code) {
    const RecordType& row = kRecordTypes[code];
    if (row.code != code) return false;
    if (row.table.table == 0) continue;
    if (row.table.table < 1 || row.table.table > 32 || row.table.table == kPageMapTable ||
        row.table.per_page < 1) {
      return false;
    }
    for (int32_t other = 0; other < code; ++other) {
      if (kRecordTypes[other].table.table == row.table.table) return false;
    }
    for (const OtherTable& t : kOtherTables) {
      if (t.table == row.table.table) return false;
    }
  }
  return true;
}
static_assert(RowsAreSound(), "a row of the record-type registry is malformed");

const RecordType* NumberedIn(int table) {
  if (table < 1) return nullptr;
  for (const RecordType& row : kRecordTypes) {
    if (row.table.table == table) return &row;
  }
  return nullptr;
}

const MapStyle* StyleOf(int table) {
  if (const RecordType* row = NumberedIn(table)) return &row->map;
  for (const OtherTable& t : kOtherTables) {
    if (t.table == table) return &t.map;
  }
  return nullptr;
}

// The colour of hue `degrees` at saturation 120 and value 170 (of 255),
// reckoned in single precision on 16-bit channels, which gives each table
// without a style of its own a colour the map has always drawn it in.
uint32_t HueColour(int degrees) {
  const float h = static_cast<float>(degrees * 100) / 6000.0f;
  const float s = static_cast<float>(120 * 0x101) / 65535.0f;
  const float v = static_cast<float>(170 * 0x101) / 65535.0f;
  const int i = static_cast<int>(h);
  const float f = h - static_cast<float>(i);
  const float p = v * (1.0f - s);
  const float q = v * (1.0f - s * f);
  const float t = v * (1.0f - s * (1.0f - f));
  const float channels[6][3] = {{v, t, p}, {q, v, p}, {p, v, t}, {p, q, v}, {t, p, v}, {v, p, q}};
  uint32_t rgb = 0;
  for (const float c : channels[i % 6]) {
    const auto wide = static_cast<uint32_t>(c * 65535.0f + 0.5f);
    rgb = rgb << 8 | ((wide - (wide >> 8) + 0x80) >> 8);
  }
  return rgb;
}

}  // namespace

const TableSpec* TableSpecOf(int table) {
  const RecordType* row = NumberedIn(table);
  return row != nullptr ? &row->table : nullptr;
}

int32_t RecordCodeOfTable(int table) {
  const RecordType* row = NumberedIn(table);
  return row != nullptr ? row->code : kNoRecordCode;
}

const TableSpec* TableOf(const RecordLayout& layout) {
  for (const RecordType& row : kRecordTypes) {
    if (row.layout == &layout && row.table.table != 0) return &row.table;
  }
  return nullptr;
}

uint32_t MapColourOf(int table) {
  const MapStyle* style = StyleOf(table);
  return style != nullptr ? style->rgb : HueColour(((table % 360) * 47 % 360 + 360) % 360);
}

std::string MapLabelOf(int table) {
  const MapStyle* style = StyleOf(table);
  return style != nullptr ? style->label : "table " + std::to_string(table);
}

}  // namespace kinscope

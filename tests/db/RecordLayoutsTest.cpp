// SPDX-License-Identifier: GPL-3.0-or-later
// Every record layout is well formed: fields in ascending order, no two
// overlapping, each inside its record and as wide as its kind needs; table
// records lie in their tables, as large as the file format says; every row
// of the record-type registry is complete.
#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "RecordTables.h"

using namespace kinscope;

namespace {

size_t WidthOfKind(const FieldSpec& f) {
  switch (f.kind) {
    case FieldKind::kDate:
      return date::kSize;
    case FieldKind::kEvent:
      return event::kSize;
    case FieldKind::kOrdinance:
      return ordinance::kSize;
    case FieldKind::kTime:
      return 4;
    case FieldKind::kChar:
    case FieldKind::kFlags:
      return 1;
    default:
      return f.width;  // integers are checked below, texts and bytes any width
  }
}

TEST(RecordLayoutsTest, EveryLayoutIsWellFormed) {
  for (const RecordLayout& layout : kAllLayouts) {
    SCOPED_TRACE(layout.kind);
    ASSERT_GT(layout.count, 0u);
    size_t end = 0;
    for (size_t i = 0; i < layout.count; ++i) {
      const FieldSpec& f = layout.fields[i];
      SCOPED_TRACE(f.name);
      EXPECT_GE(f.offset, end) << "overlaps or is out of order";
      EXPECT_EQ(f.width, WidthOfKind(f));
      if (f.kind == FieldKind::kInt) {
        EXPECT_TRUE(f.width == 1 || f.width == 2 || f.width == 4);
      }
      if (f.link != kNoLink) {
        EXPECT_EQ(f.width, 4u) << "a link is a 32-bit number";
      }
      end = f.offset + f.width;
    }
    EXPECT_LE(end, layout.size);
  }
}

TEST(RecordLayoutsTest, TableRecordsHaveTheirTablesSize) {
  // Each kind's table and record size as the file format gives them.
  const std::tuple<const RecordLayout&, int, size_t> rows[] = {
      {individ::kLayout, 2, 221}, {marr::kLayout, 3, 106},    {famlink::kLayout, 5, 46},
      {note::kLayout, 4, 256},    {cit::kLayout, 6, 145},     {media::kLayout, 20, 62},
      {userev::kLayout, 12, 59},  {uetype::kLayout, 13, 143}, {indexnode::kLayout, 10, 16}};
  for (const auto& [layout, table, size] : rows) {
    SCOPED_TRACE(layout.kind);
    const TableSpec* spec = TableOf(layout);
    ASSERT_NE(spec, nullptr);
    EXPECT_EQ(spec->table, table);
    EXPECT_EQ(layout.size, size);
    EXPECT_EQ(static_cast<size_t>(spec->size), size);
    EXPECT_EQ(static_cast<size_t>(spec->per_page), 8192 / size);
  }
  EXPECT_EQ(TableOf(namerec::kLayout), nullptr);  // reached by file offset
  EXPECT_EQ(TableOf(event::kLayout), nullptr);    // embedded
  // The last field of each record that ends flush with it.
  EXPECT_EQ(note::kText + note::kTextSize, note::kLayout.size);
  EXPECT_EQ(iname::kText + kINameTextMax, iname::kLayout.size);
  EXPECT_EQ(uetype::Sentence(11) + 4, uetype::kShortTitle);
}

// Every row of the record-type registry has a name, a layout when it has a
// window or a table, and a label for its table's pages on the file map.
TEST(RecordLayoutsTest, RegistryRowsAreComplete) {
  for (const RecordType& row : kRecordTypes) {
    ASSERT_NE(row.name, nullptr) << row.code;
    EXPECT_TRUE(row.layout != nullptr || (!row.window && row.table.table == 0)) << row.name;
    EXPECT_TRUE(row.table.table == 0 || row.map.label != nullptr) << row.name;
  }
}

}  // namespace

// SPDX-License-Identifier: GPL-3.0-or-later
// Every record layout is well formed: fields in ascending order, no two
// overlapping, each inside its record and as wide as its kind needs; table
// records are as large as their table says.
#include <gtest/gtest.h>

#include <string>

#include "RecordLayouts.h"

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
  const std::pair<const RecordLayout&, const TableSpec&> rows[] = {
      {individ::kLayout, kIndividTable},
      {marr::kLayout, kMarrTable},
      {famlink::kLayout, kFamLinkTable},
      {note::kLayout, kNoteTable},
      {cit::kLayout, kCitTable},
      {media::kLayout, kMediaTable},
      {userev::kLayout, kUserEvTable},
      {uetype::kLayout, kUserEvTypeTable},
      {indexnode::kLayout, kIndexNodeTable}};
  for (const auto& [layout, table] : rows) {
    EXPECT_EQ(layout.size, static_cast<size_t>(table.size)) << layout.kind;
  }
  // The last field of each record that ends flush with it.
  EXPECT_EQ(note::kText + note::kTextSize, note::kLayout.size);
  EXPECT_EQ(iname::kText + kINameTextMax, iname::kLayout.size);
  EXPECT_EQ(uetype::Sentence(11) + 4, uetype::kShortTitle);
}

}  // namespace

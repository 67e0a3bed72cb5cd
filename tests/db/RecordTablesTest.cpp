// SPDX-License-Identifier: GPL-3.0-or-later
// Each record read of the table of tables finds its records in its table,
// with its record size and records per page.
#include <gtest/gtest.h>

#include <functional>

#include "Coding.h"
#include "TEVDatabase.h"
#include "TempDir.h"
#include "TevWriter.h"

using kinscope::CTEVDatabase;

namespace {

struct Row {
  const char* name;
  int table;
  int size;
  // Reads record n; gives the result and the first four bytes of the record
  // and checks that nothing past the record size was touched.
  std::function<int(CTEVDatabase&, int32_t, int32_t*)> load;
};

template <typename Image, int (CTEVDatabase::*Load)(Image&, int32_t)>
Row MakeRow(const char* name, int table) {
  return {name, table, static_cast<int>(Image().size()),
          [](CTEVDatabase& db, int32_t n, int32_t* first) {
            Image image{};
            const int result = (db.*Load)(image, n);
            *first = kinscope::DecodeI32(image.data(), 0);
            return result;
          }};
}

TEST(RecordTablesTest, EveryTableReadsItsOwnRecords) {
  const Row rows[] = {
      MakeRow<kinscope::IndividImage, &CTEVDatabase::LoadIndivid>("individual", 2),
      MakeRow<kinscope::MarrImage, &CTEVDatabase::LoadMarr>("marriage", 3),
      MakeRow<kinscope::NoteImage, &CTEVDatabase::LoadNote>("note", 4),
      MakeRow<kinscope::FamLinkImage, &CTEVDatabase::LoadFamLink>("family link", 5),
      MakeRow<kinscope::CitImage, &CTEVDatabase::LoadCit>("citation", 6),
      MakeRow<kinscope::IndexNodeImage, &CTEVDatabase::LoadIndexNode>("index node", 10),
      MakeRow<kinscope::UserEvImage, &CTEVDatabase::LoadUserEv>("user event", 12),
      MakeRow<kinscope::UserEvTypeImage, &CTEVDatabase::LoadUserEvType>("event type", 13),
      MakeRow<kinscope::MediaImage, &CTEVDatabase::LoadMedia>("multimedia", 20),
  };
  const int expected_sizes[] = {221, 106, 256, 46, 145, 16, 59, 143, 62};
  TempDir dir;
  size_t i = 0;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(row.size, expected_sizes[i++]);
    const int per_page = 8192 / row.size;
    // Two pages of this table, and a page of every other table in between,
    // each record holding a number that tells its table and slot.
    tevwriter::TevFile file(1);
    file.AddPage(0, 1, row.table);
    for (int other = 1; other <= 32; ++other) {
      if (other != row.table && other != 11) file.AddPage(0, 1 + other, other);
    }
    file.AddPage(0, 100, row.table);
    const int32_t numbers[] = {1, per_page, per_page + 1, 2 * per_page};
    for (int32_t n : numbers) {
      tevwriter::Bytes record(static_cast<size_t>(row.size), 0);
      tevwriter::PutI32(record, 0, row.table * 100000 + n);
      file.PutRecord(row.table, n, record);
    }
    const std::string path = dir.File(std::string(row.name) + ".tev");
    ASSERT_TRUE(file.Write(path));
    CTEVDatabase db;
    ASSERT_EQ(db.OpenDatabase(path, 1), 1);
    for (int32_t n : numbers) {
      int32_t first = 0;
      EXPECT_EQ(row.load(db, n, &first), 1) << n;
      EXPECT_EQ(first, row.table * 100000 + n);
    }
    int32_t first = -1;
    EXPECT_EQ(row.load(db, 2 * per_page + 1, &first), 0);
    EXPECT_EQ(first, 0);
  }
}

}  // namespace

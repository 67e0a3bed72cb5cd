// SPDX-License-Identifier: GPL-3.0-or-later
// The re-ordering cannot sort by a date of an invalid type; valid dates pass
// through unchanged.
#include <gtest/gtest.h>

#include <array>

#include "ReorderDate.h"

namespace {

TEST(ReorderDateTest, InvalidDateTypesGiveNoDate) {
  for (uint8_t type : {uint8_t{5}, uint8_t{9}, uint8_t{15}, uint8_t{0xf7}}) {
    const std::array<uint8_t, 12> stored = {type, 1, 0, 0, 26, 219, 36, 0, 0, 0, 0, 0};
    EXPECT_FALSE(kinscope::ReorderDate(stored.data()).has_value()) << int{type};
  }
}

TEST(ReorderDateTest, ValidDatesPassThrough) {
  const std::array<uint8_t, 12> stored = {2, 1, 0, 0, 26, 219, 36, 0, 0, 0, 0, 0};
  EXPECT_STREQ(kinscope::ReorderDate(stored.data())->DateSortKey().Text(), "19010101");
  const std::array<uint8_t, 12> sub_type_two = {0x27, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  EXPECT_TRUE(kinscope::ReorderDate(sub_type_two.data())->IsValid());
}

}  // namespace

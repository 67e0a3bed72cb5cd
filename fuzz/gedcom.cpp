// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzz target: the GEDCOM export of a described file, which must end with
// or without things left out and keep the line rules and the values and
// links of 5.5.1; and the date and line conversions on the input's own
// bytes.
#include <cstdint>
#include <sstream>
#include <string>

#include "FuzzSupport.h"
#include "Gedcom.h"
#include "GedcomLines.h"
#include "TEVDatabase.h"

using namespace kinscope;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::Input in(data, size);
  const std::vector<uint8_t> date = in.Bytes(12);
  if (date.size() == 12) {
    gedcom::ConvertDate(date.data(), false);
    gedcom::ConvertDate(date.data(), true);
  }
  const std::string text = in.Text(255) + in.Text(255) + in.Text(255);
  std::ostringstream lines;
  gedcom::LineWriter(lines).Text(0, "NOTE", text, "N1");
  if (!testing_gedcom::BrokenLineRule("0 HEAD\n" + lines.str() + "0 TRLR\n").empty()) {
    fuzz::Fail("a text breaks the line rules");
  }

  const fuzz::Described d = fuzz::Describe(in);
  const std::string path = fuzz::WriteDescribed(d, "gedcom.tev");
  if (path.empty()) fuzz::Fail("cannot write the described file");
  CTEVDatabase db;
  if (db.OpenDatabase(path, 1) != kOpenOk) return 0;
  std::ostringstream out;
  gedcom::Counts counts;
  const gedcom::Outcome outcome = gedcom::Export(db, out, {}, counts);
  if (outcome != gedcom::Outcome::kComplete && outcome != gedcom::Outcome::kLeftOut) {
    fuzz::Fail("the export ended otherwise");
  }
  if (!testing_gedcom::BrokenLineRule(out.str()).empty())
    fuzz::Fail("the export breaks the line rules");
  if (!testing_gedcom::BrokenValueRule(out.str()).empty())
    fuzz::Fail("the export breaks a value or link rule of 5.5.1");
  return 0;
}

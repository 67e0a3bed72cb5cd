// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzz target: every command of the dump tool on a described file, each
// document also laid out as text and as JSON, as the tool prints it.
#include <cstdint>
#include <string>

#include "Cp1252.h"
#include "Dump.h"
#include "FuzzSupport.h"
#include "RecordTypes.h"
#include "TEVDatabase.h"

using namespace kinscope;

namespace {

void Lay(const std::string& command, const dump::Result& r) {
  if (r.status < dump::kOk || r.status > dump::kNoRecord) fuzz::Fail("exit status");
  if (r.doc.is_null()) return;  // nothing to print, as the tool has it
  dump::Text(command, r.doc);
  r.doc.dump(2);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::Input in(data, size);
  const fuzz::Described d = fuzz::Describe(in);
  const std::string path = fuzz::WriteDescribed(d, "dump.tev");
  if (path.empty()) fuzz::Fail("cannot write the described file");
  CTEVDatabase db;
  if (db.OpenDatabase(path, 1) != kOpenOk) return 0;
  Lay("header", dump::Header(db));
  for (int32_t code = 0; code < kRecordTypeCount; ++code) {
    int32_t numbers[] = {1, 2, in.I32()};
    for (int32_t n : numbers) Lay("record", dump::Record(db, code, n, true));
    for (int32_t n : d.name_offsets) Lay("record", dump::Record(db, code, n, false));
  }
  Lay("index", dump::Index(db));
  const std::string search = Cp1252ToUtf8(in.Text(40));  // any bytes, as UTF-8
  Lay("find", dump::Find(db, search));
  Lay("find", dump::Find(db, search, true));
  Lay("check", dump::Check(db));
  return 0;
}

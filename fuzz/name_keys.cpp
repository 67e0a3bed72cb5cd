// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzz target: the name-key functions on individual's name records made of
// input bytes, under header bounds (individual bound, name area) from the
// input.
#include <cstdint>
#include <string>
#include <vector>

#include "Cp1252.h"
#include "FuzzSupport.h"
#include "NameFind.h"
#include "NameKeys.h"
#include "TEVDatabase.h"
#include "TevWriter.h"

using namespace kinscope;

namespace {

void CheckCut(const WideText& text, size_t capacity) {
  if (text.size() > (capacity == 0 ? 0 : capacity - 1))
    fuzz::Fail("a part or key above its capacity");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::Input in(data, size);
  tevwriter::TevFile f(1);
  f.SetHeaderI32(static_cast<int>(kHdrIndividBound), in.I32());
  f.SetHeaderI32(static_cast<int>(kHdrNameAreaStart), in.I32());
  f.SetHeaderI32(static_cast<int>(kHdrNameAreaEnd), in.I32());
  std::vector<int32_t> offsets;
  const std::vector<uint8_t> raw = in.Bytes(1 + size_t{in.U8()} * 2);
  if (!raw.empty()) offsets.push_back(f.AppendRaw(raw));
  for (int n = in.U8() % 3; n > 0; --n) {
    const int32_t next = in.I32();
    const int32_t previous = in.I32();
    const int32_t owner = in.I32();
    const uint8_t type = in.U8();
    offsets.push_back(f.AppendINameRec(next, previous, owner, type, in.Text(300)));
  }
  const std::string path = fuzz::ScratchPath("name_keys.tev");
  if (!f.Write(path)) fuzz::Fail("cannot write the file");
  CTEVDatabase db;
  if (db.OpenDatabase(path, 1) != kOpenOk) fuzz::Fail("a sound file does not open");

  const std::vector<int32_t> bases = offsets;
  for (const int32_t base : bases) {
    for (int32_t shift : {0, 1, -1, static_cast<int32_t>(in.U8())}) offsets.push_back(base + shift);
  }
  offsets.push_back(in.I32());
  const size_t capacity = in.U16() % 600;
  for (const int32_t offset : offsets) {
    for (LinkCheck check : {LinkCheck::kOn, LinkCheck::kOff}) {
      WideText text;
      uint8_t type = 0;
      const int ok = ReadINameText(db, text, type, offset, check);
      if (ok != 0 && ok != 1) fuzz::Fail("ReadINameText result");
      if (text.size() > 256 || (ok == 0 && (!text.empty() || type != 0))) fuzz::Fail("name text");
      WideText given, surname, suffix, key;
      SplitName(text, given, capacity, surname, capacity / 2, suffix, capacity / 3);
      CheckCut(surname, capacity / 2);
      CheckCut(suffix, capacity / 3);
      TrimBlanks(given);
      MakeNameKey(text, key, capacity);
      CheckCut(key, capacity);
      const int32_t order = CompareNameKey(db, key, offset);
      if (order < -1 || order > 2) fuzz::Fail("CompareNameKey result");
    }
  }
  const std::string search = in.Text(80);
  SearchPrefix(search);
  FindNames(db, search, in.U8());
  std::string bytes;
  char32_t missing = 0;
  if (!Utf8ToCp1252(search, bytes, missing) && missing == 0) fuzz::Fail("a refusal names nothing");
  LikeFinder like(db, search, true);
  NameMatch match;
  while (like.Next(match)) {
  }
  return 0;
}

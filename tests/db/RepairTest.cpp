// SPDX-License-Identifier: GPL-3.0-or-later
// The repair: every row of the damage table on the sample and on a generated
// family with runs of identical names, every malformed-file row, a crash
// after every write, a full disk at every write, and paths it must refuse.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <deque>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>

#include "CrashSeam.h"
#include "DamagedFiles.h"
#include "FamilyFile.h"
#include "MalformedFiles.h"
#include "Repair.h"
#include "TempDir.h"
#include "TreeCheck.h"

namespace {

using namespace kinscope;
using damaged::Bytes;
namespace fs = std::filesystem;

Bytes Read(const std::string& path) { return crash::ReadFile(path).value_or(Bytes()); }

// A family of `count` in which every name comes back every 60 people: runs
// of identical names in the index.
std::vector<family::Person> People(int count) {
  static const char* const kGiven[] = {"Anne", "John", "Mary"};
  static const char* const kSurnames[] = {
      "Abbot", "Baker", "Carter", "Dunn", "Ellis", "Foster", "Green", "Hart", "Irwin", "Jones",
      "King",  "Lane",  "Moss",   "Nash", "Owen",  "Page",   "Quill", "Reed", "Shaw",  "Trent"};
  std::vector<family::Person> people;
  for (int i = 0; i < count; ++i) {
    people.push_back(
        {std::string(kGiven[i % 3]) + " /" + kSurnames[(i / 3) % 20] + "/", 1800 + i % 50});
  }
  return people;
}

const Bytes& SoundFile(const std::string& base) {
  static std::map<std::string, Bytes> files;
  Bytes& bytes = files[base];
  if (bytes.empty() && base == "sample") bytes = Read(KINSCOPE_SAMPLE_DB);
  if (bytes.empty() && base == "family") {
    family::Family f(People(300));
    f.db_.reset();
    bytes = Read(f.path_);
  }
  return bytes;
}

// The names in `dir`.
std::set<std::string> Names(const TempDir& dir) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir.File(""))) {
    names.insert(entry.path().filename().string());
  }
  return names;
}

// The name records of the individuals' chains.
size_t NameRecords(CTEVDatabase& db) {
  size_t count = 0;
  ForEachRecord(db, kIndividTable, [&](int32_t, const uint8_t* person) {
    INameRecImage name{};
    for (int32_t at = DecodeI32(person, individ::kStartnames); at > 0 && count < 1000000;
         at = DecodeI32(name.data(), iname::kNext)) {
      if (db.LoadINameRec(at, name) == 0) break;
      ++count;
    }
  });
  return count;
}

std::string Lines(const RepairReport& r) {
  std::string text = r.error;
  for (const RepairLine& l : r.lines) {
    text += std::string("\n") + RepairActionName(l.action) + " " + l.place + ": " + l.was + " -> " +
            l.now;
  }
  return text;
}

// Damages a copy of the sound file `base` as `row` says and writes it to
// `path`; false when the file holds nothing the row damages.
bool WriteDamaged(const std::string& base, const damaged::Row& row, const std::string& path,
                  Bytes& bytes) {
  TempDir dir;
  const std::string sound = dir.File("sound.tev");
  crash::PutFile(sound, SoundFile(base));
  CTEVDatabase db;
  EXPECT_EQ(db.OpenDatabase(sound, 1), kOpenOk);
  bytes = SoundFile(base);
  damaged::Target target{bytes, db};
  if (!row.harm(target)) return false;
  crash::PutFile(path, bytes);
  return true;
}

TEST(Repair, MendsEveryRowOfDamageOntoACopyThatChecksClean) {
  for (const std::string base : {"sample", "family"}) {
    TempDir dir;
    const std::string in = dir.File("in.tev"), out = dir.File("out.tev");
    crash::PutFile(in, SoundFile(base));
    const auto sound_gedcom = damaged::Gedcom(in);
    ASSERT_TRUE(sound_gedcom.has_value());
    for (const damaged::Row& row : damaged::Rows()) {
      SCOPED_TRACE(base + ": " + row.damage);
      Bytes bytes;
      if (!WriteDamaged(base, row, in, bytes)) continue;
      fs::remove(out);
      const RepairReport r = RepairDatabase(in, out);
      EXPECT_EQ(r.status, row.status) << Lines(r);
      EXPECT_FALSE(r.lines.empty()) << "the damage went unseen";
      EXPECT_TRUE(Read(in) == bytes) << "the input was written";
      EXPECT_EQ(Names(dir), (std::set<std::string>{"in.tev", "out.tev"}));
      CTEVDatabase copy;
      ASSERT_EQ(copy.OpenDatabase(out, 1), kOpenOk);
      const CheckReport check = CheckDatabase(copy, out);
      EXPECT_TRUE(check.Sound()) << CheckSummary(check) << ": "
                                 << (check.findings.empty() ? "" : check.findings[0].what);
      const TreeReport tree = CheckIndexTree(copy);
      EXPECT_TRUE(tree.Sound());
      EXPECT_EQ(tree.order.size(), NameRecords(copy));
      if (row.same_family) {
        EXPECT_EQ(damaged::Gedcom(out), sound_gedcom);
      }
      // A sound copy has nothing more to mend.
      const RepairReport again = RepairDatabase(out, dir.File("again.tev"));
      EXPECT_EQ(again.status, kRepairClean);
      EXPECT_TRUE(again.lines.empty()) << Lines(again);
      fs::remove(dir.File("again.tev"));
    }
  }
}

// The rebuilt index is the tree the format's own insert makes of its nodes
// inserted level by level, and balanced but for runs of identical names.
TEST(Repair, TheRebuiltIndexIsTheOneTheInsertMakes) {
  const auto people = People(1000);
  family::Family f(people);
  f.db_.reset();
  TempDir dir;
  Bytes bytes = Read(f.path_);
  const std::string in = dir.File("in.tev"), out = dir.File("out.tev");
  {
    CTEVDatabase sound;
    ASSERT_EQ(sound.OpenDatabase(f.path_, 1), kOpenOk);
    damaged::Target target{bytes, sound};
    ASSERT_TRUE(damaged::Named("every index node's links zeroed").harm(target));
  }
  crash::PutFile(in, bytes);
  ASSERT_EQ(RepairDatabase(in, out).status, kRepairClean);

  // The copy's nodes level by level, as they are.
  std::vector<int32_t> levels;
  std::map<int32_t, IndexNodeImage> nodes;
  int depth = 0;
  {
    CTEVDatabase copy;
    ASSERT_EQ(copy.OpenDatabase(out, 1), kOpenOk);
    std::deque<std::pair<int32_t, int>> queue{{copy.HeaderI32(kHdrRootNode), 1}};
    while (!queue.empty()) {
      const auto [node, level] = queue.front();
      queue.pop_front();
      if (node <= 0) continue;
      ASSERT_TRUE(nodes.count(node) == 0);
      ASSERT_EQ(copy.LoadIndexNode(nodes[node], node), 1);
      levels.push_back(node);
      depth = std::max(depth, level);
      queue.push_back({DecodeI32(nodes[node].data(), indexnode::kLesser), level + 1});
      queue.push_back({DecodeI32(nodes[node].data(), indexnode::kGreater), level + 1});
    }
  }
  ASSERT_EQ(levels.size(), people.size());
  // Runs of 17 identical names hang one below the other on the lesser side.
  EXPECT_LE(depth, static_cast<int>(std::ceil(std::log2(people.size() + 1))) + 17);

  // Every node unlinked, then inserted again in that order.
  CTEVDatabase replay;
  ASSERT_EQ(replay.OpenDatabase(out, 0), kOpenOk);
  for (const auto& [node, image] : nodes) {
    IndexNodeImage unlinked{};
    EncodeI32(unlinked.data(), indexnode::kParent, -1);
    EncodeI32(unlinked.data(), indexnode::kName, DecodeI32(image.data(), indexnode::kName));
    const int64_t at = replay.LocateRecord(node, kIndexNodeTable.table, kIndexNodeTable.size,
                                           kIndexNodeTable.per_page);
    ASSERT_EQ(replay.WriteAt(static_cast<int32_t>(at), unlinked.data(), 16), 1);
  }
  replay.SetHeaderI32(kHdrRootNode, 0);
  replay.SetHeaderI32(kHdrRootNode2, 0);
  for (const int32_t node : levels) {
    replay.ReinsertNode(node, DecodeI32(nodes[node].data(), indexnode::kName));
  }
  for (const auto& [node, image] : nodes) {
    IndexNodeImage inserted{};
    replay.LoadIndexNode(inserted, node);
    EXPECT_TRUE(inserted == image) << "node " << node;
  }
}

// The bytes of the file at `path` that the malformed rows write: the whole
// of a file of one region; of a file of further regions (two gigabytes,
// sparse) its first megabyte, where all it holds lies, and its size.
Bytes Held(const std::string& path) {
  const auto size = fs::file_size(path);
  std::ifstream in(path, std::ios::binary);
  Bytes bytes(size > (uintmax_t{64} << 20) ? size_t{1} << 20 : static_cast<size_t>(size));
  in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  bytes.resize(static_cast<size_t>(in.gcount()));
  for (int i = 0; i < 8; ++i) bytes.push_back(static_cast<uint8_t>(size >> (8 * i)));
  return bytes;
}

TEST(Repair, EveryMalformedFileGivesACopyThatChecksCleanOrNone) {
  for (const malformed::Row& row : malformed::Rows()) {
    SCOPED_TRACE(row.damage);
    TempDir dir;
    const std::string in = dir.File("in.tev"), out = dir.File("out.tev");
    malformed::Base base = malformed::MakeBase(row.regions);
    ASSERT_TRUE(malformed::WriteRow(row, base, in));
    const Bytes bytes = Held(in);
    const RepairReport r = RepairDatabase(in, out);
    EXPECT_TRUE(Held(in) == bytes);
    if (r.status == kRepairFailed) {
      EXPECT_FALSE(r.error.empty());
      EXPECT_EQ(Names(dir), std::set<std::string>{"in.tev"});
      continue;
    }
    EXPECT_EQ(Names(dir), (std::set<std::string>{"in.tev", "out.tev"}));
    CTEVDatabase copy;
    ASSERT_EQ(copy.OpenDatabase(out, 1), kOpenOk);
    // Damage the repair has no mend for is told as left; a copy with none
    // left checks clean.
    EXPECT_EQ(CheckDatabase(copy, out).Sound(), r.Count(RepairLine::kLeft) == 0) << Lines(r);
  }
}

TEST(Repair, ACrashAfterEveryWriteLeavesNoCopyAndTheNextRunMendsIt) {
  TempDir dir;
  const std::string in = dir.File("in.tev"), out = dir.File("out.tev");
  Bytes bytes;
  ASSERT_TRUE(WriteDamaged("sample", damaged::Named("every index node's links zeroed"), in, bytes));
  int64_t k = 1;
  for (;; ++k) {
    SCOPED_TRACE(k);
    crash::CrashSeam seam(k);
    seam.Watch(out);
    platform::SetSeam(&seam);
    const RepairReport r = RepairDatabase(in, out);
    platform::SetSeam(nullptr);
    if (!seam.Crashed()) {
      EXPECT_EQ(r.status, kRepairClean);
      break;
    }
    for (const crash::Mode mode : crash::kModes) {
      crash::Disk disk = seam.After(mode);
      EXPECT_FALSE(disk[out].has_value()) << "mode " << mode;
      EXPECT_TRUE(disk[in].value_or(Bytes()) == bytes) << "mode " << mode;
      for (const auto& [path, content] : disk) crash::PutFile(path, content);
      // What the crash left is replaced by the next run.
      const RepairReport next = RepairDatabase(in, out);
      EXPECT_EQ(next.status, kRepairClean) << Lines(next);
      EXPECT_EQ(Names(dir), (std::set<std::string>{"in.tev", "out.tev"}));
      fs::remove(out);
    }
  }
  EXPECT_GT(k, 3);
}

TEST(Repair, AFullDiskLeavesNothingBehind) {
  TempDir dir;
  const std::string in = dir.File("in.tev"), out = dir.File("out.tev");
  Bytes bytes;
  ASSERT_TRUE(WriteDamaged("sample", damaged::Named("every index node's links zeroed"), in, bytes));
  for (int64_t k = 1;; ++k) {
    SCOPED_TRACE(k);
    crash::FullDiskSeam seam(k);
    platform::SetSeam(&seam);
    const RepairReport r = RepairDatabase(in, out);
    platform::SetSeam(nullptr);
    if (seam.Writes() < k) {
      EXPECT_EQ(r.status, kRepairClean);
      EXPECT_GT(k, 3);
      break;
    }
    EXPECT_TRUE(Read(in) == bytes);
    if (r.status == kRepairClean) {
      // The write that failed was not needed (the spent journal's mark): the
      // copy is whole.
      {
        CTEVDatabase copy;
        ASSERT_EQ(copy.OpenDatabase(out, 1), kOpenOk);
        EXPECT_TRUE(CheckDatabase(copy, out).Sound());
      }  // closed before it is removed: Windows removes no open file
      fs::remove(out);
      continue;
    }
    EXPECT_EQ(r.status, kRepairFailed);
    // A write that lands part of its bytes tells no cause of its own.
    EXPECT_TRUE(r.error.find("the disk is full") != std::string::npos ||
                r.error.find("a write was cut short") != std::string::npos)
        << r.error;
    EXPECT_EQ(Names(dir), std::set<std::string>{"in.tev"});
  }
}

TEST(Repair, RefusesWhatItMustNotWriteAndLeavesNothingBehind) {
  struct Case {
    const char* what;
    const char* in;
    const char* out;
    bool force;
    std::function<void(const TempDir&)> setup;
    const char* message;
  };
  const auto link = [](const char* to) {
    return [to](const TempDir& d) { fs::create_symlink(d.File(to), d.File("out.tev")); };
  };
  const auto stands = [](const TempDir& d) { crash::PutFile(d.File("out.tev"), Bytes{'k'}); };
  const Case cases[] = {
      {"OUT in a missing folder", "in.tev", "none/out.tev", false, {}, "there is no such folder"},
      {"OUT a link to nothing", "in.tev", "out.tev", true, link("elsewhere.tev"), "symbolic link"},
      {"OUT a link to the file", "in.tev", "out.tev", true, link("in.tev"),
       "is the file being repaired"},
      {"OUT a folder", "in.tev", "out.tev", true,
       [](const TempDir& d) { fs::create_directory(d.File("out.tev")); }, "is a folder"},
      {"OUT a file, no --force", "in.tev", "out.tev", false, stands, "--force replaces it"},
      {"OUT the file itself", "in.tev", "in.tev", true, {}, "is the file being repaired"},
      {"FILE missing", "missing.tev", "out.tev", false, {}, "cannot open the file"},
      {"FILE no database", "text.tev", "out.tev", false,
       [](const TempDir& d) { crash::PutFile(d.File("text.tev"), Bytes(20000, 'x')); },
       "nothing to mend from"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
#ifdef _WIN32
    // Making a symbolic link takes a privilege there.
    if (std::string(c.what).find("link") != std::string::npos) continue;
#endif
    TempDir dir;
    crash::PutFile(dir.File("in.tev"), SoundFile("sample"));
    if (c.setup) c.setup(dir);
    const std::set<std::string> before = Names(dir);
    const auto out_bytes = [&] {
      return fs::is_regular_file(fs::symlink_status(dir.File(c.out)))
                 ? crash::ReadFile(dir.File(c.out))
                 : std::nullopt;
    };
    const std::optional<Bytes> out_before = out_bytes();
    RepairOptions options;
    options.force = c.force;
    const RepairReport r = RepairDatabase(dir.File(c.in), dir.File(c.out), options);
    EXPECT_EQ(r.status, kRepairFailed);
    EXPECT_NE(r.error.find(c.message), std::string::npos) << r.error;
    EXPECT_EQ(Names(dir), before);
    EXPECT_TRUE(out_bytes() == out_before);
    EXPECT_TRUE(Read(dir.File("in.tev")) == SoundFile("sample"));
  }
}

TEST(Repair, AStopLeavesNothingBehind) {
  TempDir dir;
  const std::string in = dir.File("in.tev");
  Bytes bytes;
  ASSERT_TRUE(WriteDamaged("family", damaged::Named("every index node's links zeroed"), in, bytes));
  std::set<std::string> stages;
  for (int stop_at = 1;; ++stop_at) {
    int calls = 0;
    RepairOptions options;
    options.progress = [&](const std::string& stage, int64_t, int64_t) {
      stages.insert(stage);
      return ++calls < stop_at;
    };
    const RepairReport r = RepairDatabase(in, dir.File("out.tev"), options);
    if (calls < stop_at) {
      EXPECT_EQ(r.status, kRepairClean);
      break;
    }
    EXPECT_EQ(r.status, kRepairFailed);
    EXPECT_TRUE(r.cancelled);
    EXPECT_EQ(Names(dir), std::set<std::string>{"in.tev"});
  }
  EXPECT_EQ(stages, (std::set<std::string>{"checking", "copying", "mending", "checking the copy"}));
}

}  // namespace

namespace {

// The window repairs the file it holds open for writing: through its
// database, which the repair only reads; a second open would meet the lock.
TEST(Repair, ReadsTheFileTheCallerHoldsOpen) {
  TempDir dir;
  const std::string in = dir.File("in.tev"), out = dir.File("out.tev");
  Bytes bytes;
  ASSERT_TRUE(WriteDamaged("sample", damaged::Named("an index link zeroed"), in, bytes));
  CTEVDatabase held;
  ASSERT_EQ(held.OpenDatabase(in, 0), kOpenOk);
  EXPECT_EQ(RepairDatabase(in, out).status, kRepairFailed);  // locked
  RepairOptions options;
  options.source = &held;
  const RepairReport r = RepairDatabase(in, out, options);
  EXPECT_EQ(r.status, kRepairClean) << Lines(r);
  EXPECT_TRUE(Read(in) == bytes);
  EXPECT_FALSE(held.IsModified());
}

}  // namespace

// SPDX-License-Identifier: GPL-3.0-or-later
// kinscope-dump index and find written as they are read: the same bytes as
// the documents' text and JSON, on the sample and on copies with odd name
// bytes, a damaged tree, and an empty index.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <sstream>

#include "Coding.h"
#include "Dump.h"
#include "RecordLayouts.h"
#include "TEVDatabase.h"
#include "TempDir.h"
#include "TreeCheck.h"

using namespace kinscope;

namespace {

using Harm = std::function<void(CTEVDatabase&)>;

// Rewrites the text of the name record of node `node` (same length or shorter).
void Rename(CTEVDatabase& db, int32_t node, const std::string& text) {
  IndexNodeImage image{};
  db.LoadIndexNode(image, node);
  INameRecImage name{};
  const int32_t at = DecodeI32(image.data(), indexnode::kName);
  db.LoadINameRec(at, name);
  std::copy(text.begin(), text.end(), name.begin() + static_cast<std::ptrdiff_t>(iname::kText));
  name[iname::kText + text.size()] = 0;
  db.StoreINameText(at, name);
  db.WriteAt(at + static_cast<int32_t>(iname::kText + text.size()),
             name.data() + iname::kText + text.size(), 1);
}

TEST(DumpStream, SameBytesAsTheDocuments) {
  const std::pair<const char*, Harm> files[] = {
      {"sample", [](CTEVDatabase&) {}},
      {"odd bytes",
       [](CTEVDatabase& db) {  // quote, backslash, controls, 8-bit, blanks at the end
         Rename(db, 33,
                "Fr\"d\\\x01\t\n\x7f /A\xe9\x80"
                "e/ ");
         Rename(db, 4, "George /Aldridge/ \x1f");
       }},
      {"reached twice",
       [](CTEVDatabase& db) {
         db.SetNodeLink(CheckIndexTree(db).order.back(), db.HeaderI32(kHdrRootNode2), kGreaterLink);
       }},
      {"link above the bound",
       [](CTEVDatabase& db) { db.SetNodeLink(db.HeaderI32(kHdrRootNode2), 99999, kLesserLink); }},
      {"empty index",
       [](CTEVDatabase& db) {
         db.SetHeaderI32(kHdrRootNode, 0);
         db.SetHeaderI32(kHdrRootNode2, 0);
         db.UpdateHeader();
       }},
  };
  const std::pair<const char*, bool> searches[] = {// text, like
                                                   {"Whitc", false},
                                                   {"Aldridge", false},
                                                   {"Thomas /Whitcombe/", false},
                                                   {"Nobody /Here/", false},
                                                   {"", false},
                                                   {"Fr\"ed", false},
                                                   {"whitc\xC3\xB6mbe", false},
                                                   {"Witkam", true}};
  TempDir dir;
  int copy = 0;
  for (const auto& file : files) {
    const char* const what = file.first;  // a plain name: lambdas of C++17 take no binding
    const Harm& harm = file.second;
    const std::string path = dir.File("copy" + std::to_string(++copy) + ".tev");
    std::filesystem::copy_file(KINSCOPE_SAMPLE_DB, path);
    {
      CTEVDatabase db;
      ASSERT_EQ(db.OpenDatabase(path, 0), kOpenOk);
      harm(db);
      db.CloseDatabase();
    }
    CTEVDatabase db;
    ASSERT_EQ(db.OpenDatabase(path, 1), kOpenOk);
    for (const bool json : {false, true}) {
      const auto expect = [&](const dump::Result& doc, const dump::Result& written,
                              const std::string& out, const std::string& command) {
        EXPECT_EQ(out, json ? doc.doc.dump(2) + "\n" : dump::Text(command, doc.doc))
            << what << " " << command << (json ? " --json" : "");
        EXPECT_EQ(written.status, doc.status) << what;
        EXPECT_EQ(written.error, doc.error) << what;
      };
      std::ostringstream index;
      const dump::Result written = dump::WriteIndex(db, index, json);
      expect(dump::Index(db), written, index.str(), "index");
      if (std::string(what) == "odd bytes" && json) {
        // 0x80 is the euro sign, as the record command and the windows show it.
        EXPECT_NE(index.str().find("Fr\\\"d\\\\\\u0001\\t\\n\x7f /A\xc3\xa9\xe2\x82\xac"
                                   "e/ "),
                  std::string::npos);
      }
      for (const auto& [text, like] : searches) {
        dump::FindOptions options;
        options.like = like;
        std::ostringstream found;
        const dump::Result w = dump::WriteFind(db, text, found, json, options);
        expect(dump::Find(db, text, like), w, found.str(), std::string("find ") + text);
        std::ostringstream walked_twice;  // rows beyond what the first walk keeps
        options.keep_bytes = 200;
        const dump::Result w2 = dump::WriteFind(db, text, walked_twice, json, options);
        expect(dump::Find(db, text, like), w2, walked_twice.str(),
               std::string("find ") + text + " (walked twice)");
      }
    }
  }
}

}  // namespace

// SPDX-License-Identifier: GPL-3.0-or-later
// The index and find commands: the individual index in name order, and the
// entries under a name, as documents or written out as they are read.
//
// Written out, the text's columns are as wide as their widest cell and the
// JSON document gives the count of runs and the tree's soundness before the
// first node: so the index is walked twice, the first walk measuring, the
// second writing, and nothing grows with the file but the walk's marks.
#include <array>
#include <cstdint>
#include <cstdio>
#include <algorithm>
#include <ostream>
#include <string_view>
#include <vector>

#include "Coding.h"
#include "Cp1252.h"
#include "Dump.h"
#include "FieldText.h"
#include "FileCheck.h"
#include "Messages.h"
#include "NameFind.h"
#include "NameKeys.h"
#include "Progress.h"
#include "RecordLayouts.h"
#include "TEVDatabase.h"
#include "TreeCheck.h"

namespace kinscope::dump {
namespace {

// A key's characters as the bytes they were widened from, as UTF-8.
void AppendKey(std::string& out, const WideText& key) {
  char bytes[kNameKeyCapacity];
  size_t n = 0;
  for (char16_t c : key) {
    if (c == 0 || n == sizeof bytes) break;
    bytes[n++] = static_cast<char>(c & 0xff);
  }
  AppendCp1252AsUtf8(out, std::string_view(bytes, n));
}

std::string KeyText(const WideText& key) {
  std::string out;
  AppendKey(out, key);
  return out;
}

int Fold(const WideText& a, const WideText& b) {
  return CUnicodeCompareDefault::Instance().Compare(a, b, 0);
}

// One line of a listing: the index's node, name, rin, key and run; find's
// node, name, rin, key, birth and, for a forgiving search, how it matched.
struct Row {
  int32_t node = 0;
  std::string name;  // UTF-8
  int32_t rin = 0;
  std::string key;         // UTF-8
  int32_t run = 0;         // index: the run the node is in, 0 for none
  std::string birth;       // find
  std::string_view match;  // find: "exact", "spelling" or "sound"; empty for an exact search
};

std::string_view MatchName(MatchKind how) {
  switch (how) {
    case MatchKind::kExact:
      return "exact";
    case MatchKind::kSpelling:
      return "spelling";
    case MatchKind::kSound:
      return "sound";
  }
  return "";
}

// The index in order, each row given to `emit` once the next node tells
// whether it begins a run. Returns the faults of the walk and the runs.
template <typename Emit>
TreeFaults WalkIndex(CTEVDatabase& db, int& runs, Emit&& emit) {
  IndexWalk walk(db);
  IndexEntry entry;
  WideText previous;
  std::array<Row, 2> rows;  // the row held back and the one being made
  bool held = false;
  bool in_run = false;
  runs = 0;
  while (walk.Next(entry)) {
    Row& row = rows[held ? 1 : 0];
    row.node = entry.node;
    row.name.clear();
    row.rin = 0;
    if (entry.name_read != 0) {
      AppendCp1252AsUtf8(row.name, reinterpret_cast<const char*>(entry.name.data() + iname::kText));
      row.rin = DecodeI32(entry.name.data(), iname::kOwnerId);
    }
    row.key.clear();
    AppendKey(row.key, entry.key);
    const bool same = held && Fold(entry.key, previous) == 0;
    if (same && !in_run) rows[0].run = ++runs;
    in_run = same;
    row.run = same ? runs : 0;
    if (held) {
      emit(static_cast<const Row&>(rows[0]));
      std::swap(rows[0], rows[1]);
    }
    held = true;
    previous.swap(entry.key);
  }
  if (held) emit(static_cast<const Row&>(rows[0]));
  return walk.Faults();
}

// The entries `finder` gives in order, each given to `emit`, with how it
// matched when `marked`. The finder tells the key searched for and what
// damage it met.
template <typename Finder, typename Emit>
void WalkFind(Finder& finder, CTEVDatabase& db, bool marked, Emit&& emit) {
  NameMatch match;
  Row row;
  while (finder.Next(match)) {
    row.node = match.node;
    row.name.clear();
    AppendCp1252AsUtf8(row.name, match.name);
    row.rin = match.rin;
    row.key.clear();
    AppendKey(row.key, match.key);
    row.birth = BirthDateText(db, match.rin);
    row.match = marked ? MatchName(match.how) : std::string_view();
    emit(static_cast<const Row&>(row));
  }
}

// Output written in pieces of about 64 KB.
class Writer {
 public:
  explicit Writer(std::ostream& out) : out_(out) { buffer_.reserve(kPiece + 4096); }
  ~Writer() { Flush(); }
  Writer(const Writer&) = delete;
  Writer& operator=(const Writer&) = delete;

  Writer& operator<<(std::string_view text) {
    buffer_ += text;
    if (buffer_.size() >= kPiece) Flush();
    return *this;
  }
  Writer& operator<<(int32_t n) {
    char digits[16];
    const int length = std::snprintf(digits, sizeof digits, "%d", n);
    return *this << std::string_view(digits, static_cast<size_t>(length));
  }
  // A JSON string: quoted and escaped as the document's dump escapes it.
  Writer& Quoted(std::string_view text) {
    buffer_ += '"';
    for (const char ch : text) {
      switch (ch) {
        case '"':
          buffer_ += "\\\"";
          break;
        case '\\':
          buffer_ += "\\\\";
          break;
        case '\b':
          buffer_ += "\\b";
          break;
        case '\f':
          buffer_ += "\\f";
          break;
        case '\n':
          buffer_ += "\\n";
          break;
        case '\r':
          buffer_ += "\\r";
          break;
        case '\t':
          buffer_ += "\\t";
          break;
        default:
          if (static_cast<unsigned char>(ch) < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(ch));
            buffer_ += escape;
          } else {
            buffer_ += ch;
          }
      }
    }
    buffer_ += '"';
    return *this << std::string_view();
  }
  // A line of cells, each but the last padded to its column's width (in
  // characters) and two blanks, without blanks at its end, as the text tables are.
  template <typename CellList>
  void Line(std::string_view indent, const CellList& cells, const std::vector<size_t>& widths) {
    buffer_ += indent;
    for (size_t i = 0; i < cells.size(); ++i) {
      buffer_ += cells[i];
      if (i + 1 < cells.size()) buffer_.append(widths[i] - TextWidth(cells[i]) + 2, ' ');
    }
    while (!buffer_.empty() && buffer_.back() == ' ') buffer_.pop_back();
    *this << "\n";
  }
  void Flush() {
    out_.write(buffer_.data(), static_cast<std::streamsize>(buffer_.size()));
    buffer_.clear();
  }

 private:
  static constexpr size_t kPiece = 65536;
  std::ostream& out_;
  std::string buffer_;
};

std::string Number(int32_t n) { return std::to_string(n); }

// Digits of numbers, kept for as long as the cells that show them.
struct Digits {
  char text[3][16];
  std::string_view Of(size_t i, int32_t n) {
    const int length = std::snprintf(text[i], sizeof text[i], "%d", n);
    return std::string_view(text[i], static_cast<size_t>(length));
  }
};

// The cells of a line: five, or six for a forgiving find's rows.
struct Cells {
  std::array<std::string_view, 6> cell;
  size_t count = 5;
  size_t size() const { return count; }
  std::string_view operator[](size_t i) const { return cell[i]; }
};

// The cells of a row, in the columns' order.
Cells RowCells(const Row& row, bool find, Digits& digits) {
  return {{digits.Of(0, row.node), row.name, digits.Of(1, row.rin), row.key,
           find           ? std::string_view(row.birth)
           : row.run == 0 ? "-"
                          : digits.Of(2, row.run),
           row.match},
          row.match.empty() ? size_t{5} : size_t{6}};
}

template <typename CellList>
void Widen(std::vector<size_t>& widths, const CellList& cells) {
  for (size_t i = 0; i < cells.size(); ++i) widths[i] = std::max(widths[i], TextWidth(cells[i]));
}

// One row as a JSON object among the array's items.
void JsonRow(Writer& w, const Row& row, bool find, bool first) {
  w << (first ? "\n    {\n" : ",\n    {\n") << "      \"node\": " << row.node
    << ",\n      \"name\": ";
  w.Quoted(row.name) << ",\n      \"rin\": " << row.rin << ",\n      \"key\": ";
  w.Quoted(row.key);
  if (find) {
    w << ",\n      \"birth\": ";
    w.Quoted(row.birth);
    if (!row.match.empty()) w << ",\n      \"match\": \"" << row.match << "\"";
  } else if (row.run == 0) {
    w << ",\n      \"run\": null";
  } else {
    w << ",\n      \"run\": " << row.run;
  }
  w << "\n    }";
}

json Describe(const Row& row, bool find) {
  json j = {{"node", row.node}, {"name", row.name}, {"rin", row.rin}, {"key", row.key}};
  if (find) j["birth"] = row.birth;
  else j["run"] = row.run == 0 ? json(nullptr) : json(row.run);
  if (!row.match.empty()) j["match"] = row.match;
  return j;
}

const char kIndexDamaged[] = "the index is damaged: run the check command for details";

// What a find's walk ends with: the exact lookup's node where damage stopped
// it, or the forgiving walk's verdict on the tree.
struct FindEnd {
  int32_t damaged_at = 0;
  bool index_sound = true;
};
FindEnd EndOf(const NameFinder& finder) { return {finder.DamagedAt(), true}; }
FindEnd EndOf(const LikeFinder& finder) { return {0, finder.Faults().Sound()}; }

Result Ending(json doc, const FindEnd& end) {
  if (end.damaged_at != 0) return {std::move(doc), kProblems, FindStoppedText(end.damaged_at)};
  if (!end.index_sound) return {std::move(doc), kProblems, kIndexDamaged};
  return {std::move(doc), kOk, ""};
}

// A find as it is asked for: its text in the file's code page and the search
// that answers it. False, with the reason, when the text cannot be encoded.
struct FindPlan {
  std::string bytes;
  SearchKind kind = SearchKind::kExact;
  std::string error;
};

FindPlan Plan(CTEVDatabase& db, const std::string& text, bool like) {
  FindPlan plan;
  char32_t missing = 0;
  if (!Utf8ToCp1252(text, plan.bytes, missing)) plan.error = Cp1252MissingText(missing);
  else plan.kind = ChooseSearch(db, plan.bytes, like);
  return plan;
}

const char* SearchName(SearchKind kind) { return kind == SearchKind::kLike ? "like" : "spelling"; }

// The find document of `finder`'s entries (see Find).
template <typename Finder>
Result FindDocument(CTEVDatabase& db, Finder finder, const FindPlan& plan) {
  const bool forgiving = plan.kind != SearchKind::kExact;
  json found = json::array();
  WalkFind(finder, db, forgiving, [&](const Row& row) { found.push_back(Describe(row, true)); });
  const FindEnd end = EndOf(finder);
  json doc = {{"text", Latin1(plan.bytes)}, {"key", KeyText(finder.Prefix())}};
  if (forgiving) doc["search"] = SearchName(plan.kind);
  doc["found"] = std::move(found);
  if (end.damaged_at != 0) doc["damaged_at"] = end.damaged_at;
  if (forgiving) doc["index_sound"] = end.index_sound;
  return Ending(std::move(doc), end);
}

// The most entries a search can walk, for its progress line; none for the
// exact lookup, which descends the tree.
int64_t TotalOf(const LikeFinder& finder) { return finder.Total(); }
int64_t TotalOf(const NameFinder&) { return 0; }

// Find written as it is read (see WriteFind), from the finders `make` makes.
template <typename Make>
Result WriteFound(CTEVDatabase& db, Make make, const FindPlan& plan, std::ostream& out,
                  bool as_json, const FindOptions& options) {
  const bool forgiving = plan.kind != SearchKind::kExact;
  std::vector<size_t> widths = {4, 4, 3, 3, 5, 5};
  Digits numbers;
  bool any = false;
  FindEnd end;
  // The text's first lines need the widths and the damage: the first walk
  // measures, keeping its rows up to `keep_bytes` so that a find of
  // ordinary size is walked once; beyond that the rows are walked again.
  std::vector<Row> kept;
  bool all_kept = !as_json;
  // The walk that the progress line follows: the text's first, measuring
  // walk, or the JSON's only one. A second walk of the text writes its rows
  // as it goes and draws no line.
  Progress silent;
  Progress& line = options.progress != nullptr && forgiving ? *options.progress : silent;
  const auto progress = [&line](int64_t walked, int64_t total) { line.Update(walked, total); };
  const auto none = [](int64_t, int64_t) {};
  if (!as_json) {
    auto measure = make(progress);
    line.Update(0, TotalOf(measure));
    size_t kept_bytes = 0;
    WalkFind(measure, db, forgiving, [&](const Row& row) {
      any = true;
      Widen(widths, RowCells(row, true, numbers));
      if (!all_kept) return;
      kept_bytes += sizeof(Row) + row.name.size() + row.key.size() + row.birth.size();
      if (kept_bytes > options.keep_bytes) {
        all_kept = false;
        std::vector<Row>().swap(kept);
      } else {
        kept.push_back(row);
      }
    });
    end = EndOf(measure);
    line.End();
  }
  auto finder = as_json ? make(progress) : make(none);
  if (as_json) line.Update(0, TotalOf(finder));
  const std::string shown = Latin1(plan.bytes);
  const std::string key = KeyText(finder.Prefix());
  const char* search = SearchName(plan.kind);
  Writer w(out);
  if (as_json) {
    w << "{\n  \"text\": ";
    w.Quoted(shown) << ",\n  \"key\": ";
    w.Quoted(key);
    if (forgiving) w << ",\n  \"search\": \"" << search << "\"";
    w << ",\n  \"found\": [";
  } else {
    const std::vector<size_t> head = {end.damaged_at != 0 ? 10u : forgiving ? 11u : 4u, 0};
    const std::string damage = Number(end.damaged_at);
    using Pair = std::array<std::string_view, 2>;
    w.Line("", Pair{"text", shown}, head);
    w.Line("", Pair{"key", key}, head);
    if (forgiving) w.Line("", Pair{"search", search}, head);
    if (end.damaged_at != 0) w.Line("", Pair{"damaged_at", damage}, head);
    if (forgiving) w.Line("", Pair{"index_sound", end.index_sound ? "true" : "false"}, head);
    w << "\nfound:\n";
    if (!any) {
      w << "  (none)\n";
    } else {
      Cells heading{{"node", "name", "rin", "key", "birth", "match"}, forgiving ? 6u : 5u};
      w.Line("  ", heading, widths);
    }
  }
  bool first = true;
  if (all_kept) {
    for (const Row& row : kept) w.Line("  ", RowCells(row, true, numbers), widths);
  } else {
    WalkFind(finder, db, forgiving, [&](const Row& row) {
      if (as_json) JsonRow(w, row, true, first);
      else w.Line("  ", RowCells(row, true, numbers), widths);
      first = false;
    });
    end = EndOf(finder);
  }
  line.End();
  if (as_json) {
    w << (first ? "]" : "\n  ]");
    if (end.damaged_at != 0) w << ",\n  \"damaged_at\": " << end.damaged_at;
    if (forgiving) w << ",\n  \"index_sound\": " << (end.index_sound ? "true" : "false");
    w << "\n}\n";
  }
  return Ending(json(), end);
}

}  // namespace

Result Index(CTEVDatabase& db) {
  const ReadCacheScope cache(db);
  json nodes = json::array();
  int runs = 0;
  const TreeFaults faults =
      WalkIndex(db, runs, [&](const Row& row) { nodes.push_back(Describe(row, false)); });
  json doc = {{"root", db.HeaderI32(kHdrRootNode2)},
              {"sound", faults.Sound()},
              {"runs", runs},
              {"nodes", nodes}};
  if (!faults.Sound()) return {doc, kProblems, kIndexDamaged};
  return {doc, kOk, ""};
}

Result Find(CTEVDatabase& db, const std::string& text, bool like) {
  const ReadCacheScope cache(db);
  const FindPlan plan = Plan(db, text, like);
  if (!plan.error.empty()) return {json(), kCannotOpen, plan.error};
  if (plan.kind == SearchKind::kExact) {
    return FindDocument(db, NameFinder(db, plan.bytes), plan);
  }
  return FindDocument(db, LikeFinder(db, plan.bytes, plan.kind == SearchKind::kLike), plan);
}

Result WriteIndex(CTEVDatabase& db, std::ostream& out, bool as_json, Progress* progress) {
  const ReadCacheScope cache(db);  // both walks
  Progress silent;
  Progress& line = progress != nullptr ? *progress : silent;
  // First walk: the runs, the soundness and the widths of the columns. The
  // header tells how many nodes to expect; the first walk, how many there are.
  const int64_t expected = IndexNodeCount(db);
  int64_t nodes = 0;
  std::vector<size_t> widths = {4, 4, 3, 3, 3};
  Digits numbers;
  int runs = 0;
  bool any = false;
  const TreeFaults faults = WalkIndex(db, runs, [&](const Row& row) {
    any = true;
    line.Update(++nodes, 2 * std::max(expected, nodes));
    if (!as_json) Widen(widths, RowCells(row, false, numbers));
  });
  const std::string root = Number(db.HeaderI32(kHdrRootNode2));
  const char* sound = faults.Sound() ? "true" : "false";
  Writer w(out);
  if (as_json) {
    w << "{\n  \"root\": " << root << ",\n  \"sound\": " << sound << ",\n  \"runs\": " << runs
      << ",\n  \"nodes\": [";
  } else {
    const std::vector<size_t> head = {5, 0};
    const std::string count = Number(runs);
    using Pair = std::array<std::string_view, 2>;
    w.Line("", Pair{"root", root}, head);
    w.Line("", Pair{"sound", sound}, head);
    w.Line("", Pair{"runs", count}, head);
    w << "\nnodes:\n";
    if (!any) w << "  (none)\n";
    else w.Line("  ", Cells{{"node", "name", "rin", "key", "run"}}, widths);
  }
  // Second walk: the rows.
  bool first = true;
  int64_t written = 0;
  WalkIndex(db, runs, [&](const Row& row) {
    line.Update(nodes + ++written, 2 * nodes);
    if (as_json) JsonRow(w, row, false, first);
    else w.Line("  ", RowCells(row, false, numbers), widths);
    first = false;
  });
  line.End();
  if (as_json) w << (any ? "\n  ]\n}\n" : "]\n}\n");
  if (!faults.Sound()) return {json(), kProblems, kIndexDamaged};
  return {json(), kOk, ""};
}

Result WriteFind(CTEVDatabase& db, const std::string& text, std::ostream& out, bool as_json,
                 const FindOptions& options) {
  const ReadCacheScope cache(db);  // both walks
  const FindPlan plan = Plan(db, text, options.like);
  if (!plan.error.empty()) return {json(), kCannotOpen, plan.error};
  if (plan.kind == SearchKind::kExact) {
    return WriteFound(
        db, [&](const auto&) { return NameFinder(db, plan.bytes); }, plan, out, as_json, options);
  }
  const auto make = [&](const auto& progress) {
    LikeFinder finder(db, plan.bytes, plan.kind == SearchKind::kLike);
    finder.OnProgress(progress);
    return finder;
  };
  return WriteFound(db, make, plan, out, as_json, options);
}

}  // namespace kinscope::dump

// SPDX-License-Identifier: GPL-3.0-or-later
#include "SameNameReorder.h"

#include <new>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "Causes.h"
#include "Coding.h"
#include "IndexKeyRanks.h"
#include "Journal.h"
#include "NameKeys.h"
#include "RecordLayouts.h"
#include "ReorderDate.h"
#include "PlatformFile.h"
#include "PlatformSeam.h"
#include "TEVDatabase.h"
#include "TextBuffer.h"
#include "TraceFile.h"
#include "TreeCheck.h"

namespace kinscope {
namespace {

constexpr char kTag[] = "SameNameReorder";
constexpr int32_t kFirstCapacity = 100;

// A failure that stops the re-ordering: its message, the cause that follows
// it, and the program's exit status. Thrown inside this file only and
// caught by ReorderIdenticalNames, so that the walk stops at once wherever
// it is.
struct Failure {
  std::string text;
  std::string title;
  int status;
  std::string cause;
};

[[noreturn]] void Fail(std::string text, const char* title, int status, std::string cause) {
  throw Failure{std::move(text), title, status, std::move(cause)};
}

// A write of the change failed: the walk stops at once, and the change is
// rolled back.
struct WriteFailed {};

// The progress callback cancelled the re-ordering: rolled back as a failure.
struct Cancelled {};

// Nodes of the walk between two calls of the progress callback.
constexpr int32_t kNodesPerReport = 4096;

std::string Num(int64_t n) { return std::to_string(n); }

// One member of a run, as Proc_sames sorts it.
struct RunEntry {
  int32_t node = 0;
  int32_t owner = 0;
  int32_t name_offset = 0;
  std::string date_key;
  int32_t mark = 0;  // the character a renaming scheme would change; unused
  std::string saved_text;
};

// The index of the character that sets a name apart from its namesakes: the
// last letter of the given part before " /", the one before a "." there, or
// the text's last character.
int32_t MarkPosition(const std::string& text) {
  const size_t k = text.find('/');
  if (k != std::string::npos && k >= 2 && text[k - 1] == ' ') {
    return static_cast<int32_t>(text[k - 2] == '.' ? k - 3 : k - 2);
  }
  return static_cast<int32_t>(text.size()) - 1;
}

class Reorder {
 public:
  Reorder(CTEVDatabase& db, const ReorderProgress& progress)
      : db_(db), progress_(progress), detail_(TraceDetail()) {
    run_.reserve(static_cast<size_t>(capacity_));
  }
  void SetLog(platform::FileHandle log) { log_ = log; }

  // Ranks every node's key once, for the re-insertions (IndexKeyRanks.h),
  // and counts the runs for the progress callback.
  void RankKeys() {
    ranks_.Build(db_);
    Report();
  }
  void traversal(int32_t root);
  void Proc_sames();
  int32_t Pending() const { return samescnt_; }

 private:
  // A node of the walk: its links as they were loaded.
  struct Frame {
    int32_t node;
    IndexNodeImage image;
    int stage;  // 0: lesser subtree next, 1: the node itself next, 2: done
  };

  // The walk's points are met at every node: written only when asked.
  void Trace(int point) {
    if (detail_) WriteTrace(kTag, point, "traversal");
  }
  // Tells the progress callback how far the runs got; stops the walk when
  // it cancels. The trace is written when a second has passed.
  void Report() {
    TraceTick();
    if (progress_ && !progress_(done_, static_cast<int64_t>(ranks_.Runs()))) throw Cancelled();
  }
  // Loads `n` and checks that it is in the tree; ends the program if not.
  Frame Enter(int32_t n);
  void Visit(const Frame& frame);

  void Log(const std::string& text) {
    if (log_short_) return;
    if (platform::Seam().Append(log_, text.data(), text.size()) != text.size()) {
      log_short_ = true;
      log_error_ = platform::LastError();
    }
  }

 public:
  // Whether a write of the log fell short, and the error it met.
  bool log_short_ = false;
  int log_error_ = 0;

 private:
  CTEVDatabase& db_;
  const ReorderProgress& progress_;
  const bool detail_;
  int64_t done_ = 0;          // runs processed
  int32_t since_report_ = 0;  // nodes since the last report
  platform::FileHandle log_ = platform::kNoFile;
  std::vector<int32_t> run_;
  int32_t capacity_ = kFirstCapacity;
  int32_t samescnt_ = 0;
  WideText previous_key_;
  int32_t previous_node_ = 0;
  NodeMarks met_;  // a bit per node met
  IndexKeyRanks ranks_;
};

Reorder::Frame Reorder::Enter(int32_t n) {
  if (++since_report_ == kNodesPerReport) {
    since_report_ = 0;
    Report();
  }
  Trace(173);
  Frame frame{n, {}, 0};
  // Read first, so that only a number the file holds a node for is marked:
  // the marks then grow with the file's index, not with the numbers in it.
  if (db_.LoadIndexNode(frame.image, n) == 0) {
    Fail("Error 5", "Aborting", kReorderDamageStatus, "Index node " + Num(n) + " cannot be read.");
  }
  if (!met_.Mark(n, true)) {
    Fail("Index node " + Num(n) + " is reached a second time: the index links are damaged",
         "Aborting", kReorderDamageStatus, std::string());
  }
  Trace(178);
  if (DecodeI32(frame.image.data(), indexnode::kParent) == -1) {
    Fail("Error 6", "Aborting", kReorderDamageStatus,
         "Index node " + Num(n) + " is marked as outside the index (its parent link is -1).");
  }
  Trace(183);
  return frame;
}

// The walk keeps its own stack, so a degenerate tree (a long chain of
// lesser or greater links) cannot exhaust the program's.
void Reorder::traversal(int32_t root) {
  std::vector<Frame> stack;
  stack.push_back(Enter(root));
  while (!stack.empty()) {
    Frame& top = stack.back();
    int32_t next = 0;
    if (top.stage == 0) {
      next = DecodeI32(top.image.data(), indexnode::kLesser);
    } else if (top.stage == 1) {
      Visit(top);
      next = DecodeI32(top.image.data(), indexnode::kGreater);
    } else {
      Trace(243);
      stack.pop_back();
      continue;
    }
    ++top.stage;
    // `top` is not used past this point: the push may move the frames.
    if (next != 0) stack.push_back(Enter(next));
  }
}

void Reorder::Visit(const Frame& frame) {
  const int32_t n = frame.node;
  Trace(187);
  Trace(190);
  Trace(193);
  WideText text;
  uint8_t type = 0;
  if (ReadINameText(db_, text, type, DecodeI32(frame.image.data(), indexnode::kName)) == 0) {
    Fail("The name of index node " + Num(n) + " cannot be read or fails its checks", "Aborting",
         kReorderNameTextStatus, std::string());
  }
  Trace(199);
  WideText key;
  MakeNameKey(text, key, kNameKeyCapacity);
  Trace(202);
  if (CUnicodeCompareDefault::Instance().Compare(key, previous_key_, 0) == 0) {
    Trace(205);
    if (samescnt_ == 0) {
      Trace(207);
      run_.push_back(previous_node_);
      ++samescnt_;
    }
    Trace(210);
    if (samescnt_ == capacity_) {
      Trace(212);
      capacity_ *= 2;
      run_.reserve(static_cast<size_t>(capacity_));
    }
    Trace(219);
    run_.push_back(n);
    ++samescnt_;
  } else {
    Trace(222);
    if (samescnt_ > 0) {
      Trace(224);
      Proc_sames();
      Trace(227);
    }
    Trace(229);
  }
  // The whole key, up to and including its end.
  Trace(232);
  const size_t units = key.find(u'\0') == WideText::npos ? key.size() : key.find(u'\0');
  previous_key_.clear();
  for (size_t i = 0; i <= units; ++i) {
    Trace(234);
    if (i < units) previous_key_.push_back(key[i]);
    Trace(236);
  }
  Trace(239);
  previous_node_ = n;
  Trace(241);
}

void Reorder::Proc_sames() {
  std::string lines = "\nsamescnt: " + std::to_string(samescnt_) + "\n";
  for (int32_t node : run_) lines += " " + std::to_string(node);
  WriteTraceText(lines);
  // Its points are met at every run and every member: written only when
  // asked.
  auto trace = [this](int point) {
    if (detail_) WriteTrace(kTag, point, "Proc_sames");
  };
  trace(46);
  std::vector<RunEntry> entries(static_cast<size_t>(samescnt_));
  trace(49);
  for (size_t i = 0; i < run_.size(); ++i) {
    trace(51);
    RunEntry entry;
    entry.node = run_[i];
    IndexNodeImage node{};
    if (db_.LoadIndexNode(node, entry.node) == 0) {
      Fail("Error 1008", "Abort", kReorderDamageStatus,
           "Index node " + Num(entry.node) + " of a run of identical names cannot be read.");
    }
    trace(58);
    entry.name_offset = DecodeI32(node.data(), indexnode::kName);
    INameRecImage name{};
    if (db_.LoadINameRec(entry.name_offset, name) == 0) {
      Fail("Error 1007", "Abort", kReorderDamageStatus,
           "The individual's name record at offset " + Num(entry.name_offset) + " cannot be read.");
    }
    if (DecodeU8(name.data(), iname::kType) != 1) {
      Fail("Unexpected type in name record", "Error 649", kReorderDamageStatus,
           "The name record at offset " + Num(entry.name_offset) + " has type " +
               Num(DecodeU8(name.data(), iname::kType)) + ": it does not name an individual.");
    }
    entry.owner = DecodeI32(name.data(), iname::kOwnerId);
    entry.saved_text = reinterpret_cast<const char*>(name.data() + iname::kText);
    if (i == 0) Log("\nFor " + entry.saved_text);
    trace(73);
    Log("\n  " + std::to_string(entry.node));
    trace(77);
    entry.mark = MarkPosition(entry.saved_text);
    trace(92);
    IndividImage person{};
    if (db_.LoadIndivid(person, entry.owner) == 0) {
      Fail("Error 1010", "Abort", kReorderDamageStatus,
           "Individual " + Num(entry.owner) + ", who owns the name at offset " +
               Num(entry.name_offset) + ", cannot be read.");
    }
    trace(99);
    auto dated = [&](size_t event_at) {
      std::optional<wtev5date> date = ReorderDate(person.data() + event_at + event::kDate);
      if (!date) {
        Fail("Unknown date type", "Error", kUnknownDateTypeStatus,
             "A date of individual " + Num(entry.owner) + " has date type " +
                 Num(person[event_at + event::kDate] & 15) + ", which no date has.");
      }
      return *date;
    };
    wtev5date date = dated(individ::kBirth);
    if (date.IsEmptyDate()) {
      wtev5date christening = dated(individ::kChristening);
      if (!christening.IsEmptyDate()) date = christening;
    }
    entry.date_key = date.DateSortKey().Text();
    trace(112);
    // Insertion by date key, compared as unsigned bytes; equal keys keep
    // their walk order.
    size_t slot = i;
    while (slot > 0 && entry.date_key < entries[slot - 1].date_key) {
      entries[slot] = std::move(entries[slot - 1]);
      --slot;
    }
    trace(117);
    entries[slot] = std::move(entry);
  }
  // Re-inserted from the last slot to the first by their own names: each
  // goes before the equal keys already in the tree, so the run ends in slot
  // order and the tree stays ordered. No name text is changed.
  trace(127);
  // A write that failed stops the re-ordering at once: the change is then
  // rolled back.
  for (size_t s = entries.size(); s-- > 0;) {
    db_.ReinsertNode(entries[s].node, entries[s].name_offset, ranks_);
    if (db_.ChangeFailed()) throw WriteFailed();
  }
  trace(140);
  trace(150);
  entries.clear();
  trace(153);
  run_.clear();
  samescnt_ = 0;
  ++done_;
  Report();
}

}  // namespace

std::string ReorderLogName(const std::string& file_name) {
  const size_t at = file_name.find_last_of("/.");
  if (at != std::string::npos && file_name[at] == '.') return file_name.substr(0, at + 1) + "log";
  return file_name + ".log";
}

std::string LogRefusal(const std::string& log_name) {
  if (platform::KindOfPath(log_name) == platform::PathKind::kNothing) return std::string();
  const platform::FileHandle old = platform::OpenAppend(log_name);
  if (old != platform::kNoFile) {
    platform::Close(old);
    return std::string();
  }
  return "The log " + log_name + " is a link, not a regular file or not yours: it was left alone.";
}

namespace {

// The walk, the runs and the log: everything of the re-ordering that may
// stop with a Failure.
void Run(CTEVDatabase& db, const std::string& file_name, Reorder& reorder,
         const std::string& log_name) {
  auto trace = [](int point) { WriteTrace(kTag, point, "Just starting"); };
  const int32_t root = db.HeaderI32(kHdrRootNode2);
  trace(252);
  trace(255);
  const size_t at = file_name.find_last_of("/.");
  trace(258);
  trace(at != std::string::npos && file_name[at] == '.' ? 260 : 263);
  trace(266);
  // An existing log is replaced only when it is a regular file of the user's;
  // the new one is created afresh, never through a link.
  if (const std::string refused = LogRefusal(log_name); !refused.empty()) {
    Fail("Error 1000", "Abort", kReorderLogStatus, refused);
  }
  if (platform::Exists(log_name)) platform::RemoveFile(log_name);
  platform::FileHandle log = platform::CreateNew(log_name);
  if (log != platform::kNoFile) {
    platform::Close(log);
    log = platform::OpenAppend(log_name);
  }
  trace(268);
  if (log == platform::kNoFile) {
    Fail("Error 1000", "Abort", kReorderLogStatus,
         "The log " + log_name + " cannot be created (" +
             WriteFailureCause(platform::LastError(), std::string()) + ").");
  }
  trace(273);
  reorder.SetLog(log);
  trace(276);
  // Synced and closed however the walk ends.
  struct Closer {
    platform::FileHandle log;
    Reorder& reorder;
    ~Closer() {
      if (!platform::Sync(log) && !reorder.log_short_) {
        reorder.log_short_ = true;
        reorder.log_error_ = platform::LastError();
      }
      platform::Close(log);
    }
  } closer{log, reorder};
  // The walk and each re-insertion's way down from the root read nodes and
  // names all over the file, many times over: through the read cache, which
  // drops every page the re-ordering writes.
  const ReadCacheScope cache(db);
  reorder.RankKeys();
  reorder.traversal(root);
  trace(278);
  if (reorder.Pending() > 0) reorder.Proc_sames();
}

// What became of the file after a failed write, as the change was ended.
std::string FileOutcome(const CTEVDatabase& db, ChangeEnd end) {
  if (end == ChangeEnd::kLeft) {
    return "It could not be undone yet (" + WriteFailureCause(db.ChangeError(), db.Path()) +
           "): the file may hold part of the re-ordering. Its journal " + JournalPath(db.Path()) +
           " stays, and the next time the file is opened for writing the re-ordering is undone.";
  }
  return "It was undone: the file is as it was before it began.";
}

}  // namespace

ReorderResult ReorderIdenticalNames(CTEVDatabase& db, const std::string& file_name,
                                    const ReorderProgress& progress) {
  WriteTrace(kTag, 249, "Just starting");
  ReorderResult result;
  const std::string log_name = ReorderLogName(file_name);
  Reorder reorder(db, progress);
  std::optional<Failure> failure;
  bool cancelled = false;
  try {
    Run(db, file_name, reorder, log_name);
  } catch (const Failure& f) {
    failure = f;
  } catch (const Cancelled&) {
    cancelled = true;
  } catch (const WriteFailed&) {
    // Ended below, as a commit of a failed change ends: rolled back.
  } catch (const std::bad_alloc&) {
    failure = Failure{"Out of memory", "Error", kOutOfMemoryStatus,
                      "A text of the re-ordering could not be allocated."};
  }
  if (cancelled) {
    const ChangeEnd end = db.RollBackChange();
    result.outcome = ReorderResult::Outcome::kCancelled;
    result.text = "The re-ordering was cancelled.";
    result.title = "Re-order identical names";
    result.status = end == ChangeEnd::kLeft ? kReorderLeftStatus : kReorderCancelledStatus;
    result.detail = end == ChangeEnd::kLeft ? FileOutcome(db, end)
                                            : "What it had written was undone: the file is as it "
                                              "was before it began.";
  } else if (failure) {
    const ChangeEnd end = db.RollBackChange();
    result.outcome = ReorderResult::Outcome::kFailed;
    result.text = failure->text;
    result.title = failure->title;
    // A file that could not be put back outweighs the failure's own status.
    result.status = end == ChangeEnd::kLeft ? kReorderLeftStatus : failure->status;
    result.detail = failure->cause;
    if (!result.detail.empty()) result.detail += "\n";
    result.detail += end == ChangeEnd::kLeft
                         ? FileOutcome(db, end)
                         : "Nothing was changed: the file is as it was before the re-ordering "
                           "began.";
  } else if (db.CommitChange() != 1) {
    const ChangeEnd end = db.LastChangeEnd();
    result.outcome = ReorderResult::Outcome::kFailed;
    result.text = "The re-ordering could not be written (" +
                  WriteFailureCause(db.ChangeError(), db.Path()) + ").";
    result.title = "Abort";
    result.status = end == ChangeEnd::kLeft ? kReorderLeftStatus : kReorderWriteStatus;
    result.detail = FileOutcome(db, end);
  } else {
    result.text = "Done";
    result.title = "-*-";
  }
  if (db.JournalLeftBehind()) {
    if (!result.detail.empty()) result.detail += "\n";
    result.detail += "Its spent journal " + JournalPath(db.Path()) + " could not be removed (" +
                     WriteFailureCause(db.ChangeError(), std::string()) +
                     "): nothing more can be written to the file until it is.";
  }
  if (reorder.log_short_) {
    if (!result.detail.empty()) result.detail += "\n";
    result.detail += "The log " + log_name + " could not be written whole (" +
                     WriteFailureCause(reorder.log_error_, std::string()) +
                     "): it lacks some of the runs.";
  }
  WriteTrace(kTag, 280, "Just starting");
  FlushTrace();
  return result;
}

}  // namespace kinscope

// SPDX-License-Identifier: GPL-3.0-or-later
// In-order walk of the individual index tree with its checks.
#include "TreeCheck.h"

#include <algorithm>
#include <utility>

#include "Coding.h"
#include "NameKeys.h"
#include "RecordLayouts.h"
#include "TEVDatabase.h"

namespace kinscope {

bool NodeMarks::Mark(int32_t node, bool readable) {
  if (!readable) return unreadable_.insert(node).second;
  const auto word = static_cast<size_t>(node) / 64;
  const uint64_t bit = uint64_t{1} << (static_cast<unsigned>(node) % 64);
  if (word >= bits_.size()) bits_.resize(std::max(word + 1, bits_.size() * 2));
  if ((bits_[word] & bit) != 0) return false;
  bits_[word] |= bit;
  return true;
}

IndexWalk::IndexWalk(CTEVDatabase& db)
    : db_(db), bound_(db.HeaderI32(kHdrIndexNodeBound)), cur_(db.HeaderI32(kHdrRootNode2)) {
  faults_.roots_agree = db.HeaderI32(kHdrRootNode) == db.HeaderI32(kHdrRootNode2);
}

bool IndexWalk::Next(IndexEntry& entry) {
  if (ended_) return false;
  // Go down lesser links as far as they are sound. A negative link means no
  // node to the format, but the re-ordering's walk would follow it and stop:
  // it counts as unsound here.
  if (cur_ < 0) faults_.links_sound = false;
  while (cur_ > 0) {
    Frame frame{cur_, {}};
    if (cur_ > bound_ || db_.LoadIndexNode(frame.image, cur_) == 0) {
      faults_.links_sound = false;
      break;
    }
    if (!marks_.Mark(cur_, true)) {
      faults_.reached_once = false;
      ended_ = true;
      return false;
    }
    if (DecodeI32(frame.image.data(), indexnode::kParent) != above_) faults_.parents_agree = false;
    above_ = cur_;
    cur_ = DecodeI32(frame.image.data(), indexnode::kLesser);
    if (cur_ < 0) faults_.links_sound = false;
    path_.push_back(frame);
  }
  if (path_.empty()) {
    ended_ = true;
    return false;
  }
  entry.node = path_.back().node;
  entry.image = path_.back().image;
  path_.pop_back();
  entry.name_read = db_.LoadINameRec(DecodeI32(entry.image.data(), indexnode::kName), entry.name);
  WidenINameText(entry.name, text_);
  MakeNameKey(text_, entry.key, kNameKeyCapacity);
  if (!first_ && CUnicodeCompareDefault::Instance().Compare(previous_key_, entry.key, 0) > 0) {
    faults_.keys_ascend = false;
  }
  first_ = false;
  previous_key_ = entry.key;
  above_ = entry.node;
  cur_ = DecodeI32(entry.image.data(), indexnode::kGreater);
  return true;
}

TreeReport CheckIndexTree(CTEVDatabase& db) {
  TreeReport report;
  const ReadCacheScope cache(db);
  IndexWalk walk(db);
  IndexEntry entry;
  while (walk.Next(entry)) report.order.push_back(entry.node);
  static_cast<TreeFaults&>(report) = walk.Faults();
  return report;
}

}  // namespace kinscope

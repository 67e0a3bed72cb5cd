// In-order walk of the individual index tree with its checks.
#include "TreeCheck.h"

#include <unordered_set>
#include <utility>

#include "Coding.h"
#include "NameKeys.h"
#include "RecordLayouts.h"
#include "TEVDatabase.h"

namespace kinscope {
namespace {

struct Frame {
  int32_t node;
  IndexNodeImage image;
};

WideText KeyOf(CTEVDatabase& db, const IndexNodeImage& image) {
  WideText text;
  uint8_t type = 0;
  ReadINameText(db, text, type, DecodeI32(image.data(), indexnode::kName), LinkCheck::kOff);
  WideText key;
  MakeNameKey(text, key, kNameKeyCapacity);
  return key;
}

}  // namespace

TreeReport CheckIndexTree(CTEVDatabase& db) {
  TreeReport report;
  report.roots_agree = db.HeaderI32(kHdrRootNode) == db.HeaderI32(kHdrRootNode2);
  const int32_t bound = db.HeaderI32(kHdrIndexNodeBound);
  std::unordered_set<int32_t> reached;
  std::vector<Frame> path;  // nodes whose lesser subtree is being walked
  WideText previous_key;
  int32_t cur = db.HeaderI32(kHdrRootNode2);
  int32_t above = 0;
  for (;;) {
    // Go down lesser links as far as they are sound. A negative link means
    // no node to the format, but the re-ordering's walk would follow it and
    // stop: it counts as unsound here.
    if (cur < 0) report.links_sound = false;
    while (cur > 0) {
      Frame frame{cur, {}};
      if (cur > bound || db.LoadIndexNode(frame.image, cur) == 0) {
        report.links_sound = false;
        break;
      }
      if (!reached.insert(cur).second) {
        report.reached_once = false;
        return report;
      }
      if (DecodeI32(frame.image.data(), indexnode::kParent) != above) {
        report.parents_agree = false;
      }
      above = cur;
      cur = DecodeI32(frame.image.data(), indexnode::kLesser);
      if (cur < 0) report.links_sound = false;
      path.push_back(std::move(frame));
    }
    if (path.empty()) return report;
    const Frame frame = path.back();
    path.pop_back();
    report.order.push_back(frame.node);
    WideText key = KeyOf(db, frame.image);
    if (report.order.size() > 1 &&
        CUnicodeCompareDefault::Instance().Compare(previous_key, key, 0) > 0) {
      report.keys_ascend = false;
    }
    previous_key = std::move(key);
    above = frame.node;
    cur = DecodeI32(frame.image.data(), indexnode::kGreater);
  }
}

}  // namespace kinscope

// SPDX-License-Identifier: GPL-3.0-or-later
#include "ReorderCheck.h"

#include "Coding.h"
#include "NameKeys.h"
#include "RecordLayouts.h"
#include "TEVDatabase.h"
#include "TreeCheck.h"

namespace kinscope {

std::string CheckBeforeReorder(CTEVDatabase& db) {
  if (db.HeaderI32(kHdrRootNode2) == 0) return "the name index is empty";
  const TreeReport report = CheckIndexTree(db);
  if (!report.roots_agree) return "the two copies of the index root differ";
  if (!report.links_sound)
    return "an index link leads outside the index or to a node that cannot be read";
  if (!report.reached_once) return "an index node is reached twice: the index links form a loop";
  if (!report.parents_agree) return "an index node's parent link does not match the tree";
  if (!report.keys_ascend) return "the index is not in name order";
  for (int32_t node : report.order) {
    IndexNodeImage image{};
    db.LoadIndexNode(image, node);
    WideText text;
    uint8_t type = 0;
    if (ReadINameText(db, text, type, DecodeI32(image.data(), indexnode::kName)) == 0) {
      return "the name of index node " + std::to_string(node) +
             " cannot be read or its links lie outside the header's bounds";
    }
  }
  return std::string();
}

}  // namespace kinscope

// SPDX-License-Identifier: GPL-3.0-or-later
// The individual index: a binary search tree of index nodes (table 10, see
// indexnode:: in RecordLayouts.h) ordered by the name key of each node's
// individual's name record.
//
// The header holds the root twice, at kHdrRootNode and kHdrRootNode2, always
// written together (0 = empty tree). A node's lesser subtree holds the keys
// that sort before its own or equal it, its greater subtree the keys after;
// so a node inserted with a key equal to others comes first among them in
// order. A parent of 0 marks the root, a negative parent a node not in the
// tree. Node numbers above the index node bound (kHdrIndexNodeBound) are
// refused by the unlink, and the insert walk stops at node numbers above the
// individual bound (kHdrIndividBound): links are taken from the file and may
// be damaged, so no walk trusts them to end.
#pragma once

#include <cstdint>

namespace kinscope {

// Which link CTEVDatabase::SetNodeLink sets; any other value sets the parent.
constexpr int32_t kLesserLink = 1;
constexpr int32_t kGreaterLink = 2;
constexpr int32_t kParentLink = 3;

}  // namespace kinscope

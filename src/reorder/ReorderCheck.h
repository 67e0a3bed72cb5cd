// SPDX-License-Identifier: GPL-3.0-or-later
// What the re-ordering needs of a database before it writes anything.
#pragma once

#include <string>

namespace kinscope {

class CTEVDatabase;

// Checks the whole individual index of `db`: the tree is sound (both root
// copies agree, every link leads to a readable node within the bounds, no
// node is reached twice, parent links agree, keys ascend) and every node's
// name passes its checks. Returns the first problem found, in words for the
// user; empty when the index can be re-ordered.
std::string CheckBeforeReorder(CTEVDatabase& db);

}  // namespace kinscope

// SPDX-License-Identifier: GPL-3.0-or-later
// The operations on the individual index tree: set one link, unlink a node,
// re-insert a node by a name.
#include "IndexTree.h"

#include <cstdint>
#include <limits>
#include <unordered_set>

#include "Coding.h"
#include "IndexKeyRanks.h"
#include "NameKeys.h"
#include "RecordLayouts.h"
#include "TEVDatabase.h"

namespace kinscope {
namespace {

int32_t Field(const IndexNodeImage& node, size_t field) { return DecodeI32(node.data(), field); }

void SetField(IndexNodeImage& node, size_t field, int32_t value) {
  EncodeI32(node.data(), field, value);
}

size_t LinkField(int32_t which) {
  if (which == kLesserLink) return indexnode::kLesser;
  if (which == kGreaterLink) return indexnode::kGreater;
  return indexnode::kParent;
}

// Both header copies of the root, in memory only.
void SetRootCopies(CTEVDatabase& db, int32_t root) {
  db.SetHeaderI32(kHdrRootNode, root);
  db.SetHeaderI32(kHdrRootNode2, root);
}

}  // namespace

void CTEVDatabase::SetNodeLink(int32_t node, int32_t value, int32_t which) {
  if (node < 1) return;
  IndexNodeImage image{};
  LoadIndexNode(image, node);
  SetField(image, LinkField(which), value);
  StoreIndexNode(image, node);
}

void CTEVDatabase::UnlinkNode(int32_t node) {
  IndexNodeImage image{};
  LoadIndexNode(image, node);
  const int32_t greater = Field(image, indexnode::kGreater);
  const int32_t lesser = Field(image, indexnode::kLesser);
  const int32_t parent = Field(image, indexnode::kParent);
  const int32_t bound = HeaderI32(kHdrIndexNodeBound);
  if (greater == node || lesser == node || parent == node || parent < 0 ||
      (greater == lesser && greater > 0) || node > bound) {
    return;
  }
  // A negative greater link means no node, and so does 0; the replacement
  // is written as 0, so that no walk takes it for a node number.
  int32_t replacement = greater > 0 ? greater : 0;
  if (lesser > 0) {
    if (greater > 0) {
      // Find the greatest node of the lesser subtree. The node and its greater
      // child count as met, so a walk that comes back to either is damage
      // too. Every step meets a new node from 1 to the bound, so the walk ends
      // within the bound's number of steps even on a cycle.
      std::unordered_set<int32_t> met{node, greater};
      IndexNodeImage last{};
      int32_t prev = 0;
      for (int32_t cur = lesser; cur > 0; cur = Field(last, indexnode::kGreater)) {
        if (cur > bound || !met.insert(cur).second) return;
        LoadIndexNode(last, cur);
        const int32_t cur_greater = Field(last, indexnode::kGreater);
        if (cur_greater == Field(last, indexnode::kLesser) && cur_greater > 0) return;
        prev = cur;
      }
      SetField(last, indexnode::kGreater, greater);
      StoreIndexNode(last, prev);
      SetNodeLink(greater, prev, kParentLink);
    }
    SetNodeLink(lesser, parent, kParentLink);
    replacement = lesser;
  } else if (greater > 0) {
    SetNodeLink(greater, parent, kParentLink);
  }
  if (node == HeaderI32(kHdrRootNode2)) {
    SetRootCopies(*this, replacement);
    UpdateHeader();
    return;
  }
  IndexNodeImage above{};
  LoadIndexNode(above, parent);
  if (Field(above, indexnode::kLesser) == node) {
    SetField(above, indexnode::kLesser, replacement);
  } else if (Field(above, indexnode::kGreater) == node) {
    SetField(above, indexnode::kGreater, replacement);
  }
  StoreIndexNode(above, parent);
}

namespace {

// ReinsertNode, with the ranks of `ranks` when given: the same walk and the
// same writes, a key compared by rank wherever both nodes have one.
void Reinsert(CTEVDatabase& db, int32_t node, int32_t name_offset, IndexKeyRanks* ranks) {
  IndexNodeImage fresh{};
  SetField(fresh, indexnode::kName, name_offset);
  auto plant_root = [&] {
    SetRootCopies(db, node);
    db.StoreIndexNode(fresh, node);
    db.UpdateHeader();
  };
  // A root of 0, or a negative one, reaches no node: the node becomes the root.
  if (db.HeaderI32(kHdrRootNode) <= 0) {
    plant_root();
    return;
  }
  if (node <= db.HeaderI32(kHdrIndexNodeBound)) {
    IndexNodeImage old{};
    db.LoadIndexNode(old, node);
    if (Field(old, indexnode::kParent) >= 0 && Field(old, indexnode::kGreater) != node &&
        Field(old, indexnode::kLesser) != node) {
      db.UnlinkNode(node);
      // A lone root whose greater link is negative leaves that link as the root.
      if (db.HeaderI32(kHdrRootNode) <= 0) {
        plant_root();
        return;
      }
    }
  }

  // The node's own key, made when a node on the way has no rank to compare.
  const uint32_t own = ranks != nullptr ? ranks->Rank(node, name_offset) : IndexKeyRanks::kUnknown;
  const bool by_rank = own != IndexKeyRanks::kUnknown && own != IndexKeyRanks::kUnreadable;
  WideText key;
  bool key_made = false;
  auto compare = [&](int32_t at, int32_t at_name) -> int32_t {
    if (by_rank) {
      const uint32_t rank = ranks->Rank(at, at_name);
      if (rank == IndexKeyRanks::kUnreadable) return -1;
      if (rank != IndexKeyRanks::kUnknown) return own < rank ? 2 : own == rank ? 0 : 1;
    }
    if (!key_made) {
      WideText text;
      uint8_t type = 0;
      ReadINameText(db, text, type, name_offset, LinkCheck::kOff);
      MakeNameKey(text, key, kNameKeyCapacity);
      key_made = true;
    }
    // The node's key is made as the new node's is, without the link check:
    // with it, a name whose owner lies above the individual bound would
    // compare as lowest and send the walk the wrong way.
    return CompareNameKey(db, key, at_name, LinkCheck::kOff);
  };

  // The largest node number has no number above it: the bound then stays.
  if (db.HeaderI32(kHdrIndividBound) < node && node < std::numeric_limits<int32_t>::max()) {
    db.SetHeaderI32(kHdrIndividBound, node + 1);
  }
  const int32_t bound = db.HeaderI32(kHdrIndividBound);

  // Walk down from the root. The links are the file's: the walk stops at a
  // negative link, one above the bound, or a node it met before, and the
  // marks grow with the walk, not with the bound.
  std::unordered_set<int32_t> marked;
  auto mark = [&](int32_t n) {
    return ranks != nullptr ? ranks->Mark(n) : marked.insert(n).second;
  };
  IndexNodeImage last{};
  int32_t result = 0;
  int32_t parent = 0;
  for (int32_t cur = db.HeaderI32(kHdrRootNode); cur > 0;) {
    db.LoadIndexNode(last, cur);
    result = compare(cur, Field(last, indexnode::kName));
    parent = cur;
    const int32_t next = Field(last, result == 1 ? indexnode::kGreater : indexnode::kLesser);
    if (next < 0 || next > bound || !mark(next)) break;
    cur = next;
  }
  if (ranks != nullptr) ranks->ClearMarks();
  SetField(last, result == 1 ? indexnode::kGreater : indexnode::kLesser, node);
  db.StoreIndexNode(last, parent);
  SetField(fresh, indexnode::kParent, parent);
  db.StoreIndexNode(fresh, node);
}

}  // namespace

void CTEVDatabase::ReinsertNode(int32_t node, int32_t name_offset) {
  Reinsert(*this, node, name_offset, nullptr);
}

void CTEVDatabase::ReinsertNode(int32_t node, int32_t name_offset, IndexKeyRanks& ranks) {
  Reinsert(*this, node, name_offset, &ranks);
}

}  // namespace kinscope

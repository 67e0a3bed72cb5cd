#include "NameFind.h"

#include <unordered_set>

#include "Coding.h"
#include "NameKeys.h"
#include "RecordLayouts.h"
#include "TEVDatabase.h"

namespace kinscope {
namespace {

struct Visited {
  NameMatch match;
  int32_t greater = 0;
};

int Fold(const WideText& a, const WideText& b) {
  return CUnicodeCompareDefault::Instance().Compare(a, b, 0);
}

bool StartsWith(const WideText& key, const WideText& prefix) {
  return prefix.size() <= key.size() && Fold(key.substr(0, prefix.size()), prefix) == 0;
}

}  // namespace

WideText SearchPrefix(const std::string& text) {
  WideText wide;
  for (char c : text) wide.push_back(static_cast<char16_t>(static_cast<int8_t>(c)));
  if (text.find('/') == std::string::npos) return wide;
  WideText key;
  MakeNameKey(wide, key, kNameKeyCapacity);
  return key.substr(0, key.find(u'\0'));
}

NameFindResult FindNames(CTEVDatabase& db, const std::string& text, size_t limit) {
  NameFindResult result;
  result.prefix = SearchPrefix(text);
  const int32_t bound = db.HeaderI32(kHdrIndexNodeBound);
  std::unordered_set<int32_t> met;
  std::vector<Visited> path;  // nodes whose key is not below the prefix, deepest last

  // Loads `node` as a match candidate; false when the link is damaged.
  auto load = [&](int32_t node, Visited& v, int32_t& lesser) {
    if (node > bound || !met.insert(node).second) {
      result.damaged_at = node;
      return false;
    }
    IndexNodeImage image{};
    db.LoadIndexNode(image, node);
    const int32_t name_offset = DecodeI32(image.data(), indexnode::kName);
    INameRecImage name{};
    if (db.LoadINameRec(name_offset, name) != 0) {
      v.match.name = reinterpret_cast<const char*>(name.data() + iname::kText);
      v.match.rin = DecodeI32(name.data(), iname::kOwnerId);
    }
    WideText wide;
    uint8_t type = 0;
    ReadINameText(db, wide, type, name_offset, LinkCheck::kOff);
    MakeNameKey(wide, v.match.key, kNameKeyCapacity);
    v.match.node = node;
    v.greater = DecodeI32(image.data(), indexnode::kGreater);
    lesser = DecodeI32(image.data(), indexnode::kLesser);
    return true;
  };

  // Down to the first key not below the prefix (equal keys lie on the
  // lesser side).
  for (int32_t node = db.HeaderI32(kHdrRootNode2); node > 0;) {
    Visited v;
    int32_t lesser = 0;
    if (!load(node, v, lesser)) return result;
    if (Fold(v.match.key, result.prefix) < 0) {
      node = v.greater;
    } else {
      path.push_back(std::move(v));
      node = lesser;
    }
  }
  // On in order while the keys start with the prefix.
  while (!path.empty()) {
    Visited v = std::move(path.back());
    path.pop_back();
    if (!StartsWith(v.match.key, result.prefix)) break;
    if (result.matches.size() == limit) {
      result.more = true;
      break;
    }
    for (int32_t node = v.greater; node > 0;) {
      Visited next;
      int32_t lesser = 0;
      if (!load(node, next, lesser)) return result;
      path.push_back(std::move(next));
      node = lesser;
    }
    result.matches.push_back(std::move(v.match));
  }
  return result;
}

}  // namespace kinscope

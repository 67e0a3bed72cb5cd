// SPDX-License-Identifier: GPL-3.0-or-later
#include "NameFind.h"

#include <utility>

#include "Coding.h"
#include "NameKeys.h"
#include "RecordLayouts.h"
#include "TEVDatabase.h"

namespace kinscope {
namespace {

int Fold(std::u16string_view a, std::u16string_view b) {
  return CUnicodeCompareDefault::Instance().Compare(a, b, 0);
}

bool StartsWith(const WideText& key, const WideText& prefix) {
  return prefix.size() <= key.size() &&
         Fold(std::u16string_view(key).substr(0, prefix.size()), prefix) == 0;
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

NameFinder::NameFinder(CTEVDatabase& db, const std::string& text)
    : db_(db), prefix_(SearchPrefix(text)), bound_(db.HeaderI32(kHdrIndexNodeBound)) {}

bool NameFinder::Load(int32_t node, Visited& v, int32_t& lesser) {
  IndexNodeImage image{};
  if (node > bound_ || !met_.Mark(node, node > 0 && db_.LoadIndexNode(image, node) != 0)) {
    damaged_at_ = node;
    return false;
  }
  const int32_t name_offset = DecodeI32(image.data(), indexnode::kName);
  INameRecImage name{};
  v.match.name.clear();
  v.match.rin = 0;
  if (db_.LoadINameRec(name_offset, name) != 0) {
    v.match.name = reinterpret_cast<const char*>(name.data() + iname::kText);
    v.match.rin = DecodeI32(name.data(), iname::kOwnerId);
  }
  WidenINameText(name, text_);
  MakeNameKey(text_, v.match.key, kNameKeyCapacity);
  v.match.node = node;
  v.greater = DecodeI32(image.data(), indexnode::kGreater);
  lesser = DecodeI32(image.data(), indexnode::kLesser);
  return true;
}

bool NameFinder::Descend(int32_t node) {
  while (node > 0) {
    Visited next;
    int32_t lesser = 0;
    if (!Load(node, next, lesser)) return false;
    path_.push_back(std::move(next));
    node = lesser;
  }
  return true;
}

void NameFinder::Start() {
  if (started_) return;
  started_ = true;
  // Down to the first key not below the prefix (equal keys lie on the
  // lesser side).
  for (int32_t node = db_.HeaderI32(kHdrRootNode2); node > 0;) {
    Visited v;
    int32_t lesser = 0;
    if (!Load(node, v, lesser)) {
      ended_ = true;
      return;
    }
    if (Fold(v.match.key, prefix_) < 0) {
      node = v.greater;
    } else {
      path_.push_back(std::move(v));
      node = lesser;
    }
  }
}

bool NameFinder::More() {
  Start();
  return !ended_ && !path_.empty() && StartsWith(path_.back().match.key, prefix_);
}

bool NameFinder::Next(NameMatch& match) {
  Start();
  // On in order while the keys start with the prefix.
  if (ended_ || path_.empty()) return false;
  Visited v = std::move(path_.back());
  path_.pop_back();
  if (!StartsWith(v.match.key, prefix_) || !Descend(v.greater)) {
    ended_ = true;
    return false;
  }
  match = std::move(v.match);
  return true;
}

NameFindResult FindNames(CTEVDatabase& db, const std::string& text, size_t limit) {
  NameFindResult result;
  const ReadCacheScope cache(db);
  NameFinder finder(db, text);
  NameMatch match;
  while (result.matches.size() < limit && finder.Next(match)) result.matches.push_back(match);
  result.more = result.matches.size() == limit && finder.More();
  result.prefix = finder.Prefix();
  result.damaged_at = finder.DamagedAt();
  return result;
}

}  // namespace kinscope

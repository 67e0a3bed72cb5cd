// SPDX-License-Identifier: GPL-3.0-or-later
#include "NameFind.h"

#include <algorithm>
#include <utility>

#include "Coding.h"
#include "Cp1252.h"
#include "NameKeys.h"
#include "RecordLayouts.h"
#include "TEVDatabase.h"

namespace kinscope {
namespace {

int Fold(std::u16string_view a, std::u16string_view b) {
  return CUnicodeCompareDefault::Instance().Compare(a, b, 0);
}

// The bytes a key's characters were widened from, up to its first zero.
void KeyBytes(const WideText& key, std::string& out) {
  out.clear();
  for (const char16_t c : key) {
    if (c == 0) break;
    out.push_back(static_cast<char>(c & 0xff));
  }
}

bool Begins(std::string_view text, std::string_view start) {
  return text.substr(0, start.size()) == start;
}

// A folded key's surname (up to its first comma) and given part (after it,
// without the blanks that follow the comma).
std::pair<std::string_view, std::string_view> SurnameAndGiven(std::string_view folded) {
  const size_t comma = folded.find(',');
  if (comma == std::string_view::npos) return {folded, {}};
  std::string_view given = folded.substr(comma + 1);
  while (!given.empty() && given.front() == ' ') given.remove_prefix(1);
  return {folded.substr(0, comma), given};
}

}  // namespace

bool KeyStartsWith(const WideText& key, const WideText& prefix) {
  return prefix.size() <= key.size() &&
         Fold(std::u16string_view(key).substr(0, prefix.size()), prefix) == 0;
}

SearchKind ChooseSearch(CTEVDatabase& db, const std::string& text, bool like) {
  if (like) return SearchKind::kLike;
  NameFinder exact(db, text);
  return exact.More() ? SearchKind::kExact : SearchKind::kSpelling;
}

std::string SoundexCode(std::string_view folded) {
  // The sound group of each letter a to z: digits 1 to 6, '0' for the
  // vowels (and y), which part letters of one group, and '-' for h and w,
  // which do not.
  static constexpr char kGroups[] = "0123012-022455012623010-02";
  std::string code;
  char last = 0;
  for (const char c : folded) {
    if (c < 'a' || c > 'z') continue;
    const char group = kGroups[c - 'a'];
    if (code.empty()) {
      code.push_back(static_cast<char>(c - 'a' + 'A'));
    } else if (group == '-') {
      continue;
    } else if (group != '0' && group != last) {
      code.push_back(group);
      if (code.size() == 4) break;
    }
    last = group;
  }
  if (!code.empty()) code.resize(4, '0');
  return code;
}

LikeFinder::LikeFinder(CTEVDatabase& db, const std::string& text, bool sound)
    : walk_(db),
      prefix_(SearchPrefix(text)),
      sound_(sound),
      bound_(db.HeaderI32(kHdrIndexNodeBound)) {
  KeyBytes(prefix_, bytes_);
  AppendCp1252Folded(folded_prefix_, bytes_);
  const auto [surname, given] = SurnameAndGiven(folded_prefix_);
  folded_given_ = given;
  soundex_ = SoundexCode(surname);
}

int64_t LikeFinder::Total() const { return std::max(bound_, walked_); }

bool LikeFinder::Next(NameMatch& match) {
  while (walk_.Next(entry_)) {
    if (++walked_ % 4096 == 0 && progress_) progress_(walked_, Total());
    MatchKind how = MatchKind::kExact;
    if (!KeyStartsWith(entry_.key, prefix_)) {
      KeyBytes(entry_.key, bytes_);
      folded_.clear();
      AppendCp1252Folded(folded_, bytes_);
      if (Begins(folded_, folded_prefix_)) {
        how = MatchKind::kSpelling;
      } else if (!sound_ || soundex_.empty()) {
        continue;
      } else {
        const auto [surname, given] = SurnameAndGiven(folded_);
        if (!Begins(given, folded_given_) || SoundexCode(surname) != soundex_) continue;
        how = MatchKind::kSound;
      }
    }
    match.node = entry_.node;
    match.how = how;
    match.key = entry_.key;
    match.name.clear();
    match.rin = 0;
    if (entry_.name_read != 0) {
      match.name = reinterpret_cast<const char*>(entry_.name.data() + iname::kText);
      match.rin = DecodeI32(entry_.name.data(), iname::kOwnerId);
    }
    return true;
  }
  return false;
}

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
  return !ended_ && !path_.empty() && KeyStartsWith(path_.back().match.key, prefix_);
}

bool NameFinder::Next(NameMatch& match) {
  Start();
  // On in order while the keys start with the prefix.
  if (ended_ || path_.empty()) return false;
  Visited v = std::move(path_.back());
  path_.pop_back();
  if (!KeyStartsWith(v.match.key, prefix_) || !Descend(v.greater)) {
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

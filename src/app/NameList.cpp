// SPDX-License-Identifier: GPL-3.0-or-later
#include "NameList.h"

#include <QApplication>
#include <QElapsedTimer>
#include <algorithm>

#include "Coding.h"
#include "Cp1252.h"
#include "FieldText.h"
#include "NameKeys.h"
#include "RecordLayouts.h"
#include "TEVDatabase.h"

namespace kinscope {
namespace {

// The first slice, gathered when the list is asked for: a few screens of
// rows, or all of a small search; then each later one.
constexpr int kFirstSliceMs = 20;
constexpr size_t kFirstSliceRows = 512;
constexpr int kSliceMs = 15;
// While a modal window is up, the list looks again this much later.
constexpr int kModalWaitMs = 100;

int Compare(const WideText& a, const WideText& b) {
  return CUnicodeCompareDefault::Instance().Compare(a, b, 0);
}

}  // namespace

TNameList::TNameList(QObject* parent) : QAbstractTableModel(parent) {
  idle_.setSingleShot(true);
  connect(&idle_, &QTimer::timeout, this, &TNameList::OnIdle);
}

TNameList::~TNameList() { Clear(); }

void TNameList::Clear() {
  idle_.stop();
  if (own_cache_ && db_ != nullptr) db_->StopReadCache();
  own_cache_ = false;
  filling_ = false;
  walk_.reset();
  exact_.reset();
  like_.reset();
  beginResetModel();
  db_ = nullptr;
  listing_ = Listing::kNone;
  nodes_ = {};
  how_ = {};
  damaged_at_ = 0;
  index_sound_ = true;
  for (Shown& s : shown_) s.row = -1;
  endResetModel();
}

void TNameList::ListIndex(CTEVDatabase& db) {
  Clear();
  walk_ = std::make_unique<IndexWalk>(db);
  Start(db, Listing::kIndex);
}

void TNameList::Find(CTEVDatabase& db, const std::string& text, bool like) {
  Clear();
  text_ = text;
  if (like) {
    like_ = std::make_unique<LikeFinder>(db, text, true);
    Start(db, Listing::kLike);
  } else {
    exact_ = std::make_unique<NameFinder>(db, text);
    Start(db, Listing::kExact);
  }
}

void TNameList::Start(CTEVDatabase& db, Listing listing) {
  beginResetModel();
  db_ = &db;
  listing_ = listing;
  endResetModel();
  own_cache_ = db.StartReadCache(kWholeFileReadCache);
  filling_ = true;
  FillFor(kFirstSliceMs, kFirstSliceRows);
}

bool TNameList::NextRow(int32_t& node, MatchKind& how) {
  how = MatchKind::kExact;
  if (walk_) {
    if (!walk_->Next(entry_)) return false;
    node = entry_.node;
    return true;
  }
  NameMatch& m = match_;
  if (exact_ ? !exact_->Next(m) : !like_->Next(m)) return false;
  node = m.node;
  how = m.how;
  return true;
}

void TNameList::FillFor(int milliseconds, size_t most) {
  if (!filling_) return;
  size_t gathered = 0;
  QElapsedTimer clock;
  clock.start();
  bool grew = false;
  bool out_of_time = false;
  while (filling_ && !out_of_time) {
    std::vector<int32_t> nodes;
    std::vector<MatchKind> how;
    const bool marked = like_ != nullptr;
    bool ended = false;
    for (int n = 1; !ended; ++n) {
      if ((n % 64 == 0 && clock.elapsed() >= milliseconds) || gathered + nodes.size() >= most) {
        out_of_time = true;
        break;
      }
      int32_t node = 0;
      MatchKind kind = MatchKind::kExact;
      ended = !NextRow(node, kind);
      if (ended) break;
      nodes.push_back(node);
      if (marked) how.push_back(kind);
    }
    gathered += nodes.size();
    if (!nodes.empty()) {
      const int first = static_cast<int>(nodes_.size());
      beginInsertRows(QModelIndex(), first, first + static_cast<int>(nodes.size()) - 1);
      nodes_.insert(nodes_.end(), nodes.begin(), nodes.end());
      how_.insert(how_.end(), how.begin(), how.end());
      endInsertRows();
      grew = true;
    }
    if (ended) {
      WalkEnded();  // goes on by spelling after an exact lookup that found nothing
      grew = true;
    }
  }
  if (grew) emit Grown();
  if (filling_) {
    if (!idle_.isActive()) idle_.start(0);
  } else if (grew) {
    emit Ended();
  }
}

void TNameList::WalkEnded() {
  if (exact_) {
    damaged_at_ = exact_->DamagedAt();
    exact_.reset();
    if (nodes_.empty()) {  // nothing starts so: the names spelled alike
      beginResetModel();
      listing_ = Listing::kSpelling;
      endResetModel();
      like_ = std::make_unique<LikeFinder>(*db_, text_, false);
      return;
    }
  } else if (walk_) {
    index_sound_ = walk_->Faults().Sound();
  } else if (like_) {
    index_sound_ = like_->Faults().Sound();
  }
  walk_.reset();
  like_.reset();
  nodes_.shrink_to_fit();
  how_.shrink_to_fit();
  filling_ = false;
  idle_.stop();
  if (own_cache_) db_->StopReadCache();
  own_cache_ = false;
}

void TNameList::OnIdle() {
  if (!filling_) return;
  if (QApplication::activeModalWidget() != nullptr) {
    idle_.start(kModalWaitMs);
    return;
  }
  FillFor(kSliceMs);
}

void TNameList::FillAll() {
  while (filling_) FillFor(1000);
}

int TNameList::Percent() const {
  if (!filling_) return 100;
  if (like_) return static_cast<int>(like_->Walked() * 100 / std::max<int64_t>(1, like_->Total()));
  if (!walk_ || db_ == nullptr) return 0;
  const int64_t bound = std::max<int64_t>(db_->HeaderI32(kHdrIndexNodeBound), 1);
  return static_cast<int>(std::min<int64_t>(99, static_cast<int64_t>(nodes_.size()) * 100 / bound));
}

int32_t TNameList::Rin(int row) const { return row >= 0 && row < rowCount() ? Row(row).rin : 0; }

const TNameList::Shown& TNameList::Row(int row) const {
  Shown& s = shown_[static_cast<size_t>(row) % shown_.size()];
  if (s.row == row) return s;
  s = Shown{row, QString(), 0, QString()};
  IndexNodeImage node{};
  INameRecImage name{};
  if (db_->LoadIndexNode(node, nodes_[static_cast<size_t>(row)]) != 0 &&
      db_->LoadINameRec(DecodeI32(node.data(), indexnode::kName), name) != 0) {
    s.name = QString::fromStdString(Cp1252ToUtf8(name.data() + iname::kText, kINameTextMax));
    s.rin = DecodeI32(name.data(), iname::kOwnerId);
  }
  if (s.rin != 0) s.born = QString::fromStdString(BirthDateText(*db_, s.rin));
  return s;
}

void TNameList::Key(int row, WideText& key) const {
  IndexNodeImage node{};
  INameRecImage name{};
  db_->LoadIndexNode(node, nodes_[static_cast<size_t>(row)]);
  db_->LoadINameRec(DecodeI32(node.data(), indexnode::kName), name);
  WideText text;
  WidenINameText(name, text);
  MakeNameKey(text, key, kNameKeyCapacity);
}

int TNameList::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(nodes_.size());
}

int TNameList::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : kColumnCount;
}

QVariant TNameList::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rowCount() || db_ == nullptr) return QVariant();
  const size_t row = static_cast<size_t>(index.row());
  if (index.column() == kMatchColumn && row < how_.size()) {
    const MatchKind how = how_[row];
    if (role == Qt::DisplayRole) {
      return how == MatchKind::kExact      ? QStringLiteral("exact")
             : how == MatchKind::kSpelling ? QStringLiteral("spelling")
                                           : QStringLiteral("sound");
    }
    if (role == Qt::ToolTipRole) {
      return how == MatchKind::kExact ? QStringLiteral("The name starts as typed.")
             : how == MatchKind::kSpelling
                 ? QStringLiteral("The name starts as typed, case and accents ignored.")
                 : QStringLiteral("The surname sounds like the one typed (Soundex).");
    }
    return QVariant();
  }
  if (role != Qt::DisplayRole) return QVariant();
  const Shown& s = Row(index.row());
  switch (index.column()) {
    case kNameColumn:
      return s.name;
    case kRinColumn:
      return QString::number(s.rin);
    case kBornColumn:
      return s.born;
    default:
      return QVariant();
  }
}

QVariant TNameList::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return QVariant();
  static const char* const kHeads[kColumnCount] = {"Name", "RIN", "Born", "Match"};
  return section >= 0 && section < kColumnCount ? QString::fromLatin1(kHeads[section]) : QVariant();
}

bool TNameList::canFetchMore(const QModelIndex& parent) const {
  return !parent.isValid() && filling_;
}

void TNameList::fetchMore(const QModelIndex& parent) {
  if (!parent.isValid()) FillFor(kSliceMs);
}

QModelIndexList TNameList::match(const QModelIndex& start, int role, const QVariant& value,
                                 int hits, Qt::MatchFlags flags) const {
  const Qt::MatchFlags type = flags & Qt::MatchTypeMask;
  if (role != Qt::DisplayRole || start.column() != kNameColumn || type != Qt::MatchStartsWith ||
      db_ == nullptr) {
    return QAbstractTableModel::match(start, role, value, hits, flags);
  }
  std::string bytes;
  char32_t missing = 0;
  if (!Utf8ToCp1252(value.toString().toStdString(), bytes, missing)) return {};
  const WideText prefix = SearchPrefix(bytes);
  WideText key;
  const auto before = [&](int row) {
    Key(row, key);
    return Compare(key, prefix) < 0;
  };
  // Rows are gathered up to the first key not before the letters, as
  // scrolling there would gather them.
  auto* self = const_cast<TNameList*>(this);
  while (filling_ && (nodes_.empty() || before(rowCount() - 1))) self->FillFor(kSliceMs);
  int low = 0;
  int high = rowCount();
  while (low < high) {
    const int middle = low + (high - low) / 2;
    if (before(middle)) low = middle + 1;
    else high = middle;
  }
  const auto starts = [&](int row) {
    Key(row, key);
    return KeyStartsWith(key, prefix);
  };
  int row = -1;
  if (start.isValid() && start.row() >= low && start.row() < rowCount() && starts(start.row())) {
    row = start.row();
  } else if (low < rowCount() && starts(low)) {
    row = low;
  }
  if (row < 0) return {};
  return {index(row, kNameColumn)};
}

}  // namespace kinscope

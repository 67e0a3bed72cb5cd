// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's list of names: every name of the index, or what Find
// found, as a table model (name, RIN, birth, and how a forgiving search
// matched). It holds a node number per row, and for a forgiving search a
// byte saying how each row matched; a row's name, RIN and birth are read
// from the file when the view shows it, a few dozen rows kept decoded.
//
// Rows are gathered from the index in slices: the first slice at once, so
// the first rows show as soon as the list is asked for, then one slice each
// time the program is idle (none while a modal window is up) and whenever the
// view scrolls to the end of what is gathered, until the walk ends. While
// it gathers, reads go through the database's read cache, which it starts
// and stops when no other operation has one on.
#pragma once

#include <QAbstractTableModel>
#include <QString>
#include <QTimer>
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "NameFind.h"
#include "TreeCheck.h"

namespace kinscope {

class CTEVDatabase;

class TNameList : public QAbstractTableModel {
  Q_OBJECT

 public:
  enum Column { kNameColumn, kRinColumn, kBornColumn, kMatchColumn, kColumnCount };
  // What the list holds.
  enum class Listing {
    kNone,
    kIndex,     // every name of the index, in its order
    kExact,     // the names whose key starts with the search's (NameFinder)
    kSpelling,  // none did: the names spelled alike (LikeFinder by spelling)
    kLike,      // the names spelled or sounding alike, as asked (LikeFinder)
  };

  explicit TNameList(QObject* parent = nullptr);
  ~TNameList() override;

  // Forgets every row and stops gathering; called before the database goes
  // or is written.
  void Clear();
  // Lists every name of the index of `db`, which must outlive the rows or
  // the next Clear.
  void ListIndex(CTEVDatabase& db);
  // Lists the names under `text` (Windows-1252 bytes, as NameFinder takes
  // it): the exact lookup, or when it finds nothing the search by spelling;
  // with `like` the search by spelling and sound.
  void Find(CTEVDatabase& db, const std::string& text, bool like);

  Listing What() const { return listing_; }
  // Whether rows are still being gathered.
  bool Filling() const { return filling_; }
  // Gathers every row that remains, at once.
  void FillAll();
  // How far a walk over the whole index has got, 0 to 100.
  int Percent() const;
  // The node where damage stopped the exact lookup (0 when none), and
  // whether a walk over the whole index found the tree sound.
  int32_t DamagedAt() const { return damaged_at_; }
  bool IndexSound() const { return index_sound_; }
  // The RIN the name of `row` belongs to (0 when its name cannot be read).
  int32_t Rin(int row) const;

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role = Qt::DisplayRole) const override;
  bool canFetchMore(const QModelIndex& parent) const override;
  void fetchMore(const QModelIndex& parent) override;
  // A search of the name column's text that starts with `value` (what a
  // view does for letters typed into it) goes by the index's order: to the
  // first row whose key starts with the typed letters (a surname's start,
  // letters A to Z in either case), or `start` when it is such a row after
  // that one. Every other search is QAbstractItemModel's.
  QModelIndexList match(const QModelIndex& start, int role, const QVariant& value, int hits = 1,
                        Qt::MatchFlags flags = Qt::MatchFlags(Qt::MatchStartsWith |
                                                              Qt::MatchWrap)) const override;

 signals:
  // Rows were added, or the search changed its kind.
  void Grown();
  // Every row is gathered.
  void Ended();

 private:
  struct Shown {  // a row as the view shows it
    int row = -1;
    QString name;
    int32_t rin = 0;
    QString born;
  };
  // Starts gathering from the finders set; the first slice at once.
  void Start(CTEVDatabase& db, Listing listing);
  // Gathers rows for about `milliseconds` or up to `most` more rows, or to
  // the end.
  void FillFor(int milliseconds, size_t most = SIZE_MAX);
  // The next row of the walk; false at its end.
  bool NextRow(int32_t& node, MatchKind& how);
  // The end of a walk: an exact lookup that found nothing goes on by
  // spelling; anything else ends.
  void WalkEnded();
  void OnIdle();
  const Shown& Row(int row) const;
  // The key of the name of `row`, as the index orders it.
  void Key(int row, WideText& key) const;

  CTEVDatabase* db_ = nullptr;
  Listing listing_ = Listing::kNone;
  std::string text_;  // of a search
  std::vector<int32_t> nodes_;
  std::vector<MatchKind> how_;  // for a forgiving search: how each row matched
  bool filling_ = false;
  bool own_cache_ = false;  // the read cache is this list's
  int32_t damaged_at_ = 0;
  bool index_sound_ = true;
  std::unique_ptr<IndexWalk> walk_;
  std::unique_ptr<NameFinder> exact_;
  std::unique_ptr<LikeFinder> like_;
  IndexEntry entry_;
  NameMatch match_;
  QTimer idle_;
  mutable std::array<Shown, 128> shown_;
};

}  // namespace kinscope

// SPDX-License-Identifier: GPL-3.0-or-later
// The map of a database file: every page of every loaded region as a small
// cell, drawn into one image. A cell's colour is the table its page map
// gives the page; pages the page-count table does not count are pale,
// pages past the end of the file striped, pages with a problem from the
// check outlined in red. Hovering a cell tells what it is; clicking it asks
// for its first record.
#pragma once

#include <QColor>
#include <QImage>
#include <QPoint>
#include <QString>
#include <QWidget>
#include <set>
#include <utility>

#include "FileCheck.h"

namespace kinscope {

class TFileMapView : public QWidget {
  Q_OBJECT

 public:
  // Pages of a region drawn per row, and rows per region.
  static constexpr int kColumns = 128;
  static constexpr int kRows = kPageSize / kColumns;
  // Room at the left of each region for its name, and between regions.
  static constexpr int kLabelWidth = 64;
  static constexpr int kGap = 6;

  explicit TFileMapView(QWidget* parent = nullptr);

  // Shows `map`, outlining the pages of `problems` (region, page).
  void SetMap(FileMap map, std::set<std::pair<int, int>> problems);
  // Cell size in pixels (2 to MaxCellSize()); redraws.
  void SetCellSize(int pixels);
  // The largest cell size whose image stays within 32 million pixels
  // (128 MB) for the map shown: 24 for a few regions, 11 for 31.
  int MaxCellSize() const;
  int CellSize() const { return cell_; }

  // The map shown.
  const FileMap& Map() const { return map_; }
  // The drawn map.
  const QImage& Image() const { return image_; }
  // Where page `page` of region `region` is drawn: its cell's top left
  // corner in the image; (-1, -1) for a region not shown.
  QPoint CellOrigin(int region, int page) const;
  // The region and page whose cell holds `point` of the image; false when
  // none does.
  bool PageAt(const QPoint& point, int& region, int& page) const;
  // What hovering the cell of (region, page) tells.
  QString Describe(int region, int page) const;

  // The colour of `table`'s pages (1 to 32); of pages of no table for 0.
  static QColor TableColor(int table);
  // The name of `table` for the legend and tooltips.
  static QString TableName(int table);
  // The colour of a page the page map gives to no existing table (a byte
  // above 32 or below 0), and of a red problem outline.
  static QColor NoTableColor();
  static QColor ProblemColor();
  // The legend of the map as rich text: each table present, then the marks.
  QString Legend() const;

  // Draws `map` at `cell` pixels a page. Kept apart from the widget so it
  // can be timed and tested alone.
  static QImage Render(const FileMap& map, const std::set<std::pair<int, int>>& problems, int cell);

  QSize sizeHint() const override;

 signals:
  // The user clicked the cell of (region, page).
  void PageClicked(int region, int page);

 protected:
  void paintEvent(QPaintEvent* event) override;
  bool event(QEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;

 private:
  FileMap map_;
  std::set<std::pair<int, int>> problems_;
  int cell_ = 6;
  QImage image_;
};

}  // namespace kinscope

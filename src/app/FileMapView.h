// SPDX-License-Identifier: GPL-3.0-or-later
// The map of a database file: the pages of every loaded region as small
// cells, drawn into one image. A region is drawn up to the end of the file,
// or up to the last page its page map gives, whichever is further; the pages
// after that are not drawn, and one line tells how many pages of each
// region lie past the end of the file. A
// cell's colour is the table its page map gives the page; pages the
// page-count table does not count are pale, drawn pages past the end of the
// file striped, pages with a problem from the check outlined in red.
// Hovering a cell tells what it is; clicking it asks for its first record.
#pragma once

#include <QColor>
#include <QImage>
#include <QPoint>
#include <QString>
#include <QWidget>
#include <set>
#include <utility>
#include <vector>

#include "FileCheck.h"

namespace kinscope {

class TFileMapView : public QWidget {
  Q_OBJECT

 public:
  // Pages of a region drawn per row, and rows of a whole region.
  static constexpr int kColumns = 128;
  static constexpr int kRows = kPageSize / kColumns;
  // Room at the left of each region for its name, the height of that name,
  // and the room between regions.
  static constexpr int kLabelWidth = 64;
  static constexpr int kLabelHeight = 14;
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
  // corner in the image; (-1, -1) for a page not drawn.
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

  // The pages drawn of each region of `map`, from page 0: up to the end of
  // the file, or up to the last page whose map byte is not 0, whichever is
  // further; 0 for a region whose map could not be read. A problem on a
  // page after those is in the check's list, not on the map.
  static std::vector<int> DrawnPages(const FileMap& map);
  // How many pages of each region lie past the end of the file, in one
  // line: "Past the end of the file: region 0, 8180 pages.", regions in a
  // row with the same count together ("regions 1 to 30, 8192 pages each").
  static QString PastTheEnd(const FileMap& map);

  QSize sizeHint() const override;

 signals:
  // The user clicked the cell of (region, page).
  void PageClicked(int region, int page);

 protected:
  void paintEvent(QPaintEvent* event) override;
  bool event(QEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;

 private:
  // The top of region `region` in the image, and the region whose rows (or
  // the room below them) hold `y`, or -1.
  int RegionTop(int region) const;
  int RegionAt(int y) const;

  FileMap map_;
  std::set<std::pair<int, int>> problems_;
  std::vector<int> drawn_;  // DrawnPages of the map shown
  int cell_ = 6;
  QImage image_;
};

}  // namespace kinscope

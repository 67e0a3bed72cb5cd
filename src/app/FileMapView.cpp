// SPDX-License-Identifier: GPL-3.0-or-later
#include "FileMapView.h"

#include <QHelpEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QToolTip>
#include <QStringList>
#include <algorithm>
#include <array>

namespace kinscope {
namespace {

QRgb Pale(QColor c) {
  return qRgb((c.red() + 2 * 255) / 3, (c.green() + 2 * 255) / 3, (c.blue() + 2 * 255) / 3);
}

// The height a region takes at `cell` pixels a page when `pages` of it are
// drawn: its rows, at least its name's height, and the room below.
int RegionHeight(int pages, int cell) {
  const int rows = (pages + TFileMapView::kColumns - 1) / TFileMapView::kColumns;
  return std::max(rows * cell, TFileMapView::kLabelHeight) + TFileMapView::kGap;
}

int MapHeight(const std::vector<int>& drawn, int cell) {
  int height = 0;
  for (int pages : drawn) height += RegionHeight(pages, cell);
  return height;
}

// The pages of region `region` that lie at least partly inside a file of
// `file_size` bytes.
int PagesInside(int64_t file_size, int region) {
  const int64_t base = kRegionBase + region * kRegionSize;
  return static_cast<int>(
      std::clamp<int64_t>((file_size - base + kPageSize - 1) / kPageSize, 0, kPageSize));
}

}  // namespace

std::vector<int> TFileMapView::DrawnPages(const FileMap& map) {
  std::vector<int> drawn(map.regions.size(), 0);
  for (size_t r = 0; r < map.regions.size(); ++r) {
    const std::vector<MapPage>& pages = map.regions[r];
    if (pages.empty()) continue;
    int end = std::max(1, PagesInside(map.file_size, static_cast<int>(r)));
    for (int p = kPageSize - 1; p >= end; --p) {
      if (pages[static_cast<size_t>(p)].byte != 0) {
        end = p + 1;
        break;
      }
    }
    drawn[r] = end;
  }
  return drawn;
}

QString TFileMapView::PastTheEnd(const FileMap& map) {
  QStringList parts;
  const int regions = static_cast<int>(map.regions.size());
  for (int r = 0; r < regions;) {
    const int past = kPageSize - PagesInside(map.file_size, r);
    int last = r;
    while (last + 1 < regions && kPageSize - PagesInside(map.file_size, last + 1) == past) ++last;
    if (past > 0) {
      const QString pages =
          past == 1 ? QStringLiteral("1 page") : QStringLiteral("%1 pages").arg(past);
      parts << (last == r
                    ? QStringLiteral("region %1, %2").arg(r).arg(pages)
                    : QStringLiteral("regions %1 to %2, %3 each").arg(r).arg(last).arg(pages));
    }
    r = last + 1;
  }
  if (parts.isEmpty()) return QStringLiteral("No page lies past the end of the file.");
  return QStringLiteral("Past the end of the file: %1.").arg(parts.join(QStringLiteral("; ")));
}

TFileMapView::TFileMapView(QWidget* parent) : QWidget(parent) {
  setMouseTracking(true);
  setAttribute(Qt::WA_OpaquePaintEvent);
}

QColor TFileMapView::TableColor(int table) { return QColor::fromRgb(MapColourOf(table)); }

QString TFileMapView::TableName(int table) { return QString::fromStdString(MapLabelOf(table)); }

QColor TFileMapView::NoTableColor() { return {0x10, 0x10, 0x10}; }
QColor TFileMapView::ProblemColor() { return {0xff, 0x00, 0x00}; }

QImage TFileMapView::Render(const FileMap& map, const std::set<std::pair<int, int>>& problems,
                            int cell) {
  const int regions = static_cast<int>(map.regions.size());
  const std::vector<int> drawn = DrawnPages(map);
  QImage image(kLabelWidth + kColumns * cell, std::max(1, MapHeight(drawn, cell)),
               QImage::Format_RGB32);
  image.fill(Qt::white);
  std::array<QRgb, kTableCount + 1> full{};
  std::array<QRgb, kTableCount + 1> pale{};
  for (int t = 0; t <= kTableCount; ++t) {
    full[static_cast<size_t>(t)] = TableColor(t).rgb();
    pale[static_cast<size_t>(t)] = Pale(TableColor(t));
  }
  const QRgb no_table = NoTableColor().rgb();
  const QRgb stripe = qRgb(0x30, 0x30, 0x30);        // on a page of a table
  const QRgb light_stripe = qRgb(0xb8, 0xb8, 0xb8);  // on a page of no table
  const int edge = std::max(1, cell / 5);            // the width of a problem outline
  const QRgb red = ProblemColor().rgb();
  int top = 0;
  std::vector<int> tops;
  for (int r = 0; r < regions; top += RegionHeight(drawn[static_cast<size_t>(r)], cell), ++r) {
    tops.push_back(top);
    const std::vector<MapPage>& pages = map.regions[static_cast<size_t>(r)];
    if (pages.empty()) continue;
    for (int p = 0; p < drawn[static_cast<size_t>(r)]; ++p) {
      const MapPage& page = pages[static_cast<size_t>(p)];
      QRgb colour = 0;
      if (page.table != 0) {
        colour = page.counted ? full[page.table] : pale[page.table];
      } else {
        colour = page.byte == 0 ? full[0] : no_table;
      }
      const bool problem = problems.count({r, p}) != 0;
      const int x0 = kLabelWidth + (p % kColumns) * cell;
      const int y0 = top + (p / kColumns) * cell;
      for (int dy = 0; dy < cell; ++dy) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y0 + dy)) + x0;
        for (int dx = 0; dx < cell; ++dx) {
          QRgb c = colour;
          if (page.past_end && (dx + dy) % 4 == 3) c = page.table != 0 ? stripe : light_stripe;
          if (problem &&
              (cell < 3 || dx < edge || dy < edge || dx >= cell - edge || dy >= cell - edge)) {
            c = red;
          }
          line[dx] = c;
        }
      }
    }
  }
  QPainter painter(&image);
  QFont font = painter.font();
  font.setPixelSize(11);
  painter.setFont(font);
  painter.setPen(Qt::black);
  for (int r = 0; r < regions; ++r) {
    painter.drawText(QRect(2, tops[static_cast<size_t>(r)], kLabelWidth - 4, kLabelHeight),
                     Qt::AlignLeft, QStringLiteral("region %1").arg(r));
  }
  return image;
}

void TFileMapView::SetMap(FileMap map, std::set<std::pair<int, int>> problems) {
  map_ = std::move(map);
  problems_ = std::move(problems);
  drawn_ = DrawnPages(map_);
  SetCellSize(cell_);
}

int TFileMapView::MaxCellSize() const {
  int cell = 24;
  while (cell > 2 && int64_t{kLabelWidth + kColumns * cell} * std::max(1, MapHeight(drawn_, cell)) >
                         (int64_t{32} << 20))
    --cell;
  return cell;
}

int TFileMapView::RegionTop(int region) const {
  int top = 0;
  for (int r = 0; r < region; ++r) top += RegionHeight(drawn_[static_cast<size_t>(r)], cell_);
  return top;
}

int TFileMapView::RegionAt(int y) const {
  int top = 0;
  for (size_t r = 0; r < drawn_.size(); ++r) {
    top += RegionHeight(drawn_[r], cell_);
    if (y < top) return static_cast<int>(r);
  }
  return -1;
}

void TFileMapView::SetCellSize(int pixels) {
  cell_ = std::clamp(pixels, 2, MaxCellSize());
  image_ = Render(map_, problems_, cell_);
  setFixedSize(image_.size());
  update();
}

QSize TFileMapView::sizeHint() const { return image_.size(); }

QPoint TFileMapView::CellOrigin(int region, int page) const {
  if (region < 0 || region >= static_cast<int>(drawn_.size()) || page < 0 ||
      page >= drawn_[static_cast<size_t>(region)]) {
    return {-1, -1};
  }
  return {kLabelWidth + (page % kColumns) * cell_, RegionTop(region) + (page / kColumns) * cell_};
}

bool TFileMapView::PageAt(const QPoint& point, int& region, int& page) const {
  const int x = point.x() - kLabelWidth;
  if (x < 0 || point.y() < 0 || x >= kColumns * cell_) return false;
  const int r = RegionAt(point.y());
  if (r < 0) return false;
  const int p = ((point.y() - RegionTop(r)) / cell_) * kColumns + x / cell_;
  if (p >= drawn_[static_cast<size_t>(r)]) return false;
  region = r;
  page = p;
  return true;
}

QString TFileMapView::Describe(int region, int page) const {
  if (region < 0 || region >= static_cast<int>(map_.regions.size()) ||
      map_.regions[static_cast<size_t>(region)].empty() || page < 0 || page >= kPageSize) {
    return QString();
  }
  const MapPage& p = map_.regions[static_cast<size_t>(region)][static_cast<size_t>(page)];
  const int64_t offset = kRegionBase + region * kRegionSize + int64_t{page} * kPageSize;
  QString text = QStringLiteral("region %1, page %2\n").arg(region).arg(page);
  if (p.table != 0) {
    text += QStringLiteral("table %1: %2, %3\n")
                .arg(p.table)
                .arg(TableName(p.table))
                .arg(p.counted ? QStringLiteral("counted") : QStringLiteral("not counted"));
  } else if (p.byte != 0) {
    text += QStringLiteral("no table (the page map holds %1)\n").arg(static_cast<int8_t>(p.byte));
  } else {
    text += QStringLiteral("no table\n");
  }
  text += QStringLiteral("file offset %1").arg(offset);
  const TableSpec* spec = TableSpecOf(p.table);
  if (p.first_record > 0 && spec != nullptr) {
    const int64_t last = std::min<int64_t>(int64_t{p.first_record} + spec->per_page - 1, INT32_MAX);
    text += QStringLiteral("\nrecords %1 to %2").arg(p.first_record).arg(last);
  }
  if (p.past_end) text += QStringLiteral("\npast the end of the file");
  if (problems_.count({region, page}) != 0) text += QStringLiteral("\na problem: see the list");
  return text;
}

QString TFileMapView::Legend() const {
  std::set<int> present;
  for (const auto& pages : map_.regions) {
    for (const MapPage& p : pages) present.insert(p.table);
  }
  const auto swatch = [](QRgb colour, const QString& name) {
    return QStringLiteral(
               "<span style=\"background-color:%1; border:1px solid "
               "#808080\">&nbsp;&nbsp;&nbsp;&nbsp;</span>&nbsp;%2 &nbsp; ")
        .arg(QColor(colour).name(), name.toHtmlEscaped());
  };
  QString html;
  for (int t : present) {
    if (t != 0)
      html += swatch(TableColor(t).rgb(), QStringLiteral("%1 %2").arg(t).arg(TableName(t)));
  }
  html += swatch(TableColor(0).rgb(), QStringLiteral("no table"));
  html += swatch(NoTableColor().rgb(), QStringLiteral("a table that does not exist"));
  html += swatch(Pale(TableColor(2)), QStringLiteral("pale: not counted"));
  html += QStringLiteral("<b>////</b>&nbsp;past the end of the file &nbsp; ");
  html += QStringLiteral(
      "<span style=\"border:1px solid red;color:red\">[&nbsp;&nbsp;]</span>&nbsp;a problem");
  return html;
}

void TFileMapView::paintEvent(QPaintEvent* event) {
  QPainter painter(this);
  painter.drawImage(event->rect(), image_, event->rect());
}

bool TFileMapView::event(QEvent* event) {
  if (event->type() == QEvent::ToolTip) {
    auto* help = static_cast<QHelpEvent*>(event);
    int region = 0;
    int page = 0;
    if (PageAt(help->pos(), region, page)) {
      QToolTip::showText(help->globalPos(), Describe(region, page), this);
    } else {
      QToolTip::hideText();
    }
    return true;
  }
  return QWidget::event(event);
}

void TFileMapView::mousePressEvent(QMouseEvent* event) {
  int region = 0;
  int page = 0;
  if (event->button() == Qt::LeftButton && PageAt(event->position().toPoint(), region, page)) {
    emit PageClicked(region, page);
  }
}

}  // namespace kinscope

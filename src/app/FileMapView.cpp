// SPDX-License-Identifier: GPL-3.0-or-later
#include "FileMapView.h"

#include <QHelpEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QToolTip>
#include <algorithm>
#include <array>

namespace kinscope {
namespace {

QRgb Pale(QColor c) {
  return qRgb((c.red() + 2 * 255) / 3, (c.green() + 2 * 255) / 3, (c.blue() + 2 * 255) / 3);
}

int RegionHeight(int cell) { return TFileMapView::kRows * cell + TFileMapView::kGap; }

}  // namespace

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
  QImage image(kLabelWidth + kColumns * cell, std::max(1, regions * RegionHeight(cell)),
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
  for (int r = 0; r < regions; ++r) {
    const std::vector<MapPage>& pages = map.regions[static_cast<size_t>(r)];
    if (pages.empty()) continue;
    const int top = r * RegionHeight(cell);
    for (int p = 0; p < kPageSize; ++p) {
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
    painter.drawText(QRect(2, r * RegionHeight(cell), kLabelWidth - 4, 14), Qt::AlignLeft,
                     QStringLiteral("region %1").arg(r));
  }
  return image;
}

void TFileMapView::SetMap(FileMap map, std::set<std::pair<int, int>> problems) {
  map_ = std::move(map);
  problems_ = std::move(problems);
  SetCellSize(cell_);
}

int TFileMapView::MaxCellSize() const {
  const int64_t regions = std::max<int64_t>(1, static_cast<int64_t>(map_.regions.size()));
  int cell = 24;
  while (cell > 2 &&
         (kLabelWidth + kColumns * cell) * regions * RegionHeight(cell) > (int64_t{32} << 20))
    --cell;
  return cell;
}

void TFileMapView::SetCellSize(int pixels) {
  cell_ = std::clamp(pixels, 2, MaxCellSize());
  image_ = Render(map_, problems_, cell_);
  setFixedSize(image_.size());
  update();
}

QSize TFileMapView::sizeHint() const { return image_.size(); }

QPoint TFileMapView::CellOrigin(int region, int page) const {
  if (region < 0 || region >= static_cast<int>(map_.regions.size()) || page < 0 ||
      page >= kPageSize) {
    return {-1, -1};
  }
  return {kLabelWidth + (page % kColumns) * cell_,
          region * RegionHeight(cell_) + (page / kColumns) * cell_};
}

bool TFileMapView::PageAt(const QPoint& point, int& region, int& page) const {
  const int x = point.x() - kLabelWidth;
  if (x < 0 || point.y() < 0 || x >= kColumns * cell_) return false;
  const int r = point.y() / RegionHeight(cell_);
  const int y = point.y() % RegionHeight(cell_);
  if (r >= static_cast<int>(map_.regions.size()) || y >= kRows * cell_) return false;
  if (map_.regions[static_cast<size_t>(r)].empty()) return false;
  region = r;
  page = (y / cell_) * kColumns + x / cell_;
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

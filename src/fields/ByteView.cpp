// SPDX-License-Identifier: GPL-3.0-or-later
#include "ByteView.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFontDatabase>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <algorithm>
#include <memory>

#include "FieldText.h"
#include "Seams.h"

namespace kinscope {
namespace {

QString HexText(const uint8_t* bytes, size_t count) {
  return QString::fromStdString(HexBytes(bytes, count));
}

}  // namespace

TByteModel::TByteModel(const ByteViewSource& source, QObject* parent)
    : QAbstractTableModel(parent) {
  if (source.layout != nullptr && source.bytes != nullptr) {
    AddFields(*source.layout, 0, QString(), source.bytes, source.read);
  }
}

void TByteModel::AddFields(const RecordLayout& layout, size_t base, const QString& prefix,
                           const uint8_t* bytes, size_t read) {
  // Each row's bytes and value; bytes past what was read are shown as such.
  auto add = [&](size_t offset, size_t width, const QString& name, const FieldSpec* f) {
    const size_t at = base + offset;
    Row row{at, width, prefix + name, QString(), QString()};
    if (at + width <= read) {
      row.bytes = HexText(bytes + at, width);
      row.value = f != nullptr ? QString::fromStdString(FieldValueText(*f, bytes + at)) : QString();
    } else {
      const size_t got = read > at ? read - at : 0;
      row.bytes =
          HexText(bytes + at, got) + QString(got == 0 ? "" : " ") + QStringLiteral("(not read)");
      row.value = QStringLiteral("(not read)");
    }
    rows_.push_back(row);
  };
  size_t end = 0;
  for (size_t i = 0; i < layout.count; ++i) {
    const FieldSpec& f = layout.fields[i];
    if (f.offset > end) add(end, f.offset - end, QStringLiteral("(not interpreted)"), nullptr);
    const QString name = QString::fromLatin1(f.name);
    if (f.kind == FieldKind::kEvent || f.kind == FieldKind::kOrdinance) {
      const RecordLayout& inner = f.kind == FieldKind::kEvent ? event::kLayout : ordinance::kLayout;
      AddFields(inner, base + f.offset, prefix + name + " / ", bytes, read);
    } else {
      add(f.offset, f.width, name, &f);
    }
    end = f.offset + f.width;
  }
  if (layout.size > end) add(end, layout.size - end, QStringLiteral("(not interpreted)"), nullptr);
}

int TByteModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int TByteModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : kColumns;
}

QVariant TByteModel::data(const QModelIndex& index, int role) const {
  if (role != Qt::DisplayRole || !index.isValid()) return QVariant();
  const Row& row = rows_[static_cast<size_t>(index.row())];
  switch (index.column()) {
    case kOffset:
      return QString::number(row.offset);
    case kWidth:
      return QString::number(row.width);
    case kField:
      return row.field;
    case kBytes:
      return row.bytes;
    default:
      return row.value;
  }
}

QVariant TByteModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role != Qt::DisplayRole || orientation != Qt::Horizontal) return QVariant();
  static const char* const kNames[] = {"Offset", "Width", "Field", "Bytes", "Value"};
  return section >= 0 && section < kColumns ? QString(kNames[section]) : QVariant();
}

TByteView::TByteView(QWidget* owner, const ByteViewSource& source)
    : QDialog(owner), model_(source) {
  ui.setupUi(this);
  ui.lblWhere->setText(source.where);
  ui.tvBytes->setModel(&model_);
  ui.tvBytes->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  ui.tvBytes->verticalHeader()->hide();
  ui.tvBytes->verticalHeader()->setDefaultSectionSize(ui.tvBytes->fontMetrics().height() + 6);
  ui.tvBytes->horizontalHeader()->setStretchLastSection(true);
  ui.tvBytes->resizeColumnsToContents();
  auto* copy = new QAction(QStringLiteral("Copy"), this);
  copy->setShortcut(QKeySequence::Copy);
  copy->setShortcutContext(Qt::WidgetWithChildrenShortcut);
  ui.tvBytes->addAction(copy);
  ui.tvBytes->setContextMenuPolicy(Qt::ActionsContextMenu);
  connect(copy, &QAction::triggered, this, &TByteView::CopySelection);
}

QString TByteView::SelectedText() const {
  QStringList lines;
  for (const QModelIndex& index : ui.tvBytes->selectionModel()->selectedRows()) {
    const TByteModel::Row& row = model_.Rows()[static_cast<size_t>(index.row())];
    lines << QStringList{QString::number(row.offset), QString::number(row.width), row.field,
                         row.bytes, row.value}
                 .join('\t');
  }
  // Rows in record order, however they were selected.
  std::sort(lines.begin(), lines.end(), [](const QString& a, const QString& b) {
    return a.section('\t', 0, 0).toInt() < b.section('\t', 0, 0).toInt();
  });
  return lines.join('\n');
}

void TByteView::CopySelection() const { QApplication::clipboard()->setText(SelectedText()); }

void InstallByteView(QWidget* window, std::function<ByteViewSource()> source) {
  auto* bytes = new QAction(QStringLiteral("Bytes..."), window);
  bytes->setObjectName(QStringLiteral("actBytes"));
  bytes->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_B));
  window->addAction(bytes);
  window->setContextMenuPolicy(Qt::ActionsContextMenu);
  QObject::connect(bytes, &QAction::triggered, window, [window, source = std::move(source)] {
    TByteView view(window, source());
    seams::RunModal(view);
  });
}

QMenu* MakeCopyMenu(QWidget* control) {
  auto* menu = new QMenu(control);
  QObject::connect(menu->addAction(QStringLiteral("Copy")), &QAction::triggered, control,
                   [control] {
                     QString text;
                     if (auto* label = qobject_cast<QLabel*>(control)) text = label->text();
                     if (auto* button = qobject_cast<QAbstractButton*>(control))
                       text = button->text();
                     QApplication::clipboard()->setText(text);
                   });
  return menu;
}

void InstallCopyMenus(QWidget* window) {
  QList<QWidget*> controls;
  for (QLabel* l : window->findChildren<QLabel*>()) controls << l;
  for (QPushButton* b : window->findChildren<QPushButton*>()) controls << b;
  for (QWidget* w : controls) {
    w->setContextMenuPolicy(Qt::CustomContextMenu);
    QObject::connect(w, &QWidget::customContextMenuRequested, w, [w](const QPoint& at) {
      std::unique_ptr<QMenu> menu(MakeCopyMenu(w));
      menu->exec(w->mapToGlobal(at));
    });
  }
}

}  // namespace kinscope

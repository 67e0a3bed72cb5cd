// SPDX-License-Identifier: GPL-3.0-or-later
// The byte view of a record or embedded value: one row per field of its
// layout (embedded events and ordinances by their own fields), the bytes no
// field covers as rows of their own, each with its offset, width, bytes in
// hexadecimal and value; rows can be selected and copied as tab-separated
// text.
#pragma once

#include <QAbstractTableModel>
#include <QDialog>
#include <QMenu>
#include <QString>
#include <cstdint>
#include <functional>
#include <vector>

#include "RecordLayouts.h"
#include "ui_ByteView.h"

namespace kinscope {

class CTEVDatabase;

// What a byte view shows: the bytes of one record or value, laid out as
// `layout`, of which the first `read` came from the file (the rest was not
// read), and a line saying where they are.
struct ByteViewSource {
  const RecordLayout* layout = nullptr;
  const uint8_t* bytes = nullptr;
  size_t read = 0;
  QString where;
};

class TByteModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  enum Column { kOffset, kWidth, kField, kBytes, kValue, kColumns };
  explicit TByteModel(const ByteViewSource& source, QObject* parent = nullptr);

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  // One row: where it lies and its cells as text.
  struct Row {
    size_t offset;
    size_t width;
    QString field;
    QString bytes;
    QString value;
  };
  const std::vector<Row>& Rows() const { return rows_; }

 private:
  void AddFields(const RecordLayout& layout, size_t base, const QString& prefix,
                 const uint8_t* bytes, size_t read);

  std::vector<Row> rows_;
};

class TByteView : public QDialog {
  Q_OBJECT

 public:
  TByteView(QWidget* owner, const ByteViewSource& source);
  // The selected rows as tab-separated lines, columns in order.
  QString SelectedText() const;
  // Puts the selected rows on the clipboard.
  void CopySelection() const;

  Ui::TByteView ui;

 private:
  TByteModel model_;
};

// Gives `window` a "Bytes..." entry in the context menu of its background
// and the shortcut Ctrl+B; each opens a modal byte view owned by `window` on
// what `source` gives at that moment.
void InstallByteView(QWidget* window, std::function<ByteViewSource()> source);

// Gives every label and button of `window` a context menu with "Copy",
// which puts its text as shown on the clipboard. A left click is unchanged.
void InstallCopyMenus(QWidget* window);

// The context menu of a label or button: "Copy" of its text as shown.
// The caller owns the menu.
QMenu* MakeCopyMenu(QWidget* control);

}  // namespace kinscope

// SPDX-License-Identifier: GPL-3.0-or-later
// "Export GEDCOM..." of the main window: a save dialog, the export with a
// progress dialog that can be cancelled, then a summary.
#pragma once

#include <QString>

class QWidget;

namespace kinscope {

class CTEVDatabase;

// Asks for a file name ("GEDCOM files (*.ged)", offering `database_path`
// with the extension .ged), exports `db` to it with a cancellable progress
// dialog owned by `owner`, and shows the counts of what was written and
// what was left out. A cancelled or failed export leaves no file.
void ExportGedcom(QWidget* owner, CTEVDatabase& db, const QString& database_path);

}  // namespace kinscope

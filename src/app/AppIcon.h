// SPDX-License-Identifier: GPL-3.0-or-later
// The program's icon, the same picture the desktop shows for it.
#pragma once

#include <QIcon>

namespace kinscope {

// The icon drawn from the program's SVG at the usual icon sizes. Needs a
// running QGuiApplication.
QIcon KinscopeIcon();

}  // namespace kinscope

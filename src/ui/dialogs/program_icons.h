#pragma once

#include <QIcon>
#include <QPixmap>
#include <QSize>

namespace tw::ui {

// The program's own icons by their resource id: 1000 the program (large), 1001 the program
// (small: tray and window lists), 1999 the side picture of the Setup and Version pages, 2107
// the browse buttons, 2585 autostart, 2880 the desktop, 5300 information, 5400 question, 5500
// error. The pictures are SVG files compiled into the program (resources/dialogs.qrc).

// Resource path of an icon id; empty for an unknown id.
QString ProgramIconPath(int id);
// The icon; a null icon for an unknown id.
QIcon ProgramIcon(int id);
// The icon drawn at `size` device-independent pixels for a widget at `devicePixelRatio`.
QPixmap ProgramIconPixmap(int id, const QSize& size, qreal devicePixelRatio = 1.0);
// The SVG picture at `path` drawn the same way; null when it cannot be read.
QPixmap SvgPixmap(const QString& path, const QSize& size, qreal devicePixelRatio = 1.0);

} // namespace tw::ui

#pragma once

#include <QIcon>
#include <QPixmap>
#include <QSize>
#include <QString>

namespace tw::ui {

// The panes' eleven row icons (resources 3000-3010, image index 0-10) and the large folder
// icon of the dialogs (2973). Drawn from SVG at every size asked, so they stay sharp on HiDPI
// screens.

// The row icon of image index 0-10 (an out-of-range index gives the "other file" icon).
QIcon PaneRowIcon(int index);
// The same with the link emblem, for rows that are symbolic links.
QIcon PaneLinkIcon(int index);
// The large folder picture of the Rename, Delete and Properties dialogs.
QIcon FolderIcon();
// The natural size of a row icon.
inline constexpr QSize kPaneIconSize{14, 12};

// The theme icon and description of a file type ("txt" or ".txt"), with a generic document
// icon and "Document" for types the system does not know.
QIcon GetFileTypeIcon(const QString& extension, QString* description = nullptr);

} // namespace tw::ui

#pragma once

#include <QString>

class QToolButton;
class QWidget;

namespace tw::ui {

// The small browse button beside a path field of the options pages: icon 2107 at 12 x 12
// pixels (the theme's "folder-open" while the program has no such picture), named and tipped
// by the title of the file dialog it opens, so that it reads as what it does.
QToolButton* MakeBrowseButton(QWidget* parent, const QString& objectName, const QString& title);

} // namespace tw::ui

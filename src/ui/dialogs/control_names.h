#pragma once

#include <QString>

class QWidget;

namespace tw::ui {

// The text a control shows for `text`: mnemonic markers removed, "&&" shown as one "&".
QString VisibleText(const QString& text);

// Gives every control below `root` (and `root` itself) the accessible name of the text it
// shows, so that assistive technology reads what the eye reads: buttons, check boxes and labels
// their own text, group boxes their title, an edit, list or spin box the text of the label that
// names it (its buddy), a drop-down list without one its current entry. A control that shows no
// text keeps the name it has. Call it again after texts change.
void NameControlsByText(QWidget* root);

} // namespace tw::ui

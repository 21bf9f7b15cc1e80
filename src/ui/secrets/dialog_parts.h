#pragma once

#include <QString>

#include <initializer_list>

class QHBoxLayout;
class QLabel;
class QLayout;
class QLineEdit;
class QPushButton;
class QWidget;

namespace tw::ui::secrets {

// The pieces the password store's dialogs share, so that they look like one family and like
// the program's message boxes: the kind's icon at the left, the text beside it, the buttons
// in a right-aligned row below.

// A 32-pixel program icon (5300 information, 5400 question) aligned to the top.
QLabel* MakeIconLabel(QWidget* parent, int iconId);
// The warning sign of the desktop's style, for the questions that can leak a secret.
QLabel* MakeWarningIconLabel(QWidget* parent);
// A plain, wrapped text named `objectName`, at least `minimumWidth` pixels wide.
QLabel* MakeTextLabel(QWidget* parent, const QString& text, const QString& objectName,
                      int minimumWidth = 360);
// An edit for a secret: dots instead of characters, no completion, no prediction or
// learning by an input method, nothing copied out of it.
QLineEdit* MakePasswordEdit(QWidget* parent, const QString& objectName);
// The buttons right-aligned in one row, in the order given.
QHBoxLayout* MakeButtonRow(std::initializer_list<QPushButton*> buttons);
// The dialog's layout: the icon beside `content`, then `buttons`.
void LayOutDialog(QWidget* dialog, QLabel* icon, QLayout* content, QLayout* buttons);
// Text from a server, an account or the keyring daemon, on one line, its control characters
// as escapes.
QString Shown(const QString& text);

} // namespace tw::ui::secrets

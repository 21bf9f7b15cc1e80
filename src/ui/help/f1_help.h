#pragma once

#include <QObject>

class QAbstractButton;
class QWidget;

namespace tw::ui {

// The Help button of a dialog or property sheet: a shown, enabled button named "helpButton"
// or showing the text "Help". Null when the dialog has none.
QAbstractButton* FindHelpButton(QWidget* dialog);

// F1 in a dialog or property sheet that has a Help button does what the button does. Installed
// on the application; F1 anywhere else (the main window maps it to Contents) passes on.
class F1HelpFilter : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

} // namespace tw::ui

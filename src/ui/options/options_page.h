#pragma once

#include <QWidget>

namespace tw::ui {

// A page of the options sheet. The sheet calls activate() each time the page becomes the
// current one (the page fills its controls from the sheet's working copy) and store() when the
// page is left and on OK (the page reads its controls into the copy and validates them). A page
// that refuses has shown its message and selected the offending field; the sheet then stays on
// it.
class OptionsPageWidget : public QWidget {
public:
    using QWidget::QWidget;

    virtual void activate() = 0;
    virtual bool store() = 0;
};

} // namespace tw::ui

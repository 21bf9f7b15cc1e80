#pragma once

#include "core/options/options_sheet.h"

#include <QDialog>

#include <array>
#include <functional>

class QDialogButtonBox;
class QTabWidget;

namespace tw {
class Messages;
}

namespace tw::ui {

class OptionsPageWidget;

// The options sheet: eight pages over one OptionsSheet, with OK, Cancel and Help and no Apply.
// Each activation shows the page's status text and fills it from the working copy; leaving a
// page and OK store it, and a page that refuses keeps the sheet where it is.
class OptionsSheetDialog : public QDialog {
    Q_OBJECT
public:
    // `liveState` is the real state, where the Edit File Type dialog keeps its position.
    OptionsSheetDialog(OptionsSheet& sheet, const Messages& messages, AppState& liveState,
                       OptionsPage startPage, std::function<void(int topic)> showHelp,
                       QWidget* parent = nullptr);

    QTabWidget* tabs() const { return m_tabs; }
    OptionsPageWidget* page(OptionsPage page) const { return m_pages[std::size_t(page)]; }
    // Switches to `page` as the user would (the page being left may refuse).
    bool switchTo(OptionsPage page);
    // What OK does; false when the active page refused.
    bool tryAccept();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void activate(int index);
    bool leave(int index);
    void onTabChanged(int index);

    OptionsSheet& m_sheet;
    std::function<void(int)> m_showHelp;
    QTabWidget* m_tabs = nullptr;
    QDialogButtonBox* m_buttons = nullptr;
    std::array<OptionsPageWidget*, kOptionsPageCount> m_pages{};
    int m_activeIndex = -1;
    bool m_placed = false;
};

} // namespace tw::ui

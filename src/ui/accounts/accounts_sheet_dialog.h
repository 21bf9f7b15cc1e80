#pragma once

#include "core/accounts/accounts_sheet.h"

#include <QDialog>

#include <array>
#include <functional>
#include <optional>

class QDialogButtonBox;
class QPushButton;
class QTabWidget;

namespace tw::ui {

class LoginPage;
class NotesPage;
class StartupPage;

// The accounts sheet (also the Connect dialog): Login, Startup and Notes pages over one
// AccountsSheet, with OK (or "Connect"), Cancel and Help. Leaving a page stores its fields; the
// Login page refuses to be left while its account is invalid. OK stores the active page, then
// every page that was shown, and accepts.
class AccountsSheetDialog : public QDialog {
    Q_OBJECT
public:
    AccountsSheetDialog(AccountsSheet& sheet, const QString& browseTitle,
                        std::function<void(int topic)> showHelp, QWidget* parent = nullptr);

    QTabWidget* tabs() const { return m_tabs; }
    QPushButton* okButton() const { return m_ok; }
    // Switches to `page` as the user would (the page being left may refuse).
    bool switchTo(SheetPage page);
    // What OK does; false when a page refused.
    bool tryAccept();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void activate(SheetPage page);
    bool store(SheetPage page);
    void onTabChanged(int index);
    void updateOk();

    AccountsSheet& m_sheet;
    std::function<void(int)> m_showHelp;
    QTabWidget* m_tabs = nullptr;
    LoginPage* m_login = nullptr;
    StartupPage* m_startup = nullptr;
    NotesPage* m_notes = nullptr;
    QDialogButtonBox* m_buttons = nullptr;
    QPushButton* m_ok = nullptr;
    std::array<bool, 3> m_shown{};
    int m_activeIndex = 0;
    bool m_placed = false;
    std::optional<LoginField> m_failed; // the field the Login page last refused on
};

} // namespace tw::ui

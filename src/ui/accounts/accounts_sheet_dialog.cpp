#include "ui/accounts/accounts_sheet_dialog.h"

#include "ui/accounts/login_page.h"
#include "ui/accounts/notes_page.h"
#include "ui/accounts/startup_page.h"
#include "ui/dialogs/control_names.h"
#include "ui/dialogs/dialog_placement.h"

#include <QDialogButtonBox>
#include <QGuiApplication>
#include <QPushButton>
#include <QScreen>
#include <QSignalBlocker>
#include <QTabWidget>
#include <QVBoxLayout>

namespace tw::ui {

AccountsSheetDialog::AccountsSheetDialog(AccountsSheet& sheet, const QString& browseTitle,
                                         std::function<void(int)> showHelp, QWidget* parent)
    : QDialog(parent), m_sheet(sheet), m_showHelp(std::move(showHelp)) {
    setObjectName(QStringLiteral("accountsSheet"));
    setWindowTitle(sheet.caption());
    SetDialogIcon(this, 1000);

    m_tabs = new QTabWidget(this);
    m_tabs->setObjectName(QStringLiteral("accountsTabs"));
    m_login = new LoginPage(sheet, m_tabs);
    m_startup = new StartupPage(sheet, browseTitle, m_tabs);
    m_notes = new NotesPage(m_tabs);
    m_tabs->addTab(m_login, QStringLiteral("Login"));
    m_tabs->addTab(m_startup, QStringLiteral("Startup"));
    m_tabs->addTab(m_notes, QStringLiteral("Notes"));

    m_buttons = new QDialogButtonBox(
        QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Help, this);
    m_ok = m_buttons->button(QDialogButtonBox::Ok);
    m_ok->setObjectName(QStringLiteral("okButton"));
    m_buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("cancelButton"));
    m_buttons->button(QDialogButtonBox::Help)->setObjectName(QStringLiteral("helpButton"));

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_tabs);
    layout->addWidget(m_buttons);

    connect(m_buttons, &QDialogButtonBox::accepted, this, &AccountsSheetDialog::tryAccept);
    connect(m_buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_buttons, &QDialogButtonBox::helpRequested, this, [this] {
        if (m_showHelp)
            m_showHelp(AccountsSheet::helpTopic(static_cast<SheetPage>(m_tabs->currentIndex())));
    });
    connect(m_login, &LoginPage::tableChanged, this, &AccountsSheetDialog::updateOk);
    connect(m_tabs, &QTabWidget::currentChanged, this, &AccountsSheetDialog::onTabChanged);

    NameControlsByText(this);
    activate(SheetPage::Login);
}

void AccountsSheetDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (m_placed)
        return;
    m_placed = true;
    QRect screen;
    if (const QScreen* primary = QGuiApplication::primaryScreen())
        screen = primary->virtualGeometry();
    if (const auto at = m_sheet.position(screen))
        MoveClientTo(this, *at);
    else
        CenterWindowOnMonitor(this);
}

void AccountsSheetDialog::updateOk() {
    m_ok->setText(m_sheet.okText());
    m_ok->setAccessibleName(VisibleText(m_ok->text()));
    m_ok->setEnabled(m_sheet.okEnabled());
}

void AccountsSheetDialog::activate(SheetPage page) {
    const int index = static_cast<int>(page);
    m_activeIndex = index;
    m_shown[std::size_t(index)] = true;
    SetDialogIcon(this, 1000);
    m_sheet.showPageStatus(page);
    switch (page) {
    case SheetPage::Login:
        m_sheet.activateLogin();
        m_login->refresh();
        break;
    case SheetPage::Startup:
        m_startup->show(m_sheet.activateStartup());
        break;
    case SheetPage::Notes:
        m_notes->show(m_sheet.activateNotes(), m_sheet.hasCurrentAccount());
        break;
    }
    updateOk();
}

bool AccountsSheetDialog::store(SheetPage page) {
    m_sheet.rememberPosition(geometry()); // the client area, as MoveClientTo restores it
    switch (page) {
    case SheetPage::Login:
        m_failed = m_sheet.validateAndStore(m_login->fields());
        if (m_failed) {
            m_login->focusField(*m_failed);
            return false;
        }
        return true;
    case SheetPage::Startup:
        if (const auto reloaded = m_sheet.storeStartup(m_startup->fields()))
            m_startup->show(*reloaded);
        return true;
    case SheetPage::Notes:
        if (const auto reloaded = m_sheet.storeNotes(m_notes->comments()))
            m_notes->show(*reloaded, m_sheet.hasCurrentAccount());
        return true;
    }
    return true;
}

void AccountsSheetDialog::onTabChanged(int index) {
    const int previous = m_activeIndex;
    if (index == previous || index < 0)
        return;
    if (!store(static_cast<SheetPage>(previous))) {
        // The page refused to be left: back to it, with the offending field focused.
        const QSignalBlocker block(m_tabs);
        m_tabs->setCurrentIndex(previous);
        if (m_failed)
            m_login->focusField(*m_failed);
        return;
    }
    activate(static_cast<SheetPage>(index));
}

bool AccountsSheetDialog::switchTo(SheetPage page) {
    m_tabs->setCurrentIndex(static_cast<int>(page));
    return m_tabs->currentIndex() == static_cast<int>(page);
}

bool AccountsSheetDialog::tryAccept() {
    if (!m_sheet.okEnabled())
        return false;
    const auto active = static_cast<SheetPage>(m_activeIndex);
    if (!store(active))
        return false;
    for (int i = 0; i < 3; ++i) {
        if (i == m_activeIndex || !m_shown[std::size_t(i)])
            continue;
        if (!store(static_cast<SheetPage>(i))) {
            const QSignalBlocker block(m_tabs);
            m_tabs->setCurrentIndex(i);
            m_activeIndex = i;
            if (m_failed)
                m_login->focusField(*m_failed);
            return false;
        }
    }
    accept();
    return true;
}

} // namespace tw::ui

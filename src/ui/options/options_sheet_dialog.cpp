#include "ui/options/options_sheet_dialog.h"

#include "ui/dialogs/control_names.h"
#include "ui/dialogs/dialog_placement.h"
#include "ui/options/file_types_page.h"
#include "ui/options/flags_page.h"
#include "ui/options/passwords_page.h"
#include "ui/options/setup_page.h"
#include "ui/options/sounds_page.h"
#include "ui/options/version_page.h"

#include <QDialogButtonBox>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>

namespace tw::ui {

OptionsSheetDialog::OptionsSheetDialog(OptionsSheet& sheet, const Messages& messages,
                                       AppState& liveState, OptionsPage startPage,
                                       std::function<void(int)> showHelp, QWidget* parent)
    : QDialog(parent), m_sheet(sheet), m_showHelp(std::move(showHelp)) {
    setObjectName(QStringLiteral("optionsSheet"));
    setWindowTitle(sheet.caption());
    SetDialogIcon(this, 1000);

    m_tabs = new QTabWidget(this);
    m_tabs->setObjectName(QStringLiteral("optionsTabs"));
    // Every page's tab stays in view: the sheet is as wide as the row of tabs needs.
    m_tabs->tabBar()->setUsesScrollButtons(false);
    const auto add = [this](OptionsPage page, OptionsPageWidget* widget, const QString& title) {
        m_pages[std::size_t(page)] = widget;
        m_tabs->addTab(widget, title);
    };
    add(OptionsPage::General, new FlagsPage(sheet, OptionsPage::General, m_tabs),
        QStringLiteral("General"));
    add(OptionsPage::Transfer, new FlagsPage(sheet, OptionsPage::Transfer, m_tabs),
        QStringLiteral("Transfer"));
    add(OptionsPage::FileTypes, new FileTypesPage(sheet, messages, liveState, m_showHelp, m_tabs),
        QStringLiteral("File Types"));
    add(OptionsPage::Sorting, new FlagsPage(sheet, OptionsPage::Sorting, m_tabs),
        QStringLiteral("Sorting"));
    add(OptionsPage::Sounds, new SoundsPage(sheet, messages, m_tabs), QStringLiteral("Sounds"));
    add(OptionsPage::Passwords, new PasswordsPage(sheet, m_tabs), QStringLiteral("Passwords"));
    add(OptionsPage::Setup, new SetupPage(sheet, m_tabs), QStringLiteral("Desktop"));
    add(OptionsPage::Version, new VersionPage(messages, m_tabs), QStringLiteral("Version"));

    m_buttons = new QDialogButtonBox(
        QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Help, this);
    m_buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("okButton"));
    m_buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("cancelButton"));
    m_buttons->button(QDialogButtonBox::Help)->setObjectName(QStringLiteral("helpButton"));

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_tabs);
    layout->addWidget(m_buttons);

    connect(m_buttons, &QDialogButtonBox::accepted, this, &OptionsSheetDialog::tryAccept);
    connect(m_buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_buttons, &QDialogButtonBox::helpRequested, this, [this] {
        if (m_showHelp)
            m_showHelp(OptionsSheet::helpTopic(static_cast<OptionsPage>(m_tabs->currentIndex())));
    });

    NameControlsByText(this);
    {
        const QSignalBlocker block(m_tabs);
        m_tabs->setCurrentIndex(int(startPage));
    }
    activate(int(startPage));
    connect(m_tabs, &QTabWidget::currentChanged, this, &OptionsSheetDialog::onTabChanged);
}

// The sheet opens centred, or at its remembered place; leaving a page remembers the place, so
// later activations find the sheet where it already is.
void OptionsSheetDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (m_placed)
        return;
    m_placed = true;
    if (const auto at = m_sheet.position(VirtualScreenBounds()))
        MoveClientTo(this, *at);
    else
        CenterWindowOnMonitor(this);
}

void OptionsSheetDialog::activate(int index) {
    m_activeIndex = index;
    SetDialogIcon(this, 1000);
    m_sheet.showPageStatus(static_cast<OptionsPage>(index));
    m_pages[std::size_t(index)]->activate();
    // Texts and enabled states change with the copy: keep the names what the eye reads.
    NameControlsByText(m_pages[std::size_t(index)]);
}

bool OptionsSheetDialog::leave(int index) {
    if (!m_pages[std::size_t(index)]->store())
        return false;
    m_sheet.rememberPosition(geometry()); // the client area, as MoveClientTo restores it
    return true;
}

void OptionsSheetDialog::onTabChanged(int index) {
    const int previous = m_activeIndex;
    if (index == previous || index < 0)
        return;
    // The page being left stays on screen while it is stored, so that a page that refuses
    // has its field selected where the user sees it; the sheet then stays on it.
    const QSignalBlocker block(m_tabs);
    m_tabs->setCurrentIndex(previous);
    if (!leave(previous))
        return;
    m_tabs->setCurrentIndex(index);
    activate(index);
}

bool OptionsSheetDialog::switchTo(OptionsPage page) {
    m_tabs->setCurrentIndex(int(page));
    return m_tabs->currentIndex() == int(page);
}

bool OptionsSheetDialog::tryAccept() {
    if (!leave(m_activeIndex))
        return false;
    accept();
    return true;
}

} // namespace tw::ui

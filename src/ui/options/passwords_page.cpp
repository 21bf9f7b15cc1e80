#include "ui/options/passwords_page.h"

#include "core/options/options_sheet.h"
#include "ui/dialogs/dialog_placement.h"
#include "ui/dialogs/dialog_units.h"
#include "ui/options/page_items.h"

#include <QButtonGroup>
#include <QPushButton>
#include <QRadioButton>

namespace tw::ui {

namespace {

struct Choice {
    PasswordStoreChoice value;
    int id;
    const char16_t* text;
    PageItem at;
};
// In the order of PasswordStoreChoice, from Keyring on.
const Choice kChoices[] = {
    {PasswordStoreChoice::Keyring,
     201,
     u"Keep saved passwords in the desktop &keyring",
     {14, 34, 296, 10}},
    {PasswordStoreChoice::MasterPassword,
     202,
     u"Keep saved passwords in a file protected by a &master password",
     {14, 50, 296, 10}},
    {PasswordStoreChoice::DoNotSave,
     203,
     u"&Do not save passwords (ask at each connect)",
     {14, 66, 296, 10}},
};

std::size_t indexOf(PasswordStoreChoice choice) {
    return std::size_t(choice) - std::size_t(PasswordStoreChoice::Keyring);
}

} // namespace

PasswordsPage::PasswordsPage(OptionsSheet& sheet, QWidget* parent)
    : OptionsPageWidget(parent), m_sheet(sheet) {
    setObjectName(QStringLiteral("passwordsPage"));
    setFont(DialogUnits::dialogFont());
    const DialogUnits du(font());
    setMinimumSize(du.size(320, 172));

    AddStaticText(this, du, 101,
                  QStringLiteral("Where the passwords of your accounts and the passphrases of "
                                 "your keys are kept between runs. The settings file never "
                                 "holds them."),
                  {10, 10, 300, 18});
    m_group = new QButtonGroup(this);
    for (const Choice& c : kChoices) {
        auto* button = new QRadioButton(QString::fromUtf16(c.text), this);
        button->setObjectName(QString::number(c.id));
        button->setGeometry(du.rect(c.at.x, c.at.y - 1, c.at.cx, c.at.cy + 2));
        m_group->addButton(button, int(c.value));
        m_choices[indexOf(c.value)] = button;
    }
    AddStaticText(this, du, 102,
                  QStringLiteral("The keyring is unlocked with your login; without one, the "
                                 "program asks what to do instead. A master password is asked "
                                 "once each time the program runs and cannot be recovered if "
                                 "forgotten. Passwords not saved are asked when you connect."),
                  {10, 86, 300, 36});
    m_change = MakeDialogButton(this, QStringLiteral("&Change Master Password..."),
                                QStringLiteral("changeMasterPasswordButton"));
    m_change->setGeometry(du.rect(10, 128, 110, 14));
    m_change->setVisible(m_sheet.canChangeMasterPassword());

    connect(m_group, &QButtonGroup::idClicked, this, &PasswordsPage::choose);
    connect(m_change, &QPushButton::clicked, this, [this] { m_sheet.changeMasterPassword(); });
}

QRadioButton* PasswordsPage::choiceButton(PasswordStoreChoice choice) const {
    const std::size_t i = indexOf(choice);
    return i < m_choices.size() ? m_choices[i] : nullptr;
}

void PasswordsPage::activate() {
    if (QRadioButton* shown = choiceButton(m_sheet.shownPasswordStore()))
        shown->setChecked(true);
    m_change->setVisible(m_sheet.canChangeMasterPassword());
    updateChangeButton();
}

// The choice went into the copy when it was clicked.
bool PasswordsPage::store() {
    return true;
}

void PasswordsPage::choose(int id) {
    m_sheet.storePasswordStore(static_cast<PasswordStoreChoice>(id));
    updateChangeButton();
}

void PasswordsPage::updateChangeButton() {
    const int checked = m_group->checkedId();
    m_change->setEnabled(checked > 0 && OptionsSheet::changeMasterPasswordEnabled(
                                            static_cast<PasswordStoreChoice>(checked)));
}

} // namespace tw::ui

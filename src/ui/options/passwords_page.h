#pragma once

#include "core/secrets/password_port.h"
#include "ui/options/options_page.h"

#include <array>

class QButtonGroup;
class QPushButton;
class QRadioButton;

namespace tw {
class OptionsSheet;
}

namespace tw::ui {

// The Passwords page: where saved passwords are kept, as three radio buttons (the desktop
// keyring, a file protected by a master password, not at all), a few words on each, and
// "Change Master Password..." when the sheet was given a way to change it, enabled while the
// master password is the choice. A click stores the choice into the copy at once; a sheet
// that only shows the page leaves an unmade choice unmade. Object names: "201"-"203" the
// radio buttons, "101" and "102" the texts, "changeMasterPasswordButton".
class PasswordsPage : public OptionsPageWidget {
public:
    explicit PasswordsPage(OptionsSheet& sheet, QWidget* parent = nullptr);

    void activate() override;
    bool store() override;

    // Keyring, MasterPassword or DoNotSave.
    QRadioButton* choiceButton(PasswordStoreChoice choice) const;
    QPushButton* changeMasterPasswordButton() const { return m_change; }

private:
    void choose(int id);
    void updateChangeButton();

    OptionsSheet& m_sheet;
    QButtonGroup* m_group = nullptr;
    std::array<QRadioButton*, 3> m_choices{};
    QPushButton* m_change = nullptr;
};

} // namespace tw::ui

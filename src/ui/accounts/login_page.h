#pragma once

#include "core/accounts/accounts_sheet.h"

#include <QWidget>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace tw::ui {

// The Login page: the account list with New and Delete, the name, host and login fields, the
// protocol with FTP's encryption beside it, SFTP's key file and agent, and the visits count. It
// shows what AccountsSheet decides and forwards every action to it.
class LoginPage : public QWidget {
    Q_OBJECT
public:
    LoginPage(AccountsSheet& sheet, QWidget* parent = nullptr);

    // What the edits and check boxes hold now.
    LoginFields fields() const;
    // Shows the sheet's current account (list, fields, enabling).
    void refresh();
    // Focuses the offending edit with its whole text selected.
    void focusField(LoginField field);

signals:
    // The OK button's text or enabled state may have changed.
    void tableChanged();

private:
    void fillList(const LoginView& view);
    void applyEnabling(const LoginView& view);
    void onAccountChosen(int index);
    void onNameChanged(const QString& text);
    void onEncryptionChosen(int index);
    void onProtocolChosen(int index);
    void onBrowseKey();
    void onNew();
    void onDelete();
    QLineEdit* edit(LoginField field) const;

    AccountsSheet& m_sheet;
    bool m_refreshing = false;
    QComboBox* m_list = nullptr;
    QPushButton* m_new = nullptr;
    QPushButton* m_delete = nullptr;
    QLineEdit* m_name = nullptr;
    QCheckBox* m_anonymous = nullptr;
    QLineEdit* m_url = nullptr;
    QLineEdit* m_ip = nullptr;
    QCheckBox* m_useIp = nullptr;
    QLineEdit* m_login = nullptr;
    QLineEdit* m_password = nullptr;
    QCheckBox* m_savePassword = nullptr;
    QComboBox* m_protocol = nullptr;
    QComboBox* m_encryption = nullptr;
    QLineEdit* m_keyFile = nullptr;
    QPushButton* m_browseKey = nullptr;
    QCheckBox* m_useAgent = nullptr;
    QLabel* m_visits = nullptr;
};

} // namespace tw::ui

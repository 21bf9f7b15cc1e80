#include "ui/accounts/login_page.h"

#include "core/session/protocol_traits.h"

#include "ui/dialogs/control_names.h"
#include "ui/dialogs/dialog_placement.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace tw::ui {

namespace {

QLineEdit* makeEdit(QWidget* parent, const char* name, int limit,
                    QLineEdit::EchoMode echo = QLineEdit::Normal) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QString::fromLatin1(name));
    edit->setMaxLength(limit);
    edit->setEchoMode(echo);
    return edit;
}

QCheckBox* makeCheck(QWidget* parent, const char* name, const QString& text) {
    auto* box = new QCheckBox(text, parent);
    box->setObjectName(QString::fromLatin1(name));
    return box;
}

} // namespace

LoginPage::LoginPage(AccountsSheet& sheet, QWidget* parent) : QWidget(parent), m_sheet(sheet) {
    setObjectName(QStringLiteral("loginPage"));
    m_list = new QComboBox(this);
    m_list->setObjectName(QStringLiteral("accountList"));
    m_list->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    m_list->setMinimumContentsLength(24);
    m_new = new QPushButton(QStringLiteral("New"), this);
    m_new->setObjectName(QStringLiteral("newButton"));
    m_delete = new QPushButton(QStringLiteral("Delete"), this);
    m_delete->setObjectName(QStringLiteral("deleteButton"));
    for (QPushButton* b : {m_new, m_delete})
        b->setAutoDefault(false);

    m_name = makeEdit(this, "nameEdit", kAccountNameLimit);
    m_anonymous = makeCheck(this, "anonymousCheck", QStringLiteral("Anon&ymous"));
    m_url = makeEdit(this, "urlEdit", kAccountUrlLimit);
    m_ip = makeEdit(this, "ipEdit", kAccountIpLimit);
    m_useIp = makeCheck(this, "useIpCheck", QStringLiteral("Us&e IP"));
    m_login = makeEdit(this, "loginEdit", kAccountLoginLimit);
    m_password = makeEdit(this, "passwordEdit", kAccountPasswordLimit, QLineEdit::Password);
    m_savePassword = makeCheck(this, "savePasswordCheck", QStringLiteral("&Save Password"));
    m_protocol = new QComboBox(this);
    m_protocol->setObjectName(QStringLiteral("protocolCombo"));
    for (const ftp::Protocol protocol : kProtocolChoices)
        m_protocol->addItem(TraitsOf(protocol).choiceText, static_cast<int>(protocol));
    m_encryption = new QComboBox(this);
    m_encryption->setObjectName(QStringLiteral("encryptionCombo"));
    for (const ftp::TlsMode mode : kEncryptionChoices)
        m_encryption->addItem(EncryptionText(mode), static_cast<int>(mode));
    m_keyFile = makeEdit(this, "keyFileEdit", kAccountKeyFileLimit);
    m_keyFile->setPlaceholderText(QStringLiteral("none, or the one ~/.ssh/config names"));
    m_browseKey = new QPushButton(QStringLiteral("B&rowse..."), this);
    m_browseKey->setObjectName(QStringLiteral("browseKeyButton"));
    m_browseKey->setAutoDefault(false);
    m_useAgent = makeCheck(this, "useAgentCheck", QStringLiteral("Use the SSH a&gent"));
    m_visits = new QLabel(this);
    m_visits->setObjectName(QStringLiteral("visitsText"));

    auto* top = new QHBoxLayout;
    top->addWidget(m_list, 1);
    top->addWidget(m_new);
    top->addWidget(m_delete);

    auto* grid = new QGridLayout;
    int row = 0;
    auto addRow = [&](const QString& label, QLineEdit* edit, QCheckBox* check) {
        auto* l = new QLabel(label, this);
        l->setBuddy(edit);
        grid->addWidget(l, row, 0);
        grid->addWidget(edit, row, 1);
        if (check)
            grid->addWidget(check, row, 2);
        ++row;
    };
    addRow(QStringLiteral("&Account"), m_name, m_anonymous);
    addRow(QStringLiteral("&URL"), m_url, nullptr);
    addRow(QStringLiteral("&IP Address"), m_ip, m_useIp);
    addRow(QStringLiteral("&Login"), m_login, nullptr);
    addRow(QStringLiteral("&Password"), m_password, m_savePassword);
    auto* protocolLabel = new QLabel(QStringLiteral("Pr&otocol"), this);
    protocolLabel->setBuddy(m_protocol);
    auto* encryptionLabel = new QLabel(QStringLiteral("E&ncryption"), this);
    encryptionLabel->setBuddy(m_encryption);
    auto* protocolRow = new QHBoxLayout;
    protocolRow->addWidget(m_protocol);
    protocolRow->addSpacing(8);
    protocolRow->addWidget(encryptionLabel);
    protocolRow->addWidget(m_encryption, 1);
    grid->addWidget(protocolLabel, row, 0);
    grid->addLayout(protocolRow, row, 1, 1, 2);
    ++row;
    auto* keyLabel = new QLabel(QStringLiteral("&Key file"), this);
    keyLabel->setBuddy(m_keyFile);
    grid->addWidget(keyLabel, row, 0);
    grid->addWidget(m_keyFile, row, 1);
    grid->addWidget(m_browseKey, row, 2);
    ++row;
    grid->addWidget(m_useAgent, row, 1, 1, 2);
    ++row;
    grid->setColumnStretch(1, 1);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addSpacing(8);
    layout->addLayout(grid);
    layout->addWidget(m_visits);
    layout->addStretch(1);

    connect(m_list, &QComboBox::activated, this, &LoginPage::onAccountChosen);
    connect(m_name, &QLineEdit::textChanged, this, &LoginPage::onNameChanged);
    connect(m_anonymous, &QCheckBox::clicked, this, [this](bool on) {
        m_sheet.setAnonymous(on);
        applyEnabling(m_sheet.loginView());
    });
    connect(m_useIp, &QCheckBox::clicked, this, [this](bool on) {
        m_sheet.setUseIp(on);
        applyEnabling(m_sheet.loginView());
    });
    connect(m_encryption, &QComboBox::activated, this, &LoginPage::onEncryptionChosen);
    connect(m_protocol, &QComboBox::activated, this, &LoginPage::onProtocolChosen);
    connect(m_browseKey, &QPushButton::clicked, this, &LoginPage::onBrowseKey);
    connect(m_new, &QPushButton::clicked, this, &LoginPage::onNew);
    connect(m_delete, &QPushButton::clicked, this, &LoginPage::onDelete);
}

LoginFields LoginPage::fields() const {
    return {m_name->text(),
            m_url->text(),
            m_ip->text(),
            m_login->text(),
            m_password->text(),
            m_anonymous->isChecked(),
            m_useIp->isChecked(),
            m_savePassword->isChecked(),
            static_cast<ftp::TlsMode>(m_encryption->currentData().toInt()),
            static_cast<ftp::Protocol>(m_protocol->currentData().toInt()),
            m_keyFile->text(),
            m_useAgent->isChecked()};
}

QLineEdit* LoginPage::edit(LoginField field) const {
    switch (field) {
    case LoginField::Name:
        return m_name;
    case LoginField::Url:
        return m_url;
    case LoginField::Ip:
        return m_ip;
    case LoginField::Login:
        return m_login;
    case LoginField::Password:
        return m_password;
    }
    return m_name;
}

void LoginPage::focusField(LoginField field) {
    SelectEditText(edit(field));
}

void LoginPage::fillList(const LoginView& view) {
    const QSignalBlocker block(m_list);
    m_list->clear();
    m_list->addItems(view.names);
    m_list->setCurrentIndex(view.selected);
}

void LoginPage::applyEnabling(const LoginView& view) {
    m_new->setEnabled(view.newEnabled);
    m_delete->setEnabled(view.deleteEnabled);
    m_name->setEnabled(view.nameEnabled);
    m_anonymous->setEnabled(view.anonymousEnabled);
    m_useIp->setEnabled(view.useIpEnabled);
    m_url->setEnabled(view.urlEnabled);
    m_ip->setEnabled(view.ipEnabled);
    m_login->setEnabled(view.loginEnabled);
    m_password->setEnabled(view.loginEnabled);
    m_savePassword->setEnabled(view.loginEnabled);
    m_protocol->setEnabled(view.protocolEnabled);
    m_encryption->setEnabled(view.encryptionEnabled);
    m_keyFile->setEnabled(view.keyLoginEnabled);
    m_browseKey->setEnabled(view.keyLoginEnabled);
    m_useAgent->setEnabled(view.keyLoginEnabled);
}

void LoginPage::refresh() {
    const LoginView view = m_sheet.loginView();
    m_refreshing = true;
    fillList(view);
    m_name->setText(view.fields.name);
    m_url->setText(view.fields.url);
    m_ip->setText(view.fields.ip);
    m_login->setText(view.fields.login);
    m_password->setText(view.fields.password);
    // Left empty, the kept password stays; a typed one replaces it.
    m_password->setPlaceholderText(view.passwordKept ? QStringLiteral("(saved)") : QString());
    m_password->setAccessibleDescription(
        view.passwordKept ? QStringLiteral("A password is saved; one typed here replaces it.")
                          : QString());
    m_anonymous->setChecked(view.fields.anonymous);
    m_useIp->setChecked(view.fields.useIp);
    m_savePassword->setChecked(view.fields.savePassword);
    m_protocol->setCurrentIndex(m_protocol->findData(static_cast<int>(view.fields.protocol)));
    m_encryption->setCurrentIndex(m_encryption->findData(static_cast<int>(view.fields.encryption)));
    m_keyFile->setText(view.fields.keyFile);
    m_useAgent->setChecked(view.fields.useAgent);
    m_visits->setText(view.visitsText);
    m_refreshing = false;
    applyEnabling(view);
    NameControlsByText(this);
    emit tableChanged();
}

void LoginPage::onAccountChosen(int index) {
    // The list reports a choice even when it is the account already shown: nothing to do, and
    // what was typed stays.
    if (index == m_sheet.currentAccount())
        return;
    std::optional<LoginField> failed;
    if (!m_sheet.selectAccount(index, fields(), &failed)) {
        const QSignalBlocker block(m_list);
        m_list->setCurrentIndex(m_sheet.currentAccount());
        if (failed)
            focusField(*failed);
        return;
    }
    refresh();
}

void LoginPage::onNameChanged(const QString& text) {
    if (!m_sheet.hasCurrentAccount())
        return;
    m_sheet.nameEdited(text);
    if (m_refreshing)
        return;
    const int current = m_sheet.currentAccount();
    if (current >= 0 && current < m_list->count()) {
        const QSignalBlocker block(m_list);
        m_list->setItemText(current, m_sheet.state().Accounts[std::size_t(current)].Name);
        m_list->setCurrentIndex(current);
        m_list->setAccessibleName(m_list->currentText());
    }
}

void LoginPage::onEncryptionChosen(int index) {
    m_sheet.setEncryption(static_cast<ftp::TlsMode>(m_encryption->itemData(index).toInt()));
}

void LoginPage::onProtocolChosen(int index) {
    m_sheet.setProtocol(static_cast<ftp::Protocol>(m_protocol->itemData(index).toInt()));
    applyEnabling(m_sheet.loginView());
    NameControlsByText(this);
}

void LoginPage::onBrowseKey() {
    QString start = m_keyFile->text().trimmed();
    if (start.isEmpty())
        start = QDir::homePath() + QStringLiteral("/.ssh");
    const QString file = QFileDialog::getOpenFileName(
        this, QStringLiteral("Key file"), start, QStringLiteral("All files (*)"), nullptr,
        QFileDialog::DontUseNativeDialog | QFileDialog::DontResolveSymlinks);
    if (!file.isEmpty())
        m_keyFile->setText(file);
}

void LoginPage::onNew() {
    std::optional<LoginField> failed;
    if (!m_sheet.newAccount(fields(), &failed)) {
        if (failed)
            focusField(*failed);
        return;
    }
    refresh();
    m_name->setFocus(Qt::OtherFocusReason);
}

void LoginPage::onDelete() {
    if (m_sheet.deleteAccount(m_list->currentIndex()))
        refresh();
}

} // namespace tw::ui

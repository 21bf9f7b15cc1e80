#include "ui/secrets/entry_dialogs.h"

#include "ui/dialogs/control_names.h"
#include "ui/dialogs/dialog_placement.h"
#include "ui/secrets/dialog_parts.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace tw::ui {

namespace {

constexpr int kQuestionIcon = 5400;

qsizetype characters(const QString& text) {
    return text.toUcs4().size();
}

QLabel* fieldLabel(QWidget* parent, const QString& text, QLineEdit* buddy) {
    auto* label = new QLabel(text, parent);
    label->setBuddy(buddy);
    return label;
}

QLabel* emphasised(QWidget* parent, const QString& text, const QString& objectName) {
    QLabel* label = secrets::MakeTextLabel(parent, text, objectName);
    QFont bold = label->font();
    bold.setBold(true);
    label->setFont(bold);
    return label;
}

} // namespace

bool MasterPasswordDialog::Acceptable(const QString& password, const QString& repeat) {
    return password == repeat && characters(password) >= kMinimumLength;
}

MasterPasswordDialog::MasterPasswordDialog(const MasterPasswordRequest& request, QWidget* owner)
    : QDialog(owner), m_mode(request.mode) {
    const bool create = request.mode == MasterPasswordRequest::Mode::Create;
    setObjectName(QStringLiteral("MasterPasswordDialog"));
    setWindowTitle(create ? QStringLiteral("Create Master Password")
                          : QStringLiteral("Master Password"));
    SetDialogIcon(this);

    auto* content = new QVBoxLayout;
    if (!create && request.wrong) {
        m_wrong =
            emphasised(this, QStringLiteral("Wrong master password."), QStringLiteral("wrongText"));
        content->addWidget(m_wrong);
    }
    const QString intro =
        create ? QStringLiteral("Choose a master password for the file that keeps your saved "
                                "passwords. It is asked once each time the program runs, when "
                                "a saved password is first needed.")
               : QStringLiteral("Type the master password of the file that keeps your saved "
                                "passwords.");
    content->addWidget(secrets::MakeTextLabel(this, intro, QStringLiteral("introText")));
    if (!create && request.attempt > 1) {
        m_attempt = secrets::MakeTextLabel(
            this,
            QStringLiteral("Attempt %1 of %2").arg(request.attempt).arg(kMasterPasswordAttempts),
            QStringLiteral("attemptText"));
        content->addWidget(m_attempt);
    }

    auto* fields = new QFormLayout;
    m_password = secrets::MakePasswordEdit(this, QStringLiteral("passwordEdit"));
    fields->addRow(fieldLabel(this, QStringLiteral("&Master password"), m_password), m_password);
    if (create) {
        m_repeat = secrets::MakePasswordEdit(this, QStringLiteral("repeatEdit"));
        fields->addRow(fieldLabel(this, QStringLiteral("&Repeat"), m_repeat), m_repeat);
    }
    content->addLayout(fields);
    if (create) {
        m_hint = secrets::MakeTextLabel(this, QString(), QStringLiteral("hintText"));
        content->addWidget(m_hint);
        content->addWidget(emphasised(this,
                                      QStringLiteral("A forgotten master password cannot be "
                                                     "recovered: the passwords kept with it are "
                                                     "then lost."),
                                      QStringLiteral("recoveryText")));
    }

    QDialogButtonBox* buttons = MakeOkCancelButtons(this);
    m_ok = buttons->findChild<QPushButton*>(QStringLiteral("okButton"));
    auto* row = new QVBoxLayout;
    row->addWidget(buttons);
    secrets::LayOutDialog(this, secrets::MakeIconLabel(this, kQuestionIcon), content, row);

    connect(m_password, &QLineEdit::textChanged, this, &MasterPasswordDialog::updateOk);
    if (m_repeat)
        connect(m_repeat, &QLineEdit::textChanged, this, &MasterPasswordDialog::updateOk);
    updateOk();
    NameControlsByText(this);
    setAccessibleName(windowTitle());
    m_password->setFocus(Qt::OtherFocusReason);
}

void MasterPasswordDialog::updateOk() {
    const QString typed = m_password->text();
    if (m_mode == MasterPasswordRequest::Mode::Unlock) {
        m_ok->setEnabled(!typed.isEmpty());
        return;
    }
    const QString repeat = m_repeat->text();
    m_ok->setEnabled(Acceptable(typed, repeat));
    QString hint;
    if (characters(typed) < kMinimumLength)
        hint = QStringLiteral("At least %1 characters.").arg(kMinimumLength);
    else if (repeat.isEmpty())
        hint = QStringLiteral("Type it again under Repeat.");
    else if (repeat != typed)
        hint = QStringLiteral("The two entries differ.");
    else
        hint = QStringLiteral("The two entries agree.");
    m_hint->setText(hint);
    m_hint->setAccessibleName(hint);
}

QString MasterPasswordDialog::password() const {
    return m_password->text();
}

void MasterPasswordDialog::clearFields() {
    m_password->clear();
    if (m_repeat)
        m_repeat->clear();
}

QString PasswordDialog::PromptText(const PasswordRequest& request) {
    const QString account = secrets::Shown(request.account);
    const QString host = secrets::Shown(request.host);
    if (request.user.isEmpty())
        return QStringLiteral("Password at %1 (account %2)").arg(host, account);
    return QStringLiteral("Password for %1 at %2 (account %3)")
        .arg(secrets::Shown(request.user), host, account);
}

PasswordDialog::PasswordDialog(const PasswordRequest& request, QWidget* owner) : QDialog(owner) {
    setObjectName(QStringLiteral("PasswordDialog"));
    setWindowTitle(QStringLiteral("Password"));
    SetDialogIcon(this);

    auto* content = new QVBoxLayout;
    m_prompt = secrets::MakeTextLabel(this, PromptText(request), QStringLiteral("promptText"));
    content->addWidget(m_prompt);
    if (!request.reason.isEmpty()) {
        m_reason = secrets::MakeTextLabel(this, secrets::Shown(request.reason),
                                          QStringLiteral("reasonText"));
        content->addWidget(m_reason);
    }
    auto* fields = new QFormLayout;
    m_password = secrets::MakePasswordEdit(this, QStringLiteral("passwordEdit"));
    fields->addRow(fieldLabel(this, QStringLiteral("&Password"), m_password), m_password);
    content->addLayout(fields);
    if (request.offerSave) {
        m_save = new QCheckBox(QStringLiteral("&Save password"), this);
        m_save->setObjectName(QStringLiteral("saveBox"));
        m_save->setChecked(false);
        content->addWidget(m_save);
    }

    QDialogButtonBox* buttons = MakeOkCancelButtons(this);
    m_ok = buttons->findChild<QPushButton*>(QStringLiteral("okButton"));
    auto* row = new QVBoxLayout;
    row->addWidget(buttons);
    secrets::LayOutDialog(this, secrets::MakeIconLabel(this, kQuestionIcon), content, row);

    NameControlsByText(this);
    setAccessibleName(windowTitle());
    m_password->setFocus(Qt::OtherFocusReason);
}

PasswordAnswer PasswordDialog::answer() const {
    return {m_password->text(), m_save && m_save->isChecked()};
}

void PasswordDialog::clearFields() {
    m_password->clear();
}

} // namespace tw::ui

#include "ui/secrets/choice_dialogs.h"

#include "ui/dialogs/control_names.h"
#include "ui/dialogs/dialog_placement.h"
#include "ui/secrets/dialog_parts.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace tw::ui {

namespace {

constexpr int kQuestionIcon = 5400;

// A sentence ends with its own stop, or gets one.
QString sentence(QString text) {
    text = text.trimmed();
    if (!text.isEmpty() && !text.endsWith(u'.') && !text.endsWith(u'!') && !text.endsWith(u'?'))
        text += u'.';
    return text;
}

} // namespace

QString StoreFallbackDialog::QuestionText(const StoreFallbackRequest& request) {
    const QString reason = sentence(secrets::Shown(request.reason));
    QString t = reason.isEmpty()
                    ? QStringLiteral("The desktop keyring (Secret Service) is not available.")
                    : QStringLiteral("The desktop keyring (Secret Service) is not available: %1")
                          .arg(reason);
    t += QStringLiteral(
        "\n\nSaved passwords can be kept in a file protected by a master password, which is "
        "asked once each time the program runs. Or they are not saved at all, and each password "
        "is asked when you connect.\n\nThe settings file never holds them.");
    if (request.waiting == 1)
        t += QStringLiteral("\n\nOne password is waiting to be kept.");
    else if (request.waiting > 1)
        t += QStringLiteral("\n\n%1 passwords are waiting to be kept.").arg(request.waiting);
    return t;
}

StoreFallbackDialog::StoreFallbackDialog(const StoreFallbackRequest& request, QWidget* owner)
    : QDialog(owner) {
    setObjectName(QStringLiteral("StoreFallbackDialog"));
    setWindowTitle(QStringLiteral("Saved Passwords"));
    SetDialogIcon(this);

    m_question =
        secrets::MakeTextLabel(this, QuestionText(request), QStringLiteral("questionText"));
    m_master = MakeDialogButton(this, QStringLiteral("Use a &Master Password"),
                                QStringLiteral("masterPasswordButton"));
    m_doNotSave = MakeDialogButton(this, QStringLiteral("&Do Not Save Passwords"),
                                   QStringLiteral("doNotSaveButton"));
    m_cancel = MakeDialogButton(this, QStringLiteral("Cancel"), QStringLiteral("cancelButton"));
    m_master->setDefault(true);

    auto* content = new QVBoxLayout;
    content->addWidget(m_question);
    secrets::LayOutDialog(this, secrets::MakeIconLabel(this, kQuestionIcon), content,
                          secrets::MakeButtonRow({m_master, m_doNotSave, m_cancel}));

    connect(m_master, &QPushButton::clicked, this,
            [this] { finish(StoreFallback::MasterPassword); });
    connect(m_doNotSave, &QPushButton::clicked, this, [this] { finish(StoreFallback::DoNotSave); });
    connect(m_cancel, &QPushButton::clicked, this, [this] { finish(StoreFallback::Cancel); });
    NameControlsByText(this);
    setAccessibleName(windowTitle());
    m_master->setFocus(Qt::OtherFocusReason);
}

void StoreFallbackDialog::finish(StoreFallback answer) {
    m_answer = answer;
    if (answer == StoreFallback::Cancel)
        reject();
    else
        accept();
}

QString ExportPasswordsDialog::WarningText(int count) {
    const QString held = count == 1 ? QStringLiteral("one saved password")
                                    : QStringLiteral("%1 saved passwords").arg(count);
    return QStringLiteral("The export file would hold %1 in plain text: anyone who gets the file "
                          "can read them.\n\nExport without passwords unless the file stays where "
                          "only you can read it.")
        .arg(held);
}

ExportPasswordsDialog::ExportPasswordsDialog(int count, QWidget* owner) : QDialog(owner) {
    setObjectName(QStringLiteral("ExportPasswordsDialog"));
    setWindowTitle(QStringLiteral("Export Passwords"));
    SetDialogIcon(this);

    m_warning = secrets::MakeTextLabel(this, WarningText(count), QStringLiteral("warningText"));
    m_without = MakeDialogButton(this, QStringLiteral("Export &without Passwords"),
                                 QStringLiteral("withoutButton"));
    m_with = MakeDialogButton(this, QStringLiteral("Export with &Passwords"),
                              QStringLiteral("withButton"));
    m_cancel = MakeDialogButton(this, QStringLiteral("Cancel"), QStringLiteral("cancelButton"));
    m_without->setDefault(true);

    auto* content = new QVBoxLayout;
    content->addWidget(m_warning);
    secrets::LayOutDialog(this, secrets::MakeWarningIconLabel(this), content,
                          secrets::MakeButtonRow({m_without, m_with, m_cancel}));

    connect(m_without, &QPushButton::clicked, this,
            [this] { finish(ExportPasswordsAnswer::WithoutPasswords); });
    connect(m_with, &QPushButton::clicked, this,
            [this] { finish(ExportPasswordsAnswer::WithPasswords); });
    connect(m_cancel, &QPushButton::clicked, this,
            [this] { finish(ExportPasswordsAnswer::Cancel); });
    NameControlsByText(this);
    setAccessibleName(windowTitle());
    m_without->setFocus(Qt::OtherFocusReason);
}

void ExportPasswordsDialog::finish(ExportPasswordsAnswer answer) {
    m_answer = answer;
    if (answer == ExportPasswordsAnswer::Cancel)
        reject();
    else
        accept();
}

} // namespace tw::ui

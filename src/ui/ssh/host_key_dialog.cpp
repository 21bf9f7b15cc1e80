#include "ui/ssh/host_key_dialog.h"

#include "ui/dialogs/control_names.h"
#include "ui/dialogs/dialog_placement.h"

#include "ftp/display_text.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

namespace tw::ui {

namespace {

// Text the server or the configuration chose, on one line with its control characters as
// escapes.
QString text(const std::string& s) {
    return QString::fromStdString(ftp::DisplayText(s));
}

QString serverText(const ftp::HostKeyInfo& key) {
    const QString host = text(key.host);
    return key.port == ftp::kSftpPort ? host : host + u':' + QString::number(key.port);
}

QLabel* iconLabel(QWidget* parent, QStyle::StandardPixmap kind) {
    auto* icon = new QLabel(parent);
    icon->setPixmap(parent->style()->standardIcon(kind).pixmap(32, 32));
    icon->setAlignment(Qt::AlignTop);
    return icon;
}

} // namespace

QString HostKeyDialog::QuestionText(const HostKeyRequest& request) {
    const ftp::HostKeyInfo& key = request.key;
    QString t = QStringLiteral("The host key of %1 is not known: this program has never "
                               "connected to this server, or it is not the server you think.")
                    .arg(serverText(key));
    t += QStringLiteral("\n\nKey type: %1\nFingerprint:").arg(text(key.type));
    return t;
}

HostKeyDialog::HostKeyDialog(const HostKeyRequest& request, QWidget* owner) : QDialog(owner) {
    setObjectName(QStringLiteral("HostKeyDialog"));
    setWindowTitle(QStringLiteral("Server Host Key"));

    m_question = new QLabel(QuestionText(request), this);
    m_question->setObjectName(QStringLiteral("questionText"));
    m_question->setTextFormat(Qt::PlainText);
    m_question->setWordWrap(true);

    m_fingerprint = new QLineEdit(text(request.key.fingerprint), this);
    m_fingerprint->setObjectName(QStringLiteral("fingerprintText"));
    m_fingerprint->setReadOnly(true);
    m_fingerprint->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    const QFontMetrics fm(m_fingerprint->font());
    m_fingerprint->setMinimumWidth(fm.horizontalAdvance(m_fingerprint->text()) + 24);
    m_fingerprint->setAccessibleName(QStringLiteral("Fingerprint"));

    auto* advice = new QLabel(QStringLiteral("Trust the key only if its fingerprint is the one "
                                             "the server's owner gives you."),
                              this);
    advice->setWordWrap(true);

    const TrustButtons buttons = MakeTrustButtons(this, QStringLiteral("&Always trust this key"));
    m_once = buttons.once;
    m_always = buttons.always;
    m_cancel = buttons.cancel;

    auto* text = new QVBoxLayout;
    text->addWidget(m_question);
    text->addWidget(m_fingerprint);
    text->addSpacing(6);
    text->addWidget(advice);
    auto* top = new QHBoxLayout;
    top->addWidget(iconLabel(this, QStyle::SP_MessageBoxQuestion), 0, Qt::AlignTop);
    top->addLayout(text, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addSpacing(6);
    layout->addLayout(buttons.row);

    connect(m_once, &QPushButton::clicked, this, [this] { finish(HostKeyAnswer::TrustOnce); });
    connect(m_always, &QPushButton::clicked, this, [this] { finish(HostKeyAnswer::TrustAlways); });
    connect(m_cancel, &QPushButton::clicked, this, [this] { finish(HostKeyAnswer::Cancel); });
    NameControlsByText(this);
    m_fingerprint->setAccessibleName(QStringLiteral("Fingerprint"));
    setAccessibleName(windowTitle());
    m_cancel->setFocus(Qt::OtherFocusReason);
}

void HostKeyDialog::finish(HostKeyAnswer answer) {
    m_answer = answer;
    if (answer == HostKeyAnswer::Cancel)
        reject();
    else
        accept();
}

HostKeyAnswer AskHostKey(QWidget* owner, const HostKeyRequest& request) {
    HostKeyDialog dialog(request, owner);
    dialog.exec();
    return dialog.answer();
}

QString PassphraseDialog::PromptText(const PassphraseRequest& request) {
    QString t;
    if (request.again)
        t = QStringLiteral("The passphrase was wrong.\n\n");
    // Kept for the connection only, unless the box below it keeps it with the saved passwords.
    t += (request.offerSave
              ? QStringLiteral("The private key %1 is protected by a passphrase. Type it to log "
                               "in to %2.")
              : QStringLiteral("The private key %1 is protected by a passphrase. Type it to log "
                               "in to %2; it is kept only while this connection lasts."))
             .arg(QString::fromStdString(ftp::DisplayText(request.keyFile.toStdString())),
                  QString::fromStdString(ftp::DisplayText(request.host.toStdString())));
    return t;
}

PassphraseDialog::PassphraseDialog(const PassphraseRequest& request, QWidget* owner)
    : QDialog(owner) {
    setObjectName(QStringLiteral("PassphraseDialog"));
    setWindowTitle(QStringLiteral("Key Passphrase"));
    auto* prompt = new QLabel(PromptText(request), this);
    prompt->setObjectName(QStringLiteral("promptText"));
    prompt->setTextFormat(Qt::PlainText);
    prompt->setWordWrap(true);
    prompt->setMinimumWidth(360);
    auto* label = new QLabel(QStringLiteral("&Passphrase"), this);
    m_edit = new QLineEdit(this);
    m_edit->setObjectName(QStringLiteral("passphraseEdit"));
    m_edit->setEchoMode(QLineEdit::Password);
    label->setBuddy(m_edit);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    auto* row = new QHBoxLayout;
    row->addWidget(label);
    row->addWidget(m_edit, 1);
    auto* text = new QVBoxLayout;
    text->addWidget(prompt);
    text->addLayout(row);
    if (request.offerSave) {
        m_save = new QCheckBox(QStringLiteral("&Save passphrase with the saved passwords"), this);
        m_save->setObjectName(QStringLiteral("savePassphrase"));
        text->addWidget(m_save);
    }
    auto* top = new QHBoxLayout;
    top->addWidget(iconLabel(this, QStyle::SP_MessageBoxQuestion), 0, Qt::AlignTop);
    top->addLayout(text, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    NameControlsByText(this);
    setAccessibleName(windowTitle());
    m_edit->setFocus(Qt::OtherFocusReason);
}

std::optional<PassphraseAnswer> AskPassphrase(QWidget* owner, const PassphraseRequest& request) {
    PassphraseDialog dialog(request, owner);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    PassphraseAnswer answer{dialog.passphraseEdit()->text(),
                            dialog.saveBox() && dialog.saveBox()->isChecked()};
    dialog.passphraseEdit()->clear();
    return answer;
}

} // namespace tw::ui

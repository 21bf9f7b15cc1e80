#include "ui/tls/certificate_dialog.h"

#include "ui/dialogs/control_names.h"
#include "ui/dialogs/dialog_placement.h"

#include "ftp/display_text.h"

#include <QDateTime>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

namespace tw::ui {

namespace {

// A field the server chose (subject, issuer, names) or OpenSSL worded: one line, with every
// control character as an escape, so that it can neither forge lines nor reorder the text.
QString text(const std::string& s) {
    return QString::fromStdString(ftp::DisplayText(s));
}

QString dateText(std::int64_t seconds) {
    return QDateTime::fromSecsSinceEpoch(seconds, Qt::UTC)
        .toString(QStringLiteral("yyyy-MM-dd HH:mm:ss 'UTC'"));
}

QString reasonText(const ftp::CertificateInfo& c) {
    switch (c.problem) {
    case ftp::CertificateProblem::Untrusted:
        return c.selfSigned ? QStringLiteral("The certificate is self-signed: no trusted "
                                             "authority vouches for it.")
                            : QStringLiteral("The certificate is not signed by a trusted "
                                             "authority.");
    case ftp::CertificateProblem::NameMismatch:
        return QStringLiteral("The certificate was issued for another name.");
    case ftp::CertificateProblem::Expired:
        return QStringLiteral("The certificate has expired or is not valid yet.");
    case ftp::CertificateProblem::Invalid:
    case ftp::CertificateProblem::None:
        break;
    }
    return QStringLiteral("The certificate is invalid.");
}

} // namespace

QString CertificateDialog::ProblemText(const CertificateRequest& request) {
    const QString server = request.host + u':' + QString::number(request.port);
    QString t;
    if (request.changed)
        t = QStringLiteral("Warning: the certificate of %1 differs from the one you chose to "
                           "trust before. The server may have a new certificate, or someone "
                           "may be intercepting the connection (an attack).\n\n")
                .arg(server);
    t += QStringLiteral("The identity of %1 cannot be verified. ").arg(server);
    t += reasonText(request.certificate);
    if (!request.certificate.reason.empty())
        t += QStringLiteral(" (%1)").arg(text(request.certificate.reason));
    t += QStringLiteral("\n\nTrust this certificate only if you know it is the server's.");
    return t;
}

QString CertificateDialog::DetailsText(const ftp::CertificateInfo& c) {
    QStringList names;
    for (const std::string& n : c.names)
        names << text(n);
    QStringList lines;
    lines << QStringLiteral("Subject: ") + text(c.subject)
          << QStringLiteral("Issuer: ") + text(c.issuer)
          << QStringLiteral("Names: ") + names.join(QStringLiteral(", "))
          << QStringLiteral("Valid from: ") + dateText(c.notBefore)
          << QStringLiteral("Valid to: ") + dateText(c.notAfter)
          << QStringLiteral("SHA-256 fingerprint:") << text(c.sha256);
    return lines.join(u'\n');
}

CertificateDialog::CertificateDialog(const CertificateRequest& request, QWidget* owner)
    : QDialog(owner) {
    setObjectName(QStringLiteral("CertificateDialog"));
    setWindowTitle(QStringLiteral("Server Certificate"));

    auto* icon = new QLabel(this);
    const QStyle::StandardPixmap kind =
        request.changed ? QStyle::SP_MessageBoxCritical : QStyle::SP_MessageBoxWarning;
    icon->setPixmap(style()->standardIcon(kind).pixmap(32, 32));
    icon->setAlignment(Qt::AlignTop);

    m_problem = new QLabel(ProblemText(request), this);
    m_problem->setObjectName(QStringLiteral("problemText"));
    m_problem->setTextFormat(Qt::PlainText);
    m_problem->setWordWrap(true);

    auto* detailsLabel = new QLabel(QStringLiteral("Certificate &details"), this);
    m_details = new QPlainTextEdit(DetailsText(request.certificate), this);
    m_details->setObjectName(QStringLiteral("detailsText"));
    m_details->setReadOnly(true);
    m_details->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    m_details->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_details->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    const QFontMetrics fm(m_details->font());
    m_details->setMinimumSize(fm.horizontalAdvance(u'M') * 104, fm.lineSpacing() * 8 + 12);
    detailsLabel->setBuddy(m_details);

    const TrustButtons buttons =
        MakeTrustButtons(this, QStringLiteral("&Always trust this certificate"));
    m_once = buttons.once;
    m_always = buttons.always;
    m_cancel = buttons.cancel;

    auto* top = new QHBoxLayout;
    top->addWidget(icon, 0, Qt::AlignTop);
    top->addWidget(m_problem, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addSpacing(6);
    layout->addWidget(detailsLabel);
    layout->addWidget(m_details, 1);
    layout->addLayout(buttons.row);

    connect(m_once, &QPushButton::clicked, this, [this] { finish(CertificateAnswer::TrustOnce); });
    connect(m_always, &QPushButton::clicked, this,
            [this] { finish(CertificateAnswer::TrustAlways); });
    connect(m_cancel, &QPushButton::clicked, this, [this] { finish(CertificateAnswer::Cancel); });
    NameControlsByText(this);
    setAccessibleName(windowTitle());
    m_cancel->setFocus(Qt::OtherFocusReason);
}

void CertificateDialog::finish(CertificateAnswer answer) {
    m_answer = answer;
    if (answer == CertificateAnswer::Cancel)
        reject();
    else
        accept();
}

CertificateAnswer AskCertificate(QWidget* owner, const CertificateRequest& request) {
    CertificateDialog dialog(request, owner);
    dialog.exec();
    return dialog.answer();
}

} // namespace tw::ui

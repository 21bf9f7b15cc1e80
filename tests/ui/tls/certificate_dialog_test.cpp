#include "ui/tls/certificate_dialog.h"

#include "ftp/display_text.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

using namespace tw;
using tw::ui::CertificateDialog;

namespace {

CertificateRequest request(bool changed) {
    CertificateRequest r;
    r.host = u"ftp.example.org"_qs;
    r.port = 21;
    r.changed = changed;
    ftp::CertificateInfo& c = r.certificate;
    c.subject = "CN=ftp.example.org,O=Example";
    c.issuer = "CN=ftp.example.org,O=Example";
    c.names = {"ftp.example.org", "127.0.0.1"};
    c.notBefore = 1767225600; // 2026-01-01
    c.notAfter = 1798761600;  // 2027-01-01
    c.sha256 = "AB:CD:EF:01:23:45:67:89:AB:CD:EF:01:23:45:67:89:"
               "AB:CD:EF:01:23:45:67:89:AB:CD:EF:01:23:45:67:89";
    c.selfSigned = true;
    c.problem = ftp::CertificateProblem::Untrusted;
    c.reason = "self-signed certificate";
    return r;
}

} // namespace

TEST(CertificateDialog, ShowsTheProblemAndTheDetailsAndCancelsByDefault) {
    for (const bool changed : {false, true}) {
        CertificateDialog dialog(request(changed));
        dialog.show();
        const QString problem = dialog.problemText()->text();
        EXPECT_TRUE(problem.contains(u"ftp.example.org:21"_qs)) << problem.toStdString();
        EXPECT_TRUE(problem.contains(u"self-signed"_qs));
        EXPECT_EQ(problem.contains(u"differs from the one you chose to trust before"_qs), changed);
        EXPECT_EQ(problem.contains(u"attack"_qs), changed);
        const QString details = dialog.detailsText()->toPlainText();
        for (const QString& line :
             {u"Subject: CN=ftp.example.org,O=Example"_qs, u"Names: ftp.example.org, 127.0.0.1"_qs,
              u"Valid from: 2026-01-01 00:00:00 UTC"_qs, u"Valid to: 2027-01-01 00:00:00 UTC"_qs,
              u"SHA-256 fingerprint:\nAB:CD:EF:01"_qs})
            EXPECT_TRUE(details.contains(line)) << line.toStdString();
        EXPECT_TRUE(dialog.detailsText()->isReadOnly());
        EXPECT_TRUE(dialog.detailsText()->textInteractionFlags() & Qt::TextSelectableByMouse);
        EXPECT_TRUE(dialog.cancelButton()->isDefault());
        EXPECT_FALSE(dialog.onceButton()->isDefault());
        const std::pair<QPushButton*, QString> names[] = {
            {dialog.onceButton(), u"Trust once"_qs},
            {dialog.alwaysButton(), u"Always trust this certificate"_qs},
            {dialog.cancelButton(), u"Cancel"_qs}};
        for (const auto& [button, name] : names)
            EXPECT_EQ(button->accessibleName(), name);
        EXPECT_EQ(dialog.detailsText()->accessibleName(), u"Certificate details"_qs);
        EXPECT_EQ(dialog.windowTitle(), u"Server Certificate"_qs);
        // For a person to look at.
        const QString shots = qEnvironmentVariable("TW_SCREENSHOT_DIR");
        if (!shots.isEmpty()) {
            QTest::qWait(20);
            dialog.grab().save(shots + (changed ? u"/certificate_changed.png"_qs
                                                : u"/certificate_untrusted.png"_qs));
        }
    }
}

// Names a hostile server put in its certificate can neither drive the text nor reorder it:
// every control is an escape, in what is shown and in what assistive technology reads.
TEST(CertificateDialog, HostileFieldsAreShownAsEscapes) {
    CertificateRequest r = request(false);
    ftp::CertificateInfo& c = r.certificate;
    c.subject = "CN=evil\x1b]0;owned\x07,O=o\xc2\x9b"
                "31mrg";
    c.issuer = "CN=bill\xe2\x80\xae"
               "fdp.exe\xe2\x81\xa6";
    c.names = {"a\x1b[2J\x1b[H.example", "Login OK\r\nSubject: CN=bank\x9b"};
    c.reason = "self-signed \x1b[1mcertificate";
    CertificateDialog dialog(r);
    dialog.show();
    const QString details = dialog.detailsText()->toPlainText();
    for (const QString& line :
         {u"Subject: CN=evil\\x1b]0;owned\\x07,O=o\\u009b31mrg\n"_qs,
          u"Issuer: CN=bill\\u202efdp.exe\\u2066\n"_qs,
          u"Names: a\\x1b[2J\\x1b[H.example, Login OK\\x0d\\x0aSubject: CN=bank\\x9b\n"_qs})
        EXPECT_TRUE(details.contains(line)) << line.toStdString() << " in\n"
                                            << details.toStdString();
    const QString problem = dialog.problemText()->text();
    EXPECT_TRUE(problem.contains(u"(self-signed \\x1b[1mcertificate)"_qs)) << problem.toStdString();
    for (const QString& shown : {details, problem, dialog.problemText()->accessibleName()})
        for (const QChar ch : shown)
            EXPECT_FALSE(ch != u'\n' && ftp::IsControlCodePoint(ch.unicode()))
                << int(ch.unicode()) << " in " << shown.toStdString();
    EXPECT_TRUE(dialog.problemText()->accessibleName().isEmpty() ||
                dialog.problemText()->accessibleName() == problem);
    const QString shots = qEnvironmentVariable("TW_SCREENSHOT_DIR");
    if (!shots.isEmpty()) {
        QTest::qWait(20);
        dialog.grab().save(shots + u"/certificate_hostile.png"_qs);
    }
}

TEST(CertificateDialog, EachButtonGivesItsAnswer) {
    const struct {
        QPushButton* (CertificateDialog::*button)() const;
        CertificateAnswer answer;
        int result;
    } cases[] = {
        {&CertificateDialog::onceButton, CertificateAnswer::TrustOnce, QDialog::Accepted},
        {&CertificateDialog::alwaysButton, CertificateAnswer::TrustAlways, QDialog::Accepted},
        {&CertificateDialog::cancelButton, CertificateAnswer::Cancel, QDialog::Rejected},
    };
    for (const auto& c : cases) {
        CertificateDialog dialog(request(false));
        dialog.show();
        (dialog.*c.button)()->click();
        EXPECT_EQ(dialog.answer(), c.answer);
        EXPECT_EQ(dialog.result(), c.result);
    }
    // Enter takes the default (Cancel), Escape cancels.
    for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Escape}) {
        CertificateDialog dialog(request(false));
        dialog.show();
        QTest::keyClick(&dialog, key);
        EXPECT_EQ(dialog.answer(), CertificateAnswer::Cancel);
        EXPECT_EQ(dialog.result(), QDialog::Rejected);
    }
}

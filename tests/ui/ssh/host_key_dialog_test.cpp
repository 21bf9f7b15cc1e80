#include "ui/ssh/host_key_dialog.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

using namespace tw;
using tw::ui::HostKeyDialog;
using tw::ui::PassphraseDialog;

namespace {

const std::string kFingerprint = "SHA256:uNiVztksCsDhcc0u9e8BujQXVUpKZIDTMczCvj3tD2s";

HostKeyRequest request(std::string host = "sftp.example.org", int port = 22) {
    HostKeyRequest r;
    r.key.host = std::move(host);
    r.key.port = port;
    r.key.type = "ssh-ed25519";
    r.key.fingerprint = kFingerprint;
    return r;
}

// Saves a widget for a person to look at, when TW_SCREENSHOT_DIR names a folder.
void shoot(QWidget& widget, const QString& name) {
    const QString shots = qEnvironmentVariable("TW_SCREENSHOT_DIR");
    if (shots.isEmpty())
        return;
    QTest::qWait(20);
    widget.grab().save(shots + u'/' + name);
}

} // namespace

// The host, the key type and the fingerprint (selectable, read-only), the three buttons with
// Cancel the default; each button gives its answer, Enter and Escape cancel.
TEST(HostKeyDialog, ShowsTheKeyAndEachButtonGivesItsAnswer) {
    const struct {
        std::string host;
        int port;
        QString shown;
    } servers[] = {{"sftp.example.org", 22, u"sftp.example.org is not known"_qs},
                   {"127.0.0.1", 2222, u"127.0.0.1:2222 is not known"_qs},
                   {"evil\x1b[2J\r\nhost", 22, u"evil\\x1b[2J\\x0d\\x0ahost"_qs}};
    for (const auto& s : servers) {
        HostKeyDialog dialog(request(s.host, s.port));
        dialog.show();
        const QString question = dialog.questionText()->text();
        EXPECT_TRUE(question.contains(s.shown)) << question.toStdString();
        EXPECT_TRUE(question.contains(u"Key type: ssh-ed25519"_qs));
        EXPECT_EQ(dialog.fingerprintText()->text(), QString::fromStdString(kFingerprint));
        EXPECT_TRUE(dialog.fingerprintText()->isReadOnly());
        EXPECT_TRUE(dialog.cancelButton()->isDefault());
        const std::pair<QPushButton*, QString> names[] = {
            {dialog.onceButton(), u"Trust once"_qs},
            {dialog.alwaysButton(), u"Always trust this key"_qs},
            {dialog.cancelButton(), u"Cancel"_qs}};
        for (const auto& [button, name] : names)
            EXPECT_EQ(button->accessibleName(), name);
        EXPECT_EQ(dialog.windowTitle(), u"Server Host Key"_qs);
        if (s.port == 22 && s.host == "sftp.example.org")
            shoot(dialog, u"host_key_unknown.png"_qs);
    }
    const struct {
        QPushButton* (HostKeyDialog::*button)() const;
        HostKeyAnswer answer;
        int result;
    } cases[] = {
        {&HostKeyDialog::onceButton, HostKeyAnswer::TrustOnce, QDialog::Accepted},
        {&HostKeyDialog::alwaysButton, HostKeyAnswer::TrustAlways, QDialog::Accepted},
        {&HostKeyDialog::cancelButton, HostKeyAnswer::Cancel, QDialog::Rejected},
    };
    for (const auto& c : cases) {
        HostKeyDialog dialog(request());
        dialog.show();
        (dialog.*c.button)()->click();
        EXPECT_EQ(dialog.answer(), c.answer);
        EXPECT_EQ(dialog.result(), c.result);
    }
    for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Escape}) {
        HostKeyDialog dialog(request());
        dialog.show();
        QTest::keyClick(&dialog, key);
        EXPECT_EQ(dialog.answer(), HostKeyAnswer::Cancel);
        EXPECT_EQ(dialog.result(), QDialog::Rejected);
    }
}

// The passphrase box: a password-style edit, "wrong" said on the second ask.
TEST(PassphraseDialog, AsksInAPasswordBoxAndSaysWhenTheLastWasWrong) {
    for (const bool again : {false, true}) {
        const PassphraseRequest asked{u"/home/amy/.ssh/id_ed25519"_qs, u"sftp.example.org"_qs,
                                      again};
        PassphraseDialog dialog(asked);
        dialog.show();
        EXPECT_EQ(dialog.passphraseEdit()->echoMode(), QLineEdit::Password);
        EXPECT_EQ(dialog.passphraseEdit()->accessibleName(), u"Passphrase"_qs);
        const QString prompt = dialog.findChild<QLabel*>(u"promptText"_qs)->text();
        EXPECT_EQ(prompt, PassphraseDialog::PromptText(asked));
        EXPECT_EQ(prompt.startsWith(u"The passphrase was wrong."_qs), again);
        EXPECT_TRUE(prompt.contains(u"/home/amy/.ssh/id_ed25519"_qs));
        dialog.passphraseEdit()->setText(u"typed"_qs);
        shoot(dialog, again ? u"passphrase_again.png"_qs : u"passphrase.png"_qs);
    }
}

// Offered with the saved passwords' store, the box to keep the passphrase is there, off.
TEST(PassphraseDialog, OffersToSaveThePassphraseOnlyWhenAStoreCanKeepIt) {
    for (const bool offer : {false, true}) {
        PassphraseRequest asked{u"/home/amy/.ssh/id_ed25519"_qs, u"sftp.example.org"_qs, false};
        asked.offerSave = offer;
        PassphraseDialog dialog(asked);
        dialog.show();
        ASSERT_EQ(dialog.saveBox() != nullptr, offer);
        if (offer) {
            EXPECT_FALSE(dialog.saveBox()->isChecked());
            EXPECT_EQ(dialog.saveBox()->accessibleName(),
                      u"Save passphrase with the saved passwords"_qs);
            shoot(dialog, u"passphrase_save.png"_qs);
        }
    }
}

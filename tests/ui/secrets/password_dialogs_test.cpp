#include "../dialogs/widget_test_support.h"
#include "ui/dialogs/control_names.h"
#include "ui/secrets/choice_dialogs.h"
#include "ui/secrets/entry_dialogs.h"
#include "ui/secrets/password_dialogs.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "support/screenshot.h"

#include <gtest/gtest.h>

#include <functional>

using namespace tw;
using tw::test::ModalWatcher;
using tw::ui::ExportPasswordsDialog;
using tw::ui::MasterPasswordDialog;
using tw::ui::PasswordDialog;
using tw::ui::PasswordDialogs;
using tw::ui::StoreFallbackDialog;

namespace {

void shoot(QWidget& widget, const QString& name) {
    test::SaveScreenshot(widget, name);
}

// The dialog is named by its title, every button and label by what it shows, and every edit
// by the label in front of it.
void expectNamedAsShown(QWidget& dialog) {
    EXPECT_EQ(dialog.accessibleName(), dialog.windowTitle());
    for (const QAbstractButton* button : dialog.findChildren<QAbstractButton*>())
        EXPECT_EQ(button->accessibleName(), ui::VisibleText(button->text()))
            << button->text().toStdString();
    for (const QLabel* label : dialog.findChildren<QLabel*>()) {
        if (!label->text().isEmpty() && !label->buddy()) {
            EXPECT_EQ(label->accessibleName(), label->text()) << label->text().toStdString();
        }
        if (label->buddy()) {
            EXPECT_EQ(label->buddy()->accessibleName(), ui::VisibleText(label->text()));
        }
    }
}

void expectSecretEdit(const QLineEdit* edit) {
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(edit->echoMode(), QLineEdit::Password);
    EXPECT_EQ(edit->completer(), nullptr);
    EXPECT_TRUE(edit->inputMethodHints().testFlag(Qt::ImhSensitiveData));
}

// Runs `ask` (which opens the real dialog through PasswordDialogs) and lets `drive` answer
// the dialog of type D that comes up.
template <typename D, typename Ask>
auto answerWith(Ask ask, std::function<void(D&)> drive) {
    ModalWatcher watcher([&](QWidget* modal) {
        auto* dialog = qobject_cast<D*>(modal);
        if (!dialog) {
            ADD_FAILURE() << "another dialog came up";
            modal->close();
            return;
        }
        drive(*dialog);
    });
    auto answer = ask();
    EXPECT_TRUE(watcher.fired());
    return answer;
}

} // namespace

// Why the keyring cannot be used, the two ways on, the waiting passwords; each button its
// answer, Enter the master password, Escape Cancel.
TEST(StoreFallbackDialog, ExplainsTheChoiceAndEachButtonGivesItsAnswer) {
    const struct {
        StoreFallbackRequest request;
        QString reasonShown;
        QString waitingShown;
    } texts[] = {
        {{u"The name org.freedesktop.secrets was not provided by any .service files"_qs, 0},
         u"is not available: The name org.freedesktop.secrets was not provided by any .service "
         "files."_qs,
         QString()},
        {{QString(), 1},
         u"(Secret Service) is not available.\n"_qs,
         u"One password is waiting to be kept."_qs},
        {{u"locked\x1b[2J\nout"_qs, 3},
         u"locked\\x1b[2J\\x0aout."_qs,
         u"3 passwords are waiting to be kept."_qs},
    };
    for (const auto& t : texts) {
        StoreFallbackDialog dialog(t.request);
        dialog.show();
        const QString shown = dialog.questionText()->text();
        EXPECT_TRUE(shown.contains(t.reasonShown)) << shown.toStdString();
        EXPECT_TRUE(shown.contains(u"master password, which is asked once"_qs));
        EXPECT_TRUE(shown.contains(u"asked when you connect"_qs));
        EXPECT_TRUE(shown.contains(u"The settings file never holds them."_qs));
        EXPECT_EQ(shown.contains(u"waiting"_qs), t.request.waiting > 0);
        if (!t.waitingShown.isEmpty()) {
            EXPECT_TRUE(shown.contains(t.waitingShown)) << shown.toStdString();
        }
        EXPECT_EQ(dialog.windowTitle(), u"Saved Passwords"_qs);
        EXPECT_TRUE(dialog.masterPasswordButton()->isDefault());
        EXPECT_EQ(dialog.masterPasswordButton()->text(), u"Use a &Master Password"_qs);
        EXPECT_EQ(dialog.doNotSaveButton()->text(), u"&Do Not Save Passwords"_qs);
        expectNamedAsShown(dialog);
        if (t.request.waiting == 3)
            shoot(dialog, u"store_fallback.png"_qs);
    }

    const struct {
        std::function<void(StoreFallbackDialog&)> press;
        StoreFallback answer;
    } answers[] = {
        {[](StoreFallbackDialog& d) { d.masterPasswordButton()->click(); },
         StoreFallback::MasterPassword},
        {[](StoreFallbackDialog& d) { d.doNotSaveButton()->click(); }, StoreFallback::DoNotSave},
        {[](StoreFallbackDialog& d) { d.cancelButton()->click(); }, StoreFallback::Cancel},
        {[](StoreFallbackDialog& d) { QTest::keyClick(&d, Qt::Key_Return); },
         StoreFallback::MasterPassword},
        {[](StoreFallbackDialog& d) { QTest::keyClick(&d, Qt::Key_Escape); },
         StoreFallback::Cancel},
    };
    for (const auto& a : answers) {
        const StoreFallback answer = answerWith<StoreFallbackDialog>(
            [] {
                return PasswordDialogs::chooseFallback(nullptr, {u"no keyring"_qs, 2});
            },
            a.press);
        EXPECT_EQ(answer, a.answer);
    }
}

// Create: OK only while both entries agree and have eight characters (code points) or more,
// with the hint saying why not; the password comes back on OK, nothing on Cancel.
TEST(MasterPasswordDialog, CreateTakesTwoAgreeingEntriesOfEightCharactersOrMore) {
    const MasterPasswordRequest create{MasterPasswordRequest::Mode::Create, 1, false};
    const struct {
        QString password;
        QString repeat;
        bool ok;
        QString hint;
    } entries[] = {
        {QString(), QString(), false, u"At least 8 characters."_qs},
        {u"seven77"_qs, u"seven77"_qs, false, u"At least 8 characters."_qs},
        // Seven characters outside the BMP are fourteen UTF-16 units, still too short.
        {u"\U0001D11E\U0001D11E\U0001D11E\U0001D11E\U0001D11E\U0001D11E\U0001D11E"_qs,
         u"\U0001D11E\U0001D11E\U0001D11E\U0001D11E\U0001D11E\U0001D11E\U0001D11E"_qs, false,
         u"At least 8 characters."_qs},
        {u"long enough"_qs, QString(), false, u"Type it again under Repeat."_qs},
        {u"long enough"_qs, u"long Enough"_qs, false, u"The two entries differ."_qs},
        {u"long enough"_qs, u"long enough"_qs, true, u"The two entries agree."_qs},
        {u"\u00fcn\u00efc\u00f6d\u00e9 8"_qs, u"\u00fcn\u00efc\u00f6d\u00e9 8"_qs, true,
         u"The two entries agree."_qs},
    };
    for (const auto& e : entries) {
        MasterPasswordDialog dialog(create);
        dialog.show();
        dialog.passwordEdit()->setText(e.password);
        dialog.repeatEdit()->setText(e.repeat);
        EXPECT_EQ(dialog.okButton()->isEnabled(), e.ok) << e.password.toStdString();
        EXPECT_EQ(MasterPasswordDialog::Acceptable(e.password, e.repeat), e.ok);
        EXPECT_EQ(dialog.hintText()->text(), e.hint) << e.password.toStdString();
        QTest::keyClick(&dialog, Qt::Key_Return);
        EXPECT_EQ(dialog.result() == QDialog::Accepted, e.ok);
    }

    MasterPasswordDialog dialog(create);
    dialog.show();
    EXPECT_EQ(dialog.windowTitle(), u"Create Master Password"_qs);
    expectSecretEdit(dialog.passwordEdit());
    expectSecretEdit(dialog.repeatEdit());
    EXPECT_EQ(dialog.passwordEdit()->accessibleName(), u"Master password"_qs);
    EXPECT_EQ(dialog.repeatEdit()->accessibleName(), u"Repeat"_qs);
    const auto* recovery = dialog.findChild<QLabel*>(u"recoveryText"_qs);
    ASSERT_NE(recovery, nullptr);
    EXPECT_TRUE(recovery->text().contains(u"cannot be recovered"_qs));
    EXPECT_EQ(dialog.attemptText(), nullptr);
    EXPECT_EQ(dialog.wrongText(), nullptr);
    QTest::keyClicks(dialog.passwordEdit(), u"correct horse"_qs);
    QTest::keyClicks(dialog.repeatEdit(), u"correct horse"_qs);
    expectNamedAsShown(dialog);
    shoot(dialog, u"master_password_create.png"_qs);

    const auto typed = answerWith<MasterPasswordDialog>(
        [&] { return PasswordDialogs::askMasterPassword(nullptr, create); },
        [](MasterPasswordDialog& d) {
            QTest::keyClicks(d.passwordEdit(), u"correct horse"_qs);
            QTest::keyClicks(d.repeatEdit(), u"correct horse"_qs);
            d.okButton()->click();
        });
    EXPECT_EQ(typed, std::optional<QString>(u"correct horse"_qs));
    const auto cancelled = answerWith<MasterPasswordDialog>(
        [&] { return PasswordDialogs::askMasterPassword(nullptr, create); },
        [](MasterPasswordDialog& d) {
            QTest::keyClicks(d.passwordEdit(), u"correct horse"_qs);
            QTest::keyClicks(d.repeatEdit(), u"correct horse"_qs);
            QTest::keyClick(&d, Qt::Key_Escape);
        });
    EXPECT_EQ(cancelled, std::nullopt);
}

// Unlock: one entry, the attempt from the second on and "Wrong master password." after a
// wrong one; OK returns what was typed, Cancel nothing.
TEST(MasterPasswordDialog, UnlockShowsTheAttemptAndTheWrongOne) {
    const struct {
        MasterPasswordRequest request;
        QString attempt;
        bool wrong;
        QString shot;
    } cases[] = {
        {{MasterPasswordRequest::Mode::Unlock, 1, false},
         QString(),
         false,
         u"master_password_unlock.png"_qs},
        {{MasterPasswordRequest::Mode::Unlock, 2, true},
         u"Attempt 2 of 3"_qs,
         true,
         u"master_password_wrong.png"_qs},
        {{MasterPasswordRequest::Mode::Unlock, 3, true}, u"Attempt 3 of 3"_qs, true, QString()},
    };
    for (const auto& c : cases) {
        MasterPasswordDialog dialog(c.request);
        dialog.show();
        EXPECT_EQ(dialog.windowTitle(), u"Master Password"_qs);
        EXPECT_EQ(dialog.repeatEdit(), nullptr);
        expectSecretEdit(dialog.passwordEdit());
        EXPECT_EQ(dialog.attemptText() ? dialog.attemptText()->text() : QString(), c.attempt);
        EXPECT_EQ(dialog.wrongText() != nullptr, c.wrong);
        if (c.wrong) {
            EXPECT_EQ(dialog.wrongText()->text(), u"Wrong master password."_qs);
        }
        EXPECT_FALSE(dialog.okButton()->isEnabled());
        QTest::keyClicks(dialog.passwordEdit(), u"x"_qs);
        EXPECT_TRUE(dialog.okButton()->isEnabled());
        expectNamedAsShown(dialog);
        if (!c.shot.isEmpty())
            shoot(dialog, c.shot);

        const auto typed = answerWith<MasterPasswordDialog>(
            [&] { return PasswordDialogs::askMasterPassword(nullptr, c.request); },
            [](MasterPasswordDialog& d) {
                QTest::keyClicks(d.passwordEdit(), u"open sesame"_qs);
                QTest::keyClick(d.passwordEdit(), Qt::Key_Return);
            });
        EXPECT_EQ(typed, std::optional<QString>(u"open sesame"_qs));
        const auto cancelled = answerWith<MasterPasswordDialog>(
            [&] { return PasswordDialogs::askMasterPassword(nullptr, c.request); },
            [](MasterPasswordDialog& d) {
                QTest::keyClicks(d.passwordEdit(), u"open sesame"_qs);
                d.findChild<QPushButton*>(u"cancelButton"_qs)->click();
            });
        EXPECT_EQ(cancelled, std::nullopt);
    }
}

// Who and where the password is for (a hostile name escaped), the reason when given, "Save
// password" only when offered and off at first; the answer carries both.
TEST(PasswordDialog, AsksForTheAccountsPasswordAndWhetherToSaveIt) {
    const struct {
        PasswordRequest request;
        QString prompt;
        QString shot;
    } cases[] = {
        {{u"Work"_qs, u"amy"_qs, u"ftp.example.org"_qs, u"The desktop keyring is locked."_qs, true},
         u"Password for amy at ftp.example.org (account Work)"_qs,
         u"password_save.png"_qs},
        {{u"Mirror\r\n"_qs, u"anon\x1b"_qs, u"10.0.0.7"_qs, QString(), false},
         u"Password for anon\\x1b at 10.0.0.7 (account Mirror\\x0d\\x0a)"_qs,
         u"password.png"_qs},
        {{u"Nameless"_qs, QString(), u"[::1]"_qs, QString(), true},
         u"Password at [::1] (account Nameless)"_qs,
         QString()},
    };
    for (const auto& c : cases) {
        PasswordDialog dialog(c.request);
        dialog.show();
        EXPECT_EQ(dialog.windowTitle(), u"Password"_qs);
        EXPECT_EQ(dialog.promptText()->text(), c.prompt);
        EXPECT_EQ(dialog.reasonText() ? dialog.reasonText()->text() : QString(), c.request.reason);
        expectSecretEdit(dialog.passwordEdit());
        EXPECT_EQ(dialog.passwordEdit()->accessibleName(), u"Password"_qs);
        ASSERT_EQ(dialog.saveBox() != nullptr, c.request.offerSave);
        if (dialog.saveBox()) {
            EXPECT_FALSE(dialog.saveBox()->isChecked());
            EXPECT_EQ(dialog.saveBox()->text(), u"&Save password"_qs);
        }
        QTest::keyClicks(dialog.passwordEdit(), u"secret"_qs);
        expectNamedAsShown(dialog);
        if (!c.shot.isEmpty()) {
            shoot(dialog, c.shot);
        }

        for (const bool save : {false, true}) {
            if (save && !c.request.offerSave)
                continue;
            const auto answer = answerWith<PasswordDialog>(
                [&] { return PasswordDialogs::askPassword(nullptr, c.request); },
                [save](PasswordDialog& d) {
                    d.passwordEdit()->insert(u"s3cr\u00e9t"_qs);
                    if (save)
                        d.saveBox()->click();
                    d.okButton()->click();
                });
            ASSERT_TRUE(answer.has_value());
            EXPECT_EQ(answer->password, u"s3cr\u00e9t"_qs);
            EXPECT_EQ(answer->save, save);
        }
        const auto cancelled = answerWith<PasswordDialog>(
            [&] { return PasswordDialogs::askPassword(nullptr, c.request); },
            [](PasswordDialog& d) {
                QTest::keyClicks(d.passwordEdit(), u"typed"_qs);
                QTest::keyClick(&d, Qt::Key_Escape);
            });
        EXPECT_EQ(cancelled, std::nullopt);
    }
}

// The plain-text warning with the count; Enter exports without passwords, Escape cancels.
TEST(ExportPasswordsDialog, WarnsOfPlainTextAndDefaultsToLeavingPasswordsOut) {
    for (const auto& [count, held] : {std::pair{1, u"hold one saved password in plain text"_qs},
                                      std::pair{12, u"hold 12 saved passwords in plain text"_qs}}) {
        ExportPasswordsDialog dialog(count);
        dialog.show();
        EXPECT_TRUE(dialog.warningText()->text().contains(held))
            << dialog.warningText()->text().toStdString();
        EXPECT_TRUE(dialog.warningText()->text().contains(u"anyone who gets the file"_qs));
        EXPECT_TRUE(dialog.withoutButton()->isDefault());
        EXPECT_FALSE(dialog.withButton()->isDefault());
        EXPECT_EQ(dialog.withoutButton()->text(), u"Export &without Passwords"_qs);
        EXPECT_EQ(dialog.withButton()->text(), u"Export with &Passwords"_qs);
        expectNamedAsShown(dialog);
        if (count == 12)
            shoot(dialog, u"export_passwords.png"_qs);
    }
    const struct {
        std::function<void(ExportPasswordsDialog&)> press;
        ExportPasswordsAnswer answer;
    } answers[] = {
        {[](ExportPasswordsDialog& d) { d.withoutButton()->click(); },
         ExportPasswordsAnswer::WithoutPasswords},
        {[](ExportPasswordsDialog& d) { d.withButton()->click(); },
         ExportPasswordsAnswer::WithPasswords},
        {[](ExportPasswordsDialog& d) { d.cancelButton()->click(); },
         ExportPasswordsAnswer::Cancel},
        {[](ExportPasswordsDialog& d) { QTest::keyClick(&d, Qt::Key_Return); },
         ExportPasswordsAnswer::WithoutPasswords},
        {[](ExportPasswordsDialog& d) { QTest::keyClick(&d, Qt::Key_Escape); },
         ExportPasswordsAnswer::Cancel},
    };
    for (const auto& a : answers) {
        EXPECT_EQ(answerWith<ExportPasswordsDialog>(
                      [] { return PasswordDialogs::askExportPasswords(nullptr, 3); }, a.press),
                  a.answer);
    }

    // Over a shown window, the question opens over its middle, transient to it.
    QWidget owner;
    owner.setGeometry(100, 80, 900, 640);
    owner.show();
    const QPoint middle = owner.frameGeometry().center();
    const auto answer = answerWith<ExportPasswordsDialog>(
        [&] { return PasswordDialogs::askExportPasswords(&owner, 2); },
        [&](ExportPasswordsDialog& d) {
            EXPECT_EQ(d.parentWidget(), &owner);
            // Placed before its frame exists: off by the frame's width at most.
            const QSize frame = d.frameGeometry().size() - d.size();
            EXPECT_LE((d.frameGeometry().center() - middle).manhattanLength(),
                      frame.width() + frame.height() + 2);
            d.withButton()->click();
        });
    EXPECT_EQ(answer, ExportPasswordsAnswer::WithPasswords);
}

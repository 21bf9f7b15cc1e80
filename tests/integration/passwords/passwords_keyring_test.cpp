// The saved passwords of the account table against a real Secret Service: gnome-keyring-daemon
// on a D-Bus session of the test's own (support/keyring_session.h).

#include "core/secrets/password_keeper.h"
#include "core/settings/settings.h"
#include "core/settings/settings_store.h"
#include "core/state/app_state.h"
#include "core/text/messages.h"
#include "platform/secrets/keyring_secrets.h"
#include "platform/secrets/vault_secrets.h"
#include "support/keyring_session.h"
#include "support/older_settings.h"
#include "support/recording_port.h"
#include "support/scripted_password_port.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

using namespace tw;

namespace {

class PasswordsKeyringTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::CoreApplication();
        std::string why;
        session = test::KeyringSession::start(why);
        if (!session)
            GTEST_SKIP() << "keyring session: " << why;
        keyring = std::make_unique<platform::KeyringSecrets>();
    }
    void TearDown() override {
        keeper.reset();
        keyring.reset();
    }

    void writeOlderSettings(std::vector<AccountRecord> rows) {
        ASSERT_TRUE(test::WriteOlderSettings(file, std::move(rows)));
    }
    void start() {
        keeper.reset();
        SettingsStore store(file);
        state = AppState();
        LoadSettings(store, state, globals);
        keeper = std::make_unique<PasswordKeeper>(state, messages, port, *keyring, vault, [this] {
            SettingsStore s(file);
            SaveSettings(s, state, globals);
        });
    }
    bool settle(bool moveAll = false, bool alreadyStarted = false) {
        bool settled = false;
        const QMetaObject::Connection c =
            QObject::connect(keeper.get(), &PasswordKeeper::settled, [&] { settled = true; });
        if (!alreadyStarted)
            keeper->keepPending(moveAll);
        const bool came = test::TurnEventsUntil([&] { return settled; }, 30000);
        QObject::disconnect(c);
        return came;
    }
    QByteArray bytes() const {
        QFile f(file);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    std::string search(const QString& id) const {
        return session->run({"secret-tool", "search", "--all", "id", id.toStdString()}, true)
            .value_or("<secret-tool failed>");
    }

    QTemporaryDir dir;
    QString file = dir.filePath(u"Tarnwick 2000.conf"_qs);
    AppState state;
    AppGlobals globals;
    test::RecordingPort ui;
    Messages messages{ui, state, globals};
    test::ScriptedPasswordPort port;
    std::unique_ptr<test::KeyringSession> session;
    std::unique_ptr<platform::KeyringSecrets> keyring;
    platform::VaultSecrets vault{PasswordKeeper::VaultPathFor(file),
                                 platform::VaultKdf{10, 8, 1, {}}};
    std::unique_ptr<PasswordKeeper> keeper;
};

// The first start on today's settings: every scrambled password moves into the keyring, where
// other clients see the item, the file keeps only markers, and the next start reads them back.
TEST_F(PasswordsKeyringTest, FirstStartMovesScrambledPasswordsIntoTheKeyring) {
    writeOlderSettings({test::SavedAccount(u"Site One"_qs, u"first-secret ä"_qs),
                        test::SavedAccount(u"Site Two"_qs, u"second-secret"_qs)});
    ASSERT_TRUE(bytes().contains("Password="));
    start();
    ASSERT_TRUE(settle());

    const QByteArray written = bytes();
    EXPECT_FALSE(written.contains("first-secret"));
    EXPECT_FALSE(written.contains("second-secret"));
    for (const AccountRecord& a : state.Accounts) {
        SCOPED_TRACE(a.Name.toStdString());
        EXPECT_EQ(a.Kept, PasswordPlace::Keyring);
        const std::string found = search(a.SecretId);
        EXPECT_NE(found.find("alice@" + a.URL.toStdString()), std::string::npos) << found;
        // The scrambled form is gone too: the row's "Password" value is empty.
        EXPECT_TRUE(written.contains("\\Password=\n") || written.contains("\\Password=\r\n"));
    }
    EXPECT_EQ(state.options.PasswordStore, 1u);
    EXPECT_TRUE(port.fallbacks.empty());

    start();
    ASSERT_EQ(state.Accounts.size(), 2u);
    EXPECT_TRUE(state.Accounts[0].Password.isEmpty());
    EXPECT_EQ(keeper->passwordFor(state.Accounts[0]), u"first-secret ä"_qs);
    EXPECT_EQ(keeper->passwordFor(state.Accounts[1]), u"second-secret"_qs);
    EXPECT_TRUE(port.passwordRequests.empty());
}

// A keyring that answers late (its daemon stopped, as behind a locked keyring's prompt): the
// UI thread's loop turns on while the keeper waits, and the answer lands when it comes.
TEST_F(PasswordsKeyringTest, AKeyringThatAnswersLateNeverHoldsTheUiThread) {
    writeOlderSettings({test::SavedAccount(u"Slow"_qs, u"slow-secret"_qs)});
    start();
    ASSERT_TRUE(keyring->probe().ok()); // the connection is made before the daemon stops
    session->freeze();
    keeper->keepPending();
    int ticks = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
    timer.start(10);
    EXPECT_TRUE(test::TurnEventsUntil([&] { return ticks >= 20; }, 10000));
    EXPECT_TRUE(keeper->busy());
    EXPECT_EQ(state.Accounts[0].Kept, PasswordPlace::Scrambled);
    session->thaw();
    ASSERT_TRUE(settle(false, true));
    EXPECT_EQ(state.Accounts[0].Kept, PasswordPlace::Keyring);
}

// The keyring goes away mid-run: a new password is not silently written anywhere else (the
// user is asked, and cancels), and a kept one is asked for at connect with the reason.
TEST_F(PasswordsKeyringTest, AKeyringThatDisappearsMidRunLosesNothing) {
    writeOlderSettings({test::SavedAccount(u"Kept"_qs, u"kept-secret"_qs)});
    start();
    ASSERT_TRUE(settle());
    ASSERT_EQ(state.Accounts[0].Kept, PasswordPlace::Keyring);
    start(); // a new run: the password is not in memory
    session->stop();

    state.Accounts.push_back(test::SavedAccount(u"New"_qs, u"new-secret"_qs));
    port.fallback = StoreFallback::Cancel;
    ASSERT_TRUE(settle());
    EXPECT_EQ(port.fallbacks.size(), 1u);
    EXPECT_EQ(state.Accounts[1].Kept, PasswordPlace::None);
    EXPECT_EQ(state.Accounts[1].Password, u"new-secret"_qs); // kept for this run
    EXPECT_FALSE(bytes().contains("new-secret"));

    port.password = PasswordAnswer{u"typed-now"_qs, false};
    EXPECT_EQ(keeper->passwordFor(state.Accounts[0]), u"typed-now"_qs);
    ASSERT_EQ(port.passwordRequests.size(), 1u);
    EXPECT_TRUE(port.passwordRequests[0].reason.contains(u"not available"_qs))
        << port.passwordRequests[0].reason.toStdString();
    EXPECT_EQ(state.Accounts[0].Kept, PasswordPlace::Keyring); // the marker stays

    std::string why;
    ASSERT_TRUE(session->restart(why)) << why;
    state.Accounts[0].Password.clear();
    EXPECT_EQ(keeper->passwordFor(state.Accounts[0]), u"kept-secret"_qs);
}

// A locked keyring whose unlock prompt cannot show (no prompter on this bus, as a dismissed
// prompt): the scrambled value stays byte for byte, no other store is tried, and the user is told.
TEST_F(PasswordsKeyringTest, ALockedKeyringLeavesTheScrambledValueInPlace) {
    writeOlderSettings({test::SavedAccount(u"Locked"_qs, u"locked-secret"_qs)});
    const QByteArray before = bytes();
    std::string why;
    ASSERT_TRUE(session->lock(why)) << why;
    start();
    ASSERT_TRUE(settle());
    EXPECT_EQ(state.Accounts[0].Kept, PasswordPlace::Scrambled);
    EXPECT_TRUE(port.fallbacks.empty());
    EXPECT_TRUE(port.masterRequests.empty());
    ASSERT_EQ(ui.boxes().size(), 1u);
    EXPECT_TRUE(ui.boxes()[0].text.contains(u"Locked"_qs)) << ui.boxes()[0].text.toStdString();
    // The row is written back as it was read (the save also added the new values beside it).
    const auto passwordLine = [](const QByteArray& file) {
        const qsizetype at = file.indexOf("\\Password=");
        return file.mid(at, file.indexOf('\n', at) - at);
    };
    EXPECT_EQ(passwordLine(bytes()), passwordLine(before));
    EXPECT_GT(passwordLine(before).size(), qsizetype(10));
}

} // namespace

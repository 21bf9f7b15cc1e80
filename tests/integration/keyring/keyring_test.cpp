#include "platform/secrets/keyring_secrets.h"

#include "support/keyring_session.h"
#include "support/qt_printers.h"

#include <QString>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace tw::platform {
namespace {

constexpr const char* kSecretTool = "/usr/bin/secret-tool";

SecretItem Password(const QString& id, const QString& host) {
    return {id,   QStringLiteral("password"), QStringLiteral("Tarnwick 2000: alice@") + host,
            host, QStringLiteral("alice"),    QStringLiteral("ftp"),
            {}};
}

SecretItem Passphrase(const QString& keyFile) {
    return {QStringLiteral("passphrase:") + keyFile,
            QStringLiteral("passphrase"),
            QStringLiteral("Tarnwick 2000: key ") + keyFile,
            QStringLiteral("sftp.example.com"),
            QStringLiteral("bob"),
            QStringLiteral("sftp"),
            keyFile};
}

// Runs `call` on a worker and calls cancelAll() if it has not returned after 15 s. A Secret
// Service may wait without end for a prompt nobody answers; the bound turns such a wait into a
// failed test instead of a hung one.
template <typename F>
auto Bounded(KeyringSecrets& keyring, F call) {
    std::mutex m;
    std::condition_variable cv;
    bool done = false;
    std::thread watchdog([&] {
        std::unique_lock lock(m);
        if (!cv.wait_for(lock, std::chrono::seconds(15), [&] { return done; }))
            keyring.cancelAll();
    });
    auto result = call();
    {
        std::lock_guard lock(m);
        done = true;
    }
    cv.notify_one();
    watchdog.join();
    return result;
}

::testing::AssertionResult Ok(const SecretOutcome& o) {
    if (o.ok())
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "status " << static_cast<int>(o.status) << ": " << o.detail.toStdString();
}

class KeyringTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string why;
        session = test::KeyringSession::start(why);
        if (!session)
            GTEST_SKIP() << "keyring session: " << why;
        keyring = std::make_unique<KeyringSecrets>();
    }
    void TearDown() override { keyring.reset(); }

    // What `secret-tool search --all id <id>` prints about the items of an id.
    std::string search(const QString& id) const {
        return session->run({kSecretTool, "search", "--all", "id", id.toStdString()}, true)
            .value_or("<secret-tool failed>");
    }

    std::unique_ptr<test::KeyringSession> session;
    std::unique_ptr<KeyringSecrets> keyring;
};

TEST_F(KeyringTest, StoresLooksUpReplacesAndRemovesItemsOtherClientsSee) {
    EXPECT_TRUE(Ok(keyring->probe()));
    const QString uuid = QStringLiteral("{0b7e2a4c-5d1f-4e8a-9c3b-6a2f1e0d9c8b}");
    const QString wide = QStringLiteral("p\u00e4ss \u5bc6\u7801 \U0001f511 \"'\\");
    struct Case {
        SecretItem item;
        QString secret;
        std::vector<std::string> attributes; // as secret-tool shows them
    };
    const std::vector<Case> cases = {
        {Password(uuid, QStringLiteral("ftp.example.com")),
         QStringLiteral("hunter2"),
         {"attribute.id = " + uuid.toStdString(), "attribute.kind = password",
          "attribute.host = ftp.example.com", "attribute.user = alice", "attribute.protocol = ftp",
          "label = Tarnwick 2000: alice@ftp.example.com",
          std::string("schema = ") + KeyringSecrets::kSchemaName}},
        {Passphrase(QStringLiteral("/home/bob/.ssh/id_ed25519")),
         wide,
         {"attribute.kind = passphrase", "attribute.key-file = /home/bob/.ssh/id_ed25519",
          "attribute.protocol = sftp"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.item.id.toStdString());
        EXPECT_EQ(keyring->lookup(c.item.id).outcome.status, SecretStatus::NotFound);
        ASSERT_TRUE(Ok(keyring->store(c.item, c.secret)));
        const SecretLookup found = keyring->lookup(c.item.id);
        ASSERT_TRUE(found.outcome.ok()) << found.outcome.detail.toStdString();
        EXPECT_EQ(found.secret, c.secret);
        // Another client of the keyring finds the item by its attributes and reads the secret.
        const std::string listed = search(c.item.id);
        for (const std::string& line : c.attributes)
            EXPECT_NE(listed.find(line), std::string::npos) << line << "\n" << listed;
        EXPECT_EQ(session->run({kSecretTool, "lookup", "id", c.item.id.toStdString()}),
                  c.secret.toStdString());
    }

    // A store for the same id replaces the secret, also when the item's host changed.
    SecretItem moved = Password(uuid, QStringLiteral("ftp2.example.com"));
    ASSERT_TRUE(Ok(keyring->store(moved, QStringLiteral("second"))));
    ASSERT_TRUE(Ok(keyring->store(moved, QStringLiteral("third"))));
    EXPECT_EQ(keyring->lookup(uuid).secret, QStringLiteral("third"));
    const std::string listed = search(uuid);
    EXPECT_NE(listed.find("attribute.host = ftp2.example.com"), std::string::npos) << listed;
    EXPECT_EQ(listed.find("attribute.host = ftp.example.com"), std::string::npos) << listed;
    EXPECT_EQ(listed.find("[/"), listed.rfind("[/")) << "one item only:\n" << listed;

    EXPECT_TRUE(Ok(keyring->remove(uuid)));
    EXPECT_EQ(keyring->lookup(uuid).outcome.status, SecretStatus::NotFound);
    EXPECT_TRUE(Ok(keyring->remove(uuid)));
    EXPECT_EQ(search(uuid), "");
    // An empty id names nothing, never every item of the schema.
    EXPECT_EQ(keyring->lookup({}).outcome.status, SecretStatus::NotFound);
    EXPECT_TRUE(Ok(keyring->remove({})));
    EXPECT_EQ(keyring->store(Password({}, QStringLiteral("h")), QStringLiteral("x")).status,
              SecretStatus::Failed);
    EXPECT_EQ(keyring->lookup(cases[1].item.id).secret, wide);
}

TEST_F(KeyringTest, CallsFromSeveralThreadsAtOnce) {
    std::vector<std::thread> workers;
    std::atomic<int> good{0};
    for (int t = 0; t < 4; ++t) {
        workers.emplace_back([&, t] {
            for (int i = 0; i < 5; ++i) {
                const QString id = QStringLiteral("thread-%1-%2").arg(t).arg(i);
                const QString secret = QStringLiteral("secret of ") + id;
                if (keyring->store(Password(id, QStringLiteral("h")), secret).ok() &&
                    keyring->lookup(id).secret == secret && keyring->remove(id).ok() &&
                    keyring->lookup(id).outcome.status == SecretStatus::NotFound)
                    ++good;
            }
        });
    }
    for (auto& w : workers)
        w.join();
    EXPECT_EQ(good.load(), 20);
}

// gnome-keyring asks a prompter on the bus for the password of a locked collection; this bus
// has none, so the unlock fails and the collection stays locked.
TEST_F(KeyringTest, LockedCollectionWithoutPrompterIsLocked) {
    const SecretItem item = Password(QStringLiteral("locked-one"), QStringLiteral("h"));
    ASSERT_TRUE(Ok(keyring->store(item, QStringLiteral("kept"))));
    std::string why;
    ASSERT_TRUE(session->lock(why)) << why;

    EXPECT_EQ(keyring->probe().status, SecretStatus::Locked);
    const SecretLookup found = Bounded(*keyring, [&] { return keyring->lookup(item.id); });
    EXPECT_EQ(found.outcome.status, SecretStatus::Locked) << found.outcome.detail.toStdString();
    EXPECT_TRUE(found.secret.isEmpty());
    const SecretOutcome stored = Bounded(*keyring, [&] {
        return keyring->store(Password(QStringLiteral("new"), QStringLiteral("h")),
                              QStringLiteral("x"));
    });
    EXPECT_EQ(stored.status, SecretStatus::Locked) << stored.detail.toStdString();
    const SecretOutcome removed = Bounded(*keyring, [&] { return keyring->remove(item.id); });
    EXPECT_EQ(removed.status, SecretStatus::Locked) << removed.detail.toStdString();
    EXPECT_NE(search(item.id).find("attribute.id = locked-one"), std::string::npos);
}

// The keyring daemon disappears mid-run: every call says Unavailable, and the same object
// works again once a keyring is back on the bus.
TEST_F(KeyringTest, ServiceGoneIsUnavailableAndComesBack) {
    const SecretItem item = Password(QStringLiteral("survivor"), QStringLiteral("h"));
    ASSERT_TRUE(Ok(keyring->store(item, QStringLiteral("kept"))));
    session->stop();

    EXPECT_EQ(keyring->probe().status, SecretStatus::Unavailable);
    const SecretLookup found = keyring->lookup(item.id);
    EXPECT_EQ(found.outcome.status, SecretStatus::Unavailable);
    EXPECT_FALSE(found.outcome.detail.isEmpty());
    EXPECT_EQ(keyring->store(item, QStringLiteral("x")).status, SecretStatus::Unavailable);
    EXPECT_EQ(keyring->remove(item.id).status, SecretStatus::Unavailable);

    std::string why;
    ASSERT_TRUE(session->restart(why)) << why;
    const SecretLookup back = keyring->lookup(item.id);
    EXPECT_TRUE(back.outcome.ok()) << back.outcome.detail.toStdString();
    EXPECT_EQ(back.secret, QStringLiteral("kept"));
}

// Shutdown with a call waiting for a service that does not answer: cancelAll() ends it.
TEST_F(KeyringTest, CancelAllEndsCallsTheServiceDoesNotAnswer) {
    const SecretItem item = Password(QStringLiteral("frozen"), QStringLiteral("h"));
    ASSERT_TRUE(Ok(keyring->store(item, QStringLiteral("kept"))));
    session->freeze();
    std::atomic<bool> returned{false};
    SecretLookup found;
    std::thread worker([&] {
        found = keyring->lookup(item.id);
        returned = true;
    });
    // cancelAll() reaches only calls already running, so it is repeated until the worker's
    // call has seen it.
    while (!returned) {
        keyring->cancelAll();
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    worker.join();
    session->thaw();
    EXPECT_EQ(found.outcome.status, SecretStatus::Failed);
    EXPECT_EQ(found.outcome.detail, QStringLiteral("cancelled"));
    // The object stays usable.
    EXPECT_EQ(keyring->lookup(item.id).secret, QStringLiteral("kept"));
}

// No session bus at all: run in a fresh copy of this program (GLib keeps the first bus
// connection of a process), with the bus address pointing at nothing.
TEST(KeyringWithoutBus, IsUnavailable) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            ::setenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/tw-no-bus", 1);
            KeyringSecrets keyring;
            const bool unavailable =
                keyring.probe().status == SecretStatus::Unavailable &&
                keyring.lookup(QStringLiteral("x")).outcome.status == SecretStatus::Unavailable &&
                keyring.store(Password(QStringLiteral("x"), {}), QStringLiteral("y")).status ==
                    SecretStatus::Unavailable;
            std::_Exit(unavailable ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

} // namespace
} // namespace tw::platform

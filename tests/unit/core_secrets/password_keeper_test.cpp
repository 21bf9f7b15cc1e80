#include "core/accounts/account_store.h"
#include "core/secrets/password_keeper.h"
#include "core/secrets/secret_export.h"
#include "core/settings/settings.h"
#include "core/settings/settings_store.h"
#include "core/state/app_state.h"
#include "core/text/messages.h"
#include "platform/secrets/vault_secrets.h"
#include "support/older_settings.h"
#include "support/recording_port.h"
#include "support/scripted_password_port.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <set>

using namespace tw;
using platform::SecretStatus;

namespace {

// A Secret Service stand-in whose answers a test sets: what probe says, which items fail, and
// a gate that holds store() until the test opens it.
class FakeKeyring final : public platform::SecretBackend {
public:
    SecretStatus probeStatus = SecretStatus::Ok;
    SecretStatus lookupStatus = SecretStatus::Ok;
    std::set<QString> failFor; // item labels containing one of these fail to store
    SecretStatus failure = SecretStatus::Failed;
    std::map<QString, QString> items;
    std::vector<QString> removed;
    bool gated = false;

    platform::SecretOutcome probe() override { return {probeStatus, u"no such name"_qs}; }
    platform::SecretLookup lookup(const QString& id) override {
        const std::lock_guard lock(m_mutex);
        if (lookupStatus != SecretStatus::Ok)
            return {{lookupStatus, u"refused"_qs}, {}};
        const auto it = items.find(id);
        if (it == items.end())
            return {{SecretStatus::NotFound, {}}, {}};
        return {{}, it->second};
    }
    platform::SecretOutcome store(const platform::SecretItem& item,
                                  const QString& secret) override {
        std::unique_lock lock(m_mutex);
        m_entered = true;
        m_changed.notify_all();
        m_changed.wait(lock, [this] { return !gated; });
        for (const QString& f : failFor)
            if (item.label.contains(f))
                return {failure, u"write refused"_qs};
        items[item.id] = secret;
        return {};
    }
    platform::SecretOutcome remove(const QString& id) override {
        const std::lock_guard lock(m_mutex);
        items.erase(id);
        removed.push_back(id);
        return {};
    }
    void waitEntered() {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return m_entered; });
    }
    void open() {
        const std::lock_guard lock(m_mutex);
        gated = false;
        m_changed.notify_all();
    }
    std::map<QString, QString> snapshot() {
        const std::lock_guard lock(m_mutex);
        return items;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_entered = false;
};

struct KeeperTest : ::testing::Test {
    QTemporaryDir dir;
    QString file = dir.filePath(u"settings.conf"_qs);
    AppState state;
    AppGlobals globals;
    test::RecordingPort ui;
    Messages messages{ui, state, globals};
    test::ScriptedPasswordPort port;
    FakeKeyring keyring;
    platform::VaultSecrets vault{PasswordKeeper::VaultPathFor(file),
                                 platform::VaultKdf{10, 8, 1, {}}};
    std::unique_ptr<PasswordKeeper> keeper;

    void SetUp() override { test::CoreApplication(); }

    void writeOlderSettings(std::vector<AccountRecord> rows) {
        ASSERT_TRUE(test::WriteOlderSettings(file, std::move(rows)));
    }
    void start() {
        SettingsStore store(file);
        state = AppState();
        LoadSettings(store, state, globals);
        keeper = std::make_unique<PasswordKeeper>(state, messages, port, keyring, vault, [this] {
            SettingsStore s(file);
            SaveSettings(s, state, globals);
        });
    }
    void keepAndSettle(bool moveAll = false) {
        bool settled = false;
        const QMetaObject::Connection c =
            QObject::connect(keeper.get(), &PasswordKeeper::settled, [&] { settled = true; });
        keeper->keepPending(moveAll);
        const bool came = test::TurnEventsUntil([&] { return settled; });
        QObject::disconnect(c);
        ASSERT_TRUE(came);
    }
    QByteArray bytes() const {
        QFile f(file);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    // Every account's "Password=" line of the file, in file order.
    QStringList passwordLines() const {
        QStringList lines;
        static const QRegularExpression line(u"^Account-\\d+\\\\Password=(.*)$"_qs,
                                             QRegularExpression::MultilineOption);
        auto it = line.globalMatch(QString::fromUtf8(bytes()));
        while (it.hasNext())
            lines << it.next().captured(1);
        return lines;
    }
    const AccountRecord& account(const QString& name) const {
        for (const AccountRecord& a : state.Accounts)
            if (a.Name == name)
                return a;
        throw std::runtime_error("no such account");
    }
};

// The first start on an older version's settings, for each answer the stores give: the
// scrambled values go only where a store took them, and stay byte for byte otherwise.
TEST_F(KeeperTest, OlderScrambledPasswordsMoveToTheChosenStoreOrStayUntouched) {
    enum class Outcome { Keyring, Vault, Dropped, Untouched };
    struct Case {
        const char* name;
        SecretStatus probe;
        StoreFallback fallback;
        const char* failing;
        Outcome alpha;
        Outcome beta;
        std::uint32_t choice;
    };
    const Case cases[] = {
        {"keyring", SecretStatus::Ok, StoreFallback::Cancel, "", Outcome::Keyring, Outcome::Keyring,
         1},
        {"one refused", SecretStatus::Ok, StoreFallback::Cancel, "Beta", Outcome::Keyring,
         Outcome::Untouched, 1},
        {"master password", SecretStatus::Unavailable, StoreFallback::MasterPassword, "",
         Outcome::Vault, Outcome::Vault, 2},
        {"do not save", SecretStatus::Unavailable, StoreFallback::DoNotSave, "", Outcome::Dropped,
         Outcome::Dropped, 3},
        {"cancelled", SecretStatus::Unavailable, StoreFallback::Cancel, "", Outcome::Untouched,
         Outcome::Untouched, 0},
        // Locked, its unlock prompt dismissed: no other store is tried.
        {"locked keyring", SecretStatus::Locked, StoreFallback::MasterPassword, "Tarnwick",
         Outcome::Untouched, Outcome::Untouched, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(file);
        QFile::remove(PasswordKeeper::VaultPathFor(file));
        vault.lock();
        keyring.items.clear();
        keyring.probeStatus = c.probe;
        keyring.failFor = {QString::fromUtf8(c.failing)};
        keyring.failure =
            c.probe == SecretStatus::Locked ? SecretStatus::Locked : SecretStatus::Failed;
        if (!*c.failing)
            keyring.failFor.clear();
        port.fallback = c.fallback;
        port.masters = {u"correct horse"_qs};
        port.fallbacks.clear();
        ui.clear();
        writeOlderSettings({test::SavedAccount(u"Alpha"_qs, u"pä$$wörd ˇ"_qs),
                            test::SavedAccount(u"Beta"_qs, u"beta-pass"_qs),
                            test::SavedAccount(u"Gamma"_qs, {})});
        const QStringList before = passwordLines();
        ASSERT_EQ(before.size(), 3);
        ASSERT_FALSE(before[0].isEmpty());
        start();
        keepAndSettle();

        const QStringList after = passwordLines();
        const QByteArray written = bytes();
        for (const auto& [row, name, outcome, password] :
             {std::tuple{0, u"Alpha"_qs, c.alpha, u"pä$$wörd ˇ"_qs},
              std::tuple{1, u"Beta"_qs, c.beta, u"beta-pass"_qs}}) {
            SCOPED_TRACE(name.toStdString());
            const AccountRecord& a = account(name);
            EXPECT_EQ(a.Password, password); // in memory for this run, whatever the outcome
            EXPECT_FALSE(written.contains(password.toUtf8()));
            if (outcome == Outcome::Untouched) {
                EXPECT_EQ(after[row], before[row]);
                EXPECT_EQ(a.Kept, PasswordPlace::Scrambled);
                continue;
            }
            EXPECT_EQ(after[row], QString());
            if (outcome == Outcome::Keyring) {
                EXPECT_EQ(a.Kept, PasswordPlace::Keyring);
                EXPECT_EQ(keyring.snapshot()[a.SecretId], password);
            } else if (outcome == Outcome::Vault) {
                EXPECT_EQ(a.Kept, PasswordPlace::Vault);
                EXPECT_EQ(vault.lookup(a.SecretId).secret, password);
            } else {
                EXPECT_EQ(a.Kept, PasswordPlace::None);
            }
        }
        EXPECT_EQ(state.options.PasswordStore, c.choice);
        // Each account's name in the store is on disk whatever the outcome, so a value kept by
        // a run that ends early is replaced under the same name next time.
        {
            AppState reread;
            SettingsStore store(file);
            LoadSettings(store, reread, globals);
            for (const AccountRecord& a : reread.Accounts)
                EXPECT_EQ(a.SecretId, account(a.Name).SecretId) << a.Name.toStdString();
        }
        EXPECT_EQ(port.fallbacks.size(), c.probe == SecretStatus::Unavailable ? 1u : 0u);
        EXPECT_EQ(ui.boxes().size(), *c.failing ? 1u : 0u);

        // The next start finds every moved password where its marker says.
        if (c.alpha == Outcome::Keyring || c.alpha == Outcome::Vault) {
            keeper.reset();
            vault.lock();
            port.masters = {u"correct horse"_qs};
            start();
            EXPECT_TRUE(account(u"Alpha"_qs).Password.isEmpty());
            EXPECT_EQ(keeper->passwordFor(account(u"Alpha"_qs)), u"pä$$wörd ˇ"_qs);
        }
        keeper.reset();
    }
}

// At connect, a kept password that cannot be read is asked for, with the reason, and nothing
// kept is destroyed: three wrong master passwords leave the file as it was.
TEST_F(KeeperTest, APasswordTheStoreCannotGiveIsAskedWithTheReason) {
    writeOlderSettings({});
    start();
    state.Accounts = {test::SavedAccount(u"Alpha"_qs, u"first"_qs),
                      test::SavedAccount(u"Vaulted"_qs, u"second"_qs)};
    keepAndSettle();
    ASSERT_EQ(account(u"Alpha"_qs).Kept, PasswordPlace::Keyring);
    state.options.PasswordStore = 2;
    port.masters = {u"master one"_qs};
    keeper.reset();
    start();
    AccountRecord vaulted = account(u"Vaulted"_qs);
    state.Accounts[1].Password = u"second"_qs;
    state.options.PasswordStore = 2;
    keepAndSettle(true);
    ASSERT_EQ(account(u"Vaulted"_qs).Kept, PasswordPlace::Vault);
    vaulted = account(u"Vaulted"_qs);
    vaulted.Password.clear();
    AccountRecord alpha = test::SavedAccount(u"Alpha"_qs, {});
    alpha.SavePassword = true;
    alpha.Kept = PasswordPlace::Keyring;
    alpha.SecretId = u"gone"_qs;

    struct Case {
        const char* name;
        SecretStatus lookup;
        bool fromVault;
        std::deque<std::optional<QString>> masters;
        std::optional<PasswordAnswer> answer;
        std::optional<QString> expected;
        const char* reason;
    };
    const Case cases[] = {
        {"not in the keyring",
         SecretStatus::Ok,
         false,
         {},
         PasswordAnswer{u"typed"_qs, false},
         u"typed"_qs,
         "No password for this account"},
        {"keyring gone",
         SecretStatus::Unavailable,
         false,
         {},
         std::nullopt,
         std::nullopt,
         "not available"},
        {"damaged",
         SecretStatus::Damaged,
         false,
         {},
         PasswordAnswer{u"x"_qs, false},
         u"x"_qs,
         "damaged"},
        {"three wrong master passwords",
         SecretStatus::Ok,
         true,
         {u"a"_qs, u"b"_qs, u"c"_qs},
         std::nullopt,
         std::nullopt,
         "master password"},
        {"master password cancelled",
         SecretStatus::Ok,
         true,
         {std::nullopt},
         PasswordAnswer{u"y"_qs, false},
         u"y"_qs,
         "master password"},
    };
    const QByteArray vaultBefore = [&] {
        QFile f(PasswordKeeper::VaultPathFor(file));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }();
    ASSERT_FALSE(vaultBefore.isEmpty());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        vault.lock();
        keyring.lookupStatus = c.lookup;
        port.masters = c.masters;
        port.masterRequests.clear();
        port.password = c.answer;
        port.passwordRequests.clear();
        EXPECT_EQ(keeper->passwordFor(c.fromVault ? vaulted : alpha), c.expected);
        ASSERT_EQ(port.passwordRequests.size(), 1u);
        EXPECT_TRUE(port.passwordRequests[0].reason.contains(QString::fromUtf8(c.reason)))
            << port.passwordRequests[0].reason.toStdString();
        if (c.fromVault) {
            EXPECT_EQ(port.masterRequests.size(), c.masters.size());
        }
    }
    QFile f(PasswordKeeper::VaultPathFor(file));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), vaultBefore);
    // The right master password still opens it.
    port.masters = {u"master one"_qs};
    EXPECT_EQ(keeper->passwordFor(vaulted), u"second"_qs);
}

// A password's life in the table: kept, typed anew (replaced), Save Password turned off
// (removed), the account deleted (removed), the option turned to "do not save" (removed, and
// still known to this run); the export reads kept ones back.
TEST_F(KeeperTest, TheStoreFollowsTheTableThroughEditsAndDeletes) {
    writeOlderSettings({});
    start();
    state.Accounts = {test::SavedAccount(u"Alpha"_qs, u"one"_qs),
                      test::SavedAccount(u"Beta"_qs, u"two-secret"_qs),
                      test::SavedAccount(u"Gamma"_qs, u"three-secret"_qs)};
    keepAndSettle();
    const QString alphaId = account(u"Alpha"_qs).SecretId;
    const QString betaId = account(u"Beta"_qs).SecretId;
    ASSERT_EQ(keyring.snapshot().size(), 3u);

    state.Accounts[0].Password = u"one again"_qs;
    keepAndSettle();
    EXPECT_EQ(keyring.snapshot()[alphaId], u"one again"_qs);

    // An export reads back the passwords this run does not know.
    state.Accounts[1].Password.clear();
    ExportPasswords exported;
    bool ran = false;
    StartExport(state, messages, port, *keeper, [&](const ExportPasswords& p) {
        exported = p;
        ran = true;
    });
    ASSERT_TRUE(test::TurnEventsUntil([&] { return ran; }));
    EXPECT_TRUE(exported.include);
    EXPECT_EQ(exported.kept[betaId], u"two-secret"_qs);

    state.Accounts[0].SavePassword = false;
    keepAndSettle();
    EXPECT_EQ(keyring.snapshot().count(alphaId), 0u);
    EXPECT_EQ(account(u"Alpha"_qs).Kept, PasswordPlace::None);

    state.Accounts.erase(state.Accounts.begin() + 1);
    keepAndSettle();
    EXPECT_EQ(keyring.snapshot().count(betaId), 0u);
    EXPECT_FALSE(bytes().contains("two-secret"));

    state.Accounts[1].Password.clear(); // Gamma's, read from the keyring when it leaves it
    state.options.PasswordStore = static_cast<std::uint32_t>(PasswordStoreChoice::DoNotSave);
    keepAndSettle(true);
    EXPECT_TRUE(keyring.snapshot().empty());
    EXPECT_EQ(account(u"Gamma"_qs).Kept, PasswordPlace::None);
    EXPECT_EQ(account(u"Gamma"_qs).Password, u"three-secret"_qs);
    EXPECT_FALSE(bytes().contains("three-secret"));
}

// The UI thread runs on while the keyring takes its time (a locked keyring's prompt, a slow
// bus): keeping returns at once and the event loop keeps turning until the answer comes.
TEST_F(KeeperTest, TheUiThreadRunsOnWhileTheKeyringIsSlow) {
    writeOlderSettings({test::SavedAccount(u"Alpha"_qs, u"one"_qs)});
    keyring.gated = true;
    start();
    bool settled = false;
    QObject::connect(keeper.get(), &PasswordKeeper::settled, [&] { settled = true; });
    keeper->keepPending();
    keyring.waitEntered(); // the worker is inside store(), held
    bool ticked = false;
    QTimer::singleShot(0, [&] { ticked = true; });
    EXPECT_TRUE(test::TurnEventsUntil([&] { return ticked; }));
    EXPECT_FALSE(settled);
    keyring.open();
    EXPECT_TRUE(test::TurnEventsUntil([&] { return settled; }));
    EXPECT_EQ(account(u"Alpha"_qs).Kept, PasswordPlace::Keyring);
}

} // namespace

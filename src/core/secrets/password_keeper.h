#pragma once

#include "core/accounts/account_record.h"
#include "core/secrets/password_port.h"
#include "platform/secrets/secret_backend.h"
#include "platform/secrets/vault_secrets.h"

#include <QHash>
#include <QObject>
#include <QString>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <thread>

namespace tw {

struct AppState;
class Messages;

// The secrets of the accounts read back for an export: SecretId -> password, and the names of
// the accounts whose password could not be read.
struct ExportSecrets {
    std::map<QString, QString> passwords;
    QStringList unreadable;
};

// Keeps the saved passwords of the account table out of the settings file: in the desktop
// keyring, or in the master-password file, as the Passwords option chooses. The settings file
// holds only each account's marker (AccountRecord::Kept and SecretId).
//
// The stores block (D-Bus, a prompt, the key derivation), so every call to them runs on a
// worker: the keeper's own thread for keeping and removing, the calling worker for reading a
// password at connect. The table itself is read and changed on the UI thread only; jobs carry
// copies and their results come back queued.
class PasswordKeeper : public QObject {
    Q_OBJECT
public:
    using SaveFn = std::function<void()>;

    PasswordKeeper(AppState& state, const Messages& messages, PasswordPort& port,
                   platform::SecretBackend& keyring, platform::VaultSecrets& vault, SaveFn save,
                   QObject* parent = nullptr);
    ~PasswordKeeper() override;
    PasswordKeeper(const PasswordKeeper&) = delete;
    PasswordKeeper& operator=(const PasswordKeeper&) = delete;

    // UI thread. Starts keeping what the table holds unkept: passwords typed or imported into
    // accounts with Save Password on, the scrambled values an older version left in the
    // settings file; removes the secrets of accounts that no longer keep one or are gone.
    // With `moveAll`, also moves every kept secret to the store the option now names.
    // Asynchronous: the table's markers change, and the settings are saved, when the store has
    // answered; `settled` is emitted then.
    void keepPending(bool moveAll = false);
    // The same on the next turn of the event loop (after a sheet's copy is assigned back).
    void keepPendingSoon(bool moveAll = false);

    // Any worker thread, never the UI thread. The password to log in to `account` with: the one
    // known in this run, else the kept one, else asked. Nothing when the user cancelled.
    std::optional<QString> passwordFor(const AccountRecord& account);

    // UI thread. Reads every kept password back on the worker (an export with passwords) and
    // calls `done` on the UI thread.
    void collectForExport(std::function<void(ExportSecrets)> done);

    // Any worker thread: a key's kept passphrase, and keeping one.
    std::optional<QString> storedPassphrase(const QString& keyFile);
    void keepPassphrase(const QString& keyFile, const QString& passphrase);
    void forgetPassphrase(const QString& keyFile);

    // UI thread: a new master password for the master-password file (asks the current one
    // when the file is locked). Asynchronous.
    void changeMasterPassword();

    // True while the keeper's thread has work (tests).
    bool busy() const { return m_pending.load() > 0; }

    static QString PassphraseId(const QString& keyFile);
    // The path of the master-password file beside the settings file ("x.conf" -> "x.vault").
    static QString VaultPathFor(const QString& settingsFile);

    // Called first when the keeper goes: cancels the stores' calls in progress.
    void setCancel(std::function<void()> cancel) { m_cancel = std::move(cancel); }

signals:
    void settled();

private:
    struct Target;
    struct KeepJob;
    struct KeepResult;

    void post(std::function<void()> job);
    void onUi(std::function<void()> fn);
    void runUiCalls();
    void workerLoop();
    platform::SecretBackend* backendOf(PasswordPlace place);
    Target resolveTarget(PasswordStoreChoice choice, int waiting);
    // Unlocks (or creates) the master-password file, asking up to three times.
    bool ensureVault(bool createIfMissing);
    platform::SecretLookup lookupIn(PasswordPlace place, const QString& id);
    void rememberFetched(const QString& id, const QString& password, bool keepAgain);
    platform::SecretItem itemOf(const AccountRecord& account) const;
    QString reasonText(const platform::SecretOutcome& outcome, PasswordPlace place) const;
    QString placeName(PasswordPlace place) const;
    KeepResult keepOne(const Target& target, const KeepJob& job);
    void applyResults(const Target& target, std::vector<KeepResult> results);

    AppState& m_state;
    const Messages& m_messages;
    PasswordPort& m_port;
    platform::SecretBackend& m_keyring;
    platform::VaultSecrets& m_vault;
    SaveFn m_save;
    std::function<void()> m_cancel;

    // UI thread only: what the stores hold as far as this run knows.
    QHash<QString, QString> m_known;        // SecretId -> password kept or read
    QHash<QString, PasswordPlace> m_places; // SecretId -> store, from the table last seen
    bool m_batchRunning = false;
    bool m_again = false;
    bool m_againMoveAll = false;
    bool m_declined = false; // no store was chosen in this run: not asked again
    // The Passwords option as the workers may read it (the state is the UI thread's).
    std::atomic<std::uint32_t> m_choice{0};

    std::mutex m_unlockMutex; // one master-password question at a time

    std::mutex m_uiMutex;
    std::deque<std::function<void()>> m_uiCalls;

    std::atomic<int> m_pending{0};
    std::mutex m_jobsMutex;
    std::condition_variable m_jobsReady;
    std::deque<std::function<void()>> m_jobs;
    bool m_stopping = false;
    std::thread m_thread;
};

} // namespace tw

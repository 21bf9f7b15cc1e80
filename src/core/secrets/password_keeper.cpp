#include "core/secrets/password_keeper.h"

#include "core/session/protocol_traits.h"
#include "core/state/app_state.h"
#include "core/text/messages.h"

#include <QDir>
#include <QFileInfo>
#include <QMetaObject>
#include <QSet>
#include <QUuid>

#include <utility>

namespace tw {

namespace {

constexpr int kKeyringNowId = 5700;
constexpr int kVaultNowId = 5701;
constexpr int kNotSavedNowId = 5702;
constexpr int kMovedId = 5703;
constexpr int kKeepFailedLogId = 5704;
constexpr int kKeepFailedCaptionId = 5705;
constexpr int kKeepFailedTextId = 5706;
constexpr int kKeyringNameId = 5707;
constexpr int kVaultNameId = 5708;
constexpr int kReadFailedLogId = 5709;
constexpr int kWrongMasterId = 5710;
constexpr int kNoStoreChosenId = 5711;
constexpr int kNotFoundReasonId = 5713;
constexpr int kUnavailableReasonId = 5714;
constexpr int kLockedReasonId = 5715;
constexpr int kDamagedReasonId = 5716;
constexpr int kNoMasterReasonId = 5717;
constexpr int kNotSavedReasonId = 5718;
constexpr int kRemoveFailedLogId = 5719;
constexpr int kMasterChangedId = 5720;
constexpr int kVaultDamagedId = 5721;
constexpr int kMasterChangeFailedId = 5722;

bool isStore(PasswordPlace place) {
    return place == PasswordPlace::Keyring || place == PasswordPlace::Vault;
}

PasswordStoreChoice choiceOf(std::uint32_t number) {
    return number <= 3 ? PasswordStoreChoice(number) : PasswordStoreChoice::NotChosen;
}

QString protocolName(ftp::Protocol protocol) {
    return protocol == ftp::Protocol::Sftp ? QStringLiteral("sftp") : QStringLiteral("ftp");
}

} // namespace

// Where this batch keeps its passwords, and what the Passwords option becomes.
struct PasswordKeeper::Target {
    PasswordPlace place = PasswordPlace::None;
    PasswordStoreChoice choice = PasswordStoreChoice::NotChosen;
    bool doNotSave = false; // the user chose not to save: scrambled values are dropped
    bool declined = false;  // no store could be used or chosen: nothing changes
    QString reason;
};

struct PasswordKeeper::KeepJob {
    QString id;
    QString account;
    PasswordPlace from = PasswordPlace::None;
    QString password; // empty: read from `from` first (a move between stores)
    platform::SecretItem item;
};

struct PasswordKeeper::KeepResult {
    QString id;
    QString account;
    PasswordPlace from = PasswordPlace::None;
    PasswordPlace place = PasswordPlace::None;
    bool ok = false;
    QString password;
    QString detail;
};

PasswordKeeper::PasswordKeeper(AppState& state, const Messages& messages, PasswordPort& port,
                               platform::SecretBackend& keyring, platform::VaultSecrets& vault,
                               SaveFn save, QObject* parent)
    : QObject(parent), m_state(state), m_messages(messages), m_port(port), m_keyring(keyring),
      m_vault(vault), m_save(std::move(save)) {
    m_choice = m_state.options.PasswordStore;
    for (const AccountRecord& a : m_state.Accounts)
        if (isStore(a.Kept) && !a.SecretId.isEmpty())
            m_places.insert(a.SecretId, a.Kept);
    m_thread = std::thread([this] { workerLoop(); });
}

PasswordKeeper::~PasswordKeeper() {
    if (m_cancel)
        m_cancel(); // a keyring call in progress (a prompt, a slow bus) ends now
    {
        const std::lock_guard lock(m_jobsMutex);
        m_stopping = true;
        m_jobs.clear();
    }
    m_jobsReady.notify_all();
    m_thread.join();
}

QString PasswordKeeper::VaultPathFor(const QString& settingsFile) {
    const QFileInfo info(settingsFile);
    return info.dir().filePath(info.completeBaseName() + QStringLiteral(".vault"));
}

QString PasswordKeeper::PassphraseId(const QString& keyFile) {
    return QStringLiteral("passphrase:") + keyFile;
}

void PasswordKeeper::post(std::function<void()> job) {
    ++m_pending;
    {
        const std::lock_guard lock(m_jobsMutex);
        m_jobs.push_back(std::move(job));
    }
    m_jobsReady.notify_one();
}

// Results go through a queue of the keeper's own, under its lock, so that what a worker built
// is visibly handed over (also to ThreadSanitizer, which cannot see into Qt's event queue).
void PasswordKeeper::onUi(std::function<void()> fn) {
    {
        const std::lock_guard lock(m_uiMutex);
        m_uiCalls.push_back(std::move(fn));
    }
    QMetaObject::invokeMethod(
        this, [this] { runUiCalls(); }, Qt::QueuedConnection);
}

void PasswordKeeper::runUiCalls() {
    std::deque<std::function<void()>> calls;
    {
        const std::lock_guard lock(m_uiMutex);
        calls.swap(m_uiCalls);
    }
    for (std::function<void()>& call : calls)
        call();
}

void PasswordKeeper::workerLoop() {
    for (;;) {
        std::function<void()> job;
        {
            std::unique_lock lock(m_jobsMutex);
            m_jobsReady.wait(lock, [this] { return m_stopping || !m_jobs.empty(); });
            if (m_stopping)
                return;
            job = std::move(m_jobs.front());
            m_jobs.pop_front();
        }
        job();
        --m_pending;
    }
}

platform::SecretBackend* PasswordKeeper::backendOf(PasswordPlace place) {
    if (place == PasswordPlace::Keyring)
        return &m_keyring;
    if (place == PasswordPlace::Vault)
        return &m_vault;
    return nullptr;
}

QString PasswordKeeper::placeName(PasswordPlace place) const {
    return m_messages.LoadStringText(place == PasswordPlace::Vault ? kVaultNameId : kKeyringNameId);
}

platform::SecretItem PasswordKeeper::itemOf(const AccountRecord& a) const {
    platform::SecretItem item;
    item.id = a.SecretId;
    item.kind = QStringLiteral("password");
    item.host = a.UseIP && !a.IP.isEmpty() ? a.IP : a.URL;
    item.user = a.Login;
    item.protocol = protocolName(a.Protocol);
    item.label = QStringLiteral("Tarnwick 2000: %1@%2 (%3)").arg(item.user, item.host, a.Name);
    return item;
}

bool PasswordKeeper::ensureVault(bool createIfMissing) {
    const std::lock_guard lock(m_unlockMutex);
    if (m_vault.isUnlocked())
        return true;
    if (!m_vault.exists()) {
        if (!createIfMissing)
            return false;
        MasterPasswordRequest request;
        request.mode = MasterPasswordRequest::Mode::Create;
        const std::optional<QString> master = m_port.askMasterPassword(request);
        if (!master)
            return false;
        const platform::SecretOutcome made = m_vault.create(*master);
        if (!made.ok()) {
            m_messages.LogMessage(kVaultDamagedId, {made.detail});
            return false;
        }
        return true;
    }
    MasterPasswordRequest request;
    for (int attempt = 1; attempt <= kMasterPasswordAttempts; ++attempt) {
        request.attempt = attempt;
        const std::optional<QString> master = m_port.askMasterPassword(request);
        if (!master)
            return false;
        switch (m_vault.unlock(*master)) {
        case platform::VaultSecrets::UnlockResult::Ok:
            return true;
        case platform::VaultSecrets::UnlockResult::WrongPassword:
            request.wrong = true;
            continue;
        case platform::VaultSecrets::UnlockResult::Missing:
        case platform::VaultSecrets::UnlockResult::Damaged:
            // Never replaced or reset: the file stays for the user to restore or remove.
            m_messages.LogMessage(kVaultDamagedId, {QString()});
            return false;
        }
    }
    m_messages.LogMessage(kWrongMasterId);
    return false;
}

PasswordKeeper::Target PasswordKeeper::resolveTarget(PasswordStoreChoice choice, int waiting) {
    Target t;
    t.choice = choice;
    if (choice == PasswordStoreChoice::DoNotSave) {
        t.doNotSave = true;
        return t;
    }
    if (choice == PasswordStoreChoice::MasterPassword) {
        if (ensureVault(true))
            t.place = PasswordPlace::Vault;
        else
            t.declined = true;
        return t;
    }
    const platform::SecretOutcome probe = m_keyring.probe();
    // A locked keyring is there: storing shows the desktop's unlock prompt, and an item whose
    // prompt is dismissed stays where it was.
    if (probe.ok() || probe.status == platform::SecretStatus::Locked) {
        t.place = PasswordPlace::Keyring;
        t.choice = PasswordStoreChoice::Keyring;
        return t;
    }
    StoreFallbackRequest request;
    request.reason = probe.detail;
    request.waiting = waiting;
    switch (m_port.chooseFallback(request)) {
    case StoreFallback::MasterPassword:
        t.choice = PasswordStoreChoice::MasterPassword;
        if (ensureVault(true))
            t.place = PasswordPlace::Vault;
        else
            t.declined = true;
        break;
    case StoreFallback::DoNotSave:
        t.choice = PasswordStoreChoice::DoNotSave;
        t.doNotSave = true;
        break;
    case StoreFallback::Cancel:
        t.declined = true;
        break;
    }
    return t;
}

void PasswordKeeper::keepPendingSoon(bool moveAll) {
    onUi([this, moveAll] { keepPending(moveAll); });
}

void PasswordKeeper::keepPending(bool moveAll) {
    if (m_batchRunning) {
        m_again = true;
        m_againMoveAll = m_againMoveAll || moveAll;
        return;
    }
    m_choice = m_state.options.PasswordStore;
    if (moveAll)
        m_declined = false; // a store chosen in the options: asked again if it cannot be used
    const PasswordStoreChoice choice = choiceOf(m_state.options.PasswordStore);
    const PasswordPlace wanted =
        choice == PasswordStoreChoice::MasterPassword ? PasswordPlace::Vault
        : choice == PasswordStoreChoice::DoNotSave    ? PasswordPlace::None
                                                      : PasswordPlace::Keyring;
    std::vector<KeepJob> keeps;
    std::vector<std::pair<QString, PasswordPlace>> removals;
    bool tableChanged = false;
    QSet<QString> present;
    for (AccountRecord& a : m_state.Accounts) {
        const bool wants = a.SavePassword && !a.Anonymous;
        if (!wants) {
            if (isStore(a.Kept))
                removals.emplace_back(a.SecretId, a.Kept);
            if (a.Kept != PasswordPlace::None) {
                a.Kept = PasswordPlace::None; // the next save writes no password
                tableChanged = true;
            }
            continue;
        }
        if (!a.SecretId.isEmpty())
            present.insert(a.SecretId);
        const bool known = !a.Password.isEmpty();
        bool keep = false;
        if (a.Kept == PasswordPlace::None || a.Kept == PasswordPlace::Scrambled)
            keep = known;
        else if (known && m_known.value(a.SecretId) != a.Password)
            keep = true; // typed anew over the kept one
        else if (moveAll && a.Kept != wanted)
            keep = true;
        if (!keep)
            continue;
        if (a.SecretId.isEmpty()) {
            // Saved before the store is asked, so that an item kept by a run that ends before
            // its marker is saved is found, and replaced, under the same name next time.
            a.SecretId = QUuid::createUuid().toString(QUuid::WithoutBraces);
            present.insert(a.SecretId);
            tableChanged = true;
        }
        keeps.push_back({a.SecretId, a.Name, a.Kept, a.Password, itemOf(a)});
    }
    // Accounts deleted, or replaced by an import, take their secrets along.
    for (auto it = m_places.cbegin(); it != m_places.cend(); ++it)
        if (!present.contains(it.key()))
            removals.emplace_back(it.key(), it.value());
    m_places.clear();
    for (const AccountRecord& a : m_state.Accounts)
        if (a.SavePassword && isStore(a.Kept))
            m_places.insert(a.SecretId, a.Kept);

    if (keeps.empty() && removals.empty()) {
        if (tableChanged && m_save)
            m_save();
        emit settled();
        return;
    }
    if (keeps.empty() || m_declined) {
        // Only removals (or no store this run): nothing to ask.
        if (m_declined && !keeps.empty())
            m_messages.LogMessage(kNoStoreChosenId);
        keeps.clear();
    }
    m_batchRunning = true;
    if (tableChanged && m_save)
        m_save();
    post([this, choice, keeps = std::move(keeps), removals = std::move(removals)]() mutable {
        for (const auto& [id, place] : removals) {
            if (platform::SecretBackend* backend = backendOf(place);
                backend && (place != PasswordPlace::Vault || ensureVault(false))) {
                const platform::SecretOutcome removed = backend->remove(id);
                if (!removed.ok())
                    m_messages.LogMessage(kRemoveFailedLogId, {placeName(place), removed.detail});
            }
        }
        Target target;
        std::vector<KeepResult> results;
        if (!keeps.empty()) {
            target = resolveTarget(choice, static_cast<int>(keeps.size()));
            for (const KeepJob& job : keeps)
                results.push_back(keepOne(target, job));
        }
        onUi([this, target, results = std::move(results)]() mutable {
            applyResults(target, std::move(results));
        });
    });
}

// On the keeper's thread: one password into the batch's store (read first from the store it
// is in when this run does not know it), or out of its store when passwords are not saved.
PasswordKeeper::KeepResult PasswordKeeper::keepOne(const Target& target, const KeepJob& job) {
    KeepResult r;
    r.id = job.id;
    r.account = job.account;
    r.from = job.from;
    r.place = target.place;
    r.password = job.password;
    if (target.declined) {
        r.detail = target.reason;
        return r;
    }
    const bool elsewhere = isStore(job.from) && job.from != target.place;
    if (!target.doNotSave && !elsewhere && job.password.isEmpty()) {
        r.ok = true; // already there
        return r;
    }
    const bool readBack = r.password.isEmpty() && isStore(job.from);
    if (readBack) {
        const platform::SecretLookup old = lookupIn(job.from, job.id);
        if (!old.outcome.ok() && !target.doNotSave) {
            r.detail = reasonText(old.outcome, job.from);
            return r;
        }
        r.password = old.secret;
    }
    if (!target.doNotSave) {
        const platform::SecretOutcome kept = backendOf(target.place)->store(job.item, r.password);
        r.ok = kept.ok();
        r.detail = kept.ok() ? QString() : reasonText(kept, target.place);
    } else {
        r.ok = true;
    }
    // Moved (or no longer saved): the old store lets go only once the new place holds it.
    if (r.ok && elsewhere) {
        // A master-password file the read could not open is not asked for again.
        const bool reachable = job.from != PasswordPlace::Vault || m_vault.isUnlocked() ||
                               (!readBack && ensureVault(false));
        if (reachable)
            backendOf(job.from)->remove(job.id);
    }
    return r;
}

void PasswordKeeper::applyResults(const Target& target, std::vector<KeepResult> results) {
    m_batchRunning = false;
    bool changed = false;
    bool choiceChanged = false;
    if (!results.empty() && target.declined)
        m_declined = true;
    if (!results.empty() && !target.declined &&
        target.choice != choiceOf(m_state.options.PasswordStore)) {
        m_state.options.PasswordStore = static_cast<std::uint32_t>(target.choice);
        m_choice = m_state.options.PasswordStore;
        changed = choiceChanged = true;
    }
    int moved = 0;
    QStringList failed;
    if (target.declined && !results.empty()) {
        // Nothing was kept or dropped: scrambled values stay where they were.
        m_messages.LogMessage(kNoStoreChosenId);
        if (!target.reason.isEmpty())
            m_messages.LogText(target.reason);
        results.clear();
    }
    for (KeepResult& r : results) {
        AccountRecord* record = nullptr;
        for (AccountRecord& a : m_state.Accounts)
            if (a.SecretId == r.id)
                record = &a;
        if (!r.ok) {
            failed << r.account;
            m_messages.LogMessage(kKeepFailedLogId, {r.account, r.detail});
            continue;
        }
        if (!record)
            continue; // deleted meanwhile: the next batch removes its secret
        if (target.doNotSave) {
            if (record->Password.isEmpty())
                record->Password = r.password;
            if (record->Kept != PasswordPlace::None) {
                record->Kept = PasswordPlace::None;
                changed = true;
            }
            m_places.remove(r.id);
            continue;
        }
        if (record->Kept == PasswordPlace::Scrambled)
            ++moved;
        if (!r.password.isEmpty())
            m_known.insert(r.id, r.password);
        if (record->Kept != r.place) {
            record->Kept = r.place;
            changed = true;
        }
        m_places.insert(r.id, r.place);
    }
    if (changed) {
        // Said once, when the store is chosen; later batches keep to it quietly.
        if (choiceChanged && target.doNotSave)
            m_messages.LogMessage(kNotSavedNowId);
        else if (choiceChanged && target.place == PasswordPlace::Vault)
            m_messages.LogMessage(kVaultNowId);
        else if (choiceChanged && target.place == PasswordPlace::Keyring)
            m_messages.LogMessage(kKeyringNowId);
        if (moved > 0)
            m_messages.LogMessage(kMovedId, {placeName(target.place), moved});
        if (m_save)
            m_save();
    }
    if (!failed.isEmpty())
        m_messages.SystemWarningBox(kKeepFailedCaptionId, kKeepFailedTextId,
                                    {placeName(target.place), failed.join(QStringLiteral(", "))});
    if (m_again) {
        const bool moveAll = m_againMoveAll;
        m_again = m_againMoveAll = false;
        keepPending(moveAll);
        return;
    }
    emit settled();
}

QString PasswordKeeper::reasonText(const platform::SecretOutcome& outcome,
                                   PasswordPlace place) const {
    switch (outcome.status) {
    case platform::SecretStatus::Ok:
        return {};
    case platform::SecretStatus::NotFound:
        return m_messages.FormatStringResource(kNotFoundReasonId, {placeName(place)})
            .value_or(QString());
    case platform::SecretStatus::Unavailable:
        return m_messages.FormatStringResource(kUnavailableReasonId, {outcome.detail})
            .value_or(QString());
    case platform::SecretStatus::Locked:
        return m_messages.LoadStringText(place == PasswordPlace::Vault ? kNoMasterReasonId
                                                                       : kLockedReasonId);
    case platform::SecretStatus::Damaged:
        return m_messages.LoadStringText(kDamagedReasonId);
    case platform::SecretStatus::Failed:
        break;
    }
    return outcome.detail;
}

platform::SecretLookup PasswordKeeper::lookupIn(PasswordPlace place, const QString& id) {
    if (place == PasswordPlace::Vault && !ensureVault(false)) {
        platform::SecretLookup refused;
        refused.outcome.status = platform::SecretStatus::Locked;
        return refused;
    }
    if (platform::SecretBackend* backend = backendOf(place))
        return backend->lookup(id);
    platform::SecretLookup none;
    none.outcome.status = platform::SecretStatus::NotFound;
    return none;
}

void PasswordKeeper::rememberFetched(const QString& id, const QString& password, bool keepAgain) {
    onUi([this, id, password, keepAgain] {
        for (AccountRecord& a : m_state.Accounts) {
            if (a.SecretId != id)
                continue;
            if (!keepAgain)
                m_known.insert(id, password);
            if (a.Password.isEmpty() || keepAgain)
                a.Password = password;
        }
        if (keepAgain)
            keepPending();
    });
}

std::optional<QString> PasswordKeeper::passwordFor(const AccountRecord& account) {
    if (account.Anonymous)
        return QString();
    if (!account.Password.isEmpty())
        return account.Password;
    PasswordRequest request;
    request.account = account.Name;
    request.user = account.Login;
    request.host = account.UseIP && !account.IP.isEmpty() ? account.IP : account.URL;
    if (account.SavePassword && isStore(account.Kept) && !account.SecretId.isEmpty()) {
        const platform::SecretLookup found = lookupIn(account.Kept, account.SecretId);
        if (found.outcome.ok()) {
            rememberFetched(account.SecretId, found.secret, false);
            return found.secret;
        }
        request.reason = reasonText(found.outcome, account.Kept);
        m_messages.LogMessage(kReadFailedLogId, {account.Name, request.reason});
    } else if (account.SavePassword &&
               choiceOf(m_choice.load()) == PasswordStoreChoice::DoNotSave &&
               TraitsOf(account.Protocol).passwordRequired) {
        request.reason = m_messages.LoadStringText(kNotSavedReasonId);
        request.offerSave = false;
    } else {
        return account.Password;
    }
    const std::optional<PasswordAnswer> answer = m_port.askPassword(request);
    if (!answer)
        return std::nullopt;
    if (!account.SecretId.isEmpty())
        rememberFetched(account.SecretId, answer->password, answer->save);
    return answer->password;
}

void PasswordKeeper::collectForExport(std::function<void(ExportSecrets)> done) {
    std::vector<std::tuple<QString, QString, PasswordPlace>> wanted;
    ExportSecrets known;
    for (const AccountRecord& a : m_state.Accounts) {
        if (!a.Password.isEmpty() || !a.SavePassword || !isStore(a.Kept))
            continue;
        wanted.emplace_back(a.SecretId, a.Name, a.Kept);
    }
    if (wanted.empty()) {
        done(std::move(known));
        return;
    }
    post([this, wanted = std::move(wanted), done = std::move(done)]() mutable {
        ExportSecrets secrets;
        for (const auto& [id, name, place] : wanted) {
            const platform::SecretLookup found = lookupIn(place, id);
            if (found.outcome.ok())
                secrets.passwords.emplace(id, found.secret);
            else
                secrets.unreadable << name;
        }
        onUi([done = std::move(done), secrets = std::move(secrets)]() mutable {
            done(std::move(secrets));
        });
    });
}

std::optional<QString> PasswordKeeper::storedPassphrase(const QString& keyFile) {
    const PasswordStoreChoice choice = choiceOf(m_choice.load());
    PasswordPlace place = PasswordPlace::Keyring;
    if (choice == PasswordStoreChoice::DoNotSave)
        return std::nullopt;
    if (choice == PasswordStoreChoice::MasterPassword) {
        if (!m_vault.exists() || !m_vault.ids().contains(PassphraseId(keyFile)))
            return std::nullopt;
        place = PasswordPlace::Vault;
    }
    const platform::SecretLookup found = lookupIn(place, PassphraseId(keyFile));
    if (!found.outcome.ok())
        return std::nullopt;
    return found.secret;
}

void PasswordKeeper::keepPassphrase(const QString& keyFile, const QString& passphrase) {
    const PasswordStoreChoice choice = choiceOf(m_choice.load());
    post([this, keyFile, passphrase, choice] {
        const Target target = resolveTarget(choice, 1);
        if (target.declined || target.doNotSave)
            return;
        platform::SecretItem item;
        item.id = PassphraseId(keyFile);
        item.kind = QStringLiteral("passphrase");
        item.keyFile = keyFile;
        item.label = QStringLiteral("Tarnwick 2000: passphrase of %1").arg(keyFile);
        const platform::SecretOutcome kept = backendOf(target.place)->store(item, passphrase);
        if (!kept.ok())
            m_messages.LogMessage(kKeepFailedLogId, {keyFile, reasonText(kept, target.place)});
        if (target.choice != choiceOf(m_choice.load()))
            onUi([this, choice = target.choice] {
                m_state.options.PasswordStore = static_cast<std::uint32_t>(choice);
                m_choice = m_state.options.PasswordStore;
                if (m_save)
                    m_save();
            });
    });
}

void PasswordKeeper::forgetPassphrase(const QString& keyFile) {
    post([this, keyFile] {
        m_keyring.remove(PassphraseId(keyFile));
        if (m_vault.isUnlocked())
            m_vault.remove(PassphraseId(keyFile));
    });
}

void PasswordKeeper::changeMasterPassword() {
    post([this] {
        if (!m_vault.exists()) {
            // No file yet: this makes it, with the master password asked now.
            if (ensureVault(true))
                m_messages.LogMessage(kMasterChangedId);
            return;
        }
        if (!ensureVault(false))
            return;
        MasterPasswordRequest request;
        request.mode = MasterPasswordRequest::Mode::Create;
        const std::optional<QString> master = m_port.askMasterPassword(request);
        if (!master)
            return;
        const platform::SecretOutcome changed = m_vault.changeMasterPassword(*master);
        if (changed.ok())
            m_messages.LogMessage(kMasterChangedId);
        else
            m_messages.LogMessage(kMasterChangeFailedId, {changed.detail});
    });
}

} // namespace tw

#include "platform/secrets/vault_secrets.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonValue>
#include <QSaveFile>

#include <sys/stat.h>

#include <cstdint>
#include <utility>

namespace tw::platform {

namespace {

constexpr int kFormatVersion = 1;
const QString kFormatName = QStringLiteral("Tarnwick 2000 password vault");
const QString kKdfName = QStringLiteral("scrypt");
const QString kCipherName = QStringLiteral("AES-256-GCM");
// The verifier's plain text and authenticated data: no entry id can collide with the latter,
// since ids never hold a NUL.
const QByteArray kVerifierText = QByteArrayLiteral("Tarnwick 2000 vault key check");
const QByteArray kVerifierAad = QByteArrayLiteral("\0verifier");
constexpr int kSaltSize = 16;
// A vault file is a few kilobytes; anything far larger is not one.
constexpr qint64 kMaxFileSize = qint64{8} << 20;

// Bounds on parameters read from a file: scrypt takes 128 * r * 2^logN bytes and time in
// proportion to r * p * 2^logN, so a hostile file can ask for at most 256 MiB and 16 times the
// work of the program's own parameters (logN 17, r 8, p 1).
bool AcceptableKdf(const VaultKdf& kdf) {
    if (kdf.logN < 10 || kdf.logN > 22 || kdf.r < 1 || kdf.r > 32 || kdf.p < 1 || kdf.p > 16)
        return false;
    if (kdf.salt.size() < kSaltSize || kdf.salt.size() > 64)
        return false;
    const std::uint64_t n = std::uint64_t{1} << kdf.logN;
    const auto r = static_cast<std::uint64_t>(kdf.r);
    const auto p = static_cast<std::uint64_t>(kdf.p);
    return 128 * r * n <= (std::uint64_t{1} << 28) && r * p * n <= (std::uint64_t{1} << 24);
}

QByteArray PasswordBytes(const QString& password) {
    // The same password typed with composed or decomposed accents gives the same key.
    return password.normalized(QString::NormalizationForm_C).toUtf8();
}

QByteArray EntryAad(const QString& id) {
    return id.toUtf8();
}

std::optional<QByteArray> Base64Field(const QJsonObject& o, const QString& name) {
    const QJsonValue v = o.value(name);
    if (!v.isString())
        return std::nullopt;
    auto decoded = QByteArray::fromBase64Encoding(v.toString().toLatin1(),
                                                  QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded)
        return std::nullopt;
    return *decoded;
}

std::optional<int> IntField(const QJsonObject& o, const QString& name) {
    const QJsonValue v = o.value(name);
    if (!v.isDouble())
        return std::nullopt;
    const double d = v.toDouble();
    if (d < -1e6 || d > 1e6 || d != static_cast<double>(static_cast<int>(d)))
        return std::nullopt;
    return static_cast<int>(d);
}

// What a vault file holds before any key is derived.
struct VaultHeader {
    VaultKdf kdf;
    QByteArray verifier;
    QJsonObject entries;
};

enum class ReadResult { Ok, Missing, Damaged };

ReadResult ReadVault(const QString& path, VaultHeader& out, QString* why = nullptr) {
    QFile f(path);
    if (!f.exists())
        return ReadResult::Missing;
    auto damaged = [why](const QString& reason) {
        if (why)
            *why = reason;
        return ReadResult::Damaged;
    };
    if (!f.open(QIODevice::ReadOnly))
        return damaged(f.errorString());
    if (f.size() > kMaxFileSize)
        return damaged(QStringLiteral("The password vault is too large to be one."));
    const QByteArray data = f.read(kMaxFileSize + 1);
    if (data.size() > kMaxFileSize)
        return damaged(QStringLiteral("The password vault is too large to be one."));
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(data, &parseError);
    if (doc.isNull() || !doc.isObject())
        return damaged(QStringLiteral("The password vault is not readable JSON: %1")
                           .arg(parseError.errorString()));
    const QJsonObject root = doc.object();
    if (root.value(QStringLiteral("format")).toString() != kFormatName ||
        IntField(root, QStringLiteral("version")) != kFormatVersion ||
        root.value(QStringLiteral("cipher")).toString() != kCipherName)
        return damaged(QStringLiteral("The file is not a password vault of this version."));
    const QJsonObject kdf = root.value(QStringLiteral("kdf")).toObject();
    const auto logN = IntField(kdf, QStringLiteral("logN"));
    const auto r = IntField(kdf, QStringLiteral("r"));
    const auto p = IntField(kdf, QStringLiteral("p"));
    const auto salt = Base64Field(kdf, QStringLiteral("salt"));
    const auto verifier = Base64Field(root, QStringLiteral("verifier"));
    if (kdf.value(QStringLiteral("name")).toString() != kKdfName || !logN || !r || !p || !salt ||
        !verifier)
        return damaged(QStringLiteral("The password vault's key parameters are missing."));
    out.kdf = VaultKdf{*logN, *r, *p, *salt};
    if (!AcceptableKdf(out.kdf))
        return damaged(QStringLiteral("The password vault's key parameters are out of bounds."));
    const QJsonValue entries = root.value(QStringLiteral("entries"));
    if (!entries.isObject())
        return damaged(QStringLiteral("The password vault holds no entry table."));
    out.verifier = *verifier;
    out.entries = entries.toObject();
    return ReadResult::Ok;
}

QJsonObject EntryObject(const SecretItem& item, const QByteArray& sealed) {
    QJsonObject o;
    o.insert(QStringLiteral("kind"), item.kind);
    o.insert(QStringLiteral("label"), item.label);
    o.insert(QStringLiteral("host"), item.host);
    o.insert(QStringLiteral("user"), item.user);
    o.insert(QStringLiteral("protocol"), item.protocol);
    o.insert(QStringLiteral("keyFile"), item.keyFile);
    o.insert(QStringLiteral("value"), QString::fromLatin1(sealed.toBase64()));
    return o;
}

SecretOutcome Outcome(SecretStatus status, const QString& detail) {
    return {status, detail};
}

SecretOutcome LockedOutcome() {
    return Outcome(SecretStatus::Locked, QStringLiteral("The password vault is locked."));
}

} // namespace

VaultSecrets::VaultSecrets(QString filePath, VaultKdf newVaultCost)
    : m_path(std::move(filePath)), m_newCost(std::move(newVaultCost)) {}

VaultSecrets::~VaultSecrets() {
    lock();
}

bool VaultSecrets::exists() const {
    return QFileInfo::exists(m_path);
}

bool VaultSecrets::isUnlocked() const {
    std::lock_guard guard(m_mutex);
    return m_key.has_value();
}

VaultSecrets::UnlockResult VaultSecrets::unlock(const QString& masterPassword) {
    VaultHeader header;
    switch (ReadVault(m_path, header)) {
    case ReadResult::Missing:
        return UnlockResult::Missing;
    case ReadResult::Damaged:
        return UnlockResult::Damaged;
    case ReadResult::Ok:
        break;
    }
    QByteArray password = PasswordBytes(masterPassword);
    auto key = DeriveVaultKey(password, header.kdf);
    WipeBytes(password);
    if (!key)
        return UnlockResult::Damaged;
    auto check = OpenSealed(*key, header.verifier, kVerifierAad);
    if (!check) {
        WipeBytes(*key);
        return UnlockResult::WrongPassword;
    }
    if (*check != kVerifierText) {
        WipeBytes(*key);
        return UnlockResult::Damaged;
    }
    std::lock_guard guard(m_mutex);
    forgetLocked();
    m_key = std::move(key);
    m_kdf = header.kdf;
    m_verifier = header.verifier;
    m_entries = header.entries;
    return UnlockResult::Ok;
}

SecretOutcome VaultSecrets::create(const QString& masterPassword) {
    if (exists())
        return Outcome(SecretStatus::Failed,
                       QStringLiteral("A password vault already exists at %1.").arg(m_path));
    VaultKdf kdf = m_newCost;
    kdf.salt = RandomBytes(kSaltSize);
    QByteArray password = PasswordBytes(masterPassword);
    auto key = kdf.salt.isEmpty() ? std::nullopt : DeriveVaultKey(password, kdf);
    WipeBytes(password);
    if (!key)
        return Outcome(SecretStatus::Failed, QStringLiteral("The vault key cannot be derived."));
    const QByteArray verifier = Seal(*key, kVerifierText, kVerifierAad);
    std::lock_guard guard(m_mutex);
    const SecretOutcome written = writeLocked({}, kdf, verifier);
    if (!written.ok()) {
        WipeBytes(*key);
        return written;
    }
    forgetLocked();
    m_key = std::move(key);
    m_kdf = kdf;
    m_verifier = verifier;
    return {};
}

SecretOutcome VaultSecrets::changeMasterPassword(const QString& newMasterPassword) {
    std::lock_guard guard(m_mutex);
    if (!m_key)
        return LockedOutcome();
    VaultKdf kdf = m_newCost;
    kdf.salt = RandomBytes(kSaltSize);
    QByteArray password = PasswordBytes(newMasterPassword);
    auto key = kdf.salt.isEmpty() ? std::nullopt : DeriveVaultKey(password, kdf);
    WipeBytes(password);
    if (!key)
        return Outcome(SecretStatus::Failed, QStringLiteral("The vault key cannot be derived."));
    QJsonObject entries;
    for (auto it = m_entries.constBegin(); it != m_entries.constEnd(); ++it) {
        QJsonObject entry = it.value().toObject();
        const auto sealed = Base64Field(entry, QStringLiteral("value"));
        auto plain = sealed ? OpenSealed(*m_key, *sealed, EntryAad(it.key())) : std::nullopt;
        if (plain) {
            entry.insert(QStringLiteral("value"),
                         QString::fromLatin1(Seal(*key, *plain, EntryAad(it.key())).toBase64()));
            WipeBytes(*plain);
            entries.insert(it.key(), entry);
        } else {
            entries.insert(it.key(), it.value());
        }
    }
    const QByteArray verifier = Seal(*key, kVerifierText, kVerifierAad);
    const SecretOutcome written = writeLocked(entries, kdf, verifier);
    if (!written.ok()) {
        WipeBytes(*key);
        return written;
    }
    WipeBytes(*m_key);
    m_key = std::move(key);
    m_kdf = kdf;
    m_verifier = verifier;
    m_entries = entries;
    return {};
}

void VaultSecrets::lock() {
    std::lock_guard guard(m_mutex);
    forgetLocked();
}

void VaultSecrets::forgetLocked() {
    if (m_key)
        WipeBytes(*m_key);
    m_key.reset();
    m_entries = {};
    m_verifier.clear();
}

QStringList VaultSecrets::ids() const {
    {
        std::lock_guard guard(m_mutex);
        if (m_key)
            return m_entries.keys();
    }
    VaultHeader header;
    if (ReadVault(m_path, header) != ReadResult::Ok)
        return {};
    return header.entries.keys();
}

SecretOutcome VaultSecrets::probe() {
    if (isUnlocked())
        return {};
    if (!exists())
        return Outcome(SecretStatus::Unavailable,
                       QStringLiteral("There is no password vault at %1.").arg(m_path));
    return LockedOutcome();
}

SecretLookup VaultSecrets::lookup(const QString& id) {
    std::lock_guard guard(m_mutex);
    if (!m_key)
        return {LockedOutcome(), {}};
    const auto found = m_entries.constFind(id);
    if (found == m_entries.constEnd())
        return {Outcome(SecretStatus::NotFound, {}), {}};
    const auto sealed = Base64Field(found.value().toObject(), QStringLiteral("value"));
    if (!sealed)
        return {Outcome(SecretStatus::Damaged,
                        QStringLiteral("The vault's entry for %1 is malformed.").arg(id)),
                {}};
    auto plain = OpenSealed(*m_key, *sealed, EntryAad(id));
    if (!plain)
        return {
            Outcome(SecretStatus::Damaged,
                    QStringLiteral("The vault's entry for %1 fails its integrity check.").arg(id)),
            {}};
    SecretLookup result{{}, QString::fromUtf8(*plain)};
    WipeBytes(*plain);
    return result;
}

SecretOutcome VaultSecrets::store(const SecretItem& item, const QString& secret) {
    if (item.id.isEmpty() || item.id.contains(QChar(u'\0')))
        return Outcome(SecretStatus::Failed, QStringLiteral("A secret needs an id."));
    std::lock_guard guard(m_mutex);
    if (!m_key)
        return LockedOutcome();
    QByteArray plain = secret.toUtf8();
    const QByteArray sealed = Seal(*m_key, plain, EntryAad(item.id));
    WipeBytes(plain);
    if (sealed.isEmpty())
        return Outcome(SecretStatus::Failed, QStringLiteral("The secret cannot be encrypted."));
    QJsonObject entries = m_entries;
    entries.insert(item.id, EntryObject(item, sealed));
    const SecretOutcome written = writeLocked(entries, m_kdf, m_verifier);
    if (written.ok())
        m_entries = entries;
    return written;
}

SecretOutcome VaultSecrets::remove(const QString& id) {
    std::lock_guard guard(m_mutex);
    if (!m_key)
        return LockedOutcome();
    if (!m_entries.contains(id))
        return {};
    QJsonObject entries = m_entries;
    entries.remove(id);
    const SecretOutcome written = writeLocked(entries, m_kdf, m_verifier);
    if (written.ok())
        m_entries = entries;
    return written;
}

SecretOutcome VaultSecrets::writeLocked(const QJsonObject& entries, const VaultKdf& kdf,
                                        const QByteArray& verifier) const {
    if (verifier.isEmpty())
        return Outcome(SecretStatus::Failed,
                       QStringLiteral("The vault key check cannot be sealed."));
    QJsonObject kdfObject;
    kdfObject.insert(QStringLiteral("name"), kKdfName);
    kdfObject.insert(QStringLiteral("logN"), kdf.logN);
    kdfObject.insert(QStringLiteral("r"), kdf.r);
    kdfObject.insert(QStringLiteral("p"), kdf.p);
    kdfObject.insert(QStringLiteral("salt"), QString::fromLatin1(kdf.salt.toBase64()));
    QJsonObject root;
    root.insert(QStringLiteral("format"), kFormatName);
    root.insert(QStringLiteral("version"), kFormatVersion);
    root.insert(QStringLiteral("cipher"), kCipherName);
    root.insert(QStringLiteral("kdf"), kdfObject);
    root.insert(QStringLiteral("verifier"), QString::fromLatin1(verifier.toBase64()));
    root.insert(QStringLiteral("entries"), entries);

    const QString folder = QFileInfo(m_path).absolutePath();
    if (!QDir().mkpath(folder))
        return Outcome(SecretStatus::Failed,
                       QStringLiteral("The folder %1 cannot be created.").arg(folder));
    QSaveFile file(m_path);
    if (!file.open(QIODevice::WriteOnly))
        return Outcome(SecretStatus::Failed, file.errorString());
    // The temporary file becomes the vault: owner-only before a byte is written.
    if (::fchmod(file.handle(), S_IRUSR | S_IWUSR) != 0) {
        file.cancelWriting();
        return Outcome(SecretStatus::Failed,
                       QStringLiteral("The vault's permissions cannot be set."));
    }
    const QByteArray data = QJsonDocument(root).toJson(QJsonDocument::Indented);
    if (file.write(data) != data.size() || !file.commit())
        return Outcome(SecretStatus::Failed, file.errorString());
    return {};
}

} // namespace tw::platform

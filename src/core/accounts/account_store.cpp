#include "core/accounts/account_store.h"

#include "core/accounts/bookmarks.h"
#include "core/settings/settings_store.h"
#include "core/state/app_state.h"
#include "core/text/format.h"

#include <QCollator>
#include <QRegularExpression>

#include <algorithm>
#include <numeric>
#include <utility>

namespace tw {

namespace {

const QString kAccounts = QStringLiteral("Accounts");
// "Password Store": where an account's saved password is (0: nowhere, or the scrambled value
// of an older version in "Password").
constexpr std::uint32_t kKeptInKeyring = 1;
constexpr std::uint32_t kKeptInVault = 2;
constexpr int kSecretIdLimit = 64;
constexpr std::int32_t kMaxTimeOffset = 24 * 3600;

// Cuts UTF-8 bytes to at most `limit` bytes without splitting a character.
QByteArray cutUtf8(const QByteArray& utf8, qsizetype limit) {
    if (utf8.size() <= limit)
        return utf8;
    qsizetype end = limit;
    // Step back over continuation bytes (10xxxxxx) to the start of the cut character.
    while (end > 0 && (static_cast<unsigned char>(utf8[end]) & 0xC0) == 0x80)
        --end;
    return utf8.left(end);
}

AccountRecord readAccount(const SettingsStore& store, int row) {
    const QString key = AccountKey(row);
    AccountRecord a;
    a.Anonymous = store.ReadSettingFlag(key, QStringLiteral("Anonymous"), 0) != 0;
    a.UseIP = store.ReadSettingFlag(key, QStringLiteral("Use IP"), 0) != 0;
    a.SavePassword = store.ReadSettingFlag(key, QStringLiteral("Save Password"), 0) != 0;
    a.Passive = store.ReadSettingFlag(key, QStringLiteral("Passive"), 1) != 0;
    a.RemotePort = store.ReadSettingNumber(key, QStringLiteral("Remote Port"), 21);
    a.RemoteSort = static_cast<int>(store.ReadSettingNumber(key, QStringLiteral("Remote Sort"), 0));
    a.LocalSort = static_cast<int>(store.ReadSettingNumber(key, QStringLiteral("Local Sort"), 0));
    a.Visits = store.ReadSettingNumber(key, QStringLiteral("Visits"), 0);
    a.Name = store.ReadSettingString(key, QStringLiteral("Name"), {}, kAccountNameLimit);
    a.URL = store.ReadSettingString(key, QStringLiteral("URL"), {}, kAccountUrlLimit);
    a.IP = store.ReadSettingString(key, QStringLiteral("IP"), {}, kAccountIpLimit);
    a.Login = store.ReadSettingString(key, QStringLiteral("Login"), {}, kAccountLoginLimit);
    a.LocalPath = store.ReadSettingString(key, QStringLiteral("Local Path"), {}, kAccountPathLimit);
    a.LocalMask = store.ReadSettingString(key, QStringLiteral("Local Mask"), {}, kAccountMaskLimit);
    a.LocalExclude =
        store.ReadSettingString(key, QStringLiteral("Local Exclude"), {}, kAccountExcludeLimit);
    a.RemotePath =
        store.ReadSettingString(key, QStringLiteral("Remote Path"), {}, kAccountPathLimit);
    a.RemoteMask =
        store.ReadSettingString(key, QStringLiteral("Remote Mask"), {}, kAccountMaskLimit);
    a.RemoteExclude =
        store.ReadSettingString(key, QStringLiteral("Remote Exclude"), {}, kAccountExcludeLimit);
    a.Comments = DecodeComments(store.ReadSettingBinary(key, QStringLiteral("Comments")));
    // Accounts saved before encryption existed have no value: they stay plain.
    if (store.ValueExists(key, QStringLiteral("Encryption")))
        a.Encryption = AccountEncryptionFromNumber(
            store.ReadSettingNumber(key, QStringLiteral("Encryption"), 0));
    a.Protocol =
        AccountProtocolFromNumber(store.ReadSettingNumber(key, QStringLiteral("Protocol"), 0));
    a.KeyFile = store.ReadSettingString(key, QStringLiteral("Key File"), {}, kAccountKeyFileLimit);
    a.UseAgent = store.ReadSettingNumber(key, QStringLiteral("Use Agent"), 1) != 0;
    if (const std::uint32_t n = store.ReadSettingNumber(key, QStringLiteral("Connections"), 0);
        n <= kMaxConnections)
        a.Connections = n;
    a.Bookmarks = ReadBookmarks(store, key);
    if (const auto offset = static_cast<std::int32_t>(
            store.ReadSettingNumber(key, QStringLiteral("Time Offset"), 0));
        offset >= -kMaxTimeOffset && offset <= kMaxTimeOffset)
        a.TimeOffset = offset;
    a.SyncExcludes =
        store.ReadSettingString(key, QStringLiteral("Sync Excludes"), {}, kAccountPathLimit);
    a.SecretId = store.ReadSettingString(key, QStringLiteral("Secret Id"), {}, kSecretIdLimit);
    const std::uint32_t kept = store.ReadSettingNumber(key, QStringLiteral("Password Store"), 0);
    if (a.SavePassword && !a.SecretId.isEmpty() &&
        (kept == kKeptInKeyring || kept == kKeptInVault)) {
        // Only the marker is here; the password is read from its store at connect.
        a.Kept = kept == kKeptInKeyring ? PasswordPlace::Keyring : PasswordPlace::Vault;
    } else if (a.SavePassword) {
        // An older version's scrambled value, moved to a store after the start.
        a.Password =
            ReadScrambledString(store, key, QStringLiteral("Password"), {}, kAccountPasswordLimit);
        if (!a.Password.isEmpty())
            a.Kept = PasswordPlace::Scrambled;
    } else {
        a.Password =
            store.ReadSettingString(key, QStringLiteral("Password"), {}, kAccountPasswordLimit);
    }
    return a;
}

void writeAccount(SettingsStore& store, int row, const AccountRecord& a) {
    const QString key = AccountKey(row);
    store.WriteSettingFlag(key, QStringLiteral("Anonymous"), a.Anonymous);
    store.WriteSettingFlag(key, QStringLiteral("Use IP"), a.UseIP);
    store.WriteSettingFlag(key, QStringLiteral("Save Password"), a.SavePassword);
    store.WriteSettingFlag(key, QStringLiteral("Passive"), a.Passive);
    store.WriteSettingNumber(key, QStringLiteral("Remote Port"), a.RemotePort);
    store.WriteSettingSigned(key, QStringLiteral("Remote Sort"), a.RemoteSort);
    store.WriteSettingSigned(key, QStringLiteral("Local Sort"), a.LocalSort);
    store.WriteSettingNumber(key, QStringLiteral("Visits"), a.Visits);
    store.WriteSettingString(key, QStringLiteral("Name"), CutText(a.Name, kAccountNameLimit));
    store.WriteSettingString(key, QStringLiteral("URL"), CutText(a.URL, kAccountUrlLimit));
    store.WriteSettingString(key, QStringLiteral("IP"), CutText(a.IP, kAccountIpLimit));
    store.WriteSettingString(key, QStringLiteral("Login"), CutText(a.Login, kAccountLoginLimit));
    store.WriteSettingString(key, QStringLiteral("Local Path"),
                             CutText(a.LocalPath, kAccountPathLimit));
    store.WriteSettingString(key, QStringLiteral("Local Mask"),
                             CutText(a.LocalMask, kAccountMaskLimit));
    store.WriteSettingString(key, QStringLiteral("Local Exclude"),
                             CutText(a.LocalExclude, kAccountExcludeLimit));
    store.WriteSettingString(key, QStringLiteral("Remote Path"),
                             CutText(a.RemotePath, kAccountPathLimit));
    store.WriteSettingString(key, QStringLiteral("Remote Mask"),
                             CutText(a.RemoteMask, kAccountMaskLimit));
    store.WriteSettingString(key, QStringLiteral("Remote Exclude"),
                             CutText(a.RemoteExclude, kAccountExcludeLimit));
    store.WriteSettingBinary(key, QStringLiteral("Comments"), EncodeComments(a.Comments));
    store.WriteSettingNumber(key, QStringLiteral("Encryption"),
                             static_cast<std::uint32_t>(a.Encryption));
    store.WriteSettingNumber(key, QStringLiteral("Protocol"),
                             static_cast<std::uint32_t>(a.Protocol));
    store.WriteSettingString(key, QStringLiteral("Key File"),
                             CutText(a.KeyFile, kAccountKeyFileLimit));
    store.WriteSettingNumber(key, QStringLiteral("Use Agent"), a.UseAgent ? 1 : 0);
    store.WriteSettingNumber(key, QStringLiteral("Connections"), a.Connections);
    WriteBookmarks(store, key, a.Bookmarks);
    store.WriteSettingSigned(key, QStringLiteral("Time Offset"), a.TimeOffset);
    store.WriteSettingString(key, QStringLiteral("Sync Excludes"),
                             CutText(a.SyncExcludes, kAccountPathLimit));
    const bool kept =
        a.SavePassword && (a.Kept == PasswordPlace::Keyring || a.Kept == PasswordPlace::Vault);
    store.WriteSettingString(key, QStringLiteral("Secret Id"), a.SecretId);
    store.WriteSettingNumber(key, QStringLiteral("Password Store"),
                             !kept                              ? 0
                             : a.Kept == PasswordPlace::Keyring ? kKeptInKeyring
                                                                : kKeptInVault);
    // A password is never written in a readable form. Only an older version's scrambled value
    // that no store has taken yet stays (as it was read), so that nothing is lost.
    if (a.SavePassword && a.Kept == PasswordPlace::Scrambled)
        WriteScrambledString(store, key, QStringLiteral("Password"),
                             CutText(a.Password, kAccountPasswordLimit));
    else
        store.WriteSettingString(key, QStringLiteral("Password"), QString());
}

} // namespace

QString AccountKey(int row) {
    return FormatText(QStringLiteral("Accounts\\Account-%03d"), {row}, -1);
}

QString ScramblePassword(const QString& password) {
    QByteArray bytes = password.toUtf8();
    for (char& c : bytes)
        c = static_cast<char>((static_cast<unsigned char>(c) + kPasswordShift) & 0xFF);
    return QString::fromLatin1(bytes);
}

QString UnscramblePassword(const QString& stored) {
    QByteArray bytes = stored.toLatin1();
    for (char& c : bytes)
        c = static_cast<char>((static_cast<unsigned char>(c) - kPasswordShift) & 0xFF);
    return CutText(QString::fromUtf8(bytes), kAccountPasswordLimit);
}

void WriteScrambledString(SettingsStore& store, const QString& key, const QString& value,
                          const QString& text) {
    store.WriteSettingString(key, value, ScramblePassword(text));
}

QString ReadScrambledString(const SettingsStore& store, const QString& key, const QString& value,
                            const QString& defaultText, int maxChars) {
    if (!store.ValueExists(key, value))
        return CutText(defaultText, maxChars);
    // Read uncut: the stored form has one character per byte, more than the text it holds.
    const QString stored = store.ReadSettingString(key, value, QString(), -1);
    return CutText(UnscramblePassword(stored), maxChars);
}

QByteArray EncodeComments(const QString& comments) {
    QByteArray data = cutUtf8(comments.toUtf8(), kCommentsBytes - 1);
    // A NUL typed into the text would end it early on reading; keep what precedes it.
    const qsizetype nul = data.indexOf('\0');
    if (nul >= 0)
        data.truncate(nul);
    data.append(QByteArray(kCommentsBytes - data.size(), '\0'));
    return data;
}

QString DecodeComments(const QByteArray& data) {
    QByteArray text = data.left(kCommentsBytes);
    const qsizetype nul = text.indexOf('\0');
    if (nul >= 0)
        text.truncate(nul);
    return CutText(QString::fromUtf8(cutUtf8(text, kCommentsBytes - 1)), kAccountCommentsLimit);
}

int CompareAccountsByName(const AccountRecord& a, const AccountRecord& b) {
    // One collator per thread, owned here (the one behind QString::localeAwareCompare is never
    // released).
    thread_local const QCollator collator = [] {
        QCollator c;
        c.setCaseSensitivity(Qt::CaseInsensitive);
        return c;
    }();
    const int c = collator.compare(a.Name, b.Name);
    if (c != 0)
        return c;
    return QString::compare(a.Name, b.Name, Qt::CaseInsensitive);
}

int CompareAccountsByVisits(const AccountRecord& a, const AccountRecord& b) {
    if (a.Visits != b.Visits)
        return a.Visits > b.Visits ? -1 : 1;
    return CompareAccountsByName(a, b);
}

bool LoadAccounts(const SettingsStore& store, AppState& state) {
    const auto storedCount =
        static_cast<std::int32_t>(store.ReadSettingNumber(kAccounts, QStringLiteral("Count"), 0));
    const int count = std::clamp<std::int32_t>(storedCount, 0, kMaxAccounts);
    const auto storedCurrent =
        static_cast<std::int32_t>(store.ReadSettingNumber(kAccounts, QStringLiteral("Current"), 0));
    state.ExportPath =
        store.ReadSettingString(kAccounts, QStringLiteral("Export"), QString(), kAccountPathLimit);

    std::vector<AccountRecord> rows;
    rows.reserve(std::size_t(count));
    for (int row = 1; row <= count; ++row)
        rows.push_back(readAccount(store, row));

    const int current = count == 0 ? -1 : std::clamp<std::int32_t>(storedCurrent, 0, count - 1);

    // Order the table, carrying the current index along with its record.
    std::vector<int> order(rows.size());
    std::iota(order.begin(), order.end(), 0);
    const bool byVisits = state.options.Frequency != 0;
    std::stable_sort(order.begin(), order.end(), [&](int l, int r) {
        return (byVisits ? CompareAccountsByVisits(rows[std::size_t(l)], rows[std::size_t(r)])
                         : CompareAccountsByName(rows[std::size_t(l)], rows[std::size_t(r)])) < 0;
    });
    state.Accounts.clear();
    state.Accounts.reserve(rows.size());
    state.CurrentAccount = -1;
    for (std::size_t i = 0; i < order.size(); ++i) {
        if (order[i] == current)
            state.CurrentAccount = static_cast<int>(i);
        state.Accounts.push_back(std::move(rows[std::size_t(order[i])]));
    }
    return true;
}

bool SaveAccounts(SettingsStore& store, const AppState& state) {
    const int count = std::min(state.AccountCount(), kMaxAccounts);
    store.WriteSettingNumber(kAccounts, QStringLiteral("Count"), static_cast<std::uint32_t>(count));
    store.WriteSettingSigned(kAccounts, QStringLiteral("Current"), state.CurrentAccount);
    store.WriteSettingString(kAccounts, QStringLiteral("Export"),
                             CutText(state.ExportPath, kAccountPathLimit));
    for (int row = 1; row <= count; ++row)
        writeAccount(store, row, state.Accounts[std::size_t(row - 1)]);

    // Rows past the table leave no keys behind (also rows above 256 written by hand).
    static const QRegularExpression rowKey(QStringLiteral("^Account-(\\d+)$"));
    for (const QString& sub : store.SubKeys(kAccounts)) {
        const QRegularExpressionMatch m = rowKey.match(sub);
        if (m.hasMatch() && m.captured(1).toLongLong() > count)
            store.DeleteSettingsKey(kAccounts + u'\\' + sub);
    }
    return true;
}

std::vector<AccountRecord> SampleAccounts() {
    // Each with the host name of its site's public anonymous FTP server, so that a sample is a
    // complete account: the sheet lets the user leave it (New, another account, OK) untouched.
    // The IP addresses stay empty; a host's address changes, its name less often.
    const std::pair<const char*, const char*> sites[] = {
        {"Lucas Arts", "ftp.lucasarts.com"},
        {"Microsoft Corporation", "ftp.microsoft.com"},
        {"NASA Images", "nssdcftp.gsfc.nasa.gov"},
        {"Wiley & Sons Publishing", "ftp.wiley.com"},
    };
    std::vector<AccountRecord> samples;
    for (const auto& [name, host] : sites) {
        AccountRecord a;
        a.Name = QString::fromUtf8(name);
        a.URL = QString::fromUtf8(host);
        a.Anonymous = true;
        a.RemotePort = 21;
        a.Passive = true;
        a.Encryption = kNewAccountEncryption;
        samples.push_back(a);
    }
    return samples;
}

} // namespace tw

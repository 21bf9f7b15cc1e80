#include "core/session/quick_connect.h"

#include "core/session/protocol_traits.h"
#include "core/session/session_controller.h"
#include "core/settings/settings_store.h"
#include "core/text/messages.h"
#include "ftp/ftp_url.h"

#include <algorithm>

namespace tw {

namespace {

constexpr int kNoHostId = 5100;           // "Type a host name or an ftp://, ... address ..."
constexpr int kBadPortId = 5101;          // "The port %s is not a number from 1 to 65535."
constexpr int kControlCharacterId = 5102; // "The %s contains a control character."
constexpr int kUnknownSchemeId = 5104;    // "%s addresses are not supported: ..."
constexpr int kUnreadableId = 5105;       // "The address %s cannot be read: %s."
constexpr int kTooLongId = 5106;          // "The %s is longer than %s characters."
constexpr int kTableFullId = 5107;        // "The account table is full: ..."
constexpr int kHostNameId = 5110;         // "host name", "user name", "password", "start folder"
constexpr int kUserNameId = 5111;
constexpr int kPasswordId = 5112;
constexpr int kStartFolderId = 5113;

const QString kHistoryKey = QStringLiteral("DeskTop\\Quick Connect");

QString decode(const std::string& bytes) {
    return QString::fromUtf8(bytes.data(), qsizetype(bytes.size()));
}

bool HasControlCharacter(const QString& text) {
    return std::any_of(text.begin(), text.end(), [](QChar c) {
        const char16_t u = c.unicode();
        return u < 0x20 || (u >= 0x7F && u < 0xA0);
    });
}

QuickConnectTarget Refused(int id, const QString& arg = {}, const QString& detail = {}) {
    QuickConnectTarget target;
    target.errorId = id;
    target.errorArg = arg;
    target.errorDetail = detail;
    return target;
}

QuickConnectTarget RefusedField(int id, int fieldId, const QString& detail = {}) {
    QuickConnectTarget target;
    target.errorId = id;
    target.fieldId = fieldId;
    target.errorDetail = detail;
    return target;
}

// The scheme of "name://..." in lower case, or empty for a bare host.
QString SchemeOf(const QString& text) {
    const qsizetype end = text.indexOf(u"://");
    if (end <= 0)
        return {};
    const QString scheme = text.left(end);
    const bool word = std::all_of(scheme.begin(), scheme.end(), [](QChar c) {
        return c.isLetterOrNumber() || c == u'+' || c == u'-' || c == u'.';
    });
    return word ? scheme.toLower() : QString();
}

std::optional<int> PortOf(const QString& text) {
    bool ok = false;
    const int port = text.toInt(&ok);
    const bool digits = std::all_of(text.begin(), text.end(), [](QChar c) { return c.isDigit(); });
    if (!ok || !digits || port < 1 || port > 65535)
        return std::nullopt;
    return port;
}

QString SchemeText(ftp::Protocol kind, ftp::TlsMode mode) {
    if (!TraitsOf(kind).encryptionChoice)
        return TraitsOf(kind).scheme;
    switch (mode) {
    case ftp::TlsMode::Implicit:
        return QStringLiteral("ftps://");
    case ftp::TlsMode::ExplicitRequired:
        return QStringLiteral("ftpes://");
    case ftp::TlsMode::ExplicitIfAvailable:
    case ftp::TlsMode::Plain:
        break;
    }
    return QStringLiteral("ftp://");
}

QString HostText(const QString& host) {
    return host.contains(u':') ? u'[' + host + u']' : host;
}

} // namespace

QuickConnectTarget ReadQuickConnect(const QuickConnectFields& fields) {
    const QString host = fields.host.trimmed();
    const QString port = fields.port.trimmed();
    const std::pair<const QString*, int> typed[] = {{&host, kHostNameId},
                                                    {&fields.user, kUserNameId},
                                                    {&fields.password, kPasswordId},
                                                    {&port, 0}};
    for (const auto& [text, nameId] : typed)
        if (HasControlCharacter(*text))
            return nameId ? RefusedField(kControlCharacterId, nameId) : Refused(kBadPortId, *text);
    if (host.isEmpty())
        return Refused(kNoHostId);

    const QString scheme = SchemeOf(host);
    if (!scheme.isEmpty() && !ftp::HasFtpScheme(host.toStdString()))
        return Refused(kUnknownSchemeId, scheme + QStringLiteral("://"));
    // A bare host reads as an ftp:// address; a bare IPv6 address gets its brackets.
    QString address = host;
    if (scheme.isEmpty())
        address = QStringLiteral("ftp://") +
                  (host.count(u':') > 1 && !host.startsWith(u'[') ? u'[' + host + u']' : host);
    ftp::FtpUrl url;
    std::string why;
    if (!ftp::ParseFtpUrl(address.toStdString(), url, why))
        return Refused(kUnreadableId, host, QString::fromStdString(why));

    AccountRecord account;
    account.URL = decode(url.host);
    account.Name = account.URL.left(kAccountNameLimit);
    account.Login = fields.user.isEmpty() ? decode(url.user) : fields.user;
    account.Password =
        fields.password.isEmpty() ? decode(url.password.value_or(std::string())) : fields.password;
    account.Anonymous = account.Login.isEmpty();
    account.Passive = true; // active mode fails behind NAT and most firewalls
    account.Protocol = url.protocol;
    account.Encryption = url.tls.value_or(kNewAccountEncryption);
    account.RemotePath = decode(url.path);
    int number = url.port;
    if (!port.isEmpty()) {
        const std::optional<int> given = PortOf(port);
        if (!given)
            return Refused(kBadPortId, port);
        number = *given;
    }
    account.RemotePort = std::uint32_t(number);

    // What the address decoded (a %0D in the user name) is checked like what was typed.
    const std::tuple<const QString*, int, int> parts[] = {
        {&account.URL, kHostNameId, kAccountUrlLimit},
        {&account.Login, kUserNameId, kAccountLoginLimit},
        {&account.Password, kPasswordId, kAccountPasswordLimit},
        {&account.RemotePath, kStartFolderId, kAccountPathLimit}};
    for (const auto& [text, nameId, limit] : parts) {
        if (HasControlCharacter(*text))
            return RefusedField(kControlCharacterId, nameId);
        if (text->size() > limit)
            return RefusedField(kTooLongId, nameId, QString::number(limit));
    }
    QuickConnectTarget target;
    target.account = std::move(account);
    return target;
}

QuickConnectEntry QuickHistoryEntry(const AccountRecord& account) {
    return {account.URL, account.RemotePort, account.Anonymous ? QString() : account.Login,
            account.Encryption, account.Protocol};
}

QuickConnectFields QuickFieldsOf(const QuickConnectEntry& entry) {
    QuickConnectFields fields;
    // A bare host is FTP with the encryption a new account has: any other site keeps its scheme.
    const bool bare = TraitsOf(entry.kind).encryptionChoice &&
                      (entry.protocol == ftp::TlsMode::Plain ||
                       entry.protocol == ftp::TlsMode::ExplicitIfAvailable);
    fields.host = bare ? entry.host : SchemeText(entry.kind, entry.protocol) + HostText(entry.host);
    fields.user = entry.user;
    fields.port = QString::number(entry.port);
    return fields;
}

QString QuickHistoryText(const QuickConnectEntry& entry) {
    QString text = SchemeText(entry.kind, entry.protocol);
    if (!entry.user.isEmpty())
        text += entry.user + u'@';
    text += HostText(entry.host);
    if (int(entry.port) != DefaultPort(entry.kind, entry.protocol))
        text += u':' + QString::number(entry.port);
    return text;
}

void RememberQuickConnect(std::vector<QuickConnectEntry>& history, QuickConnectEntry entry) {
    std::erase(history, entry);
    history.insert(history.begin(), std::move(entry));
    if (history.size() > std::size_t(kQuickHistoryLimit))
        history.resize(std::size_t(kQuickHistoryLimit));
}

std::vector<QuickConnectEntry> LoadQuickHistory(const SettingsStore& store) {
    std::vector<QuickConnectEntry> history;
    for (int i = 0; i < kQuickHistoryLimit; ++i) {
        const QString key = kHistoryKey + QStringLiteral("\\History-%1").arg(i, 2, 10, QChar(u'0'));
        if (!store.SettingsKeyExists(key))
            continue;
        QuickConnectEntry entry;
        entry.host = store.ReadSettingString(key, u"Host"_qs, QString(), kAccountUrlLimit);
        entry.user = store.ReadSettingString(key, u"User"_qs, QString(), kAccountLoginLimit);
        entry.port = store.ReadSettingNumber(key, u"Port"_qs, 21);
        const std::optional<ftp::TlsMode> mode =
            ftp::TlsModeFromNumber(int(store.ReadSettingNumber(key, u"Protocol"_qs, 1)));
        // A hand-edited entry is shown only when it could be typed into the bar.
        if (entry.host.isEmpty() || HasControlCharacter(entry.host) ||
            HasControlCharacter(entry.user) || entry.port < 1 || entry.port > 65535 || !mode)
            continue;
        entry.protocol = *mode;
        entry.kind = AccountProtocolFromNumber(store.ReadSettingNumber(key, u"SFTP"_qs, 0));
        history.push_back(std::move(entry));
    }
    return history;
}

bool SaveQuickHistory(SettingsStore& store, const std::vector<QuickConnectEntry>& history) {
    store.DeleteSettingsKey(kHistoryKey);
    const std::size_t count = std::min(history.size(), std::size_t(kQuickHistoryLimit));
    for (std::size_t i = 0; i < count; ++i) {
        const QuickConnectEntry& entry = history[i];
        const QString key =
            kHistoryKey + QStringLiteral("\\History-%1").arg(int(i), 2, 10, QChar(u'0'));
        store.WriteSettingString(key, u"Host"_qs, entry.host);
        store.WriteSettingNumber(key, u"Port"_qs, entry.port);
        store.WriteSettingString(key, u"User"_qs, entry.user);
        store.WriteSettingNumber(key, u"Protocol"_qs, std::uint32_t(entry.protocol));
        store.WriteSettingNumber(key, u"SFTP"_qs, std::uint32_t(entry.kind));
    }
    return store.Sync();
}

std::optional<AccountRecord> QuickConnectAccount(const Messages& messages,
                                                 const QuickConnectFields& fields) {
    QuickConnectTarget target = ReadQuickConnect(fields);
    if (!target.account) {
        const QString arg =
            target.fieldId ? messages.LoadStringText(target.fieldId) : target.errorArg;
        messages.ErrorBox(target.errorId, {arg, target.errorDetail});
    }
    return std::move(target.account);
}

bool StartQuickConnect(SessionController& session, const Messages& messages,
                       const QuickConnectFields& fields, std::vector<QuickConnectEntry>& history) {
    const std::optional<AccountRecord> account = QuickConnectAccount(messages, fields);
    if (!account || !session.QuickConnect(*account))
        return false;
    RememberQuickConnect(history, QuickHistoryEntry(*account));
    return true;
}

bool SaveQuickAccount(AppState& state, const Messages& messages, AccountRecord account,
                      const std::function<bool(AppState& draft)>& runSheet,
                      const std::function<bool(const AppState&)>& saveSettings) {
    if (state.AccountCount() >= kMaxAccounts) {
        messages.ErrorBox(kTableFullId);
        return false;
    }
    const auto taken = [&state](const QString& name) {
        return std::any_of(state.Accounts.begin(), state.Accounts.end(),
                           [&name](const AccountRecord& a) { return a.Name == name; });
    };
    const QString base = account.URL.left(kAccountNameLimit);
    account.Name = base;
    for (int n = 2; taken(account.Name); ++n) {
        const QString suffix = QStringLiteral(" (%1)").arg(n);
        account.Name = base.left(kAccountNameLimit - suffix.size()) + suffix;
    }
    account.Visits = 0;
    account.SavePassword = false; // the sheet's box decides whether the password is kept
    AppState draft = state;
    draft.Accounts.push_back(std::move(account));
    draft.CurrentAccount = draft.AccountCount() - 1;
    if (!runSheet || !runSheet(draft))
        return false;
    // Only what the sheet edits goes back, as after the sheet's own OK.
    state.Accounts = std::move(draft.Accounts);
    state.CurrentAccount = draft.CurrentAccount;
    state.placement(Placement::Accounts) = draft.placement(Placement::Accounts);
    if (saveSettings)
        saveSettings(state);
    return true;
}

} // namespace tw

#include "core/accounts/accounts_sheet.h"

#include "core/session/protocol_traits.h"

#include "core/accounts/account_export.h"
#include "core/text/format.h"
#include "core/text/messages.h"

#include <algorithm>
#include <initializer_list>
#include <limits>

namespace tw {

namespace {

constexpr int kLoginCaptionId = 3300;
constexpr int kNameMissingId = 3301;
constexpr int kDeleteQuestionId = 3306;
constexpr int kVisitsId = 3307;
constexpr int kOkTextId = 3308;
constexpr int kConnectTextId = 3309;
constexpr int kConnectCaptionId = 3320;
constexpr int kAccountsCaptionId = 3321;
constexpr int kConnectStatusId = 454;
constexpr int kAccountsStatusId = 130;
constexpr int kStartupStatusId = 420;
constexpr int kNotesStatusId = 273;
constexpr int kEdgeMargin = 70;

// An empty field gives 0; digits beyond the 32-bit range give the largest port number stored.
std::uint32_t portNumber(const QString& digits) {
    std::uint64_t value = 0;
    for (const QChar c : digits.trimmed()) {
        if (c < u'0' || c > u'9')
            break;
        value = std::min<std::uint64_t>(value * 10 + std::uint64_t(c.unicode() - u'0'),
                                        std::numeric_limits<std::uint32_t>::max());
    }
    return static_cast<std::uint32_t>(value);
}

int sortIndex(int shown, int stored) {
    return shown >= 0 && shown <= 3 ? shown : stored;
}

} // namespace

QString NotesToComments(const QString& text) {
    QString t = text;
    t.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    t.replace(u'\r', u'\n');
    t.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
    return t;
}

QString CommentsToNotes(const QString& comments) {
    QString t = comments;
    t.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    t.replace(u'\r', u'\n');
    return t;
}

AccountsSheet::AccountsSheet(const AppState& state, bool connectMode, const Messages& messages)
    : m_state(state), m_connectMode(connectMode), m_messages(messages) {}

bool AccountsSheet::hasCurrentAccount() const {
    return current() != nullptr;
}

AccountRecord* AccountsSheet::current() {
    const int i = m_state.CurrentAccount;
    return i >= 0 && i < m_state.AccountCount() ? &m_state.Accounts[std::size_t(i)] : nullptr;
}

const AccountRecord* AccountsSheet::current() const {
    const int i = m_state.CurrentAccount;
    return i >= 0 && i < m_state.AccountCount() ? &m_state.Accounts[std::size_t(i)] : nullptr;
}

QString AccountsSheet::caption() const {
    return m_messages.LoadStringResource(m_connectMode ? kConnectCaptionId : kAccountsCaptionId)
        .value_or(QString());
}

QString AccountsSheet::okText() const {
    return m_messages.LoadStringResource(m_connectMode ? kConnectTextId : kOkTextId)
        .value_or(QString());
}

void AccountsSheet::showPageStatus(SheetPage page) const {
    switch (page) {
    case SheetPage::Login:
        m_messages.ShowStatus(m_connectMode ? kConnectStatusId : kAccountsStatusId);
        break;
    case SheetPage::Startup:
        m_messages.ShowStatus(kStartupStatusId);
        break;
    case SheetPage::Notes:
        m_messages.ShowStatus(kNotesStatusId);
        break;
    }
}

int AccountsSheet::helpTopic(SheetPage page) {
    return 300 + 2 * static_cast<int>(page);
}

std::optional<QPoint> AccountsSheet::position(const QRect& screen) const {
    const WindowPlacement& p = m_state.placement(Placement::Accounts);
    if (!m_state.options.SaveWindows || !p.remembered())
        return std::nullopt;
    QPoint at(p.Left, p.Top);
    if (!screen.isEmpty()) {
        at.setX(std::min(at.x(), screen.x() + screen.width() - kEdgeMargin));
        at.setY(std::min(at.y(), screen.y() + screen.height() - kEdgeMargin));
    }
    return at;
}

void AccountsSheet::rememberPosition(const QRect& client) {
    WindowPlacement& p = m_state.placement(Placement::Accounts);
    p.Top = client.y();
    p.Left = client.x();
    p.Height = client.height();
    p.Width = client.width();
}

void AccountsSheet::activateLogin() {
    if (m_listFilled)
        return;
    m_listFilled = true;
    if (m_state.Accounts.empty())
        m_state.CurrentAccount = -1;
    else if (!current())
        m_state.CurrentAccount = 0;
}

LoginView AccountsSheet::loginView() const {
    LoginView v;
    for (const AccountRecord& a : m_state.Accounts)
        v.names << a.Name;
    const AccountRecord* a = current();
    v.selected = a ? m_state.CurrentAccount : -1;
    if (a) {
        v.fields = {a->Name,       a->URL,       a->IP,      a->Login,
                    a->Password,   a->Anonymous, a->UseIP,   a->SavePassword,
                    a->Encryption, a->Protocol,  a->KeyFile, a->UseAgent};
        v.visitsText = m_messages.FormatResource(kVisitsId, {a->Visits}, kShortFormatLimit)
                           .value_or(QString());
    }
    v.newEnabled = m_state.AccountCount() < kMaxAccounts;
    v.deleteEnabled = v.nameEnabled = v.anonymousEnabled = v.useIpEnabled = a != nullptr;
    v.urlEnabled = a && !a->UseIP;
    v.ipEnabled = a && a->UseIP;
    v.loginEnabled = a && !a->Anonymous;
    const ProtocolTraits& traits = TraitsOf(a ? a->Protocol : ftp::Protocol::Ftp);
    v.protocolEnabled = a != nullptr;
    v.encryptionEnabled = a && traits.encryptionChoice;
    v.keyLoginEnabled = a && traits.keyLogin;
    v.passwordKept = a && passwordKept(*a) && a->Password.isEmpty();
    v.okText = okText();
    v.okEnabled = okEnabled();
    return v;
}

std::optional<LoginField> AccountsSheet::validateAndStore(const LoginFields& shown) {
    AccountRecord* a = current();
    if (!a)
        return std::nullopt;
    a->Anonymous = shown.anonymous;
    a->UseIP = shown.useIp;
    a->SavePassword = shown.savePassword;
    a->Encryption = shown.encryption;
    a->Protocol = shown.protocol;
    a->KeyFile = CutText(shown.keyFile.trimmed(), kAccountKeyFileLimit);
    a->UseAgent = shown.useAgent;

    std::optional<LoginField> failed;
    a->Name = CutText(shown.name, kAccountNameLimit);
    if (a->Name.isEmpty())
        failed = LoginField::Name;
    if (!failed) {
        a->URL = CutText(shown.url, kAccountUrlLimit);
        if (a->URL.isEmpty() && !a->UseIP)
            failed = LoginField::Url;
    }
    if (!failed) {
        a->IP = CutText(shown.ip, kAccountIpLimit);
        if (a->IP.isEmpty() && a->UseIP)
            failed = LoginField::Ip;
    }
    if (!failed) {
        a->Login = CutText(shown.login, kAccountLoginLimit);
        if (a->Login.isEmpty() && !a->Anonymous)
            failed = LoginField::Login;
    }
    if (!failed) {
        const QString typed = CutText(shown.password, kAccountPasswordLimit);
        // An older version's scrambled value is written back only as it was read.
        if (typed != a->Password && a->Kept == PasswordPlace::Scrambled)
            a->Kept = PasswordPlace::None;
        a->Password = typed;
        if (a->Password.isEmpty() && !passwordKept(*a) && !a->Anonymous &&
            TraitsOf(a->Protocol).passwordRequired)
            failed = LoginField::Password;
    }
    if (failed)
        m_messages.InfoBox(kLoginCaptionId, kNameMissingId + static_cast<int>(*failed));
    return failed;
}

bool AccountsSheet::selectAccount(int index, const LoginFields& shown,
                                  std::optional<LoginField>* failed) {
    if (index < 0 || index >= m_state.AccountCount())
        return false;
    if (index == m_state.CurrentAccount)
        return true;
    const std::optional<LoginField> invalid = validateAndStore(shown);
    if (failed)
        *failed = invalid;
    if (invalid)
        return false;
    m_state.CurrentAccount = index;
    return true;
}

void AccountsSheet::nameEdited(const QString& text) {
    if (AccountRecord* a = current())
        a->Name = CutText(text, kAccountNameLimit);
}

void AccountsSheet::setAnonymous(bool on) {
    if (AccountRecord* a = current())
        a->Anonymous = on;
}

void AccountsSheet::setUseIp(bool on) {
    if (AccountRecord* a = current())
        a->UseIP = on;
}

void AccountsSheet::setEncryption(ftp::TlsMode mode) {
    AccountRecord* a = current();
    if (!a)
        return;
    a->Encryption = mode;
    constexpr std::uint32_t kPlainPort = 21;
    constexpr auto kImplicitPort = static_cast<std::uint32_t>(ftp::kImplicitTlsPort);
    if (mode == ftp::TlsMode::Implicit && a->RemotePort == kPlainPort)
        a->RemotePort = kImplicitPort;
    else if (mode != ftp::TlsMode::Implicit && a->RemotePort == kImplicitPort)
        a->RemotePort = kPlainPort;
}

void AccountsSheet::setProtocol(ftp::Protocol protocol) {
    AccountRecord* a = current();
    if (!a || a->Protocol == protocol)
        return;
    const auto before = static_cast<std::uint32_t>(DefaultPort(a->Protocol, a->Encryption));
    a->Protocol = protocol;
    if (a->RemotePort == before)
        a->RemotePort = static_cast<std::uint32_t>(DefaultPort(protocol, a->Encryption));
}

QString EncryptionText(ftp::TlsMode mode) {
    switch (mode) {
    case ftp::TlsMode::ExplicitIfAvailable:
        return QStringLiteral("Use explicit FTP over TLS if available");
    case ftp::TlsMode::ExplicitRequired:
        return QStringLiteral("Require explicit FTP over TLS");
    case ftp::TlsMode::Implicit:
        return QStringLiteral("Require implicit FTP over TLS");
    case ftp::TlsMode::Plain:
        break;
    }
    return QStringLiteral("Only use plain FTP (insecure)");
}

bool AccountsSheet::newAccount(const LoginFields& shown, std::optional<LoginField>* failed) {
    const std::optional<LoginField> invalid = validateAndStore(shown);
    if (failed)
        *failed = invalid;
    if (invalid || m_state.AccountCount() >= kMaxAccounts)
        return false;
    AccountRecord fresh;
    fresh.RemotePort = 21;
    fresh.LocalSort = 0;
    fresh.RemoteSort = 0;
    fresh.Passive = true; // active mode fails behind NAT and most firewalls
    fresh.Anonymous = false;
    fresh.Encryption = kNewAccountEncryption;
    m_state.Accounts.push_back(std::move(fresh));
    m_state.CurrentAccount = m_state.AccountCount() - 1;
    return true;
}

bool AccountsSheet::deleteAccount(int index) {
    if (index < 0 || index >= m_state.AccountCount())
        return false;
    if (!m_messages.YesNoBox(false, kLoginCaptionId, kDeleteQuestionId,
                             {m_state.Accounts[std::size_t(index)].Name}))
        return false;
    m_state.Accounts.erase(m_state.Accounts.begin() + index);
    m_state.CurrentAccount = m_state.Accounts.empty() ? -1 : 0;
    // The pages keep pointing at the record they were loaded from: a page that showed the
    // removed account shows none, so what it holds is never stored into another account.
    for (int* page : {&m_startupAccount, &m_notesAccount}) {
        if (*page == index)
            *page = -1;
        else if (*page > index)
            --*page;
    }
    return true;
}

StartupView AccountsSheet::startupViewOf(int index) const {
    StartupView v;
    if (index < 0 || index >= m_state.AccountCount())
        return v;
    const AccountRecord& a = m_state.Accounts[std::size_t(index)];
    v.name = a.Name;
    v.fields = {a.LocalPath,    a.LocalMask,     a.LocalSort,
                a.LocalExclude, a.RemotePath,    a.RemoteMask,
                a.RemoteSort,   a.RemoteExclude, QString::number(a.RemotePort),
                a.Passive};
    v.passiveEnabled = TraitsOf(a.Protocol).passiveMode;
    return v;
}

StartupView AccountsSheet::activateStartup() {
    m_startupAccount = current() ? m_state.CurrentAccount : -1;
    return startupViewOf(m_startupAccount);
}

std::optional<StartupView> AccountsSheet::storeStartup(const StartupFields& shown) {
    AccountRecord* a = current();
    if (!a) {
        m_startupAccount = -1;
        return std::nullopt;
    }
    if (m_state.CurrentAccount != m_startupAccount)
        return activateStartup();
    a->LocalPath = CutText(shown.localPath, kAccountPathLimit);
    a->LocalMask = CutText(shown.localMask, kAccountMaskLimit);
    a->LocalSort = sortIndex(shown.localSort, a->LocalSort);
    a->LocalExclude = CutText(shown.localExclude, kAccountExcludeLimit);
    a->RemotePath = CutText(shown.remotePath, kAccountPathLimit);
    a->RemoteMask = CutText(shown.remoteMask, kAccountMaskLimit);
    a->RemoteSort = sortIndex(shown.remoteSort, a->RemoteSort);
    a->RemoteExclude = CutText(shown.remoteExclude, kAccountExcludeLimit);
    a->RemotePort = portNumber(shown.remotePort);
    a->Passive = shown.passive;
    return std::nullopt;
}

void AccountsSheet::storeLocalPath(const QString& path) {
    if (AccountRecord* a = current(); a && m_state.CurrentAccount == m_startupAccount)
        a->LocalPath = CutText(path, kAccountPathLimit);
}

NotesView AccountsSheet::notesViewOf(int index) const {
    if (index < 0 || index >= m_state.AccountCount())
        return {};
    const AccountRecord& a = m_state.Accounts[std::size_t(index)];
    return {a.Name, a.Comments};
}

NotesView AccountsSheet::activateNotes() {
    m_notesAccount = current() ? m_state.CurrentAccount : -1;
    return notesViewOf(m_notesAccount);
}

std::optional<NotesView> AccountsSheet::storeNotes(const QString& comments) {
    AccountRecord* a = current();
    if (!a) {
        m_notesAccount = -1;
        return std::nullopt;
    }
    if (m_state.CurrentAccount != m_notesAccount)
        return activateNotes();
    a->Comments = CutComments(NotesToComments(comments));
    return std::nullopt;
}

std::optional<int> ShowAccountsSheet(AppState& state, bool connectMode, const Messages& messages,
                                     const std::function<bool(AccountsSheet&)>& run,
                                     const std::function<bool(const AppState&)>& saveSettings) {
    AccountsSheet sheet(state, connectMode, messages);
    if (!run(sheet))
        return std::nullopt;
    // Only what the sheet edits goes back: the panes and everything else may have changed
    // meanwhile (a listing that ended while the sheet was open) and must not be undone.
    AppState edited = sheet.takeState();
    state.Accounts = std::move(edited.Accounts);
    state.CurrentAccount = edited.CurrentAccount;
    state.placement(Placement::Accounts) = edited.placement(Placement::Accounts);
    if (saveSettings)
        saveSettings(state);
    return state.CurrentAccount;
}

} // namespace tw

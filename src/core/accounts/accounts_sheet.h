#pragma once

#include "core/state/app_state.h"

#include <QPoint>
#include <QRect>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace tw {

class Messages;

// The three pages of the accounts sheet, in their order.
enum class SheetPage { Login = 0, Startup, Notes };

// The Login page's edits, in the order they are validated.
enum class LoginField { Name, Url, Ip, Login, Password };

// What the Login page shows in its edits and check boxes.
struct LoginFields {
    QString name;
    QString url;
    QString ip;
    QString login;
    QString password;
    bool anonymous = false;
    bool useIp = false;
    bool savePassword = false;
    ftp::TlsMode encryption = ftp::TlsMode::Plain;
    ftp::Protocol protocol = ftp::Protocol::Ftp;
    QString keyFile; // SFTP: empty for none (or the one ~/.ssh/config names)
    bool useAgent = true;
};

// The encryption choices in the order the Login page lists them, and their texts.
inline constexpr ftp::TlsMode kEncryptionChoices[] = {ftp::TlsMode::ExplicitIfAvailable,
                                                      ftp::TlsMode::ExplicitRequired,
                                                      ftp::TlsMode::Implicit, ftp::TlsMode::Plain};
QString EncryptionText(ftp::TlsMode mode);

// Everything the Login page shows, with the enabled state of each control.
struct LoginView {
    QStringList names; // the account list, in table order
    int selected = -1;
    LoginFields fields;
    QString visitsText;
    bool newEnabled = false;
    bool deleteEnabled = false;
    bool nameEnabled = false;
    bool anonymousEnabled = false;
    bool useIpEnabled = false;
    bool urlEnabled = false;
    bool ipEnabled = false;
    bool loginEnabled = false; // also the password and the save-password box
    // The password box is empty because the password is kept in a store, unread in this run.
    bool passwordKept = false;
    bool protocolEnabled = false;
    bool encryptionEnabled = false; // FTP only: greyed, not hidden, for SFTP
    bool keyLoginEnabled = false;   // the key file, its Browse... and the agent box: SFTP only
    QString okText;
    bool okEnabled = false;
};

// The Startup page's fields; the sort keys are the indexes of the two lists.
struct StartupFields {
    QString localPath;
    QString localMask;
    int localSort = 0;
    QString localExclude;
    QString remotePath;
    QString remoteMask;
    int remoteSort = 0;
    QString remoteExclude;
    QString remotePort; // digits
    bool passive = false;
    bool operator==(const StartupFields&) const = default;
};

struct StartupView {
    QString name;
    StartupFields fields;
    bool passiveEnabled = false; // FTP only
};

struct NotesView {
    QString name;
    QString comments;
};

// The accounts sheet's decisions, apart from any widget: it edits a scratch copy of the state
// (the table, the current account, the sheet's placement) that replaces the real state only on
// OK. The Login page validates and stores before the current account changes, before New and
// when it is left; the Startup and Notes pages remember which account they were loaded from, so
// that what they show for one account is never stored into another.
class AccountsSheet {
public:
    AccountsSheet(const AppState& state, bool connectMode, const Messages& messages);

    const AppState& state() const { return m_state; }
    bool connectMode() const { return m_connectMode; }
    int currentAccount() const { return m_state.CurrentAccount; }
    bool hasCurrentAccount() const;

    // " Connect" or " Accounts".
    QString caption() const;
    // "Connect" or "OK"; OK is enabled only while accounts exist.
    QString okText() const;
    bool okEnabled() const { return m_state.AccountCount() > 0; }

    // On each page's activation: its status-bar text.
    void showPageStatus(SheetPage page) const;
    static int helpTopic(SheetPage page);
    // Where the sheet opens: nullopt to centre it (SaveWindows off), else the remembered corner,
    // at most 70 pixels short of the right and bottom edges of `screen`.
    std::optional<QPoint> position(const QRect& screen) const;
    // The sheet's client rectangle (without the window manager's frame) when a page stores its
    // fields.
    void rememberPosition(const QRect& client);

    // Login page. The first activation fills the list and makes a current account of a table
    // that has one (a stored index outside the table becomes the first account).
    void activateLogin();
    LoginView loginView() const;
    // Takes the check boxes and edits into the current account, in order, and stops at the first
    // required field that is empty (showing its notice): that field is returned.
    std::optional<LoginField> validateAndStore(const LoginFields& shown);
    // Another account chosen in the list: false (and `failed` set) when the current one is
    // invalid; the list then shows the current account again.
    bool selectAccount(int index, const LoginFields& shown,
                       std::optional<LoginField>* failed = nullptr);
    // Each change of the name edit: the current account's name and its list entry follow.
    void nameEdited(const QString& text);
    void setAnonymous(bool on);
    void setUseIp(bool on);
    // The Login page's encryption choice. Implicit TLS listens on its own port: choosing it
    // moves an account on port 21 to 990, and an explicit or plain choice moves 990 back to 21.
    // Any other port is the user's and stays.
    void setEncryption(ftp::TlsMode mode);
    // The Login page's protocol choice. The port follows it when it held the other protocol's
    // default (21, or 990 for implicit TLS, and 22); any other port stays.
    void setProtocol(ftp::Protocol protocol);
    // Appends an empty account (port 21) and makes it current; false when the current account
    // is invalid or the table is full.
    bool newAccount(const LoginFields& shown, std::optional<LoginField>* failed = nullptr);
    // Asks, then removes the account at `index`; the first account becomes current.
    bool deleteAccount(int index);

    // Startup page: loads from the current account and remembers it.
    StartupView activateStartup();
    // Stores the page's fields into the current account. When the current account is no longer
    // the one the page was loaded from, nothing is stored: the page is reloaded from the current
    // account and the view to show is returned.
    std::optional<StartupView> storeStartup(const StartupFields& shown);
    // The browse button: the typed path is kept before the folder dialog opens.
    void storeLocalPath(const QString& path);

    // Notes page, the same way; the comments are in their kept form (lines end with CR LF), and
    // storing accepts any line ends.
    NotesView activateNotes();
    std::optional<NotesView> storeNotes(const QString& comments);

    // The final copy, to replace the real state after OK.
    AppState takeState() { return std::move(m_state); }

private:
    AccountRecord* current();
    const AccountRecord* current() const;
    StartupView startupViewOf(int index) const;
    NotesView notesViewOf(int index) const;

    AppState m_state;
    bool m_connectMode;
    const Messages& m_messages;
    bool m_listFilled = false;
    int m_startupAccount = -1;
    int m_notesAccount = -1;
};

// Notes as an editor shows them (lines end with "\n") and as they are kept ("\r\n").
QString CommentsToNotes(const QString& comments);
QString NotesToComments(const QString& text);

// The operation behind Accounts (130) and the first step of Connect: runs the sheet on a
// scratch copy of `state` (`run` shows it and returns true on OK / Connect); on OK what the
// sheet edits (the table, the current account, the sheet's placement) replaces those parts of
// `state`, the state is saved, and the current account is returned. Cancel: nullopt, and
// nothing has changed.
std::optional<int> ShowAccountsSheet(AppState& state, bool connectMode, const Messages& messages,
                                     const std::function<bool(AccountsSheet&)>& run,
                                     const std::function<bool(const AppState&)>& saveSettings);

} // namespace tw

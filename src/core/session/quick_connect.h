#pragma once

#include "core/accounts/account_record.h"
#include "core/state/app_state.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace tw {

class Messages;
class SessionController;
class SettingsStore;

// What the quick connect bar holds. The host may be a bare host name ("example.org",
// "example.org:2121", "[::1]") or an ftp://, ftps://, ftpes:// or sftp:// address; User,
// Password and Port, when not empty, win over the address's own parts.
struct QuickConnectFields {
    QString host;
    QString user;
    QString password;
    QString port;
    bool operator==(const QuickConnectFields&) const = default;
};

// One remembered quick connection: never its password.
struct QuickConnectEntry {
    QString host;
    std::uint32_t port = 21;
    QString user;
    ftp::TlsMode protocol = kNewAccountEncryption; // FTP's encryption
    ftp::Protocol kind = ftp::Protocol::Ftp;
    bool operator==(const QuickConnectEntry&) const = default;
};

inline constexpr int kQuickHistoryLimit = 20;

// The fields read: the site to connect to, or the text that says what is wrong with them
// (its id, the id of the field's name when it names one, and its arguments).
struct QuickConnectTarget {
    std::optional<AccountRecord> account;
    int errorId = 0;
    int fieldId = 0;
    QString errorArg;
    QString errorDetail;
};

// Reads the fields into a transient account: passive, anonymous without a user, the address's
// path as its remote start folder. A bare host and ftp:// use explicit TLS when the server
// offers it (as a new account does); ftps:// is implicit TLS (port 990), ftpes:// requires
// explicit TLS, sftp:// is SFTP (port 22; "/srv" absolute, "/~/x" in the login folder). Control
// characters (typed or percent-encoded), a port outside 1-65535, an empty host and schemes
// other than these four are refused.
QuickConnectTarget ReadQuickConnect(const QuickConnectFields& fields);

// The history entry of a quick connection, and the fields that choosing it fills in (the host
// carries the scheme when the encryption needs one).
QuickConnectEntry QuickHistoryEntry(const AccountRecord& account);
QuickConnectFields QuickFieldsOf(const QuickConnectEntry& entry);
// The entry's line in the host list: "ftpes://bob@example.org:2121", "sftp://bob@example.org",
// the default port left out.
QString QuickHistoryText(const QuickConnectEntry& entry);
// Puts `entry` first, without a duplicate, and keeps the newest kQuickHistoryLimit entries.
void RememberQuickConnect(std::vector<QuickConnectEntry>& history, QuickConnectEntry entry);

// The history under "DeskTop\Quick Connect\History-NN" (newest first): Host, Port, User and
// Protocol (the encryption's number), SFTP (1 for an sftp:// site). Unreadable entries are left
// out.
std::vector<QuickConnectEntry> LoadQuickHistory(const SettingsStore& store);
bool SaveQuickHistory(SettingsStore& store, const std::vector<QuickConnectEntry>& history);

// The fields read as by ReadQuickConnect; what is wrong with them is shown in a message box.
std::optional<AccountRecord> QuickConnectAccount(const Messages& messages,
                                                 const QuickConnectFields& fields);

// The bar's Connect: reads the fields (a message box says what is wrong, and nothing
// connects), remembers the site in `history` and starts the session's connect. True when the
// connect has started.
bool StartQuickConnect(SessionController& session, const Messages& messages,
                       const QuickConnectFields& fields, std::vector<QuickConnectEntry>& history);

// Save as account: `runSheet` shows the accounts sheet over a draft of the state whose current
// account is a new one made from `account`, named after its host (numbered when the name is
// taken). When the sheet is left with OK its accounts replace the state's and `saveSettings`
// runs; Cancel changes nothing. A full account table is reported and opens no sheet.
bool SaveQuickAccount(AppState& state, const Messages& messages, AccountRecord account,
                      const std::function<bool(AppState& draft)>& runSheet,
                      const std::function<bool(const AppState&)>& saveSettings);

} // namespace tw

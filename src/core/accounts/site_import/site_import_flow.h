#pragma once

#include "core/accounts/account_file_commands.h"
#include "core/state/app_state.h"

#include <QString>

#include <functional>
#include <vector>

namespace tw {

class Messages;
class SiteImportPort;

enum class SiteImportKind { FileZilla, SshConfig };

// Called with the indices in AppState::Accounts of the accounts an import added, after the
// settings were saved: the accounts' passwords (SavePassword set, Kept None) are moved to the
// password store here.
using AccountsImportedFn = std::function<void(const std::vector<int>& rows)>;

// The largest file an import reads.
inline constexpr qint64 kMaxSiteFileSize = 16 * 1024 * 1024;

// The files the commands start from: ~/.config/filezilla/sitemanager.xml (below
// $XDG_CONFIG_HOME when set) and ~/.ssh/config of `home`.
QString DefaultSiteFile(SiteImportKind kind, const QString& home);

// Import FileZilla Sites (command 142) and Import SSH Config Hosts (143): asks for the file,
// reads it (at most kMaxSiteFileSize), shows what would be imported, and on Import adds the
// accounts at the end of the table, saves the settings and hands the new rows to `imported`.
// A file that cannot be read or is not of the kind changes nothing. Returns the rows added.
std::vector<int> RunSiteImport(SiteImportKind kind, AppState& state, const Messages& messages,
                               SiteImportPort& port, const SaveSettingsFn& saveSettings,
                               const AccountsImportedFn& imported, const QString& home);

} // namespace tw

#pragma once

#include "core/accounts/account_export.h"
#include "core/state/app_state.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <functional>

namespace tw {

class AccountsPort;
class Messages;

// Saves the whole state (the settings store's SaveSettings, bound by the caller).
using SaveSettingsFn = std::function<bool(const AppState&)>;

// The file both commands start from when no path is remembered: the documents folder joined
// with "Tarnwick 2000 Accounts.twx".
QString DefaultExportPath();

// Export (command 141): asks for the file, keeps a "Backup of" copy of an existing one, writes
// the accounts, file types and sounds, readable by the owner only (it holds plain passwords).
// The chosen path is remembered in ExportPath. `now` stamps the header (invalid: the current
// time). True when the file was written.
// `passwords` says which passwords the file holds (ExportPasswords, account_export.h).
bool RunExport(AppState& state, const Messages& messages, AccountsPort& port,
               const QDateTime& now = QDateTime(), const ExportPasswords& passwords = {});

// Import (command 140): confirms, asks for the file, reads and checks all of it, and only then
// replaces the accounts, file types and sounds and saves the settings. A file that cannot be
// read, is not an export file, or is damaged changes nothing (but the remembered path).
// True when the file was read and saved.
bool RunImport(AppState& state, const Messages& messages, AccountsPort& port,
               const SaveSettingsFn& saveSettings);

// Writes `bytes` to `path` with permissions 0600, replacing its contents. A file without the
// owner's write permission, and anything but a plain file (a folder, a pipe, a device), is
// refused. Returns 0 or the errno of the failure.
int WriteOwnerOnlyFile(const QString& path, const QByteArray& bytes);

// Reads a whole plain file of at most `maxBytes`. Returns 0 or the errno of the failure (EFBIG
// for a larger file, EISDIR for a folder, EINVAL for a pipe or device).
int ReadWholeFile(const QString& path, qint64 maxBytes, QByteArray& bytes);

} // namespace tw

#pragma once

#include "core/accounts/account_file_commands.h"

#include <functional>

namespace tw {

class Messages;
class PasswordKeeper;
class PasswordPort;
struct AppState;

// The accounts whose password an export would write in plain text: known in this run or kept
// in a store.
int CountExportPasswords(const AppState& state);

// Export with the question about passwords first: with passwords (the kept ones read back on
// the keeper's worker), without them, or not at all. `run` writes the file (RunExport) on the
// UI thread, after the answer; it is not called when the user cancels.
void StartExport(const AppState& state, const Messages& messages, PasswordPort& port,
                 PasswordKeeper& keeper, std::function<void(const ExportPasswords&)> run);

} // namespace tw

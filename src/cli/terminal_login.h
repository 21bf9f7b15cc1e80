#pragma once

// What tarnwick-ftp asks on the terminal or takes from the environment to log in, and how it
// describes an SSH host key it did not accept.

#include "ftp/remote_session.h"

#include <functional>
#include <optional>
#include <string>

namespace tw::cli {

// Reads a line from the controlling terminal (/dev/tty) without echo after showing `prompt`
// there; nullopt when the process has no terminal.
std::optional<std::string> ReadHiddenLine(const std::string& prompt);

// The passphrase of an encrypted key for SshOptions::passphrase: TARNWICK_FTP_PASSPHRASE, else
// asked on the terminal (nullopt without one). The answer for a key file is asked once and
// given to every further connection of the run (the queue's logins, on any thread); it is
// wiped from memory when the last copy of the function goes.
std::function<std::optional<std::string>(const std::string& keyFile)> PassphraseSource();

// The host key a connection refused, on standard error: type, fingerprint and what to do; for a
// changed key the warning and both fingerprints.
void PrintRejectedHostKey(const tw::ftp::HostKeyInfo& key);

} // namespace tw::cli

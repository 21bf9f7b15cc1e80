#pragma once

#include "ftp/remote_session.h"
#include "ftp/tls_types.h"

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace tw::cli {

// The parsed command line of tarnwick-ftp.
struct CommandLine {
    std::string command; // ls get put mirror mkdir rmdir rm mv pwd
    std::vector<std::string> arguments;
    bool active = false;
    bool json = false;
    bool help = false;
    bool version = false;
    std::size_t blockSize = 4096;
    bool blockSizeGiven = false;
    bool recursive = false; // -r: get / put folders with everything in them
    int parallel = 2;       // -P: connections of get, put and mirror (1..10)
    bool resume = false;    // --continue: partial files of an earlier run are resumed
    bool reverse = false;   // mirror --reverse: a local folder up to the server
    int timeoutSeconds = 30;
    std::optional<tw::ftp::TlsMode> tls; // --tls; none leaves it to the URL's scheme
    std::string caFile;                  // --ca-file
    std::string pinSha256;               // --pin-sha256, normalised ("AB:CD:..")
    bool insecure = false;               // --insecure
    bool allowTruncatedTls = false;      // --allow-truncated-tls
    // SFTP (sftp:// URLs) only.
    std::string identityFile;      // -i, --identity: a private key to log in with
    bool noAgent = false;          // --no-agent: the keys of SSH_AUTH_SOCK's agent are not tried
    std::string knownHostsFile;    // --known-hosts (empty: ~/.ssh/known_hosts)
    std::string sshConfigFile;     // --ssh-config, "none" for no file (empty: ~/.ssh/config)
    bool acceptNewHostKey = false; // --accept-new-host-key
};

// Exit statuses of tarnwick-ftp.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;     // an FTP or local file failure
inline constexpr int kExitUsage = 2;       // a usage error
inline constexpr int kExitTls = 3;         // TLS could not be set up or broke
inline constexpr int kExitCertificate = 4; // the server's certificate or host key was not accepted
inline constexpr int kExitInterrupted = 130; // stopped by Ctrl+C (SIGINT) or SIGTERM

// False with a message for a usage error.
bool ParseCommandLine(const std::vector<std::string>& args, CommandLine& out, std::string& error);

// The encryption of a connection to a URL with that scheme (nullopt for ftp://): the URL's
// scheme, else --tls, else plain. False with a message when they conflict, or when a
// certificate option is given for plain FTP.
bool ResolveTlsMode(const CommandLine& commandLine, std::optional<tw::ftp::TlsMode> urlTls,
                    tw::ftp::TlsMode& mode, std::string& error);

// The options that apply to one protocol only, checked against the URL's: false with a message
// for an FTP option with an sftp:// URL or an SSH option with an FTP one.
bool CheckProtocolOptions(const CommandLine& commandLine, tw::ftp::Protocol protocol,
                          std::string& error);

// The --help text.
std::string UsageText();

} // namespace tw::cli

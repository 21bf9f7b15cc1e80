#pragma once

#include "ftp/remote_session.h"
#include "ftp/tls_types.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
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
    // mirror only: what is compared and what is done about the differences.
    bool onlyNewer = false;            // --only-newer: replace only older destination files
    bool onlyMissing = false;          // --only-missing: copy only what the destination lacks
    bool deleteExtra = false;          // --delete: delete what the source lacks
    bool deleteAll = false;            // --delete-all: even when that is every file
    bool dryRun = false;               // --dry-run: print the plan, change nothing
    bool checksum = false;             // --checksum: same size, other time: by content
    bool sizeOnly = false;             // --size-only
    bool timeOnly = false;             // --time-only
    std::vector<std::string> excludes; // --exclude GLOB, repeatable
    std::int64_t timeOffset = 0;       // --time-offset: seconds added to the server's times
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
inline constexpr int kExitChanged = 5;   // mirror: something was (with --dry-run: would be) copied
                                         // or deleted
inline constexpr int kExitConflicts = 6; // mirror: in step but for the conflicts it listed
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

// A signed number of seconds, or of hours or minutes with the suffix h or m ("+2h", "-30m",
// "3600"), at most a week either way.
std::optional<std::int64_t> ParseTimeOffset(std::string_view text);

// The --help text.
std::string UsageText();

} // namespace tw::cli

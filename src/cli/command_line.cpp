#include "cli/command_line.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace tw::cli {

namespace {

bool parseNumber(std::string_view text, long long max, long long& value) {
    if (text.empty() || text.size() > 12)
        return false;
    value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + (c - '0');
    }
    return value >= 1 && value <= max;
}

struct CommandArity {
    std::string_view name;
    std::size_t min;
    std::size_t max;
};

constexpr std::size_t kMany = 100000;

constexpr std::array<CommandArity, 9> kCommands = {{{"ls", 1, 1},
                                                    {"get", 1, kMany},
                                                    {"put", 2, kMany},
                                                    {"mirror", 2, 2},
                                                    {"mkdir", 1, 1},
                                                    {"rmdir", 1, 1},
                                                    {"rm", 1, 1},
                                                    {"mv", 2, 2},
                                                    {"pwd", 1, 1}}};

struct TlsModeName {
    std::string_view name;
    tw::ftp::TlsMode mode;
};

constexpr std::array<TlsModeName, 4> kTlsModes = {{{"auto", tw::ftp::TlsMode::ExplicitIfAvailable},
                                                   {"explicit", tw::ftp::TlsMode::ExplicitRequired},
                                                   {"implicit", tw::ftp::TlsMode::Implicit},
                                                   {"off", tw::ftp::TlsMode::Plain}}};

std::string_view tlsModeName(tw::ftp::TlsMode mode) {
    for (const auto& m : kTlsModes)
        if (m.mode == mode)
            return m.name;
    return {};
}

// The value of an option given as "--name value" or "--name=value"; false when missing.
bool optionValue(const std::vector<std::string>& args, std::size_t& i, std::string& value) {
    const std::string& a = args[i];
    const auto eq = a.find('=');
    if (eq != std::string::npos) {
        value = a.substr(eq + 1);
        return true;
    }
    if (i + 1 >= args.size())
        return false;
    value = args[++i];
    return true;
}

bool isOption(const std::string& arg, std::string_view name) {
    return arg == name || (arg.size() > name.size() && arg.compare(0, name.size(), name) == 0 &&
                           arg[name.size()] == '=');
}

} // namespace

std::optional<std::int64_t> ParseTimeOffset(std::string_view text) {
    if (text.empty())
        return std::nullopt;
    const bool negative = text.front() == '-';
    if (text.front() == '-' || text.front() == '+')
        text.remove_prefix(1);
    std::int64_t unit = 1;
    if (!text.empty() && (text.back() == 'h' || text.back() == 'm' || text.back() == 's')) {
        unit = text.back() == 'h' ? 3600 : text.back() == 'm' ? 60 : 1;
        text.remove_suffix(1);
    }
    constexpr std::int64_t kWeek = 7 * 86400;
    if (text.empty() || text.size() > 7)
        return std::nullopt;
    std::int64_t value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + (c - '0');
    }
    value *= unit;
    if (value > kWeek)
        return std::nullopt;
    return negative ? -value : value;
}

bool ResolveTlsMode(const CommandLine& commandLine, std::optional<tw::ftp::TlsMode> urlTls,
                    tw::ftp::TlsMode& mode, std::string& error) {
    if (urlTls && commandLine.tls && *commandLine.tls != *urlTls) {
        error = "--tls " + std::string(tlsModeName(*commandLine.tls)) + " conflicts with the " +
                (*urlTls == tw::ftp::TlsMode::Implicit ? "ftps://" : "ftpes://") + " URL";
        return false;
    }
    mode = urlTls ? *urlTls : commandLine.tls.value_or(tw::ftp::TlsMode::Plain);
    if (mode == tw::ftp::TlsMode::Plain) {
        const char* option = !commandLine.caFile.empty()      ? "--ca-file"
                             : !commandLine.pinSha256.empty() ? "--pin-sha256"
                             : commandLine.insecure           ? "--insecure"
                                                              : nullptr;
        if (option) {
            error =
                std::string(option) + " needs an encrypted connection (ftpes://, ftps:// or --tls)";
            return false;
        }
    }
    return true;
}

bool CheckProtocolOptions(const CommandLine& c, tw::ftp::Protocol protocol, std::string& error) {
    if (protocol == tw::ftp::Protocol::Sftp) {
        const char* option = c.tls                  ? "--tls"
                             : !c.caFile.empty()    ? "--ca-file"
                             : !c.pinSha256.empty() ? "--pin-sha256"
                             : c.insecure           ? "--insecure"
                             : c.allowTruncatedTls  ? "--allow-truncated-tls"
                             : c.active             ? "--active"
                                                    : nullptr;
        if (option)
            error = std::string(option) +
                    " applies to FTP only (sftp:// is encrypted by SSH and has no data "
                    "connections)";
        return option == nullptr;
    }
    const char* option = !c.identityFile.empty()     ? "--identity"
                         : c.noAgent                 ? "--no-agent"
                         : !c.knownHostsFile.empty() ? "--known-hosts"
                         : !c.sshConfigFile.empty()  ? "--ssh-config"
                         : c.acceptNewHostKey        ? "--accept-new-host-key"
                                                     : nullptr;
    if (option)
        error = std::string(option) + " applies to sftp:// URLs only";
    return option == nullptr;
}

std::string UsageText() {
    return "Usage: tarnwick-ftp [options] COMMAND ARGUMENTS\n"
           "\n"
           "Commands:\n"
           "  ls URL                 list a directory (or the names a wildcard pattern matches)\n"
           "  get URL... [LOCAL]     download files (LOCAL defaults to the remote name; with\n"
           "                         several URLs, or an existing folder, into that folder)\n"
           "  put LOCAL... URL       upload files (a URL ending in / keeps the local name;\n"
           "                         with several files the URL is a folder)\n"
           "  mirror URL LOCALDIR    bring LOCALDIR in step with a remote folder: list both,\n"
           "                         copy what is missing or differs (LOCALDIR is made when\n"
           "                         missing); a newer destination file is never replaced\n"
           "  mirror --reverse LOCALDIR URL\n"
           "                         the same from a local folder to the URL\n"
           "  mkdir URL              create a directory\n"
           "  rmdir URL              remove a directory\n"
           "  rm URL                 delete a file\n"
           "  mv URL NEWNAME         rename; NEWNAME is a path or a URL on the same server\n"
           "  pwd URL                print the server's directory after entering the URL's path\n"
           "\n"
           "URLs: ftp://[user[:password]@]host[:port]/path. The path is relative to the login\n"
           "directory; start it with %2F (or a second /) for an absolute path. Without a user\n"
           "name the login is anonymous. The password comes from the URL, else from\n"
           "TARNWICK_FTP_PASSWORD, else it is asked for on the terminal.\n"
           "ftpes:// URLs require explicit FTP over TLS (port 21 by default), ftps:// URLs\n"
           "implicit FTP over TLS (port 990 by default); ftp:// is plain FTP unless --tls\n"
           "says otherwise.\n"
           "sftp://[user[:password]@]host[:port]/path is SFTP over SSH (port 22 by default):\n"
           "its path is absolute, /~/path is relative to the login folder. The login tries\n"
           "the agent's keys (SSH_AUTH_SOCK), then the --identity key (or the one\n"
           "~/.ssh/config names; its passphrase from TARNWICK_FTP_PASSPHRASE, else asked on\n"
           "the terminal), then a password as above (asked for only once the keys were\n"
           "refused). ~/.ssh/config's Host aliases, HostName, User, Port and IdentityFile\n"
           "apply. The host key must be in ~/.ssh/known_hosts; an unknown one is accepted\n"
           "and added only with --accept-new-host-key, a changed one never.\n"
           "\n"
           "Options:\n"
           "  -r, --recursive        get / put folders with everything in them\n"
           "  -P, --parallel N       connections of get, put and mirror, 1 to 10 (default 2)\n"
           "  -c, --continue         resume partial files an earlier run left (without it\n"
           "                         they are started again)\n"
           "  --reverse              mirror from the local folder to the server\n"
           "\n"
           "Mirror options:\n"
           "  -n, --dry-run          print the plan, one line per action (copy, replace,\n"
           "                         delete, skip, conflict: path and reason), and a summary;\n"
           "                         change nothing\n"
           "  --only-newer           replace a destination file only when the source is newer\n"
           "  --only-missing         copy only what the destination lacks; replace nothing\n"
           "  --delete               delete destination files and folders the source lacks\n"
           "  --delete-all           --delete, even when that would delete every file of the\n"
           "                         destination (without it such a mirror is refused)\n"
           "  --exclude GLOB         leave out matching names (a pattern with / matches the\n"
           "                         relative path); neither copied nor deleted; repeatable\n"
           "  --size-only            compare sizes only\n"
           "  --time-only            compare modification times only\n"
           "  --checksum             files of the same size whose times differ are compared by\n"
           "                         content (the server's HASH, XSHA256 or XMD5)\n"
           "  --time-offset T        add T to the server's times before comparing: seconds,\n"
           "                         or +2h, -30m (a server listing its local time at UTC+2\n"
           "                         needs -2h)\n"
           "  --active               active data connections (EPRT/PORT) instead of passive\n"
           "  --block-size N         bytes per read or write call (default 4096)\n"
           "  --timeout S            seconds any single wait may take (default 30)\n"
           "  --json                 ls output as a JSON array\n"
           "  --tls MODE             encryption of an ftp:// URL:\n"
           "                           auto      Use explicit FTP over TLS if available\n"
           "                           explicit  Require explicit FTP over TLS\n"
           "                           implicit  Require implicit FTP over TLS\n"
           "                           off       Only use plain FTP (insecure); the default\n"
           "  --ca-file PATH         also trust the certificate authorities in this PEM file\n"
           "  --pin-sha256 FP        accept only the server certificate with this SHA-256\n"
           "                         fingerprint (hex, with or without colons), valid or not\n"
           "  --insecure             do not check the server's certificate at all\n"
           "  --allow-truncated-tls  keep an encrypted download of unknown size whose end\n"
           "                         the server did not confirm (it may be incomplete)\n"
           "\n"
           "SFTP options (sftp:// URLs only; the FTP and TLS options above are refused there):\n"
           "  -i, --identity FILE    log in with this private key\n"
           "  --no-agent             do not try the keys of the agent at SSH_AUTH_SOCK\n"
           "  --known-hosts FILE     check host keys against FILE, not ~/.ssh/known_hosts\n"
           "  --ssh-config FILE      read FILE instead of ~/.ssh/config (none: no file)\n"
           "  --accept-new-host-key  accept a host key known_hosts does not hold and add it\n"
           "                         there; a changed key is never accepted\n"
           "\n"
           "  --help                 show this text\n"
           "  --version              show the version\n"
           "\n"
           "Downloads are written to a hidden \".NAME.tw-part\" file and uploads to\n"
           "\".NAME.tw-up\" on the server until they are complete; a cut connection is\n"
           "retried twice, resuming where it stopped. Dates are kept both ways where the server\n"
           "can tell and set them. Names that cannot be copied as they are, and links back to a\n"
           "folder being copied, are left out and listed on standard error. On a terminal a\n"
           "line on standard error shows the progress.\n"
           "\n"
           "Exit status: 0 success, 1 FTP, SFTP or file failure (any file that failed, a\n"
           "login refused), 2 usage error, 3 TLS failure (not offered, handshake, protection\n"
           "refused or broken), 4 the server's certificate or SSH host key was not accepted\n"
           "(its details and fingerprint go to standard error; for a changed host key a\n"
           "warning with the known and the offered fingerprint), 130 stopped by Ctrl+C (a\n"
           "second Ctrl+C a second later ends the program at once). mirror also exits with\n"
           "5 when it copied or deleted something (with --dry-run: when it would), 6 when the\n"
           "folders are in step but for the conflicts it listed, and 0 when they were in\n"
           "step already.\n";
}

bool ParseCommandLine(const std::vector<std::string>& args, CommandLine& out, std::string& error) {
    out = CommandLine{};
    std::vector<std::string> positional;
    bool parallelGiven = false;
    std::string mirrorOption; // the first of mirror's own options given
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (optionsEnded || a.size() < 2 || a[0] != '-') {
            positional.push_back(a);
            continue;
        }
        if (a == "--") {
            optionsEnded = true;
        } else if (a == "--help" || a == "-h") {
            out.help = true;
        } else if (a == "--version") {
            out.version = true;
        } else if (a == "--active") {
            out.active = true;
        } else if (a == "--json") {
            out.json = true;
        } else if (a == "--no-agent") {
            out.noAgent = true;
        } else if (a == "--accept-new-host-key") {
            out.acceptNewHostKey = true;
        } else if (a == "-i" || isOption(a, "--identity") || isOption(a, "--known-hosts") ||
                   isOption(a, "--ssh-config")) {
            const std::string name = a == "-i" ? "--identity" : a.substr(0, a.find('='));
            std::string value;
            if (!optionValue(args, i, value) || value.empty()) {
                error = name + " needs a file name";
                return false;
            }
            (name == "--identity"      ? out.identityFile
             : name == "--known-hosts" ? out.knownHostsFile
                                       : out.sshConfigFile) = value;
        } else if (a == "--insecure") {
            out.insecure = true;
        } else if (a == "--allow-truncated-tls") {
            out.allowTruncatedTls = true;
        } else if (a == "-r" || a == "--recursive") {
            out.recursive = true;
        } else if (a == "-c" || a == "--continue") {
            out.resume = true;
        } else if (a == "--reverse") {
            out.reverse = true;
        } else if (a == "--only-newer") {
            out.onlyNewer = true;
            mirrorOption = mirrorOption.empty() ? a : mirrorOption;
        } else if (a == "--only-missing") {
            out.onlyMissing = true;
            mirrorOption = mirrorOption.empty() ? a : mirrorOption;
        } else if (a == "--delete") {
            out.deleteExtra = true;
            mirrorOption = mirrorOption.empty() ? a : mirrorOption;
        } else if (a == "--delete-all") {
            out.deleteExtra = out.deleteAll = true;
            mirrorOption = mirrorOption.empty() ? a : mirrorOption;
        } else if (a == "--dry-run" || a == "-n") {
            out.dryRun = true;
            mirrorOption = mirrorOption.empty() ? a : mirrorOption;
        } else if (a == "--checksum") {
            out.checksum = true;
            mirrorOption = mirrorOption.empty() ? a : mirrorOption;
        } else if (a == "--size-only") {
            out.sizeOnly = true;
            mirrorOption = mirrorOption.empty() ? a : mirrorOption;
        } else if (a == "--time-only") {
            out.timeOnly = true;
            mirrorOption = mirrorOption.empty() ? a : mirrorOption;
        } else if (isOption(a, "--exclude") || isOption(a, "--time-offset")) {
            const std::string name = a.substr(0, a.find('='));
            std::string value;
            if (!optionValue(args, i, value) || value.empty()) {
                error = name + (name == "--exclude" ? " needs a pattern" : " needs a value");
                return false;
            }
            mirrorOption = mirrorOption.empty() ? name : mirrorOption;
            if (name == "--exclude") {
                out.excludes.push_back(value);
            } else if (const auto offset = ParseTimeOffset(value)) {
                out.timeOffset = *offset;
            } else {
                error = "invalid value for --time-offset: " + value +
                        " (seconds, or hours and minutes as +2h, -30m; at most a week)";
                return false;
            }
        } else if (a == "-P" || isOption(a, "--parallel")) {
            std::string value;
            long long n = 0;
            if (!optionValue(args, i, value)) {
                error = "-P needs a number of connections";
                return false;
            }
            if (!parseNumber(value, 10, n)) {
                error = "invalid value for -P: " + value + " (1 to 10 connections)";
                return false;
            }
            out.parallel = static_cast<int>(n);
            parallelGiven = true;
        } else if (isOption(a, "--tls") || isOption(a, "--ca-file") ||
                   isOption(a, "--pin-sha256")) {
            const std::string name = a.substr(0, a.find('='));
            std::string value;
            if (!optionValue(args, i, value)) {
                error = name + " needs a value";
                return false;
            }
            if (name == "--tls") {
                const auto m = std::find_if(kTlsModes.begin(), kTlsModes.end(),
                                            [&](const TlsModeName& t) { return t.name == value; });
                if (m == kTlsModes.end()) {
                    error =
                        "invalid value for --tls: " + value + " (auto, explicit, implicit or off)";
                    return false;
                }
                out.tls = m->mode;
            } else if (name == "--ca-file") {
                if (value.empty()) {
                    error = "--ca-file needs a file name";
                    return false;
                }
                out.caFile = value;
            } else {
                const auto fp = tw::ftp::NormalizeFingerprint(value);
                if (!fp) {
                    error = "invalid SHA-256 fingerprint for --pin-sha256: " + value;
                    return false;
                }
                out.pinSha256 = *fp;
            }
        } else if (a == "--block-size" || a == "--timeout" || a.rfind("--block-size=", 0) == 0 ||
                   a.rfind("--timeout=", 0) == 0) {
            const bool isBlock = a.rfind("--block-size", 0) == 0;
            std::string value;
            const auto eq = a.find('=');
            if (eq != std::string::npos) {
                value = a.substr(eq + 1);
            } else if (i + 1 < args.size()) {
                value = args[++i];
            } else {
                error = a + " needs a value";
                return false;
            }
            long long n = 0;
            if (!parseNumber(value, isBlock ? 64LL * 1024 * 1024 : 86400, n)) {
                error = "invalid value for " + a.substr(0, eq) + ": " + value;
                return false;
            }
            if (isBlock) {
                out.blockSize = static_cast<std::size_t>(n);
                out.blockSizeGiven = true;
            } else
                out.timeoutSeconds = static_cast<int>(n);
        } else {
            error = "unknown option " + a;
            return false;
        }
    }
    if (out.help || out.version)
        return true;
    if (out.insecure && !out.pinSha256.empty()) {
        error = "--insecure and --pin-sha256 contradict each other";
        return false;
    }
    if (positional.empty()) {
        error = "no command given";
        return false;
    }
    out.command = positional.front();
    out.arguments.assign(positional.begin() + 1, positional.end());
    for (const auto& c : kCommands) {
        if (c.name != out.command)
            continue;
        if (out.arguments.size() < c.min || out.arguments.size() > c.max) {
            error = "wrong number of arguments for " + out.command;
            return false;
        }
        if (out.json && out.command != "ls") {
            error = "--json applies to ls only";
            return false;
        }
        const bool copies = out.command == "get" || out.command == "put" || out.command == "mirror";
        if (out.recursive && out.command != "get" && out.command != "put") {
            error = "-r applies to get and put";
            return false;
        }
        if ((out.reverse || !mirrorOption.empty()) && out.command != "mirror") {
            error =
                (out.reverse ? std::string("--reverse") : mirrorOption) + " applies to mirror only";
            return false;
        }
        if (out.sizeOnly && out.timeOnly) {
            error = "--size-only and --time-only contradict each other";
            return false;
        }
        if (!copies && (out.resume || parallelGiven)) {
            error =
                std::string(out.resume ? "--continue" : "-P") + " applies to get, put and mirror";
            return false;
        }
        return true;
    }
    error = "unknown command " + out.command;
    return false;
}

} // namespace tw::cli

// SftpSession's connect: the SSH connection (libssh, non-blocking, so a stop or the deadline
// ends every stage), the host key against known_hosts, the login, and the sftp subsystem.

#include "ftp/ftp_error.h"
#include "sftp/known_hosts.h"
#include "sftp/sftp_session_internal.h"

#include <openssl/crypto.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <tuple>
#include <unistd.h>

namespace tw::sftp {

namespace {

namespace f = tw::ftp;

std::string homePath(const std::string& rest) {
    const char* home = std::getenv("HOME");
    return std::string(home ? home : "") + "/" + rest;
}

std::string expandHome(const std::string& path) {
    if (path == "~")
        return homePath("");
    if (path.rfind("~/", 0) == 0)
        return homePath(path.substr(2));
    return path;
}

std::string sshError(ssh_session ssh) {
    const char* text = ssh ? ssh_get_error(ssh) : nullptr;
    return text ? text : "";
}

// The passphrase of an encrypted key is asked by libssh through this when none was given:
// the call only records that one was wanted.
int notePassphraseWanted(const char*, char*, std::size_t, int, int, void* userdata) {
    *static_cast<bool*>(userdata) = true;
    return -1;
}

// libssh tells why ssh_connect failed only in words: the network's failures keep the numbers
// the queue retries, the rest (no SSH server, no common algorithm) is an SSH failure.
int connectError(const std::string& text) {
    const auto has = [&](const char* words) { return text.find(words) != std::string::npos; };
    if (has("resolve hostname"))
        return f::kErrNameNotResolved;
    if (has("refused") || has("No route") || has("unreachable") || has("Timeout connecting"))
        return f::kErrCannotConnect;
    if (has("disconnected") || has("reset by peer") || has("Broken pipe"))
        return f::kErrConnectionReset;
    return f::kErrSshFailure;
}

void wipe(std::string& secret) {
    if (!secret.empty())
        OPENSSL_cleanse(secret.data(), secret.size());
    secret.clear();
}

struct KeyHolder {
    ssh_key key = nullptr;
    ~KeyHolder() {
        if (key)
            ssh_key_free(key);
    }
};

} // namespace

void SessionState::release() {
    if (channel) {
        ssh_channel_free(channel);
        channel = nullptr;
    }
    if (ssh) {
        if (connected)
            ssh_disconnect(ssh);
        ssh_free(ssh);
        ssh = nullptr;
    }
    connected = false;
    in.clear();
    out.clear();
    outPos = 0;
    wanted.clear();
    replies.clear();
    fileState = FileState::None;
    chunks.clear();
    pending.clear();
    pendingPos = 0;
}

int SessionState::drop() {
    if (ssh && lastResponse.empty())
        lastResponse = sshError(ssh);
    release();
    lost = true;
    return f::kErrFtpDropped;
}

int SessionState::waitSocket(Clock::time_point deadline, int capMs) {
    if (cancel.isCancelled())
        return f::kErrOperationCancelled;
    const auto now = Clock::now();
    if (now >= deadline)
        return f::kErrTimeout;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now);
    const int ms = int(std::min<long long>(left.count() + 1, capMs));
    pollfd fds[2] = {{cancel.fd(), POLLIN, 0}, {ssh ? ssh_get_fd(ssh) : -1, POLLIN, 0}};
    if (ssh && (ssh_get_poll_flags(ssh) & SSH_WRITE_PENDING))
        fds[1].events |= POLLOUT;
    ::poll(fds, fds[1].fd >= 0 ? 2 : 1, ms);
    if (cancel.isCancelled())
        return f::kErrOperationCancelled;
    return f::kErrNone;
}

int SessionState::connect(const ftp::SessionOptions& o) {
    options = o;
    lastResponse.clear();
    hostKey.reset();
    const auto deadline = Clock::now() + std::chrono::milliseconds(std::max(o.timeoutMs, 1));
    const ftp::SshOptions& so = o.ssh;
    ssh = ssh_new();
    if (!ssh)
        return f::kErrOutOfHandles;
    const auto failWith = [&](int error) {
        if (error == f::kErrTimeout && lastResponse.empty())
            lastResponse = "The server did not answer in time.";
        if (lastResponse.empty())
            lastResponse = sshError(ssh);
        release();
        return error;
    };
    // Waits while a libssh call says "again".
    const auto settle = [&](auto call, int again) {
        for (;;) {
            const int rc = call();
            if (rc != again)
                return std::pair<int, int>{rc, f::kErrNone};
            if (const int e = waitSocket(deadline, 20))
                return std::pair<int, int>{rc, e};
        }
    };

    ssh_options_set(ssh, SSH_OPTIONS_HOST, o.host.c_str());
    // libssh starts with OpenSSH's default key names; only a key the config names is used.
    const auto firstIdentity = [&] {
        std::string name;
        char* text = nullptr;
        if (ssh_options_get(ssh, SSH_OPTIONS_IDENTITY, &text) == SSH_OK && text) {
            name = text;
            ssh_string_free_char(text);
        }
        return name;
    };
    const std::string defaultIdentity = firstIdentity();
    if (so.configFile == "none") {
        const int no = 0;
        ssh_options_set(ssh, SSH_OPTIONS_PROCESS_CONFIG, &no);
    } else {
        const std::string file =
            so.configFile.empty() ? homePath(".ssh/config") : expandHome(so.configFile);
        if (::access(file.c_str(), R_OK) == 0 && ssh_options_parse_config(ssh, file.c_str()) < 0)
            return failWith(f::kErrSshFailure);
        const int no = 0; // the system's file is not read behind the caller's back
        ssh_options_set(ssh, SSH_OPTIONS_PROCESS_CONFIG, &no);
    }
    if (o.port != 0) {
        const unsigned int port = unsigned(o.port);
        ssh_options_set(ssh, SSH_OPTIONS_PORT, &port);
    }
    if (!o.user.empty())
        ssh_options_set(ssh, SSH_OPTIONS_USER, o.user.c_str());
    const std::string knownHosts =
        so.knownHostsFile.empty() ? homePath(".ssh/known_hosts") : expandHome(so.knownHostsFile);
    ssh_options_set(ssh, SSH_OPTIONS_KNOWNHOSTS, knownHosts.c_str());
    std::string identity = so.identityFile;
    if (identity.empty()) {
        identity = firstIdentity();
        if (identity == defaultIdentity)
            identity.clear();
        if (identity.rfind("%d/", 0) == 0)
            identity = homePath(".ssh/" + identity.substr(3));
    }
    identity = expandHome(identity);
    // Small requests (READ, window adjustments) must not wait for Nagle's delayed ACK.
    const int noDelay = 1;
    ssh_options_set(ssh, SSH_OPTIONS_NODELAY, &noDelay);
    const long timeoutSeconds = std::max(1L, long(o.timeoutMs / 1000));
    ssh_options_set(ssh, SSH_OPTIONS_TIMEOUT, &timeoutSeconds);

    std::string host = o.host;
    if (char* h = nullptr; ssh_options_get(ssh, SSH_OPTIONS_HOST, &h) == SSH_OK && h) {
        host = h;
        ssh_string_free_char(h);
    }
    unsigned int port = 22;
    ssh_options_get_port(ssh, &port);

    ssh_set_blocking(ssh, 0);
    if (auto [rc, e] = settle([&] { return ssh_connect(ssh); }, SSH_AGAIN); e || rc != SSH_OK) {
        if (e)
            return failWith(e);
        lastResponse = sshError(ssh);
        return failWith(connectError(lastResponse));
    }
    connected = true;
    // TCP keep-alives as on the FTP control connection (idle 30 s, then every 10 s, 6 probes),
    // so a NAT keeps its mapping through a long idle time or a long transfer.
    if (const socket_t fd = ssh_get_fd(ssh); fd >= 0) {
        const int one = 1, idle = 30, interval = 10, count = 6;
        ::setsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &one, sizeof one);
        ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPIDLE, &idle, sizeof idle);
        ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPINTVL, &interval, sizeof interval);
        ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPCNT, &count, sizeof count);
    }

    // The host key.
    {
        KeyHolder server;
        if (ssh_get_server_publickey(ssh, &server.key) != SSH_OK)
            return failWith(f::kErrSshFailure);
        char* encoded = nullptr;
        if (ssh_pki_export_pubkey_base64(server.key, &encoded) != SSH_OK || !encoded)
            return failWith(f::kErrSshFailure);
        const std::string bytes = DecodeBase64(encoded);
        ssh_string_free_char(encoded);
        const char* typeName = ssh_key_type_to_char(ssh_key_type(server.key));
        const std::string type = typeName ? typeName : "";
        ftp::HostKeyInfo info;
        info.host = host;
        info.port = int(port);
        info.type = type;
        info.fingerprint = KeyFingerprint(bytes);
        info.knownHostsFile = knownHosts;
        const std::string name = KnownHostsName(host, int(port));
        const KnownHostCheck check = CheckKnownHost(knownHosts, name, type, bytes);
        if (check.state == KnownHostCheck::State::Changed) {
            info.changed = true;
            info.knownFingerprint = check.knownFingerprint;
            hostKey = info;
            lastResponse = "The host key of " + name + " is not the one " + knownHosts +
                           " holds (" + check.knownFingerprint + "); it is " + info.fingerprint +
                           ".";
            return failWith(f::kErrSshHostKeyChanged);
        }
        if (check.state == KnownHostCheck::State::Unknown) {
            const bool trusted = std::find(so.trustedHostKeys.begin(), so.trustedHostKeys.end(),
                                           info.fingerprint) != so.trustedHostKeys.end();
            if (!trusted && !so.acceptNewHostKey) {
                hostKey = info;
                lastResponse = "The host key of " + name + " is not known: " + info.type + " " +
                               info.fingerprint + ".";
                return failWith(f::kErrSshHostKeyUnknown);
            }
            if (so.acceptNewHostKey || so.rememberTrustedHostKeys) {
                std::string why;
                if (!AddKnownHost(knownHosts, name, type, bytes, why))
                    tell("The host key could not be remembered: " + why);
            }
        }
    }

    // The login.
    if (auto [rc, e] = settle([&] { return ssh_userauth_none(ssh, nullptr); }, SSH_AUTH_AGAIN); e)
        return failWith(e);
    else if (rc == SSH_AUTH_SUCCESS)
        goto loggedIn;
    {
        if (char* banner = ssh_get_issue_banner(ssh)) {
            lastResponse = banner;
            ssh_string_free_char(banner);
        }
        const int methods = ssh_userauth_list(ssh, nullptr);
        bool agentTried = false, otherTried = false;
        int keyError = f::kErrNone;
        std::string keyText;
        const auto succeeded = [&](int rc) { return rc == SSH_AUTH_SUCCESS; };

        if (so.useAgent && std::getenv("SSH_AUTH_SOCK") && (methods & SSH_AUTH_METHOD_PUBLICKEY)) {
            agentTried = true;
            auto [rc, e] = settle([&] { return ssh_userauth_agent(ssh, nullptr); }, SSH_AUTH_AGAIN);
            if (e)
                return failWith(e);
            if (succeeded(rc))
                goto loggedIn;
            if (rc == SSH_AUTH_ERROR && !ssh_is_connected(ssh))
                return failWith(f::kErrFtpDropped);
        }
        if (!identity.empty() && (methods & SSH_AUTH_METHOD_PUBLICKEY)) {
            struct stat st {};
            otherTried = !so.identityFile.empty() || ::stat(identity.c_str(), &st) == 0;
            if (::stat(identity.c_str(), &st) != 0) {
                if (!so.identityFile.empty()) {
                    keyError = f::kErrSshKeyFile;
                    keyText = "Cannot read the key " + identity + ": " + std::strerror(errno);
                }
            } else if ((st.st_mode & 077) != 0) {
                char mode[8];
                std::snprintf(mode, sizeof mode, "%04o", unsigned(st.st_mode & 07777));
                keyError = f::kErrSshKeyFile;
                keyText = "WARNING: UNPROTECTED PRIVATE KEY FILE!\nPermissions " +
                          std::string(mode) + " for '" + identity +
                          "' are too open.\nIt is required that your private key files are NOT "
                          "accessible by others.\nThis private key will be ignored.";
            } else {
                KeyHolder key;
                bool wanted = false;
                int rc = ssh_pki_import_privkey_file(identity.c_str(), nullptr,
                                                     notePassphraseWanted, &wanted, &key.key);
                if (rc != SSH_OK && wanted) {
                    std::optional<std::string> phrase;
                    if (so.passphrase)
                        phrase = so.passphrase(identity);
                    if (!phrase) {
                        keyError = f::kErrSshKeyPassphrase;
                        keyText = "No passphrase was given for the key " + identity + ".";
                    } else {
                        rc = ssh_pki_import_privkey_file(identity.c_str(), phrase->c_str(), nullptr,
                                                         nullptr, &key.key);
                        wipe(*phrase);
                        if (rc != SSH_OK) {
                            keyError = f::kErrSshKeyPassphrase;
                            keyText = "The passphrase of the key " + identity + " is wrong.";
                        }
                    }
                } else if (rc != SSH_OK) {
                    keyError = f::kErrSshKeyFile;
                    keyText = "The key " + identity + " cannot be read (" +
                              "not a private key of a known format).";
                }
                if (rc == SSH_OK && key.key) {
                    auto [arc, e] =
                        settle([&] { return ssh_userauth_publickey(ssh, nullptr, key.key); },
                               SSH_AUTH_AGAIN);
                    if (e)
                        return failWith(e);
                    if (succeeded(arc))
                        goto loggedIn;
                }
            }
        }
        bool passwordRefused = false;
        if (!o.password.empty() && (methods & SSH_AUTH_METHOD_PASSWORD)) {
            otherTried = true;
            auto [rc, e] =
                settle([&] { return ssh_userauth_password(ssh, nullptr, o.password.c_str()); },
                       SSH_AUTH_AGAIN);
            if (e)
                return failWith(e);
            if (succeeded(rc))
                goto loggedIn;
            passwordRefused = true;
        } else if (!o.password.empty() && (methods & SSH_AUTH_METHOD_INTERACTIVE)) {
            // Keyboard-interactive (PAM): every prompt that hides its answer gets the password.
            otherTried = true;
            auto [rc, e] =
                settle([&] { return ssh_userauth_kbdint(ssh, nullptr, nullptr); }, SSH_AUTH_AGAIN);
            for (int round = 0; !e && rc == SSH_AUTH_INFO && round < 8; ++round) {
                const int prompts = ssh_userauth_kbdint_getnprompts(ssh);
                for (int i = 0; i < prompts; ++i) {
                    char echo = 0;
                    ssh_userauth_kbdint_getprompt(ssh, unsigned(i), &echo);
                    ssh_userauth_kbdint_setanswer(ssh, unsigned(i), echo ? "" : o.password.c_str());
                }
                std::tie(rc, e) = settle([&] { return ssh_userauth_kbdint(ssh, nullptr, nullptr); },
                                         SSH_AUTH_AGAIN);
            }
            if (e)
                return failWith(e);
            if (succeeded(rc))
                goto loggedIn;
            passwordRefused = true;
        }
        if (!ssh_is_connected(ssh))
            return failWith(f::kErrFtpDropped);
        if (keyError != f::kErrNone) {
            lastResponse = keyText;
            return failWith(keyError);
        }
        if (lastResponse.empty())
            lastResponse = sshError(ssh);
        if (passwordRefused)
            return failWith(f::kErrIncorrectPassword);
        if (agentTried && !otherTried)
            return failWith(f::kErrSshAgent);
        return failWith(f::kErrSshAuthRefused);
    }
loggedIn:
    if (char* banner = ssh_get_issue_banner(ssh)) {
        lastResponse = banner;
        ssh_string_free_char(banner);
    }

    // The sftp subsystem.
    channel = ssh_channel_new(ssh);
    if (!channel)
        return failWith(f::kErrSshFailure);
    if (auto [rc, e] = settle([&] { return ssh_channel_open_session(channel); }, SSH_AGAIN);
        e || rc != SSH_OK)
        return failWith(e ? e : f::kErrSshFailure);
    if (auto [rc, e] =
            settle([&] { return ssh_channel_request_subsystem(channel, "sftp"); }, SSH_AGAIN);
        e || rc != SSH_OK) {
        if (e)
            return failWith(e);
        lastResponse = "The server refused the sftp subsystem.";
        return failWith(f::kErrSshNoSftp);
    }
    send(0, wire::Packet(wire::kInit, 0).u32(3).take());
    Reply version;
    if (const int e = await(0, version)) {
        if (e == f::kErrFtpDropped) {
            lastResponse = "The server closed the sftp subsystem.";
            release();
            return f::kErrSshNoSftp;
        }
        return failWith(e);
    }
    if (version.type != wire::kVersion)
        return failWith(f::kErrSshNoSftp);
    {
        wire::Reader r(version.body); // the version, then the extensions' name / data pairs
        r.u32();
        std::uint64_t readLimit = 0, writeLimit = 0;
        bool hasLimits = false;
        while (!r.atEnd() && !r.failed()) {
            const std::string_view name = r.str();
            r.str();
            if (name == "posix-rename@openssh.com")
                posixRename = true;
            if (name == "limits@openssh.com")
                hasLimits = true;
        }
        if (hasLimits) {
            const std::uint32_t id = newId();
            Reply limits;
            if (const int e = transact(
                    id, wire::Packet(wire::kExtended, id).str("limits@openssh.com").take(), limits))
                return failWith(e);
            if (limits.type == wire::kExtendedReply) {
                wire::Reader l(limits.body);
                l.u64(); // packet length
                readLimit = l.u64();
                writeLimit = l.u64();
                if (!l.failed()) {
                    const auto clamp = [](std::uint64_t limit, std::uint32_t& chunk) {
                        if (limit >= 4096 && limit < chunk)
                            chunk = std::uint32_t(limit);
                    };
                    clamp(readLimit, readChunk);
                    clamp(writeLimit, writeChunk);
                }
            }
        }
    }
    // The login folder: "." as the server sees it, never resolved against a folder of ours.
    cwd.clear();
    if (const int e = realpath(".", cwd))
        return failWith(e);
    return f::kErrNone;
}

} // namespace tw::sftp

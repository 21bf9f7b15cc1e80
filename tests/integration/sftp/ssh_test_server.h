#pragma once

#include "integration/ftp/ftp_test_servers.h"

#include <filesystem>
#include <memory>
#include <string>

#include <sys/types.h>

namespace tw::test {

// A real OpenSSH server (sshd from Debian's openssh-server) on 127.0.0.1 and a free port, with
// its own sshd_config, host key and authorized keys in a temporary folder; never the system's
// service. It serves the user running the tests. The server's process group ends with it.
class SshTestServer {
public:
    struct Setup {
        // Password logins: the server runs in a mount namespace of its own in which the
        // user's entry of /etc/shadow has the password kPassword (root only; otherwise
        // start() fails with a reason).
        bool passwords = false;
        // The sftp subsystem (internal-sftp); off: a server that offers no SFTP.
        bool sftp = true;
    };
    static constexpr const char* kPassword = "sftp-secret";
    static constexpr const char* kPassphrase = "correct horse";

    // Null, with the reason in `why`, when sshd cannot run here.
    // `sftpServer`: a command run as the sftp subsystem instead of internal-sftp (a scripted
    // server). `extraConfig`: sshd_config lines that override the fixture's own.
    static std::unique_ptr<SshTestServer> start(const Setup& setup, std::string& why,
                                                const std::string& sftpServer = {},
                                                const std::string& extraConfig = {});
    ~SshTestServer();

    int port() const { return m_port; }
    const std::string& user() const { return m_user; }
    // A scratch folder for the test's files (an absolute path on the server too).
    const std::filesystem::path& root() const { return m_root; }
    // Client keys the server accepts: one without a passphrase, one encrypted with kPassphrase
    // (both mode 0600), and one it does not accept.
    const std::filesystem::path& clientKey() const { return m_clientKey; }
    const std::filesystem::path& encryptedKey() const { return m_encryptedKey; }
    const std::filesystem::path& strangerKey() const { return m_strangerKey; }
    // An empty known_hosts file of the test's own, and the lines that would make it know the
    // server's key (`hashed`: OpenSSH's HashKnownHosts form) or another key for the same host.
    const std::filesystem::path& knownHosts() const { return m_knownHosts; }
    std::string knownHostsLine(bool hashed) const;
    std::string otherKnownHostsLine() const;
    // The host key's type ("ssh-ed25519") and its "SHA256:..." fingerprint as ssh-keygen shows.
    std::string hostKeyType() const { return "ssh-ed25519"; }
    const std::string& hostKeyFingerprint() const { return m_fingerprint; }
    // An empty ssh_config of the test's own.
    const std::filesystem::path& sshConfig() const { return m_sshConfig; }
    std::string serverLog() const;
    // Kills the processes serving the connections (sshd gives each a session of its own, so
    // they outlive the listener): the clients see their connections lost.
    void dropConnections() const;

private:
    SshTestServer() = default;
    TempDir m_dir;
    std::filesystem::path m_root, m_clientKey, m_encryptedKey, m_strangerKey, m_knownHosts,
        m_sshConfig, m_log;
    std::string m_user, m_fingerprint, m_hostPublic, m_otherPublic;
    int m_port = 0;
    pid_t m_pid = -1;
};

// An ssh-agent of the test's own on a socket in a temporary folder.
class SshAgent {
public:
    // Null, with the reason, when ssh-agent cannot run here.
    static std::unique_ptr<SshAgent> start(std::string& why);
    ~SshAgent();
    const std::string& socket() const { return m_socket; }
    // ssh-add of an unencrypted key file.
    bool add(const std::filesystem::path& key) const;

private:
    SshAgent() = default;
    TempDir m_dir;
    std::string m_socket;
    pid_t m_pid = -1;
};

} // namespace tw::test

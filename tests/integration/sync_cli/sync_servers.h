#pragma once

// The servers the sync tests run against, each as a folder served and the ways to reach it:
// vsftpd (LIST, minute times), pyftpdlib (MLSD, and the digest commands of its --checksums
// mode) and sshd's SFTP, all on 127.0.0.1.

#include "ftp/remote_session.h"
#include "integration/ftp/ftp_test_servers.h"
#include "integration/sftp/ssh_test_server.h"

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace tw::test {

enum class SyncServerKind { Vsftpd, Pyftpdlib, Sftp };

class SyncServer {
public:
    // Null with the reason when the server cannot run here. `checksums` is pyftpdlib's
    // --checksums mode ("hash", "x"; empty: none).
    static std::unique_ptr<SyncServer> start(SyncServerKind kind, std::string& why,
                                             const std::string& checksums = {});
    ~SyncServer();

    SyncServerKind kind() const { return m_kind; }
    // A folder on the server's disk that the server shows as remotePath(""): remotePath(rel)
    // names the same place over the protocol.
    const std::filesystem::path& folder() const { return m_folder; }
    std::string remotePath(const std::string& relative) const;
    tw::ftp::SessionOptions options() const;
    // The URL of remotePath(relative) and the options a tarnwick-ftp run needs before it.
    std::string url(const std::string& relative) const;
    std::vector<std::string> loginArguments() const;
    std::string serverLog() const;

private:
    SyncServer() = default;
    SyncServerKind m_kind = SyncServerKind::Vsftpd;
    std::unique_ptr<FtpTestServer> m_ftp;
    std::unique_ptr<SshTestServer> m_ssh;
    std::unique_ptr<TempDir> m_dir; // pyftpdlib's, started here for its --checksums
    pid_t m_pid = -1;
    int m_port = 0;
    std::filesystem::path m_folder;
    std::string m_base = "/"; // how the server names m_folder
    std::filesystem::path m_log;
};

const char* SyncServerName(SyncServerKind kind);

struct CliOutcome {
    int status = -1;
    std::string out;
    std::string err;
};

// tarnwick-ftp with these arguments, in a session of its own without a terminal.
CliOutcome RunCli(const std::vector<std::string>& args);
// The same started in the background, its standard output and error into `output`; its
// process id.
pid_t StartCli(const std::vector<std::string>& args, const std::filesystem::path& output);
int WaitCli(pid_t pid);

} // namespace tw::test

#include "integration/sync_cli/sync_servers.h"

#include "sftp/session_factory.h"

#include <chrono>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace tw::test {

namespace fs = std::filesystem;

const char* SyncServerName(SyncServerKind kind) {
    switch (kind) {
    case SyncServerKind::Vsftpd:
        return "vsftpd";
    case SyncServerKind::Pyftpdlib:
        return "pyftpdlib";
    case SyncServerKind::Sftp:
        return "sftp";
    }
    return "";
}

std::unique_ptr<SyncServer> SyncServer::start(SyncServerKind kind, std::string& why,
                                              const std::string& checksums) {
    std::unique_ptr<SyncServer> s(new SyncServer());
    s->m_kind = kind;
    if (kind == SyncServerKind::Vsftpd) {
        s->m_ftp = FtpTestServer::start(FtpTestServer::Kind::Vsftpd, "127.0.0.1", why);
        if (!s->m_ftp)
            return nullptr;
        s->m_folder = s->m_ftp->root();
        s->m_port = s->m_ftp->port();
        // vsftpd shows its folder as "/" where it can chroot, else by its own path.
        const auto session = tw::sftp::MakeSession(tw::ftp::Protocol::Ftp);
        if (!session->connect(s->options()) || !session->getCurrentDirectory(s->m_base)) {
            why = "vsftpd does not answer";
            return nullptr;
        }
        return s;
    }
    if (kind == SyncServerKind::Sftp) {
        s->m_ssh = SshTestServer::start({false, true}, why);
        if (!s->m_ssh)
            return nullptr;
        s->m_folder = s->m_ssh->root();
        s->m_base = s->m_folder.string();
        s->m_port = s->m_ssh->port();
        return s;
    }
    // pyftpdlib, started here for the digest commands of its --checksums mode.
    s->m_dir = std::make_unique<TempDir>();
    s->m_folder = s->m_dir->path() / "root";
    s->m_log = s->m_dir->path() / "server.log";
    fs::create_directories(s->m_folder);
    int fds[2];
    if (::pipe(fds) != 0) {
        why = "no pipe";
        return nullptr;
    }
    std::vector<std::string> argv = {
        "/usr/bin/python3", std::string(TW_SOURCE_DIR) + "/tests/fixtures/ftp_pyftpdlib_server.py",
        s->m_folder.string(), "--log", s->m_log.string()};
    if (!checksums.empty())
        argv.insert(argv.end(), {"--checksums", checksums});
    s->m_pid = SpawnProcessGroup(argv, fds[1]);
    ::close(fds[1]);
    std::string out;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (out.find('\n') == std::string::npos && std::chrono::steady_clock::now() < deadline) {
        pollfd p{fds[0], POLLIN, 0};
        if (::poll(&p, 1, 200) > 0) {
            char buffer[128];
            const ssize_t n = ::read(fds[0], buffer, sizeof buffer);
            if (n <= 0)
                break;
            out.append(buffer, std::size_t(n));
        }
    }
    ::close(fds[0]);
    if (out.rfind("PORT ", 0) != 0) {
        why = "pyftpdlib did not start (is python3-pyftpdlib installed?)";
        return nullptr;
    }
    s->m_port = std::atoi(out.c_str() + 5);
    return s;
}

SyncServer::~SyncServer() {
    if (m_pid > 0)
        StopProcessGroup(m_pid);
}

std::string SyncServer::remotePath(const std::string& relative) const {
    if (relative.empty())
        return m_base;
    return m_base.back() == '/' ? m_base + relative : m_base + "/" + relative;
}

tw::ftp::SessionOptions SyncServer::options() const {
    tw::ftp::SessionOptions o;
    o.host = "127.0.0.1";
    o.port = m_port;
    o.timeoutMs = 10000;
    if (m_kind == SyncServerKind::Pyftpdlib) {
        o.user = "alice";
        o.password = "secret";
    }
    if (m_kind == SyncServerKind::Sftp) {
        o.protocol = tw::ftp::Protocol::Sftp;
        o.user = m_ssh->user();
        o.ssh.configFile = "none";
        o.ssh.useAgent = false;
        o.ssh.knownHostsFile = m_ssh->knownHosts().string();
        o.ssh.identityFile = m_ssh->clientKey().string();
        o.ssh.trustedHostKeys = {m_ssh->hostKeyFingerprint()};
    }
    return o;
}

std::string SyncServer::url(const std::string& relative) const {
    const std::string at = "127.0.0.1:" + std::to_string(m_port);
    switch (m_kind) {
    case SyncServerKind::Vsftpd:
        return "ftp://" + at + "/" + relative;
    case SyncServerKind::Pyftpdlib:
        return "ftp://alice:secret@" + at + "/" + relative;
    case SyncServerKind::Sftp:
        return "sftp://" + m_ssh->user() + "@" + at + remotePath(relative);
    }
    return {};
}

std::vector<std::string> SyncServer::loginArguments() const {
    if (m_kind != SyncServerKind::Sftp)
        return {};
    // The host key trusted through a known_hosts file of the test's own.
    const fs::path known = m_folder.parent_path() / "sync_known_hosts";
    if (!fs::exists(known))
        std::ofstream(known) << m_ssh->knownHostsLine(true) << '\n';
    return {"--known-hosts",
            known.string(),
            "--ssh-config",
            "none",
            "--no-agent",
            "-i",
            m_ssh->clientKey().string()};
}

std::string SyncServer::serverLog() const {
    if (m_ftp)
        return m_ftp->serverLog();
    if (m_ssh)
        return m_ssh->serverLog();
    return ReadWholeFile(m_log);
}

namespace {

struct Io {
    TempDir dir;
    fs::path out = dir.path() / "out";
    fs::path err = dir.path() / "err";
};

pid_t spawn(const std::vector<std::string>& args, const fs::path& out, const fs::path& err) {
    const std::string binary = std::string(TW_BINARY_DIR) + "/src/cli/tarnwick-ftp";
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::setsid();
        ::dup2(::open("/dev/null", O_RDONLY), STDIN_FILENO);
        ::dup2(::open(out.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600), STDOUT_FILENO);
        ::dup2(::open(err.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600), STDERR_FILENO);
        for (const char* name :
             {"TARNWICK_FTP_PASSWORD", "TARNWICK_FTP_PASSPHRASE", "SSH_AUTH_SOCK"})
            ::unsetenv(name);
        std::vector<char*> argv{const_cast<char*>(binary.c_str())};
        for (const auto& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        ::execv(binary.c_str(), argv.data());
        ::_exit(127);
    }
    return pid;
}

int waitFor(pid_t pid) {
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace

CliOutcome RunCli(const std::vector<std::string>& args) {
    Io io;
    const int status = waitFor(spawn(args, io.out, io.err));
    return {status, ReadWholeFile(io.out), ReadWholeFile(io.err)};
}

pid_t StartCli(const std::vector<std::string>& args, const fs::path& output) {
    return spawn(args, output, output);
}

int WaitCli(pid_t pid) {
    return waitFor(pid);
}

} // namespace tw::test

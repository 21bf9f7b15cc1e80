#include "integration/sftp/ssh_test_server.h"

#include <arpa/inet.h>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <netinet/in.h>
#include <pwd.h>
#include <sstream>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace tw::test {

namespace fs = std::filesystem;

namespace {

const char* const kSshd = "/usr/sbin/sshd";

std::string shellQuoted(const std::string& path) {
    std::string text = "'";
    for (const char c : path)
        text += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return text + "'";
}

std::string shellQuoted(const fs::path& path) {
    return shellQuoted(path.string());
}

int run(const std::string& commandLine) {
    return std::system((commandLine + " >/dev/null 2>&1").c_str());
}

std::string output(const std::string& commandLine) {
    std::string out;
    if (FILE* p = ::popen((commandLine + " 2>/dev/null").c_str(), "r")) {
        char buffer[4096];
        while (const std::size_t n = std::fread(buffer, 1, sizeof buffer, p))
            out.append(buffer, n);
        ::pclose(p);
    }
    return out;
}

std::string readAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string firstLine(const std::string& text) {
    return text.substr(0, text.find('\n'));
}

bool accepting(int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<std::uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    ::close(fd);
    return ok;
}

bool makeKey(const fs::path& file, const std::string& passphrase) {
    return run("ssh-keygen -q -t ed25519 -N " + shellQuoted(passphrase) + " -C tw-test -f " +
               shellQuoted(file)) == 0;
}

// The user's /etc/shadow line with the password replaced, in a copy of the file.
bool writeShadow(const fs::path& file, const std::string& user, const std::string& password) {
    const std::string hash = firstLine(output("openssl passwd -6 " + shellQuoted(password)));
    if (hash.empty())
        return false;
    std::ifstream in("/etc/shadow");
    std::ofstream out(file);
    std::string line;
    bool found = false;
    while (std::getline(in, line)) {
        if (line.rfind(user + ":", 0) == 0) {
            const std::size_t second = line.find(':', user.size() + 1);
            line = user + ":" + hash + (second == std::string::npos ? "" : line.substr(second));
            found = true;
        }
        out << line << '\n';
    }
    return found && static_cast<bool>(out);
}

} // namespace

std::unique_ptr<SshTestServer> SshTestServer::start(const Setup& setup, std::string& why,
                                                    const std::string& sftpServer,
                                                    const std::string& extraConfig) {
    if (::access(kSshd, X_OK) != 0 || run("command -v ssh-keygen") != 0) {
        why = "sshd is not installed (openssh-server)";
        return nullptr;
    }
    std::unique_ptr<SshTestServer> s(new SshTestServer);
    const fs::path dir = s->m_dir.path();
    if (dir.empty()) {
        why = "no temporary folder";
        return nullptr;
    }
    const passwd* pw = ::getpwuid(::getuid());
    if (!pw) {
        why = "the user has no name";
        return nullptr;
    }
    s->m_user = pw->pw_name;
    s->m_root = dir / "files";
    fs::create_directories(s->m_root);
    s->m_clientKey = dir / "client_ed25519";
    s->m_encryptedKey = dir / "encrypted_ed25519";
    s->m_strangerKey = dir / "stranger_ed25519";
    const fs::path hostKey = dir / "host_ed25519";
    const fs::path otherHostKey = dir / "other_host_ed25519";
    if (!makeKey(hostKey, "") || !makeKey(otherHostKey, "") || !makeKey(s->m_clientKey, "") ||
        !makeKey(s->m_encryptedKey, kPassphrase) || !makeKey(s->m_strangerKey, "")) {
        why = "ssh-keygen failed";
        return nullptr;
    }
    s->m_hostPublic = firstLine(readAll(hostKey.string() + ".pub"));
    s->m_otherPublic = firstLine(readAll(otherHostKey.string() + ".pub"));
    // "256 SHA256:... tw-test (ED25519)"
    std::istringstream lf(output("ssh-keygen -lf " + shellQuoted(hostKey.string() + ".pub")));
    std::string bits;
    lf >> bits >> s->m_fingerprint;
    {
        std::ofstream keys(dir / "authorized_keys");
        keys << readAll(s->m_clientKey.string() + ".pub")
             << readAll(s->m_encryptedKey.string() + ".pub");
    }
    s->m_knownHosts = dir / "known_hosts";
    std::ofstream(s->m_knownHosts).flush();
    s->m_sshConfig = dir / "ssh_config";
    std::ofstream(s->m_sshConfig).flush();
    s->m_log = dir / "sshd.log";
    s->m_port = FreeLoopbackPort();

    const bool root = ::getuid() == 0;
    if (setup.passwords && !root) {
        why = "password logins need the tests to run as root (a shadow file of their own)";
        return nullptr;
    }
    std::ofstream conf(dir / "sshd_config");
    conf << extraConfig; // sshd takes the first value of a keyword
    conf << "Port " << s->m_port << "\nListenAddress 127.0.0.1\n"
         << "HostKey " << hostKey.string() << "\n"
         << "PidFile " << (dir / "sshd.pid").string() << "\n"
         << "AuthorizedKeysFile " << (dir / "authorized_keys").string() << "\n"
         << "StrictModes no\nUsePAM no\nPubkeyAuthentication yes\n"
         << "PasswordAuthentication " << (setup.passwords ? "yes" : "no") << "\n"
         << "KbdInteractiveAuthentication no\nPermitRootLogin yes\n"
         << "MaxSessions 32\nMaxStartups 64\nLogLevel VERBOSE\n";
    if (setup.sftp)
        conf << "Subsystem sftp "
             << (sftpServer.empty() ? std::string("internal-sftp") : sftpServer) << "\n";
    conf.close();

    std::vector<std::string> argv;
    const std::string sshdLine = std::string(kSshd) + " -D -e -f " +
                                 shellQuoted(dir / "sshd_config") + " -E " + shellQuoted(s->m_log);
    if (root) {
        // sshd as root wants its privilege separation folder.
        std::error_code ec;
        fs::create_directories("/run/sshd", ec);
    }
    if (setup.passwords) {
        const fs::path shadow = dir / "shadow";
        if (!writeShadow(shadow, s->m_user, kPassword)) {
            why = "no shadow entry for " + s->m_user;
            return nullptr;
        }
        fs::permissions(shadow, fs::perms::owner_read | fs::perms::owner_write);
        argv = {"/usr/bin/unshare",
                "--mount",
                "--propagation",
                "private",
                "/bin/sh",
                "-c",
                "mount --bind " + shellQuoted(shadow) + " /etc/shadow && exec " + sshdLine};
    } else {
        argv = {"/bin/sh", "-c", "exec " + sshdLine};
    }
    s->m_pid = SpawnProcessGroup(argv);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!accepting(s->m_port)) {
        if (std::chrono::steady_clock::now() > deadline ||
            ::waitpid(s->m_pid, nullptr, WNOHANG) == s->m_pid) {
            why = "sshd did not start: " + readAll(s->m_log);
            s->m_pid = -1;
            return nullptr;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return s;
}

SshTestServer::~SshTestServer() {
    StopProcessGroup(m_pid);
}

std::string SshTestServer::knownHostsLine(bool hashed) const {
    const std::string line = "[127.0.0.1]:" + std::to_string(m_port) + " " + m_hostPublic;
    if (!hashed)
        return line;
    const fs::path scratch = m_dir.path() / "hash_known_hosts";
    std::ofstream(scratch) << line << '\n';
    run("ssh-keygen -H -f " + shellQuoted(scratch));
    const std::string out = firstLine(readAll(scratch));
    std::error_code ec;
    fs::remove(scratch, ec);
    fs::remove(scratch.string() + ".old", ec);
    return out;
}

std::string SshTestServer::otherKnownHostsLine() const {
    return "[127.0.0.1]:" + std::to_string(m_port) + " " + m_otherPublic;
}

std::string SshTestServer::serverLog() const {
    return readAll(m_log);
}

void SshTestServer::dropConnections() const {
    // Parent of each process, from /proc/<pid>/stat ("pid (name) state ppid ...").
    std::vector<std::pair<pid_t, pid_t>> parents;
    for (const auto& entry : fs::directory_iterator("/proc")) {
        const std::string name = entry.path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos)
            continue;
        const std::string stat = readAll(entry.path() / "stat");
        const std::size_t close = stat.rfind(')');
        if (close == std::string::npos)
            continue;
        std::istringstream rest(stat.substr(close + 2));
        char state = 0;
        pid_t ppid = 0;
        rest >> state >> ppid;
        parents.emplace_back(pid_t(std::stol(name)), ppid);
    }
    std::vector<pid_t> doomed{m_pid};
    for (std::size_t i = 0; i < doomed.size(); ++i)
        for (const auto& [pid, ppid] : parents)
            if (ppid == doomed[i])
                doomed.push_back(pid);
    for (std::size_t i = 1; i < doomed.size(); ++i)
        ::kill(doomed[i], SIGKILL);
}

std::unique_ptr<SshAgent> SshAgent::start(std::string& why) {
    if (run("command -v ssh-agent") != 0 || run("command -v ssh-add") != 0) {
        why = "ssh-agent is not installed (openssh-client)";
        return nullptr;
    }
    std::unique_ptr<SshAgent> a(new SshAgent);
    a->m_socket = (a->m_dir.path() / "agent.sock").string();
    a->m_pid =
        SpawnProcessGroup({"/bin/sh", "-c", "exec ssh-agent -D -a " + shellQuoted(a->m_socket)});
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!fs::exists(a->m_socket)) {
        if (std::chrono::steady_clock::now() > deadline) {
            why = "ssh-agent did not start";
            return nullptr;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return a;
}

SshAgent::~SshAgent() {
    StopProcessGroup(m_pid);
}

bool SshAgent::add(const std::filesystem::path& key) const {
    return run("SSH_AUTH_SOCK=" + shellQuoted(m_socket) + " ssh-add " + shellQuoted(key)) == 0;
}

} // namespace tw::test

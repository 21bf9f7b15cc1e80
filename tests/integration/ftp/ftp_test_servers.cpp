#include "ftp_test_servers.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <netinet/in.h>
#include <poll.h>
#include <sstream>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace tw::test {

namespace fs = std::filesystem;

TempDir::TempDir() {
    std::string pattern = (fs::temp_directory_path() / "tw-ftp-XXXXXX").string();
    std::vector<char> buf(pattern.begin(), pattern.end());
    buf.push_back('\0');
    if (::mkdtemp(buf.data()))
        m_path = buf.data();
}

TempDir::~TempDir() {
    std::error_code ec;
    if (!m_path.empty())
        fs::remove_all(m_path, ec);
}

pid_t SpawnProcessGroup(const std::vector<std::string>& argv, int stdoutFd) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::setpgid(0, 0);
        // A test that crashes takes its server with it.
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (stdoutFd >= 0)
            ::dup2(stdoutFd, STDOUT_FILENO);
        const int devnull = ::open("/dev/null", O_RDWR);
        if (stdoutFd < 0)
            ::dup2(devnull, STDOUT_FILENO);
        ::dup2(devnull, STDERR_FILENO);
        ::dup2(devnull, STDIN_FILENO);
        std::vector<char*> args;
        for (const auto& a : argv)
            args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        ::execv(args[0], args.data());
        ::_exit(127);
    }
    if (pid > 0)
        ::setpgid(pid, pid);
    return pid;
}

int FreeLoopbackPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    int port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) == 0)
        port = ntohs(a.sin_port);
    ::close(fd);
    return port;
}

void StopProcessGroup(pid_t pid) {
    if (pid <= 0)
        return;
    ::kill(-pid, SIGTERM);
    for (int i = 0; i < 40; ++i) {
        if (::waitpid(pid, nullptr, WNOHANG) == pid) {
            ::kill(-pid, SIGKILL); // the server's connection children
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
    }
    ::kill(-pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
}

namespace {

bool canConnect(const std::string& host, int port) {
    sockaddr_storage s{};
    socklen_t len = 0;
    int family = AF_INET;
    if (host.find(':') != std::string::npos) {
        auto* a6 = reinterpret_cast<sockaddr_in6*>(&s);
        a6->sin6_family = AF_INET6;
        a6->sin6_port = htons(static_cast<uint16_t>(port));
        ::inet_pton(AF_INET6, host.c_str(), &a6->sin6_addr);
        len = sizeof *a6;
        family = AF_INET6;
    } else {
        auto* a4 = reinterpret_cast<sockaddr_in*>(&s);
        a4->sin_family = AF_INET;
        a4->sin_port = htons(static_cast<uint16_t>(port));
        ::inet_pton(AF_INET, host.c_str(), &a4->sin_addr);
        len = sizeof *a4;
    }
    const int fd = ::socket(family, SOCK_STREAM, 0);
    const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&s), len) == 0;
    ::close(fd);
    return ok;
}

int runQuiet(const std::string& commandLine) {
    return std::system((commandLine + " >/dev/null 2>&1").c_str());
}

std::string quoted(const fs::path& path) {
    std::string text(1, '\'');
    text += path.string();
    text += '\'';
    return text;
}

// The certificates of every TLS server of this test binary, made once.
struct Certificates {
    TempDir dir;
    bool ok = false;
    std::string why;

    fs::path ca() const { return dir.path() / "ca.pem"; }
    fs::path cert(const std::string& name) const { return dir.path() / (name + ".pem"); }
    fs::path key(const std::string& name) const { return dir.path() / (name + ".key"); }

    Certificates() {
        const fs::path d = dir.path();
        const std::string ec = " -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes";
        std::ofstream(d / "good.ext") << "subjectAltName=DNS:localhost,IP:127.0.0.1\n";
        std::ofstream(d / "other.ext") << "subjectAltName=DNS:other.example\n";
        std::ofstream(d / "ca.cnf")
            << "[ca]\ndefault_ca=d\n[d]\ndatabase=" << (d / "index.txt").string()
            << "\nnew_certs_dir=" << d.string() << "\nserial=" << (d / "serial").string()
            << "\ndefault_md=sha256\npolicy=p\nunique_subject=no\n[p]\ncommonName=supplied\n";
        std::ofstream(d / "index.txt");
        std::ofstream(d / "serial") << "1000\n";
        auto request = [&](const std::string& name, const std::string& cn) {
            return runQuiet("openssl req" + ec + " -keyout " + quoted(key(name)) + " -out " +
                            quoted(d / (name + ".csr")) + " -subj '/CN=" + cn + "'") == 0;
        };
        auto sign = [&](const std::string& name, const std::string& ext) {
            return runQuiet("openssl x509 -req -in " + quoted(d / (name + ".csr")) + " -CA " +
                            quoted(ca()) + " -CAkey " + quoted(key("ca")) +
                            " -CAcreateserial -days 3650 -sha256 -extfile " + quoted(d / ext) +
                            " -out " + quoted(cert(name))) == 0;
        };
        ok = runQuiet("openssl req -x509" + ec + " -keyout " + quoted(key("ca")) + " -out " +
                      quoted(ca()) + " -days 3650 -subj '/CN=Tarnwick Test CA'") == 0 &&
             request("trusted", "localhost") && sign("trusted", "good.ext") &&
             request("wrongname", "other.example") && sign("wrongname", "other.ext") &&
             runQuiet("openssl req -x509" + ec + " -keyout " + quoted(key("selfsigned")) +
                      " -out " + quoted(cert("selfsigned")) +
                      " -days 3650 -subj '/CN=localhost' -addext "
                      "'subjectAltName=DNS:localhost,IP:127.0.0.1'") == 0 &&
             request("expired", "localhost") &&
             runQuiet("openssl ca -batch -notext -config " + quoted(d / "ca.cnf") + " -cert " +
                      quoted(ca()) + " -keyfile " + quoted(key("ca")) + " -in " +
                      quoted(d / "expired.csr") + " -out " + quoted(cert("expired")) +
                      " -startdate 20200101000000Z -enddate 20210101000000Z -extfile " +
                      quoted(d / "good.ext")) == 0;
        if (!ok)
            why = "openssl could not make the test certificates";
    }
};

const Certificates& certificates() {
    static const Certificates made;
    return made;
}

std::string certificateName(FtpTestServer::TlsSetup::Certificate which) {
    using C = FtpTestServer::TlsSetup::Certificate;
    switch (which) {
    case C::Trusted:
        return "trusted";
    case C::SelfSigned:
        return "selfsigned";
    case C::WrongName:
        return "wrongname";
    case C::Expired:
        return "expired";
    }
    return "trusted";
}

std::string fingerprintOf(const fs::path& cert) {
    const std::string command = "openssl x509 -noout -fingerprint -sha256 -in " + quoted(cert);
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe)
        return {};
    std::string out;
    char buf[256];
    while (std::fgets(buf, sizeof buf, pipe))
        out += buf;
    ::pclose(pipe);
    const auto eq = out.find('=');
    if (eq == std::string::npos)
        return {};
    std::string fp = out.substr(eq + 1);
    while (!fp.empty() && (fp.back() == '\n' || fp.back() == '\r'))
        fp.pop_back();
    return fp;
}

} // namespace

bool HasIPv6Loopback() {
    const int fd = ::socket(AF_INET6, SOCK_STREAM, 0);
    if (fd < 0)
        return false;
    sockaddr_in6 a{};
    a.sin6_family = AF_INET6;
    a.sin6_addr = in6addr_loopback;
    const bool ok = ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    ::close(fd);
    return ok;
}

std::unique_ptr<FtpTestServer> FtpTestServer::start(Kind kind, const std::string& host,
                                                    std::string& why,
                                                    const std::string& vsftpdLines) {
    return launch(kind, host, nullptr, why, vsftpdLines);
}

std::unique_ptr<FtpTestServer> FtpTestServer::startTls(Kind kind, const std::string& host,
                                                       const TlsSetup& setup, std::string& why) {
    return launch(kind, host, &setup, why);
}

std::unique_ptr<FtpTestServer> FtpTestServer::startThrottled(Kind kind, const std::string& host,
                                                             std::uint64_t bytesPerSecond,
                                                             std::string& why) {
    if (kind != Kind::Vsftpd) {
        why = "pyftpdlib's throttle sends its first two seconds' worth at once";
        return nullptr;
    }
    return launch(kind, host, nullptr, why, {}, bytesPerSecond);
}

fs::path FtpTestServer::caFile() const {
    return certificates().ca();
}

std::string FtpTestServer::fingerprint() const {
    return m_fingerprint;
}

std::string FtpTestServer::serverLog() const {
    return ReadWholeFile(m_log);
}

std::unique_ptr<FtpTestServer> FtpTestServer::launch(Kind kind, const std::string& host,
                                                     const TlsSetup* tls, std::string& why,
                                                     const std::string& vsftpdLines,
                                                     std::uint64_t maxRate) {
    std::string certName;
    if (tls) {
        const Certificates& certs = certificates();
        if (!certs.ok) {
            why = certs.why;
            return nullptr;
        }
        certName = certificateName(tls->certificate);
    }
    std::unique_ptr<FtpTestServer> server(new FtpTestServer());
    if (tls)
        server->m_fingerprint = fingerprintOf(certificates().cert(certName));
    server->m_kind = kind;
    server->m_host = host;
    const fs::path dir = server->m_dir.path();
    server->m_root = dir / "root";
    fs::create_directories(server->m_root);
    server->m_log = dir / "server.log";
    if (kind == Kind::Vsftpd) {
        const char* binary = "/usr/sbin/vsftpd";
        if (::access(binary, X_OK) != 0) {
            why = "vsftpd is not installed";
            return nullptr;
        }
        fs::create_directories(dir / "empty");
        fs::permissions(server->m_root, fs::perms(0777));
        server->m_port = FreeLoopbackPort();
        std::ofstream conf(dir / "vsftpd.conf");
        conf << "listen=YES\nlisten_ipv6=NO\nlisten_address=127.0.0.1\n"
             << "listen_port=" << server->m_port << "\n"
             << "background=NO\nanonymous_enable=YES\nlocal_enable=NO\nno_anon_password=YES\n"
             << "anon_root=" << server->m_root.string() << "\n"
             << "write_enable=YES\nanon_upload_enable=YES\nanon_mkdir_write_enable=YES\n"
             << "anon_other_write_enable=YES\nanon_world_readable_only=NO\nanon_umask=022\n"
             << "connect_from_port_20=NO\nport_enable=YES\npasv_enable=YES\n"
             << "seccomp_sandbox=NO\nsecure_chroot_dir=" << (dir / "empty").string() << "\n"
             << "run_as_launching_user=YES\nsyslog_enable=NO\n"
             << "xferlog_enable=YES\nxferlog_std_format=NO\nlog_ftp_protocol=YES\n"
             << "vsftpd_log_file=" << server->m_log.string() << "\n"
             << "idle_session_timeout=60\ndata_connection_timeout=30\n"
             << vsftpdLines;
        if (maxRate > 0)
            conf << "anon_max_rate=" << maxRate << "\nlocal_max_rate=" << maxRate << "\n";
        if (tls) {
            const Certificates& certs = certificates();
            const char* force = tls->requireTls ? "YES" : "NO";
            conf << "ssl_enable=YES\nallow_anon_ssl=YES\nrequire_ssl_reuse=YES\n"
                 << "ssl_ciphers=HIGH\nssl_request_cert=NO\n"
                 << "rsa_cert_file=" << certs.cert(certName).string() << "\n"
                 << "rsa_private_key_file=" << certs.key(certName).string() << "\n"
                 << "force_anon_logins_ssl=" << force << "\nforce_anon_data_ssl=" << force
                 << "\nforce_local_logins_ssl=" << force << "\nforce_local_data_ssl=" << force
                 << "\nimplicit_ssl=" << (tls->implicit ? "YES" : "NO") << "\n";
        }
        conf.close();
        // vsftpd runs with run_as_launching_user and so cannot chroot: where the test runs as
        // root and mount namespaces are available, every file system but the server's own
        // folder is made read-only for it, so no path a test gets wrong can change the machine.
        static const char* const kConfine =
            "dir=$1; shift\n"
            "if [ \"$(id -u)\" = 0 ] && unshare -m --propagation private true 2>/dev/null; then\n"
            "  exec unshare -m --propagation private /bin/sh -c '\n"
            "    mount --bind \"$0\" \"$0\" || exit 1\n"
            "    awk \"{print \\$2}\" /proc/self/mounts | while read -r m; do\n"
            "      case \"$m\" in \"$0\"|\"$0\"/*) continue;; esac\n"
            "      mount -o remount,bind,ro \"$m\" 2>/dev/null\n"
            "    done\n"
            "    exec \"$@\"' \"$dir\" \"$@\"\n"
            "fi\n"
            "exec \"$@\"\n";
        server->m_pid = SpawnProcessGroup(
            {"/bin/sh", "-c", kConfine, "sh", dir.string(), binary, (dir / "vsftpd.conf").string()},
            -1);
        for (int i = 0; i < 100; ++i) {
            if (canConnect(host, server->m_port))
                return server;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        why = "vsftpd did not start";
        return nullptr;
    }

    const char* python = "/usr/bin/python3";
    const std::string script =
        std::string(TW_SOURCE_DIR) + "/tests/fixtures/ftp_pyftpdlib_server.py";
    int fds[2];
    if (::access(python, X_OK) != 0 || ::pipe(fds) != 0) {
        why = "python3 is not available";
        return nullptr;
    }
    std::vector<std::string> argv = {
        python,   script,  server->m_root.string(), "--host", host, "--user", "alice", "--password",
        "secret", "--log", server->m_log.string()};
    if (tls && tls->implicit) {
        why = "pyftpdlib has no implicit TLS";
        return nullptr;
    }
    if (tls) {
        const Certificates& certs = certificates();
        argv.insert(argv.end(), {"--tls-cert", certs.cert(certName).string(), "--tls-key",
                                 certs.key(certName).string()});
        if (tls->requireTls)
            argv.push_back("--tls-require");
    }
    server->m_pid = SpawnProcessGroup(argv, fds[1]);
    ::close(fds[1]);
    std::string out;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (out.find('\n') == std::string::npos && std::chrono::steady_clock::now() < deadline) {
        pollfd p{fds[0], POLLIN, 0};
        if (::poll(&p, 1, 200) > 0) {
            char buf[256];
            const ssize_t n = ::read(fds[0], buf, sizeof buf);
            if (n <= 0)
                break;
            out.append(buf, static_cast<std::size_t>(n));
        }
    }
    ::close(fds[0]);
    if (out.rfind("PORT ", 0) != 0) {
        why = "pyftpdlib did not start (is python3-pyftpdlib installed?)";
        return nullptr;
    }
    server->m_port = std::atoi(out.c_str() + 5);
    return server;
}

FtpTestServer::~FtpTestServer() {
    StopProcessGroup(m_pid);
}

std::string FtpTestServer::user() const {
    return m_kind == Kind::Pyftpdlib ? "alice" : "";
}

std::string FtpTestServer::password() const {
    return m_kind == Kind::Pyftpdlib ? "secret" : "";
}

std::string PatternBytes(std::size_t size, unsigned seed) {
    std::string data(size, '\0');
    std::uint32_t x = seed * 2654435761u + 1;
    for (auto& c : data) {
        x = x * 1103515245u + 12345u;
        c = static_cast<char>(x >> 16);
    }
    return data;
}

void WritePatternFile(const fs::path& path, std::size_t size, unsigned seed) {
    const std::string data = PatternBytes(size, seed);
    std::ofstream(path, std::ios::binary).write(data.data(), static_cast<std::streamsize>(size));
}

std::int64_t MtimeOf(const fs::path& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? std::int64_t(st.st_mtime) : -1;
}

void WriteDated(const fs::path& path, const std::string& data, std::int64_t mtime) {
    std::ofstream(path, std::ios::binary) << data;
    const timespec times[2] = {{time_t(mtime), 0}, {time_t(mtime), 0}};
    ::utimensat(AT_FDCWD, path.c_str(), times, 0);
}

std::map<std::string, std::string> TreeOf(const fs::path& root) {
    std::map<std::string, std::string> out;
    for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator();
         ++it) {
        const std::string rel = it->path().lexically_relative(root).string();
        if (it->is_directory() && !it->is_symlink()) {
            out[rel] = "d";
            continue;
        }
        const std::string data = ReadWholeFile(it->path());
        out[rel] = std::to_string(data.size()) + ":" +
                   std::to_string(std::hash<std::string>{}(data)) + "@" +
                   std::to_string(MtimeOf(it->path()));
    }
    return out;
}

std::string ReadWholeFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

} // namespace tw::test

#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <sys/types.h>

namespace tw::test {

// A temporary directory removed with everything in it.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return m_path; }

private:
    std::filesystem::path m_path;
};

// A port on 127.0.0.1 that nothing listens on just now (0 when none could be had).
int FreeLoopbackPort();

// Starts `argv` (an absolute program path first) in a process group of its own that ends with
// the test; its output goes to `stdoutFd` (-1: nowhere). -1 when fork fails.
pid_t SpawnProcessGroup(const std::vector<std::string>& argv, int stdoutFd = -1);
// Ends that process group: SIGTERM, then SIGKILL after a second.
void StopProcessGroup(pid_t pid);

// A real FTP server from the system's packages, serving a temporary directory on a loopback
// address and a free port. The server's process group is terminated on destruction.
class FtpTestServer {
public:
    enum class Kind { Vsftpd, Pyftpdlib };

    // An FTPS server: explicit (AUTH TLS) unless `implicit`; vsftpd requires data connections
    // to resume the control connection's TLS session (require_ssl_reuse=YES).
    struct TlsSetup {
        enum class Certificate { Trusted, SelfSigned, WrongName, Expired };
        Certificate certificate = Certificate::Trusted; // Trusted: signed by the fixture's CA,
                                                        // for "localhost" and 127.0.0.1
        bool implicit = false;  // TLS from the first byte (vsftpd implicit_ssl=YES)
        bool requireTls = true; // the server refuses logins in clear
    };

    // Null (with a reason in `why`) when the server cannot be started here. `vsftpdLines` are
    // added to vsftpd's configuration ("max_per_ip=2\n"); pyftpdlib ignores them.
    static std::unique_ptr<FtpTestServer> start(Kind kind, const std::string& host,
                                                std::string& why,
                                                const std::string& vsftpdLines = {});
    static std::unique_ptr<FtpTestServer> startTls(Kind kind, const std::string& host,
                                                   const TlsSetup& setup, std::string& why);
    // A server that sends and takes data at most `bytesPerSecond`, so that a test can act in
    // the middle of a file however fast the machine is (vsftpd only).
    static std::unique_ptr<FtpTestServer> startThrottled(Kind kind, const std::string& host,
                                                         std::uint64_t bytesPerSecond,
                                                         std::string& why);
    ~FtpTestServer();

    Kind kind() const { return m_kind; }
    const std::string& host() const { return m_host; }
    int port() const { return m_port; }
    // The served directory (anonymous login sees it as "/").
    const std::filesystem::path& root() const { return m_root; }
    // A named account (pyftpdlib only; empty for vsftpd, which serves anonymously).
    std::string user() const;
    std::string password() const;

    // The fixture CA's PEM (for SessionOptions::caFile); its certificates are made once per
    // test binary, with openssl, in a temporary folder.
    std::filesystem::path caFile() const;
    // The server certificate's SHA-256 fingerprint, "AB:CD:.." (empty for a plain server).
    std::string fingerprint() const;
    // The server's own log text: the commands it received (vsftpd log_ftp_protocol, pyftpdlib
    // debug log). PASS appears as sent only by vsftpd; pyftpdlib masks it.
    std::string serverLog() const;

private:
    FtpTestServer() = default;
    static std::unique_ptr<FtpTestServer> launch(Kind kind, const std::string& host,
                                                 const TlsSetup* tls, std::string& why,
                                                 const std::string& vsftpdLines = {},
                                                 std::uint64_t maxRate = 0);

    Kind m_kind = Kind::Vsftpd;
    std::string m_host;
    int m_port = 0;
    pid_t m_pid = -1;
    TempDir m_dir;
    std::filesystem::path m_root;
    std::filesystem::path m_log;
    std::string m_fingerprint;
};

// Whether the machine can listen on ::1.
bool HasIPv6Loopback();

// `size` bytes of a repeatable pattern, different at every offset of interest, the same for a
// seed; and the same written to `path`.
std::string PatternBytes(std::size_t size, unsigned seed);
void WritePatternFile(const std::filesystem::path& path, std::size_t size, unsigned seed);
std::string ReadWholeFile(const std::filesystem::path& path);

// A file's modification time in seconds (-1 when it cannot be read), and a file written with
// `data` and that time.
std::int64_t MtimeOf(const std::filesystem::path& path);
void WriteDated(const std::filesystem::path& path, const std::string& data, std::int64_t mtime);
// A tree as "relative path" -> "d" for a folder, else size, a hash of the bytes and the date.
std::map<std::string, std::string> TreeOf(const std::filesystem::path& root);

} // namespace tw::test

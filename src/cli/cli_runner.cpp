#include "cli/cli_runner.h"

#include "cli/json_text.h"
#include "cli/size_text.h"
#include "cli/terminal_login.h"
#include "ftp/display_text.h"
#include "ftp/ftp_error.h"
#include "ftp/listing_parser.h"
#include "ftp/name_safety.h"
#include "ftp/replacing_file.h"
#include "ftp/wildcard.h"
#include "sftp/session_factory.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace tw::cli {

namespace {

// Local reads and writes go in chunks of this size: few system calls, cache-friendly.
constexpr std::size_t kLocalChunk = 64 * 1024;

std::int64_t nowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

std::string baseName(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string directoryOf(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos)
        return {};
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

std::string joinPath(const std::string& dir, const std::string& name) {
    if (dir.empty())
        return name;
    return dir.back() == '/' ? dir + name : dir + "/" + name;
}

// Reads a password from the terminal without echo (empty without a terminal).
std::string promptPassword(const std::string& user, const std::string& host) {
    return ReadHiddenLine("Password for " + (user.empty() ? host : user + "@" + host) + ": ")
        .value_or(std::string());
}

// Text for standard error: what the server or the command line chose, with every control
// character an escape (see DisplayText).
std::string shown(std::string_view text) {
    return tw::ftp::DisplayText(text);
}

// A server reply's lines for standard error.
std::string shownReply(std::string_view reply) {
    return tw::ftp::DisplayText(reply, tw::ftp::LineBreaks::Keep);
}

const char* typeName(tw::ftp::EntryType type) {
    switch (type) {
    case tw::ftp::EntryType::Directory:
        return "dir";
    case tw::ftp::EntryType::Link:
        return "link";
    default:
        return "file";
    }
}

// A server's refusal of one path (FTP's 5xx reply, an SFTP status), not a lost connection.
bool isPathRefusal(int code) {
    return code == tw::ftp::kErrExtendedError ||
           (code >= tw::ftp::kErrSftpEndOfFile && code <= tw::ftp::kErrSftpUnsupported &&
            code != tw::ftp::kErrSftpNoConnection && code != tw::ftp::kErrSftpConnectionLost);
}

bool isSshError(int code) {
    return code >= tw::ftp::kFirstSshError && code <= tw::ftp::kLastSshError;
}

bool isTlsError(int code) {
    return code == tw::ftp::kErrTlsUnavailable || code == tw::ftp::kErrTlsHandshake ||
           (code >= tw::ftp::kErrTlsProtectionRefused && code <= tw::ftp::kErrTlsTruncated) ||
           code == tw::ftp::kErrTlsEndUnconfirmed;
}

// The certificate as a person judges it, and how to accept it when it is trusted anyway.
void printRejectedCertificate(const tw::ftp::CertificateInfo& c) {
    std::string names;
    for (const auto& n : c.names) {
        if (!names.empty())
            names += ", ";
        names += shown(n);
    }
    std::fprintf(stderr,
                 "  subject:  %s\n"
                 "  issuer:   %s%s\n"
                 "  names:    %s\n"
                 "  valid:    %s to %s\n"
                 "  SHA-256:  %s\n"
                 "  reason:   %s\n"
                 "If you trust this certificate, connect again with --pin-sha256 %s,\n"
                 "or give the certificate of the authority that signed it with --ca-file PATH.\n",
                 shown(c.subject).c_str(), shown(c.issuer).c_str(),
                 c.selfSigned ? " (self-signed)" : "", names.empty() ? "-" : names.c_str(),
                 IsoTime(c.notBefore).c_str(), IsoTime(c.notAfter).c_str(), c.sha256.c_str(),
                 shown(c.reason).c_str(), c.sha256.c_str());
}

} // namespace

CliRunner::CliRunner(const CommandLine& commandLine) : m_commandLine(commandLine) {
    m_showProgress = ::isatty(STDERR_FILENO) == 1;
}

void CliRunner::abort() {
    m_interrupted = true;
    std::lock_guard lock(m_liveMutex);
    if (m_live)
        m_live->abort();
}

int CliRunner::usage(const std::string& message) {
    std::fprintf(stderr, "tarnwick-ftp: %s\nTry 'tarnwick-ftp --help'.\n", shown(message).c_str());
    return kExitUsage;
}

int CliRunner::ftpFailure(const std::string& what) {
    if (m_interrupted) {
        std::fprintf(stderr, "tarnwick-ftp: %s: stopped\n", shown(what).c_str());
        return kExitInterrupted;
    }
    const int code = m_session->lastError();
    std::fprintf(stderr, "tarnwick-ftp: %s: %s (error %d)\n", shown(what).c_str(),
                 std::string(tw::ftp::ErrorDescription(code)).c_str(), code);
    const bool hostKey =
        code == tw::ftp::kErrSshHostKeyUnknown || code == tw::ftp::kErrSshHostKeyChanged;
    // SSH's and SFTP's numbers come with the server's or the SSH library's words.
    const bool fromServer =
        code == tw::ftp::kErrExtendedError || code == tw::ftp::kErrFtpDropped ||
        code == tw::ftp::kErrIncorrectUserName || code == tw::ftp::kErrIncorrectPassword ||
        code == tw::ftp::kErrLoginFailure || code == tw::ftp::kErrFtpNoPassiveMode ||
        code == tw::ftp::kErrTlsUnavailable || code == tw::ftp::kErrTlsProtectionRefused ||
        (isSshError(code) && !hostKey);
    if (fromServer && !m_session->lastResponse().empty())
        std::fprintf(stderr, "%s\n", shownReply(m_session->lastResponse()).c_str());
    if (hostKey) {
        if (const auto& rejected = m_session->rejectedHostKey())
            PrintRejectedHostKey(*rejected);
        return kExitCertificate;
    }
    if (tw::ftp::IsCertificateError(code)) {
        if (const auto& rejected = m_session->rejectedCertificate())
            printRejectedCertificate(*rejected);
        return kExitCertificate;
    }
    return isTlsError(code) ? kExitTls : kExitFailure;
}

int CliRunner::connectSftp(const FtpUrl& url) {
    const CommandLine& c = m_commandLine;
    tw::ftp::SessionOptions options;
    options.protocol = tw::ftp::Protocol::Sftp;
    options.host = url.host;
    // Port 0 lets ~/.ssh/config's Port apply; a port in the URL wins.
    options.port = url.portGiven ? url.port : 0;
    options.user = url.user;
    options.timeoutMs = c.timeoutSeconds * 1000;
    const char* envPassword = std::getenv("TARNWICK_FTP_PASSWORD");
    if (url.password)
        options.password = *url.password;
    else if (envPassword)
        options.password = envPassword;
    for (const std::string* file : {&c.identityFile, &c.sshConfigFile}) {
        if (!file->empty() && *file != "none" && ::access(file->c_str(), R_OK) != 0)
            return usage("cannot read " + *file + ": " + std::strerror(errno));
    }
    tw::ftp::SshOptions& ssh = options.ssh;
    ssh.identityFile = c.identityFile;
    ssh.useAgent = !c.noAgent;
    ssh.knownHostsFile = c.knownHostsFile;
    ssh.configFile = c.sshConfigFile;
    ssh.acceptNewHostKey = c.acceptNewHostKey;
    ssh.passphrase = PassphraseSource();
    bool connected = m_session->connect(options);
    // Keys first: a password is asked for only once every key was refused, as ssh does.
    const int refusal = connected ? 0 : m_session->lastError();
    if (!connected && options.password.empty() && !m_interrupted &&
        (refusal == tw::ftp::kErrSshAuthRefused || refusal == tw::ftp::kErrSshAgent)) {
        if (auto typed =
                ReadHiddenLine("Password for " +
                               (url.user.empty() ? url.host : url.user + "@" + url.host) + ": ")) {
            options.password = std::move(*typed);
            connected = m_session->connect(options);
        }
    }
    if (!connected)
        return ftpFailure("cannot log in to " + url.host);
    m_options = options;
    return 0;
}

int CliRunner::connect(const FtpUrl& url) {
    if (url.protocol == tw::ftp::Protocol::Sftp)
        return connectSftp(url);
    tw::ftp::SessionOptions options;
    std::string error;
    if (!ResolveTlsMode(m_commandLine, url.tls, options.tls, error))
        return usage(error);
    options.host = url.host;
    options.port = ConnectPort(url, options.tls);
    if (!m_commandLine.caFile.empty()) {
        if (::access(m_commandLine.caFile.c_str(), R_OK) != 0)
            return usage("cannot read " + m_commandLine.caFile + ": " + std::strerror(errno));
        options.caFile = m_commandLine.caFile;
    }
    if (!m_commandLine.pinSha256.empty()) {
        options.trustedFingerprints = {m_commandLine.pinSha256};
        options.onlyTrustedFingerprints = true;
    }
    if (m_commandLine.insecure && options.tls != tw::ftp::TlsMode::Plain) {
        options.verifyCertificate = false;
        std::fputs("tarnwick-ftp: warning: --insecure: the server's certificate is not checked\n",
                   stderr);
    }
    options.user = url.user;
    options.passive = !m_commandLine.active;
    options.timeoutMs = m_commandLine.timeoutSeconds * 1000;
    if (!url.user.empty() && url.user != "anonymous" && url.user != "ftp") {
        if (url.password)
            options.password = *url.password;
        else if (const char* env = std::getenv("TARNWICK_FTP_PASSWORD"))
            options.password = env;
        else
            options.password = promptPassword(url.user, url.host);
    } else if (url.password) {
        options.password = *url.password;
    }
    if (!m_session->connect(options))
        return ftpFailure("cannot log in to " + url.host);
    m_options = options;
    return 0;
}

int CliRunner::run() {
    FtpUrl url;
    std::string error;
    const std::string& urlText = m_commandLine.arguments[urlArgument()];
    if (!ParseFtpUrl(urlText, url, error))
        return usage(urlText + ": " + error);
    const std::string& cmd = m_commandLine.command;
    const bool needsPath = (cmd == "get" && !m_commandLine.recursive) || cmd == "mkdir" ||
                           cmd == "rmdir" || cmd == "rm" || cmd == "mv";
    if (needsPath && url.path.empty())
        return usage(urlText + ": the URL names no file or directory");
    if (!tw::ftp::IsSendableArgument(url.path))
        return usage(urlText + ": the path contains a line break or NUL");
    if (!CheckProtocolOptions(m_commandLine, url.protocol, error))
        return usage(error);
    {
        std::lock_guard lock(m_liveMutex);
        m_session = tw::sftp::MakeSession(url.protocol);
        m_live = m_session.get();
    }
    if (const int rc = connect(url))
        return rc;
    if (m_interrupted) {
        m_session->close(false);
        return kExitInterrupted;
    }
    int rc = 0;
    if (cmd == "ls") {
        rc = list(url);
    } else if (cmd == "get" && singleSpecialGet()) {
        rc = get(url);
    } else if (cmd == "put" && singleSpecialPut()) {
        rc = put(url);
    } else if (cmd == "get" || cmd == "put" || cmd == "mirror") {
        rc = cmd == "mirror" ? mirror(url) : transfer(url);
        if (!m_session)
            return rc; // the queue closed its connections
    } else if (cmd == "mkdir") {
        rc = m_session->createDirectory(url.path) ? 0 : ftpFailure("mkdir " + url.path);
    } else if (cmd == "rmdir") {
        rc = m_session->removeDirectory(url.path) ? 0 : ftpFailure("rmdir " + url.path);
    } else if (cmd == "rm") {
        rc = m_session->deleteFile(url.path) ? 0 : ftpFailure("rm " + url.path);
    } else if (cmd == "mv") {
        rc = rename(url);
    } else if (cmd == "pwd") {
        rc = printDirectory(url);
    }
    m_session->close(false); // every result is known; the goodbye would only cost time
    return rc;
}

int CliRunner::list(const FtpUrl& url) {
    std::string pattern = url.path;
    const bool namesOne = !url.path.empty() && !tw::ftp::HasWildcards(baseName(url.path));
    if (!tw::ftp::HasWildcards(baseName(pattern)))
        pattern = joinPath(pattern, "*");
    // Entering the directory first lets the server list its current directory, which some
    // servers do faster than a listing of a named path; this process ends afterwards anyway.
    const auto split = tw::ftp::SplitSearchPattern(pattern);
    // The server's answer when the path is not a directory.
    std::optional<std::pair<int, std::string>> refusal;
    if (!split.directory.empty()) {
        if (m_session->setCurrentDirectory(split.directory)) {
            pattern = split.mask.empty() ? std::string("*") : std::string(split.mask);
        } else if (namesOne && isPathRefusal(m_session->lastError()) && m_session->isConnected()) {
            // Not a directory: list the one entry of that name in its parent.
            refusal.emplace(m_session->lastError(), m_session->lastResponse());
            pattern = url.path;
        } else {
            return ftpFailure("ls " + url.path);
        }
    }
    tw::ftp::DirEntry e;
    bool ok = m_session->findFirstFile(pattern, e);
    if (!ok && m_session->lastError() != tw::ftp::kErrNoMoreFiles)
        return ftpFailure("ls " + (url.path.empty() ? std::string(".") : url.path));
    if (!ok && refusal) {
        std::fprintf(stderr, "tarnwick-ftp: ls %s: %s (error %d)\n", shown(url.path).c_str(),
                     std::string(tw::ftp::ErrorDescription(refusal->first)).c_str(),
                     refusal->first);
        if (!refusal->second.empty())
            std::fprintf(stderr, "%s\n", shownReply(refusal->second).c_str());
        return 1;
    }
    // Names are shown with their control characters as escapes; bytes that are not UTF-8 are
    // escaped only for a terminal (a file or a pipe gets them as the server sent them).
    const bool stdoutIsTerminal = ::isatty(STDOUT_FILENO) == 1;
    std::string out;
    out.reserve(1 << 16);
    bool first = true;
    if (m_commandLine.json)
        out += "[";
    for (; ok; ok = m_session->findNextFile(e)) {
        if (m_commandLine.json) {
            out += first ? "\n  " : ",\n  ";
            out += "{\"name\": " + JsonString(e.name) + ", \"type\": \"" + typeName(e.type) +
                   "\", \"size\": " + std::to_string(e.size) + ", \"modified\": " +
                   (e.lastWriteTime ? "\"" + IsoTime(e.lastWriteTime) + "\"" : "null") + "}";
        } else {
            char head[64];
            std::snprintf(head, sizeof head, "%c %14llu ",
                          e.type == tw::ftp::EntryType::Directory ? 'd'
                          : e.type == tw::ftp::EntryType::Link    ? 'l'
                                                                  : '-',
                          static_cast<unsigned long long>(e.size));
            out += head;
            out += e.lastWriteTime ? IsoTime(e.lastWriteTime) : std::string(20, '-');
            out += ' ';
            out += tw::ftp::DisplayText(e.name, tw::ftp::LineBreaks::Escape, !stdoutIsTerminal);
            out += '\n';
        }
        first = false;
        if (out.size() > (1 << 16)) {
            std::fwrite(out.data(), 1, out.size(), stdout);
            out.clear();
        }
    }
    const int searchEnd = m_session->lastError();
    if (m_commandLine.json)
        out += first ? "]\n" : "\n]\n";
    std::fwrite(out.data(), 1, out.size(), stdout);
    if (m_session->unreadableEntries() > 0)
        std::fprintf(stderr, "tarnwick-ftp: ls %s: %s\n",
                     url.path.empty() ? "." : shown(url.path).c_str(),
                     tw::ftp::UnreadableEntriesText(m_session->unreadableEntries(),
                                                    m_session->firstUnreadableEntry())
                         .c_str());
    if (std::fflush(stdout) != 0) {
        std::fprintf(stderr, "tarnwick-ftp: cannot write the listing: %s\n", std::strerror(errno));
        return 1;
    }
    // Past the engine's bounds: what was read is printed, and the run fails.
    if (searchEnd == tw::ftp::kErrListingTooLarge)
        return ftpFailure("ls " + (url.path.empty() ? std::string(".") : url.path));
    return 0;
}

void CliRunner::progress(const std::string& name, std::uint64_t done, std::uint64_t total,
                         bool last) {
    if (!m_showProgress)
        return;
    const std::int64_t now = nowMs();
    if (!last && now - m_lastProgressMs < 200)
        return;
    m_lastProgressMs = now;
    const double seconds = static_cast<double>(now - m_startMs) / 1000.0;
    const double rate = seconds > 0 ? static_cast<double>(done) / seconds : 0;
    std::string line = "\r";
    line += shown(name);
    line += "  " + HumanSize(done);
    if (total)
        line += " of " + HumanSize(total) + " (" + std::to_string(done * 100 / total) + "%)";
    line += "  " + HumanSize(static_cast<std::uint64_t>(rate)) + "/s   ";
    if (last)
        line += "\n";
    std::fputs(line.c_str(), stderr);
}

int CliRunner::get(const FtpUrl& url) {
    const std::string remoteName = baseName(url.path);
    std::string local;
    // Only a "-" given as the local name means standard output; a remote file named "-" is
    // saved under that name.
    const bool toStdout = m_commandLine.arguments.size() > 1 && m_commandLine.arguments[1] == "-";
    if (m_commandLine.arguments.size() > 1) {
        local = m_commandLine.arguments[1];
    } else {
        if (!tw::ftp::IsSafeLocalName(remoteName)) {
            std::fprintf(stderr,
                         "tarnwick-ftp: the remote name is not usable as a local file name; "
                         "give a local name\n");
            return 1;
        }
        local = remoteName;
    }
    // A regular file takes its name only when complete, so that a failed download never
    // replaces an existing file; devices and stdout are written directly.
    struct stat st {};
    const bool special = toStdout || (::stat(local.c_str(), &st) == 0 && !S_ISREG(st.st_mode));
    if (!m_session->openFile(url.path, tw::ftp::RemoteSession::OpenMode::Read))
        return ftpFailure("get " + url.path);
    tw::ftp::ReplacingFile replacing;
    int fd = STDOUT_FILENO;
    if (!special) {
        errno = replacing.open(local);
        fd = replacing.fd();
    } else if (!toStdout) {
        fd = ::open(local.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    }
    if (fd < 0) {
        std::fprintf(stderr, "tarnwick-ftp: cannot create %s: %s\n", shown(local).c_str(),
                     std::strerror(errno));
        m_session->closeFile();
        return 1;
    }
    const std::uint64_t total = m_session->openFileSize().value_or(0);
    // Blocks are read straight into a staging area that is written out when full: one local
    // write per chunk, no copy per block.
    const std::size_t blockSize = m_commandLine.blockSize;
    std::vector<char> staging(std::max(kLocalChunk, blockSize));
    std::size_t used = 0;
    std::uint64_t done = 0;
    m_startMs = m_lastProgressMs = nowMs();
    bool ok = true;
    bool writeFailed = false;
    auto flush = [&] {
        std::size_t off = 0;
        while (off < used) {
            const ssize_t n = ::write(fd, staging.data() + off, used - off);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return false;
            off += static_cast<std::size_t>(n);
        }
        used = 0;
        return true;
    };
    for (;;) {
        if (staging.size() - used < blockSize && !flush()) {
            writeFailed = true;
            break;
        }
        std::size_t n = 0;
        if (m_interrupted || !m_session->readFile(staging.data() + used, blockSize, n)) {
            ok = false;
            break;
        }
        if (n == 0)
            break;
        used += n;
        done += n;
        progress(remoteName, done, total, false);
    }
    if (ok && !writeFailed && !flush())
        writeFailed = true;
    int writeErrno = errno;
    if (special && !toStdout && ::close(fd) != 0 && !writeFailed) {
        writeErrno = errno;
        writeFailed = true;
    }
    if (writeFailed) {
        m_session->closeFile();
        std::fprintf(stderr, "tarnwick-ftp: cannot write %s: %s\n", shown(local).c_str(),
                     std::strerror(writeErrno));
        return 1;
    }
    const bool closed = m_session->closeFile();
    if (!ok || !closed) {
        if (m_showProgress)
            std::fputs("\n", stderr);
        return ftpFailure("get " + url.path);
    }
    progress(remoteName, done, total, true);
    if (const int err = special ? 0 : replacing.commit(); err != 0) {
        std::fprintf(stderr, "tarnwick-ftp: cannot write %s: %s\n", shown(local).c_str(),
                     std::strerror(err));
        return 1;
    }
    return 0;
}

int CliRunner::put(const FtpUrl& url) {
    const std::string& local = m_commandLine.arguments[0];
    std::string remote = url.path;
    if (remote.empty() || url.trailingSlash)
        remote = joinPath(remote, baseName(local));
    if (remote.empty() || baseName(remote).empty())
        return usage("no remote file name");
    const int fd = ::open(local.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        std::fprintf(stderr, "tarnwick-ftp: cannot open %s: %s\n", shown(local).c_str(),
                     std::strerror(errno));
        return 1;
    }
    struct stat st {};
    const std::uint64_t total =
        ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) ? static_cast<std::uint64_t>(st.st_size) : 0;
    if (!m_session->openFile(remote, tw::ftp::RemoteSession::OpenMode::Write)) {
        ::close(fd);
        return ftpFailure("put " + remote);
    }
    std::vector<char> chunk(kLocalChunk);
    const std::size_t blockSize = m_commandLine.blockSize;
    std::uint64_t done = 0;
    m_startMs = m_lastProgressMs = nowMs();
    bool ok = true;
    for (;;) {
        if (m_interrupted) {
            ok = false;
            break;
        }
        const ssize_t got = ::read(fd, chunk.data(), chunk.size());
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            std::fprintf(stderr, "tarnwick-ftp: cannot read %s: %s\n", shown(local).c_str(),
                         std::strerror(errno));
            ::close(fd);
            m_session->closeFile();
            return 1;
        }
        if (got == 0)
            break;
        for (std::size_t off = 0; off < static_cast<std::size_t>(got) && ok; off += blockSize) {
            const std::size_t n = std::min(blockSize, static_cast<std::size_t>(got) - off);
            std::size_t written = 0;
            ok = m_session->writeFile(chunk.data() + off, n, written) && written == n;
            done += written;
        }
        if (!ok)
            break;
        progress(baseName(remote), done, total, false);
    }
    ::close(fd);
    const bool closed = m_session->closeFile();
    if (!ok || !closed) {
        if (m_showProgress)
            std::fputs("\n", stderr);
        return ftpFailure("put " + remote);
    }
    progress(baseName(remote), done, total, true);
    return 0;
}

int CliRunner::rename(const FtpUrl& url) {
    const std::string& target = m_commandLine.arguments[1];
    std::string to;
    if (HasFtpScheme(target)) {
        FtpUrl other;
        std::string error;
        if (!ParseFtpUrl(target, other, error))
            return usage(target + ": " + error);
        if (other.protocol != url.protocol || other.host != url.host || other.port != url.port)
            return usage("mv cannot move between servers");
        to = other.path;
    } else if (target.find('/') != std::string::npos) {
        to = target;
    } else {
        to = joinPath(directoryOf(url.path), target);
    }
    if (to.empty() || !tw::ftp::IsSendableArgument(to))
        return usage("invalid new name");
    return m_session->renameFile(url.path, to) ? 0 : ftpFailure("mv " + url.path);
}

int CliRunner::printDirectory(const FtpUrl& url) {
    if (!url.path.empty() && !m_session->setCurrentDirectory(url.path))
        return ftpFailure("cd " + url.path);
    std::string path;
    if (!m_session->getCurrentDirectory(path))
        return ftpFailure("pwd");
    std::printf("%s\n", tw::ftp::DisplayText(path, tw::ftp::LineBreaks::Escape,
                                             ::isatty(STDOUT_FILENO) != 1)
                            .c_str());
    return 0;
}

} // namespace tw::cli

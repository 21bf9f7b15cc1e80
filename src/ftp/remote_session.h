#pragma once

// RemoteSession: what the program asks of a server, whatever the protocol. FtpSession
// (ftp/ftp_session.h) speaks FTP and FTPS, SftpSession (sftp/sftp_session.h) SFTP over SSH; the
// queue, the window and tarnwick-ftp reach both through this interface and make them with
// MakeSession (sftp/session_factory.h).
//
// The contract is FtpSession's, described there: synchronous calls on one thread, abort() from
// any, true on success, lastError() a number of ftp/ftp_error.h and lastResponse() the
// server's own words, names and paths as raw bytes.

#include "ftp/dir_entry.h"
#include "ftp/tls_types.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tw::ftp {

// What one directory listing may take. A real name is at most a few KiB, so a longer line is
// no entry (it is skipped and counted as unreadable). The text and entry bounds allow a
// listing of several million ordinary entries (1 M of them are about 70 MB of LIST text and
// 120 MB of entries) while no server can make the engine read or hold without end.
struct ListingLimits {
    std::size_t lineBytes = 16 * 1024;                   // one line
    std::uint64_t textBytes = std::uint64_t(512) << 20;  // the data connection's bytes
    std::uint64_t entryBytes = std::uint64_t(512) << 20; // the entries kept, names included
};

// The protocol of a session: FTP (plain or over TLS, SessionOptions::tls) or SFTP over SSH.
enum class Protocol { Ftp = 0, Sftp = 1 };

inline constexpr int kSftpPort = 22;

// A server's SSH host key, as `ssh-keygen -lf` shows it.
struct HostKeyInfo {
    std::string host; // as connected to (the ~/.ssh/config alias resolved)
    int port = kSftpPort;
    std::string type;             // "ssh-ed25519", "ecdsa-sha2-nistp256", "ssh-rsa", ...
    std::string fingerprint;      // "SHA256:<base64 without padding>"
    bool changed = false;         // known_hosts holds another key for this host
    std::string knownFingerprint; // that other key's fingerprint, when changed
    std::string knownHostsFile;   // the file that was checked
};

// SSH's part of the options (Protocol::Sftp).
struct SshOptions {
    // A private key file to log in with (empty: the key ~/.ssh/config names, else none).
    std::string identityFile;
    // Asks the passphrase of an encrypted key on the calling thread; nullopt: cancelled. Never
    // kept by the engine past the login.
    std::function<std::optional<std::string>(const std::string& keyFile)> passphrase;
    // Log in with the keys of the agent at SSH_AUTH_SOCK, when one is running.
    bool useAgent = true;
    // The known_hosts file checked and added to (empty: ~/.ssh/known_hosts).
    std::string knownHostsFile;
    // OpenSSH's client configuration read for host aliases, user, port and identity file
    // (empty: ~/.ssh/config; "none": not read).
    std::string configFile;
    // Host keys accepted for this connection besides known_hosts, by their "SHA256:..."
    // fingerprint (the user's "Trust once", or a key the caller accepted before).
    std::vector<std::string> trustedHostKeys;
    // A key accepted through trustedHostKeys that known_hosts does not hold is added to it (the
    // user's "Always"); a changed key is never added.
    bool rememberTrustedHostKeys = false;
    // A key known_hosts does not hold is accepted and added to it (a changed key never is).
    bool acceptNewHostKey = false;
};

struct SessionOptions {
    Protocol protocol = Protocol::Ftp;
    std::string host;      // name or numeric address (IPv4 or IPv6)
    int port = 21;         // 0 means 21 (22 for SFTP)
    std::string user;      // empty: anonymous login
    std::string password;  // ignored for anonymous login
    bool passive = true;   // passive (EPSV, then PASV) or active (EPRT, then PORT)
    int timeoutMs = 30000; // a reply's deadline, a data connection's idle time (see above)
    // writeFileFrom sends with sendfile: as fast as a copy through user space, with far less
    // CPU time.
    bool sendfileUploads = true;
    // readFileTo splices the socket into the file. Measured slower on loopback than one recv
    // and one write per 256 KiB (the page cache copy happens either way), so it is off unless
    // asked for.
    bool spliceDownloads = false;
    // Told, on the calling thread and during the call, of a change of course the caller may
    // want to log: a passive / active fallback, a transfer taken as complete without its final
    // reply, a download longer than announced. One English sentence each; empty: not told.
    std::function<void(const std::string&)> notice;
    // The bounds of one directory listing (see ListingLimits).
    ListingLimits listingLimits;

    // FTP over TLS. Port 0 means 990 for Implicit, else 21.
    TlsMode tls = TlsMode::Plain;
    // A PEM file of certificates trusted besides the system's store (empty: the store only).
    std::string caFile;
    // SHA-256 fingerprints (any form NormalizeFingerprint takes) of certificates accepted
    // whatever the checks say: one the user chose to trust, or a pinned one.
    std::vector<std::string> trustedFingerprints;
    // Only a certificate in trustedFingerprints is accepted, valid or not (a pin).
    bool onlyTrustedFingerprints = false;
    // False accepts any certificate unchecked (an explicit "insecure" request only).
    bool verifyCertificate = true;
    // The newest TLS version used, for tests and interoperability: 0 the newest both sides
    // know, 12 at most TLS 1.2, 13 TLS 1.3 only. TLS 1.2 is the oldest ever used.
    int tlsMaxVersion = 0;

    // SFTP's login and host key checks.
    SshOptions ssh;
};

// A digest of a file's content as the server computed it: the algorithm's name as the HASH
// command names it ("SHA-256", "SHA-1", "MD5") and the digest in lower-case hex.
struct FileChecksum {
    std::string algorithm;
    std::string hex;
};

class RemoteSession {
public:
    // Read: RETR. Write: STOR (the file replaced, or from options.offset with REST). Append:
    // APPE, the data added at the server's end of the file (no REST is sent for it).
    enum class OpenMode { Read, Write, Append };
    struct OpenOptions {
        // Where the transfer starts: REST <offset> just before RETR / STOR (0: no REST).
        std::uint64_t offset = 0;
        // The file's size as the caller knows it (from its listing): no SIZE is asked for a
        // download, and the announced-size checks use this one.
        std::optional<std::uint64_t> knownSize;
        // A protected download of unknown size whose data connection ends without the
        // server's close_notify cannot be told from one cut short: it fails with
        // kErrTlsEndUnconfirmed unless accepted here (a notice warns either way).
        bool acceptUnconfirmedEnd = false;
    };

    RemoteSession() = default;
    virtual ~RemoteSession() = default;
    RemoteSession(const RemoteSession&) = delete;
    RemoteSession& operator=(const RemoteSession&) = delete;

    virtual Protocol protocol() const = 0;

    virtual bool connect(const SessionOptions& options) = 0;
    virtual bool close(bool waitForGoodbye = true) = 0;
    virtual bool isConnected() const = 0;
    virtual void setNotice(std::function<void(const std::string&)> notice) = 0;

    virtual bool setCurrentDirectory(std::string_view path) = 0;
    virtual bool getCurrentDirectory(std::string& path) = 0;
    virtual bool createDirectory(std::string_view path) = 0;
    virtual bool removeDirectory(std::string_view path) = 0;
    virtual bool deleteFile(std::string_view path) = 0;
    virtual bool renameFile(std::string_view from, std::string_view to) = 0;
    virtual bool chmod(std::string_view path, std::uint16_t mode) = 0;

    virtual bool findFirstFile(std::string_view pattern, DirEntry& entry) = 0;
    virtual bool findNextFile(DirEntry& entry) = 0;
    virtual void findClose() = 0;

    bool openFile(std::string_view path, OpenMode mode) { return openFile(path, mode, {}); }
    virtual bool openFile(std::string_view path, OpenMode mode, const OpenOptions& options) = 0;
    virtual bool readFile(void* buffer, std::size_t size, std::size_t& bytesRead) = 0;
    virtual bool writeFile(const void* buffer, std::size_t size, std::size_t& bytesWritten) = 0;
    virtual bool closeFile() = 0;
    virtual bool abortFile() = 0;
    virtual bool readFileTo(int fd, std::size_t size, std::size_t& bytesMoved) = 0;
    virtual bool writeFileFrom(int fd, std::size_t size, std::size_t& bytesMoved) = 0;
    virtual int localError() const = 0;
    virtual std::optional<std::uint64_t> openFileSize() const = 0;
    virtual std::optional<std::uint64_t> fileSize(std::string_view path) = 0;
    virtual std::optional<bool> pathExists(std::string_view path) = 0;
    virtual std::optional<std::int64_t> modificationTime(std::string_view path) = 0;
    virtual bool canSetModificationTime() const = 0;
    virtual bool setModificationTime(std::string_view path, std::int64_t secondsUtc) = 0;
    virtual bool namesIgnoreCase() const = 0;
    // The server's digest of a file (FTP: HASH, else XSHA256 / XSHA1 / XMD5); nullopt when the
    // server computes none (kErrInvalidOperation) or refused this file.
    virtual std::optional<FileChecksum> fileChecksum(std::string_view path) = 0;
    // Listings give exact types and UTC times to the second (MLSD, SFTP), not LIST's guesses.
    virtual bool exactListings() const = 0;
    virtual std::size_t unreadableEntries() const = 0;
    virtual const std::string& firstUnreadableEntry() const = 0;

    // Keeps an idle connection open (NOOP, an SSH keep-alive); false when it is gone.
    virtual bool keepAlive() = 0;
    virtual void abort() = 0;

    virtual int lastError() const = 0;
    virtual const std::string& lastResponse() const = 0;

    // The secure channel of an FTPS session (version empty otherwise).
    virtual const TlsState& tlsState() const = 0;
    // The certificate that made the last connect() fail (FTPS).
    virtual const std::optional<CertificateInfo>& rejectedCertificate() const = 0;
    // The host key that made the last connect() fail with kErrSshHostKeyUnknown or
    // kErrSshHostKeyChanged (SFTP).
    virtual const std::optional<HostKeyInfo>& rejectedHostKey() const = 0;
};

} // namespace tw::ftp

#pragma once

// SftpSession: SFTP (version 3) over SSH, with FtpSession's contract (ftp/remote_session.h).
//
// libssh makes the SSH connection, checks nothing itself and runs non-blocking: every wait is
// the engine's own poll on the SSH socket and the Canceller's wake-up, so abort() from another
// thread (which only sets the flag and wakes the poll) ends any call within a poll tick. The
// SFTP packets are the engine's own on a channel of the "sftp" subsystem (sftp_wire.h):
// libssh 0.10's sftp_write waits for each reply, where a download or upload here keeps a
// window of 64 READ / WRITE requests in flight (64 KiB each, or what limits@openssh.com allows).
//
// Connecting: ~/.ssh/config (SshOptions::configFile) is read for the host's alias, HostName,
// User, Port and IdentityFile; SessionOptions::user, port (0: the config's, else 22) and
// SshOptions::identityFile win when given. The host key is checked against known_hosts
// (hashed entries too): an unknown key fails with kErrSshHostKeyUnknown unless trusted or
// acceptNewHostKey, a changed one always with kErrSshHostKeyChanged; rejectedHostKey() tells
// which. The login tries the agent, the identity file (a passphrase asked when encrypted,
// wiped after use; a file others can read is refused as OpenSSH refuses it), then the
// password (as such, or as the answer to keyboard-interactive's hidden prompts).
//
// Differences from FTP: relative paths resolve against the folder the session keeps
// (REALPATH at login, setCurrentDirectory); renameFile replaces an existing target where the
// server offers posix-rename@openssh.com; only NUL is refused in arguments, since SFTP sends
// names counted, not in lines. A status reply n fails with 12210 + n (ftp/ftp_error.h) and the
// server's message in lastResponse(); a lost connection is kErrFtpDropped.

#include "ftp/remote_session.h"

#include <memory>

namespace tw::sftp {

class SftpSession final : public ftp::RemoteSession {
public:
    SftpSession();
    ~SftpSession() override;

    ftp::Protocol protocol() const override { return ftp::Protocol::Sftp; }
    bool connect(const ftp::SessionOptions& options) override;
    bool close(bool waitForGoodbye = true) override;
    bool isConnected() const override;
    void setNotice(std::function<void(const std::string&)> notice) override;

    bool setCurrentDirectory(std::string_view path) override;
    bool getCurrentDirectory(std::string& path) override;
    bool createDirectory(std::string_view path) override;
    bool removeDirectory(std::string_view path) override;
    bool deleteFile(std::string_view path) override;
    bool renameFile(std::string_view from, std::string_view to) override;
    bool chmod(std::string_view path, std::uint16_t mode) override;

    bool findFirstFile(std::string_view pattern, ftp::DirEntry& entry) override;
    bool findNextFile(ftp::DirEntry& entry) override;
    void findClose() override;

    using RemoteSession::openFile;
    bool openFile(std::string_view path, OpenMode mode, const OpenOptions& options) override;
    bool readFile(void* buffer, std::size_t size, std::size_t& bytesRead) override;
    bool writeFile(const void* buffer, std::size_t size, std::size_t& bytesWritten) override;
    bool closeFile() override;
    bool abortFile() override;
    bool readFileTo(int fd, std::size_t size, std::size_t& bytesMoved) override;
    bool writeFileFrom(int fd, std::size_t size, std::size_t& bytesMoved) override;
    int localError() const override;
    std::optional<std::uint64_t> openFileSize() const override;
    std::optional<std::uint64_t> fileSize(std::string_view path) override;
    std::optional<bool> pathExists(std::string_view path) override;
    std::optional<std::int64_t> modificationTime(std::string_view path) override;
    bool canSetModificationTime() const override { return true; }
    bool setModificationTime(std::string_view path, std::int64_t secondsUtc) override;
    bool namesIgnoreCase() const override { return false; }
    // SFTP v3 has no digest request: nullopt with kErrInvalidOperation.
    std::optional<ftp::FileChecksum> fileChecksum(std::string_view path) override;
    bool exactListings() const override { return true; }
    std::size_t unreadableEntries() const override;
    const std::string& firstUnreadableEntry() const override;

    bool keepAlive() override;
    void abort() override;

    int lastError() const override;
    const std::string& lastResponse() const override;

    const ftp::TlsState& tlsState() const override;
    const std::optional<ftp::CertificateInfo>& rejectedCertificate() const override;
    const std::optional<ftp::HostKeyInfo>& rejectedHostKey() const override;

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

} // namespace tw::sftp

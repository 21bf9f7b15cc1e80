#include "sftp/sftp_session.h"

#include "ftp/ftp_error.h"

// A placeholder until the engine is built: every call fails with kErrInvalidOperation.

namespace tw::sftp {

struct SftpSession::Impl {
    int lastError = ftp::kErrNone;
    std::string lastResponse;
    ftp::TlsState tls;
    std::optional<ftp::CertificateInfo> certificate;
    std::optional<ftp::HostKeyInfo> hostKey;
};

SftpSession::SftpSession() : m_impl(std::make_unique<Impl>()) {}
SftpSession::~SftpSession() = default;

bool SftpSession::connect(const ftp::SessionOptions& options) {
    (void)options;
    m_impl->lastError = ftp::kErrInvalidOperation;
    return false;
}

bool SftpSession::close(bool waitForGoodbye) {
    (void)waitForGoodbye;
    m_impl->lastError = ftp::kErrInvalidOperation;
    return false;
}

bool SftpSession::isConnected() const {
    return false;
}

void SftpSession::setNotice(std::function<void(const std::string&)> notice) {
    (void)notice;
}

bool SftpSession::setCurrentDirectory(std::string_view path) {
    (void)path;
    m_impl->lastError = ftp::kErrInvalidOperation;
    return false;
}

bool SftpSession::getCurrentDirectory(std::string& path) {
    (void)path;
    m_impl->lastError = ftp::kErrInvalidOperation;
    return false;
}

bool SftpSession::createDirectory(std::string_view path) {
    (void)path;
    m_impl->lastError = ftp::kErrInvalidOperation;
    return false;
}

bool SftpSession::removeDirectory(std::string_view path) {
    (void)path;
    m_impl->lastError = ftp::kErrInvalidOperation;
    return false;
}

bool SftpSession::deleteFile(std::string_view path) {
    (void)path;
    m_impl->lastError = ftp::kErrInvalidOperation;
    return false;
}

bool SftpSession::renameFile(std::string_view from, std::string_view to) {
    (void)from;
    (void)to;
    m_impl->lastError = ftp::kErrInvalidOperation;
    return false;
}

bool SftpSession::chmod(std::string_view path, std::uint16_t mode) {
    (void)path;
    (void)mode;
    m_impl->lastError = ftp::kErrInvalidOperation;
    return false;
}

bool SftpSession::findFirstFile(std::string_view pattern, ftp::DirEntry& entry) {
    (void)pattern;
    (void)entry;
    m_impl->lastError = ftp::kErrInvalidOperation;
    return false;
}

bool SftpSession::findNextFile(ftp::DirEntry& entry) {
    (void)entry;
    m_impl->lastError = ftp::kErrInvalidOperation;
    return false;
}

void SftpSession::findClose() {
}

bool SftpSession::openFile(std::string_view path, OpenMode mode, const OpenOptions& options) {
    (void)path;
    (void)mode;
    (void)options;
    m_impl->lastError = ftp::kErrInvalidOperation;
    return false;
}

bool SftpSession::readFile(void* buffer, std::size_t size, std::size_t& bytesRead) {
    (void)buffer;
    (void)size;
    (void)bytesRead;
    m_impl->lastError = ftp::kErrInvalidOperation;
    return false;
}

bool SftpSession::writeFile(const void* buffer, std::size_t size, std::size_t& bytesWritten) {
    (void)buffer;
    (void)size;
    (void)bytesWritten;
    m_impl->lastError = ftp::kErrInvalidOperation;
    return false;
}

bool SftpSession::closeFile() {
    m_impl->lastError = ftp::kErrInvalidOperation;
    return false;
}

bool SftpSession::abortFile() {
    m_impl->lastError = ftp::kErrInvalidOperation;
    return false;
}

bool SftpSession::readFileTo(int fd, std::size_t size, std::size_t& bytesMoved) {
    (void)fd;
    (void)size;
    (void)bytesMoved;
    m_impl->lastError = ftp::kErrInvalidOperation;
    return false;
}

bool SftpSession::writeFileFrom(int fd, std::size_t size, std::size_t& bytesMoved) {
    (void)fd;
    (void)size;
    (void)bytesMoved;
    m_impl->lastError = ftp::kErrInvalidOperation;
    return false;
}

int SftpSession::localError() const {
    return 0;
}

std::optional<std::uint64_t> SftpSession::openFileSize() const {
    return std::nullopt;
}

std::optional<std::uint64_t> SftpSession::fileSize(std::string_view path) {
    (void)path;
    return std::nullopt;
}

std::optional<bool> SftpSession::pathExists(std::string_view path) {
    (void)path;
    return std::nullopt;
}

std::optional<std::int64_t> SftpSession::modificationTime(std::string_view path) {
    (void)path;
    return std::nullopt;
}

bool SftpSession::setModificationTime(std::string_view path, std::int64_t secondsUtc) {
    (void)path;
    (void)secondsUtc;
    m_impl->lastError = ftp::kErrInvalidOperation;
    return false;
}

const std::string& SftpSession::firstUnreadableEntry() const {
    return m_impl->lastResponse;
}

bool SftpSession::keepAlive() {
    m_impl->lastError = ftp::kErrInvalidOperation;
    return false;
}

void SftpSession::abort() {
}

int SftpSession::lastError() const {
    return m_impl->lastError;
}

const std::string& SftpSession::lastResponse() const {
    return m_impl->lastResponse;
}

const ftp::TlsState& SftpSession::tlsState() const {
    return m_impl->tls;
}

const std::optional<ftp::CertificateInfo>& SftpSession::rejectedCertificate() const {
    return m_impl->certificate;
}

const std::optional<ftp::HostKeyInfo>& SftpSession::rejectedHostKey() const {
    return m_impl->hostKey;
}

} // namespace tw::sftp

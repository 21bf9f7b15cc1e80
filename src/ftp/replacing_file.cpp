#include "ftp/replacing_file.h"

#include "ftp/file_io.h"

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace tw::ftp {

namespace {

constexpr int kAttempts = 100;
constexpr std::size_t kCopyBlock = 1 << 20;

int linkThroughProc(int fd, const char* path) {
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    return ::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, path, AT_SYMLINK_FOLLOW) == 0 ? 0 : errno;
}

std::atomic<ReplacingFile::LinkFunction> g_link{linkThroughProc};
// The link step failed once: unnamed files cannot be named in this process.
std::atomic<bool> g_linkUnavailable{false};

} // namespace

void ReplacingFile::setLinkFunction(LinkFunction function) {
    g_link = function ? function : linkThroughProc;
    g_linkUnavailable = false;
}

int ReplacingFile::open(const std::string& destination) {
    discard();
    m_destination = destination;
    const auto slash = destination.rfind('/');
    m_folder = slash == std::string::npos ? std::string(".")
                                          : destination.substr(0, slash == 0 ? 1 : slash);
    m_fd = g_linkUnavailable ? -1 : ::open(m_folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0666);
    if (m_fd < 0 &&
        (g_linkUnavailable || errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL)) {
        if (const int err = createNamed(); err != 0)
            return err;
    } else if (m_fd < 0) {
        return errno;
    }
    struct stat existing {};
    if (::stat(m_destination.c_str(), &existing) == 0 && S_ISREG(existing.st_mode))
        ::fchmod(m_fd, existing.st_mode & 07777);
    return 0;
}

// Names the unnamed file; where that cannot be done, copies it into a named one.
int ReplacingFile::linkUnnamed() {
    const LinkFunction link = g_link.load();
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        const std::string name = tempName(attempt);
        const int err = link(m_fd, name.c_str());
        if (err == 0) {
            m_tempName = name;
            return 0;
        }
        if (err != EEXIST) {
            g_linkUnavailable = true;
            return copyToNamed();
        }
    }
    return EEXIST;
}

// The unnamed file's bytes and permission bits in a new named file, which takes its place.
int ReplacingFile::copyToNamed() {
    const int unnamed = std::exchange(m_fd, -1);
    struct stat info {};
    const bool known = ::fstat(unnamed, &info) == 0;
    int err = createNamed();
    std::vector<char> block(err == 0 ? kCopyBlock : 0);
    for (off_t offset = 0; err == 0;) {
        const ssize_t n = ::pread(unnamed, block.data(), block.size(), offset);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            err = errno;
        else if (n == 0)
            break;
        else if (!WriteWhole(m_fd, block.data(), static_cast<std::size_t>(n)))
            err = errno;
        else
            offset += n;
    }
    if (err == 0 && known)
        ::fchmod(m_fd, info.st_mode & 07777);
    ::close(unnamed);
    return err;
}

int ReplacingFile::commit() {
    if (m_tempName.empty()) {
        if (const int err = linkUnnamed(); err != 0) {
            discard();
            return err;
        }
    }
    if (::close(std::exchange(m_fd, -1)) != 0 ||
        ::rename(m_tempName.c_str(), m_destination.c_str()) != 0) {
        const int err = errno;
        discard();
        return err;
    }
    m_tempName.clear();
    return 0;
}

void ReplacingFile::discard() {
    if (m_fd >= 0)
        ::close(std::exchange(m_fd, -1));
    if (!m_tempName.empty())
        ::unlink(m_tempName.c_str());
    m_tempName.clear();
}

std::string ReplacingFile::tempName(int attempt) const {
    const std::string folder = m_folder.back() == '/' ? m_folder : m_folder + '/';
    return folder + ".tw-part-" + std::to_string(::getpid()) + '-' + std::to_string(attempt);
}

int ReplacingFile::createNamed() {
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        const std::string name = tempName(attempt);
        m_fd = ::open(name.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0666);
        if (m_fd >= 0) {
            m_tempName = name;
            return 0;
        }
        if (errno != EEXIST)
            return errno;
    }
    return EEXIST;
}

} // namespace tw::ftp

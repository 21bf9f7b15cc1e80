#include "ftp/replacing_file.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace tw::ftp {

namespace {
constexpr int kAttempts = 100;
} // namespace

int ReplacingFile::open(const std::string& destination) {
    discard();
    m_destination = destination;
    const auto slash = destination.rfind('/');
    m_folder = slash == std::string::npos ? std::string(".")
                                          : destination.substr(0, slash == 0 ? 1 : slash);
    m_fd = ::open(m_folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
    if (m_fd < 0 && (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL)) {
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

int ReplacingFile::commit() {
    if (m_tempName.empty()) {
        const std::string self = "/proc/self/fd/" + std::to_string(m_fd);
        for (int attempt = 0; attempt < kAttempts && m_tempName.empty(); ++attempt) {
            const std::string name = tempName(attempt);
            if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0)
                m_tempName = name;
            else if (errno != EEXIST)
                return errno;
        }
        if (m_tempName.empty())
            return EEXIST;
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

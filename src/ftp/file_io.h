#pragma once

#include <cstddef>
#include <utility>

namespace tw::ftp {

// A file descriptor closed with its owner (-1: none).
class UniqueFd {
public:
    explicit UniqueFd(int fd = -1) : m_fd(fd) {}
    ~UniqueFd() { reset(); }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;
    int get() const { return m_fd; }
    // Closes the one held and takes `fd`.
    void reset(int fd = -1);
    int release() { return std::exchange(m_fd, -1); }

private:
    int m_fd;
};

// Writes all `size` bytes, again after EINTR; false with errno set (ENOSPC when the file
// takes no more).
bool WriteWhole(int fd, const char* data, std::size_t size);

} // namespace tw::ftp

#pragma once

#include <cstddef>

namespace tw::ftp {

class Canceller;

// Kernel-side copies between a data connection and a local file (Linux splice and sendfile),
// so the bytes of a transfer never pass through user space.

// The outcome of one copy call.
struct CopyResult {
    int error = 0;            // engine error of the network side (kErrNone when none)
    int localErrno = 0;       // errno of the local file when it failed
    std::size_t moved = 0;    // bytes that reached their destination
    bool endOfData = false;   // the source ended (connection closed / end of file)
    bool unsupported = false; // this pair of descriptors cannot be spliced: copy by hand
};

// A pipe that carries spliced data from a socket to a file.
class SplicePipe {
public:
    SplicePipe();
    ~SplicePipe();
    SplicePipe(const SplicePipe&) = delete;
    SplicePipe& operator=(const SplicePipe&) = delete;
    bool valid() const { return m_read >= 0; }

    // Moves up to `size` bytes from the socket `from` to the file `to` (at its offset), waiting
    // (bounded by `timeoutMs` of silence, cut short by `cancel`) until `size` bytes moved or the
    // connection ended.
    CopyResult socketToFile(int from, int to, std::size_t size, int timeoutMs,
                            const Canceller* cancel);

private:
    int drainTo(int to, std::size_t count, CopyResult& result);

    int m_read = -1;
    int m_write = -1;
    std::size_t m_capacity = 65536;
};

// Sends up to `size` bytes of the file `from` (from its offset) to the socket `to`, waiting
// until all were sent or the file ended.
CopyResult SendFileToSocket(int from, int to, std::size_t size, int timeoutMs,
                            const Canceller* cancel);

} // namespace tw::ftp

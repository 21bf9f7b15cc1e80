#pragma once

// SftpSession's state, shared by its connect (sftp_session_connect.cpp), its requests and its
// files (sftp_session.cpp). The SFTP packets are the engine's own (sftp_wire.h), written to and
// read from an SSH channel of libssh's running the "sftp" subsystem: that keeps any number of
// requests in flight, names as raw bytes and every wait in the engine's hands.

#include "ftp/canceller.h"
#include "ftp/dir_entry.h"
#include "ftp/remote_session.h"
#include "sftp/sftp_wire.h"

#include <libssh/libssh.h>

#include <chrono>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace tw::sftp {

using Clock = std::chrono::steady_clock;

struct Reply {
    std::uint8_t type = 0;
    std::string body; // after the request id
};

// One READ or WRITE in flight.
struct Chunk {
    std::uint32_t id = 0;
    std::uint64_t offset = 0;
    std::uint32_t length = 0;
};

struct SessionState {
    ftp::SessionOptions options;
    ssh_session ssh = nullptr;
    ssh_channel channel = nullptr;
    ftp::Canceller cancel;
    bool connected = false;
    bool lost = false; // the connection was lost (not closed on purpose)

    int lastError = 0;
    std::string lastResponse;
    ftp::TlsState tls;
    std::optional<ftp::CertificateInfo> certificate;
    std::optional<ftp::HostKeyInfo> hostKey;

    std::string cwd = "/";
    bool posixRename = false;
    std::uint32_t readChunk = 64 * 1024;
    std::uint32_t writeChunk = 64 * 1024;
    std::size_t window = 64;

    // The packet stream.
    std::uint32_t nextId = 1;
    std::string in;
    std::vector<char> scratch;    // what one read of the channel takes
    std::vector<char> sendBuffer; // what writeFileFrom reads from its file
    std::deque<std::string> out;
    std::size_t outPos = 0;
    std::unordered_set<std::uint32_t> wanted;
    std::unordered_map<std::uint32_t, Reply> replies;

    // The last directory search.
    std::vector<ftp::DirEntry> found;
    std::size_t foundNext = 0;
    bool listingTooLarge = false;
    std::size_t unreadable = 0;
    std::string firstUnreadable;

    // The open file.
    enum class FileState { None, Reading, Writing };
    FileState fileState = FileState::None;
    std::string handle;
    std::deque<Chunk> chunks;
    std::uint64_t nextOffset = 0; // the next READ / WRITE goes there
    std::uint64_t delivered = 0;  // a download handed on up to here
    std::uint64_t startOffset = 0;
    std::optional<std::uint64_t> fileSize;
    bool fileEnded = false; // a download reached the end of the file
    int fileFailure = 0;    // a failed transfer's error, given by every later call on it
    std::string pending;    // a download's bytes received and not yet handed on
    std::size_t pendingPos = 0;
    int localErrno = 0;
    bool grewTold = false;

    ~SessionState() { release(); }

    // ----- results -----
    bool fail(int error) {
        lastError = error;
        return false;
    }
    bool succeed() {
        lastError = ftp::kErrNone;
        return true;
    }
    void tell(const std::string& text) const {
        if (options.notice)
            options.notice(text);
    }

    // ----- connection -----
    int connect(const ftp::SessionOptions& o);
    void release();
    // The connection is gone: every later call fails with kErrFtpDropped.
    int drop();
    // Waits for the SSH socket (or the stop) up to the deadline, at most `capMs`.
    int waitSocket(Clock::time_point deadline, int capMs = 100);

    // ----- packets -----
    std::uint32_t newId() { return nextId++; }
    // Queues a request; its reply is kept until taken.
    void send(std::uint32_t id, std::string bytes);
    // Moves what can be moved without waiting; sets progressed when a byte went either way.
    int pump(bool& progressed);
    // Waits for the reply to `id` (timeoutMs from now).
    int await(std::uint32_t id, Reply& reply);
    // One request and its reply.
    int transact(std::uint32_t id, std::string bytes, Reply& reply);
    // Gives up the replies still due to ids: they are dropped when they come.
    void forget(std::uint32_t id) {
        wanted.erase(id);
        replies.erase(id);
    }
    // After a stop: requests not yet begun on the wire are not sent at all.
    void dropUnsent();

    // The status reply's error (kErrNone for OK), its message in lastResponse.
    int statusError(const Reply& reply);
    // An unexpected reply type: kErrSftpBadMessage.
    int badReply(const Reply& reply);

    // ----- paths and requests -----
    std::string resolve(std::string_view path) const;
    int simple(std::uint8_t type, std::string_view path);
    int stat(std::uint8_t type, std::string_view path, wire::Attributes& attrs);
    int realpath(std::string_view path, std::string& out);
    int openHandle(std::string_view path, std::uint32_t flags, std::string& out);
    void closeHandle(const std::string& h, bool wait);
};

} // namespace tw::sftp

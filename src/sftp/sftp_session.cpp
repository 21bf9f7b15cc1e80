#include "sftp/sftp_session.h"

#include "ftp/ftp_error.h"
#include "ftp/name_safety.h"
#include "ftp/wildcard.h"
#include "sftp/sftp_session_internal.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace tw::sftp {

namespace f = tw::ftp;
using wire::Packet;

namespace {

// The largest packet taken from a server: a READ's data (at most 256 KiB asked) or a NAME
// reply of a directory's names, with room for their headers.
constexpr std::uint32_t kMaxPacket = 1024 * 1024 + 64 * 1024;
// Links of one listing whose targets are asked for (READLINK, pipelined).
constexpr std::size_t kMaxLinkTargets = 4096;
constexpr std::uint64_t kMaxListingLines = 4u << 20;
// The channel's receive window: what the server may send ahead of the engine's reading.
constexpr std::size_t kReadWindow = 8u << 20;

std::uint32_t be32(const char* p) {
    const auto* u = reinterpret_cast<const unsigned char*>(p);
    return (std::uint32_t(u[0]) << 24) | (std::uint32_t(u[1]) << 16) | (std::uint32_t(u[2]) << 8) |
           u[3];
}

} // namespace

// ----- the packet stream -----

void SessionState::send(std::uint32_t id, std::string bytes) {
    wanted.insert(id);
    out.push_back(std::move(bytes));
}

void SessionState::dropUnsent() {
    while (out.size() > (outPos > 0 ? 1u : 0u))
        out.pop_back();
}

int SessionState::pump(bool& progressed) {
    if (!channel)
        return f::kErrFtpDropped;
    while (!out.empty()) {
        std::string& front = out.front();
        // Never more than the peer's window, so libssh never waits for it to grow.
        const std::size_t n =
            std::min<std::size_t>(front.size() - outPos, ssh_channel_window_size(channel));
        if (n == 0)
            break;
        const int rc = ssh_channel_write(channel, front.data() + outPos, std::uint32_t(n));
        if (rc == SSH_ERROR)
            return drop();
        if (rc <= 0)
            break;
        progressed = true;
        outPos += std::size_t(rc);
        if (outPos < front.size())
            break;
        out.pop_front();
        outPos = 0;
    }
    // libssh may keep written packets in its own buffer until it next polls the socket.
    if (ssh_get_poll_flags(ssh) & SSH_WRITE_PENDING) {
        if (ssh_blocking_flush(ssh, 0) == SSH_ERROR)
            return drop();
    }
    if (scratch.empty())
        scratch.resize(kReadWindow);
    for (int round = 0; round < 64; ++round) {
        // Asking for kReadWindow bytes makes libssh open the channel's window that far (its own
        // default of 1.28 MB would bound a download to that much per round trip).
        const int rc =
            ssh_channel_read_timeout(channel, scratch.data(), std::uint32_t(scratch.size()), 0, 0);
        if (rc < 0 || (rc == 0 && (ssh_channel_is_eof(channel) || ssh_channel_is_closed(channel))))
            return drop();
        if (rc == 0)
            break;
        in.append(scratch.data(), std::size_t(rc));
        progressed = true;
        std::size_t pos = 0;
        while (in.size() - pos >= 4) {
            const std::uint32_t length = be32(in.data() + pos);
            if (length < 1 || length > kMaxPacket) {
                lastResponse = "The server sent a malformed SFTP packet.";
                return drop();
            }
            if (in.size() - pos - 4 < length)
                break;
            const char* p = in.data() + pos + 4;
            const auto type = std::uint8_t(p[0]);
            std::uint32_t id = 0;
            std::size_t skip = 1;
            if (type != wire::kVersion) {
                if (length < 5) {
                    lastResponse = "The server sent a malformed SFTP packet.";
                    return drop();
                }
                id = be32(p + 1);
                skip = 5;
            }
            if (wanted.erase(id) > 0)
                replies[id] = Reply{type, std::string(p + skip, length - skip)};
            pos += 4 + length;
        }
        in.erase(0, pos);
    }
    return f::kErrNone;
}

int SessionState::await(std::uint32_t id, Reply& reply) {
    auto deadline = Clock::now() + std::chrono::milliseconds(std::max(options.timeoutMs, 1));
    for (;;) {
        if (const auto it = replies.find(id); it != replies.end()) {
            reply = std::move(it->second);
            replies.erase(it);
            return f::kErrNone;
        }
        if (!channel)
            return f::kErrFtpDropped;
        if (cancel.isCancelled()) { // also while data streams in without a wait
            forget(id);
            dropUnsent();
            return f::kErrOperationCancelled;
        }
        bool progressed = false;
        if (const int e = pump(progressed))
            return e;
        if (replies.count(id))
            continue;
        if (progressed) {
            deadline = Clock::now() + std::chrono::milliseconds(std::max(options.timeoutMs, 1));
            continue;
        }
        if (const int e = waitSocket(deadline)) {
            if (e == f::kErrTimeout) {
                lastResponse = "The server did not answer in time.";
                release();
                lost = true;
            } else {
                forget(id);
                dropUnsent();
            }
            return e;
        }
    }
}

int SessionState::transact(std::uint32_t id, std::string bytes, Reply& reply) {
    send(id, std::move(bytes));
    return await(id, reply);
}

int SessionState::statusError(const Reply& reply) {
    if (reply.type != wire::kStatus)
        return badReply(reply);
    wire::Reader r(reply.body);
    const std::uint32_t code = r.u32();
    const std::string_view message = r.str();
    if (code == wire::kStatusOk)
        return f::kErrNone;
    lastResponse = std::string(message);
    const int error = code <= 8 ? f::kFirstSshError + 10 + int(code) : f::kErrSftpFailure;
    if (lastResponse.empty())
        lastResponse = std::string(f::ErrorDescription(error));
    return error;
}

int SessionState::badReply(const Reply& reply) {
    lastResponse =
        "The server sent an unexpected SFTP reply (type " + std::to_string(int(reply.type)) + ").";
    return f::kErrSftpBadMessage;
}

// ----- paths and requests -----

std::string SessionState::resolve(std::string_view path) const {
    if (path.empty())
        return cwd;
    // Before the login folder is known (cwd empty) a relative path goes as it is: the server
    // resolves it against the login folder.
    if (path[0] == '/' || cwd.empty())
        return std::string(path);
    if (!cwd.empty() && cwd.back() == '/')
        return cwd + std::string(path);
    return cwd + "/" + std::string(path);
}

int SessionState::simple(std::uint8_t type, std::string_view path) {
    const std::uint32_t id = newId();
    Packet p(type, id);
    p.str(resolve(path));
    if (type == wire::kMkdir)
        p.attrs({});
    Reply reply;
    if (const int e = transact(id, p.take(), reply))
        return e;
    return statusError(reply);
}

int SessionState::stat(std::uint8_t type, std::string_view path, wire::Attributes& attrs) {
    const std::uint32_t id = newId();
    Reply reply;
    if (const int e = transact(id, Packet(type, id).str(resolve(path)).take(), reply))
        return e;
    if (reply.type != wire::kAttrs)
        return reply.type == wire::kStatus && statusError(reply) != f::kErrNone ? statusError(reply)
                                                                                : badReply(reply);
    wire::Reader r(reply.body);
    attrs = r.attrs();
    return r.failed() ? badReply(reply) : f::kErrNone;
}

int SessionState::realpath(std::string_view path, std::string& result) {
    const std::uint32_t id = newId();
    Reply reply;
    if (const int e = transact(id, Packet(wire::kRealpath, id).str(resolve(path)).take(), reply))
        return e;
    if (reply.type != wire::kName)
        return reply.type == wire::kStatus && statusError(reply) != f::kErrNone ? statusError(reply)
                                                                                : badReply(reply);
    wire::Reader r(reply.body);
    const std::uint32_t count = r.u32();
    const std::string_view name = r.str();
    if (r.failed() || count < 1 || name.empty())
        return badReply(reply);
    result = std::string(name);
    return f::kErrNone;
}

int SessionState::openHandle(std::string_view path, std::uint32_t flags, std::string& result) {
    const std::uint32_t id = newId();
    Reply reply;
    const std::uint8_t type = flags == 0 ? wire::kOpendir : wire::kOpen;
    Packet p(type, id);
    p.str(resolve(path));
    if (type == wire::kOpen)
        p.u32(flags).attrs({});
    if (const int e = transact(id, p.take(), reply))
        return e;
    if (reply.type != wire::kHandle)
        return reply.type == wire::kStatus && statusError(reply) != f::kErrNone ? statusError(reply)
                                                                                : badReply(reply);
    wire::Reader r(reply.body);
    result = std::string(r.str());
    return r.failed() || result.empty() ? badReply(reply) : f::kErrNone;
}

void SessionState::closeHandle(const std::string& h, bool wait) {
    if (!channel || h.empty())
        return;
    const std::uint32_t id = newId();
    if (!wait) {
        out.push_back(Packet(wire::kClose, id).str(h).take());
        bool progressed = false;
        pump(progressed);
        return;
    }
    Reply reply;
    if (transact(id, Packet(wire::kClose, id).str(h).take(), reply) == f::kErrNone)
        statusError(reply);
}

// ----- the session -----

struct SftpSession::Impl : SessionState {};

namespace {

// Arms the stop for the call (a file open keeps it armed between calls).
class Scope {
public:
    explicit Scope(SessionState& s) : m_s(s) {
        if (!m_s.cancel.isArmed())
            m_s.cancel.arm();
    }
    ~Scope() {
        if (m_s.fileState == SessionState::FileState::None)
            m_s.cancel.disarm();
    }
    Scope(const Scope&) = delete;
    Scope& operator=(const Scope&) = delete;

private:
    SessionState& m_s;
};

// The error of a call on a session that is not connected.
int notConnected(const SessionState& s) {
    return s.lost ? f::kErrFtpDropped : f::kErrIncorrectHandleState;
}

// Whether a command may be sent now (connected, no file open, no NUL in the arguments).
bool ready(SessionState& s, std::string_view a = {}, std::string_view b = {}) {
    if (!s.ssh)
        return s.fail(notConnected(s));
    if (s.fileState != SessionState::FileState::None)
        return s.fail(f::kErrFtpTransferInProgress);
    if (a.find('\0') != std::string_view::npos || b.find('\0') != std::string_view::npos)
        return s.fail(f::kErrInvalidOperation);
    return true;
}

bool result(SessionState& s, int error) {
    if (error == f::kErrNone)
        return s.succeed();
    if (error == f::kErrOperationCancelled)
        s.cancel.reset();
    return s.fail(error);
}

// The owner and group fields of an `ls -l` style long name, when it is one.
void ownerFromLongName(std::string_view longname, f::DirEntry& e) {
    std::vector<std::string_view> fields;
    std::size_t i = 0;
    while (i < longname.size() && fields.size() < 4) {
        while (i < longname.size() && longname[i] == ' ')
            ++i;
        const std::size_t start = i;
        while (i < longname.size() && longname[i] != ' ')
            ++i;
        if (i > start)
            fields.push_back(longname.substr(start, i - start));
    }
    if (fields.size() == 4 && fields[0].size() >= 10) {
        e.owner = std::string(fields[2]);
        e.group = std::string(fields[3]);
    }
}

f::DirEntry makeEntry(std::string_view name, std::string_view longname, const wire::Attributes& a) {
    f::DirEntry e;
    e.name = std::string(name);
    if (a.flags & wire::kAttrPermissions) {
        e.type = a.isDirectory() ? f::EntryType::Directory
                 : a.isLink()    ? f::EntryType::Link
                 : a.isRegular() ? f::EntryType::File
                                 : f::EntryType::Other;
        e.mode = std::uint16_t(a.permissions & 07777);
        if (!(a.permissions & 0200))
            e.attributes |= f::kAttributeReadOnly;
    } else if (!longname.empty()) {
        e.type = longname[0] == 'd'   ? f::EntryType::Directory
                 : longname[0] == 'l' ? f::EntryType::Link
                                      : f::EntryType::File;
    }
    if (a.flags & wire::kAttrSize)
        e.size = a.size;
    if (a.flags & wire::kAttrTimes) {
        e.lastWriteTime = a.mtime;
        e.lastAccessTime = a.atime;
    }
    ownerFromLongName(longname, e);
    if (e.owner.empty() && (a.flags & wire::kAttrUidGid)) {
        e.owner = std::to_string(a.uid);
        e.group = std::to_string(a.gid);
    }
    e.attributes |=
        e.type == f::EntryType::Directory ? f::kAttributeDirectory : f::kAttributeArchive;
    if (e.name.size() > 1 && e.name[0] == '.')
        e.attributes |= f::kAttributeHidden;
    e.unsafeName = !f::IsSafeLocalName(e.name);
    return e;
}

} // namespace

SftpSession::SftpSession() : m_impl(std::make_unique<Impl>()) {}
SftpSession::~SftpSession() = default;

bool SftpSession::connect(const ftp::SessionOptions& options) {
    Impl& s = *m_impl;
    s.release();
    s.lost = false;
    s.cancel.arm();
    s.lastResponse.clear();
    s.found.clear();
    s.unreadable = 0;
    s.firstUnreadable.clear();
    s.posixRename = false;
    const int e = s.connect(options);
    s.cancel.disarm();
    if (e != f::kErrNone) {
        s.release();
        return s.fail(e);
    }
    return s.succeed();
}

bool SftpSession::close(bool waitForGoodbye) {
    (void)waitForGoodbye; // SSH's goodbye is one message, never answered
    Impl& s = *m_impl;
    s.release();
    s.lost = false;
    s.lastError = f::kErrNone;
    return true;
}

bool SftpSession::isConnected() const {
    return m_impl->ssh != nullptr;
}

void SftpSession::setNotice(std::function<void(const std::string&)> notice) {
    m_impl->options.notice = std::move(notice);
}

bool SftpSession::setCurrentDirectory(std::string_view path) {
    Impl& s = *m_impl;
    Scope scope(s);
    if (!ready(s, path))
        return false;
    std::string real;
    if (const int e = s.realpath(path, real))
        return result(s, e);
    wire::Attributes a;
    if (const int e = s.stat(wire::kStat, real, a))
        return result(s, e);
    if ((a.flags & wire::kAttrPermissions) && !a.isDirectory()) {
        s.lastResponse = "Not a directory: " + real;
        return s.fail(f::kErrSftpFailure);
    }
    s.cwd = real;
    return s.succeed();
}

bool SftpSession::getCurrentDirectory(std::string& path) {
    Impl& s = *m_impl;
    if (!ready(s))
        return false;
    path = s.cwd;
    return s.succeed();
}

bool SftpSession::createDirectory(std::string_view path) {
    Impl& s = *m_impl;
    Scope scope(s);
    return ready(s, path) && result(s, s.simple(wire::kMkdir, path));
}

bool SftpSession::removeDirectory(std::string_view path) {
    Impl& s = *m_impl;
    Scope scope(s);
    return ready(s, path) && result(s, s.simple(wire::kRmdir, path));
}

bool SftpSession::deleteFile(std::string_view path) {
    Impl& s = *m_impl;
    Scope scope(s);
    return ready(s, path) && result(s, s.simple(wire::kRemove, path));
}

bool SftpSession::renameFile(std::string_view from, std::string_view to) {
    Impl& s = *m_impl;
    Scope scope(s);
    if (!ready(s, from, to))
        return false;
    const std::uint32_t id = s.newId();
    // posix-rename replaces an existing target, as RNTO does; plain RENAME refuses it.
    Packet p = s.posixRename
                   ? std::move(Packet(wire::kExtended, id).str("posix-rename@openssh.com"))
                   : Packet(wire::kRename, id);
    p.str(s.resolve(from)).str(s.resolve(to));
    Reply reply;
    if (const int e = s.transact(id, p.take(), reply))
        return result(s, e);
    return result(s, s.statusError(reply));
}

bool SftpSession::chmod(std::string_view path, std::uint16_t mode) {
    Impl& s = *m_impl;
    Scope scope(s);
    if (!ready(s, path))
        return false;
    const std::uint32_t id = s.newId();
    wire::Attributes a;
    a.flags = wire::kAttrPermissions;
    a.permissions = mode & 07777;
    Reply reply;
    if (const int e =
            s.transact(id, Packet(wire::kSetstat, id).str(s.resolve(path)).attrs(a).take(), reply))
        return result(s, e);
    return result(s, s.statusError(reply));
}

bool SftpSession::findFirstFile(std::string_view pattern, ftp::DirEntry& entry) {
    Impl& s = *m_impl;
    Scope scope(s);
    s.found.clear();
    s.foundNext = 0;
    s.listingTooLarge = false;
    s.unreadable = 0;
    s.firstUnreadable.clear();
    if (!ready(s, pattern))
        return false;
    const f::SearchPattern split = f::SplitSearchPattern(pattern);
    const std::string_view mask = split.mask;
    const bool exact = !mask.empty() && !f::HasWildcards(mask);
    std::string handle;
    if (const int e = s.openHandle(split.directory, 0, handle))
        return result(s, e);
    const f::ListingLimits& limits = s.options.listingLimits;
    std::uint64_t textBytes = 0, entryBytes = 0, lines = 0;
    std::vector<std::size_t> links;
    int error = f::kErrNone;
    for (bool more = true; more && error == f::kErrNone;) {
        const std::uint32_t id = s.newId();
        Reply reply;
        if (const int e = s.transact(id, Packet(wire::kReaddir, id).str(handle).take(), reply)) {
            error = e;
            break;
        }
        if (reply.type != wire::kName) {
            const int e = s.statusError(reply);
            if (e == f::kErrSftpEndOfFile)
                s.lastResponse.clear();
            else
                error = e == f::kErrNone ? s.badReply(reply) : e;
            break;
        }
        textBytes += reply.body.size();
        wire::Reader r(reply.body);
        const std::uint32_t count = r.u32();
        for (std::uint32_t i = 0; i < count && !r.failed(); ++i) {
            const std::string_view name = r.str();
            const std::string_view longname = r.str();
            const wire::Attributes a = r.attrs();
            if (r.failed())
                break;
            ++lines;
            if (name == "." || name == "..")
                continue;
            if (name.empty() || name.size() > limits.lineBytes) {
                if (s.unreadable++ == 0)
                    s.firstUnreadable = std::string(name.substr(0, 256));
                continue;
            }
            if (exact ? name != mask : !f::WildcardMatch(mask, name))
                continue;
            f::DirEntry e = makeEntry(name, longname, a);
            entryBytes += sizeof(f::DirEntry) + e.name.size() + e.owner.size() + e.group.size();
            if (e.type == f::EntryType::Link && links.size() < kMaxLinkTargets)
                links.push_back(s.found.size());
            s.found.push_back(std::move(e));
        }
        if (r.failed()) {
            error = s.badReply(reply);
            break;
        }
        if (textBytes > limits.textBytes || entryBytes > limits.entryBytes ||
            lines > kMaxListingLines) {
            s.listingTooLarge = true;
            s.tell("The listing is too large: only its beginning was read.");
            more = false;
        }
    }
    if (error == f::kErrNone && !links.empty()) {
        // The targets of the links, all asked at once.
        const std::string dir = s.resolve(split.directory);
        std::vector<std::uint32_t> ids;
        for (const std::size_t at : links) {
            const std::uint32_t id = s.newId();
            const std::string path =
                (dir.empty() || dir.back() == '/' ? dir : dir + "/") + s.found[at].name;
            s.send(id, Packet(wire::kReadlink, id).str(path).take());
            ids.push_back(id);
        }
        for (std::size_t i = 0; i < ids.size() && error == f::kErrNone; ++i) {
            Reply reply;
            if (const int e = s.await(ids[i], reply)) {
                error = e;
                for (std::size_t j = i + 1; j < ids.size(); ++j)
                    s.forget(ids[j]);
                break;
            }
            wire::Reader r(reply.body);
            if (reply.type == wire::kName && r.u32() >= 1)
                s.found[links[i]].linkTarget = std::string(r.str());
        }
    }
    s.closeHandle(handle, false);
    if (error != f::kErrNone) {
        s.found.clear();
        return result(s, error);
    }
    if (s.unreadable > 0)
        s.tell(std::to_string(s.unreadable) + " entries of the listing could not be read.");
    return findNextFile(entry);
}

bool SftpSession::findNextFile(ftp::DirEntry& entry) {
    Impl& s = *m_impl;
    if (s.foundNext >= s.found.size())
        return s.fail(s.listingTooLarge ? f::kErrListingTooLarge : f::kErrNoMoreFiles);
    entry = s.found[s.foundNext++];
    return s.succeed();
}

void SftpSession::findClose() {
    m_impl->found.clear();
    m_impl->foundNext = 0;
}

// ----- files -----

namespace {

using FileState = SessionState::FileState;

// Ends the open file at once: what is still due for it is dropped when it comes.
void abandonFile(SessionState& s) {
    for (const Chunk& c : s.chunks)
        s.forget(c.id);
    s.chunks.clear();
    s.dropUnsent();
    s.closeHandle(s.handle, false);
    s.handle.clear();
    s.fileState = FileState::None;
    s.pending.clear();
    s.pendingPos = 0;
    s.fileFailure = f::kErrNone;
}

// A failure of the open transfer: a stop or a lost session ends it; a server's refusal is
// kept and given by every later call on it until it is closed.
bool failTransfer(SessionState& s, int error) {
    if (error == f::kErrOperationCancelled) {
        abandonFile(s);
        s.cancel.reset();
    } else if (!s.ssh) {
        s.fileState = FileState::None;
    } else {
        s.fileFailure = error;
    }
    return s.fail(error);
}

// A download's failure after some bytes of this call: they are handed on and the next call
// fails (unless stopped, or the session is gone); with none, the call fails now.
bool failRead(SessionState& s, int error, std::size_t moved) {
    if (moved > 0 && error != f::kErrOperationCancelled && s.ssh) {
        s.fileFailure = error;
        return s.succeed();
    }
    return failTransfer(s, error);
}

// Keeps the download's window of READ requests full.
void fillReads(SessionState& s) {
    while (s.chunks.size() < s.window && !s.fileEnded &&
           (!s.fileSize || s.nextOffset < *s.fileSize || s.chunks.empty())) {
        const std::uint32_t id = s.newId();
        s.send(id, Packet(wire::kRead, id).str(s.handle).u64(s.nextOffset).u32(s.readChunk).take());
        s.chunks.push_back({id, s.nextOffset, s.readChunk});
        s.nextOffset += s.readChunk;
    }
    bool progressed = false;
    s.pump(progressed);
}

// The download's next bytes into `pending`, in order; sets fileEnded at the end of the file.
int nextData(SessionState& s) {
    fillReads(s);
    if (!s.ssh)
        return f::kErrFtpDropped;
    if (s.chunks.empty()) {
        s.fileEnded = true;
        return f::kErrNone;
    }
    const Chunk front = s.chunks.front();
    Reply reply;
    if (const int e = s.await(front.id, reply))
        return e;
    s.chunks.pop_front();
    if (reply.type == wire::kData) {
        wire::Reader r(reply.body);
        const std::uint32_t n = r.u32();
        if (n > front.length || reply.body.size() - 4 < n)
            return s.badReply(reply);
        if (n < front.length) {
            // A short read: the rest of the range is asked again, ahead of the others.
            const std::uint32_t id = s.newId();
            s.send(id, Packet(wire::kRead, id)
                           .str(s.handle)
                           .u64(front.offset + n)
                           .u32(front.length - n)
                           .take());
            s.chunks.push_front({id, front.offset + n, front.length - n});
        }
        s.pending = std::move(reply.body);
        s.pendingPos = 4;
        s.delivered += n;
        return f::kErrNone;
    }
    const int e = s.statusError(reply);
    if (e != f::kErrSftpEndOfFile)
        return e == f::kErrNone ? s.badReply(reply) : e;
    s.fileEnded = true;
    for (const Chunk& c : s.chunks)
        s.forget(c.id);
    s.chunks.clear();
    s.lastResponse.clear();
    if (s.fileSize && s.delivered < *s.fileSize) {
        s.lastResponse = "The file ended after " + std::to_string(s.delivered) + " of " +
                         std::to_string(*s.fileSize) + " bytes.";
        return f::kErrShortTransfer;
    }
    if (s.fileSize && s.delivered > *s.fileSize && !s.grewTold) {
        s.grewTold = true;
        s.tell("The file grew while it was downloaded: " + std::to_string(s.delivered) +
               " bytes instead of " + std::to_string(*s.fileSize) + ".");
    }
    return f::kErrNone;
}

// Takes the replies of finished WRITE requests; `all` waits for every one.
int reapWrites(SessionState& s, bool all) {
    while (!s.chunks.empty()) {
        const Chunk front = s.chunks.front();
        Reply reply;
        if (all || s.chunks.size() >= s.window) {
            if (const int e = s.await(front.id, reply))
                return e;
        } else {
            const auto it = s.replies.find(front.id);
            if (it == s.replies.end()) {
                bool progressed = false;
                if (const int e = s.pump(progressed))
                    return e;
                if (!s.replies.count(front.id))
                    return f::kErrNone;
                continue;
            }
            reply = std::move(it->second);
            s.replies.erase(it);
        }
        s.chunks.pop_front();
        if (const int e = s.statusError(reply))
            return e;
    }
    return f::kErrNone;
}

// Whether the open file takes a read (or a write) now; nullopt: go on.
std::optional<bool> gate(SessionState& s, FileState wantedState) {
    if (s.fileState == FileState::None)
        return s.fail(s.ssh ? f::kErrIncorrectHandleState : notConnected(s));
    if (s.fileState != wantedState)
        return s.fail(f::kErrIncorrectHandleType);
    if (s.fileFailure != f::kErrNone)
        return s.fail(s.fileFailure);
    if (s.cancel.isCancelled())
        return failTransfer(s, f::kErrOperationCancelled);
    return std::nullopt;
}

int sendWrite(SessionState& s, const char* data, std::size_t size) {
    while (size > 0) {
        if (const int e = reapWrites(s, false))
            return e;
        const auto n = std::uint32_t(std::min<std::size_t>(size, s.writeChunk));
        const std::uint32_t id = s.newId();
        s.send(id, Packet(wire::kWrite, id)
                       .str(s.handle)
                       .u64(s.nextOffset)
                       .str(std::string_view(data, n))
                       .take());
        s.chunks.push_back({id, s.nextOffset, n});
        s.nextOffset += n;
        data += n;
        size -= n;
        bool progressed = false;
        if (const int e = s.pump(progressed))
            return e;
    }
    return f::kErrNone;
}

// Hands up to `size` bytes of the download to `take` (which returns how many it took, or -1
// with errno), asking the server for more as the received ones run out.
template <typename Take>
bool readPending(SessionState& s, std::size_t size, std::size_t& moved, Take take) {
    while (moved < size) {
        if (s.pendingPos < s.pending.size()) {
            const std::size_t n = std::min(size - moved, s.pending.size() - s.pendingPos);
            const ssize_t took = take(s.pending.data() + s.pendingPos, n);
            if (took < 0) {
                if (errno == EINTR)
                    continue;
                s.localErrno = errno;
                return s.fail(f::kErrInternalError);
            }
            s.pendingPos += std::size_t(took);
            moved += std::size_t(took);
            continue;
        }
        if (s.fileEnded)
            break;
        if (const int e = nextData(s))
            return failRead(s, e, moved);
    }
    return s.succeed();
}

} // namespace

bool SftpSession::openFile(std::string_view path, OpenMode mode, const OpenOptions& options) {
    Impl& s = *m_impl;
    Scope scope(s);
    if (!ready(s, path))
        return false;
    if (options.knownSize && options.offset > *options.knownSize && mode == OpenMode::Read)
        return s.fail(f::kErrInvalidOperation);
    std::uint32_t flags = wire::kOpenRead;
    if (mode == OpenMode::Write)
        flags = wire::kOpenWrite | wire::kOpenCreate |
                (options.offset == 0 ? std::uint32_t(wire::kOpenTruncate) : 0u);
    else if (mode == OpenMode::Append)
        flags = wire::kOpenWrite | wire::kOpenCreate | wire::kOpenAppend;
    std::string handle;
    if (const int e = s.openHandle(path, flags, handle))
        return result(s, e);
    std::optional<std::uint64_t> size = options.knownSize;
    if ((mode == OpenMode::Read && !size) || mode == OpenMode::Append) {
        const std::uint32_t id = s.newId();
        Reply reply;
        if (const int e = s.transact(id, Packet(wire::kFstat, id).str(handle).take(), reply)) {
            s.closeHandle(handle, false);
            return result(s, e);
        }
        wire::Reader r(reply.body);
        const wire::Attributes a = reply.type == wire::kAttrs ? r.attrs() : wire::Attributes{};
        if (a.flags & wire::kAttrSize)
            size = a.size;
    }
    if (mode == OpenMode::Read && size && options.offset > *size) {
        s.closeHandle(handle, false);
        return s.fail(f::kErrInvalidOperation);
    }
    s.handle = handle;
    s.chunks.clear();
    s.pending.clear();
    s.pendingPos = 0;
    s.fileEnded = false;
    s.fileFailure = f::kErrNone;
    s.grewTold = false;
    s.localErrno = 0;
    s.startOffset = mode == OpenMode::Append ? size.value_or(0) : options.offset;
    s.nextOffset = s.delivered = s.startOffset;
    s.fileSize = mode == OpenMode::Read ? size : std::nullopt;
    s.fileState = mode == OpenMode::Read ? FileState::Reading : FileState::Writing;
    if (mode == OpenMode::Read)
        fillReads(s);
    return s.succeed();
}

bool SftpSession::readFile(void* buffer, std::size_t size, std::size_t& bytesRead) {
    Impl& s = *m_impl;
    Scope scope(s);
    bytesRead = 0;
    if (const auto done = gate(s, FileState::Reading))
        return *done;
    auto* out = static_cast<char*>(buffer);
    return readPending(s, size, bytesRead, [&](const char* data, std::size_t n) {
        std::memcpy(out + bytesRead, data, n);
        return ssize_t(n);
    });
}

bool SftpSession::readFileTo(int fd, std::size_t size, std::size_t& bytesMoved) {
    Impl& s = *m_impl;
    Scope scope(s);
    bytesMoved = 0;
    s.localErrno = 0;
    if (const auto done = gate(s, FileState::Reading))
        return *done;
    return readPending(s, size, bytesMoved,
                       [fd](const char* data, std::size_t n) { return ::write(fd, data, n); });
}

bool SftpSession::writeFile(const void* buffer, std::size_t size, std::size_t& bytesWritten) {
    Impl& s = *m_impl;
    Scope scope(s);
    bytesWritten = 0;
    if (const auto done = gate(s, FileState::Writing))
        return *done;
    if (const int e = sendWrite(s, static_cast<const char*>(buffer), size))
        return failTransfer(s, e);
    bytesWritten = size;
    return s.succeed();
}

bool SftpSession::writeFileFrom(int fd, std::size_t size, std::size_t& bytesMoved) {
    Impl& s = *m_impl;
    Scope scope(s);
    bytesMoved = 0;
    s.localErrno = 0;
    if (const auto done = gate(s, FileState::Writing))
        return *done;
    std::vector<char>& buffer = s.sendBuffer;
    buffer.resize(std::max(buffer.size(), std::min<std::size_t>(size, 1024 * 1024)));
    while (bytesMoved < size) {
        const std::size_t want = std::min(size - bytesMoved, buffer.size());
        const ssize_t n = ::read(fd, buffer.data(), want);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            s.localErrno = errno;
            return s.fail(f::kErrInternalError);
        }
        if (n == 0)
            break;
        if (const int e = sendWrite(s, buffer.data(), std::size_t(n)))
            return failTransfer(s, e);
        bytesMoved += std::size_t(n);
    }
    return s.succeed();
}

bool SftpSession::closeFile() {
    Impl& s = *m_impl;
    Scope scope(s);
    if (s.fileState == FileState::None)
        return s.fail(s.ssh ? f::kErrIncorrectHandleState : notConnected(s));
    if (s.cancel.isCancelled()) {
        failTransfer(s, f::kErrOperationCancelled);
        return false;
    }
    int error = s.fileFailure;
    if (s.fileState == FileState::Reading) {
        // Closed before the end on purpose: the reads still due are dropped.
        abandonFile(s);
        return error == f::kErrNone ? s.succeed() : s.fail(error);
    }
    if (error == f::kErrNone)
        error = reapWrites(s, true);
    if (error == f::kErrOperationCancelled || !s.ssh)
        return failTransfer(s, error);
    for (const Chunk& c : s.chunks)
        s.forget(c.id);
    s.chunks.clear();
    // The server's answer to CLOSE is its last word on the upload.
    const std::uint32_t id = s.newId();
    const std::string handle = s.handle;
    s.handle.clear();
    s.fileState = FileState::None;
    s.fileFailure = f::kErrNone;
    Reply reply;
    const int closed = s.transact(id, Packet(wire::kClose, id).str(handle).take(), reply);
    if (error == f::kErrNone)
        error = closed != f::kErrNone ? closed : s.statusError(reply);
    return result(s, error);
}

bool SftpSession::abortFile() {
    Impl& s = *m_impl;
    Scope scope(s);
    if (s.fileState == FileState::None)
        return s.fail(s.ssh ? f::kErrIncorrectHandleState : notConnected(s));
    abandonFile(s);
    s.cancel.reset();
    return s.fail(f::kErrOperationCancelled);
}

int SftpSession::localError() const {
    return m_impl->localErrno;
}

std::optional<std::uint64_t> SftpSession::openFileSize() const {
    return m_impl->fileState == SessionState::FileState::Reading ? m_impl->fileSize : std::nullopt;
}

std::optional<std::uint64_t> SftpSession::fileSize(std::string_view path) {
    Impl& s = *m_impl;
    Scope scope(s);
    if (!ready(s, path))
        return std::nullopt;
    wire::Attributes a;
    if (const int e = s.stat(wire::kStat, path, a)) {
        result(s, e);
        return std::nullopt;
    }
    if (!(a.flags & wire::kAttrSize) || ((a.flags & wire::kAttrPermissions) && !a.isRegular())) {
        s.lastResponse = "Not a regular file.";
        s.fail(f::kErrSftpFailure);
        return std::nullopt;
    }
    s.succeed();
    return a.size;
}

std::optional<ftp::FileChecksum> SftpSession::fileChecksum(std::string_view /*path*/) {
    m_impl->fail(f::kErrInvalidOperation);
    return std::nullopt;
}

std::optional<bool> SftpSession::pathExists(std::string_view path) {
    Impl& s = *m_impl;
    Scope scope(s);
    if (!ready(s, path))
        return std::nullopt;
    wire::Attributes a;
    const int e = s.stat(wire::kLstat, path, a);
    if (e == f::kErrNone || e == f::kErrSftpNoSuchFile) {
        s.succeed();
        return e == f::kErrNone;
    }
    result(s, e);
    return std::nullopt;
}

std::optional<std::int64_t> SftpSession::modificationTime(std::string_view path) {
    Impl& s = *m_impl;
    Scope scope(s);
    if (!ready(s, path))
        return std::nullopt;
    wire::Attributes a;
    if (const int e = s.stat(wire::kStat, path, a)) {
        result(s, e);
        return std::nullopt;
    }
    if (!(a.flags & wire::kAttrTimes)) {
        s.lastResponse = "The server gives no modification time.";
        s.fail(f::kErrSftpUnsupported);
        return std::nullopt;
    }
    s.succeed();
    return std::int64_t(a.mtime);
}

bool SftpSession::setModificationTime(std::string_view path, std::int64_t secondsUtc) {
    Impl& s = *m_impl;
    Scope scope(s);
    if (!ready(s, path))
        return false;
    if (secondsUtc < 0 || secondsUtc > std::int64_t(UINT32_MAX))
        return s.fail(f::kErrInvalidOperation);
    wire::Attributes old;
    wire::Attributes a;
    a.flags = wire::kAttrTimes;
    a.mtime = std::uint32_t(secondsUtc);
    // The access time is kept where the server tells it.
    a.atime = s.stat(wire::kStat, path, old) == f::kErrNone && (old.flags & wire::kAttrTimes)
                  ? old.atime
                  : a.mtime;
    if (!s.ssh)
        return s.fail(f::kErrFtpDropped);
    const std::uint32_t id = s.newId();
    Reply reply;
    if (const int e =
            s.transact(id, Packet(wire::kSetstat, id).str(s.resolve(path)).attrs(a).take(), reply))
        return result(s, e);
    return result(s, s.statusError(reply));
}

std::size_t SftpSession::unreadableEntries() const {
    return m_impl->unreadable;
}

const std::string& SftpSession::firstUnreadableEntry() const {
    return m_impl->firstUnreadable;
}

bool SftpSession::keepAlive() {
    Impl& s = *m_impl;
    Scope scope(s);
    if (!ready(s))
        return false;
    std::string here;
    return result(s, s.realpath(s.cwd, here));
}

void SftpSession::abort() {
    m_impl->cancel.cancel();
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

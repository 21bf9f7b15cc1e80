#include "queue/resumable_copy.h"

#include "ftp/file_io.h"
#include "ftp/ftp_error.h"
#include "ftp/ftp_reply.h"
#include "ftp/ftp_session.h"
#include "queue/queue_paths.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace tw::queue {

namespace {

using tw::ftp::RemoteSession;

constexpr std::uint64_t kWritebackBytes = 8 * 1024 * 1024;

using tw::ftp::UniqueFd;

int replyCode(const std::string& response) {
    return std::max(tw::ftp::ReplyCode(response), 0);
}

std::string firstLine(const std::string& text) {
    return text.substr(0, text.find_first_of("\r\n"));
}

ItemResult done() {
    return ItemResult{};
}

ItemResult stopped() {
    return ItemResult{ItemState::Stopped, {}, tw::ftp::kErrOperationCancelled, false};
}

ItemResult localFailure(const std::string& what, int err) {
    return ItemResult{ItemState::Failed, what + ": " + std::strerror(err), 0, false};
}

ItemResult localFailure(const std::string& text) {
    return ItemResult{ItemState::Failed, text, 0, false};
}

// The session's last failure as the item's, or Stopped when the user's stop ended it.
ItemResult engineFailure(const RemoteSession& session, const RunContext& context,
                         const std::string& what = {}) {
    if (context.stop.load())
        return stopped();
    const int code = session.lastError();
    const std::string text = EngineErrorText(session);
    return ItemResult{ItemState::Failed, what.empty() ? text : what + ": " + text, code,
                      IsConnectionFailure(code, session.lastResponse())};
}

void tell(const RunContext& context, const std::string& text) {
    if (context.notice)
        context.notice(text);
}

void recorded(const RunContext& context) {
    if (context.recorded)
        context.recorded();
}

void progress(const RunContext& context, TransferItem& item, std::uint64_t transferred) {
    item.transferred = transferred;
    if (context.progress)
        context.progress(transferred);
}

ResumeChoice choose(const RunContext& context, const TransferItem& item, const ResumeOffer& offer) {
    if (context.resumeChoice)
        return context.resumeChoice(item, offer);
    return offer.verified ? ResumeChoice::Resume : ResumeChoice::StartOver;
}

std::int64_t modificationSeconds(const struct stat& st) {
    return std::int64_t(st.st_mtim.tv_sec);
}

// An open transfer that did not end in its own time is ended before the session is used again.
void settle(RemoteSession& session) {
    session.abortFile();
}

// ----- download -----

// The date a downloaded file takes: the recorded source time (MLSD's or MDTM's, both exact),
// else the listed one.
std::int64_t downloadDate(const TransferItem& item) {
    return item.sourceTime != 0 ? item.sourceTime : item.listedTime;
}

// The exact modification time of the remote file at its first start: MLSD's listed time, else
// MDTM where the dates are kept (the date is needed then anyway), else unknown.
std::int64_t exactSourceTime(RemoteSession& session, const TransferItem& item,
                             const CopyOptions& options) {
    if (item.listedTime != 0 && session.exactListings())
        return item.listedTime;
    if (options.keepDates)
        if (const auto time = session.modificationTime(item.remotePath))
            return *time;
    return 0;
}

// Decides where a download starts: the partial file's size (resume) or 0. A failure of the
// session while it checks the source is returned.
std::optional<ItemResult> downloadStart(TransferItem& item, RemoteSession& session,
                                        const RunContext& context, const std::string& partial,
                                        std::uint64_t& offset) {
    offset = 0;
    struct stat st {};
    if (::lstat(partial.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size <= 0)
        return std::nullopt;
    const auto partialBytes = std::uint64_t(st.st_size);
    const bool recorded = item.partialPath == partial && item.sourceSize != 0;
    bool verified = false;
    if (recorded) {
        const auto size = session.fileSize(item.remotePath);
        if (!size && !session.isConnected())
            return engineFailure(session, context);
        std::optional<std::int64_t> time;
        if (size == item.sourceSize && item.sourceTime != 0)
            time = session.modificationTime(item.remotePath);
        if (!session.isConnected())
            return engineFailure(session, context);
        verified = size == item.sourceSize && (!time || *time == item.sourceTime);
        if (!verified) {
            // The listing's size and time are out of date as well.
            item.size = size.value_or(0);
            item.listedTime = 0;
            tell(context, item.remotePath +
                              " changed on the server since its download began: it is "
                              "downloaded again from the start.");
            return std::nullopt;
        }
    }
    const std::uint64_t whole = recorded ? item.sourceSize : item.size;
    if (whole != 0 && partialBytes > whole)
        return std::nullopt; // more than the file: not a part of it
    if (choose(context, item, ResumeOffer{partialBytes, verified}) == ResumeChoice::Resume)
        offset = partialBytes;
    return std::nullopt;
}

// Empties the partial file for a start from zero.
bool restartPartial(int fd) {
    return ::ftruncate(fd, 0) == 0 && ::lseek(fd, 0, SEEK_SET) == 0;
}

// Fsyncs the complete partial file, gives it its date and the replaced file's permission bits,
// and renames it over the destination.
std::optional<ItemResult> commitDownload(UniqueFd& file, const TransferItem& item,
                                         const std::string& partial, const CopyOptions& options) {
    if (::fsync(file.get()) != 0)
        return localFailure("cannot write " + partial, errno);
    struct stat old {};
    if (::stat(item.localPath.c_str(), &old) == 0 && S_ISREG(old.st_mode))
        ::fchmod(file.get(), old.st_mode & 07777);
    if (const std::int64_t date = downloadDate(item); options.keepDates && date != 0) {
        const timespec times[2] = {{0, UTIME_OMIT}, {time_t(date), 0}};
        ::futimens(file.get(), times);
    }
    if (::close(file.release()) != 0)
        return localFailure("cannot write " + partial, errno);
    if (::rename(partial.c_str(), item.localPath.c_str()) != 0)
        return localFailure("cannot rename " + partial + " to " + item.localPath, errno);
    return std::nullopt;
}

} // namespace

bool IsConnectionFailure(int error, std::string_view reply) {
    namespace f = tw::ftp;
    switch (error) {
    case f::kErrFtpDropped:
    case f::kErrConnectionReset:
    case f::kErrConnectionAborted:
    case f::kErrTimeout:
    case f::kErrCannotConnect:
    case f::kErrShortTransfer:
    case f::kErrTlsTruncated:
    case f::kErrOutOfHandles:
        return true;
    case f::kErrSftpNoConnection: // SFTP's own words for a lost connection
    case f::kErrSftpConnectionLost:
        return true;
    case f::kErrExtendedError:
        return f::ReplyCode(reply) / 100 == 4;
    default:
        return false; // SSH host key and login refusals among them
    }
}

bool IsServerRefusal(int error, std::string_view reply) {
    namespace f = tw::ftp;
    if (error == f::kErrExtendedError)
        return f::ReplyCode(reply) / 100 == 5;
    return f::IsSftpStatus(error) && !IsConnectionFailure(error, reply);
}

std::string EngineErrorText(const RemoteSession& session) {
    const int code = session.lastError();
    const std::string& reply = session.lastResponse();
    const bool fromServer = code == tw::ftp::kErrExtendedError || code == tw::ftp::kErrFtpDropped ||
                            code == tw::ftp::kErrLoginFailure ||
                            code == tw::ftp::kErrIncorrectPassword ||
                            code == tw::ftp::kErrIncorrectUserName;
    if (fromServer && replyCode(reply) > 0)
        return firstLine(reply);
    // An SFTP status: the server's message says more than the status's name ("No such file").
    if (tw::ftp::IsSftpStatus(code) && !firstLine(reply).empty())
        return firstLine(reply);
    return std::string(tw::ftp::ErrorDescription(code));
}

ItemResult DownloadFile(TransferItem& item, RemoteSession& session, const RunContext& context,
                        const CopyOptions& options) {
    if (context.stop.load())
        return stopped();
    struct stat dest {};
    if (::stat(item.localPath.c_str(), &dest) == 0 && S_ISDIR(dest.st_mode))
        return localFailure("a folder of that name is in the way: " + item.localPath);
    const std::string partial = DownloadPartialPath(item.localPath);
    std::uint64_t offset = 0;
    if (auto failure = downloadStart(item, session, context, partial, offset))
        return *failure;
    if (context.stop.load())
        return stopped();

    UniqueFd file(::open(partial.c_str(),
                         O_WRONLY | O_CREAT | O_CLOEXEC | (offset == 0 ? O_TRUNC : 0), 0666));
    if (file.get() < 0)
        return localFailure("cannot create " + partial, errno);
    if (offset > 0 && (::ftruncate(file.get(), off_t(offset)) != 0 ||
                       ::lseek(file.get(), off_t(offset), SEEK_SET) != off_t(offset)))
        return localFailure("cannot write " + partial, errno);
    if (offset == 0 || item.partialPath != partial) {
        item.partialPath = partial;
        item.sourceSize = item.size;
        item.sourceTime = exactSourceTime(session, item, options);
        if (!session.isConnected())
            return engineFailure(session, context);
        recorded(context);
    }
    progress(context, item, offset);

    bool restartedOnce = false;
    // From zero on the same connection: the server would not resume.
    const auto startAgain = [&](const std::string& why) {
        restartedOnce = true;
        offset = 0;
        tell(context, why);
        return restartPartial(file.get());
    };
    const auto openRemote = [&] {
        RemoteSession::OpenOptions request;
        request.offset = offset;
        if (item.sourceSize != 0)
            request.knownSize = item.sourceSize;
        request.acceptUnconfirmedEnd = options.acceptUnconfirmedTlsEnd;
        return session.openFile(item.remotePath, RemoteSession::OpenMode::Read, request);
    };
    // Every byte is there already (a run ended between the last byte and the rename).
    const bool complete = offset > 0 && offset == item.sourceSize;
    for (; !complete;) {
        if (!openRemote()) {
            const int code = session.lastError();
            if (offset > 0 && !context.stop.load() && !restartedOnce &&
                (code == tw::ftp::kErrExtendedError || code == tw::ftp::kErrRestartIgnored ||
                 code == tw::ftp::kErrInvalidOperation ||
                 IsServerRefusal(code, session.lastResponse()))) {
                if (!startAgain("The server would not resume " + item.remotePath + " (" +
                                EngineErrorText(session) + "): it is downloaded from the start."))
                    return localFailure("cannot write " + partial, errno);
                continue;
            }
            return engineFailure(session, context);
        }
        if (item.sourceSize == 0)
            if (const auto announced = session.openFileSize()) {
                item.sourceSize = *announced;
                recorded(context);
            }
        std::uint64_t total = offset;
        std::uint64_t written = offset; // handed to the kernel's writeback up to here
        bool again = false;
        for (;;) {
            if (context.stop.load()) {
                settle(session);
                return stopped();
            }
            std::size_t moved = 0;
            if (!session.readFileTo(file.get(), options.chunkBytes, moved)) {
                const int local = session.localError();
                const int code = session.lastError();
                const ItemResult failure = engineFailure(session, context);
                settle(session);
                if (local != 0)
                    return localFailure("cannot write " + partial, local);
                if (code == tw::ftp::kErrRestartIgnored && !restartedOnce && !context.stop.load()) {
                    if (!startAgain("The server ignored the restart offset of " + item.remotePath +
                                    ": it is downloaded from the start."))
                        return localFailure("cannot write " + partial, errno);
                    again = true;
                    break;
                }
                return failure;
            }
            if (moved == 0)
                break; // every byte arrived and the final reply was a success
            total += moved;
            // The kernel starts writing what arrived while more comes, so the fsync before the
            // rename has only the tail left to wait for.
            if (total - written >= kWritebackBytes) {
                ::sync_file_range(file.get(), off_t(written), off_t(total - written),
                                  SYNC_FILE_RANGE_WRITE);
                written = total;
            }
            progress(context, item, total);
        }
        if (again)
            continue;
        if (!session.closeFile())
            return engineFailure(session, context);
        break;
    }
    if (auto failure = commitDownload(file, item, partial, options))
        return *failure;
    item.partialPath.clear();
    recorded(context);
    return done();
}

// ----- upload -----

namespace {

// Deletes the temporary file of an upload that must not be resumed, and forgets it.
void dropRemotePartial(TransferItem& item, RemoteSession& session, const RunContext& context,
                       const std::string& temporary) {
    if (session.isConnected())
        session.deleteFile(temporary);
    item.partialPath.clear();
    item.sourceSize = 0;
    item.sourceTime = 0;
    recorded(context);
}

// The size of the upload's partial data on the server when it may be resumed, else 0.
std::uint64_t uploadStart(TransferItem& item, RemoteSession& session, const RunContext& context,
                          const CopyOptions& options, const std::string& temporary,
                          const struct stat& local) {
    const bool recorded = item.partialPath == temporary && item.sourceSize != 0;
    const bool same = recorded && item.sourceSize == std::uint64_t(local.st_size) &&
                      item.sourceTime == modificationSeconds(local);
    if (recorded && !same) {
        tell(context,
             item.localPath + " changed since its upload began: it is sent again from the start.");
        return 0;
    }
    if (!recorded && !options.probeRemotePartials)
        return 0;
    const auto held = session.fileSize(temporary);
    if (!held || *held == 0 || *held > std::uint64_t(local.st_size))
        return 0;
    return choose(context, item, ResumeOffer{*held, same}) == ResumeChoice::Resume ? *held : 0;
}

// Gives the stored temporary file the destination's name; a server that will not rename onto
// an existing name has the old file deleted first.
std::optional<ItemResult> commitUpload(const TransferItem& item, RemoteSession& session,
                                       const RunContext& context, const std::string& temporary) {
    if (session.renameFile(temporary, item.remotePath))
        return std::nullopt;
    // FTP's 550 / 553, or SFTP's plain RENAME (no posix-rename) onto an existing name.
    const int code = replyCode(session.lastResponse());
    const int error = session.lastError();
    const bool refused = error == tw::ftp::kErrExtendedError ? code == 550 || code == 553
                                                             : error == tw::ftp::kErrSftpFailure;
    if (!context.stop.load() && refused && session.deleteFile(item.remotePath) &&
        session.renameFile(temporary, item.remotePath))
        return std::nullopt;
    return engineFailure(session, context, "cannot rename " + temporary);
}

} // namespace

ItemResult UploadFile(TransferItem& item, RemoteSession& session, const RunContext& context,
                      const CopyOptions& options) {
    if (context.stop.load())
        return stopped();
    UniqueFd file(::open(item.localPath.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat local {};
    if (file.get() < 0 || ::fstat(file.get(), &local) != 0)
        return localFailure("cannot open " + item.localPath, errno);
    if (!S_ISREG(local.st_mode))
        return localFailure(item.localPath + " is not a file");
    const auto localSize = std::uint64_t(local.st_size);
    const std::string temporary = UploadTemporaryPath(item.remotePath);
    std::uint64_t offset = uploadStart(item, session, context, options, temporary, local);
    if (!session.isConnected())
        return engineFailure(session, context);
    if (context.stop.load())
        return stopped();
    item.partialPath = temporary;
    item.sourceSize = localSize;
    item.sourceTime = modificationSeconds(local);
    recorded(context);
    progress(context, item, offset);

    std::string target = temporary;
    if (offset < localSize || offset == 0) {
        bool opened = false;
        if (offset > 0) {
            opened = session.openFile(temporary, RemoteSession::OpenMode::Append, {});
            if (!opened && !context.stop.load() &&
                (session.lastError() == tw::ftp::kErrExtendedError ||
                 IsServerRefusal(session.lastError(), session.lastResponse()))) {
                tell(context, "The server would not resume " + item.remotePath + " (" +
                                  EngineErrorText(session) + "): it is sent from the start.");
                offset = 0;
            } else if (!opened) {
                return engineFailure(session, context);
            }
        }
        if (!opened) {
            opened = session.openFile(temporary, RemoteSession::OpenMode::Write, {});
            if (!opened && !context.stop.load() &&
                IsServerRefusal(session.lastError(), session.lastResponse()) &&
                session.lastError() != tw::ftp::kErrSftpNoSuchFile) {
                // The server takes no such name (dot files denied): the file goes under its
                // own name, without resume.
                target = item.remotePath;
                item.partialPath.clear();
                recorded(context);
                opened = session.openFile(target, RemoteSession::OpenMode::Write, {});
            }
            if (!opened)
                return engineFailure(session, context);
        }
        progress(context, item, offset);
        if (::lseek(file.get(), off_t(offset), SEEK_SET) != off_t(offset)) {
            const int err = errno;
            settle(session);
            return localFailure("cannot read " + item.localPath, err);
        }
        std::uint64_t total = offset;
        for (;;) {
            if (context.stop.load()) {
                settle(session);
                return stopped();
            }
            std::size_t moved = 0;
            if (!session.writeFileFrom(file.get(), options.chunkBytes, moved)) {
                const int localError = session.localError();
                if (localError != 0) {
                    settle(session);
                    return localFailure("cannot read " + item.localPath, localError);
                }
                ItemResult failure = engineFailure(session, context);
                settle(session);
                return failure;
            }
            if (moved == 0)
                break;
            total += moved;
            progress(context, item, total);
        }
        if (!session.closeFile()) // the server's final reply decides
            return engineFailure(session, context);
    }
    struct stat after {};
    if (::fstat(file.get(), &after) != 0 || std::uint64_t(after.st_size) != localSize ||
        modificationSeconds(after) != modificationSeconds(local) ||
        after.st_mtim.tv_nsec != local.st_mtim.tv_nsec) {
        if (target == temporary)
            dropRemotePartial(item, session, context, temporary);
        return localFailure("the local file changed while it was sent: " + item.localPath);
    }
    if (offset > 0) {
        const auto held = session.fileSize(temporary);
        if (!held && !session.isConnected())
            return engineFailure(session, context);
        if (held != localSize) {
            dropRemotePartial(item, session, context, temporary);
            return localFailure(
                "after resuming, the server holds " +
                (held ? std::to_string(*held) : std::string("an unknown number of")) +
                " bytes of the " + std::to_string(localSize) + " of " + item.localPath +
                ": it will be sent again from the start");
        }
    }
    if (target == temporary)
        if (auto failure = commitUpload(item, session, context, temporary))
            return *failure;
    if (options.keepDates && session.canSetModificationTime())
        session.setModificationTime(item.remotePath, modificationSeconds(local));
    item.partialPath.clear();
    recorded(context);
    progress(context, item, localSize);
    return done();
}

ItemRunner DefaultRunner(CopyOptions options) {
    return [options](TransferItem& item, RemoteSession& session, const RunContext& context) {
        return item.direction == Direction::Download ? DownloadFile(item, session, context, options)
                                                     : UploadFile(item, session, context, options);
    };
}

ItemResult MakeFolder(TransferItem& item, RemoteSession* session) {
    if (item.direction == Direction::Download) {
        if (::mkdir(item.localPath.c_str(), 0777) == 0)
            return done();
        const int err = errno;
        struct stat st {};
        if (err == EEXIST && ::stat(item.localPath.c_str(), &st) == 0)
            return S_ISDIR(st.st_mode)
                       ? done()
                       : localFailure("a file of that name is in the way: " + item.localPath);
        return localFailure("cannot create the folder " + item.localPath, err);
    }
    if (!session)
        return localFailure("no connection");
    if (session->createDirectory(item.remotePath))
        return done();
    const int code = session->lastError();
    const std::string reply = session->lastResponse();
    if ((code == tw::ftp::kErrExtendedError || IsServerRefusal(code, reply)) &&
        session->setCurrentDirectory(item.remotePath))
        return done(); // it was there already
    const bool lost = !session->isConnected() || IsConnectionFailure(code, reply);
    const std::string text = (replyCode(reply) > 0 && code == tw::ftp::kErrExtendedError) ||
                                     (tw::ftp::IsSftpStatus(code) && !firstLine(reply).empty())
                                 ? firstLine(reply)
                                 : std::string(tw::ftp::ErrorDescription(code));
    return ItemResult{ItemState::Failed, "cannot create the folder: " + text, code, lost};
}

} // namespace tw::queue

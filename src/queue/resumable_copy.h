#pragma once

// The copy of one queue item over one RemoteSession, resumable and Qt-free.
//
//   RunContext ctx{stop, progress, recorded, resumeChoice, notice};
//   ItemResult r = DownloadFile(item, session, ctx, CopyOptions{});   // or UploadFile
//   if (r.state == ItemState::Failed && r.retryable) ...  // the connection was lost: try again
//
// Downloads are written to ".<name>.tw-part" beside the destination (DownloadPartialPath) and
// renamed over the destination only when every byte arrived and the server's final reply was a
// success, after an fsync, so a cut, a stop or a killed program never leaves a short file under
// the destination's name. A replaced file's permission bits are kept.
// Uploads are stored as ".<name>.tw-up" in the destination's folder (UploadTemporaryPath) and
// renamed over the destination after the server's success; a server that refuses to rename
// onto an existing name (550 / 553 on RNTO) has the old file deleted first. A server that
// refuses the hidden name itself (550 / 553 on STOR) gets the file under its own name, without
// resume. With CopyOptions::keepDates a download takes the server's date (MLSD's exact time,
// else MDTM, else the listed time) and an upload sends the local date (MFMT where offered).
//
// Resume: the first start of a copy records in the item where the partial data goes
// (partialPath) and what the source was (sourceSize, sourceTime), and tells
// RunContext::recorded, so a store keeps them across a killed program. A later start that
// finds partial data compares the source with the record: a download asks the server (SIZE,
// and MDTM when a time was recorded), an upload looks at the local file. Unchanged, it offers
// to resume (RunContext::resumeChoice; without one it resumes): a download continues with REST
// from the partial file's size, an upload with APPE from the size the server holds (SIZE of the
// temporary file). Changed, it starts from zero and says so through RunContext::notice. Partial
// data the item did not record (left by another run) is offered unverified: without a
// resumeChoice it is started again. A server that refuses REST or APPE, or ignores REST
// (kErrRestartIgnored: it sent the file from its start), gets the file again from zero on the
// same connection, with a notice; the bytes already written are never mixed with those. After
// an APPE the server's size must equal the local file's, else the temporary file is deleted
// and the copy fails (the next start begins at zero). An upload whose local file changed while
// it was sent (size or modification time) fails, and its temporary file is deleted.
//
// A stop (RunContext::stop set, and RemoteSession::abort() from the stopping thread) ends the copy
// as Stopped with its partial data kept. A failure keeps the partial data too, so a retry
// resumes; `retryable` tells a lost connection (kErrFtpDropped, a reset, a timeout, a data
// connection that could not be made, a transfer cut short, a 4xx reply) from a refusal (5xx).
//
// Remote paths are absolute: the copies never change the session's directory.

#include "queue/transfer_item.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

namespace tw::ftp {
class RemoteSession;
}

namespace tw::queue {

enum class ResumeChoice { Resume, StartOver };

// Partial data found when a copy starts.
struct ResumeOffer {
    std::uint64_t partialBytes = 0;
    // The item recorded this partial data and the source still has the recorded size and time.
    // False for data left by another run, which may belong to another version of the file.
    bool verified = false;
};

using ResumeChooser = std::function<ResumeChoice(const TransferItem&, const ResumeOffer&)>;

// What a runner needs from the queue while it copies one item. Every callback is called on the
// runner's thread and may be empty.
struct RunContext {
    const std::atomic<bool>& stop;
    // The item's `transferred` (bytes of the file now at the destination, resumed ones included).
    std::function<void(std::uint64_t transferred)> progress;
    // The item's resume record (partialPath, sourceSize, sourceTime) changed.
    std::function<void()> recorded;
    ResumeChooser resumeChoice;
    // A change of course for the log (a resume refused, a file started again).
    std::function<void(const std::string&)> notice;
};

struct CopyOptions {
    bool keepDates = true;
    std::size_t chunkBytes = 256 * 1024;
    // Uploads look for a temporary file on the server even when the item recorded none (one
    // SIZE per file), so partial data of a killed run can be offered for resume.
    bool probeRemotePartials = false;
    // Takes a protected download of unknown size that ended without close_notify
    // (RemoteSession::OpenOptions::acceptUnconfirmedEnd).
    bool acceptUnconfirmedTlsEnd = false;
};

// The end of one item's run.
struct ItemResult {
    ItemState state = ItemState::Done; // Done, Failed, Stopped or Skipped
    std::string error;                 // why it failed or was skipped, one line
    int errorCode = 0;                 // the engine's number (ftp_error.h), 0 for local failures
    bool retryable = false;            // failed because the connection was lost
};

using ItemRunner =
    std::function<ItemResult(TransferItem&, tw::ftp::RemoteSession&, const RunContext&)>;

ItemResult DownloadFile(TransferItem& item, tw::ftp::RemoteSession& session,
                        const RunContext& context, const CopyOptions& options);
ItemResult UploadFile(TransferItem& item, tw::ftp::RemoteSession& session,
                      const RunContext& context, const CopyOptions& options);
// DownloadFile or UploadFile by the item's direction: the queue's runner when none is given.
ItemRunner DefaultRunner(CopyOptions options = {});

// A Folder item: the local folder made (a download; `session` is not used and may be null) or
// the remote one (MKD; one that exists already counts as made). A file where the folder must be
// is a failure, never removed.
ItemResult MakeFolder(TransferItem& item, tw::ftp::RemoteSession* session);

// Whether an engine failure means the connection was lost (worth another try on a fresh one):
// `reply` is the server's last reply, whose 4xx code counts as transient.
bool IsConnectionFailure(int error, std::string_view reply);
// Whether the server refused the request itself (an FTP 5xx reply, an SFTP status other than
// a lost connection): the same request fails again, another way may not.
bool IsServerRefusal(int error, std::string_view reply);
// A one-line description of the session's last failure: the server's first reply line when it
// answered, else the engine's text.
std::string EngineErrorText(const tw::ftp::RemoteSession& session);

} // namespace tw::queue

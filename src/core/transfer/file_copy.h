#pragma once

#include "core/state/app_state.h"

#include <QByteArray>
#include <QString>

#include <array>
#include <atomic>
#include <cstdint>
#include <string_view>

namespace tw {

namespace ftp {
class RemoteSession;
}
class Messages;
class TransferPort;

// Bytes per block, by the BlockSize option (an index above 5 counts as 2).
inline constexpr std::array<std::uint32_t, 6> kBlockSizes = {128, 256, 512, 1024, 2048, 4096};
std::uint32_t BlockSizeFor(std::uint32_t index);

// Maps progress steps onto the bar's 32-bit range: steps beyond it are divided down, so a
// file of any size fills the bar exactly once.
class ProgressScale {
public:
    explicit ProgressScale(std::uint64_t maximumStep);
    int maximum() const { return position(m_maximum); }
    // Steps above the maximum leave the bar full.
    int position(std::uint64_t step) const;

private:
    std::uint64_t m_maximum;
    std::uint64_t m_divisor = 1;
};

// What one file's copy needs around it.
struct CopyEnvironment {
    const Messages& messages;
    TransferPort& port;
    ftp::RemoteSession& session;
    const Options& options;
    const std::atomic<bool>& stopRequested; // the user's Stop
};

// One file to copy. Paths are byte strings, so names that are not UTF-8 reach the file system
// and the server unchanged.
struct CopyRequest {
    QByteArray localFolder;
    QByteArray localName;  // a plain name (no '/'): the file is created in localFolder
    QByteArray remotePath; // the full remote path
    QString label;         // the name shown in the progress window and the status line
    std::uint64_t expectedSize = 0;
    // Download: the user confirmed replacing this file (Yes to the newer-destination
    // question), so a read-only local file is replaced as well.
    bool replaceReadOnly = false;
    // Download: the source row's last-write time (seconds since 1970 UTC, 0 unknown), used
    // for the file's date when the server cannot tell it (MDTM).
    std::int64_t listedTime = 0;
};

// The outcome of one copy: copied, or failed (already reported, unless it was the user's
// Stop); and whether the batch ends here (the user stopped it, or the connection is gone).
struct CopyOutcome {
    bool copied = false;
    bool endsBatch = false;
    bool stopped = false; // the user's Stop ended it: nothing was reported
};

// Fetches the remote file into a temporary file beside the destination, which replaces the
// destination only when every byte arrived and the server confirmed the transfer: a failed,
// cut or stopped download leaves an existing local file as it was. A read-only destination is
// refused as CreateFile refuses it, unless `replaceReadOnly`. With the KeepFileDates option
// the file takes the server's date (MDTM, else the listed time).
CopyOutcome DownloadFile(const CopyEnvironment& env, const CopyRequest& request);
// Stores the local file on the server under a hidden temporary name in the destination's
// folder (UploadTemporaryPath) and renames it over the destination only after the server
// confirmed the transfer: a failed or stopped upload removes the temporary file and leaves an
// existing file as it was. Where the server refuses the temporary name, the file is stored
// under its own name, and a failed or stopped upload removes what the server kept of it (or
// logs that a partial file was left). With KeepFileDates the server's copy takes the local
// file's date where the server can set it (MFMT).
CopyOutcome UploadFile(const CopyEnvironment& env, const CopyRequest& request);

// The temporary name an upload to `remotePath` is stored under: ".<name>.tw-up" in the same
// folder.
QByteArray UploadTemporaryPath(const QByteArray& remotePath);
// Whether a remote name is such a temporary upload name (never shown as a finished file).
bool IsUploadTemporaryName(std::string_view name);

// Why a download must not replace the local file `path`: EACCES when the user could not open
// it for writing, or when it is the user's own file without its owner's write bit (so root,
// who may write anything, still keeps its own read-only files, as cp and curl do); EROFS on a
// read-only file system; 0 when it may be replaced or does not exist.
int ReadOnlyDestination(const QByteArray& path);

} // namespace tw

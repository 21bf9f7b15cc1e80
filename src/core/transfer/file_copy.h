#pragma once

#include "core/state/app_state.h"

#include <QByteArray>
#include <QString>

#include <array>
#include <atomic>
#include <cstdint>

namespace tw {

namespace ftp {
class FtpSession;
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
    ftp::FtpSession& session;
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
};

// The outcome of one copy: copied, or failed (already reported); and whether the batch ends
// here (the user stopped it, or the connection is gone).
struct CopyOutcome {
    bool copied = false;
    bool endsBatch = false;
};

// Fetches the remote file into a temporary file beside the destination, which replaces the
// destination only when every byte arrived and the server confirmed the transfer: a failed,
// cut or stopped download leaves an existing local file as it was.
CopyOutcome DownloadFile(const CopyEnvironment& env, const CopyRequest& request);
// Stores the local file on the server. A failed or stopped upload removes what the server
// kept of it (or logs that a partial file was left), so a cut file never looks complete.
CopyOutcome UploadFile(const CopyEnvironment& env, const CopyRequest& request);

} // namespace tw

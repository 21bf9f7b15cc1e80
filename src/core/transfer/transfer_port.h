#pragma once

#include "core/panes/file_entry.h"

#include <QString>

#include <cstdint>
#include <optional>

namespace tw {

// One question of the destination file name prompt (3300).
struct DestinationNameRequest {
    QString sourceFolder;      // control 101
    QString destinationFolder; // control 103
    QString fileName;          // control 102, and the text the edit box starts with
    bool lowercase = false;    // shows edit box 105, which turns typed letters to lower case
    bool retry = false;        // asked again after a validation message: the dialog stays
                               // where it is and the whole text is selected
};

// The newer-destination question (3400).
struct NewerDestinationRequest {
    bool upload = false; // direction: false download, true upload
    FileEntry source;
    FileEntry destination;
    bool multiple = false; // more than one row selected: enables "Yes to All"
};

enum class NewerAnswer { Yes, No, YesToAll, Cancel };

// The question about a file that an earlier, unfinished transfer has partly copied already.
struct ResumeRequest {
    bool upload = false;
    QString name;              // the destination's name
    std::uint64_t partial = 0; // bytes there already
    std::uint64_t size = 0;    // the whole file's
};

enum class ResumeAnswer { Resume, StartAgain, Cancel };

// The progress window (5600). Positions and the range are already scaled to fit a 32-bit bar.
struct ProgressRequest {
    QString caption; // empty: " Progress"
    int iconId = 0;  // 0: 1000
    QString text;    // empty: "Underway ..."
    int minimum = 0;
    int maximum = 0;
};

// The windows a transfer batch shows, beyond the UI port. Every method may be called from the
// transfer worker thread. The questions block the worker until the user has answered; the
// progress calls return at once (the window is created, repainted and destroyed on the UI
// thread, its repaints coalesced).
class TransferPort {
public:
    virtual ~TransferPort() = default;

    // Shows the name prompt (or keeps it open after a validation message) and returns the
    // typed text, or nullopt for Cancel.
    virtual std::optional<QString> askDestinationName(const DestinationNameRequest& request) = 0;
    // The name loop has ended; `accepted`: closed by OK, so the position is remembered.
    virtual void endDestinationName(bool accepted) = 0;
    // The newer-destination question; every answer but Help closes it and remembers its
    // position.
    virtual NewerAnswer askNewerDestination(const NewerDestinationRequest& request) = 0;

    // Whether to continue a partial copy or copy the whole file again; Cancel skips the file.
    virtual ResumeAnswer askResume(const ResumeRequest& request) = 0;

    // Opens the progress window; false (nothing changes) when one is already open.
    virtual bool openProgress(const ProgressRequest& request) = 0;
    // Moves the bar (a position above the maximum leaves it full) and, when given, replaces
    // the text. False when no progress window is open.
    virtual bool setProgress(int position, const std::optional<QString>& text = std::nullopt) = 0;
    // Closes the progress window; false when none is open.
    virtual bool closeProgress() = 0;
};

} // namespace tw

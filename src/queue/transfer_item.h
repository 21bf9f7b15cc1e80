#pragma once

// The transfer queue's row: one file (or one folder to create, or one folder still to be
// walked) to move between the local disk and one server. Plain values without Qt, shared by
// the window and tarnwick-ftp; paths are byte strings, as the engine takes them.

#include <cstdint>
#include <string>

namespace tw::queue {

enum class Direction { Download, Upload };

enum class ItemKind {
    File,   // copy one file
    Folder, // create the destination folder (made before the files inside it run)
    Tree,   // a source folder not yet walked: walking it puts its folders and files in its place
};

enum class ItemState { Queued, Running, Done, Failed, Stopped, Skipped };

struct TransferItem {
    std::int64_t id = 0;    // unique in its queue, assigned when queued; never reused
    std::int64_t group = 0; // the id of the command (a selection, a folder) that queued it
    Direction direction = Direction::Download;
    ItemKind kind = ItemKind::File;
    std::string localPath;  // full local path of the source or destination
    std::string remotePath; // full remote path of the source or destination
    std::uint64_t size = 0; // the source's size as listed (0: not known)
    // The source's modification time as listed (seconds since 1970 UTC, 0: not known). A
    // download takes it as its date when the listing's times are exact (MLSD), so no MDTM is
    // asked for it.
    std::int64_t listedTime = 0;
    std::uint64_t transferred = 0;
    std::uint64_t bytesPerSecond = 0; // while running
    ItemState state = ItemState::Queued;
    std::string error; // why it failed or was skipped, one line
    int errorCode = 0; // the engine's error number of the failure (ftp_error.h), 0 none
    int retries = 0;   // automatic retries made after a dropped connection

    // The source as it was when the copy first started, so a resume can tell whether the
    // file changed in between: its size and modification time (seconds since 1970 UTC, 0 not
    // known).
    std::int64_t sourceTime = 0;
    std::uint64_t sourceSize = 0;
    // Where the partial data waits: a download's hidden file beside the destination, an
    // upload's temporary name on the server. Empty until the copy started.
    std::string partialPath;
    // A Tree row for a remote link: CWD tells whether it leads to a folder (walked) or to a file
    // (copied as that file).
    bool link = false;
};

// Whether an item's state is final (it will not run again without a start or retry).
constexpr bool IsFinished(ItemState state) {
    return state == ItemState::Done || state == ItemState::Failed || state == ItemState::Skipped;
}

} // namespace tw::queue

#pragma once

// Folder walks: a Tree item (a folder to copy with everything in it) turned into the rows that
// take its place in the queue: a Folder row for the destination folder and each folder below
// it (parents before children), then a File row per file, with Skipped and Failed rows where
// the walk left something out, each with its reason.
//
//   WalkResult w = WalkRemoteTree(session, tree, DefaultWalkFilter, stop);   // a download
//   WalkResult w = WalkLocalTree(tree, DefaultWalkFilter, stop);             // an upload
//   if (w.ok) replace(tree, w.items);
//
// Download (on a queue connection): each folder is listed with findFirstFile / findNextFile
// ("*" under it; names are the server's raw bytes); sizes and times come from the listing. A
// link is tried with CWD: one that enters is a folder, followed once; any other is a file. The
// real folder behind each folder is remembered (PWD after CWD for links and the root, the path
// below a remembered folder otherwise) and never entered twice, so a link back up is Skipped.
// Upload: the local folder is read with lstat; a symbolic link to a folder is followed once,
// loops prevented by device and inode; a link to a file is a file; a broken link, a device or
// a pipe is Skipped. Either way a folder that cannot be listed is a Failed row with the reason
// and the walk goes on; folders nested deeper than kMaxWalkDepth are Failed rows too. The
// hidden names of unfinished copies (".x.tw-part", ".x.tw-up") are left out without a row.
//
// A server listing with MLSD may show a link to a folder as a folder, and may not resolve links
// in PWD either: there a folder whose listing (names, kinds, sizes and times) equals one of its
// parents' is taken for a link leading back up, and becomes a Skipped row.
//
// Every entry first passes the walk filter; a reason it returns makes the entry a Skipped row
// (a Skipped folder is not entered). ok is false only when the root could not be listed, the
// connection was lost (retryable) or the stop flag was set (stopped).
//
// Remote paths are absolute: a walk leaves the session's directory changed (it enters links),
// and nothing in the queue depends on it.

#include "queue/transfer_item.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace tw::ftp {
class RemoteSession;
struct DirEntry;
} // namespace tw::ftp

namespace tw::queue {

inline constexpr int kMaxWalkDepth = 64;

// One entry a walk found, as the walk filter sees it.
struct WalkEntry {
    Direction direction = Direction::Download;
    std::string name;            // raw bytes
    std::string sourcePath;      // full path where it is read
    std::string destinationPath; // full path where it would go
    bool folder = false;
    bool link = false;
    bool unsafeName = false; // the server's listing flagged the name (DirEntry::unsafeName)
    std::uint64_t size = 0;
    std::int64_t time = 0; // seconds since 1970 UTC, 0 unknown
};

// A reason to leave the entry out ("excluded by the mask *.bak"), or nothing to take it.
using WalkFilter = std::function<std::optional<std::string>(const WalkEntry&)>;

// Leaves out what cannot be copied as named: a server's name that is no usable local file name
// (IsSafeLocalName, DirEntry::unsafeName) and a local name that cannot be sent in a command.
std::optional<std::string> DefaultWalkFilter(const WalkEntry& entry);

struct WalkResult {
    bool ok = false;
    bool stopped = false;
    bool retryable = false;          // the connection was lost
    int errorCode = 0;               // why it failed (ftp_error.h), 0 for local failures
    std::string error;               // one line
    std::vector<TransferItem> items; // ids 0; group and direction those of the tree
};

// A fingerprint of a folder's listing (names, kinds, sizes, times; in any order).
std::uint64_t ListingSignature(const std::vector<tw::ftp::DirEntry>& entries);

WalkResult WalkRemoteTree(tw::ftp::RemoteSession& session, const TransferItem& tree,
                          const WalkFilter& filter, const std::atomic<bool>& stop);
WalkResult WalkLocalTree(const TransferItem& tree, const WalkFilter& filter,
                         const std::atomic<bool>& stop);

} // namespace tw::queue

#pragma once

// Comparing two trees (sync_tree.h) and planning a synchronisation of them. Pure functions of
// their inputs: every decision carries a reason, so the preview alone explains it.
//
//   CompareOptions c;  c.rule = CompareRule::SizeAndTime;  c.remoteOffset = 0;
//   std::vector<ComparedPath> d = CompareTrees(local, remote, c);
//   if (auto hours = DetectTimeSkew(d)) ...          // the server's zone is off by whole hours
//   SyncOptions o;  o.direction = SyncDirection::Upload;  o.compare = c;
//   SyncPlan plan = PlanSync(local, remote, o, &lastState);
//   for (const SyncAction& a : plan.actions) ... DescribeReason(a.reason) ...
//
// Times are compared at the coarser precision of the two sides (both truncated to the minute,
// or the day, of the remote clock), after the remote offset is added to the remote time.

#include "queue/sync/sync_tree.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tw::queue::sync {

enum class CompareRule { SizeAndTime = 0, SizeOnly = 1, TimeOnly = 2 };

struct CompareOptions {
    CompareRule rule = CompareRule::SizeAndTime;
    // Seconds added to every remote time before it is compared: the server's zone as the account
    // (or --time-offset) says it is. A LIST in the server's local time at UTC+2 needs -7200.
    std::int64_t remoteOffset = 0;
};

enum class Difference {
    Same,
    OnlyLocal,
    OnlyRemote,
    LocalNewer,
    RemoteNewer,
    SizeDiffers, // same time at the compared precision (or times not compared), other size
    KindDiffers, // a file on one side, a folder (or link) on the other
};

// One path of either tree, with what differs. Folders present on both sides are Same.
struct ComparedPath {
    std::string path;                // the local name where both exist
    std::string remotePath;          // the remote name (differs from path only in case)
    std::optional<SyncEntry> local;  // as listed
    std::optional<SyncEntry> remote; // as listed (its time without the offset)
    Difference difference = Difference::Same;
    // remote time + offset - local time at the compared precision (seconds), when both known.
    std::optional<std::int64_t> timeDelta;
};

// Every path of either side, in path order. Folders present on one side only appear once each,
// with their contents after them.
std::vector<ComparedPath> CompareTrees(const SyncTree& local, const SyncTree& remote,
                                       const CompareOptions& options);

// When every file present on both sides whose times are known to the minute differs by the same
// nonzero whole number of hours (within the precision), and at least `minimumFiles` do, that
// number (remote minus local: an offset of -hours*3600 puts them in step).
std::optional<int> DetectTimeSkew(const std::vector<ComparedPath>& compared,
                                  std::size_t minimumFiles = 2);

// Whether a difference is one the compare shows (anything but Same).
constexpr bool Differs(Difference d) {
    return d != Difference::Same;
}

enum class SyncDirection {
    Upload = 0,   // local -> remote
    Download = 1, // remote -> local
    Both = 2,     // each side's changes to the other
};

// A file's state as the last synchronisation left it in step: its size and both sides' times
// (0: that side's time could not be set or was not known).
struct SyncedFile {
    std::uint64_t size = 0;
    std::int64_t localTime = 0;
    std::int64_t remoteTime = 0;
};
using SyncState = std::map<std::string, SyncedFile>; // by (local) relative path

struct SyncOptions {
    SyncDirection direction = SyncDirection::Upload;
    bool onlyNewer = false;   // replace only where the source is newer
    bool onlyMissing = false; // copy only what the destination lacks; replace nothing
    bool deleteExtra = false; // delete what the destination holds and the source does not
    CompareOptions compare;
    // Glob patterns (WildcardMatch, case-insensitive): a pattern without '/' matches any name on
    // the path, one with '/' the whole relative path. Excluded paths are neither copied nor
    // deleted.
    std::vector<std::string> excludes;
    // Extensions excluded by the account (".bak;.tmp", the panes' rule).
    std::string excludeExtensions;
    // Same size, other time: the content compared by checksum (PlanSync reads `sameContent`).
    bool checksum = false;
};

enum class ActionKind {
    Copy,       // to a destination that lacks the path
    Replace,    // over a destination file
    Delete,     // a destination path the source lacks
    MakeFolder, // a destination folder that the source has, empty or all its files in step
    Skip,       // a difference left alone, for the reason given
    Conflict,   // both sides changed, or cannot be told apart: never guessed
};

enum class Reason {
    Missing,            // copy: the destination lacks it
    SourceNewer,        // replace: the source is newer
    SizeDiffers,        // replace: same time, another size
    Differs,            // replace: another size or time, the destination not newer
    ChangedSinceSync,   // both ways: only this side changed since the last sync
    ChecksumDiffers,    // replace: same size, other content
    NotOnSource,        // delete: the source lacks it
    DeletedSinceSync,   // both ways, delete: the other side deleted it since the last sync
    DestinationNewer,   // skip: replacing would lose a newer file
    OnlyMissingRule,    // skip: the destination has it and only missing files are copied
    OnlyNewerRule,      // skip: the source is not newer
    DeletesOff,         // skip: the source lacks it and deletes are off
    UnchangedSinceSync, // skip: neither side changed since the last sync; the times differ
    SameContent,        // skip: same size and checksum, only the times differ
    Excluded,           // skip: an exclude pattern or extension
    KindClash,          // conflict: a file on one side, a folder on the other
    CaseClash,          // conflict: names differing only in case, one file to the server
    BothChanged,        // conflict: both sides changed since the last sync
    NoHistory,          // conflict: both ways, same time, other size, no last sync
    LinkNotFollowed,    // skip: a link is never followed or replaced
    NotAFile,           // skip: a device, pipe or socket
    UnsafeName,         // skip: the name cannot be used on the other side
    FolderUnlisted,     // skip: inside a folder that could not be listed
};

enum class Side { Local, Remote };

struct SyncAction {
    ActionKind kind = ActionKind::Skip;
    Reason reason = Reason::Missing;
    // Where the action writes (Copy, Replace, MakeFolder, Delete) or the side left alone.
    Side target = Side::Remote;
    std::string path;       // relative local path
    std::string remotePath; // relative remote path (differs from path only in case)
    bool folder = false;
    std::uint64_t size = 0;      // the source's size (Delete: the doomed file's)
    std::int64_t sourceTime = 0; // the source's time, remote times without the offset
    std::int64_t destinationTime = 0;
    bool selected = true; // Skip and Conflict rows are never selected
};

struct SyncPlan {
    std::vector<SyncAction> actions; // in path order; deletes of a folder's contents before it
    std::size_t copies = 0;
    std::size_t replaces = 0;
    std::size_t deletes = 0;
    std::size_t conflicts = 0;
    std::uint64_t bytes = 0; // of the copies and replaces
    // The deletes would remove every file the destination holds (refuse without an explicit
    // confirmation).
    bool deletesEverything = false;
    // The last sync's records of the paths left alone (skipped, in conflict), carried into the
    // next state so a conflict stays one until resolved.
    SyncState carried;

    bool inStep() const { return copies == 0 && replaces == 0 && deletes == 0 && conflicts == 0; }
};

// Paths whose content was compared by checksum: true when equal.
using ContentMatches = std::map<std::string, bool>;

// The pairs a checksum would decide: present on both sides, same size, times differing.
std::vector<std::string> PathsForChecksum(const SyncTree& local, const SyncTree& remote,
                                          const SyncOptions& options);

SyncPlan PlanSync(const SyncTree& local, const SyncTree& remote, const SyncOptions& options,
                  const SyncState* last = nullptr, const ContentMatches* sameContent = nullptr);

// The state after a run: every file in step on both sides. `done` are the paths of the plan's
// actions that succeeded (copies and replaces set the destination's time to the source's where
// the destination can, else that side's time is recorded as 0).
SyncState StateAfterSync(const SyncTree& local, const SyncTree& remote, const SyncPlan& plan,
                         const std::vector<std::string>& donePaths, const CompareOptions& compare);

// A short English reason for the CLI and the logs ("the server's copy is newer").
std::string_view DescribeReason(Reason reason);
std::string_view DescribeKind(ActionKind kind);

} // namespace tw::queue::sync

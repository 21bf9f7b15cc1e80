#pragma once

// Carrying out a synchronisation plan (sync_plan.h): its copies as transfer queue rows, its
// deletes on a session, the checksums it asks for, and the last sync's state on disk.
//
//   std::vector<TransferItem> rows = SyncQueueRows(plan, localRoot, remoteRoot);
//   queue.add(rows);  queue.waitIdle();                       // parallel, resumable, stoppable
//   std::vector<DeleteOutcome> d = RunSyncDeletes(session, plan, localRoot, remoteRoot, stop);
//   SaveSyncState(SyncStatePath(folder, account, localRoot, remoteRoot), state, error);

#include "queue/resumable_copy.h"
#include "queue/sync/sync_plan.h"
#include "queue/transfer_item.h"

#include <atomic>
#include <optional>
#include <string>
#include <vector>

namespace tw::ftp {
class RemoteSession;
}

namespace tw::queue {
class ConnectionPool;
}

namespace tw::queue::sync {

// The selected Copy, Replace and MakeFolder actions as queue rows, in plan order (folders
// before what goes into them): File rows with the source's size and time (listedTime: the
// remote time as listed), Folder rows for MakeFolder. Remote paths absolute.
std::vector<TransferItem> SyncQueueRows(const SyncPlan& plan, const std::string& localRoot,
                                        const std::string& remoteRoot);

// The relative path of a queue row SyncQueueRows made (for StateAfterSync's done paths).
std::string SyncRowPath(const TransferItem& row, const std::string& localRoot);

// A runner for the sync's rows: before copying, the source is checked against the plan (a
// local source by lstat, size and time; a remote one when the listing's times were exact), and
// the destination against the compare (a local one by lstat; a remote file to be replaced when
// the listing's times were exact), so a file changed since the compare is Skipped ("changed
// since the compare") and never overwritten. Then `inner` copies it.
ItemRunner GuardedSyncRunner(const SyncPlan& plan, const std::string& localRoot,
                             const std::string& remoteRoot, ItemRunner inner);

struct DeleteOutcome {
    std::string path; // relative
    Side side = Side::Remote;
    bool ok = false;
    std::string error; // one line when not ok
};

// The selected Delete actions, files before the folders holding them, on `session` (remote)
// or the local disk; a folder is removed only once empty. Never follows a link.
std::vector<DeleteOutcome> RunSyncDeletes(tw::ftp::RemoteSession* session, const SyncPlan& plan,
                                          const std::string& localRoot,
                                          const std::string& remoteRoot,
                                          const std::atomic<bool>& stop);

// Checksums of `paths` on both sides (the server's HASH / XSHA256 / XMD5 and the same
// algorithm over the local file) on up to `connections` sessions of `pool`: true where equal.
// Paths the server gives no checksum for are left out (the planner then decides by time).
ContentMatches CompareChecksums(ConnectionPool& pool, int connections,
                                const std::vector<std::string>& paths, const std::string& localRoot,
                                const std::string& remoteRoot, const std::atomic<bool>& stop);

// Where the state of one account's folder pair is kept: a file in `folder` named after a
// digest of the three.
std::string SyncStatePath(const std::string& folder, const std::string& account,
                          const std::string& localRoot, const std::string& remoteRoot);
// An absent file is an empty state (true); a damaged one is false with the reason, and the
// caller plans as if there were no last sync.
bool LoadSyncState(const std::string& file, SyncState& state, std::string& error);
// Written to a temporary name and renamed over the file (mode 0600).
bool SaveSyncState(const std::string& file, const SyncState& state, std::string& error);

} // namespace tw::queue::sync

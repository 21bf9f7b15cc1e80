#pragma once

#include "core/panes/pane_file_ops.h"

#include <QByteArray>

#include <atomic>

namespace tw {

namespace ftp {
class RemoteSession;
}

// What the remote folder `path` holds, all the way down, listed on `session`. Links count as
// files: they are removed, never followed.
TreeCount CountRemoteTree(ftp::RemoteSession& session, const QByteArray& path,
                          const std::atomic<bool>& stop);
// Removes the remote folder `path` with everything in it, deepest first: files and links with
// DELE, folders with RMD once emptied. A failure is kept and the rest goes on; `stop` ends it
// between two commands. Names the server sent that could leave the folder ("..", "a/b") are
// never used: such an entry is a failure, so its folder stays.
TreeRemoval RemoveRemoteTree(ftp::RemoteSession& session, const QByteArray& path,
                             const std::atomic<bool>& stop);

} // namespace tw

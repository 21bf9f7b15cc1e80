#pragma once

// Permission changes (SITE CHMOD) of remote files and folders, a folder's contents included,
// in two passes like the recursive delete:
//
//   ChmodRule rule{{0644, 0777}, true, ChmodScope::FilesOnly};
//   ChmodPlan plan = PlanChmod(session, {{"/pub/site", true, 0755}}, rule, stop); // lists
//   ChmodReport r = RunChmod(session, plan, rule.change, stop, progress);         // CHMODs
//
// or, on a connection and a thread of their own, so the browsing session stays free:
//
//   ChmodRun run(browsingOptions);
//   run.start(targets, rule, {progress, finished});   // both called on the run's thread
//   run.stop();                                       // any thread; ends between two entries
//
// The plan lists every folder to be changed before anything changes, so a change that takes
// away the right to read or enter a folder cannot hide what it holds; each folder comes after
// its contents. A target that is a file is always changed; a folder by the scope (FilesOnly
// leaves the folders, the target itself among them, as they are). Links and special files met
// inside are neither changed nor followed (a server's CHMOD reaches what a link points to); a
// listing equal to a parent's (a link shown as a folder) is not entered again. A failure is
// recorded (path and reason) and the run goes on with the next entry; a lost connection ends
// it with one failure for what was left.

#include "ftp/ftp_session.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace tw::queue {

// A change of the nine read / write / execute bits: those in `known` take their value in
// `bits`, the others keep each entry's own, as the set-user, set-group and sticky bits do.
struct ModeChange {
    std::uint16_t bits = 0;
    std::uint16_t known = 0;
    bool complete() const { return (known & 0777) == 0777; }
    // The new mode of an entry whose mode is `mode`; nothing when the change leaves bits to a
    // mode the listing did not give.
    std::optional<std::uint16_t> applyTo(std::optional<std::uint16_t> mode) const;
    bool operator==(const ModeChange&) const = default;
};

enum class ChmodScope { FilesAndFolders, FilesOnly, FoldersOnly };

struct ChmodRule {
    ModeChange change;
    bool recursive = false; // the folders' contents too
    ChmodScope scope = ChmodScope::FilesAndFolders;
};

struct ChmodTarget {
    std::string path; // absolute
    bool folder = false;
    std::optional<std::uint16_t> mode; // as listed
};

struct ChmodFailure {
    std::string path;
    std::string reason; // one line: the server's reply, or the engine's text
    int errorCode = 0;  // the engine's number (ftp_error.h), 0 for a mode not known
};

struct ChmodPlan {
    std::vector<ChmodTarget> entries;   // in the order they are changed
    std::vector<ChmodFailure> failures; // folders that could not be listed
    bool stopped = false;
};

struct ChmodReport {
    std::uint64_t done = 0; // entries that have the new mode (those that had it already too)
    std::uint64_t total = 0;
    std::vector<ChmodFailure> failures; // the plan's and the run's
    bool stopped = false;
};

ChmodPlan PlanChmod(tw::ftp::RemoteSession& session, const std::vector<ChmodTarget>& targets,
                    const ChmodRule& rule, const std::atomic<bool>& stop);
// `progress` (may be empty) hears of each entry before its command, with the entries done.
ChmodReport RunChmod(tw::ftp::RemoteSession& session, const ChmodPlan& plan,
                     const ModeChange& change, const std::atomic<bool>& stop,
                     const std::function<void(const std::string& path, std::uint64_t done,
                                              std::uint64_t total)>& progress = {});

// One permission change at a time on a connection of its own, made with the browsing session's
// options (a ConnectionPool of one), on a thread of its own.
class ChmodRun {
public:
    struct Callbacks {
        // Before each entry's command (while listing: total 0).
        std::function<void(const std::string& path, std::uint64_t done, std::uint64_t total)>
            progress;
        // The run's end: the last call from its thread.
        std::function<void(const ChmodReport& report)> finished;
    };

    explicit ChmodRun(tw::ftp::SessionOptions options);
    // Stops a run and waits for its thread.
    ~ChmodRun();
    ChmodRun(const ChmodRun&) = delete;
    ChmodRun& operator=(const ChmodRun&) = delete;

    // False when a run is still going.
    bool start(std::vector<ChmodTarget> targets, ChmodRule rule, Callbacks callbacks);
    // Any thread: the command in progress is cancelled and nothing more is sent.
    void stop();
    bool running() const { return m_running.load(); }
    // Waits for the run's thread (its `finished` has been called).
    void wait();

private:
    void body(std::vector<ChmodTarget> targets, ChmodRule rule, Callbacks callbacks);

    tw::ftp::SessionOptions m_options;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_running{false};
    std::mutex m_mutex;                          // m_session and m_thread
    tw::ftp::RemoteSession* m_session = nullptr; // while the run holds one
    std::thread m_thread;
};

} // namespace tw::queue

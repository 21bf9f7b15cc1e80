#pragma once

// Compare Folders: the two panes' current folders compared row by row, one level, from the
// listings already shown (no network). Each row gets a CompareMark (file_entry.h) that the
// views show as a tint, an emblem and an accessible description.
//
//   PaneCompareSettings s;  s.exactRemoteTimes = false;  s.remoteOffset = -7200;
//   PaneCompareResult r = MarkPanes(state.local, state.remote, s);
//   if (r.skewHours) ...       // every common file differs by the same whole hours
//
// PaneCompare is the window's flow around it: on and off, again after every listing of either
// pane, the summary line in the log, and the question about a server clock hours off.

#include "core/panes/pane_state.h"
#include "core/state/app_runtime.h"
#include "core/state/app_state.h"
#include "core/ui_port.h"
#include "queue/sync/sync_plan.h"
#include "queue/sync/sync_tree.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <utility>

namespace tw {

class Messages;

// How the remote pane's rows were listed and how their times are taken.
struct PaneCompareSettings {
    // MLSD and SFTP give seconds; LIST gives minutes, or only the day (a time at midnight).
    bool exactRemoteTimes = true;
    // The server's names ignore case: "A.txt" there is "a.txt" here.
    bool remoteIgnoresCase = false;
    // Seconds added to the server's times (AccountRecord::TimeOffset).
    std::int64_t remoteOffset = 0;
    queue::sync::CompareRule rule = queue::sync::CompareRule::SizeAndTime;
};

// Names of each kind the compare found (a name present on both sides counts once).
struct CompareCounts {
    int onlyLocal = 0;
    int onlyRemote = 0;
    int localNewer = 0;
    int remoteNewer = 0;
    int sizeDiffers = 0;
    int kindDiffers = 0;

    int differing() const {
        return onlyLocal + onlyRemote + localNewer + remoteNewer + sizeDiffers + kindDiffers;
    }
    bool operator==(const CompareCounts&) const = default;
};

struct PaneCompareResult {
    CompareCounts counts;
    // Every file on both sides differs by this many hours (the server's minus the local).
    std::optional<int> skewHours;
};

// One pane's rows as one level of a sync tree: every row but ".." and drive rows, by the name's
// bytes. The remote pane's times carry the listing's precision.
queue::sync::SyncTree PaneSyncTree(const PaneState& pane, PaneSide side,
                                   const PaneCompareSettings& settings);

// Compares the two panes' rows and sets every row's mark on both sides.
PaneCompareResult MarkPanes(PaneState& local, PaneState& remote,
                            const PaneCompareSettings& settings);
// Takes every mark off a pane's rows.
void ClearMarks(PaneState& pane);

// Compare Folders and Show Only Differences of the window (UI thread).
class PaneCompare {
public:
    // The account of the session and how its remote rows were listed.
    struct Session {
        // The session's account in the table, or -1 for a quick connect session.
        int tableRow = -1;
        // A quick connect session: its record's offset and who it is ("host:port user"), so a
        // corrected offset holds for the rest of the run.
        std::int32_t quickOffset = 0;
        QString quickKey;
        bool exactRemoteTimes = true;
        bool remoteIgnoresCase = false;
    };
    struct Hooks {
        std::function<Session()> session;
        // Saves the settings after the table account's offset changed.
        std::function<bool(const AppState&)> saveAccounts;
    };

    PaneCompare(AppState& state, AppRuntime& runtime, const Messages& messages, Hooks hooks);

    // Compare Folders: on, both folders are compared and marked; off, the marks go and Show
    // Only Differences with them.
    void toggle();
    void toggleOnlyDifferences();
    // After every listing, sort or clearing of either pane: compared again while comparing; the
    // connection has ended: the compare ends. True when the marks were set or cleared.
    bool paneChanged();
    // Ends the compare (marks cleared); true when it was on.
    bool stop();
    // The last compare found the server's times off by whole hours: logged, and asked once per
    // folder pair whether the account's offset should take them (the window asks after the
    // marks are on screen). Yes: the offset is changed (saved for a table account, kept for
    // the run for a quick connect session) and both folders are compared again. True then.
    bool offerTimeOffset();

    bool comparing() const { return m_runtime.comparing; }
    const PaneCompareResult& lastResult() const { return m_result; }

private:
    // Marks both panes and logs the summary when it changed.
    void compare();
    void mark(const Session& session);
    void logSummary(bool always);
    std::int32_t offsetOf(const Session& session) const;
    using FolderPair = std::pair<QString, QString>; // local folder, server and remote folder
    FolderPair currentPair() const;

    AppState& m_state;
    AppRuntime& m_runtime;
    const Messages& m_messages;
    Hooks m_hooks;
    PaneCompareResult m_result;
    std::optional<std::pair<FolderPair, CompareCounts>> m_logged; // the last summary logged
    std::set<FolderPair> m_offered;                 // pairs whose skew was offered once
    std::map<QString, std::int32_t> m_quickOffsets; // quick connect sessions' corrections
};

} // namespace tw

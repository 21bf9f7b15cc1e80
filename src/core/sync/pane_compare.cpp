#include "core/sync/pane_compare.h"

#include "core/text/messages.h"

#include <QStringList>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <unordered_map>

namespace tw {

namespace {

namespace sync = queue::sync;

constexpr std::int64_t kDay = 24 * 3600;
constexpr std::int32_t kMaxOffset = 24 * 3600; // the account store's bound

constexpr int kSummaryId = 5800;
constexpr int kInStepId = 5807;
constexpr int kSkewLogId = 5808;
constexpr int kCaptionId = 5809;
constexpr int kAheadId = 5810;
constexpr int kBehindId = 5811;
constexpr int kOffsetSetId = 5812;
constexpr int kThisConnectionId = 5813;
constexpr int kEndedId = 5819;

// The name as the file system or the server holds it.
std::string NameBytes(const FileEntry& row) {
    if (!row.findData.rawName.empty())
        return row.findData.rawName;
    return row.name.toUtf8().toStdString();
}

bool Compared(const FileEntry& row) {
    return !row.isParent && !row.isDrive;
}

sync::TimePrecision RemotePrecision(std::int64_t time, bool exact) {
    if (time == 0)
        return sync::TimePrecision::Unknown;
    if (exact)
        return sync::TimePrecision::Second;
    // LIST shows old files with a year and no time of day.
    return time % kDay == 0 ? sync::TimePrecision::Day : sync::TimePrecision::Minute;
}

// What `d` means for the row on `side`.
CompareMark MarkFor(sync::Difference d, PaneSide side) {
    const bool local = side == PaneSide::Local;
    switch (d) {
    case sync::Difference::Same:
        return CompareMark::None;
    case sync::Difference::OnlyLocal:
    case sync::Difference::OnlyRemote:
        return CompareMark::OnlyHere;
    case sync::Difference::LocalNewer:
        return local ? CompareMark::NewerHere : CompareMark::OlderHere;
    case sync::Difference::RemoteNewer:
        return local ? CompareMark::OlderHere : CompareMark::NewerHere;
    case sync::Difference::SizeDiffers:
        return CompareMark::SizeDiffers;
    case sync::Difference::KindDiffers:
        return CompareMark::KindDiffers;
    }
    return CompareMark::None;
}

void Count(CompareCounts& counts, sync::Difference d) {
    switch (d) {
    case sync::Difference::Same:
        break;
    case sync::Difference::OnlyLocal:
        ++counts.onlyLocal;
        break;
    case sync::Difference::OnlyRemote:
        ++counts.onlyRemote;
        break;
    case sync::Difference::LocalNewer:
        ++counts.localNewer;
        break;
    case sync::Difference::RemoteNewer:
        ++counts.remoteNewer;
        break;
    case sync::Difference::SizeDiffers:
        ++counts.sizeDiffers;
        break;
    case sync::Difference::KindDiffers:
        ++counts.kindDiffers;
        break;
    }
}

// Row index by name bytes, of the rows the tree holds.
std::unordered_map<std::string, std::size_t> RowsByName(const PaneState& pane) {
    std::unordered_map<std::string, std::size_t> rows;
    rows.reserve(pane.entries.size());
    for (std::size_t i = 0; i < pane.entries.size(); ++i)
        if (Compared(pane.entries[i]))
            rows.emplace(NameBytes(pane.entries[i]), i);
    return rows;
}

QString Plural(int n) {
    return std::abs(n) == 1 ? QString() : QStringLiteral("s");
}

} // namespace

sync::SyncTree PaneSyncTree(const PaneState& pane, PaneSide side,
                            const PaneCompareSettings& settings) {
    const bool remote = side == PaneSide::Remote;
    sync::SyncTree tree;
    tree.ignoresCase = remote && settings.remoteIgnoresCase;
    tree.entries.reserve(pane.entries.size());
    for (const FileEntry& row : pane.entries) {
        if (!Compared(row))
            continue;
        sync::SyncEntry e;
        e.path = NameBytes(row);
        if (row.isFolder)
            e.kind = sync::EntryKind::Folder;
        else if (row.isLink)
            e.kind = sync::EntryKind::Link; // a server's link, never followed
        e.size = row.isFolder ? 0 : row.findData.size;
        e.time = row.findData.lastWriteTime;
        e.precision = remote
                          ? RemotePrecision(e.time, settings.exactRemoteTimes)
                          : (e.time ? sync::TimePrecision::Second : sync::TimePrecision::Unknown);
        tree.entries.push_back(std::move(e));
    }
    std::sort(tree.entries.begin(), tree.entries.end(),
              [](const sync::SyncEntry& a, const sync::SyncEntry& b) { return a.path < b.path; });
    return tree;
}

void ClearMarks(PaneState& pane) {
    for (FileEntry& row : pane.entries)
        row.compare = CompareMark::None;
    for (FileEntry& row : pane.heldHidden)
        row.compare = CompareMark::None;
}

PaneCompareResult MarkPanes(PaneState& local, PaneState& remote,
                            const PaneCompareSettings& settings) {
    ClearMarks(local);
    ClearMarks(remote);
    sync::CompareOptions options;
    options.rule = settings.rule;
    options.remoteOffset = settings.remoteOffset;
    const std::vector<sync::ComparedPath> compared =
        sync::CompareTrees(PaneSyncTree(local, PaneSide::Local, settings),
                           PaneSyncTree(remote, PaneSide::Remote, settings), options);
    const auto localRows = RowsByName(local);
    const auto remoteRows = RowsByName(remote);
    PaneCompareResult result;
    for (const sync::ComparedPath& path : compared) {
        Count(result.counts, path.difference);
        if (path.local)
            if (const auto it = localRows.find(path.path); it != localRows.end())
                local.entries[it->second].compare = MarkFor(path.difference, PaneSide::Local);
        if (path.remote)
            if (const auto it = remoteRows.find(path.remotePath); it != remoteRows.end())
                remote.entries[it->second].compare = MarkFor(path.difference, PaneSide::Remote);
    }
    result.skewHours = sync::DetectTimeSkew(compared);
    return result;
}

PaneCompare::PaneCompare(AppState& state, AppRuntime& runtime, const Messages& messages,
                         Hooks hooks)
    : m_state(state), m_runtime(runtime), m_messages(messages), m_hooks(std::move(hooks)) {}

void PaneCompare::toggle() {
    if (m_runtime.comparing) {
        stop();
        return;
    }
    if (!m_runtime.connected || m_runtime.sessionLost)
        return;
    m_runtime.comparing = true;
    m_logged.reset(); // turned on: the summary is logged even when it is the last one again
    compare();
}

void PaneCompare::toggleOnlyDifferences() {
    m_runtime.onlyDifferences = m_runtime.comparing && !m_runtime.onlyDifferences;
}

bool PaneCompare::stop() {
    if (!m_runtime.comparing)
        return false;
    m_runtime.comparing = false;
    m_runtime.onlyDifferences = false;
    m_result = {};
    ClearMarks(m_state.local);
    ClearMarks(m_state.remote);
    return true;
}

bool PaneCompare::paneChanged() {
    if (!m_runtime.comparing)
        return false;
    if (!m_runtime.connected || m_runtime.sessionLost) {
        stop();
        m_messages.LogMessage(kEndedId);
        return true;
    }
    compare();
    return true;
}

PaneCompare::FolderPair PaneCompare::currentPair() const {
    return {m_state.local.path, m_state.remote.site + u':' + m_state.remote.path};
}

std::int32_t PaneCompare::offsetOf(const Session& session) const {
    if (session.tableRow >= 0 && session.tableRow < m_state.AccountCount())
        return m_state.Accounts[std::size_t(session.tableRow)].TimeOffset;
    const auto it = m_quickOffsets.find(session.quickKey);
    return it != m_quickOffsets.end() ? it->second : session.quickOffset;
}

void PaneCompare::mark(const Session& session) {
    PaneCompareSettings settings;
    settings.exactRemoteTimes = session.exactRemoteTimes;
    settings.remoteIgnoresCase = session.remoteIgnoresCase;
    settings.remoteOffset = offsetOf(session);
    m_result = MarkPanes(m_state.local, m_state.remote, settings);
}

void PaneCompare::compare() {
    mark(m_hooks.session ? m_hooks.session() : Session{});
    logSummary(false);
}

void PaneCompare::logSummary(bool always) {
    const auto logged = std::make_pair(currentPair(), m_result.counts);
    if (!always && m_logged == logged)
        return; // the same folders with the same result: a sort or a refresh says nothing new
    m_logged = logged;
    const CompareCounts& c = m_result.counts;
    if (c.differing() == 0) {
        m_messages.LogMessage(kInStepId);
        return;
    }
    QStringList parts;
    const std::pair<int, int> kinds[] = {{c.onlyLocal, 5801},   {c.onlyRemote, 5802},
                                         {c.localNewer, 5803},  {c.remoteNewer, 5804},
                                         {c.sizeDiffers, 5805}, {c.kindDiffers, 5806}};
    for (const auto& [n, id] : kinds)
        if (n > 0)
            parts << m_messages.FormatStringResource(id, {n}).value_or(QString());
    m_messages.LogMessage(kSummaryId, {parts.join(QStringLiteral(", "))});
}

bool PaneCompare::offerTimeOffset() {
    if (!m_runtime.comparing || !m_result.skewHours)
        return false;
    const int hours = *m_result.skewHours;
    if (!m_offered.insert(currentPair()).second)
        return false; // asked once for these folders in this run
    const Session session = m_hooks.session ? m_hooks.session() : Session{};
    const std::int64_t offset = std::int64_t(offsetOf(session)) - std::int64_t(hours) * 3600;
    m_messages.LogMessage(kSkewLogId, {std::abs(hours), Plural(hours)});
    if (offset < -kMaxOffset || offset > kMaxOffset)
        return false; // no account offset can take it: a clock that is wrong, not a time zone
    const int shown = std::abs(hours);
    if (!m_messages.YesNoBox(false, kCaptionId, hours > 0 ? kAheadId : kBehindId,
                             {shown, Plural(hours), shown, Plural(hours)}))
        return false;
    if (!m_runtime.comparing)
        return false; // the connection ended while the question was open
    const bool table = session.tableRow >= 0 && session.tableRow < m_state.AccountCount();
    QString whose;
    if (table) {
        AccountRecord& account = m_state.Accounts[std::size_t(session.tableRow)];
        account.TimeOffset = std::int32_t(offset);
        whose = account.Name;
        if (m_hooks.saveAccounts)
            m_hooks.saveAccounts(m_state);
    } else {
        m_quickOffsets[session.quickKey] = std::int32_t(offset); // for this run only
        whose = m_messages.LoadStringText(kThisConnectionId);
    }
    m_messages.LogMessage(kOffsetSetId, {whose, offset});
    mark(session);
    logSummary(true);
    return true;
}

} // namespace tw

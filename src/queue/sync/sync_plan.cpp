#include "queue/sync/sync_plan.h"

#include "ftp/wildcard.h"

#include <algorithm>
#include <cstdlib>
#include <utility>

namespace tw::queue::sync {

namespace {

// Path order by names: "a" < "a/b" < "a-b" (a '/' sorts before every byte), so a folder's
// contents follow it directly.
bool PathLess(std::string_view a, std::string_view b) {
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        if (a[i] == b[i])
            continue;
        const auto rank = [](char c) {
            return c == '/' ? 0 : int(static_cast<unsigned char>(c)) + 1;
        };
        return rank(a[i]) < rank(b[i]);
    }
    return a.size() < b.size();
}

struct PathOrder {
    bool operator()(const std::string& a, const std::string& b) const { return PathLess(a, b); }
};

bool IsInside(std::string_view path, std::string_view folder) {
    if (folder.empty())
        return true;
    return path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 &&
           path[folder.size()] == '/';
}

std::string Folded(std::string_view path) {
    std::string out(path);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    return out;
}

// The entries of both sides under one key: the path, or its ASCII case folding when the server
// ignores case. More than one entry of a side under a key is a case clash.
struct Slot {
    std::vector<const SyncEntry*> local;
    std::vector<const SyncEntry*> remote;
};
using Slots = std::map<std::string, Slot, PathOrder>;

Slots Pair(const SyncTree& local, const SyncTree& remote) {
    Slots slots;
    const bool fold = remote.ignoresCase;
    for (const SyncEntry& e : local.entries)
        slots[fold ? Folded(e.path) : e.path].local.push_back(&e);
    for (const SyncEntry& e : remote.entries)
        slots[fold ? Folded(e.path) : e.path].remote.push_back(&e);
    return slots;
}

std::int64_t Unit(TimePrecision p) {
    switch (p) {
    case TimePrecision::Second:
        return 1;
    case TimePrecision::Minute:
        return 60;
    case TimePrecision::Day:
        return 86400;
    case TimePrecision::Unknown:
        break;
    }
    return 0;
}

// The unit both times are known to (0: not comparable).
std::int64_t CommonUnit(const SyncEntry& a, const SyncEntry& b) {
    if (a.time == 0 || b.time == 0)
        return 0;
    const TimePrecision p = std::min(a.precision, b.precision);
    return Unit(p);
}

// Times equal at the unit: a listing shows a truncated (or rounded) time, so anything within
// one unit of it is the same moment.
bool SameTime(std::int64_t a, std::int64_t b, std::int64_t unit) {
    return std::llabs(a - b) < unit;
}

Difference CompareFiles(const SyncEntry& l, const SyncEntry& r, const CompareOptions& o,
                        std::optional<std::int64_t>& delta) {
    const std::int64_t unit = CommonUnit(l, r);
    const std::int64_t rt = r.time + o.remoteOffset;
    if (unit > 0)
        delta = rt - l.time;
    const bool timed = unit > 0 && o.rule != CompareRule::SizeOnly;
    if (timed && !SameTime(rt, l.time, unit))
        return rt > l.time ? Difference::RemoteNewer : Difference::LocalNewer;
    if (o.rule != CompareRule::TimeOnly && l.size != r.size)
        return Difference::SizeDiffers;
    return Difference::Same;
}

Difference ComparePair(const SyncEntry& l, const SyncEntry& r, const CompareOptions& o,
                       std::optional<std::int64_t>& delta) {
    if (l.kind != r.kind)
        return Difference::KindDiffers;
    if (l.kind == EntryKind::File)
        return CompareFiles(l, r, o, delta);
    return Difference::Same;
}

// Whether a side's entry is as the last sync recorded it (a recorded time of 0: by size only).
bool AsRecorded(const SyncEntry& e, std::uint64_t size, std::int64_t recordedTime) {
    if (e.size != size)
        return false;
    if (recordedTime == 0 || e.time == 0)
        return true;
    const std::int64_t unit = std::max<std::int64_t>(Unit(e.precision), 1);
    return SameTime(e.time, recordedTime, unit);
}

// The exclude rules of one plan: glob patterns and the panes' extension list.
class Excludes {
public:
    explicit Excludes(const SyncOptions& o) : m_globs(o.excludes) {
        std::string token;
        for (char c : o.excludeExtensions + ";") {
            if (c == ';' || c == ',' || c == ' ') {
                if (!token.empty())
                    m_extensions.push_back(Folded(token));
                token.clear();
            } else {
                token += c;
            }
        }
    }
    // Whether the path's last name, or the whole path, is excluded.
    bool leavesOut(std::string_view path) const {
        const auto slash = path.rfind('/');
        const std::string_view name =
            slash == std::string_view::npos ? path : path.substr(slash + 1);
        for (const std::string& g : m_globs) {
            if (g.empty())
                continue;
            if (g.find('/') != std::string::npos ? tw::ftp::WildcardMatch(g, path)
                                                 : tw::ftp::WildcardMatch(g, name))
                return true;
        }
        const auto dot = name.rfind('.');
        if (dot == std::string_view::npos || m_extensions.empty())
            return false;
        const std::string extension = Folded(name.substr(dot));
        return std::find(m_extensions.begin(), m_extensions.end(), extension) != m_extensions.end();
    }

private:
    std::vector<std::string> m_globs;
    std::vector<std::string> m_extensions;
};

class Planner {
public:
    Planner(const SyncTree& local, const SyncTree& remote, const SyncOptions& options,
            const SyncState* last, const ContentMatches* same)
        : m_localTree(local), m_remoteTree(remote), m_o(options), m_last(last), m_same(same),
          m_excludes(options) {}

    SyncPlan run() {
        if (!m_localTree.rootListed() || !m_remoteTree.rootListed()) {
            skipWhole(Reason::FolderUnlisted);
            return std::move(m_plan);
        }
        for (const UnlistedFolder& u : m_localTree.unlisted)
            m_unlisted.push_back(u.path);
        for (const UnlistedFolder& u : m_remoteTree.unlisted)
            m_unlisted.push_back(u.path);

        const Slots slots = Pair(m_localTree, m_remoteTree);
        for (const auto& [key, slot] : slots)
            take(slot);
        closeFolders("");
        finish();
        return std::move(m_plan);
    }

private:
    // A folder to delete, or (both ways) a folder only one side has whose fate depends on what
    // is planned inside it.
    struct OpenFolder {
        std::string path;
        std::string remotePath;
        Side side = Side::Local;   // the side that holds it
        bool remove = false;       // deleted when nothing is copied into it
        bool makeIfCopied = false; // made on the other side when something is copied into it
        Reason reason = Reason::NotOnSource;
        bool copiesInside = false;
        std::size_t makeAt = 0; // where its MakeFolder goes when something is copied into it
        std::uint64_t time = 0;
    };

    bool down() const { return m_o.direction == SyncDirection::Download; }
    bool both() const { return m_o.direction == SyncDirection::Both; }
    Side destination() const { return down() ? Side::Local : Side::Remote; }

    void skipWhole(Reason reason) {
        SyncAction a;
        a.kind = ActionKind::Skip;
        a.reason = reason;
        a.target = destination();
        a.folder = true;
        a.selected = false;
        m_plan.actions.push_back(std::move(a));
    }

    void add(ActionKind kind, Reason reason, Side target, const std::string& path,
             const std::string& remotePath, const SyncEntry* source, const SyncEntry* dest) {
        SyncAction a;
        a.kind = kind;
        a.reason = reason;
        a.target = target;
        a.path = path;
        a.remotePath = remotePath;
        const SyncEntry* shown = source ? source : dest;
        a.folder = shown && shown->kind == EntryKind::Folder;
        a.size = shown ? shown->size : 0;
        a.sourceTime = source ? source->time : 0;
        a.destinationTime = dest ? dest->time : 0;
        a.selected = kind != ActionKind::Skip && kind != ActionKind::Conflict;
        if (kind == ActionKind::Copy || kind == ActionKind::Replace ||
            kind == ActionKind::MakeFolder)
            for (OpenFolder& f : m_open)
                f.copiesInside = true;
        m_plan.actions.push_back(std::move(a));
    }

    // Folders still open whose subtree ends before `path` are closed: a deletion goes after
    // its contents; a folder that turned out to receive copies is made instead.
    void closeFolders(const std::string& path) {
        while (!m_open.empty() && !IsInside(path, m_open.back().path)) {
            OpenFolder f = std::move(m_open.back());
            m_open.pop_back();
            if (f.remove && !f.copiesInside) {
                SyncAction a;
                a.kind = ActionKind::Delete;
                a.reason = f.reason;
                a.target = f.side;
                a.path = f.path;
                a.remotePath = f.remotePath;
                a.folder = true;
                m_plan.actions.push_back(std::move(a));
            } else if (f.makeIfCopied && f.copiesInside) {
                // Both ways: a file inside changed since the last sync, so the folder is kept
                // and made on the side that deleted it.
                SyncAction a;
                a.kind = ActionKind::MakeFolder;
                a.reason = Reason::ChangedSinceSync;
                a.target = f.side == Side::Local ? Side::Remote : Side::Local;
                a.path = f.path;
                a.remotePath = f.remotePath;
                a.folder = true;
                m_plan.actions.insert(m_plan.actions.begin() + std::ptrdiff_t(f.makeAt),
                                      std::move(a));
            }
            if (!m_open.empty() && f.copiesInside)
                m_open.back().copiesInside = true;
        }
    }

    bool underSkipped(const std::string& path) const {
        return !m_skipped.empty() && IsInside(path, m_skipped);
    }

    void take(const Slot& slot) {
        const SyncEntry* l = slot.local.empty() ? nullptr : slot.local.front();
        const SyncEntry* r = slot.remote.empty() ? nullptr : slot.remote.front();
        const std::string path = l ? l->path : r->path;
        const std::string remotePath = r ? r->path : l->path;
        closeFolders(path);
        if (underSkipped(path))
            return;
        m_skipped.clear();

        const auto skipTree = [&](Reason reason, Side target) {
            add(ActionKind::Skip, reason, target, path, remotePath, l ? l : r, nullptr);
            m_skipped = path;
        };
        for (const std::string& u : m_unlisted)
            if (path == u || IsInside(path, u)) {
                if (path == u)
                    skipTree(Reason::FolderUnlisted, destination());
                else
                    m_skipped = u;
                return;
            }
        if (slot.local.size() > 1 || slot.remote.size() > 1) {
            // Names differing only in case meet one name on the server.
            for (const SyncEntry* e : slot.local)
                add(ActionKind::Conflict, Reason::CaseClash, Side::Remote, e->path, remotePath, e,
                    r);
            for (std::size_t i = slot.local.empty() ? 0 : 1; i < slot.remote.size(); ++i)
                add(ActionKind::Conflict, Reason::CaseClash, Side::Local, path,
                    slot.remote[i]->path, slot.remote[i], l);
            m_skipped = path;
            return;
        }

        std::optional<std::int64_t> delta;
        const Difference d = l && r ? ComparePair(*l, *r, m_o.compare, delta) : Difference::Same;
        if (m_excludes.leavesOut(path) ||
            (remotePath != path && m_excludes.leavesOut(remotePath))) {
            const bool folderPair = l && r && l->kind == EntryKind::Folder && d == Difference::Same;
            if (!(l && r && d == Difference::Same) || folderPair) {
                if (!folderPair)
                    add(ActionKind::Skip, Reason::Excluded, destination(), path, remotePath,
                        l ? l : r, nullptr);
            }
            m_skipped = path;
            return;
        }

        if (both())
            takeBothWays(l, r, d, path, remotePath);
        else
            takeOneWay(down() ? r : l, down() ? l : r, d, path, remotePath);
    }

    // Whether the entry cannot be read or written as a file or folder here.
    std::optional<Reason> unusable(const SyncEntry& e) const {
        if (e.kind == EntryKind::Link)
            return Reason::LinkNotFollowed;
        if (e.kind == EntryKind::Other)
            return Reason::NotAFile;
        if (e.unsafeName)
            return Reason::UnsafeName;
        return std::nullopt;
    }

    const SyncedFile* recordOf(const std::string& path) const {
        if (!m_last)
            return nullptr;
        const auto it = m_last->find(path);
        return it == m_last->end() ? nullptr : &it->second;
    }
    void carry(const std::string& path) {
        if (const SyncedFile* rec = recordOf(path))
            m_plan.carried[path] = *rec;
    }
    bool recordedInside(const std::string& folder) const {
        if (!m_last)
            return false;
        const auto it = m_last->upper_bound(folder + "/");
        return it != m_last->end() && IsInside(it->first, folder);
    }
    std::optional<bool> sameContent(const std::string& path) const {
        if (!m_o.checksum || !m_same)
            return std::nullopt;
        const auto it = m_same->find(path);
        if (it == m_same->end())
            return std::nullopt;
        return it->second;
    }

    void openFolder(const std::string& path, const std::string& remotePath, Side side,
                    Reason reason, bool remove, bool makeIfCopied) {
        OpenFolder f;
        f.path = path;
        f.remotePath = remotePath;
        f.side = side;
        f.remove = remove;
        f.makeIfCopied = makeIfCopied;
        f.reason = reason;
        f.makeAt = m_plan.actions.size();
        m_open.push_back(std::move(f));
    }

    void takeOneWay(const SyncEntry* s, const SyncEntry* d, Difference diff,
                    const std::string& path, const std::string& remotePath) {
        const Side target = destination();
        if (s) {
            if (const auto why = unusable(*s)) {
                add(ActionKind::Skip, *why, target, path, remotePath, s, d);
                m_skipped = path;
                return;
            }
        }
        if (s && d) {
            if (diff == Difference::Same)
                return;
            if (diff == Difference::KindDiffers) {
                if (const auto why = unusable(*d))
                    add(ActionKind::Skip, *why, target, path, remotePath, s, d);
                else
                    add(ActionKind::Conflict, Reason::KindClash, target, path, remotePath, s, d);
                m_skipped = path;
                return;
            }
            // Two files that differ.
            if (m_o.onlyMissing)
                return add(ActionKind::Skip, Reason::OnlyMissingRule, target, path, remotePath, s,
                           d);
            const auto content = s->size == d->size ? sameContent(path) : std::nullopt;
            if (content && *content) {
                carry(path);
                return add(ActionKind::Skip, Reason::SameContent, target, path, remotePath, s, d);
            }
            if (const SyncedFile* rec = recordOf(path)) {
                const SyncEntry& l = down() ? *d : *s;
                const SyncEntry& r = down() ? *s : *d;
                if (AsRecorded(l, rec->size, rec->localTime) &&
                    AsRecorded(r, rec->size, rec->remoteTime)) {
                    carry(path);
                    return add(ActionKind::Skip, Reason::UnchangedSinceSync, target, path,
                               remotePath, s, d);
                }
            }
            const bool sourceNewer =
                diff == (down() ? Difference::RemoteNewer : Difference::LocalNewer);
            const bool destinationNewer =
                diff == (down() ? Difference::LocalNewer : Difference::RemoteNewer);
            if (destinationNewer) {
                carry(path);
                return add(ActionKind::Skip, Reason::DestinationNewer, target, path, remotePath, s,
                           d);
            }
            if (sourceNewer)
                return add(ActionKind::Replace, Reason::SourceNewer, target, path, remotePath, s,
                           d);
            if (m_o.onlyNewer) {
                carry(path);
                return add(ActionKind::Skip, Reason::OnlyNewerRule, target, path, remotePath, s, d);
            }
            return add(ActionKind::Replace, content ? Reason::ChecksumDiffers : Reason::SizeDiffers,
                       target, path, remotePath, s, d);
        }
        if (s) {
            add(s->kind == EntryKind::Folder ? ActionKind::MakeFolder : ActionKind::Copy,
                Reason::Missing, target, path, remotePath, s, nullptr);
            return;
        }
        // Only the destination has it.
        if (!m_o.deleteExtra) {
            add(ActionKind::Skip, Reason::DeletesOff, target, path, remotePath, nullptr, d);
            m_skipped = path;
            return;
        }
        if (d->unsafeName && target == Side::Remote) {
            add(ActionKind::Skip, Reason::UnsafeName, target, path, remotePath, nullptr, d);
            m_skipped = path;
            return;
        }
        if (d->kind == EntryKind::Folder)
            openFolder(path, remotePath, target, Reason::NotOnSource, true, false);
        else
            add(ActionKind::Delete, Reason::NotOnSource, target, path, remotePath, nullptr, d);
    }

    void takeBothWays(const SyncEntry* l, const SyncEntry* r, Difference diff,
                      const std::string& path, const std::string& remotePath) {
        if (l && r) {
            if (diff == Difference::Same) {
                return;
            }
            for (const SyncEntry* e : {l, r})
                if (const auto why = unusable(*e)) {
                    add(ActionKind::Skip, *why, e == l ? Side::Local : Side::Remote, path,
                        remotePath, e, nullptr);
                    m_skipped = path;
                    return;
                }
            if (diff == Difference::KindDiffers) {
                add(ActionKind::Conflict, Reason::KindClash, Side::Remote, path, remotePath, l, r);
                m_skipped = path;
                return;
            }
            if (m_o.onlyMissing)
                return add(ActionKind::Skip, Reason::OnlyMissingRule, Side::Remote, path,
                           remotePath, l, r);
            const auto content = l->size == r->size ? sameContent(path) : std::nullopt;
            if (content && *content) {
                carry(path);
                return add(ActionKind::Skip, Reason::SameContent, Side::Remote, path, remotePath, l,
                           r);
            }
            const bool localNewer = diff == Difference::LocalNewer;
            const bool remoteNewer = diff == Difference::RemoteNewer;
            const auto copyTo = [&](Side target, Reason reason) {
                const SyncEntry* s = target == Side::Remote ? l : r;
                const SyncEntry* d = target == Side::Remote ? r : l;
                add(ActionKind::Replace, reason, target, path, remotePath, s, d);
            };
            if (const SyncedFile* rec = recordOf(path)) {
                const bool localChanged = !AsRecorded(*l, rec->size, rec->localTime);
                const bool remoteChanged = !AsRecorded(*r, rec->size, rec->remoteTime);
                if (!localChanged && !remoteChanged) {
                    carry(path);
                    return add(ActionKind::Skip, Reason::UnchangedSinceSync, Side::Remote, path,
                               remotePath, l, r);
                }
                if (localChanged && remoteChanged) {
                    carry(path);
                    return add(ActionKind::Conflict, Reason::BothChanged, Side::Remote, path,
                               remotePath, l, r);
                }
                // One side changed; it replaces the other unless the other is newer.
                const Side target = localChanged ? Side::Remote : Side::Local;
                if ((target == Side::Remote && remoteNewer) ||
                    (target == Side::Local && localNewer)) {
                    carry(path);
                    return add(ActionKind::Skip, Reason::DestinationNewer, target, path, remotePath,
                               target == Side::Remote ? l : r, target == Side::Remote ? r : l);
                }
                return copyTo(target, Reason::ChangedSinceSync);
            }
            if (localNewer)
                return copyTo(Side::Remote, Reason::SourceNewer);
            if (remoteNewer)
                return copyTo(Side::Local, Reason::SourceNewer);
            return add(ActionKind::Conflict, content ? Reason::ChecksumDiffers : Reason::NoHistory,
                       Side::Remote, path, remotePath, l, r);
        }

        // One side only: a new entry to copy, or one the other side deleted since the last sync.
        const SyncEntry* e = l ? l : r;
        const Side holder = l ? Side::Local : Side::Remote;
        const Side other = l ? Side::Remote : Side::Local;
        if (const auto why = unusable(*e)) {
            add(ActionKind::Skip, *why, other, path, remotePath, e, nullptr);
            m_skipped = path;
            return;
        }
        if (e->kind == EntryKind::Folder) {
            if (recordedInside(path)) {
                // The other side deleted it since the last sync: its contents follow, each
                // decided by its own record; the folder goes with them unless one is copied.
                openFolder(path, remotePath, holder, Reason::DeletedSinceSync, m_o.deleteExtra,
                           true);
                return;
            }
            add(ActionKind::MakeFolder, Reason::Missing, other, path, remotePath, e, nullptr);
            return;
        }
        if (const SyncedFile* rec = recordOf(path)) {
            const bool unchanged = AsRecorded(*e, rec->size, l ? rec->localTime : rec->remoteTime);
            if (unchanged) {
                if (m_o.deleteExtra)
                    return add(ActionKind::Delete, Reason::DeletedSinceSync, holder, path,
                               remotePath, nullptr, e);
                carry(path);
                return add(ActionKind::Skip, Reason::DeletesOff, holder, path, remotePath, nullptr,
                           e);
            }
            return add(ActionKind::Copy, Reason::ChangedSinceSync, other, path, remotePath, e,
                       nullptr);
        }
        add(ActionKind::Copy, Reason::Missing, other, path, remotePath, e, nullptr);
    }

    void finish() {
        std::size_t destinationFiles = 0;
        const SyncTree& dest = down() ? m_localTree : m_remoteTree;
        for (const SyncEntry& e : dest.entries)
            if (e.kind != EntryKind::Folder)
                ++destinationFiles;
        std::size_t fileDeletes = 0;
        for (const SyncAction& a : m_plan.actions) {
            switch (a.kind) {
            case ActionKind::Copy:
            case ActionKind::MakeFolder:
                ++m_plan.copies;
                m_plan.bytes += a.folder ? 0 : a.size;
                break;
            case ActionKind::Replace:
                ++m_plan.replaces;
                m_plan.bytes += a.size;
                break;
            case ActionKind::Delete:
                ++m_plan.deletes;
                if (!a.folder)
                    ++fileDeletes;
                break;
            case ActionKind::Conflict:
                ++m_plan.conflicts;
                break;
            case ActionKind::Skip:
                break;
            }
        }
        m_plan.deletesEverything = !both() && fileDeletes > 0 && fileDeletes == destinationFiles;
    }

    const SyncTree& m_localTree;
    const SyncTree& m_remoteTree;
    const SyncOptions& m_o;
    const SyncState* m_last;
    const ContentMatches* m_same;
    Excludes m_excludes;
    std::vector<std::string> m_unlisted;
    std::vector<OpenFolder> m_open;
    std::string m_skipped; // everything inside this path is left out ("" none)
    SyncPlan m_plan;
};

} // namespace

std::vector<ComparedPath> CompareTrees(const SyncTree& local, const SyncTree& remote,
                                       const CompareOptions& options) {
    std::vector<ComparedPath> out;
    const Slots slots = Pair(local, remote);
    out.reserve(slots.size());
    for (const auto& [key, slot] : slots) {
        ComparedPath c;
        const SyncEntry* l = slot.local.empty() ? nullptr : slot.local.front();
        const SyncEntry* r = slot.remote.empty() ? nullptr : slot.remote.front();
        c.path = l ? l->path : r->path;
        c.remotePath = r ? r->path : l->path;
        if (l)
            c.local = *l;
        if (r)
            c.remote = *r;
        if (l && r)
            c.difference = ComparePair(*l, *r, options, c.timeDelta);
        else
            c.difference = l ? Difference::OnlyLocal : Difference::OnlyRemote;
        out.push_back(std::move(c));
    }
    return out;
}

std::optional<int> DetectTimeSkew(const std::vector<ComparedPath>& compared,
                                  std::size_t minimumFiles) {
    std::optional<std::int64_t> hours;
    std::size_t count = 0;
    for (const ComparedPath& c : compared) {
        if (!c.local || !c.remote || c.local->kind != EntryKind::File ||
            c.remote->kind != EntryKind::File || !c.timeDelta)
            continue;
        const TimePrecision p = std::min(c.local->precision, c.remote->precision);
        if (p < TimePrecision::Minute)
            continue;
        const std::int64_t tolerance = std::max<std::int64_t>(Unit(p), 2);
        const std::int64_t delta = *c.timeDelta;
        const std::int64_t h = (delta >= 0 ? delta + 1800 : delta - 1800) / 3600;
        if (h == 0 || std::llabs(h) > 26 || std::llabs(delta - h * 3600) >= tolerance)
            return std::nullopt;
        if (hours && *hours != h)
            return std::nullopt;
        hours = h;
        ++count;
    }
    if (!hours || count < minimumFiles)
        return std::nullopt;
    return int(*hours);
}

std::vector<std::string> PathsForChecksum(const SyncTree& local, const SyncTree& remote,
                                          const SyncOptions& options) {
    std::vector<std::string> paths;
    const Excludes excludes(options);
    for (const ComparedPath& c : CompareTrees(local, remote, options.compare)) {
        if (!c.local || !c.remote || c.local->kind != EntryKind::File ||
            c.remote->kind != EntryKind::File || c.local->size != c.remote->size)
            continue;
        if (c.difference != Difference::LocalNewer && c.difference != Difference::RemoteNewer)
            continue;
        if (!excludes.leavesOut(c.path))
            paths.push_back(c.path);
    }
    return paths;
}

SyncPlan PlanSync(const SyncTree& local, const SyncTree& remote, const SyncOptions& options,
                  const SyncState* last, const ContentMatches* sameContent) {
    return Planner(local, remote, options, last, sameContent).run();
}

SyncState StateAfterSync(const SyncTree& local, const SyncTree& remote, const SyncPlan& plan,
                         const std::vector<std::string>& donePaths, const CompareOptions& compare) {
    SyncState state = plan.carried;
    std::map<std::string, const SyncAction*> done;
    for (const SyncAction& a : plan.actions)
        done.emplace(a.path, nullptr);
    for (const SyncAction& a : plan.actions)
        if (a.kind == ActionKind::Copy || a.kind == ActionKind::Replace)
            done[a.path] = &a;
    std::vector<std::string> succeeded = donePaths;
    std::sort(succeeded.begin(), succeeded.end());
    const auto succeededPath = [&](const std::string& p) {
        return std::binary_search(succeeded.begin(), succeeded.end(), p);
    };
    for (const ComparedPath& c : CompareTrees(local, remote, compare)) {
        const auto it = done.find(c.path);
        const SyncAction* action = it == done.end() ? nullptr : it->second;
        if (it == done.end()) {
            // Not in the plan: in step as listed.
            if (c.local && c.remote && c.local->kind == EntryKind::File &&
                c.remote->kind == EntryKind::File && c.difference == Difference::Same)
                state[c.path] = SyncedFile{c.local->size, c.local->time, c.remote->time};
            continue;
        }
        if (!action || !succeededPath(c.path))
            continue;
        // The copy made the destination the source's size and, where that side can, its time.
        if (action->target == Side::Remote && c.local) {
            const std::int64_t remoteTime =
                remote.canSetTimes && c.local->time != 0 ? c.local->time - compare.remoteOffset : 0;
            state[c.path] = SyncedFile{c.local->size, c.local->time, remoteTime};
        } else if (action->target == Side::Local && c.remote) {
            // A download takes the server's exact time where it knows one (MLSD, MDTM); a LIST
            // time may be the server's local time, so the local time is then not recorded.
            const std::int64_t localTime =
                c.remote->precision == TimePrecision::Second && c.remote->time != 0
                    ? c.remote->time + compare.remoteOffset
                    : 0;
            state[c.path] = SyncedFile{c.remote->size, localTime, c.remote->time};
        }
    }
    return state;
}

std::string_view DescribeReason(Reason reason) {
    switch (reason) {
    case Reason::Missing:
        return "not there yet";
    case Reason::SourceNewer:
        return "the source is newer";
    case Reason::SizeDiffers:
        return "same time, another size";
    case Reason::Differs:
        return "another size or time";
    case Reason::ChangedSinceSync:
        return "changed on this side only since the last sync";
    case Reason::ChecksumDiffers:
        return "same size, other content";
    case Reason::NotOnSource:
        return "not on the source";
    case Reason::DeletedSinceSync:
        return "deleted on the other side since the last sync";
    case Reason::DestinationNewer:
        return "the destination is newer; it is never replaced by an older file";
    case Reason::OnlyMissingRule:
        return "exists; only missing files are copied";
    case Reason::OnlyNewerRule:
        return "the source is not newer; only newer files are copied";
    case Reason::DeletesOff:
        return "not on the source; deleting is off";
    case Reason::UnchangedSinceSync:
        return "neither side changed since the last sync";
    case Reason::SameContent:
        return "same content by checksum; only the times differ";
    case Reason::Excluded:
        return "excluded";
    case Reason::KindClash:
        return "a file on one side, a folder on the other";
    case Reason::CaseClash:
        return "names that differ only in case are one file on the server";
    case Reason::BothChanged:
        return "changed on both sides since the last sync";
    case Reason::NoHistory:
        return "same time, another size, and no last sync to tell which changed";
    case Reason::LinkNotFollowed:
        return "a link; links are neither followed nor replaced";
    case Reason::NotAFile:
        return "not a file or a folder";
    case Reason::UnsafeName:
        return "the name cannot be used on the other side";
    case Reason::FolderUnlisted:
        return "the folder could not be listed";
    }
    return {};
}

std::string_view DescribeKind(ActionKind kind) {
    switch (kind) {
    case ActionKind::Copy:
        return "copy";
    case ActionKind::Replace:
        return "replace";
    case ActionKind::Delete:
        return "delete";
    case ActionKind::MakeFolder:
        return "make folder";
    case ActionKind::Skip:
        return "skip";
    case ActionKind::Conflict:
        return "conflict";
    }
    return {};
}

} // namespace tw::queue::sync

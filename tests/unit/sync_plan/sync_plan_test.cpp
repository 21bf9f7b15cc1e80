// The folder compare and the sync planner: each case two trees, the options and the last sync,
// and every action the plan must hold, written as the preview would tell it.

#include "queue/sync/sync_plan.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace tw::queue::sync;

namespace {

constexpr std::int64_t T = 1'700'000'000; // a whole minute, not midnight

SyncEntry File(std::string path, std::uint64_t size, std::int64_t time,
               TimePrecision p = TimePrecision::Second) {
    SyncEntry e;
    e.path = std::move(path);
    e.size = size;
    e.time = time;
    e.precision = p;
    return e;
}
SyncEntry Folder(std::string path) {
    SyncEntry e;
    e.path = std::move(path);
    e.kind = EntryKind::Folder;
    return e;
}
SyncEntry Of(EntryKind kind, std::string path) {
    SyncEntry e;
    e.path = std::move(path);
    e.kind = kind;
    return e;
}

SyncTree Tree(std::vector<SyncEntry> entries, bool ignoresCase = false) {
    SyncTree t;
    t.entries = std::move(entries);
    t.ignoresCase = ignoresCase;
    return t;
}

std::string Letter(Side s) {
    return s == Side::Local ? "L" : "R";
}

std::string ReasonName(Reason r) {
    switch (r) {
    case Reason::Missing:
        return "missing";
    case Reason::SourceNewer:
        return "newer";
    case Reason::SizeDiffers:
        return "size";
    case Reason::Differs:
        return "differs";
    case Reason::ChangedSinceSync:
        return "changed";
    case Reason::ChecksumDiffers:
        return "checksum";
    case Reason::NotOnSource:
        return "not-on-source";
    case Reason::DeletedSinceSync:
        return "deleted-since";
    case Reason::DestinationNewer:
        return "dest-newer";
    case Reason::OnlyMissingRule:
        return "only-missing";
    case Reason::OnlyNewerRule:
        return "only-newer";
    case Reason::DeletesOff:
        return "deletes-off";
    case Reason::UnchangedSinceSync:
        return "unchanged";
    case Reason::SameContent:
        return "same-content";
    case Reason::Excluded:
        return "excluded";
    case Reason::KindClash:
        return "kind";
    case Reason::CaseClash:
        return "case";
    case Reason::BothChanged:
        return "both-changed";
    case Reason::NoHistory:
        return "no-history";
    case Reason::LinkNotFollowed:
        return "link";
    case Reason::NotAFile:
        return "not-a-file";
    case Reason::UnsafeName:
        return "unsafe";
    case Reason::FolderUnlisted:
        return "unlisted";
    }
    return "?";
}

std::string KindName(ActionKind k) {
    switch (k) {
    case ActionKind::Copy:
        return "copy";
    case ActionKind::Replace:
        return "replace";
    case ActionKind::Delete:
        return "delete";
    case ActionKind::MakeFolder:
        return "mkdir";
    case ActionKind::Skip:
        return "skip";
    case ActionKind::Conflict:
        return "conflict";
    }
    return "?";
}

// "replace R a.txt newer": kind, the side written to, the path (the server's spelling after
// '>' where it differs), the reason.
std::vector<std::string> Lines(const SyncPlan& plan) {
    std::vector<std::string> out;
    for (const SyncAction& a : plan.actions) {
        std::string path = a.path.empty() ? "." : a.path;
        if (a.remotePath != a.path && !a.remotePath.empty())
            path += ">" + a.remotePath;
        out.push_back(KindName(a.kind) + " " + Letter(a.target) + " " + path + " " +
                      ReasonName(a.reason));
    }
    return out;
}

SyncOptions Way(SyncDirection d) {
    SyncOptions o;
    o.direction = d;
    return o;
}
SyncOptions With(SyncOptions o, void (*change)(SyncOptions&)) {
    change(o);
    return o;
}

struct PlanCase {
    const char* name;
    SyncTree local;
    SyncTree remote;
    SyncOptions options;
    SyncState last;
    std::vector<std::string> expected;
};

TEST(SyncPlan, DecisionsAreThoseThePreviewExplains) {
    const auto up = Way(SyncDirection::Upload);
    const auto down = Way(SyncDirection::Download);
    const auto both = Way(SyncDirection::Both);
    const auto deleting = [](SyncOptions o) {
        o.deleteExtra = true;
        return o;
    };
    const std::vector<PlanCase> cases = {
        {"upload: missing, newer, size, same, older destination kept",
         Tree({File("a", 1, T), File("b", 2, T + 600), File("c", 3, T), File("d", 4, T),
               File("e", 5, T)}),
         Tree({File("b", 2, T), File("c", 30, T), File("d", 4, T), File("e", 6, T + 600)}),
         up,
         {},
         {"copy R a missing", "replace R b newer", "replace R c size", "skip R e dest-newer"}},
        {"download mirrors the other way",
         Tree({File("b", 2, T), File("x", 9, T)}),
         Tree({File("a", 1, T), File("b", 2, T + 600)}),
         down,
         {},
         {"copy L a missing", "replace L b newer", "skip L x deletes-off"}},
        {"LIST minute precision: seconds within the minute are the same time",
         Tree({File("a", 1, T + 59), File("b", 1, T + 60)}),
         Tree({File("a", 1, T, TimePrecision::Minute), File("b", 1, T, TimePrecision::Minute)}),
         up,
         {},
         {"replace R b newer"}},
        {"day precision of an old LIST entry",
         Tree({File("old", 7, T - 3600 * 5)}),
         Tree({File("old", 7, T - 3600 * 10, TimePrecision::Day)}),
         up,
         {},
         {}},
        {"the account's offset puts a server zone in step",
         Tree({File("a", 1, T), File("b", 2, T)}),
         Tree({File("a", 1, T + 7200), File("b", 2, T + 7200)}),
         With(up, [](SyncOptions& o) { o.compare.remoteOffset = -7200; }),
         {},
         {}},
        {"only newer and only missing",
         Tree({File("a", 1, T), File("b", 2, T + 600), File("c", 3, T)}),
         Tree({File("b", 2, T), File("c", 30, T)}),
         With(up, [](SyncOptions& o) { o.onlyNewer = true; }),
         {},
         {"copy R a missing", "replace R b newer", "skip R c only-newer"}},
        {"only missing replaces nothing",
         Tree({File("a", 1, T), File("b", 2, T + 600)}),
         Tree({File("b", 2, T)}),
         With(up, [](SyncOptions& o) { o.onlyMissing = true; }),
         {},
         {"copy R a missing", "skip R b only-missing"}},
        {"deletes: files, then the folder after its contents",
         Tree({File("keep", 1, T)}),
         Tree({File("keep", 1, T), Folder("old"), File("old/x", 1, T), Folder("old/sub"),
               File("old/sub/y", 1, T), File("z", 1, T)}),
         deleting(up),
         {},
         {"delete R old/sub/y not-on-source", "delete R old/sub not-on-source",
          "delete R old/x not-on-source", "delete R old not-on-source",
          "delete R z not-on-source"}},
        {"new folders are made before their files",
         Tree({Folder("n"), File("n/a", 1, T), Folder("n/e")}),
         Tree({}),
         up,
         {},
         {"mkdir R n missing", "copy R n/a missing", "mkdir R n/e missing"}},
        {"excludes: a glob, a path glob and an extension; excluded paths never deleted",
         Tree({File("a.log", 1, T), Folder("cache"), File("cache/x", 1, T), File("b.bak", 1, T),
               Folder("src"), File("src/gen.o", 1, T), File("src/m.c", 1, T)}),
         Tree({File("old.log", 1, T)}),
         With(deleting(up),
              [](SyncOptions& o) {
                  o.excludes = {"*.log", "src/*.o", "cache"};
                  o.excludeExtensions = ".BAK, .tmp";
              }),
         {},
         {"skip R a.log excluded", "skip R b.bak excluded", "skip R cache excluded",
          "skip R old.log excluded", "mkdir R src missing", "skip R src/gen.o excluded",
          "copy R src/m.c missing"}},
        {"a file against a folder, links and devices",
         Tree({File("x", 1, T), Of(EntryKind::Link, "lnk"), Of(EntryKind::Other, "fifo"),
               File("y", 1, T)}),
         Tree({Folder("x"), File("x/in", 1, T), Of(EntryKind::Link, "y")}),
         deleting(up),
         {},
         {"skip R fifo not-a-file", "skip R lnk link", "conflict R x kind", "skip R y link"}},
        {"a server that ignores case pairs names and refuses two of them",
         Tree({File("Readme.TXT", 5, T + 600), File("a.txt", 1, T), File("A.txt", 2, T)}),
         Tree({File("README.txt", 4, T), File("A.TXT", 1, T)}, true),
         up,
         {},
         {"conflict R a.txt>A.TXT case", "conflict R A.txt>A.TXT case",
          "replace R Readme.TXT>README.txt newer"}},
        {"unsafe names are not copied, an unlisted folder is left alone",
         Tree({}),
         [] {
             SyncTree t = Tree({Folder("locked"), File("locked/x", 1, T), File("bad\\name", 1, T)});
             t.entries[2].unsafeName = true;
             t.unlisted.push_back({"locked", "550 Permission denied", 0});
             return t;
         }(),
         down,
         {},
         {"skip L bad\\name unsafe", "skip L locked unlisted"}},
        {"an unlisted source root plans nothing, deletes above all",
         Tree({}),
         [] {
             SyncTree t = Tree({});
             t.unlisted.push_back({"", "550 No such folder", 0});
             return t;
         }(),
         deleting(down),
         {},
         {"skip L . unlisted"}},
        {"both ways without a last sync: the newer side wins, a tie of sizes is a conflict",
         Tree({File("l-only", 1, T), File("ln", 1, T + 600), File("rn", 1, T), File("tie", 1, T)}),
         Tree({File("r-only", 1, T), File("ln", 1, T), File("rn", 1, T + 600), File("tie", 2, T)}),
         both,
         {},
         {"copy R l-only missing", "replace R ln newer", "copy L r-only missing",
          "replace L rn newer", "conflict R tie no-history"}},
        {"both ways with a last sync: one side changed, both changed, a restored older file",
         Tree({File("a", 2, T + 600), File("b", 3, T + 600), File("c", 1, T), File("old", 1, T - 900)}),
         Tree({File("a", 1, T), File("b", 4, T + 900), File("c", 1, T + 300), File("old", 1, T)}),
         both,
         {{"a", {1, T, T}}, {"b", {1, T, T}}, {"c", {1, T, T}}, {"old", {1, T, T}}},
         {"replace R a changed", "conflict R b both-changed", "replace L c changed",
          "skip R old dest-newer"}},
        {"both ways: a deletion since the last sync, with deletes on and off",
         Tree({File("gone", 1, T), File("edited", 2, T + 60), Folder("dir"), File("dir/f", 1, T)}),
         Tree({}),
         deleting(both),
         {{"gone", {1, T, T}}, {"edited", {1, T, T}}, {"dir/f", {1, T, T}}},
         {"delete L dir/f deleted-since", "delete L dir deleted-since", "copy R edited changed",
          "delete L gone deleted-since"}},
        {"both ways, deletes off: nothing removed, a file changed inside keeps its folder",
         Tree({Folder("dir"), File("dir/f", 1, T), File("dir/new", 1, T)}),
         Tree({}),
         both,
         {{"dir/f", {1, T, T}}},
         {"mkdir R dir changed", "skip L dir/f deletes-off", "copy R dir/new missing"}},
        {"unchanged since the last sync although the times differ (a server without MFMT)",
         Tree({File("a", 5, T)}),
         Tree({File("a", 5, T + 3000)}),
         up,
         {{"a", {5, T, 0}}},
         {"skip R a unchanged"}},
    };
    for (const PlanCase& c : cases) {
        SCOPED_TRACE(c.name);
        const SyncPlan plan = PlanSync(c.local, c.remote, c.options, &c.last);
        EXPECT_EQ(Lines(plan), c.expected);
        for (const SyncAction& a : plan.actions)
            EXPECT_EQ(a.selected, a.kind != ActionKind::Skip && a.kind != ActionKind::Conflict);
    }
}

TEST(SyncPlan, CountsAndTheDeleteEverythingGuard) {
    const SyncTree empty = Tree({});
    const SyncTree full = Tree({Folder("d"), File("d/a", 10, T), File("b", 5, T)});
    SyncOptions o = Way(SyncDirection::Upload);
    o.deleteExtra = true;
    const SyncPlan wipe = PlanSync(empty, full, o);
    EXPECT_EQ(wipe.deletes, 3u);
    EXPECT_TRUE(wipe.deletesEverything);
    EXPECT_FALSE(wipe.inStep());

    const SyncTree some = Tree({File("b", 5, T), File("n", 7, T)});
    const SyncPlan partial = PlanSync(some, full, o);
    EXPECT_EQ(partial.deletes, 2u);
    EXPECT_EQ(partial.copies, 1u);
    EXPECT_EQ(partial.bytes, 7u);
    EXPECT_FALSE(partial.deletesEverything);
}

TEST(SyncPlan, CompareShowsEveryDifferenceAndTheZoneSkew) {
    const SyncTree local =
        Tree({File("a", 1, T), File("b", 2, T), File("c", 3, T), File("l", 1, T), Folder("sub")});
    const SyncTree remote = Tree({File("a", 1, T + 7200, TimePrecision::Minute),
                                  File("b", 2, T + 7200 + 30, TimePrecision::Minute),
                                  File("c", 4, T + 7200, TimePrecision::Minute), File("r", 1, T)});
    const auto compared = CompareTrees(local, remote, {});
    std::vector<std::pair<std::string, Difference>> seen;
    for (const auto& c : compared)
        seen.emplace_back(c.path, c.difference);
    const std::vector<std::pair<std::string, Difference>> expected = {
        {"a", Difference::RemoteNewer}, {"b", Difference::RemoteNewer},
        {"c", Difference::RemoteNewer}, {"l", Difference::OnlyLocal},
        {"r", Difference::OnlyRemote},  {"sub", Difference::OnlyLocal}};
    EXPECT_EQ(seen, expected);
    EXPECT_EQ(DetectTimeSkew(compared), std::optional<int>(2));

    // With the offset applied the size difference is what remains.
    CompareOptions shifted;
    shifted.remoteOffset = -7200;
    const auto after = CompareTrees(local, remote, shifted);
    EXPECT_EQ(after[0].difference, Difference::Same);
    EXPECT_EQ(after[2].difference, Difference::SizeDiffers);
    EXPECT_EQ(DetectTimeSkew(after), std::nullopt);

    // Files that disagree by other amounts are no zone.
    const SyncTree mixed = Tree({File("a", 1, T + 7200), File("b", 1, T + 3600)});
    EXPECT_EQ(DetectTimeSkew(CompareTrees(local, mixed, {})), std::nullopt);

    CompareOptions sizeOnly;
    sizeOnly.rule = CompareRule::SizeOnly;
    EXPECT_EQ(CompareTrees(local, remote, sizeOnly)[0].difference, Difference::Same);
    CompareOptions timeOnly;
    timeOnly.rule = CompareRule::TimeOnly;
    timeOnly.remoteOffset = -7200;
    EXPECT_EQ(CompareTrees(local, remote, timeOnly)[2].difference, Difference::Same);
}

TEST(SyncPlan, ChecksumsDecideSameSizedFilesWhoseTimesDiffer) {
    const SyncTree local = Tree({File("same", 4, T + 600), File("other", 4, T + 600)});
    const SyncTree remote = Tree({File("same", 4, T), File("other", 4, T)});
    SyncOptions o = Way(SyncDirection::Both);
    o.checksum = true;
    EXPECT_EQ(PathsForChecksum(local, remote, o), (std::vector<std::string>{"other", "same"}));
    const ContentMatches matches = {{"same", true}, {"other", false}};
    EXPECT_EQ(Lines(PlanSync(local, remote, o, nullptr, &matches)),
              (std::vector<std::string>{"replace R other newer", "skip R same same-content"}));
}

TEST(SyncPlan, ASecondRunAfterTheSyncPlansNothing) {
    // The trees as a run left them: copies took their source's time (the server sets times).
    const SyncTree local = Tree({File("a", 1, T), File("b", 2, T + 600), File("only", 3, T)});
    const SyncTree remote = Tree({File("b", 2, T), File("r", 4, T + 60)});
    SyncOptions o = Way(SyncDirection::Both);
    const SyncPlan first = PlanSync(local, remote, o);
    std::vector<std::string> done;
    for (const SyncAction& a : first.actions)
        done.push_back(a.path);
    SyncState state = StateAfterSync(local, remote, first, done, o.compare);

    const SyncTree localAfter =
        Tree({File("a", 1, T), File("b", 2, T + 600), File("only", 3, T), File("r", 4, T + 60)});
    const SyncTree remoteAfter =
        Tree({File("a", 1, T), File("b", 2, T + 600), File("only", 3, T), File("r", 4, T + 60)});
    const SyncPlan second = PlanSync(localAfter, remoteAfter, o, &state);
    EXPECT_TRUE(second.inStep());
    EXPECT_TRUE(second.actions.empty());
    EXPECT_EQ(state.size(), 4u);

    // A server that cannot set times: the record still tells that nothing changed since.
    SyncTree noTimes = remote;
    noTimes.canSetTimes = false;
    state = StateAfterSync(local, noTimes, PlanSync(local, noTimes, o), done, o.compare);
    const SyncTree remoteStamped = Tree({File("a", 1, T + 5000), File("b", 2, T + 5000),
                                         File("only", 3, T + 5000), File("r", 4, T + 60)});
    const SyncPlan again = PlanSync(localAfter, remoteStamped, o, &state);
    EXPECT_TRUE(again.inStep()) << Lines(again).size();
}

} // namespace

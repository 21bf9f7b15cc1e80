#include "core/panes/entry_format.h"
#include "core/panes/pane_sort.h"
#include "core/state/app_state.h"
#include "core/text/messages.h"
#include "support/recording_port.h"

#include <gtest/gtest.h>

#include <random>

using namespace tw;

namespace {

FileEntry Row(const QString& name, bool folder = false, std::uint64_t size = 0,
              std::int64_t time = 0) {
    FileEntry e;
    e.name = name;
    e.isFolder = folder;
    e.findData.size = size;
    e.findData.lastWriteTime = time;
    CompleteEntry(e);
    return e;
}

FileEntry Drive(const QString& mount) {
    FileEntry e;
    e.name = mount;
    e.isDrive = true;
    CompleteEntry(e);
    return e;
}

QStringList Names(const std::vector<FileEntry>& rows) {
    QStringList out;
    for (const auto& r : rows)
        out << r.name;
    return out;
}

std::vector<FileEntry> Mixed() {
    return {Row(u"b.txt"_qs, false, 10, 2000), Drive(u"/mnt"_qs),
            Row(u"sub"_qs, true, 0, 1500),     Row(u".."_qs, true, 0, 100),
            Row(u"A.doc"_qs, false, 30, 3000), Row(u"noext"_qs, false, 20, 1000),
            Row(u"Alpha"_qs, true, 0, 500),    Drive(u"/home"_qs)};
}

struct SortTest : ::testing::Test {
    test::RecordingPort port;
    AppState state;
    AppGlobals globals;
    Messages messages{port, state, globals};
    SortTest() { state.ColumnLabels = {u"File Name"_qs, u"Date"_qs, u"Size"_qs}; }
};

} // namespace

TEST(CompareTextEmptyLast, IgnoresCaseAndPutsEmptyLast) {
    EXPECT_EQ(CompareTextEmptyLast(u"abc"_qs, u"ABC"_qs), 0);
    EXPECT_LT(CompareTextEmptyLast(u"abc"_qs, u"abd"_qs), 0);
    EXPECT_GT(CompareTextEmptyLast(QString(), u"a"_qs), 0);
    EXPECT_LT(CompareTextEmptyLast(u"a"_qs, QString()), 0);
    EXPECT_EQ(CompareTextEmptyLast(QString(), QString()), 0);
}

TEST(SortEntries, ParentRowStaysFirstUnderEveryKeyAndOption) {
    for (int key = 0; key < 4; ++key) {
        for (int flags = 0; flags < 16; ++flags) {
            const SortOptions o{bool(flags & 1), bool(flags & 2), bool(flags & 4), bool(flags & 8)};
            auto rows = Mixed();
            SortEntries(rows, SortKey(key), o);
            ASSERT_EQ(rows.front().name, u".."_qs) << key << " " << flags;
        }
    }
}

TEST(SortEntries, PlacementOfDrivesAndFolders) {
    auto rows = Mixed();
    SortEntries(rows, SortKey::Name, {});
    EXPECT_EQ(Names(rows), (QStringList{u".."_qs, u"/home"_qs, u"/mnt"_qs, u"Alpha"_qs, u"sub"_qs,
                                        u"A.doc"_qs, u"b.txt"_qs, u"noext"_qs}));
    rows = Mixed();
    SortEntries(rows, SortKey::Name, {.foldersLast = true, .drivesLast = true});
    EXPECT_EQ(Names(rows), (QStringList{u".."_qs, u"A.doc"_qs, u"b.txt"_qs, u"noext"_qs,
                                        u"Alpha"_qs, u"sub"_qs, u"/home"_qs, u"/mnt"_qs}));
}

TEST(SortEntries, ByTypePutsFilesWithoutExtensionLast) {
    std::vector<FileEntry> rows = {Row(u"zz"_qs), Row(u"b.txt"_qs), Row(u"a.TXT"_qs),
                                   Row(u"c.c"_qs), Row(u"dir"_qs, true)};
    SortEntries(rows, SortKey::Type, {});
    EXPECT_EQ(Names(rows), (QStringList{u"dir"_qs, u"c.c"_qs, u"a.TXT"_qs, u"b.txt"_qs, u"zz"_qs}));
}

TEST(SortEntries, ByDateNewestFirstThenNameThenType) {
    std::vector<FileEntry> rows = {
        Row(u"old.txt"_qs, false, 0, 1000), Row(u"same.txt"_qs, false, 0, 5000),
        Row(u"same.c"_qs, false, 0, 5000), Row(u"new.txt"_qs, false, 0, 9000),
        Row(u"undated"_qs, false, 0, 0)};
    SortEntries(rows, SortKey::Date, {});
    EXPECT_EQ(Names(rows), (QStringList{u"new.txt"_qs, u"same.c"_qs, u"same.txt"_qs, u"old.txt"_qs,
                                        u"undated"_qs}));
    SortEntries(rows, SortKey::Date, {.oldestFirst = true});
    EXPECT_EQ(Names(rows), (QStringList{u"undated"_qs, u"old.txt"_qs, u"same.c"_qs, u"same.txt"_qs,
                                        u"new.txt"_qs}));
}

TEST(SortEntries, BySizeUsesTheFullSixtyFourBitSize) {
    const std::uint64_t gib = std::uint64_t(1) << 30;
    // Sizes whose low 32 bits would order them the other way round.
    std::vector<FileEntry> rows = {Row(u"four.iso"_qs, false, 4 * gib + 1),
                                   Row(u"three.iso"_qs, false, 3 * gib),
                                   Row(u"six.iso"_qs, false, 6 * gib), Row(u"tie.b"_qs, false, 100),
                                   Row(u"tie.a"_qs, false, 100)};
    SortEntries(rows, SortKey::Size, {});
    EXPECT_EQ(Names(rows), (QStringList{u"tie.a"_qs, u"tie.b"_qs, u"three.iso"_qs, u"four.iso"_qs,
                                        u"six.iso"_qs}));
    SortEntries(rows, SortKey::Size, {.largestFirst = true});
    EXPECT_EQ(Names(rows), (QStringList{u"six.iso"_qs, u"four.iso"_qs, u"three.iso"_qs, u"tie.a"_qs,
                                        u"tie.b"_qs}));
}

TEST(SortEntries, AgreesWithTheRowComparatorOnRandomRows) {
    std::mt19937 random(7);
    const QStringList stems = {u"a"_qs,  u"B"_qs, u"b"_qs,   u"file"_qs, u"File"_qs,
                               u".."_qs, u""_qs,  u"z10"_qs, u"z9"_qs};
    const QStringList exts = {QString(), u".txt"_qs, u".TXT"_qs, u".c"_qs, u".gz"_qs};
    std::vector<FileEntry> rows;
    for (int i = 0; i < 300; ++i) {
        FileEntry e = Row(stems[int(random() % stems.size())] + exts[int(random() % exts.size())],
                          random() % 4 == 0, random() % 5, std::int64_t(random() % 4) * 1000);
        e.isDrive = random() % 20 == 0;
        rows.push_back(e);
    }
    for (int key = 0; key < 4; ++key) {
        const SortOptions o{key % 2 == 0, key > 1, key == 1, key == 2};
        auto sorted = rows;
        SortEntries(sorted, SortKey(key), o);
        for (std::size_t i = 1; i < sorted.size(); ++i) {
            // Two ".." rows compare as "first wins" both ways: skip such pairs.
            if (sorted[i - 1].name == u".." && sorted[i].name == u"..")
                continue;
            ASSERT_LE(CompareEntries(sorted[i - 1], sorted[i], SortKey(key), o), 0)
                << key << " at " << i;
        }
    }
}

TEST_F(SortTest, HeaderMarksFollowTheKey) {
    auto h = HeaderTexts(messages, state.ColumnLabels, SortKey::Size);
    EXPECT_EQ(h[2], u"* Size"_qs);
    EXPECT_EQ(h[0], u"File Name"_qs);
    h = HeaderTexts(messages, state.ColumnLabels, SortKey::Date);
    EXPECT_EQ(h[1], u"Date *"_qs);
    EXPECT_EQ(h[2], u"Size"_qs);
    h = HeaderTexts(messages, state.ColumnLabels, SortKey::Name);
    EXPECT_EQ(h[0], u"File Name *"_qs);
    h = HeaderTexts(messages, state.ColumnLabels, SortKey::Type);
    EXPECT_EQ(h, state.ColumnLabels);
}

TEST_F(SortTest, SortCommandSortsMarksAndRefreshesThePane) {
    state.remote.entries = {Row(u"b"_qs, false, 1), Row(u"a"_qs, false, 2)};
    SetPaneSortKey(messages, state, state.remote, PaneSide::Remote, 2);
    EXPECT_EQ(state.remote.sortKey, SortKey::Size);
    EXPECT_EQ(Names(state.remote.entries), (QStringList{u"b"_qs, u"a"_qs}));
    EXPECT_EQ(state.remote.headers[2], u"* Size"_qs);
    EXPECT_EQ(port.events(), QStringList{u"refresh: remote"_qs});
    // A key outside 0-3 sorts by type and marks nothing.
    SetPaneSortKey(messages, state, state.remote, PaneSide::Remote, 7);
    EXPECT_EQ(state.remote.headers, state.ColumnLabels);
}

TEST(GetFirstSelectedRow, LowestIndexOrMinusOne) {
    EXPECT_EQ(GetFirstSelectedRow({}), -1);
    EXPECT_EQ(GetFirstSelectedRow({5, 2, 9}), 2);
}

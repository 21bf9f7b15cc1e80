#include "pane_test_support.h"

#include "core/panes/entry_format.h"
#include "core/panes/hidden_rows.h"
#include "core/panes/local_listing.h"
#include "core/panes/local_operations.h"
#include "core/panes/pane_sort.h"
#include "core/panes/size_text.h"
#include "ftp/size_text.h"

#include <gtest/gtest.h>

#include <QLocale>
#include <QStorageInfo>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace tw;

namespace {

TEST(ReadableSize, BothUnitsAtTheirEdges) {
    using ftp::SizeUnits;
    const struct {
        std::uint64_t bytes;
        SizeUnits units;
        const char* text;
    } cases[] = {
        {0, SizeUnits::Decimal, "0 bytes"},
        {1, SizeUnits::Decimal, "1 byte"},
        {999, SizeUnits::Decimal, "999 bytes"},
        {1000, SizeUnits::Decimal, "1.0 KB"},
        {1457664, SizeUnits::Decimal, "1.5 MB"},
        {1400000, SizeUnits::Decimal, "1.4 MB"},
        {999949, SizeUnits::Decimal, "999.9 KB"},
        {999950, SizeUnits::Decimal, "1.0 MB"}, // never "1000.0 KB"
        {4'700'000'000ULL, SizeUnits::Decimal, "4.7 GB"},
        {UINT64_MAX, SizeUnits::Decimal, "18.4 EB"},
        {512, SizeUnits::Binary, "512 B"},
        {1536, SizeUnits::Binary, "1.5 KiB"},
        {3355443, SizeUnits::Binary, "3.2 MiB"},
        {4402341478ULL, SizeUnits::Binary, "4.10 GiB"},
        {1048575, SizeUnits::Binary, "1.0 MiB"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ftp::ReadableSize(c.bytes, c.units), c.text) << c.bytes;
}

TEST(ReadableSize, PaneColumnAndTooltip) {
    FileEntry file;
    file.name = u"a.iso"_qs;
    file.size = 1457664;
    FileEntry folder;
    folder.name = u"sub"_qs;
    folder.isFolder = true;
    EXPECT_EQ(PaneSizeText(file, false), u"1457664"_qs);
    EXPECT_EQ(PaneSizeText(file, true), u"1.5 MB"_qs);
    EXPECT_EQ(PaneExactSizeText(file), QLocale().toString(1457664ULL) + u" bytes"_qs);
    EXPECT_EQ(PaneSizeText(folder, false), u"0"_qs);
    EXPECT_EQ(PaneSizeText(folder, true), QString());
    EXPECT_EQ(PaneExactSizeText(folder), QString());
}

struct HiddenTest : ::testing::Test, test::PaneFixture {
    HiddenTest() { state.options.ShowHidden = 0; }
    static QStringList namesOf(const PaneState& pane) {
        QStringList out;
        for (const FileEntry& e : pane.entries)
            out << e.name;
        return out;
    }
};

TEST_F(HiddenTest, LocalListingLeavesOutDotNamesUntilShown) {
    touch(u"b.txt"_qs);
    touch(u".profile"_qs);
    mkdir(u".config"_qs);
    mkdir(u"sub"_qs);
    ASSERT_TRUE(ListLocalDirectory(state, messages, system));
    EXPECT_EQ(names(), (QStringList{u".."_qs, u"sub"_qs, u"b.txt"_qs}));

    port.clear();
    ToggleHiddenFiles(state, messages, system);
    EXPECT_EQ(state.options.ShowHidden, 1u);
    EXPECT_EQ(names(),
              (QStringList{u".."_qs, u".config"_qs, u"sub"_qs, u".profile"_qs, u"b.txt"_qs}));
    EXPECT_EQ(port.count(u"refresh: local"_qs), 1);  // listed again at once
    EXPECT_EQ(port.count(u"refresh: remote"_qs), 0); // no remote rows: nothing to show

    ToggleHiddenFiles(state, messages, system);
    EXPECT_EQ(names(), (QStringList{u".."_qs, u"sub"_qs, u"b.txt"_qs}));
}

// The remote pane keeps the rows it held back: showing them puts each where a sort puts it,
// for every key, and hiding them again restores the rows as they were.
TEST_F(HiddenTest, KeptRowsMergeInSortOrderForEveryKey) {
    const auto makeRow = [](const char16_t* name, bool folder, std::uint64_t size, int day) {
        FileEntry e;
        e.name = QString::fromUtf16(name);
        e.isFolder = folder;
        e.findData.size = size;
        e.findData.lastWriteTime = 1'700'000'000 + day * 86400;
        CompleteEntry(e);
        return e;
    };
    const std::vector<FileEntry> all = {
        makeRow(u"..", true, 0, 0),          makeRow(u".ssh", true, 0, 3),
        makeRow(u"pub", true, 0, 1),         makeRow(u".bashrc", false, 300, 2),
        makeRow(u"a.txt", false, 100, 5),    makeRow(u"z.tar", false, 50, 4),
        makeRow(u".hidden.txt", false, 7, 6)};
    const SortOptions options = SortOptions::From(state.options);
    for (const SortKey key : {SortKey::Name, SortKey::Date, SortKey::Size, SortKey::Type}) {
        PaneState pane;
        pane.sortKey = key;
        pane.entries = all;
        SortEntries(pane.entries, key, options);
        const QStringList sorted = namesOf(pane);

        pane.heldHidden = TakeHiddenRows(pane.entries);
        EXPECT_EQ(pane.heldHidden.size(), 3u);
        const QStringList visible = namesOf(pane);
        EXPECT_FALSE(visible.contains(u".ssh"_qs));
        EXPECT_TRUE(visible.contains(u".."_qs));

        EXPECT_TRUE(ShowHiddenRows(pane, true, options));
        EXPECT_EQ(namesOf(pane), sorted) << int(key);
        EXPECT_TRUE(pane.heldHidden.empty());
        EXPECT_FALSE(ShowHiddenRows(pane, true, options));
        EXPECT_TRUE(ShowHiddenRows(pane, false, options));
        EXPECT_EQ(namesOf(pane), visible);
    }
}

// A real Trash in a scratch home: files and whole folders land in Trash/files with their
// .trashinfo; a row the Trash cannot take is deleted only when the user says so.
struct TrashTest : ::testing::Test, test::PaneFixture {
    QTemporaryDir home;
    QByteArray savedHome = qgetenv("HOME");
    QByteArray savedData = qgetenv("XDG_DATA_HOME");

    TrashTest() {
        state.options.UseTrash = 1;
        qputenv("HOME", QFile::encodeName(home.path()));
        qputenv("XDG_DATA_HOME", QFile::encodeName(home.path() + u"/data"_qs));
        QDir().mkpath(home.path() + u"/data"_qs);
    }
    ~TrashTest() override {
        qputenv("HOME", savedHome);
        if (savedData.isNull())
            qunsetenv("XDG_DATA_HOME");
        else
            qputenv("XDG_DATA_HOME", savedData);
    }
    QString trashed(const QString& name) const { return home.path() + u"/data/Trash/"_qs + name; }
};

TEST_F(TrashTest, FilesAndWholeFoldersGoToTheTrash) {
    if (QStorageInfo(home.path()) != QStorageInfo(dir.path()))
        GTEST_SKIP() << "the scratch folders are on different file systems";
    touch(u"note.txt"_qs, "keep me");
    mkdir(u"full/inner"_qs);
    QFile(path(u"full/inner/x"_qs)).open(QIODevice::WriteOnly);
    ASSERT_TRUE(ListLocalDirectory(state, messages, system));
    port.deletes = {DeleteAnswer::YesToAll};
    EXPECT_EQ(DeleteLocalFiles(context, system, {row(u"note.txt"_qs), row(u"full"_qs)}), 2);

    ASSERT_EQ(port.deleteRequests.size(), 1u);
    EXPECT_EQ(port.deleteRequests[0].caption, u" Move Local Folder to Trash"_qs);
    EXPECT_EQ(port.deleteRequests[0].question,
              u"Are you sure you want to move this folder to the Trash?"_qs);
    EXPECT_EQ(port.deleteRequests[0].note, u"It can be restored from the Trash."_qs);
    EXPECT_TRUE(port.boxes().empty()); // a full folder goes whole, without the count question
    EXPECT_FALSE(QFile::exists(path(u"note.txt"_qs)));
    EXPECT_FALSE(QFile::exists(path(u"full"_qs)));
    QFile kept(trashed(u"files/note.txt"_qs));
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), "keep me");
    EXPECT_TRUE(QFile::exists(trashed(u"files/full/inner/x"_qs)));
    QFile info(trashed(u"info/full.trashinfo"_qs));
    ASSERT_TRUE(info.open(QIODevice::ReadOnly));
    EXPECT_TRUE(info.readAll().contains("Path=" + QFile::encodeName(path(u"full"_qs))));
    EXPECT_TRUE(QFile::exists(trashed(u"info/note.txt.trashinfo"_qs)));
    EXPECT_TRUE(port.log().contains(u"Moved to the Trash: "_qs + path(u"note.txt"_qs)));
}

TEST_F(TrashTest, WhatTheTrashCannotTakeIsDeletedOnlyOnYes) {
    // A name that is not UTF-8 cannot be written into a .trashinfo.
    const QByteArray odd = QFile::encodeName(dir.path()) + "/r\xe9sum\xe9";
    ::close(::open(odd.constData(), O_CREAT | O_WRONLY, 0644));
    struct stat st {};
    for (const bool yes : {false, true}) {
        port.clear();
        ASSERT_TRUE(ListLocalDirectory(state, messages, system));
        const int index = state.local.count() - 1;
        ASSERT_TRUE(state.local.entries[std::size_t(index)].name.startsWith(u"r"));
        port.deletes = {DeleteAnswer::Yes};
        port.answerBoxes({yes});
        EXPECT_EQ(DeleteLocalFiles(context, system, {index}), yes ? 1 : 0);
        ASSERT_EQ(port.boxes().size(), 1u);
        EXPECT_EQ(port.boxes()[0].caption, u" Move Local File to Trash"_qs);
        EXPECT_TRUE(port.boxes()[0].text.contains(u"cannot be moved to the Trash"_qs));
        EXPECT_EQ(::lstat(odd.constData(), &st) == 0, !yes);
    }
}

} // namespace

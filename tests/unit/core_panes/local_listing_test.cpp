#include "pane_test_support.h"

#include "core/panes/entry_format.h"
#include "core/panes/local_listing.h"
#include "core/panes/local_paths.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace tw;

namespace {

struct ListingTest : ::testing::Test, test::PaneFixture {
    bool list() { return ListLocalDirectory(state, messages, system); }
};

} // namespace

TEST_F(ListingTest, ListsHiddenFilesAndParentButNotDot) {
    touch(u"visible.txt"_qs);
    touch(u".hidden"_qs);
    mkdir(u"sub"_qs);
    ASSERT_TRUE(list());
    EXPECT_EQ(names(), (QStringList{u".."_qs, u"sub"_qs, u".hidden"_qs, u"visible.txt"_qs}));
    EXPECT_TRUE(state.local.hasListing);
    EXPECT_EQ(state.local.label, u"Local: "_qs + dir.path());
    EXPECT_EQ(state.local.headers[0], u"File Name *"_qs);
    EXPECT_EQ(port.count(u"refresh: local"_qs), 1);
    const FileEntry& sub = state.local.entries[std::size_t(row(u"sub"_qs))];
    EXPECT_TRUE(sub.isFolder);
    EXPECT_EQ(sub.icon, int(PaneIcon::Folder));
    EXPECT_EQ(state.local.entries[std::size_t(row(u".hidden"_qs))].findData.attributes &
                  kAttrHidden,
              kAttrHidden);
}

TEST_F(ListingTest, RowsCarrySizeAndDate) {
    touch(u"data.bin"_qs, QByteArray(1234, 'x'));
    ASSERT_TRUE(list());
    const FileEntry& e = state.local.entries[std::size_t(row(u"data.bin"_qs))];
    EXPECT_EQ(e.size, 1234u);
    EXPECT_EQ(e.sizeText(), u"1234"_qs);
    EXPECT_EQ(e.dateText().size(), 22);
    EXPECT_NE(e.findData.lastWriteTime, 0);
}

TEST_F(ListingTest, MaskUsesWindowsRulesAndFiltersFoldersToo) {
    touch(u"a.txt"_qs);
    touch(u"B.TXT"_qs);
    touch(u"c.text"_qs);
    mkdir(u"notes.txt"_qs);
    mkdir(u"other"_qs);
    state.local.mask = u"*.txt"_qs;
    ASSERT_TRUE(list());
    // ".." does not match the mask, so there is no parent row.
    EXPECT_EQ(names(), (QStringList{u"notes.txt"_qs, u"a.txt"_qs, u"B.TXT"_qs}));
    // "?" takes the first period of "..", ".*" the empty rest: the parent row matches.
    state.local.mask = u"?.*"_qs;
    ASSERT_TRUE(list());
    EXPECT_EQ(names(), (QStringList{u".."_qs, u"a.txt"_qs, u"B.TXT"_qs, u"c.text"_qs}));
    state.local.mask = u"*.*"_qs;
    ASSERT_TRUE(list());
    EXPECT_EQ(row(u".."_qs), 0);
}

TEST_F(ListingTest, ExcludeListHidesFilesAndFolders) {
    touch(u"keep.txt"_qs);
    touch(u"drop.tmp"_qs);
    mkdir(u"old.TMP"_qs);
    state.local.exclude = u".tmp"_qs;
    ASSERT_TRUE(list());
    EXPECT_EQ(names(), (QStringList{u".."_qs, u"keep.txt"_qs}));
}

TEST_F(ListingTest, NothingFoundEmptiesThePaneAndTheView) {
    touch(u"a.txt"_qs);
    ASSERT_TRUE(list());
    state.local.mask = u"*.none"_qs;
    port.clear();
    EXPECT_FALSE(list());
    EXPECT_TRUE(state.local.entries.empty());
    EXPECT_FALSE(state.local.hasListing);
    // The view is told, so it cannot keep showing the released rows.
    EXPECT_EQ(port.events(), QStringList{u"refresh: local"_qs});
}

TEST_F(ListingTest, HostileNamesAreListedAndReachable) {
    const QByteArray folder = QFile::encodeName(dir.path());
    const QByteArray latin1 = folder + "/caf\xe9.txt"; // not UTF-8
    ::close(::open(latin1.constData(), O_CREAT | O_WRONLY, 0644));
    touch(u"line\nbreak"_qs);
    touch(u"100% sure %s"_qs);
    touch(u"  leading"_qs);
    ASSERT_TRUE(list());
    EXPECT_GE(row(u"line\nbreak"_qs), 0);
    EXPECT_GE(row(u"100% sure %s"_qs), 0);
    EXPECT_GE(row(u"  leading"_qs), 0);
    const FileEntry* odd = nullptr;
    for (const auto& e : state.local.entries)
        if (e.name.startsWith(u"caf"))
            odd = &e;
    ASSERT_NE(odd, nullptr);
    // The raw bytes are kept so that the file can still be reached.
    EXPECT_EQ(LocalEntryBytes(state.local, *odd), latin1);
    struct stat st {};
    EXPECT_EQ(::stat(LocalEntryBytes(state.local, *odd).constData(), &st), 0);
}

TEST_F(ListingTest, LinkLoopsAndDanglingLinksAreListedAsFiles) {
    ASSERT_EQ(::symlink("loop", QFile::encodeName(path(u"loop"_qs)).constData()), 0);
    ASSERT_EQ(::symlink("missing", QFile::encodeName(path(u"dangling"_qs)).constData()), 0);
    mkdir(u"real"_qs);
    ASSERT_EQ(::symlink("real", QFile::encodeName(path(u"tolink"_qs)).constData()), 0);
    ASSERT_TRUE(list());
    ASSERT_GE(row(u"loop"_qs), 0);
    ASSERT_GE(row(u"dangling"_qs), 0);
    EXPECT_FALSE(state.local.entries[std::size_t(row(u"loop"_qs))].isFolder);
    EXPECT_FALSE(state.local.entries[std::size_t(row(u"dangling"_qs))].isFolder);
    EXPECT_TRUE(state.local.entries[std::size_t(row(u"tolink"_qs))].isFolder);
}

TEST_F(ListingTest, VanishedFolderIsReportedAndLeavesAnEmptyPane) {
    mkdir(u"gone"_qs);
    state.local.path = path(u"gone"_qs);
    ASSERT_TRUE(list());
    ASSERT_TRUE(QDir(path(u"gone"_qs)).removeRecursively());
    port.clear();
    EXPECT_FALSE(list());
    EXPECT_TRUE(state.local.entries.empty());
    ASSERT_EQ(port.log().size(), 1);
    EXPECT_TRUE(port.log()[0].startsWith(u"Error: FindFirstFile (2) "_qs))
        << port.log()[0].toStdString();
}

TEST_F(ListingTest, UnreadableFolderIsReported) {
    if (::geteuid() == 0)
        GTEST_SKIP() << "permissions do not apply to root";
    mkdir(u"locked"_qs);
    ::chmod(QFile::encodeName(path(u"locked"_qs)).constData(), 0);
    state.local.path = path(u"locked"_qs);
    EXPECT_FALSE(list());
    ::chmod(QFile::encodeName(path(u"locked"_qs)).constData(), 0755);
    ASSERT_EQ(port.log().size(), 1);
    EXPECT_TRUE(port.log()[0].contains(u"(13)"_qs));
}

TEST_F(ListingTest, RootListsOtherVolumesAsDrivesWithoutParent) {
    system.mounts = {u"/mnt/a"_qs, u"/srv/b"_qs};
    state.local.path = u"/"_qs;
    ASSERT_TRUE(list());
    EXPECT_EQ(row(u".."_qs), -1);
    EXPECT_EQ(row(u"."_qs), -1);
    // Drives come first (DrivesLast off), before the root's folders.
    EXPECT_EQ(state.local.entries[0].name, u"/mnt/a"_qs);
    EXPECT_EQ(state.local.entries[1].name, u"/srv/b"_qs);
    EXPECT_TRUE(state.local.entries[0].isDrive);
    EXPECT_EQ(state.local.entries[0].icon, int(PaneIcon::Drive));
    EXPECT_TRUE(state.local.entries[0].sizeText().isEmpty());
    EXPECT_GE(row(u"tmp"_qs), 2);
    // Below the root there are no drive rows.
    state.local.path = dir.path();
    touch(u"x"_qs);
    ASSERT_TRUE(list());
    EXPECT_EQ(row(u"/mnt/a"_qs), -1);
}

TEST_F(ListingTest, NavigateIntoFolderUpAndToDrive) {
    mkdir(u"a/b"_qs);
    ASSERT_TRUE(QDir::setCurrent(dir.path()));
    ASSERT_TRUE(list());
    ASSERT_TRUE(NavigateLocal(state, messages, system, row(u"a"_qs)));
    EXPECT_EQ(state.local.path, path(u"a"_qs));
    EXPECT_EQ(QDir::currentPath(), path(u"a"_qs));
    ASSERT_TRUE(NavigateLocal(state, messages, system, row(u"b"_qs)));
    ASSERT_TRUE(NavigateLocal(state, messages, system, row(u".."_qs)));
    // ".." is resolved by reading the current folder back.
    EXPECT_EQ(state.local.path, path(u"a"_qs));
    EXPECT_EQ(state.local.label, u"Local: "_qs + path(u"a"_qs));

    system.mounts = {dir.path()};
    state.local.path = u"/"_qs;
    ASSERT_TRUE(list());
    ASSERT_TRUE(NavigateLocal(state, messages, system, row(dir.path())));
    EXPECT_EQ(state.local.path, dir.path());
    EXPECT_TRUE(port.log().isEmpty());
}

TEST_F(ListingTest, FailedNavigationReportsAndListsThePreviousFolder) {
    mkdir(u"a"_qs);
    ASSERT_TRUE(QDir::setCurrent(dir.path()));
    ASSERT_TRUE(list());
    const int a = row(u"a"_qs);
    ASSERT_TRUE(QDir(path(u"a"_qs)).removeRecursively());
    state.options.AlertLevel = 1;
    ASSERT_TRUE(NavigateLocal(state, messages, system, a));
    ASSERT_FALSE(port.log().isEmpty());
    EXPECT_TRUE(port.log()[0].startsWith(u"Error: SetCurrentDirectory (2) "_qs));
    EXPECT_EQ(state.local.path, dir.path());
    EXPECT_EQ(row(u"a"_qs), -1);
    EXPECT_GE(row(u".."_qs), 0);
}

TEST_F(ListingTest, RawFolderNamesSurviveNavigation) {
    const QByteArray odd = QFile::encodeName(dir.path()) + "/d\xfcr";
    ASSERT_EQ(::mkdir(odd.constData(), 0755), 0);
    ::close(::open((odd + "/inside.txt").constData(), O_CREAT | O_WRONLY, 0644));
    ASSERT_TRUE(list());
    int index = -1;
    for (int i = 0; i < state.local.count(); ++i)
        if (state.local.entries[std::size_t(i)].name.startsWith(u"d") &&
            state.local.entries[std::size_t(i)].isFolder)
            index = i;
    ASSERT_GE(index, 0);
    ASSERT_TRUE(NavigateLocal(state, messages, system, index));
    EXPECT_EQ(LocalPathBytes(state.local), odd);
    EXPECT_GE(row(u"inside.txt"_qs), 0);
}

#include "pane_test_support.h"

#include "core/panes/local_file_ops.h"
#include "core/panes/local_listing.h"
#include "core/panes/local_operations.h"
#include "core/panes/local_paths.h"
#include "core/panes/local_system.h"
#include "platform/file_manager.h"

#include <QThread>

#include "support/test_files.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace tw;

namespace {

struct LocalOpsTest : ::testing::Test, test::PaneFixture {
    QTemporaryDir target;
    LocalOpsTest() { QDir::setCurrent(dir.path()); }
    void list() { ASSERT_TRUE(ListLocalDirectory(state, messages, system)); }
    std::vector<int> rows(const QStringList& names) const {
        std::vector<int> out;
        for (const QString& n : names)
            out.push_back(row(n));
        return out;
    }
};

} // namespace

TEST_F(LocalOpsTest, ChangeDirectoryListsTheChosenFolder) {
    mkdir(u"x/y"_qs);
    list();
    port.folders = {path(u"x/y/.."_qs)};
    EXPECT_TRUE(ChangeLocalDirectory(context, system));
    EXPECT_EQ(port.folderRequests[0].title, u"Select the local folder to be listed"_qs);
    EXPECT_EQ(port.folderRequests[0].startPath, dir.path());
    EXPECT_EQ(state.local.path, path(u"x"_qs));
    EXPECT_GE(row(u"y"_qs), 0);
}

TEST_F(LocalOpsTest, ChangeDirectoryCancelChangesNothing) {
    list();
    port.clear();
    EXPECT_FALSE(ChangeLocalDirectory(context, system));
    EXPECT_EQ(state.local.path, dir.path());
    EXPECT_EQ(port.count(u"refresh: local"_qs), 0);
}

TEST(ProgramForType, FirstExactMatchIgnoringCaseElseDefault) {
    const std::vector<FileTypeAssociation> table = {{u".htm"_qs, u"browser"_qs},
                                                    {u".txt"_qs, u"first"_qs},
                                                    {u".TXT"_qs, u"second"_qs},
                                                    {u".t"_qs, u"short"_qs}};
    EXPECT_EQ(ProgramForType(table, u"editor"_qs, u".htm"_qs), u"browser"_qs);
    EXPECT_EQ(ProgramForType(table, u"editor"_qs, u".txt"_qs), u"first"_qs);
    EXPECT_EQ(ProgramForType(table, u"editor"_qs, u".tx"_qs), u"editor"_qs);
    EXPECT_EQ(ProgramForType(table, u"editor"_qs, QString()), u"editor"_qs);
}

TEST_F(LocalOpsTest, EditStartsTheTypesProgramWithThePath) {
    touch(u"Page.HTM"_qs);
    touch(u"readme"_qs);
    state.FileTypes = {{u".htm"_qs, u"browser"_qs}};
    state.DefaultEditor = u"editor"_qs;
    list();
    EXPECT_TRUE(EditLocalFile(context, system, rows({u"Page.HTM"_qs})));
    EXPECT_TRUE(EditLocalFile(context, system, rows({u"readme"_qs})));
    ASSERT_EQ(system.started.size(), 2u);
    EXPECT_EQ(system.started[0],
              std::make_pair(u"browser"_qs, QFile::encodeName(path(u"Page.HTM"_qs))));
    EXPECT_EQ(system.started[1],
              std::make_pair(u"editor"_qs, QFile::encodeName(path(u"readme"_qs))));
}

TEST_F(LocalOpsTest, EditFailureIsReportedWithTheSystemText) {
    touch(u"a.txt"_qs);
    state.DefaultEditor = u"NotePad.exe"_qs;
    system.startError = ENOENT;
    state.options.AlertLevel = 1;
    list();
    EXPECT_FALSE(EditLocalFile(context, system, rows({u"a.txt"_qs})));
    ASSERT_EQ(port.log().size(), 1);
    EXPECT_EQ(port.log()[0], u"Error: ShellExecute (2) No such file or directory"_qs);
    EXPECT_EQ(port.count(u"beep"_qs), 0); // no alert for this one
}

TEST_F(LocalOpsTest, NothingSelectedBeepsForEveryRowCommand) {
    touch(u"a"_qs);
    list();
    port.clear();
    EditLocalFile(context, system, {});
    ShowLocalProperties(context, system, {});
    DeleteLocalFiles(context, system, {});
    EXPECT_EQ(port.count(u"beep"_qs), 3);
    EXPECT_TRUE(system.started.empty());
    EXPECT_TRUE(system.propertiesShown.isEmpty());
    EXPECT_TRUE(port.deleteRequests.empty());
}

TEST_F(LocalOpsTest, DoubleClickOpensFoldersAndEditsFiles) {
    mkdir(u"sub"_qs);
    touch(u"f.txt"_qs);
    state.DefaultEditor = u"ed"_qs;
    list();
    ActivateLocalRow(context, system, row(u"f.txt"_qs));
    EXPECT_EQ(system.started.size(), 1u);
    ActivateLocalRow(context, system, -1);
    ActivateLocalRow(context, system, row(u"sub"_qs));
    EXPECT_EQ(state.local.path, path(u"sub"_qs));
}

TEST_F(LocalOpsTest, PropertiesGoToTheFileManagerFirst) {
    touch(u"a.txt"_qs, "12345");
    list();
    system.fileManagerAnswers = true;
    EXPECT_TRUE(ShowLocalProperties(context, system, rows({u"a.txt"_qs})));
    EXPECT_EQ(system.propertiesShown, QByteArrayList{QFile::encodeName(path(u"a.txt"_qs))});
    EXPECT_TRUE(port.properties.empty());
}

// A name that is not UTF-8 reaches the program and the file manager byte for byte: the
// program (a real one) copies the very file it was given, and the file manager is given the
// path of the file on disk.
TEST_F(LocalOpsTest, EditAndPropertiesReachAFileWhoseNameIsNotUtf8) {
    const QByteArray name("caf\xe9 \xff.txt");
    const QByteArray file = QFile::encodeName(dir.path()) + '/' + name;
    const int fd = ::open(file.constData(), O_WRONLY | O_CREAT | O_EXCL, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd, "raw", 3), 3);
    ::close(fd);
    const QString copy = path(u"copied"_qs);
    touch(u"copy.sh"_qs, "#!/bin/sh\ncp \"$1\" \"" + QFile::encodeName(copy) + "\"\n");
    QFile::setPermissions(path(u"copy.sh"_qs), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    state.DefaultEditor = path(u"copy.sh"_qs);
    list();
    int row = -1;
    for (int i = 0; i < state.local.count(); ++i)
        if (EntryNameBytes(state.local.entries[std::size_t(i)]) == name)
            row = i;
    ASSERT_GE(row, 0);

    DesktopLocalSystem desktop;
    EXPECT_TRUE(EditLocalFile(context, desktop, {row}));
    for (int i = 0; i < 200 && test::ReadFile(copy) != "raw"; ++i)
        QThread::msleep(10);
    EXPECT_EQ(test::ReadFile(copy), "raw");

    EXPECT_TRUE(ShowLocalProperties(context, system, {row}));
    ASSERT_EQ(system.propertiesShown.size(), 1);
    EXPECT_EQ(system.propertiesShown[0], file);
    EXPECT_EQ(
        QByteArray::fromPercentEncoding(platform::FileManager::ItemUrl(file).mid(7).toLatin1()),
        file);
}

TEST_F(LocalOpsTest, PropertiesFallBackToOurDialogWithTheRowsData) {
    touch(u"a.txt"_qs, QByteArray(1536, 'z'));
    ::chmod(QFile::encodeName(path(u"a.txt"_qs)).constData(), 0444);
    list();
    EXPECT_TRUE(ShowLocalProperties(context, system, rows({u"a.txt"_qs})));
    ASSERT_EQ(port.properties.size(), 1u);
    const PropertiesData& p = port.properties[0];
    EXPECT_EQ(p.name, u"a.txt"_qs);
    EXPECT_EQ(p.location, dir.path());
    EXPECT_TRUE(p.site.isEmpty());
    EXPECT_EQ(p.sizeText, u"1.50 K (1536 Bytes)"_qs);
    EXPECT_NE(p.modified, u"Unknown"_qs);
    EXPECT_EQ(p.attributes & kAttrReadOnly, kAttrReadOnly);
    EXPECT_TRUE(port.events().contains(
        u"status: Display file system properties for the currently selected item"_qs));
}

TEST_F(LocalOpsTest, MoveNeverOverwritesAndGoesOnWithTheNextRow) {
    touch(u"a.txt"_qs, "mine");
    touch(u"b.txt"_qs, "bee");
    QFile existing(target.path() + u"/a.txt"_qs);
    existing.open(QIODevice::WriteOnly);
    existing.write("theirs");
    existing.close();
    list();
    port.folders = {target.path()};
    EXPECT_EQ(MoveLocalFiles(context, system, rows({u"a.txt"_qs, u"b.txt"_qs})), 1);
    EXPECT_EQ(test::ReadFile(target.path() + u"/a.txt"_qs), "theirs");
    EXPECT_EQ(test::ReadFile(path(u"a.txt"_qs)), "mine");
    EXPECT_EQ(test::ReadFile(target.path() + u"/b.txt"_qs), "bee");
    ASSERT_EQ(port.boxes().size(), 1u);
    EXPECT_EQ(port.boxes()[0].caption, u" Move File"_qs);
    EXPECT_TRUE(port.boxes()[0].text.startsWith(u"File: a.txt"_qs));
    EXPECT_TRUE(port.log()[0].startsWith(u"Error: MoveFile (17) "_qs));
    EXPECT_EQ(row(u"b.txt"_qs), -1); // listed again
}

TEST_F(LocalOpsTest, MoveWithNothingSelectedAsksButMovesNothing) {
    touch(u"a.txt"_qs);
    list();
    port.clear();
    port.folders = {target.path()};
    EXPECT_EQ(MoveLocalFiles(context, system, {}), 0);
    EXPECT_EQ(port.folderRequests.size(), 1u);
    EXPECT_EQ(port.count(u"refresh: local"_qs), 0);
}

TEST_F(LocalOpsTest, MoveInEmptyPaneOnlyBeeps) {
    state.local.entries.clear();
    EXPECT_EQ(MoveLocalFiles(context, system, {}), 0);
    EXPECT_EQ(port.count(u"beep"_qs), 1);
    EXPECT_TRUE(port.folderRequests.empty());
}

TEST(MoveLocalPath, AcrossFileSystemsCopiesThenRemoves) {
    if (!QFileInfo(u"/dev/shm"_qs).isWritable())
        GTEST_SKIP() << "no second file system";
    QTemporaryDir here;
    QTemporaryDir there(u"/dev/shm/tw-move-XXXXXX"_qs);
    const QString from = here.path() + u"/big.bin"_qs;
    QFile f(from);
    f.open(QIODevice::WriteOnly);
    const QByteArray data(300000, 'q');
    f.write(data);
    f.close();
    const QString to = there.path() + u"/big.bin"_qs;
    EXPECT_EQ(MoveLocalPath(QFile::encodeName(from), QFile::encodeName(to)), 0);
    EXPECT_FALSE(QFile::exists(from));
    EXPECT_EQ(test::ReadFile(to), data);
    // A second move onto the now existing name fails and keeps both files.
    QFile again(from);
    again.open(QIODevice::WriteOnly);
    again.write("new");
    again.close();
    EXPECT_EQ(MoveLocalPath(QFile::encodeName(from), QFile::encodeName(to)), EEXIST);
    EXPECT_EQ(test::ReadFile(to), data);
    EXPECT_EQ(test::ReadFile(from), "new");
    // Folders do not leave their file system.
    QDir(here.path()).mkdir(u"d"_qs);
    EXPECT_EQ(MoveLocalPath(QFile::encodeName(here.path() + u"/d"_qs),
                            QFile::encodeName(there.path() + u"/d"_qs)),
              EXDEV);
    EXPECT_TRUE(QFileInfo(here.path() + u"/d"_qs).isDir());
}

// A folder with files in it is deleted after one question with its counts; links inside are
// unlinked, never followed, so what they point to outside survives. An empty folder needs no
// second question.
TEST_F(LocalOpsTest, AFullFolderIsDeletedAfterOneQuestionAndLinksAreNeverFollowed) {
    const QString tree = path(u"site"_qs);
    QDir().mkpath(tree + u"/css/deep"_qs);
    QDir().mkpath(path(u"empty"_qs));
    touch(u"site/index.html"_qs, "i");
    touch(u"site/css/deep/a.css"_qs, "a");
    QDir().mkpath(target.path() + u"/outside"_qs);
    QFile keep(target.path() + u"/outside/keep.txt"_qs);
    ASSERT_TRUE(keep.open(QIODevice::WriteOnly));
    keep.write("keep");
    keep.close();
    ASSERT_EQ(::symlink(QFile::encodeName(target.path() + u"/outside"_qs).constData(),
                        QFile::encodeName(tree + u"/css/outside-link"_qs).constData()),
              0);
    list();

    for (const bool yes : {false, true}) {
        port.clear();
        port.deletes = {DeleteAnswer::Yes};
        port.answerBoxes({yes});
        EXPECT_EQ(DeleteLocalFiles(context, system, rows({u"site"_qs})), yes ? 1 : 0);
        ASSERT_EQ(port.boxes().size(), 1u);
        EXPECT_EQ(port.boxes()[0].text, u"Delete 'site' with 3 files in 2 folders?"_qs);
        EXPECT_EQ(QFileInfo::exists(tree), !yes);
    }
    EXPECT_TRUE(port.log().contains(u"3 files and 3 folders deleted"_qs));
    EXPECT_EQ(test::ReadFile(target.path() + u"/outside/keep.txt"_qs), "keep");

    port.clear();
    port.deletes = {DeleteAnswer::Yes};
    EXPECT_EQ(DeleteLocalFiles(context, system, rows({u"empty"_qs})), 1);
    EXPECT_TRUE(port.boxes().empty());
    EXPECT_FALSE(QFileInfo::exists(path(u"empty"_qs)));
}

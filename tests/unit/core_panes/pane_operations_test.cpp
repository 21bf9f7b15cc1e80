#include "pane_test_support.h"

#include "core/panes/local_listing.h"
#include "core/panes/local_operations.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

using namespace tw;

namespace {

struct OperationsTest : ::testing::Test, test::PaneFixture {
    OperationsTest() { QDir::setCurrent(dir.path()); }
    void list() { ASSERT_TRUE(ListLocalDirectory(state, messages, system)); }
    std::vector<int> rows(const QStringList& names) const {
        std::vector<int> out;
        for (const QString& n : names)
            out.push_back(row(n));
        return out;
    }
    QString content(const QString& name) const {
        QFile f(path(name));
        f.open(QIODevice::ReadOnly);
        return QString::fromUtf8(f.readAll());
    }
};

} // namespace

TEST_F(OperationsTest, MakeDirectoryAsksAgainUntilTheNameIsValid) {
    list();
    port.names = {u""_qs, u"a/b"_qs, u"new dir"_qs};
    EXPECT_TRUE(MakeLocalDirectory(context, system));
    EXPECT_TRUE(QFileInfo(path(u"new dir"_qs)).isDir());
    const auto boxes = port.boxes();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].caption, u" Make Local Directory"_qs);
    EXPECT_TRUE(boxes[0].text.contains(u"Missing directory name."_qs));
    EXPECT_TRUE(boxes[1].text.contains(u"Invalid character in directory name."_qs));
    EXPECT_TRUE(boxes[1].text.endsWith(u"\\/?*|<>:\""_qs));
    // The second and third asks keep the typed text and select it.
    ASSERT_EQ(port.nameRequests.size(), 3u);
    EXPECT_FALSE(port.nameRequests[0].retry);
    EXPECT_EQ(port.nameRequests[0].folder, dir.path());
    EXPECT_TRUE(port.nameRequests[2].retry);
    EXPECT_EQ(port.nameRequests[2].text, u"a/b"_qs);
    EXPECT_EQ(port.count(u"endName: ok"_qs), 1);
    EXPECT_GE(row(u"new dir"_qs), 0); // listed again
    EXPECT_TRUE(port.events().contains(u"status: Create a new local directory"_qs));
}

TEST_F(OperationsTest, MakeDirectoryFailureShowsTheErrorAndKeepsAsking) {
    mkdir(u"taken"_qs);
    list();
    port.names = {u"taken"_qs, std::nullopt};
    EXPECT_FALSE(MakeLocalDirectory(context, system));
    ASSERT_EQ(port.log().size(), 1);
    EXPECT_TRUE(port.log()[0].startsWith(u"Error: CreateDirectory (17) File exists"_qs));
    ASSERT_EQ(port.boxes().size(), 1u);
    EXPECT_TRUE(port.boxes()[0].text.contains(u"ERROR: File exists"_qs));
    EXPECT_EQ(port.nameRequests.size(), 2u);
    EXPECT_EQ(port.count(u"endName: cancel"_qs), 1);
    EXPECT_EQ(port.count(u"refresh: local"_qs), 1); // only the first listing
}

TEST_F(OperationsTest, RenameNeverReplacesAnExistingFile) {
    touch(u"a.txt"_qs, "first");
    touch(u"b.txt"_qs, "second");
    list();
    port.names = {u"b.txt"_qs, u"c?.txt"_qs, u"c.txt"_qs};
    EXPECT_TRUE(RenameLocalEntry(context, system, rows({u"a.txt"_qs})));
    EXPECT_EQ(content(u"b.txt"_qs), u"second"_qs);
    EXPECT_EQ(content(u"c.txt"_qs), u"first"_qs);
    EXPECT_FALSE(QFile::exists(path(u"a.txt"_qs)));
    ASSERT_EQ(port.boxes().size(), 2u);
    EXPECT_EQ(port.boxes()[0].caption, u" Rename Local File"_qs);
    EXPECT_TRUE(port.boxes()[0].text.contains(u"Error detected renaming file."_qs));
    EXPECT_TRUE(port.boxes()[1].text.contains(u"Invalid character in file name."_qs));
    EXPECT_TRUE(port.log()[0].startsWith(u"Error: MoveFile (17) "_qs));
    EXPECT_EQ(port.nameRequests[0].currentName, u"a.txt"_qs);
    EXPECT_EQ(port.nameRequests[0].text, u"a.txt"_qs); // the field starts from the name
    EXPECT_EQ(port.nameRequests[0].type, u".txt"_qs);
    EXPECT_GE(row(u"c.txt"_qs), 0);
}

TEST_F(OperationsTest, RenameWithNothingSelectedOnlyBeeps) {
    touch(u"a.txt"_qs);
    list();
    port.clear();
    EXPECT_FALSE(RenameLocalEntry(context, system, {}));
    EXPECT_EQ(port.events(),
              (QStringList{u"status: Rename the currently selected file"_qs, u"beep"_qs}));
    EXPECT_TRUE(port.nameRequests.empty());
}

TEST_F(OperationsTest, DeleteYesToAllRemovesEveryRowWithoutMoreQuestions) {
    touch(u"1"_qs);
    touch(u"2"_qs);
    touch(u"3"_qs);
    list();
    port.deletes = {DeleteAnswer::YesToAll};
    EXPECT_EQ(DeleteLocalFiles(context, system, rows({u"1"_qs, u"2"_qs, u"3"_qs})), 3);
    EXPECT_EQ(port.deleteRequests.size(), 1u);
    EXPECT_TRUE(port.deleteRequests[0].multiple);
    EXPECT_EQ(port.deleteRequests[0].caption, u" Delete Local File"_qs);
    EXPECT_EQ(port.deleteRequests[0].question, u"Are you sure you want to delete this file?"_qs);
    EXPECT_EQ(names(), QStringList{u".."_qs});
}

TEST_F(OperationsTest, DeleteNoSkipsAndCancelStopsButKeepsEarlierDeletions) {
    touch(u"1"_qs);
    touch(u"2"_qs);
    touch(u"3"_qs);
    list();
    port.deletes = {DeleteAnswer::No, DeleteAnswer::Yes, DeleteAnswer::Cancel};
    EXPECT_EQ(DeleteLocalFiles(context, system, rows({u"3"_qs, u"1"_qs, u"2"_qs})), 1);
    // Asked in row order: 1 (No), 2 (Yes), 3 (Cancel).
    ASSERT_EQ(port.deleteRequests.size(), 3u);
    EXPECT_EQ(port.deleteRequests[0].name, u"1"_qs);
    EXPECT_TRUE(QFile::exists(path(u"1"_qs)));
    EXPECT_FALSE(QFile::exists(path(u"2"_qs)));
    EXPECT_TRUE(QFile::exists(path(u"3"_qs)));
    EXPECT_EQ(port.count(u"refresh: local"_qs), 2); // refreshed after the deletion
}

// A folder that holds something is asked about once more, with its counts; No keeps it and
// the next rows are still deleted, without a listing when nothing went.
TEST_F(OperationsTest, AFullFolderIsAskedAboutAgainAndNoKeepsIt) {
    mkdir(u"full/inner"_qs);
    mkdir(u"empty"_qs);
    touch(u"zfile"_qs);
    list();
    port.clear();
    port.deletes = {DeleteAnswer::Yes, DeleteAnswer::Yes, DeleteAnswer::Yes};
    port.answerBoxes({false});
    EXPECT_EQ(DeleteLocalFiles(context, system, rows({u"empty"_qs, u"full"_qs, u"zfile"_qs})), 2);
    EXPECT_TRUE(QFileInfo(path(u"full/inner"_qs)).isDir());
    EXPECT_FALSE(QFileInfo::exists(path(u"empty"_qs)));
    EXPECT_FALSE(QFileInfo::exists(path(u"zfile"_qs)));
    ASSERT_EQ(port.boxes().size(), 1u);
    EXPECT_EQ(port.boxes()[0].caption, u" Delete Local Folder"_qs);
    EXPECT_EQ(port.boxes()[0].text, u"Delete 'full' with 0 files in 1 folder?"_qs);
    EXPECT_FALSE(port.boxes()[0].defaultYes);
    EXPECT_EQ(port.deleteRequests[1].caption, u" Delete Local Folder"_qs);
    EXPECT_EQ(port.deleteRequests[1].kindLabel, u"Folder"_qs);

    port.clear();
    port.deletes = {DeleteAnswer::Yes};
    port.answerBoxes({false});
    EXPECT_EQ(DeleteLocalFiles(context, system, rows({u"full"_qs})), 0);
    EXPECT_EQ(port.count(u"refresh: local"_qs), 0);
}

TEST_F(OperationsTest, DeletingALinkToAFolderKeepsTheFolder) {
    mkdir(u"target"_qs);
    touch(u"target/precious"_qs);
    ASSERT_EQ(::symlink("target", QFile::encodeName(path(u"link"_qs)).constData()), 0);
    list();
    port.deletes = {DeleteAnswer::Yes};
    EXPECT_EQ(DeleteLocalFiles(context, system, rows({u"link"_qs})), 1);
    EXPECT_TRUE(QFile::exists(path(u"target/precious"_qs)));
    EXPECT_FALSE(QFileInfo(path(u"link"_qs)).isSymLink());
}

TEST_F(OperationsTest, DeleteReachesNamesThatAreNotUtf8) {
    const QByteArray odd = QFile::encodeName(dir.path()) + "/r\xe9sum\xe9";
    ::close(::open(odd.constData(), O_CREAT | O_WRONLY, 0644));
    list();
    int index = -1;
    for (int i = 0; i < state.local.count(); ++i)
        if (state.local.entries[std::size_t(i)].name.startsWith(u"r"))
            index = i;
    ASSERT_GE(index, 0);
    port.deletes = {DeleteAnswer::Yes};
    EXPECT_EQ(DeleteLocalFiles(context, system, {index}), 1);
    struct stat st {};
    EXPECT_NE(::lstat(odd.constData(), &st), 0);
}

#include "core/dnd/drop_plan.h"
#include "core/dnd/local_copy.h"
#include "core/dnd/uri_list.h"
#include "support/test_files.h"

#include <QSysInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <future>

using namespace tw;
namespace fs = std::filesystem;

namespace {

QByteArray b(const char* text) {
    return QByteArray(text);
}

TEST(UriList, ReadsLocalFilesAndRefusesOtherPlaces) {
    struct Case {
        QByteArray data;
        std::vector<QByteArray> paths;
        int refused;
    };
    const Case cases[] = {
        {"file:///home/u/a.txt\r\nfile:///home/u/My%20Folder/\r\n",
         {b("/home/u/a.txt"), b("/home/u/My Folder")},
         0},
        // A Latin-1 name stays bytes; LF lines and comments are read too.
        {"# copied\nfile:///tmp/caf%E9.txt\n", {b("/tmp/caf\xe9.txt")}, 0},
        {"file://localhost/tmp/x\r\nFILE:/tmp/y\r\n", {b("/tmp/x"), b("/tmp/y")}, 0},
        {"file://otherhost/tmp/x\r\nsftp://h/x\r\nhttps://example.org/a\r\n", {}, 3},
        // A broken escape or an escaped NUL names no file.
        {"file:///tmp/bad%zz\r\nfile:///tmp/nul%00x\r\nfile:///tmp/ok\r\n", {b("/tmp/ok")}, 2},
        {"", {}, 0},
    };
    const QByteArray own = "file://" + QSysInfo::machineHostName().toUtf8() + "/tmp/own\r\n";
    EXPECT_EQ(ParseUriList(own).paths, std::vector<QByteArray>{b("/tmp/own")});
    for (const Case& c : cases) {
        const UriList list = ParseUriList(c.data);
        EXPECT_EQ(list.paths, c.paths) << c.data.toStdString();
        EXPECT_EQ(list.refused.size(), c.refused) << c.data.toStdString();
    }
}

TEST(UriList, WritesWhatItReadsBackForAnyBytes) {
    const std::vector<QByteArray> paths = {b("/tmp/a b#c%d.txt"), b("/tmp/caf\xe9"),
                                           b("/tmp/\xe6\x97\xa5\xe6\x9c\xac"), b("/")};
    const QByteArray list = BuildUriList(paths);
    EXPECT_TRUE(list.startsWith("file:///tmp/a%20b%23c%25d.txt\r\nfile:///tmp/caf%E9\r\n"));
    EXPECT_EQ(ParseUriList(list).paths, paths);
}

TEST(DropPlan, SourceTargetAndRowGiveTheAction) {
    FileEntry folder;
    folder.name = QStringLiteral("sub");
    folder.isFolder = true;
    FileEntry parent;
    parent.name = QStringLiteral("..");
    parent.isParent = true;
    parent.isFolder = true;
    FileEntry file;
    file.name = QStringLiteral("a.txt");
    struct Case {
        DragSource source;
        PaneSide target;
        const FileEntry* row;
        bool connected;
        DropPlan plan;
    };
    using A = DropAction;
    using F = DropFolder;
    const Case cases[] = {
        {DragSource::RemotePane, PaneSide::Local, nullptr, true, {A::Download, F::Current}},
        {DragSource::RemotePane, PaneSide::Local, &folder, true, {A::Download, F::Row}},
        {DragSource::RemotePane, PaneSide::Local, &parent, true, {A::Download, F::Parent}},
        {DragSource::RemotePane, PaneSide::Local, &file, true, {A::Download, F::Current}},
        {DragSource::LocalPane, PaneSide::Remote, &folder, true, {A::Upload, F::Row}},
        {DragSource::LocalPane, PaneSide::Remote, nullptr, false, {A::NotConnected, F::Current}},
        {DragSource::Desktop, PaneSide::Remote, &parent, true, {A::UploadFiles, F::Parent}},
        {DragSource::Desktop, PaneSide::Remote, &folder, false, {A::NotConnected, F::Current}},
        {DragSource::Desktop, PaneSide::Local, &folder, false, {A::CopyFiles, F::Row}},
        {DragSource::LocalPane, PaneSide::Local, &folder, true, {A::None, F::Current}},
        {DragSource::RemotePane, PaneSide::Remote, &folder, true, {A::None, F::Current}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(PlanDrop(c.source, c.target, c.row, c.connected), c.plan)
            << int(c.source) << " " << int(c.target) << " "
            << (c.row ? c.row->name.toStdString() : "-");
    EXPECT_EQ(RemoteParentFolder("/a/b"), "/a");
    EXPECT_EQ(RemoteParentFolder("/a/"), "/");
    EXPECT_EQ(RemoteParentFolder("/"), "/");
    EXPECT_EQ(LocalParentFolder("/home/u"), "/home");
}

class LocalCopy : public testing::Test {
protected:
    fs::path root() const { return fs::path(dir.path().toStdString()); }
    QByteArray at(const fs::path& p) const {
        return QByteArray::fromStdString((root() / p).string());
    }
    QTemporaryDir dir;
};

TEST_F(LocalCopy, CopiesFoldersAndNeverReplacesAName) {
    fs::create_directories(root() / "src/tree/deep");
    std::ofstream(root() / "src/tree/deep/x.txt") << "deep";
    std::ofstream(root() / "src/tree/y.txt") << "new y";
    std::ofstream(root() / "src/one.txt") << "one";
    fs::create_symlink("one.txt", root() / "src/link");
    fs::create_directories(root() / "dst/tree");
    std::ofstream(root() / "dst/tree/y.txt") << "old y"; // exists: left alone
    const std::atomic<bool> stop{false};
    const LocalCopyOutcome out = CopyIntoFolder(
        {at("src/tree"), at("src/one.txt"), at("src/link"), at("src/missing")}, at("dst"), stop);
    EXPECT_EQ(out.copied, 3); // deep/x.txt, one.txt, link
    ASSERT_EQ(out.existing.size(), 1u);
    EXPECT_EQ(out.existing[0], at("dst/tree/y.txt"));
    ASSERT_EQ(out.failed.size(), 1u);
    EXPECT_EQ(out.failed[0].path, at("src/missing"));
    EXPECT_EQ(out.failed[0].error, ENOENT);
    EXPECT_EQ(test::ReadFile(QString::fromStdString((root() / "dst/tree/y.txt").string())),
              "old y");
    EXPECT_EQ(test::ReadFile(QString::fromStdString((root() / "dst/tree/deep/x.txt").string())),
              "deep");
    EXPECT_TRUE(fs::is_symlink(root() / "dst/link"));
    EXPECT_EQ(fs::last_write_time(root() / "dst/one.txt"),
              fs::last_write_time(root() / "src/one.txt"));
    // Dropped again onto the folder it came from, a file names itself: reported, not copied.
    const LocalCopyOutcome again = CopyIntoFolder({at("src/one.txt")}, at("src"), stop);
    EXPECT_EQ(again.copied, 0);
    EXPECT_EQ(again.existing.size(), 1u);
    EXPECT_EQ(test::ReadFile(QString::fromStdString((root() / "src/one.txt").string())), "one");
}

TEST_F(LocalCopy, AFolderNeverGoesIntoItself) {
    fs::create_directories(root() / "a/b/c");
    fs::create_directories(root() / "ab");
    fs::create_symlink(root() / "a/b", root() / "viaLink");
    struct Case {
        const char* source;
        const char* folder;
        bool refused;
    };
    const Case cases[] = {
        {"a", "a", true},   {"a", "a/b/c", true}, {"a/b", "viaLink", true},
        {"a", "ab", false}, {"a/b", "a", false},  {"ab", ".", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FolderIntoItself({at(c.source)}, at(c.folder)).has_value(), c.refused)
            << c.source << " into " << c.folder;
}

TEST_F(LocalCopy, JobRunsOnItsOwnThreadAndReportsItsEnd) {
    fs::create_directories(root() / "many");
    for (int i = 0; i < 2000; ++i) {
        std::string name = "f";
        name += std::to_string(i);
        std::ofstream(root() / "many" / name) << i;
    }
    fs::create_directories(root() / "dst");
    LocalCopyJob job;
    std::promise<LocalCopyOutcome> done;
    ASSERT_TRUE(job.start({at("many")}, at("dst"),
                          [&](LocalCopyOutcome out) { done.set_value(std::move(out)); }));
    const LocalCopyOutcome out = done.get_future().get();
    job.wait();
    EXPECT_EQ(out.copied, 2000);
    EXPECT_FALSE(job.running());
    EXPECT_EQ(test::ReadFile(QString::fromStdString((root() / "dst/many/f1999").string())), "1999");
}

} // namespace

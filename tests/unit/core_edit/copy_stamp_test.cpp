#include "core/edit/copy_stamp.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>

using namespace tw;
namespace fs = std::filesystem;

namespace {

// A save as an editor makes it, and whether the content then differs from "draft one".
struct Save {
    const char* what;
    std::function<void(const std::string& path)> save;
    bool exists;
    bool contentChanged;
};

void WriteInPlace(const std::string& path, const char* text) {
    std::ofstream(path, std::ios::trunc) << text;
}

void WriteAndRename(const std::string& path, const char* text) {
    std::ofstream(path + ".new") << text;
    fs::rename(path + ".new", path);
}

} // namespace

TEST(CopyStamp, TellsAChangedContentFromASaveOfTheSameText) {
    const Save saves[] = {
        {"same text written in place", [](auto& p) { WriteInPlace(p, "draft one"); }, true, false},
        {"same text renamed over it", [](auto& p) { WriteAndRename(p, "draft one"); }, true, false},
        {"new text of the same size renamed over it",
         [](auto& p) { WriteAndRename(p, "draft two"); }, true, true},
        {"emptied", [](auto& p) { WriteInPlace(p, ""); }, true, true},
        {"deleted", [](auto& p) { fs::remove(p); }, false, true},
    };
    for (const Save& s : saves) {
        const QTemporaryDir dir;
        const std::string path = dir.path().toStdString() + "/notes.txt";
        WriteInPlace(path, "draft one");
        const QByteArray bytes = QFile::encodeName(QString::fromStdString(path));
        const CopyStamp before = ReadCopyStamp(bytes);
        ASSERT_EQ(before.sha256.size(), 32) << s.what;
        s.save(path);
        const CopyStamp after = ReadCopyStamp(bytes, before);
        EXPECT_EQ(after.exists, s.exists) << s.what;
        EXPECT_EQ(after.sha256 != before.sha256, s.contentChanged) << s.what;
        // A second look at an untouched file finds the same stamp.
        const CopyStamp again = ReadCopyStamp(bytes, after);
        EXPECT_TRUE(again.sameMetadata(after) && again.sha256 == after.sha256) << s.what;
    }
}

#include "core/panes/path_history.h"
#include "core/panes/row_filter.h"
#include "core/settings/settings_store.h"
#include "core/state/app_state.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace tw;

namespace {

std::vector<FileEntry> rows(std::initializer_list<const char16_t*> names) {
    std::vector<FileEntry> out;
    FileEntry parent;
    parent.name = u".."_qs;
    parent.isParent = true;
    out.push_back(parent);
    for (const char16_t* name : names) {
        FileEntry e;
        e.name = QString::fromUtf16(name);
        out.push_back(e);
    }
    return out;
}

QStringList shown(const std::vector<FileEntry>& entries, const FilteredRows& r) {
    QStringList names;
    for (std::size_t i = 0; i < entries.size(); ++i)
        if (r.visible[i])
            names << entries[i].name;
    return names;
}

struct FilterCase {
    const char16_t* text;
    QStringList expected; // ".." is always first
    bool noMatch;
};

TEST(RowFilter, NarrowsByNameWithWildcardsAndCaseIgnored) {
    const auto entries =
        rows({u"Readme.TXT", u"notes.txt", u"photo.jpeg", u"src", u"ÄRGER.md", u"a.b.c", u"txt"});
    const FilterCase cases[] = {
        {u"",
         {u".."_qs, u"Readme.TXT"_qs, u"notes.txt"_qs, u"photo.jpeg"_qs, u"src"_qs, u"ÄRGER.md"_qs,
          u"a.b.c"_qs, u"txt"_qs},
         false},
        {u"  ",
         {u".."_qs, u"Readme.TXT"_qs, u"notes.txt"_qs, u"photo.jpeg"_qs, u"src"_qs, u"ÄRGER.md"_qs,
          u"a.b.c"_qs, u"txt"_qs},
         false},
        // Plain text: contained anywhere, any case.
        {u"TXT", {u".."_qs, u"Readme.TXT"_qs, u"notes.txt"_qs, u"txt"_qs}, false},
        {u"ärger", {u".."_qs, u"ÄRGER.md"_qs}, false},
        // Wildcards: the whole name.
        {u"*.txt", {u".."_qs, u"Readme.TXT"_qs, u"notes.txt"_qs}, false},
        {u"?otes*", {u".."_qs, u"notes.txt"_qs}, false},
        {u"*.JPE?", {u".."_qs, u"photo.jpeg"_qs}, false},
        {u"ä*", {u".."_qs, u"ÄRGER.md"_qs}, false},
        {u"s?c", {u".."_qs, u"src"_qs}, false},
        {u"*.*",
         {u".."_qs, u"Readme.TXT"_qs, u"notes.txt"_qs, u"photo.jpeg"_qs, u"src"_qs, u"ÄRGER.md"_qs,
          u"a.b.c"_qs, u"txt"_qs},
         false},
        // Nothing matches: ".." stays, and the note is due.
        {u"zebra", {u".."_qs}, true},
        {u"*.pdf", {u".."_qs}, true},
        {u"..", {u".."_qs}, true},
    };
    for (const FilterCase& c : cases) {
        const FilteredRows r = FilterRows(entries, QString::fromUtf16(c.text));
        ASSERT_EQ(r.visible.size(), entries.size());
        EXPECT_EQ(shown(entries, r), c.expected) << QString::fromUtf16(c.text).toStdString();
        EXPECT_EQ(r.noMatch, c.noMatch) << QString::fromUtf16(c.text).toStdString();
        EXPECT_EQ(r.matched, int(c.expected.size()) - 1);
    }
}

TEST(PathHistory, NewestFirstWithoutCopiesKeptInTheSettings) {
    std::vector<QString> history;
    for (int i = 0; i < 25; ++i)
        RememberFolder(history, QStringLiteral("/f%1").arg(i));
    RememberFolder(history, u"/f10"_qs);     // again: moves to the front
    RememberFolder(history, u"/bad\r\n"_qs); // never kept
    RememberFolder(history, QString());
    ASSERT_EQ(int(history.size()), kPathHistoryLimit);
    EXPECT_EQ(history[0], u"/f10"_qs);
    EXPECT_EQ(history[1], u"/f24"_qs);
    EXPECT_EQ(history.back(), u"/f5"_qs);
    EXPECT_EQ(std::count(history.begin(), history.end(), u"/f10"_qs), 1);

    QTemporaryDir dir;
    AppState state;
    state.LocalFolderHistory = history;
    state.RemoteFolderHistory = {u"/pub"_qs, u"/"_qs};
    {
        SettingsStore store(dir.filePath(u"s.ini"_qs));
        SaveFolderHistories(store, state);
        ASSERT_TRUE(store.Sync());
    }
    AppState loaded;
    const SettingsStore store(dir.filePath(u"s.ini"_qs));
    LoadFolderHistories(store, loaded);
    EXPECT_EQ(loaded.LocalFolderHistory, history);
    EXPECT_EQ(loaded.RemoteFolderHistory, state.RemoteFolderHistory);
}

TEST(PathHistory, TypedFolders) {
    EXPECT_EQ(ExpandHomeFolder(u"~"_qs, u"/home/u"_qs), u"/home/u"_qs);
    EXPECT_EQ(ExpandHomeFolder(u"~/docs"_qs, u"/home/u"_qs), u"/home/u/docs"_qs);
    EXPECT_EQ(ExpandHomeFolder(u"~other"_qs, u"/home/u"_qs), u"~other"_qs);
    EXPECT_EQ(ExpandHomeFolder(u"/tmp/~"_qs, u"/home/u"_qs), u"/tmp/~"_qs);
    for (const char16_t* bad : {u"/a\rb", u"/a\nb", u"x\x1b[2J", u"/a\u202eb", u"\u0085"})
        EXPECT_TRUE(ContainsControlCharacter(QString::fromUtf16(bad)));
    EXPECT_FALSE(ContainsControlCharacter(u"/pub/Ärger ü 中文"_qs));
}

} // namespace

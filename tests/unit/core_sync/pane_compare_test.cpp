#include "core/accounts/account_store.h"
#include "core/panes/entry_format.h"
#include "core/settings/settings_store.h"
#include "core/state/app_state.h"
#include "core/sync/pane_compare.h"
#include "core/text/messages.h"
#include "support/recording_port.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

using namespace tw;

namespace {

constexpr std::int64_t T = 1796685356; // 2026-12-08 03:15:56 UTC
constexpr std::int64_t kMinute = T - T % 60;
constexpr std::int64_t kMidnight = T - T % 86400;

struct Row {
    const char* name;
    char kind = 'f'; // 'f' file, 'd' folder, 'l' a server's link
    std::uint64_t size = 0;
    std::int64_t time = T;
};

FileEntry Entry(const Row& r) {
    FileEntry e;
    e.name = QString::fromUtf8(r.name);
    e.findData.rawName = r.name;
    e.isFolder = r.kind == 'd';
    e.isLink = r.kind == 'l';
    e.findData.size = e.isFolder ? 0 : r.size;
    e.findData.lastWriteTime = r.time;
    CompleteEntry(e);
    return e;
}

FileEntry Parent() {
    FileEntry e;
    e.name = u".."_qs;
    e.isParent = true;
    e.isFolder = true;
    return e;
}

void Fill(PaneState& pane, const std::vector<Row>& rows) {
    pane.entries = {Parent()};
    for (const Row& r : rows)
        pane.entries.push_back(Entry(r));
    pane.hasListing = true;
}

using Marks = std::map<std::string, CompareMark>;

// Every row's mark but the parent's, which is never marked.
Marks MarksOf(const PaneState& pane) {
    Marks out;
    for (const FileEntry& e : pane.entries) {
        if (e.isParent)
            EXPECT_EQ(e.compare, CompareMark::None);
        else
            out[e.name.toStdString()] = e.compare;
    }
    return out;
}

constexpr auto None = CompareMark::None;
constexpr auto Only = CompareMark::OnlyHere;
constexpr auto Newer = CompareMark::NewerHere;
constexpr auto Older = CompareMark::OlderHere;
constexpr auto Size = CompareMark::SizeDiffers;
constexpr auto Kind = CompareMark::KindDiffers;

struct Case {
    const char* what;
    PaneCompareSettings settings;
    std::vector<Row> local;
    std::vector<Row> remote;
    Marks localMarks;
    Marks remoteMarks;
    CompareCounts counts;
};

PaneCompareSettings Settings(bool exact, std::int64_t offset = 0, bool ignoreCase = false) {
    PaneCompareSettings s;
    s.exactRemoteTimes = exact;
    s.remoteOffset = offset;
    s.remoteIgnoresCase = ignoreCase;
    return s;
}

// Both panes' rows marked from one compare: each kind of difference on both sides, the
// precision of a LIST, the account's offset and a server that ignores case.
TEST(MarkPanes, MarksEveryRowOnBothSides) {
    const Case cases[] = {
        {"every difference, exact times",
         Settings(true),
         {{"same.txt", 'f', 10},
          {"newer.txt", 'f', 10, T + 100},
          {"older.txt", 'f', 10, T - 100},
          {"size.txt", 'f', 10},
          {"here.txt", 'f', 1},
          {"kind", 'f', 5},
          {"link", 'f', 5},
          {"dir", 'd'},
          {"localdir", 'd'}},
         {{"same.txt", 'f', 10},
          {"newer.txt", 'f', 10},
          {"older.txt", 'f', 10},
          {"size.txt", 'f', 20},
          {"there.txt", 'f', 1},
          {"kind", 'd'},
          {"link", 'l'},
          {"dir", 'd'},
          {"serverdir", 'd'}},
         {{"same.txt", None},
          {"newer.txt", Newer},
          {"older.txt", Older},
          {"size.txt", Size},
          {"here.txt", Only},
          {"kind", Kind},
          {"link", Kind},
          {"dir", None},
          {"localdir", Only}},
         {{"same.txt", None},
          {"newer.txt", Older},
          {"older.txt", Newer},
          {"size.txt", Size},
          {"there.txt", Only},
          {"kind", Kind},
          {"link", Kind},
          {"dir", None},
          {"serverdir", Only}},
         {2, 2, 1, 1, 1, 2}},
        // LIST: a recent file to the minute, an old one to the day; seconds apart is the same.
        {"LIST precision",
         Settings(false),
         {{"minute.txt", 'f', 7, T}, {"day.txt", 'f', 7, T}, {"later.txt", 'f', 7, T + 120}},
         {{"minute.txt", 'f', 7, kMinute},
          {"day.txt", 'f', 7, kMidnight},
          {"later.txt", 'f', 7, kMinute}},
         {{"minute.txt", None}, {"day.txt", None}, {"later.txt", Newer}},
         {{"minute.txt", None}, {"day.txt", None}, {"later.txt", Older}},
         {0, 0, 1, 0, 0, 0}},
        // The same seconds apart with exact times differ.
        {"exact precision",
         Settings(true),
         {{"minute.txt", 'f', 7, T}},
         {{"minute.txt", 'f', 7, kMinute}},
         {{"minute.txt", Newer}},
         {{"minute.txt", Older}},
         {0, 0, 1, 0, 0, 0}},
        // A server two hours ahead: its times less the account's 7200 seconds.
        {"offset applied",
         Settings(true, -7200),
         {{"a.txt", 'f', 3, T}, {"b.txt", 'f', 3, T}},
         {{"a.txt", 'f', 3, T + 7200}, {"b.txt", 'f', 3, T + 7200 + 60}},
         {{"a.txt", None}, {"b.txt", Older}},
         {{"a.txt", None}, {"b.txt", Newer}},
         {0, 0, 0, 1, 0, 0}},
        {"names ignoring case",
         Settings(true, 0, true),
         {{"readme.txt", 'f', 4}},
         {{"README.TXT", 'f', 4}},
         {{"readme.txt", None}},
         {{"README.TXT", None}},
         {}},
        {"names with case",
         Settings(true),
         {{"readme.txt", 'f', 4}},
         {{"README.TXT", 'f', 4}},
         {{"readme.txt", Only}},
         {{"README.TXT", Only}},
         {1, 1, 0, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        PaneState local;
        PaneState remote;
        Fill(local, c.local);
        Fill(remote, c.remote);
        const PaneCompareResult result = MarkPanes(local, remote, c.settings);
        EXPECT_EQ(MarksOf(local), c.localMarks);
        EXPECT_EQ(MarksOf(remote), c.remoteMarks);
        EXPECT_EQ(result.counts, c.counts);
        EXPECT_FALSE(result.skewHours);
        // Marks belong to the rows: they survive any reordering of them.
        std::reverse(local.entries.begin(), local.entries.end());
        EXPECT_EQ(MarksOf(local), c.localMarks);
    }
}

// The window's flow: Compare Folders on a server whose times are two hours ahead, the summary,
// the question once, the offset saved with the account and a clean compare after it.
class PaneCompareFlow : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString file = dir.filePath(u"settings.ini"_qs);
    test::RecordingPort port;
    AppGlobals globals;
    AppState state;
    AppRuntime runtime;
    Messages messages{port, state, globals};
    PaneCompare::Session session;
    int saves = 0;

    void SetUp() override {
        AccountRecord a;
        a.Name = u"Zone Server"_qs;
        a.URL = u"ftp.example.org"_qs;
        a.Anonymous = true;
        state.Accounts = {a};
        state.CurrentAccount = 0;
        session.tableRow = 0;
        session.exactRemoteTimes = true;
        runtime.connected = true;
        state.local.path = u"/home/me/site"_qs;
        state.remote.site = u"ftp.example.org"_qs;
        state.remote.path = u"/www"_qs;
        Fill(
            state.local,
            {{"index.html", 'f', 100, T}, {"style.css", 'f', 50, T - 500}, {"new.txt", 'f', 1, T}});
        Fill(state.remote, {{"index.html", 'f', 100, T + 7200},
                            {"style.css", 'f', 50, T - 500 + 7200},
                            {"old.txt", 'f', 1, T}});
    }
    PaneCompare make() {
        PaneCompare::Hooks hooks;
        hooks.session = [this] { return session; };
        hooks.saveAccounts = [this](const AppState& s) {
            ++saves;
            SettingsStore store(file);
            SaveAccounts(store, s);
            return store.Sync();
        };
        return PaneCompare(state, runtime, messages, hooks);
    }
    std::int32_t savedOffset() const {
        AppState loaded;
        const SettingsStore store(file);
        LoadAccounts(store, loaded);
        return loaded.Accounts.empty() ? 12345 : loaded.Accounts.front().TimeOffset;
    }
    QStringList boxes() const {
        QStringList out;
        for (const auto& b : port.boxes())
            out << b.text;
        return out;
    }
};

TEST_F(PaneCompareFlow, SkewOfferedOnceAndAcceptedSavesTheOffset) {
    PaneCompare compare = make();
    compare.toggle();
    ASSERT_TRUE(runtime.comparing);
    EXPECT_EQ(MarksOf(state.local),
              (Marks{{"index.html", Older}, {"style.css", Older}, {"new.txt", Only}}));
    EXPECT_EQ(MarksOf(state.remote),
              (Marks{{"index.html", Newer}, {"style.css", Newer}, {"old.txt", Only}}));
    EXPECT_TRUE(port.logContains(u"Compared: 1 only here, 1 only on the server, "
                                 u"2 newer on the server"_qs))
        << port.log().join(u'\n').toStdString();
    ASSERT_EQ(compare.lastResult().skewHours, std::optional<int>(2));
    EXPECT_TRUE(boxes().isEmpty()); // asked once the marks are shown, not in the compare

    // A new listing of the same folders says nothing new.
    const qsizetype lines = port.log().size();
    EXPECT_TRUE(compare.paneChanged());
    EXPECT_EQ(port.log().size(), lines);

    port.answerBoxes({true});
    ASSERT_TRUE(compare.offerTimeOffset());
    ASSERT_EQ(boxes().size(), 1);
    EXPECT_EQ(boxes().front(), u"Every file in both folders differs by exactly 2 hours. Treat "
                               u"the server's times as 2 hours ahead for this account?"_qs);
    EXPECT_EQ(state.Accounts[0].TimeOffset, -7200);
    EXPECT_EQ(saves, 1);
    EXPECT_EQ(savedOffset(), -7200);
    EXPECT_TRUE(port.logContains(u"Time offset of Zone Server: -7200 seconds"_qs));
    // Compared again with the offset: only the names on one side differ.
    EXPECT_EQ(MarksOf(state.local),
              (Marks{{"index.html", None}, {"style.css", None}, {"new.txt", Only}}));
    EXPECT_EQ(MarksOf(state.remote)["index.html"], None);
    EXPECT_EQ(port.log().last(), u"Compared: 1 only here, 1 only on the server"_qs);
    EXPECT_FALSE(compare.lastResult().skewHours);
    EXPECT_FALSE(compare.offerTimeOffset());
    EXPECT_EQ(boxes().size(), 1);

    // Off: every mark goes, and Show Only Differences with them.
    compare.toggleOnlyDifferences();
    EXPECT_TRUE(runtime.onlyDifferences);
    compare.toggle();
    EXPECT_FALSE(runtime.comparing);
    EXPECT_FALSE(runtime.onlyDifferences);
    EXPECT_EQ(MarksOf(state.local)["new.txt"], None);
    EXPECT_EQ(MarksOf(state.remote)["old.txt"], None);
}

TEST_F(PaneCompareFlow, DeclinedSkewIsNotAskedAgainForThePairAndQuickSessionsKeepItForTheRun) {
    PaneCompare compare = make();
    compare.toggle();
    port.answerBoxes({false});
    EXPECT_FALSE(compare.offerTimeOffset());
    EXPECT_EQ(boxes().size(), 1);
    EXPECT_EQ(state.Accounts[0].TimeOffset, 0);
    EXPECT_EQ(saves, 0);
    compare.paneChanged();
    EXPECT_FALSE(compare.offerTimeOffset());
    EXPECT_EQ(boxes().size(), 1);

    // Another folder pair, on a quick connect session: the offset holds for this run only,
    // the table and the settings stay as they were.
    state.remote.path = u"/www/copy"_qs;
    session.tableRow = -1;
    session.quickKey = u"ftp.example.org:21 anonymous"_qs;
    compare.paneChanged();
    port.answerBoxes({true});
    EXPECT_TRUE(compare.offerTimeOffset());
    EXPECT_EQ(boxes().size(), 2);
    EXPECT_EQ(state.Accounts[0].TimeOffset, 0);
    EXPECT_EQ(saves, 0);
    EXPECT_TRUE(port.logContains(u"Time offset of this connection: -7200 seconds"_qs));
    EXPECT_EQ(MarksOf(state.remote)["index.html"], None);
    compare.paneChanged(); // the run's offset stays with the session
    EXPECT_EQ(MarksOf(state.remote)["style.css"], None);

    // The connection ends: so does the compare.
    runtime.connected = false;
    EXPECT_TRUE(compare.paneChanged());
    EXPECT_FALSE(runtime.comparing);
    EXPECT_EQ(MarksOf(state.local)["new.txt"], None);
    EXPECT_TRUE(port.logContains(u"Compare Folders ended with the connection"_qs));
}

} // namespace

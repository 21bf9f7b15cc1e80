#include "core/state/app_state.h"
#include "core/text/messages.h"
#include "core/transfer/log_viewer.h"
#include "support/recording_port.h"
#include "support/test_files.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <optional>

using namespace tw;

namespace {

const QString kTitle = u"Tarnwick 2000 - Program Message Log"_qs;

QString DataFile(const char* name) {
    return QStringLiteral(TW_SOURCE_DIR "/tests/unit/core_transfer_log/data/") +
           QString::fromLatin1(name);
}

// The viewer answered from a script: records what it was shown (and when, among the UI
// port's events), presses Print and Help as often as told, then closes.
class RecordingViewer : public LogViewerPort {
public:
    explicit RecordingViewer(test::RecordingPort& port) : m_port(port) {}
    LogViewerResult answer;
    int printPresses = 0;
    bool pressHelp = false;
    std::optional<LogViewerRequest> shown;
    QStringList eventsBeforeShow;

    LogViewerResult showLogViewer(const LogViewerRequest& request) override {
        shown = request;
        eventsBeforeShow = m_port.events();
        for (int i = 0; i < printPresses; ++i)
            request.print();
        if (pressHelp)
            request.help();
        return answer;
    }

private:
    test::RecordingPort& m_port;
};

struct LogViewerTest : ::testing::Test {
    test::RecordingPort port;
    AppState state;
    AppGlobals globals;
    Messages messages{port, state, globals};
    RecordingViewer viewer{port};
    QTemporaryDir dir;
    QString logPath = dir.filePath(u"tarnwick2000.log"_qs);
    QStringList opened;
    PageOpener opener = [this](const QString& path) { opened << path; };
    std::vector<int> helpTopics;

    LogViewerTest() { globals.logPath = logPath; }
    bool run() {
        return ViewTransferLog(messages, globals, viewer, opener,
                               [this](int topic) { helpTopics.push_back(topic); });
    }
    QStringList boxTexts() const {
        QStringList texts;
        for (const auto& box : port.boxes())
            texts << box.caption + u" | "_qs + box.text;
        return texts;
    }
};

} // namespace

TEST(LoadLogLines, NewestFirstOrAsWrittenWithLineEndsStrippedAndLongLinesCut) {
    test::RecordingPort port;
    AppState state;
    AppGlobals globals;
    const Messages messages(port, state, globals);
    QTemporaryDir dir;
    const QString path = dir.filePath(u"t.log"_qs);
    const QString longLine(1500, u'x');
    test::WriteFile(path, "first\r\n\nthird\r\r\n" + longLine.toUtf8() + "\nlast without end");

    const QStringList asWritten{u"first"_qs, QString(), u"third\r"_qs, QString(1023, u'x'),
                                u"last without end"_qs};
    EXPECT_EQ(LoadLogLines(messages, path, false), asWritten);
    QStringList reversed = asWritten;
    std::reverse(reversed.begin(), reversed.end());
    EXPECT_EQ(LoadLogLines(messages, path, true), reversed);
    EXPECT_TRUE(port.boxes().empty());
    // The hourglass is shown while reading, and taken away again.
    EXPECT_EQ(port.count(u"cursor: wait on"_qs), 2);
    EXPECT_EQ(port.count(u"cursor: wait off"_qs), 2);

    // A log that cannot be read gives the file-error warning with the error number.
    EXPECT_EQ(LoadLogLines(messages, dir.path(), true), std::nullopt);
    ASSERT_EQ(port.boxes().size(), 1u);
    EXPECT_EQ(port.boxes()[0].kind, BoxKind::SystemWarning);
    EXPECT_EQ(port.boxes()[0].caption, u"Tarnwick 2000"_qs);
    EXPECT_EQ(port.boxes()[0].text,
              u"File: "_qs + dir.path() +
                  u"\r\rError detected opening this disk file\r\rCode 21"_qs); // EISDIR
}

TEST(BuildLogPage, WritesThePageByteForByteWithLinesEscapedAndEmptyRowsAsNbsp) {
    test::RecordingPort port;
    AppState state;
    AppGlobals globals;
    const Messages messages(port, state, globals);
    const auto rows = LoadLogLines(messages, DataFile("golden.log"), true);
    ASSERT_TRUE(rows.has_value());
    ASSERT_EQ(rows->size(), 3);
    EXPECT_EQ(BuildLogPage(kTitle, *rows), test::ReadFile(DataFile("golden.html")));

    // The title is escaped as well.
    const QByteArray page = BuildLogPage(u"A <b> & \"c\""_qs, {});
    EXPECT_TRUE(page.contains("<title>A &lt;b&gt; &amp; &quot;c&quot;</title>\n"));
    EXPECT_FALSE(page.contains("<b>"));
}

TEST_F(LogViewerTest, MissingLogIsToldThenTheViewerOpensEmpty) {
    EXPECT_FALSE(run()); // the recording viewer closes with Cancel
    ASSERT_TRUE(viewer.shown.has_value());
    EXPECT_EQ(viewer.shown->title, kTitle);
    EXPECT_EQ(viewer.shown->pathLabel, logPath); // shown as it is, never title-cased
    EXPECT_TRUE(viewer.shown->lines.isEmpty());
    const QStringList expected{
        u"status: Open and display the program transfer log"_qs,
        u"beep"_qs,
        u"box:  Log File Not Found | \rLog File: "_qs + logPath +
            u"\r\rDoes not exist.\r\rPlease turn program logging on to create a log file"_qs,
    };
    EXPECT_EQ(viewer.eventsBeforeShow, expected);
    EXPECT_EQ(port.boxes().at(0).kind, BoxKind::SystemInfo);
    EXPECT_EQ(port.boxes().size(), 1u);
    EXPECT_FALSE(QFile::exists(logPath));
}

TEST_F(LogViewerTest, DeleteIsAskedOnlyAfterOkWithTheTickAndYesRemovesTheLog) {
    test::WriteFile(logPath, "one\ntwo\n");
    const QString question = u"Delete Log File | \rFile: "_qs + logPath +
                             u"\r\rAre you sure you want to remove this log file?"_qs;
    struct Case {
        bool accepted;
        bool tick;
        std::optional<bool> answer; // nullopt: no question expected
        bool removed;
    };
    const Case cases[] = {
        {false, true, std::nullopt, false}, // Cancel or the close box with the tick
        {true, false, std::nullopt, false}, // OK without the tick
        {true, true, false, false},         // OK with the tick, answered No
        {true, true, true, true},           // OK with the tick, answered Yes
    };
    for (const Case& c : cases) {
        port.clear();
        viewer.answer = {c.accepted, c.tick};
        if (c.answer)
            port.answerBoxes({*c.answer});
        EXPECT_EQ(run(), c.accepted);
        EXPECT_EQ(viewer.shown->lines, (QStringList{u"two"_qs, u"one"_qs}));
        if (c.answer) {
            ASSERT_EQ(boxTexts(), QStringList{question});
            EXPECT_EQ(port.boxes()[0].kind, BoxKind::SystemYesNo);
            EXPECT_TRUE(port.boxes()[0].defaultYes);
        } else {
            EXPECT_TRUE(boxTexts().isEmpty());
        }
        EXPECT_EQ(QFile::exists(logPath), !c.removed);
    }
}

TEST_F(LogViewerTest, PrintWritesAndOpensThePageAndKeepsOneEarlierCopy) {
    test::WriteFile(logPath, "one\n\ntwo\n");
    viewer.printPresses = 2;
    viewer.pressHelp = true;
    viewer.answer = {true, false};
    EXPECT_TRUE(run());

    const QString page = dir.filePath(kTitle + u".html"_qs);
    const QByteArray expected = BuildLogPage(kTitle, {u"two"_qs, QString(), u"one"_qs});
    EXPECT_EQ(test::ReadFile(page), expected);
    EXPECT_EQ(test::ReadFile(dir.filePath(u"Backup of "_qs + kTitle + u".html"_qs)), expected);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
              (QStringList{u"Backup of "_qs + kTitle + u".html"_qs, kTitle + u".html"_qs,
                           u"tarnwick2000.log"_qs}));
    EXPECT_EQ(opened, (QStringList{page, page}));
    EXPECT_EQ(helpTopics, std::vector<int>{350});
    EXPECT_TRUE(port.boxes().empty());
    EXPECT_TRUE(QFile::exists(logPath));
    // Each Print says where the page went, in the log and the status bar.
    EXPECT_EQ(port.count(u"log: Transfer log page written: "_qs + page), 2);
    EXPECT_EQ(port.status(), u"Transfer log page written: "_qs + page);

    // A page that cannot be created is reported, and nothing is opened.
    ASSERT_TRUE(QFile::remove(page) && QDir().mkpath(page)); // a folder takes the page's name
    opened.clear();
    EXPECT_FALSE(ExportLogAsHtml(messages, logPath, kTitle, {u"x"_qs}, opener));
    EXPECT_EQ(boxTexts(), QStringList{u"Tarnwick 2000 | File: "_qs + page +
                                      u"\r\rError detected opening this disk file\r\rCode 21"_qs});
    EXPECT_TRUE(opened.isEmpty());
}

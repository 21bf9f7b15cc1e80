#include "core/text/messages.h"
#include "support/recording_port.h"

#include <gtest/gtest.h>

using namespace tw;

namespace {

struct MessagesTest : ::testing::Test {
    test::RecordingPort port;
    AppState state;
    AppGlobals globals;
    Messages messages{port, state, globals};
};

} // namespace

TEST_F(MessagesTest, ReportApiErrorWithServerReplyLogsTwoLines) {
    QString out;
    state.options.AlertLevel = 1;
    messages.ReportApiError(4507, 12003, true, u"550 /nope: No such file\r\n550 more"_qs, &out);
    ASSERT_EQ(port.log().size(), 2);
    EXPECT_TRUE(port.log()[0].startsWith(u"Error: "_qs));
    EXPECT_TRUE(port.log()[0].contains(u"(12003)"_qs));
    EXPECT_EQ(port.log()[1], u"550 /nope: No such file"_qs);
    EXPECT_EQ(port.count(u"beep"_qs), 1); // FTP Errors alert at level 1
    EXPECT_TRUE(out.endsWith(u" 550 /nope: No such file"_qs));
}

// A refused login or a dropped session logs the server's reply lines after the error line;
// a cancelled call does not repeat a stale reply.
TEST_F(MessagesTest, ReportApiErrorLogsTheServersReasonForFtpErrors) {
    struct Case {
        int code;
        QString reply;
        QStringList replyLines; // logged after the "Error:" line
    };
    const Case cases[] = {
        {12111,
         u"421 Too many connections (8) from this IP"_qs,
         {u"421 Too many connections (8) from this IP"_qs}},
        {12013,
         u"530-Login refused\r\n530 This server must use encryption"_qs,
         {u"530-Login refused"_qs, u"530 This server must use encryption"_qs}},
        {12014, u"550 TLS required"_qs, {u"550 TLS required"_qs}},
        {12017, u"226 Transfer complete"_qs, {}},
        {12013, QString(), {}},
        {2, u"550 whatever"_qs, {}}, // not an FTP error: the system's text only
    };
    for (const Case& c : cases) {
        port.clear();
        QString out;
        messages.ReportApiError(4501, c.code, false, c.reply, &out);
        const QStringList log = port.log();
        ASSERT_EQ(log.size(), 1 + c.replyLines.size()) << c.code << ' ' << c.reply.toStdString();
        EXPECT_TRUE(log[0].startsWith(u"Error: InternetConnect ("_qs + QString::number(c.code)));
        EXPECT_EQ(log.mid(1), c.replyLines);
        if (!c.replyLines.isEmpty()) {
            EXPECT_TRUE(out.endsWith(c.replyLines.first())) << out.toStdString();
        }
    }
}

TEST_F(MessagesTest, ReportApiErrorWithoutTableEntryHasEmptyText) {
    messages.ReportApiError(4501, 12035, false);
    ASSERT_EQ(port.log().size(), 1);
    EXPECT_TRUE(port.log()[0].endsWith(u"(12035) "_qs)) << port.log()[0].toStdString();
    EXPECT_EQ(port.count(u"beep"_qs), 0);
}

TEST_F(MessagesTest, MissingStringShowsFatalBoxAndDropsMessage) {
    EXPECT_FALSE(messages.LogMessage(59999));
    EXPECT_TRUE(port.log().isEmpty());
    ASSERT_EQ(port.boxes().size(), 1u);
    EXPECT_EQ(port.boxes()[0].kind, BoxKind::Fatal);
    EXPECT_TRUE(port.boxes()[0].text.contains(u"Cannot load string resource (ID:59999)"_qs));
    EXPECT_TRUE(port.boxes()[0].text.startsWith(u"GetString(LoadString)\r\r"_qs));
}

TEST_F(MessagesTest, AlertLevels) {
    state.sounds[2].WaveFile = u"/nonexistent.wav"_qs;
    state.options.AlertLevel = 0;
    messages.PlayAlert(AlertKind::TransferSuccess);
    EXPECT_TRUE(port.events().isEmpty());

    state.options.AlertLevel = 2;
    port.waveWorks = false;
    messages.PlayAlert(AlertKind::TransferSuccess);
    EXPECT_EQ(port.events(), QStringList({u"wave: /nonexistent.wav"_qs, u"beep"_qs}));

    port.clear();
    state.sounds[2].Active = 0;
    messages.PlayAlert(AlertKind::TransferSuccess);
    messages.PlayAlert(7);
    EXPECT_TRUE(port.events().isEmpty());
}

TEST_F(MessagesTest, BoxesBeepOnlyWithSoundsAndKeepPercentSigns) {
    globals.soundsWithDialogs = false;
    messages.ErrorBox(1001, {u"50%s done"_qs});
    EXPECT_EQ(port.count(u"beep"_qs), 0);
    ASSERT_EQ(port.boxes().size(), 1u);
    EXPECT_EQ(port.boxes()[0].text, u"Tarnwick 2000 - 50%s done"_qs);
    EXPECT_EQ(port.boxes()[0].caption, u"Error"_qs);
    globals.soundsWithDialogs = true;
    messages.ErrorBox(1000);
    EXPECT_EQ(port.count(u"beep"_qs), 1);
}

TEST_F(MessagesTest, StatusNeedsVisibleBar) {
    EXPECT_TRUE(messages.ShowStatus(60000));
    EXPECT_EQ(port.status(), u"Ready ..."_qs);
    port.statusVisible = false;
    EXPECT_FALSE(messages.ShowStatus(60066));
}

TEST_F(MessagesTest, CursorSlotsKeepTheFirstSwitch) {
    EXPECT_TRUE(messages.SetWaitCursor(true));
    EXPECT_FALSE(messages.SetWaitCursor(true));
    EXPECT_TRUE(messages.SetWaitCursor(false));
    EXPECT_FALSE(messages.SetWaitCursor(false));
    EXPECT_TRUE(messages.SetBusyCursor(true));
    EXPECT_EQ(port.events(),
              QStringList({u"cursor: wait on"_qs, u"cursor: wait off"_qs, u"cursor: busy on"_qs}));
}

TEST(SplitCallPrefix, OnlyFirstOccurrence) {
    EXPECT_EQ(SplitCallPrefix(u"X(GetDC): a): b"_qs), u"X(GetDC)\r\ra): b"_qs);
}

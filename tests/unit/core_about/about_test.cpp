#include "core/about/program_version.h"
#include "core/about/support_mail.h"
#include "core/about/version_info.h"
#include "core/about/web_site.h"
#include "core/text/messages.h"
#include "core/text/string_table.h"
#include "platform/launcher.h"
#include "support/recording_port.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <cerrno>
#include <map>
#include <optional>
#include <thread>
#include <utility>

#include <gtest/gtest.h>

using namespace tw;
using tw::test::RecordingPort;

namespace {

QString text(int id) {
    return LookupString(id).value_or(QString());
}

// Records what the flows start and answers from its settings: the desktop's handler, the
// programs that start or fail (errno), whether xdg-email exists, and the pending run.
class FakeLauncher : public platform::ProgramLauncher {
public:
    bool desktopTakes = false;
    std::map<QString, int> startErrors; // a program missing here fails with ENOENT
    bool hasXdgEmail = true;
    QStringList calls;
    std::function<void(const platform::RunResult&)> pending;

    bool openUrl(const QString& url) override {
        calls << u"desktop "_qs + url;
        return desktopTakes;
    }
    platform::LaunchResult startDetached(const QString& program,
                                         const QStringList& arguments) override {
        calls << program + u' ' + arguments.join(u' ');
        const auto found = startErrors.find(program);
        return {found != startErrors.end() ? found->second : ENOENT};
    }
    bool hasProgram(const QString& program) override {
        return program == u"xdg-email"_qs && hasXdgEmail;
    }
    void run(const QString& program, const QStringList& arguments,
             std::function<void(const platform::RunResult&)> finished) override {
        calls << u"run "_qs + program + u" | "_qs + arguments.join(u" | "_qs);
        pending = std::move(finished);
    }
};

class AboutTest : public ::testing::Test {
protected:
    AppState state;
    AppGlobals globals;
    RecordingPort port;
    Messages messages{port, state, globals};
    FakeLauncher launcher;
};

} // namespace

TEST(VersionInfo, PageTextsFromTheProgramsTableAFallbackTableAndNoTable) {
    const QString program = u"/usr/local/bin/tarnwick2000"_qs;
    const QString version = QString::fromUtf16(kProjectVersionText);
    const VersionTable& full = ProgramVersionTable();
    EXPECT_EQ(full.at(u"FileVersion"_qs), u"Version "_qs + version);
    EXPECT_EQ(full.at(u"Release"_qs), u"Release "_qs + version);
    EXPECT_TRUE(
        version.startsWith(u"%1.%2."_qs.arg(kProgramVersionMajor).arg(kProgramVersionMinor)));

    VersionTable partial = {{u"ProductName"_qs, u"Tarnwick 2000 Test"_qs},
                            {u"LegalCopyright"_qs, u"Copyright (C) 1999 Tester"_qs},
                            {u"FileDescription"_qs, u"Test & Build"_qs},
                            {u"FileVersion"_qs, u"Version 9.9"_qs},
                            {u"Release"_qs, u"Release 9"_qs}};
    struct Case {
        const char* name;
        VersionTable table;
        std::vector<VersionItem> items;
    };
    const Case cases[] = {
        {"full",
         full,
         {{101, u"Tarnwick 2000"_qs},
          {102, full.at(u"LegalCopyright"_qs)},
          {103, u"Tarnwick Internet FTP Client Utility"_qs},
          {104, u"Version "_qs + version},
          {105, DistributionNotice()},
          {106, QString::fromUtf16(kCommentsFallback)},
          {107, u"www.example.org/quellwork"_qs},
          {109, u"/usr/local/bin/"_qs}}},
        {"without WebSite and Comments",
         partial,
         {{101, u"Tarnwick 2000 Test"_qs},
          {102, u"Copyright (C) 1999 Tester"_qs},
          {103, u"Test & Build"_qs},
          {104, u"Version 9.9"_qs},
          {105, DistributionNotice()},
          {106, u"Visit the Quellwork Web Site on the Internet to download the latest releases "
                u"of all of my software."_qs},
          {107, u"www.example.org/quellwork"_qs},
          {109, u"/usr/local/bin/"_qs}}},
        {"only a WebSite and Comments",
         {{u"WebSite"_qs, u"https://example.net/tw"_qs}, {u"Comments"_qs, u"Hi"_qs}},
         {{101, text(1002)},
          {102, text(1021)},
          {103, text(1020)},
          {104, text(1019)},
          {105, DistributionNotice()},
          {106, u"Hi"_qs},
          {107, u"https://example.net/tw"_qs},
          {109, u"/usr/local/bin/"_qs}}},
        {"no version values",
         {},
         {{101, text(1002)},
          {102, text(1021)},
          {103, text(1020)},
          {104, text(1019)},
          {105, QString()},
          {106, QString::fromUtf16(kCommentsFallback)},
          {107, u"www.example.org/quellwork"_qs},
          {109, QString()}}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(VersionPageTexts(c.table, program), c.items) << c.name;
    EXPECT_FALSE(DistributionNotice().isEmpty());
}

TEST(VersionInfo, ProgramFolderIsShownAsItIs) {
    const std::pair<QString, QString> cases[] = {
        {u"/usr/local/bin/tarnwick2000"_qs, u"/usr/local/bin/"_qs},
        {u"/home/anna/my tools/tarnwick2000"_qs, u"/home/anna/my tools/"_qs},
        {u"/opt/quell-work/x.y/a_b/tw"_qs, u"/opt/quell-work/x.y/a_b/"_qs},
        {u"/srv/2000s/Mixed CASE/tw"_qs, u"/srv/2000s/Mixed CASE/"_qs},
        {u"/home/ünal/(test)bin/tw"_qs, u"/home/ünal/(test)bin/"_qs},
        {u"/tarnwick2000"_qs, u"/"_qs},
        {u"tarnwick2000"_qs, QString()},
        {QString(), QString()},
    };
    for (const auto& [path, folder] : cases)
        EXPECT_EQ(ProgramFolderText(path), folder) << path.toStdString();
}

TEST_F(AboutTest, MailResultsShowTheirTextsInBoxesCaptionedWithTheProgramName) {
    struct Case {
        unsigned code;
        bool shown;
        QString text;
    };
    const Case cases[] = {
        {0, false, {}},
        {1, true, u"\rmAPI operation canceled by user."_qs},
        {2, true, u"\rmAPI error detected.\r\rmAPI request failed.\rError Code: 2"_qs},
        {26, true, u"\rmAPI error detected.\r\rmAPI function NOT supported.\rError Code: 26"_qs},
        {27, true, u"\rmAPI error detected.\r\rUndefined mAPI error detected.\rError Code: 27"_qs},
        {40, true, u"\rmAPI error detected.\r\rUndefined mAPI error detected.\rError Code: 40"_qs},
    };
    for (const Case& c : cases) {
        port.clear();
        EXPECT_EQ(ReportMailResult(messages, c.code), c.code == 0) << c.code;
        const auto boxes = port.boxes();
        ASSERT_EQ(boxes.size(), c.shown ? 1u : 0u) << c.code;
        if (!c.shown)
            continue;
        EXPECT_EQ(boxes[0].kind, BoxKind::SystemInfo);
        EXPECT_EQ(boxes[0].caption, text(1000));
        EXPECT_EQ(boxes[0].text, c.text);
    }
    EXPECT_EQ(MailResultText(0), u"mAPI operation completed successfully"_qs);
    EXPECT_EQ(MailResultText(19), u"Invalid maPI message session"_qs);
    EXPECT_EQ(MailResultText(kMailResultCount - 1), u"mAPI function NOT supported"_qs);
}

// The whole command: wait cursor, status, the window minimised, xdg-email started with the
// subject and the recipient; the outcome when it ends.
TEST_F(AboutTest, SendSupportMailReportsEachOutcomeOfTheMailProgram) {
    const QString expectedRun =
        u"run xdg-email | --subject | Help: Tarnwick 2000 - Version 2.6 | Quellwork Support "
        u"<support@example.org>"_qs;
    const QString mailto =
        u"desktop mailto:support@example.org?subject=Help:%20Tarnwick%202000%20-%20Version%202.6"_qs;
    struct Case {
        const char* name;
        bool hasXdgEmail;
        platform::RunResult run;
        bool desktopTakes;
        bool sent;
        std::optional<BoxKind> box;
        QString text;
    };
    const QString noProgram = u"Module: xdg-email\r\rError detected loading this program "
                              u"Module\rCode %1"_qs;
    const Case cases[] = {
        {"sent", true, {0, 0, false}, false, true, std::nullopt, {}},
        {"bad command line",
         true,
         {0, 1, false},
         false,
         false,
         BoxKind::SystemInfo,
         u"\rmAPI error detected.\r\rInvalid mAPI message detected.\rError Code: 17"_qs},
        // xdg-utils without a mail program: the no-mail-program warning, not a mAPI code.
        {"no mail tool",
         true,
         {0, 3, false},
         false,
         false,
         BoxKind::SystemWarning,
         noProgram.arg(ENOENT)},
        {"action failed",
         true,
         {0, 4, false},
         false,
         false,
         BoxKind::SystemInfo,
         u"\rmAPI error detected.\r\rmAPI request failed.\rError Code: 2"_qs},
        {"unknown status",
         true,
         {0, 9, false},
         false,
         false,
         BoxKind::SystemInfo,
         u"\rmAPI error detected.\r\rUndefined mAPI error detected.\rError Code: 7"_qs},
        {"killed",
         true,
         {0, 0, true},
         false,
         false,
         BoxKind::SystemInfo,
         u"\rmAPI error detected.\r\rUndefined mAPI error detected.\rError Code: 7"_qs},
        {"cannot start",
         true,
         {EACCES, 0, false},
         false,
         false,
         BoxKind::SystemWarning,
         noProgram.arg(EACCES)},
        {"mailto taken", false, {}, true, true, std::nullopt, {}},
        {"no mail program", false, {}, false, false, BoxKind::SystemWarning, noProgram.arg(ENOENT)},
    };
    for (const Case& c : cases) {
        port.clear();
        launcher = FakeLauncher();
        launcher.hasXdgEmail = c.hasXdgEmail;
        launcher.desktopTakes = c.desktopTakes;
        int minimised = 0;
        std::optional<bool> sent;
        SendSupportMail(
            messages, launcher, [&] { ++minimised; }, [&](bool s) { sent = s; });
        EXPECT_EQ(minimised, 1) << c.name;
        if (c.hasXdgEmail) {
            EXPECT_EQ(launcher.calls, QStringList{expectedRun}) << c.name;
            // The command returned with the mail program still running.
            ASSERT_TRUE(launcher.pending) << c.name;
            EXPECT_FALSE(sent.has_value()) << c.name;
            EXPECT_EQ(port.count(u"cursor: wait off"_qs), 0) << c.name;
            launcher.pending(c.run);
        } else {
            EXPECT_EQ(launcher.calls, QStringList{mailto}) << c.name;
        }
        EXPECT_EQ(sent, c.sent) << c.name;
        const QStringList events = port.events();
        ASSERT_GE(events.size(), 3) << c.name;
        EXPECT_EQ(events.first(), u"cursor: wait on"_qs) << c.name;
        EXPECT_EQ(events.at(1), u"status: "_qs + text(996)) << c.name;
        EXPECT_EQ(events.last(), u"cursor: wait off"_qs) << c.name;
        const auto boxes = port.boxes();
        ASSERT_EQ(boxes.size(), c.box ? 1u : 0u) << c.name;
        if (c.box) {
            EXPECT_EQ(boxes[0].kind, *c.box) << c.name;
            EXPECT_EQ(boxes[0].caption, text(1000)) << c.name;
            EXPECT_EQ(boxes[0].text, c.text) << c.name;
        }
    }

    // A mail program that keeps xdg-email running: the wait cursor goes off at the limit, and
    // only once when the run ends later.
    int argc = 1;
    char name[] = "test_core_about";
    char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    port.clear();
    launcher = FakeLauncher();
    std::optional<bool> sent;
    SendSupportMail(
        messages, launcher, [] {}, [&](bool s) { sent = s; }, std::chrono::milliseconds(20));
    ASSERT_TRUE(launcher.pending);
    for (int i = 0; i < 400 && port.count(u"cursor: wait off"_qs) == 0; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        QCoreApplication::processEvents();
    }
    EXPECT_EQ(port.count(u"cursor: wait off"_qs), 1);
    EXPECT_FALSE(sent.has_value());
    launcher.pending({0, 0, false});
    EXPECT_EQ(sent, true);
    EXPECT_EQ(port.count(u"cursor: wait off"_qs), 1);
}

TEST_F(AboutTest, OpenUrlWaitsForTheDesktopsHandlerThenTriesEachBrowser) {
    int argc = 1;
    char name[] = "test_core_about";
    char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    struct Case {
        const char* name;
        platform::RunResult handler; // how xdg-open ended
        std::map<QString, int> startErrors;
        bool opened;
        QStringList browsers; // started after the handler
        unsigned code;        // in the box when nothing opened
    };
    const QString url = u"https://www.example.org/quellwork"_qs;
    const QStringList both{u"x-www-browser "_qs + url, u"firefox "_qs + url};
    const Case cases[] = {
        {"handler opens", {0, 0, false}, {}, true, {}, 0},
        // xdg-open exits 3 where the desktop has no browser: the next program is tried.
        {"handler has none, firefox", {0, 3, false}, {{u"firefox"_qs, 0}}, true, both, 0},
        {"no xdg-open, x-www-browser",
         {ENOENT, 0, false},
         {{u"x-www-browser"_qs, 0}},
         true,
         {both[0]},
         0},
        {"handler crashed, none", {0, 0, true}, {{u"firefox"_qs, EACCES}}, false, both, EACCES},
        {"handler has none, none", {0, 3, false}, {}, false, both, ENOENT},
    };
    for (const Case& c : cases) {
        port.clear();
        auto fake = std::make_shared<FakeLauncher>();
        fake->startErrors = c.startErrors;
        std::optional<bool> opened;
        OpenWebSite(messages, fake, [&](bool o) { opened = o; });
        EXPECT_EQ(port.events().value(0), u"status: "_qs + text(997)) << c.name;
        // Nothing is decided, and no browser started, before the handler has ended.
        EXPECT_EQ(fake->calls, QStringList{u"run xdg-open | "_qs + url}) << c.name;
        ASSERT_TRUE(fake->pending) << c.name;
        EXPECT_FALSE(opened.has_value()) << c.name;
        std::exchange(fake->pending,
                      nullptr)(c.handler); // as the real launcher, it keeps no callback
        EXPECT_EQ(opened, c.opened) << c.name;
        EXPECT_EQ(fake->calls.mid(1), c.browsers) << c.name;
        const auto boxes = port.boxes();
        ASSERT_EQ(boxes.size(), c.opened ? 0u : 1u) << c.name;
        if (!c.opened) {
            EXPECT_EQ(boxes[0].kind, BoxKind::Fatal);
            EXPECT_EQ(boxes[0].text,
                      u"URL: %1\r\rCannot launch the desktop's web browser or\rthe Firefox web "
                      u"browser application.\r\rError Code: %2"_qs.arg(url)
                          .arg(c.code));
        }
    }

    // A handler that keeps running (the browser in its foreground) has taken the address once
    // the grace period is over; its later end changes nothing.
    port.clear();
    auto fake = std::make_shared<FakeLauncher>();
    std::optional<bool> opened;
    OpenUrl(
        messages, fake, url, [&](bool o) { opened = o; }, std::chrono::milliseconds(10));
    for (int i = 0; i < 400 && !opened; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        QCoreApplication::processEvents();
    }
    EXPECT_EQ(opened, true);
    std::exchange(fake->pending, nullptr)({0, 3, false});
    EXPECT_EQ(fake->calls.size(), 1);
    EXPECT_TRUE(port.boxes().empty());

    const std::pair<QString, QString> addresses[] = {
        {u"www.example.org/quellwork"_qs, u"https://www.example.org/quellwork"_qs},
        {u" http://example.org/a "_qs, u"http://example.org/a"_qs},
        {u"mailto:support@example.org"_qs, u"mailto:support@example.org"_qs},
        {u"localhost:8080/x"_qs, u"https://localhost:8080/x"_qs},
        {u"file:///tmp/page.html"_qs, u"file:///tmp/page.html"_qs},
    };
    for (const auto& [address, expected] : addresses)
        EXPECT_EQ(WebUrl(address), expected) << address.toStdString();
}

// The program's own launcher runs a program without waiting for it and reports how it ended.
TEST(SystemLauncher, RunReportsTheExitStatusASignalOrTheFailedStart) {
    int argc = 1;
    char name[] = "test_core_about";
    char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    struct Case {
        QString program;
        QStringList arguments;
        platform::RunResult expected;
    };
    const Case cases[] = {
        {u"sh"_qs, {u"-c"_qs, u"exit 0"_qs}, {0, 0, false}},
        {u"sh"_qs, {u"-c"_qs, u"exit 3"_qs}, {0, 3, false}},
        {u"sh"_qs, {u"-c"_qs, u"kill -9 $$"_qs}, {0, 0, true}},
        {u"no-such-program-tw2000"_qs, {}, {ENOENT, 0, false}},
        {dir.path(), {}, {EACCES, 0, false}},
    };
    platform::SystemLauncher launcher;
    EXPECT_TRUE(launcher.hasProgram(u"sh"_qs));
    EXPECT_FALSE(launcher.hasProgram(u"no-such-program-tw2000"_qs));
    for (const Case& c : cases) {
        std::optional<platform::RunResult> result;
        launcher.run(c.program, c.arguments, [&](const platform::RunResult& r) { result = r; });
        EXPECT_FALSE(result.has_value()) << c.program.toStdString();
        QElapsedTimer clock;
        clock.start();
        while (!result && clock.elapsed() < 5000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        ASSERT_TRUE(result.has_value()) << c.program.toStdString();
        EXPECT_EQ(result->error, c.expected.error) << c.program.toStdString();
        EXPECT_EQ(result->crashed, c.expected.crashed) << c.program.toStdString();
        if (!c.expected.crashed) {
            EXPECT_EQ(result->exitCode, c.expected.exitCode) << c.program.toStdString();
        }
    }
}

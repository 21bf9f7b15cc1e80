#include "core/help/help_collection.h"
#include "core/help/show_help.h"
#include "core/state/app_paths.h"
#include "core/text/messages.h"
#include "support/recording_port.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace tw;
using namespace Qt::StringLiterals;

namespace {

// The help window as the flows see it: every request recorded, topics answered from a set.
class RecordingHelpPort : public HelpPort {
public:
    QStringList calls;
    std::vector<int> knownTopics;

    void showContents() override { calls << u"contents"_s; }
    void showIndex(const QString& keyword) override { calls << u"index:"_s + keyword; }
    void showHowToUse() override { calls << u"how-to-use"_s; }
    bool showTopic(int topic) override {
        calls << u"topic:%1"_s.arg(topic);
        return std::find(knownTopics.begin(), knownTopics.end(), topic) != knownTopics.end();
    }
};

void write(const QString& path, const QByteArray& data) {
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(data);
}

struct Fixture {
    QTemporaryDir dir;
    test::RecordingPort port;
    RecordingHelpPort help;
    AppState state;
    AppGlobals globals;
    Messages messages{port, state, globals};

    Fixture() {
        globals.soundsWithDialogs = false;
        state.options.Status = 1;
    }
    void makeCollection() {
        globals.helpPath = dir.filePath(u"share/tarnwick2000/help/tarnwick2000.qhc"_s);
        write(globals.helpPath, "collection");
    }
};

} // namespace

TEST(ShowHelp, TheHelpMenuCommandsWithAndWithoutACollection) {
    struct Case {
        int command;
        bool collection;
        QString keyword;
        QStringList calls;
        BoxKind box;  // SystemInfo: no box
        QString text; // a part of the box text
    };
    const QString notFound = u"\r\rFile not found."_s;
    const Case cases[] = {
        {901, true, {}, {u"contents"_s}, BoxKind::SystemInfo, {}},
        {902, true, u"Rename"_s, {u"index:Rename"_s}, BoxKind::SystemInfo, {}},
        {902, true, {}, {u"index:"_s}, BoxKind::SystemInfo, {}},
        {903, true, {}, {u"how-to-use"_s}, BoxKind::SystemInfo, {}},
        {901, false, {}, {}, BoxKind::SystemError, notFound},
        {902, false, u"Rename"_s, {}, BoxKind::SystemError, notFound},
        {903, false, {}, {}, BoxKind::SystemError, notFound},
        {904, true, {}, {}, BoxKind::Fatal, u"Invalid help item specified (item:904)"_s},
        {0, false, {}, {}, BoxKind::Fatal, u"Invalid help item specified (item:0)"_s},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command);
        Fixture f;
        if (c.collection)
            f.makeCollection();
        f.globals.modulePath = f.dir.filePath(u"bin/tarnwick2000"_s);
        const bool shown = ShowHelp(f.state, f.globals, f.messages, f.help, c.command, c.keyword);
        EXPECT_EQ(f.help.calls, c.calls);
        EXPECT_EQ(shown, !c.calls.isEmpty());
        const auto boxes = f.port.boxes();
        if (c.box == BoxKind::SystemInfo) {
            EXPECT_TRUE(boxes.empty());
            continue;
        }
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].kind, c.box);
        EXPECT_TRUE(boxes[0].text.contains(c.text)) << boxes[0].text.toStdString();
        if (c.box == BoxKind::SystemError) {
            // No collection: the message names where the installed one belongs.
            EXPECT_EQ(boxes[0].text,
                      u"File: "_s + f.dir.filePath(u"share/tarnwick2000/help/tarnwick2000.qhc"_s) +
                          notFound);
        }
    }
}

TEST(ShowHelp, StatusTextOnlyWhileTheStatusBarIsShown) {
    Fixture f;
    f.makeCollection();
    ShowHelp(f.state, f.globals, f.messages, f.help, 903);
    EXPECT_EQ(f.port.count(u"status: Display instructions for using Help"_s), 1);
    f.state.options.Status = 0;
    f.port.clear();
    ShowHelp(f.state, f.globals, f.messages, f.help, 901);
    EXPECT_TRUE(f.port.status().isEmpty());
    EXPECT_EQ(f.help.calls, (QStringList{u"how-to-use"_s, u"contents"_s}));
}

TEST(ShowHelpTopic, MissingCollectionOrTopicGivesTheTopicWarning) {
    const QString warning = u"Help Topic ID: 540\r\rTopic not found in help file.\rCode: 2"_s;
    {
        Fixture f; // no collection: the window is not asked
        EXPECT_FALSE(ShowHelpTopic(f.globals, f.messages, f.help, 540));
        EXPECT_TRUE(f.help.calls.isEmpty());
        ASSERT_EQ(f.port.boxes().size(), 1u);
        EXPECT_EQ(f.port.boxes()[0].kind, BoxKind::SystemWarning);
        EXPECT_EQ(f.port.boxes()[0].caption, u"Tarnwick 2000"_s);
        EXPECT_EQ(f.port.boxes()[0].text, warning);
    }
    {
        Fixture f; // a collection without the topic
        f.makeCollection();
        f.help.knownTopics = {542};
        EXPECT_FALSE(ShowHelpTopic(f.globals, f.messages, f.help, 540));
        EXPECT_EQ(f.help.calls, QStringList{u"topic:540"_s});
        ASSERT_EQ(f.port.boxes().size(), 1u);
        EXPECT_EQ(f.port.boxes()[0].text, warning);

        f.port.clear();
        EXPECT_TRUE(ShowHelpTopic(f.globals, f.messages, f.help, 542));
        EXPECT_TRUE(f.port.boxes().empty());
    }
}

TEST(HelpCollection, FoundBesideTheBuildOrInstalledAndOnlyWhenAccepted) {
    QTemporaryDir dir;
    const QString exeDir = dir.filePath(u"build/src/app"_s);
    const QString build = dir.filePath(u"build/share/tarnwick2000/help/tarnwick2000.qhc"_s);
    const QString installed = dir.filePath(u"build/src/share/tarnwick2000/help/tarnwick2000.qhc"_s);
    const QStringList candidates = HelpCollectionCandidates(exeDir);
    ASSERT_GE(candidates.size(), 2);
    EXPECT_EQ(candidates[0], build);
    EXPECT_EQ(candidates[1], installed);

    const auto any = [](const QString&) { return true; };
    EXPECT_FALSE(FindHelpCollection(exeDir, any).startsWith(dir.path()));
    write(installed, "installed");
    EXPECT_EQ(FindHelpCollection(exeDir, any), installed);
    write(build, "build");
    EXPECT_EQ(FindHelpCollection(exeDir, any), build);
    // A collection the check refuses (another version's) is passed over.
    EXPECT_EQ(FindHelpCollection(exeDir, [&](const QString& p) { return p != build; }), installed);
    EXPECT_TRUE(FindHelpCollection(exeDir, {}).isEmpty());
    EXPECT_EQ(ExpectedHelpCollectionPath(u"/opt/tw/bin"_s),
              u"/opt/tw/share/tarnwick2000/help/tarnwick2000.qhc"_s);
    EXPECT_TRUE(HelpNamespace().startsWith(u"org.example.quellwork.tarnwick2000."_s));
    EXPECT_EQ(HelpTopicIdentifier(546), u"topic-546"_s);
}

TEST(HelpCollection, UserCopyIsWritableAndRemadeWhenTheSourceChanges) {
    QTemporaryDir dir;
    const QString source = dir.filePath(u"usr/share/tarnwick2000/help/tarnwick2000.qhc"_s);
    const QString document = dir.filePath(u"usr/share/tarnwick2000/help/tarnwick2000.qch"_s);
    write(source, "collection 1");
    write(document, "document 1");
    for (const QString& p : {source, document})
        QFile::setPermissions(p, QFileDevice::ReadOwner | QFileDevice::ReadOther);
    const QString cache = dir.filePath(u"cache"_s);

    const QString copy = UserHelpCollection(source, cache);
    EXPECT_EQ(copy, dir.filePath(u"cache/help/tarnwick2000.qhc"_s));
    EXPECT_TRUE(QFileInfo(copy).isWritable());
    QFile copied(dir.filePath(u"cache/help/tarnwick2000.qch"_s));
    ASSERT_TRUE(copied.open(QIODevice::ReadOnly));
    EXPECT_EQ(copied.readAll(), "document 1");
    copied.close();

    // The engine's search index beside the copy survives while the source is unchanged ...
    write(dir.filePath(u"cache/help/.tarnwick2000/fts"_s), "index");
    EXPECT_EQ(UserHelpCollection(source, cache), copy);
    EXPECT_TRUE(QFileInfo::exists(dir.filePath(u"cache/help/.tarnwick2000/fts"_s)));

    // ... and goes with the old copy when a new version is installed.
    QFile::setPermissions(document, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    write(document, "document 2, longer");
    EXPECT_EQ(UserHelpCollection(source, cache), copy);
    EXPECT_FALSE(QFileInfo::exists(dir.filePath(u"cache/help/.tarnwick2000/fts"_s)));
    ASSERT_TRUE(copied.open(QIODevice::ReadOnly));
    EXPECT_EQ(copied.readAll(), "document 2, longer");

    EXPECT_TRUE(UserHelpCollection(dir.filePath(u"missing.qhc"_s), cache).isEmpty());
    EXPECT_TRUE(UserHelpCollection(source, QString()).isEmpty());
}

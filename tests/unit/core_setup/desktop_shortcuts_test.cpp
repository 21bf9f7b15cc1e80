#include "core/about/program_version.h"
#include "core/setup/desktop_shortcuts.h"
#include "core/state/app_state.h"
#include "core/text/messages.h"
#include "support/recording_port.h"
#include "support/test_files.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cerrno>
#include <optional>

#include <sys/stat.h>

using namespace tw;

namespace {

unsigned Mode(const QString& path) {
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return 0;
    return info.st_mode & 07777;
}

// The value of `key` in an entry's text (the first line "key=...").
QString EntryValue(const QByteArray& text, const QString& key) {
    for (const QString& line : QString::fromUtf8(text).split(u'\n')) {
        if (line.startsWith(key + u'='))
            return line.mid(key.size() + 1);
    }
    return QStringLiteral("<missing>");
}

// A home of its own: HOME, XDG_DATA_HOME and XDG_CONFIG_HOME point into a temporary folder,
// with a configured desktop folder, for as long as the test runs.
class DesktopShortcuts : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(root.isValid());
        for (const char* name : kVariables)
            saved.push_back(qEnvironmentVariableIsSet(name) ? std::optional(qgetenv(name))
                                                            : std::nullopt);
        home = root.filePath(QStringLiteral("home"));
        data = root.filePath(QStringLiteral("data"));
        config = root.filePath(QStringLiteral("config"));
        ASSERT_TRUE(QDir().mkpath(home));
        qputenv("HOME", QFile::encodeName(home));
        qputenv("XDG_DATA_HOME", QFile::encodeName(data));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(config));
        desktop = home + QStringLiteral("/Schreibtisch");
        ASSERT_TRUE(QDir().mkpath(desktop));
        setUserDirs(
            "XDG_DOWNLOAD_DIR=\"$HOME/Downloads\"\nXDG_DESKTOP_DIR=\"$HOME/Schreibtisch\"\n");
    }
    void TearDown() override {
        for (std::size_t i = 0; i < std::size(kVariables); ++i) {
            if (saved[i])
                qputenv(kVariables[i], *saved[i]);
            else
                qunsetenv(kVariables[i]);
        }
    }

    void setUserDirs(const QByteArray& text) {
        test::WriteFile(config + QStringLiteral("/user-dirs.dirs"), text);
    }
    QString menuEntry() const {
        return data + QStringLiteral("/applications/Quellwork/Tarnwick 2000.desktop");
    }
    QString desktopEntry() const { return desktop + QStringLiteral("/Tarnwick 2000.desktop"); }
    QString autostartEntry() const {
        return config + QStringLiteral("/autostart/Tarnwick 2000.desktop");
    }
    // Every desktop entry below the temporary folder.
    QStringList entriesPresent() const {
        QStringList found;
        QDirIterator it(root.path(), {QStringLiteral("*.desktop")}, QDir::Files | QDir::Dirs,
                        QDirIterator::Subdirectories);
        while (it.hasNext())
            found << it.next().mid(root.path().size());
        found.sort();
        return found;
    }
    QStringList boxTexts() const {
        QStringList texts;
        for (const auto& box : port.boxes()) {
            EXPECT_EQ(box.kind, BoxKind::SystemInfo);
            EXPECT_EQ(box.caption, QStringLiteral("Setup"));
            texts << box.text;
        }
        return texts;
    }

    static constexpr const char* kVariables[] = {"HOME", "XDG_DATA_HOME", "XDG_CONFIG_HOME"};
    std::vector<std::optional<QByteArray>> saved;
    QTemporaryDir root;
    QString home, data, config, desktop;
    test::RecordingPort port;
    AppState state;
    AppGlobals globals;
    Messages messages{port, state, globals};
    ShortcutTarget target{QStringLiteral("/opt/tarnwick/bin/tarnwick2000"),
                          QStringLiteral("/opt/tarnwick/share/tarnwick2000.svg")};
};

TEST_F(DesktopShortcuts, EachPlaceCreatesFindsReplacesAndDeletesItsEntry) {
    struct Case {
        ShortcutPlace place;
        QString folder;
    };
    const Case cases[] = {
        {ShortcutPlace::StartMenu, data + QStringLiteral("/applications/Quellwork")},
        {ShortcutPlace::Desktop, desktop},
        {ShortcutPlace::Startup, config + QStringLiteral("/autostart")},
    };
    const QByteArray ours = DesktopEntryText(target);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.folder.toStdString());
        ASSERT_EQ(GetShellFolder(c.place), c.folder);
        const QString entry = c.folder + QStringLiteral("/Tarnwick 2000.desktop");
        EXPECT_EQ(ShortcutFileName(c.folder), entry);
        EXPECT_FALSE(ShortcutExists(c.place));

        ASSERT_TRUE(CreateShortcut(messages, target, c.place));
        EXPECT_TRUE(ShortcutExists(c.place));
        EXPECT_EQ(test::ReadFile(entry), ours);
        EXPECT_EQ(Mode(entry), 0755u);

        // Someone else's entry of that name is replaced by a create request.
        test::WriteFile(entry, "[Desktop Entry]\nType=Application\nName=Other\nExec=other\n");
        ::chmod(QFile::encodeName(entry).constData(), 0600);
        ASSERT_TRUE(CreateShortcut(messages, target, c.place));
        EXPECT_EQ(test::ReadFile(entry), ours);
        EXPECT_EQ(Mode(entry), 0755u);

        ASSERT_TRUE(DeleteShortcut(messages, c.place));
        EXPECT_FALSE(ShortcutExists(c.place));
        EXPECT_FALSE(QFileInfo::exists(entry));
        EXPECT_TRUE(QFileInfo(c.folder).isDir()); // the folder stays
    }
    EXPECT_TRUE(port.boxes().empty());
    EXPECT_TRUE(entriesPresent().isEmpty());
}

TEST_F(DesktopShortcuts, RequestsCreateFirstThenDeleteAndAreCleared) {
    // A desktop entry of someone else's is left alone by requests for the other places.
    const QByteArray foreign = "[Desktop Entry]\nType=Application\nName=Other\nExec=other\n";
    test::WriteFile(desktopEntry(), foreign);
    ASSERT_FALSE(QFileInfo::exists(data + QStringLiteral("/applications")));

    SetupChoices requests;
    requests.CreateStartMenu = 1;
    requests.CreateStartup = 1;
    ApplySetupRequests(messages, target, requests);
    EXPECT_EQ(requests, SetupChoices{});
    EXPECT_TRUE(port.boxes().empty());
    EXPECT_EQ(entriesPresent(),
              QStringList({QStringLiteral("/config/autostart/Tarnwick 2000.desktop"),
                           QStringLiteral("/data/applications/Quellwork/Tarnwick 2000.desktop"),
                           QStringLiteral("/home/Schreibtisch/Tarnwick 2000.desktop")}));
    EXPECT_EQ(test::ReadFile(desktopEntry()), foreign);
    EXPECT_EQ(test::ReadFile(menuEntry()), DesktopEntryText(target));

    // Create and remove of one place: created, then deleted, so nothing of it is left.
    requests.CreateDesktop = 1;
    requests.RemoveDesktop = 1;
    requests.RemoveStartMenu = 1;
    ApplySetupRequests(messages, target, requests);
    EXPECT_EQ(requests, SetupChoices{});
    EXPECT_TRUE(port.boxes().empty());
    EXPECT_EQ(entriesPresent(),
              QStringList({QStringLiteral("/config/autostart/Tarnwick 2000.desktop")}));
    EXPECT_TRUE(QFileInfo(data + QStringLiteral("/applications/Quellwork")).isDir());
}

TEST_F(DesktopShortcuts, DesktopFolderIsReadAsTheUserDirsFileSaysOrSkipped) {
    const QString schreibtisch = desktop;
    const QString umlaut = home + QStringLiteral("/Arbeitsfläche");
    const QString absolute = root.filePath(QStringLiteral("elsewhere/desk top"));
    const QString plainFile = home + QStringLiteral("/desk.txt");
    const QString customary = home + QStringLiteral("/Desktop");
    ASSERT_TRUE(QDir().mkpath(umlaut));
    ASSERT_TRUE(QDir().mkpath(absolute));
    ASSERT_TRUE(QDir().mkpath(customary));
    test::WriteFile(plainFile, "not a folder");

    struct Case {
        const char* what;
        std::optional<QByteArray> userDirs; // nullopt: no user-dirs.dirs at all
        std::optional<QString> expected;
    };
    const Case cases[] = {
        {"no file: the customary folder", std::nullopt, customary},
        {"$HOME path", QByteArray("XDG_DESKTOP_DIR=\"$HOME/Schreibtisch\"\n"), schreibtisch},
        {"UTF-8 name, spaces around =", "  XDG_DESKTOP_DIR = \"$HOME/Arbeitsfläche/\"\n", umlaut},
        {"absolute path with escapes",
         "XDG_DESKTOP_DIR=\"" + QFile::encodeName(root.path()) + "/elsewhere/desk\\ top\"\n",
         absolute},
        {"the last line counts",
         "XDG_DESKTOP_DIR=\"$HOME/Arbeitsfläche\"\nXDG_DESKTOP_DIR=\"$HOME/Schreibtisch\"\n",
         schreibtisch},
        {"comment and relative path ignored",
         "# XDG_DESKTOP_DIR=\"$HOME/Arbeitsfläche\"\nXDG_DESKTOP_DIR=\"Desktop\"\n", std::nullopt},
        {"not configured", "XDG_MUSIC_DIR=\"$HOME/Music\"\n", std::nullopt},
        {"the home folder means none", "XDG_DESKTOP_DIR=\"$HOME/\"\n", std::nullopt},
        {"$HOME alone", "XDG_DESKTOP_DIR=\"$HOME\"\n", std::nullopt},
        {"$HOMEX is no home", "XDG_DESKTOP_DIR=\"$HOMEX/Desktop\"\n", std::nullopt},
        {"missing folder", "XDG_DESKTOP_DIR=\"$HOME/Gone\"\n", std::nullopt},
        {"unclosed quote", "XDG_DESKTOP_DIR=\"$HOME/Schreibtisch\n", std::nullopt},
        {"a file in its place is returned", "XDG_DESKTOP_DIR=\"$HOME/desk.txt\"\n", plainFile},
    };
    const QString dirsFile = config + QStringLiteral("/user-dirs.dirs");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QFile::remove(dirsFile);
        if (c.userDirs)
            setUserDirs(*c.userDirs);
        EXPECT_EQ(GetShellFolder(ShortcutPlace::Desktop), c.expected);
    }

    // No user-dirs.dirs and no Desktop folder: no place.
    QFile::remove(dirsFile);
    ASSERT_TRUE(QDir(customary).removeRecursively());
    EXPECT_EQ(GetShellFolder(ShortcutPlace::Desktop), std::nullopt);

    // A relative XDG_CONFIG_HOME is ignored for ~/.config, and no HOME leaves no desktop.
    qputenv("XDG_CONFIG_HOME", "relative/config");
    test::WriteFile(home + QStringLiteral("/.config/user-dirs.dirs"),
                    "XDG_DESKTOP_DIR=\"$HOME/Arbeitsfläche\"\n");
    EXPECT_EQ(GetShellFolder(ShortcutPlace::Desktop), umlaut);
    EXPECT_EQ(GetShellFolder(ShortcutPlace::Startup), home + QStringLiteral("/.config/autostart"));
    qunsetenv("HOME");
    EXPECT_EQ(GetShellFolder(ShortcutPlace::Desktop), std::nullopt);
    EXPECT_EQ(GetShellFolder(ShortcutPlace::Startup), std::nullopt);
    EXPECT_EQ(GetShellFolder(ShortcutPlace::StartMenu),
              data + QStringLiteral("/applications/Quellwork"));
}

TEST_F(DesktopShortcuts, NoDesktopFolderCreatesNothingAndShowsNothing) {
    setUserDirs("XDG_DESKTOP_DIR=\"$HOME/\"\n");
    test::WriteFile(desktopEntry(), "[Desktop Entry]\n"); // not the desktop any more: left alone
    EXPECT_FALSE(ShortcutExists(ShortcutPlace::Desktop));
    EXPECT_FALSE(CreateShortcut(messages, target, ShortcutPlace::Desktop));
    EXPECT_FALSE(DeleteShortcut(messages, ShortcutPlace::Desktop));

    SetupChoices requests;
    requests.CreateDesktop = 1;
    requests.RemoveDesktop = 1;
    ApplySetupRequests(messages, target, requests);
    EXPECT_EQ(requests, SetupChoices{});
    EXPECT_TRUE(port.boxes().empty());
    EXPECT_TRUE(port.events().isEmpty());
    EXPECT_EQ(entriesPresent(),
              QStringList({QStringLiteral("/home/Schreibtisch/Tarnwick 2000.desktop")}));
}

TEST_F(DesktopShortcuts, FailuresShowTheSetupBoxAndTheOtherRequestsStillRun) {
    // Made with files where folders belong (and the other way round), not with permission
    // bits, which root does not obey.
    const QString quellwork = data + QStringLiteral("/applications/Quellwork");
    test::WriteFile(quellwork, "a file where the menu folder belongs");
    const QString deskFile = home + QStringLiteral("/desk.txt");
    test::WriteFile(deskFile, "a file where the desktop folder belongs");
    setUserDirs("XDG_DESKTOP_DIR=\"$HOME/desk.txt\"\n");

    SetupChoices requests;
    requests.CreateStartMenu = 1;
    requests.CreateDesktop = 1;
    requests.CreateStartup = 1;
    ApplySetupRequests(messages, target, requests);
    EXPECT_EQ(requests, SetupChoices{});
    const QString program = target.programPath;
    EXPECT_EQ(
        boxTexts(),
        QStringList(
            {u"\rFile '%1'\r\rMethod (Save) error detected\rCode %2"_qs.arg(program).arg(ENOTDIR),
             u"\rFile '%1'\r\rMethod (Save) error detected\rCode %2"_qs.arg(program).arg(
                 ENOTDIR)}));
    EXPECT_EQ(test::ReadFile(autostartEntry()), DesktopEntryText(target));
    EXPECT_EQ(test::ReadFile(quellwork), "a file where the menu folder belongs");

    // Deletes: the autostart entry's name is a folder, the desktop is still a file; the menu
    // entry is created meanwhile.
    port.clear();
    ASSERT_TRUE(QFile::remove(quellwork));
    ASSERT_TRUE(QFile::remove(autostartEntry()));
    ASSERT_TRUE(QDir().mkpath(autostartEntry()));
    EXPECT_TRUE(ShortcutExists(ShortcutPlace::Startup));
    requests.CreateStartMenu = 1;
    requests.RemoveDesktop = 1;
    requests.RemoveStartup = 1;
    ApplySetupRequests(messages, target, requests);
    EXPECT_EQ(boxTexts(), QStringList({u"\rFile '%1'\r\rCould not be deleted (error:%2)"_qs
                                           .arg(deskFile + QStringLiteral("/Tarnwick 2000.desktop"))
                                           .arg(ENOTDIR),
                                       u"\rFile '%1'\r\rCould not be deleted (error:%2)"_qs
                                           .arg(autostartEntry())
                                           .arg(EISDIR)}));
    EXPECT_TRUE(QFileInfo(autostartEntry()).isDir());
    EXPECT_EQ(test::ReadFile(menuEntry()), DesktopEntryText(target));

    // Creating over a folder of the entry's name, and without a program path.
    port.clear();
    EXPECT_FALSE(CreateShortcut(messages, target, ShortcutPlace::Startup));
    EXPECT_FALSE(CreateShortcut(messages, ShortcutTarget{}, ShortcutPlace::StartMenu));
    EXPECT_EQ(
        boxTexts(),
        QStringList(
            {u"\rFile '%1'\r\rMethod (Save) error detected\rCode %2"_qs.arg(program).arg(EISDIR),
             u"\rFile ''\r\rMethod (SetPath) error detected\rCode %1"_qs.arg(EINVAL)}));
    EXPECT_TRUE(QFileInfo(autostartEntry()).isDir());
    EXPECT_EQ(test::ReadFile(menuEntry()), DesktopEntryText(target));
}

TEST_F(DesktopShortcuts, EntryTextQuotesTheProgramAndPassesTheValidator) {
    // A path with every character the Exec quoting treats specially.
    const ShortcutTarget tricky{QStringLiteral("/opt/My \"Tools\"/100% $HOME\\bin/tarn`wick 2000"),
                                QString()};
    const QByteArray text = DesktopEntryText(tricky);
    EXPECT_EQ(EntryValue(text, u"Exec"_qs),
              QStringLiteral("\"/opt/My \\\\\"Tools\\\\\"/100%% \\\\$HOME\\\\\\\\bin/tarn\\\\`wick "
                             "2000\""));
    EXPECT_EQ(EntryValue(text, u"Icon"_qs), QString::fromUtf16(kDesktopId));
    EXPECT_EQ(EntryValue(text, u"Name"_qs), u"Tarnwick 2000"_qs);
    EXPECT_EQ(EntryValue(text, u"Comment"_qs), u"Tarnwick Internet FTP Client Utility"_qs);
    EXPECT_EQ(EntryValue(text, u"Type"_qs), u"Application"_qs);
    EXPECT_EQ(EntryValue(text, u"Terminal"_qs), u"false"_qs);
    EXPECT_EQ(EntryValue(text, u"Categories"_qs), u"Network;FileTransfer;"_qs);
    EXPECT_TRUE(text.startsWith("[Desktop Entry]\n"));
    EXPECT_EQ(EntryValue(DesktopEntryText(target), u"Exec"_qs),
              u"\"/opt/tarnwick/bin/tarnwick2000\""_qs);
    EXPECT_EQ(EntryValue(DesktopEntryText(target), u"Icon"_qs), target.iconPath);

    const QString validator = QStandardPaths::findExecutable(u"desktop-file-validate"_qs);
    if (validator.isEmpty())
        GTEST_SKIP() << "desktop-file-validate is not installed";
    for (const ShortcutTarget& entry : {target, tricky}) {
        SCOPED_TRACE(entry.programPath.toStdString());
        ASSERT_TRUE(CreateShortcut(messages, entry, ShortcutPlace::Startup));
        QProcess validate;
        validate.setProcessChannelMode(QProcess::MergedChannels);
        validate.start(validator, {autostartEntry()});
        ASSERT_TRUE(validate.waitForFinished(10000));
        const QByteArray output = validate.readAll();
        EXPECT_EQ(validate.exitCode(), 0) << output.toStdString();
        EXPECT_TRUE(output.trimmed().isEmpty()) << output.toStdString();
    }
}

} // namespace

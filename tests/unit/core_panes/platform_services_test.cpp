#include "platform/file_manager.h"
#include "platform/launcher.h"
#include "platform/mounts.h"

#include <QFileInfo>
#include <QSet>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <cerrno>

using namespace tw::platform;

TEST(Launcher, MissingOrUnusableProgramsGiveTheirErrorNumber) {
    EXPECT_EQ(Launcher::StartDetached(u"no-such-program-tw2000"_qs, {u"/tmp/a"_qs}).error, ENOENT);
    EXPECT_EQ(Launcher::StartDetached(u"/no/such/editor"_qs, {u"/tmp/a"_qs}).error, ENOENT);
    EXPECT_EQ(Launcher::StartDetached(u"NotePad.exe"_qs, {u"/tmp/a"_qs}).error, ENOENT);
    QTemporaryDir dir;
    EXPECT_EQ(Launcher::StartDetached(dir.path(), {}).error, EACCES); // a folder
    EXPECT_EQ(Launcher::StartDetached(QString(), {}).error, ENOENT);
}

TEST(Launcher, StartsAProgramWithThePathAsOneArgument) {
    QTemporaryDir dir;
    const QString marker = dir.path() + u"/with space %s.txt"_qs;
    // "touch" receives the whole path, blanks and percent signs included, as one argument.
    ASSERT_TRUE(Launcher::StartDetached(u"touch"_qs, {marker}).ok());
    for (int i = 0; i < 100 && !QFileInfo::exists(marker); ++i)
        QThread::msleep(20);
    EXPECT_TRUE(QFileInfo::exists(marker));
}

TEST(Launcher, ACommandLineProgramKeepsItsOwnArguments) {
    int error = 0;
    EXPECT_FALSE(Launcher::ResolveProgram(u"sh"_qs, &error).isEmpty());
    QTemporaryDir dir;
    const QString marker = dir.path() + u"/m"_qs;
    // "mkdir -p" is a program and its own option: the path comes after them.
    const QString nested = marker + u"/deeper"_qs;
    ASSERT_TRUE(Launcher::StartDetached(u"mkdir -p"_qs, {nested}).ok());
    for (int i = 0; i < 100 && !QFileInfo::exists(nested); ++i)
        QThread::msleep(20);
    EXPECT_TRUE(QFileInfo(nested).isDir());
}

TEST(FileManager, NoSessionBusMeansNoAnswer) {
    if (!qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"))
        GTEST_SKIP() << "a session bus is present";
    EXPECT_FALSE(FileManager::ShowItemProperties(u"/tmp"_qs, 500));
}

TEST(Mounts, OtherVolumesAreFoldersOtherThanRoot) {
    const QStringList mounts = Mounts::OtherMountPoints();
    for (const QString& m : mounts) {
        EXPECT_NE(m, u"/"_qs);
        EXPECT_TRUE(QFileInfo(m).isDir()) << m.toStdString();
    }
    EXPECT_EQ(mounts.size(), QSet<QString>(mounts.begin(), mounts.end()).size());
}

#include "core/settings/date_text.h"
#include "core/settings/default_programs.h"
#include "core/settings/export_file_class.h"
#include "core/settings/path_helpers.h"
#include "core/settings/settings.h"
#include "core/settings/settings_store.h"
#include "core/state/app_paths.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <unistd.h>

#include <gtest/gtest.h>

using namespace tw;

namespace {

void touch(const QString& path) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
}

} // namespace

TEST(PathHelpers, DirectoryPartAndExtension) {
    EXPECT_EQ(GetDirectoryPart(u"/usr/bin/tarnwick2000"_qs), u"/usr/bin/"_qs);
    EXPECT_EQ(GetDirectoryPart(u"/"_qs), u"/"_qs);
    EXPECT_EQ(GetDirectoryPart(u"file.txt"_qs), QString());
    EXPECT_EQ(StripExtension(u"/a/b/app.tar.gz"_qs), u"/a/b/app.tar"_qs);
    EXPECT_EQ(StripExtension(u"/a/b.d/app"_qs), u"/a/b.d/app"_qs);
    EXPECT_EQ(StripExtension(u"noext"_qs), u"noext"_qs);
    EXPECT_EQ(StripExtension(u"/home/u/.profile"_qs), u"/home/u/"_qs);
}

TEST(PathHelpers, ExistenceAndWritability) {
    QTemporaryDir dir;
    const QString f = dir.filePath(u"x.txt"_qs);
    EXPECT_FALSE(FileExists(f));
    EXPECT_FALSE(FileIsWritable(f, false));
    EXPECT_FALSE(FileExists(QString()));
    touch(f);
    EXPECT_TRUE(FileExists(f));
    EXPECT_TRUE(FileExists(dir.path()));
    EXPECT_TRUE(FileIsWritable(f, true));
    QFile::setPermissions(f, QFileDevice::ReadOwner);
    EXPECT_TRUE(FileIsWritable(f, false));
    if (geteuid() != 0) {
        EXPECT_FALSE(FileIsWritable(f, true));
    }
}

TEST(DateText, LongDateTwoBlanksAndTimeWithoutSeconds) {
    const QDateTime t(QDate(2026, 3, 9), QTime(14, 5, 59));
    const QLocale us(QLocale::English, QLocale::UnitedStates);
    EXPECT_EQ(FormatTimeText(t, us), us.toString(QTime(14, 5), QLocale::ShortFormat));
    EXPECT_FALSE(FormatTimeText(t, us).contains(u"59"_qs));
    EXPECT_EQ(FormatDateText(t, true, us), us.toString(t.date(), QLocale::LongFormat));
    EXPECT_EQ(FormatDateText(t, false, us), us.toString(t.date(), QLocale::ShortFormat));
    EXPECT_EQ(FormatDateTimeText(t, us),
              FormatDateText(t, true, us) + u"  "_qs + FormatTimeText(t, us));
    const QLocale de(QLocale::German, QLocale::Germany);
    EXPECT_EQ(FormatTimeText(t, de), u"14:05"_qs);
    EXPECT_FALSE(FormatDateTimeText(QDateTime(), de).isEmpty()); // now
}

TEST(ApplicationPaths, LogInTheDataFolderNamedAfterTheProgram) {
    QTemporaryDir dir;
    AppGlobals globals;
    InitApplicationPaths(globals, dir.path());
    EXPECT_TRUE(globals.modulePath.isEmpty()); // no application object in this test
    EXPECT_EQ(globals.logPath, dir.filePath(u"tarnwick2000.log"_qs));
}

TEST(DefaultPrograms, TenTypesOpenedByOneProgram) {
    const QString program = DefaultOpenProgram();
    EXPECT_FALSE(program.isEmpty());
    const auto types = DefaultFileTypes(program);
    ASSERT_EQ(types.size(), 10u);
    EXPECT_EQ(types.front().Ext, u".doc"_qs);
    EXPECT_EQ(types.back().Ext, u".txt"_qs);
    for (const auto& t : types) {
        EXPECT_TRUE(t.Ext.startsWith(u'.'));
        EXPECT_EQ(t.Cmd, program);
    }
}

TEST(ExportFileClass, PackageWrittenOnceAndOnlyWithADataFolder) {
    QTemporaryDir dir;
    const QString package = dir.filePath(u"mime/packages/tarnwick2000-twx.xml"_qs);
    EXPECT_FALSE(RegisterExportFileClass(QString(), u"twx"_qs, u"x"_qs));

    ASSERT_TRUE(RegisterExportFileClass(dir.path(), u"twx"_qs, u"A <&> B"_qs));
    QFile f(package);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray text = f.readAll();
    f.close();
    EXPECT_TRUE(text.contains("<glob pattern=\"*.twx\"/>"));
    EXPECT_TRUE(text.contains("<comment>A &lt;&amp;&gt; B</comment>"));

    // An unchanged package is not rewritten.
    ASSERT_TRUE(QFile::setPermissions(package, QFileDevice::ReadOwner));
    EXPECT_TRUE(RegisterExportFileClass(dir.path(), u"twx"_qs, u"A <&> B"_qs));
    EXPECT_EQ(QFileInfo(package).permissions() & QFileDevice::WriteOwner,
              QFileDevice::Permissions());
}

TEST(ExportFileClass, EverySaveRegistersTheTypeWhereTheDesktopLooks) {
    QTemporaryDir dir;
    SettingsStore store(dir.filePath(u"t.conf"_qs));
    AppState state;
    AppGlobals globals;
    ASSERT_TRUE(SaveSettings(store, state, globals));
    EXPECT_FALSE(QFileInfo::exists(dir.filePath(u"mime"_qs))); // no data folder: not registered
    globals.desktopDataHome = dir.path();
    ASSERT_TRUE(SaveSettings(store, state, globals));
    QFile f(dir.filePath(u"mime/packages/tarnwick2000-twx.xml"_qs));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_TRUE(f.readAll().contains("<comment>Tarnwick 2000 Account Export File</comment>"));
}

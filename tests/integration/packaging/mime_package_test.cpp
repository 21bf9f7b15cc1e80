#include "core/settings/export_file_class.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The package the program registers in the user's data folder on every save, and the one the
// Debian package installs system-wide, define the same type in the same words: the desktop
// sees one type whichever it reads first.
TEST(PackagingMime, InstalledPackageIsTheOneTheProgramRegisters) {
    QTemporaryDir dataHome;
    ASSERT_TRUE(dataHome.isValid());
    ASSERT_TRUE(tw::RegisterExportFileClass(dataHome.path(), u"twx"_qs,
                                            u"Tarnwick 2000 Account Export File"_qs));
    const QByteArray registered =
        readFile(dataHome.filePath(u"mime/packages/tarnwick2000-twx.xml"_qs));
    const QByteArray installed = readFile(QString::fromUtf8(TW_MIME_PACKAGE));
    ASSERT_FALSE(registered.isEmpty());
    ASSERT_FALSE(installed.isEmpty()) << TW_MIME_PACKAGE;
    EXPECT_EQ(installed.toStdString(), registered.toStdString());
    EXPECT_TRUE(
        installed.contains("type=\"" + QString::fromUtf16(tw::kExportMimeType).toUtf8() + "\""));
}

} // namespace

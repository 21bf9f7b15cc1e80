#include "platform/start_folder.h"
#include "ui/shell_session.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace tw {
namespace {

TEST(LocalStartFolder, TheFolderTheProgramWasStartedIn) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    EXPECT_EQ(platform::LocalStartFolder(dir.path() + QStringLiteral("/"),
                                         QStringLiteral("/home/u"), false),
              QDir::cleanPath(dir.path()));
}

TEST(LocalStartFolder, DesktopLaunchRootOrMissingFolderGiveHome) {
    QTemporaryDir dir;
    const QString home = QStringLiteral("/home/u");
    EXPECT_EQ(platform::LocalStartFolder(dir.path(), home, true), home);
    EXPECT_EQ(platform::LocalStartFolder(QStringLiteral("/"), home, false), home);
    EXPECT_EQ(platform::LocalStartFolder(dir.path() + QStringLiteral("/gone"), home, false), home);
    EXPECT_EQ(platform::LocalStartFolder(QString(), home, false), home);
    EXPECT_EQ(platform::LocalStartFolder(QString(), QString(), false), QDir::rootPath());
}

TEST(SetupCommandLine, OnlyTheWholeLineInAnyCase) {
    using ui::IsSetupCommandLine;
    EXPECT_TRUE(IsSetupCommandLine({QStringLiteral("/setup")}));
    EXPECT_TRUE(IsSetupCommandLine({QStringLiteral("-SETUP")}));
    EXPECT_TRUE(IsSetupCommandLine({QStringLiteral("/SeTuP")}));
    EXPECT_FALSE(IsSetupCommandLine({}));
    EXPECT_FALSE(IsSetupCommandLine({QStringLiteral("/setup"), QStringLiteral("now")}));
    EXPECT_FALSE(IsSetupCommandLine({QStringLiteral("--setup")}));
    EXPECT_FALSE(IsSetupCommandLine({QStringLiteral("setup")}));
}

} // namespace
} // namespace tw

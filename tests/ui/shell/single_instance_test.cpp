#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

// Two real starts of the program on one settings file and one runtime folder: the second asks
// the first to come forward and ends at once with 0, without loading (or writing) settings.
class SingleInstanceTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        QFile::setPermissions(m_dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        // Settings that exist already: no first start, whose setup sheet would come first.
        QFile settings(settingsFile());
        ASSERT_TRUE(settings.open(QIODevice::WriteOnly));
        settings.write("[Options]\nConfirm=1\n");
    }

    QProcessEnvironment environment(const QString& settings) const {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_dir.path());
        env.insert(QStringLiteral("TARNWICK2000_SETTINGS"), settings);
        env.insert(QStringLiteral("TARNWICK2000_TRACE"), QStringLiteral("1"));
        return env;
    }
    QString settingsFile() const { return m_dir.filePath(QStringLiteral("settings.ini")); }

    void startProgram(QProcess& p, const QString& settings = {}) const {
        p.setProcessEnvironment(environment(settings.isEmpty() ? settingsFile() : settings));
        p.setWorkingDirectory(m_dir.path());
        p.start(QStringLiteral(TW_PROGRAM_PATH), {});
    }

    static bool waitForLine(QProcess& p, const QByteArray& line, QByteArray& seen) {
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < 15000) {
            if (seen.split('\n').contains(line))
                return true;
            if (p.state() == QProcess::NotRunning)
                return false;
            p.waitForReadyRead(200);
            seen += p.readAllStandardOutput();
        }
        return seen.split('\n').contains(line);
    }

    QTemporaryDir m_dir;
};

TEST_F(SingleInstanceTest, SecondStartRaisesTheFirstAndEnds) {
    QProcess first;
    startProgram(first);
    ASSERT_TRUE(first.waitForStarted(5000));
    QByteArray firstOut;
    ASSERT_TRUE(waitForLine(first, "shown", firstOut)) << firstOut.constData();

    // The second start gets a settings file of its own: loading settings would create it.
    const QString secondSettings = m_dir.filePath(QStringLiteral("second.ini"));
    QProcess second;
    startProgram(second, secondSettings);
    ASSERT_TRUE(second.waitForFinished(10000));
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_FALSE(second.readAllStandardOutput().contains("shown"));

    EXPECT_TRUE(waitForLine(first, "raise-request", firstOut)) << firstOut.constData();
    EXPECT_FALSE(QFile::exists(secondSettings));

    first.terminate();
    if (!first.waitForFinished(5000))
        first.kill();
    first.waitForFinished(5000);
}

TEST_F(SingleInstanceTest, LeftOverSocketDoesNotStopTheNextStart) {
    {
        QProcess crashed;
        startProgram(crashed);
        ASSERT_TRUE(crashed.waitForStarted(5000));
        QByteArray out;
        ASSERT_TRUE(waitForLine(crashed, "shown", out));
        crashed.kill(); // leaves its socket behind
        crashed.waitForFinished(5000);
    }
    QProcess next;
    startProgram(next);
    ASSERT_TRUE(next.waitForStarted(5000));
    QByteArray out;
    EXPECT_TRUE(waitForLine(next, "shown", out)) << out.constData();
    next.kill();
    next.waitForFinished(5000);
}

} // namespace

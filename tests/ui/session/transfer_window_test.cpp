#include "../shell/shell_fixture.h"

#include "core/queue/queue_controller.h"
#include "core/queue/queue_rows.h"
#include "core/session/session_controller.h"
#include "core/transfer/transfer_controller.h"
#include "integration/ftp/ftp_test_servers.h"
#include "support/connect_sheet.h"
#include "support/qt_printers.h"
#include "ui/panes/pane_view.h"
#include "ui/queue/queue_pane.h"
#include "ui/transfer/progress_window.h"
#include "ui/transfer/transfer_dialogs.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QProgressBar>
#include <QStatusBar>
#include <QTimer>

#include <filesystem>
#include <fstream>

namespace tw::test {
namespace {

namespace fs = std::filesystem;

// The real main window moving files to and from a real FTP server.
class TransferWindowTest : public ShellFixture {
protected:
    void SetUp() override {
        ShellFixture::SetUp();
        // The server starts in a folder that stays (an earlier test's folder may be gone).
        QDir::setCurrent(QDir::tempPath());
        std::string why;
        m_server = FtpTestServer::start(FtpTestServer::Kind::Pyftpdlib, "127.0.0.1", why);
        if (!m_server)
            GTEST_SKIP() << why;
        WritePatternFile(m_server->root() / "data.bin", 8 << 20, 4);
        qputenv("TARNWICK2000_DEMO_SERVER",
                QByteArray("127.0.0.1:") + QByteArray::number(m_server->port()));
    }
    void TearDown() override {
        qunsetenv("TARNWICK2000_DEMO_SERVER");
        ShellFixture::TearDown();
    }

    static bool waitLong(const std::function<bool()>& done, int ms = 20000) {
        QElapsedTimer clock;
        clock.start();
        while (!done() && clock.elapsed() < ms)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        return done();
    }

    // Connects, and makes a fresh folder the local pane's folder.
    ui::MainWindow* connectWindow() {
        ui::MainWindow* w = start();
        if (!w)
            return nullptr;
        w->state().options.Timestamp = 0;
        PressConnectWhenAsked();
        w->dispatcher().dispatch(int(CommandId::Connect));
        EXPECT_TRUE(waitLong([&] { return w->runtime().connected && !w->runtime().busy; }));
        fs::create_directories(localDir());
        w->setLocalStartFolder(QString::fromStdString(localDir().string()));
        return w;
    }

    fs::path localDir() const { return fs::path(folder().toStdString()) / "local"; }

    static int rowOf(const PaneState& pane, const QString& name) {
        for (int i = 0; i < pane.count(); ++i)
            if (pane.entries[std::size_t(i)].name == name)
                return i;
        return -1;
    }

    static void select(QWidget* list, int row) {
        auto* view = qobject_cast<ui::PaneView*>(list);
        ASSERT_NE(view, nullptr);
        ASSERT_GE(row, 0);
        view->selectRow(row);
    }

    std::unique_ptr<FtpTestServer> m_server;
};

TEST_F(TransferWindowTest, DownloadThenUploadFromTheWindow) {
    ui::MainWindow* w = connectWindow();
    ASSERT_NE(w, nullptr);
    ASSERT_TRUE(waitLong([&] { return rowOf(w->state().remote, u"data.bin"_qs) >= 0; }));
    select(w->remoteList(), rowOf(w->state().remote, u"data.bin"_qs));
    w->dispatcher().dispatch(int(CommandId::Download));
    ASSERT_TRUE(waitLong([&] {
        return !w->runtime().busy && w->logLines().contains(u"1 file transfered"_qs);
    })) << ::testing::PrintToString(w->logLines());
    EXPECT_EQ(ReadWholeFile(localDir() / "data.bin"), ReadWholeFile(m_server->root() / "data.bin"));
    EXPECT_TRUE(w->logLines().contains(u"GET: data.bin ..."_qs));
    EXPECT_TRUE(w->logLines().contains(u"data.bin transferred (8388608 bytes) "_qs));
    // The local pane was listed again and shows the new file.
    ASSERT_TRUE(waitLong([&] { return rowOf(w->state().local, u"data.bin"_qs) >= 0; }));
    EXPECT_TRUE(waitLong([&] { return w->transferDialogs().progressWindow() == nullptr; }))
        << "closed after the file";

    std::ofstream(localDir() / "notes.txt") << "uploaded from the window";
    w->dispatcher().dispatch(int(CommandId::LocalRefresh));
    select(w->localList(), rowOf(w->state().local, u"notes.txt"_qs));
    w->dispatcher().dispatch(int(CommandId::Upload));
    ASSERT_TRUE(waitLong([&] {
        return !w->runtime().busy && rowOf(w->state().remote, u"notes.txt"_qs) >= 0;
    })) << ::testing::PrintToString(w->logLines());
    EXPECT_EQ(ReadWholeFile(m_server->root() / "notes.txt"), "uploaded from the window");
    EXPECT_TRUE(w->logLines().contains(u"PUT: notes.txt ..."_qs));
}

// A file over 4 GiB (sparse on the server) stopped with the progress window's Cancel: the
// status shows 64-bit sizes, nothing is left locally, and the window is usable again.
TEST_F(TransferWindowTest, CancelInTheProgressWindowStopsALongDownload) {
    const std::uint64_t size = (4ull << 30) + 100;
    { std::ofstream big(m_server->root() / "huge.iso"); }
    fs::resize_file(m_server->root() / "huge.iso", size);
    ui::MainWindow* w = connectWindow();
    ASSERT_NE(w, nullptr);
    ASSERT_TRUE(waitLong([&] { return rowOf(w->state().remote, u"huge.iso"_qs) >= 0; }))
        << ::testing::PrintToString(w->logLines());
    select(w->remoteList(), rowOf(w->state().remote, u"huge.iso"_qs));
    w->dispatcher().dispatch(int(CommandId::Download));

    ui::ProgressWindow* progress = nullptr;
    ASSERT_TRUE(waitLong([&] {
        progress = w->transferDialogs().progressWindow();
        return progress && progress->isVisible() && progress->bar()->value() > 2;
    }));
    EXPECT_TRUE(progress->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_EQ(progress->windowTitle(), u" Tarnwick 2000 Transfer"_qs);
    EXPECT_TRUE(waitLong([&] {
        return w->statusText().endsWith(u" of 4294967396 bytes received ..."_qs);
    })) << w->statusText().toStdString();
    const QString shots = qEnvironmentVariable("TW_SCREENSHOT_DIR");
    if (!shots.isEmpty()) {
        progress->grab().save(shots + QStringLiteral("/progress.png"));
        w->grab().save(shots + QStringLiteral("/transferring.png"));
    }
    auto* cancel = progress->findChild<QAbstractButton*>(QStringLiteral("cancelButton"));
    ASSERT_NE(cancel, nullptr);
    cancel->click();
    ASSERT_TRUE(waitLong([&] {
        return !w->runtime().busy && w->logLines().contains(u"Transfer stopped"_qs);
    })) << ::testing::PrintToString(w->logLines());
    EXPECT_FALSE(w->logLines().contains(u"1 file transfered"_qs));
    EXPECT_FALSE(fs::exists(localDir() / "huge.iso"));
    EXPECT_TRUE(fs::exists(localDir() / ".huge.iso.tw-part")) << "kept to be resumed";
    EXPECT_TRUE(w->currentCommandStates().main(CommandId::Download).enabled ||
                w->currentCommandStates().main(CommandId::RemoteRefresh).enabled);
}

// A folder queued from the window: its files run on the queue's own connections, so the user
// browses while they move; Stop leaves the rows stopped, and Start Again finishes them.
TEST_F(TransferWindowTest, AQueuedFolderMovesWhileTheUserBrowsesAndStopsOnStop) {
    const fs::path site = m_server->root() / "site";
    fs::create_directories(site / "img");
    const auto picture = [](int i) { return std::string(1, char('a' + i)) + ".bin"; };
    for (int i = 0; i < 20; ++i)
        WritePatternFile(site / "img" / picture(i), 40000 + i, i);
    { std::ofstream big(site / "huge.iso"); } // sparse: long enough to browse during it
    fs::resize_file(site / "huge.iso", 4ull << 30);
    ui::MainWindow* w = connectWindow();
    ASSERT_NE(w, nullptr);
    ASSERT_TRUE(waitLong([&] { return rowOf(w->state().remote, u"site"_qs) >= 0; }));
    select(w->remoteList(), rowOf(w->state().remote, u"site"_qs));
    w->dispatcher().dispatch(int(CommandId::Download));
    QueueRows& rows = *w->queueRows();
    const auto running = [&] {
        for (int i = 0; i < rows.count(); ++i)
            if (rows.at(i).state == queue::ItemState::Running && rows.at(i).transferred > 0 &&
                rows.at(i).size == (4ull << 30))
                return true;
        return false;
    };
    ASSERT_TRUE(waitLong(running)) << ::testing::PrintToString(w->logLines());
    EXPECT_TRUE(w->queuePane()->isVisible());
    EXPECT_GE(rows.count(), 22); // the folders and files of the walked tree

    // The browsing session is free: the remote folder is listed while the file moves.
    EXPECT_FALSE(w->runtime().busy);
    w->dispatcher().dispatch(int(CommandId::RemoteRefresh));
    ASSERT_TRUE(waitLong([&] { return !w->runtime().busy; }));
    EXPECT_TRUE(running()) << "still copying after the listing";
    EXPECT_TRUE(w->currentCommandStates().main(CommandId::StopTransfer).enabled);

    w->dispatcher().dispatch(int(CommandId::StopTransfer));
    ASSERT_TRUE(waitLong([&] { return w->logLines().contains(u"Transfer stopped"_qs); }))
        << ::testing::PrintToString(w->logLines());
    std::vector<std::int64_t> stopped;
    for (int i = 0; i < rows.count(); ++i)
        if (rows.at(i).state == queue::ItemState::Stopped)
            stopped.push_back(rows.at(i).id);
    ASSERT_FALSE(stopped.empty());
    EXPECT_FALSE(fs::exists(localDir() / "site" / "huge.iso"));

    // The big file is taken out of the queue; Start Again copies the rest.
    fs::resize_file(site / "huge.iso", 1000);
    w->transferQueue().startAgain(stopped);
    ASSERT_TRUE(waitLong([&] { return !w->transferQueue().running(); }, 60000));
    for (int i = 0; i < 20; ++i)
        EXPECT_EQ(ReadWholeFile(localDir() / "site" / "img" / picture(i)),
                  ReadWholeFile(site / "img" / picture(i)));
    EXPECT_EQ(fs::file_size(localDir() / "site" / "huge.iso"), 1000u)
        << "the changed file was copied again from its start";
}

} // namespace
} // namespace tw::test

#include "../shell/shell_fixture.h"

#include "core/accounts/account_store.h"
#include "integration/ftp/ftp_test_servers.h"
#include "support/connect_sheet.h"
#include "support/flow_controllers.h"
#include "support/qt_printers.h"
#include "support/screenshot.h"
#include "ui/command_actions.h"
#include "ui/panes/pane_model.h"
#include "ui/panes/pane_view.h"

#include <QAction>
#include <QApplication>
#include <QDir>

#include <chrono>
#include <filesystem>
#include <fstream>

namespace tw::test {
namespace {

namespace fs = std::filesystem;

QPalette DarkPalette() {
    QPalette dark;
    dark.setColor(QPalette::Window, QColor(0x30, 0x30, 0x30));
    dark.setColor(QPalette::WindowText, QColor(0xee, 0xee, 0xee));
    dark.setColor(QPalette::Base, QColor(0x1e, 0x1e, 0x1e));
    dark.setColor(QPalette::Text, QColor(0xdd, 0xdd, 0xdd));
    dark.setColor(QPalette::Button, QColor(0x30, 0x30, 0x30));
    dark.setColor(QPalette::ButtonText, QColor(0xee, 0xee, 0xee));
    return dark;
}

// A file with `text` and a modification time `seconds` after the epoch.
void Write(const fs::path& file, const std::string& text, std::int64_t seconds) {
    std::ofstream(file) << text;
    fs::last_write_time(file, fs::file_time_type::clock::from_sys(
                                  std::chrono::sys_seconds(std::chrono::seconds(seconds))));
}

constexpr std::int64_t kTime = 1796685356; // 2026-12-08 03:15:56 UTC

// The window against a real server (pyftpdlib: MLSD, times to the second): Compare Folders
// marks both panes from their listings, Show Only Differences hides the rows in step, a new
// listing is compared again, and the compare ends with the connection.
class CompareWindowTest : public ShellFixture {
protected:
    void SetUp() override {
        ShellFixture::SetUp();
        ASSERT_TRUE(QDir::setCurrent(folder()));
        std::string why;
        m_server = FtpTestServer::start(FtpTestServer::Kind::Pyftpdlib, "127.0.0.1", why);
        if (!m_server)
            GTEST_SKIP() << why;
        qputenv("TARNWICK2000_DEMO_SERVER",
                QByteArray("127.0.0.1:") + QByteArray::number(m_server->port()));
        m_site = fs::path(folder().toStdString()) / "site";
        fs::create_directories(m_site);
        m_saved = QApplication::palette();
    }
    void TearDown() override {
        QApplication::setPalette(m_saved);
        qunsetenv("TARNWICK2000_DEMO_SERVER");
        ShellFixture::TearDown();
    }

    // Starts the window with the demo account's local folder at `site` and connects.
    ui::MainWindow* connect() {
        ui::MainWindow* w = start();
        if (!w)
            return nullptr;
        AppState& state = w->state();
        state.Accounts[std::size_t(state.CurrentAccount)].LocalPath =
            QString::fromStdString(m_site.string());
        PressConnectWhenAsked();
        w->dispatcher().dispatch(int(CommandId::Connect));
        if (!waitFor([&] {
                return w->runtime().connected && !w->runtime().busy &&
                       w->state().remote.hasListing && w->state().remote.count() > 1;
            }))
            return nullptr;
        return w;
    }
    static std::map<QString, CompareMark> marks(const PaneState& pane) {
        std::map<QString, CompareMark> out;
        for (const FileEntry& e : pane.entries)
            if (!e.isParent)
                out[e.name] = e.compare;
        return out;
    }
    static QStringList shown(QWidget* list, const PaneState& pane) {
        auto* view = qobject_cast<ui::PaneView*>(list);
        QStringList names;
        for (int row = 0; row < pane.count(); ++row)
            if (!view->isRowHidden(row, QModelIndex()))
                names << pane.entries[std::size_t(row)].name;
        names.sort();
        return names;
    }
    static QAction* action(ui::MainWindow* w, CommandId id) {
        return w->commandActions()->mainAction(id);
    }

    std::unique_ptr<FtpTestServer> m_server;
    fs::path m_site;
    QPalette m_saved;
};

TEST_F(CompareWindowTest, MarksBothPanesAndShowsOnlyTheDifferences) {
    const fs::path root = m_server->root();
    for (const fs::path& side : {root, m_site}) {
        Write(side / "same.txt", "same", kTime);
        fs::create_directories(side / "shared");
    }
    Write(root / "changed.txt", "new text", kTime);
    Write(m_site / "changed.txt", "new text", kTime - 600);
    Write(root / "big.bin", "0123456789", kTime - 3000);
    Write(m_site / "big.bin", "01234", kTime - 3000);
    Write(root / "server-only.txt", "s", kTime);
    Write(m_site / "local-only.txt", "l", kTime);
    fs::create_directories(m_site / "local-folder");

    ui::MainWindow* w = connect();
    ASSERT_NE(w, nullptr) << ::testing::PrintToString(w ? w->logLines() : QStringList());
    const PaneState& local = w->state().local;
    const PaneState& remote = w->state().remote;
    ASSERT_EQ(local.path, QString::fromStdString(m_site.string()));
    EXPECT_FALSE(action(w, CommandId::ShowOnlyDifferences)->isEnabled());

    w->dispatcher().dispatch(int(CommandId::CompareFolders));
    EXPECT_TRUE(action(w, CommandId::CompareFolders)->isChecked());
    EXPECT_TRUE(action(w, CommandId::ShowOnlyDifferences)->isEnabled());
    using M = std::map<QString, CompareMark>;
    EXPECT_EQ(marks(local), (M{{u"same.txt"_qs, CompareMark::None},
                               {u"shared"_qs, CompareMark::None},
                               {u"changed.txt"_qs, CompareMark::OlderHere},
                               {u"big.bin"_qs, CompareMark::SizeDiffers},
                               {u"local-only.txt"_qs, CompareMark::OnlyHere},
                               {u"local-folder"_qs, CompareMark::OnlyHere}}));
    EXPECT_EQ(marks(remote), (M{{u"same.txt"_qs, CompareMark::None},
                                {u"shared"_qs, CompareMark::None},
                                {u"changed.txt"_qs, CompareMark::NewerHere},
                                {u"big.bin"_qs, CompareMark::SizeDiffers},
                                {u"server-only.txt"_qs, CompareMark::OnlyHere}}));
    EXPECT_TRUE(w->logLines().contains(u"Compared: 2 only here, 1 only on the server, 1 newer on "
                                       u"the server, 1 of another size"_qs))
        << ::testing::PrintToString(w->logLines());
    // The views show the marks: a tint and the description on the marked rows.
    auto* remoteView = qobject_cast<ui::PaneView*>(w->remoteList());
    for (int row = 0; row < remote.count(); ++row) {
        const QModelIndex index = remoteView->paneModel()->index(row, 0);
        const bool marked = remote.entries[std::size_t(row)].compare != CompareMark::None;
        EXPECT_EQ(index.data(Qt::BackgroundRole).isValid(), marked) << row;
        EXPECT_EQ(index.data(Qt::AccessibleDescriptionRole).isValid(), marked) << row;
    }
    SaveScreenshot(*w, u"compare_window_light.png"_qs);

    w->dispatcher().dispatch(int(CommandId::ShowOnlyDifferences));
    EXPECT_TRUE(action(w, CommandId::ShowOnlyDifferences)->isChecked());
    EXPECT_EQ(shown(w->localList(), local),
              (QStringList{u".."_qs, u"big.bin"_qs, u"changed.txt"_qs, u"local-folder"_qs,
                           u"local-only.txt"_qs}));
    EXPECT_EQ(shown(w->remoteList(), remote),
              (QStringList{u".."_qs, u"big.bin"_qs, u"changed.txt"_qs, u"server-only.txt"_qs}));

    // The server's copy changes and is listed again: compared again, hidden rows follow.
    Write(root / "same.txt", "same but longer", kTime);
    w->dispatcher().dispatch(int(CommandId::RemoteRefresh));
    ASSERT_TRUE(waitFor([&] {
        return !w->runtime().busy && marks(remote)[u"same.txt"_qs] == CompareMark::SizeDiffers;
    })) << ::testing::PrintToString(w->logLines());
    EXPECT_EQ(marks(local)[u"same.txt"_qs], CompareMark::SizeDiffers);
    EXPECT_TRUE(shown(w->localList(), local).contains(u"same.txt"_qs));
    EXPECT_TRUE(shown(w->remoteList(), remote).contains(u"same.txt"_qs));
    EXPECT_FALSE(shown(w->remoteList(), remote).contains(u"shared"_qs));

    // A dark desktop theme: the tints follow the palette.
    QApplication::setPalette(DarkPalette());
    spin(50);
    const int changed = RowsNamed(remote, {u"changed.txt"_qs}).front();
    const QColor darkTint =
        remoteView->paneModel()->index(changed, 0).data(Qt::BackgroundRole).value<QColor>();
    ASSERT_TRUE(darkTint.isValid());
    EXPECT_LT(darkTint.lightness(), 128);
    SaveScreenshot(*w, u"compare_window_dark.png"_qs);

    // Disconnect ends the compare: no marks, both commands off.
    w->dispatcher().dispatch(int(CommandId::Disconnect));
    EXPECT_FALSE(w->runtime().comparing);
    EXPECT_FALSE(action(w, CommandId::CompareFolders)->isChecked());
    EXPECT_FALSE(action(w, CommandId::ShowOnlyDifferences)->isChecked());
    for (const auto& [name, mark] : marks(local))
        EXPECT_EQ(mark, CompareMark::None) << name.toStdString();
    EXPECT_EQ(shown(w->localList(), local).size(), local.count());
}

// A server whose listed times are two hours ahead of the local files: the compare offers the
// account an offset once, Yes saves it and the folders compare clean.
TEST_F(CompareWindowTest, TimeZoneSkewOfferedAndSavedWithTheAccount) {
    const fs::path root = m_server->root();
    for (const char* name : {"a.txt", "b.txt", "c.txt"}) {
        Write(root / name, name, kTime + 7200);
        Write(m_site / name, name, kTime);
    }
    ui::MainWindow* w = connect();
    ASSERT_NE(w, nullptr);
    ui::MessageBoxTestHook::pushAnswers({true});
    w->dispatcher().dispatch(int(CommandId::CompareFolders));
    ASSERT_TRUE(waitFor([] { return ui::MessageBoxTestHook::pendingAnswers() == 0; }));
    const auto asked = ui::MessageBoxTestHook::takeAnsweredRequests();
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].caption, u"Compare Folders"_qs);
    EXPECT_TRUE(asked[0].text.contains(u"as 2 hours ahead for this account?"_qs))
        << asked[0].text.toStdString();
    const AppState& state = w->state();
    EXPECT_EQ(state.Accounts[std::size_t(state.CurrentAccount)].TimeOffset, -7200);
    for (const auto& [name, mark] : marks(state.remote))
        EXPECT_EQ(mark, CompareMark::None) << name.toStdString();
    EXPECT_EQ(w->logLines().last(), u"Compared: the two folders are in step"_qs)
        << ::testing::PrintToString(w->logLines());
    // Kept in the settings file with the account.
    AppState saved;
    LoadAccounts(SettingsStore(settingsFile()), saved);
    bool found = false;
    for (const AccountRecord& a : saved.Accounts)
        if (a.Name == state.Accounts[std::size_t(state.CurrentAccount)].Name) {
            found = true;
            EXPECT_EQ(a.TimeOffset, -7200);
        }
    EXPECT_TRUE(found);
}

} // namespace
} // namespace tw::test

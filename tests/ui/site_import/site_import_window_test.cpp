#include "../shell/shell_fixture.h"

#include "core/commands/command_id.h"
#include "support/test_files.h"
#include "ui/command_actions.h"
#include "ui/site_import/site_import_dialog.h"

#include <QAction>
#include <QApplication>
#include <QFileDialog>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>

using namespace tw;

namespace {

// The program started with HOME in its temporary folder, so the commands find the user's
// files there.
class SiteImportWindow : public test::ShellFixture {
protected:
    void SetUp() override {
        ShellFixture::SetUp();
        m_home = qgetenv("HOME");
        m_config = qgetenv("XDG_CONFIG_HOME");
        qputenv("HOME", home().toLocal8Bit());
        qunsetenv("XDG_CONFIG_HOME");
    }
    void TearDown() override {
        ShellFixture::TearDown();
        qputenv("HOME", m_home);
        if (!m_config.isEmpty())
            qputenv("XDG_CONFIG_HOME", m_config);
    }
    QString home() const { return folder() + QStringLiteral("/home"); }

private:
    QByteArray m_home, m_config;
};

} // namespace

// FTP > Import FileZilla Sites from the menu to the saved settings: the file dialog opens on
// ~/.config/filezilla/sitemanager.xml, the report lists the sites, Import adds the account and
// a restart finds it.
TEST_F(SiteImportWindow, MenuCommandImportsTheSitesAndTheyAreSaved) {
    const QString file = home() + QStringLiteral("/.config/filezilla/sitemanager.xml");
    test::WriteFile(file, "<FileZilla3><Servers><Folder>Work<Server><Host>ftp.example.org</Host>"
                          "<User>amy</User><Pass encoding=\"base64\">cHc=</Pass><Name>Docs</Name>"
                          "</Server></Folder><Server><Host>s3.example</Host><Protocol>7</Protocol>"
                          "<Name>Bucket</Name></Server></Servers></FileZilla3>");
    ui::MainWindow* w = start();
    const std::size_t before = w->state().Accounts.size();
    QStringList seen;
    QTimer answerer;
    answerer.setInterval(10);
    QObject::connect(&answerer, &QTimer::timeout, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (auto* files = qobject_cast<QFileDialog*>(modal)) {
            seen << QStringLiteral("file: ") + files->selectedFiles().value(0);
            QMetaObject::invokeMethod(files, "accept");
        } else if (auto* report = qobject_cast<ui::SiteImportDialog*>(modal)) {
            seen << QStringLiteral("report: %1 rows").arg(report->table()->rowCount());
            report->importButton()->click();
        } else if (modal) {
            seen << QStringLiteral("other: ") + modal->windowTitle();
            modal->close();
        }
    });
    answerer.start();
    QAction* action = w->commandActions()->mainAction(CommandId::ImportFileZilla);
    ASSERT_NE(action, nullptr);
    EXPECT_EQ(action->text(), QStringLiteral("Import &FileZilla Sites..."));
    EXPECT_TRUE(action->isEnabled());
    action->trigger();
    answerer.stop();
    EXPECT_EQ(seen,
              (QStringList{QStringLiteral("file: ") + file, QStringLiteral("report: 2 rows")}));
    ASSERT_EQ(w->state().Accounts.size(), before + 1);
    const AccountRecord& added = w->state().Accounts.back();
    EXPECT_EQ(added.Name, QStringLiteral("Work / Docs"));
    EXPECT_EQ(added.Password, QStringLiteral("pw"));

    ui::MainWindow* again = restart();
    const auto& accounts = again->state().Accounts;
    const auto kept = std::find_if(accounts.begin(), accounts.end(), [](const AccountRecord& r) {
        return r.Name == QStringLiteral("Work / Docs");
    });
    ASSERT_NE(kept, accounts.end());
    EXPECT_EQ(kept->URL, QStringLiteral("ftp.example.org"));
    EXPECT_EQ(kept->Login, QStringLiteral("amy"));
}

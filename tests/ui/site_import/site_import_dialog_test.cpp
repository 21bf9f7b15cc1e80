#include "ui/site_import/site_import_dialog.h"

#include "core/accounts/site_import/filezilla_sites.h"
#include "core/accounts/site_import/site_merge.h"
#include "support/test_files.h"

#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>

#include "support/screenshot.h"

#include <gtest/gtest.h>

using namespace tw;
using tw::ui::SiteImportDialog;

namespace {

void shoot(QWidget& widget, const QString& name) {
    test::SaveScreenshot(widget, name);
}

SiteImportPlan samplePlan() {
    AccountRecord existing;
    existing.Name = QStringLiteral("Plain FTP");
    const QByteArray xml = test::ReadFile(
        QStringLiteral(TW_SOURCE_DIR "/tests/unit/site_import/data/sitemanager.xml"));
    SiteFileRead read = ReadFileZillaSites(xml);
    read.problem = QStringLiteral("Broken XML at line 99: Premature end of document. The rest of "
                                  "the file was skipped.");
    ImportedSite hostile;
    hostile.source = QStringLiteral("evil\x1b[2J\u202ename");
    hostile.skipReason = QStringLiteral("the name holds control characters");
    read.sites.push_back(hostile);
    return PlanSiteImport({existing}, read, QStringLiteral("sitemanager.xml"));
}

} // namespace

// The plan's rows as the table shows them, the summary, the buttons' names and answers; a
// plan that imports nothing leaves Import greyed and Cancel the default.
TEST(SiteImportDialog, ListsEveryRowBeforeAnythingChangesAndAnswersImportOrCancel) {
    const SiteImportPlan plan = samplePlan();
    const int count = int(plan.added.size());
    ASSERT_GT(count, 0);
    const QString file = QStringLiteral("/home/amy/.config/filezilla/sitemanager.xml");
    SiteImportDialog dialog(QStringLiteral("Import FileZilla Sites"), file, plan.rows, count);
    dialog.resize(900, 460);
    dialog.show();
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Import FileZilla Sites"));
    QTableWidget* table = dialog.table();
    ASSERT_EQ(table->rowCount(), int(plan.rows.size()));
    ASSERT_EQ(table->columnCount(), 4);
    QStringList headers;
    for (int c = 0; c < 4; ++c)
        headers << table->horizontalHeaderItem(c)->text();
    EXPECT_EQ(headers, (QStringList{QStringLiteral("Site"), QStringLiteral("Account"),
                                    QStringLiteral("Outcome"), QStringLiteral("Notes")}));
    for (int r = 0; r < table->rowCount(); ++r) {
        const SiteImportRow& row = plan.rows[std::size_t(r)];
        SCOPED_TRACE(row.source.toStdString());
        EXPECT_EQ(table->item(r, 1)->text(), row.account);
        EXPECT_EQ(table->item(r, 2)->text(), SiteImportDialog::OutcomeText(row.outcome));
        if (!row.source.contains(u'\x1b')) {
            EXPECT_EQ(table->item(r, 0)->text(),
                      row.source.contains(u'\t') ? QStringLiteral("Tab\\x09Name") : row.source);
            EXPECT_EQ(table->item(r, 3)->text(), row.notes);
        }
        EXPECT_FALSE(table->item(r, 0)->flags() & Qt::ItemIsEditable);
    }
    // Control characters from the file are shown as escapes, never obeyed.
    const QString hostile = table->item(table->rowCount() - 2, 0)->text();
    EXPECT_EQ(hostile, QStringLiteral("evil\\x1b[2J\\u202ename"));
    EXPECT_EQ(table->item(table->rowCount() - 1, 0)->text(), QStringLiteral("sitemanager.xml"));
    EXPECT_EQ(table->item(table->rowCount() - 1, 2)->text(), QStringLiteral("Skipped"));

    EXPECT_EQ(dialog.summaryText()->text(),
              SiteImportDialog::SummaryText(file, plan.rows.size(), count));
    EXPECT_TRUE(dialog.summaryText()->text().startsWith(QString::number(count) + u' '));
    EXPECT_EQ(dialog.summaryText()->accessibleName(), dialog.summaryText()->text());
    EXPECT_EQ(table->accessibleName(), QStringLiteral("Sites"));
    EXPECT_EQ(dialog.importButton()->accessibleName(), QStringLiteral("Import"));
    EXPECT_EQ(dialog.cancelButton()->accessibleName(), QStringLiteral("Cancel"));
    EXPECT_TRUE(dialog.importButton()->isEnabled());
    EXPECT_TRUE(dialog.importButton()->isDefault());
    shoot(dialog, QStringLiteral("site_import_report.png"));

    const struct {
        const char* what;
        int count;
        int key; // 0: click the button
        bool import;
        int result;
    } answers[] = {
        {"Import", count, 0, true, QDialog::Accepted},
        {"Enter", count, Qt::Key_Return, true, QDialog::Accepted},
        {"Cancel", count, 0, false, QDialog::Rejected},
        {"Escape", count, Qt::Key_Escape, false, QDialog::Rejected},
        {"Enter with nothing to import", 0, Qt::Key_Return, false, QDialog::Rejected},
    };
    // With the table full nothing can be imported: every row says so.
    std::vector<AccountRecord> full(static_cast<std::size_t>(kMaxAccounts));
    for (int i = 0; i < kMaxAccounts; ++i)
        full[std::size_t(i)].Name = QStringLiteral("Account %1").arg(i);
    const SiteImportPlan none =
        PlanSiteImport(full,
                       ReadFileZillaSites(test::ReadFile(QStringLiteral(
                           TW_SOURCE_DIR "/tests/unit/site_import/data/sitemanager.xml"))),
                       QStringLiteral("sitemanager.xml"));
    ASSERT_TRUE(none.added.empty());
    for (const auto& a : answers) {
        SCOPED_TRACE(a.what);
        SiteImportDialog d(QStringLiteral("Import SSH Config Hosts"), file,
                           a.count > 0 ? plan.rows : none.rows, a.count);
        d.show();
        if (a.count == 0)
            shoot(d, QStringLiteral("site_import_nothing.png"));
        EXPECT_EQ(d.importButton()->isEnabled(), a.count > 0);
        EXPECT_EQ(d.cancelButton()->isDefault(), a.count == 0);
        if (a.key)
            QTest::keyClick(&d, Qt::Key(a.key));
        else
            (a.import ? d.importButton() : d.cancelButton())->click();
        EXPECT_EQ(d.result(), a.result);
        if (a.count == 0) {
            EXPECT_TRUE(d.summaryText()->text().startsWith(QStringLiteral("Nothing in")));
        }
    }
}

#include "core/state/app_state.h"
#include "core/text/messages.h"
#include "support/recording_port.h"
#include "ui/transfer/log_viewer_dialog.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeView>

#include <gtest/gtest.h>

#include <functional>

using namespace tw;
using namespace tw::ui;

namespace {

// Runs `act` on the next modal dialog once it is shown.
void OnNextModal(std::function<void(QWidget*)> act) {
    QTimer::singleShot(0, [act] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal) {
            OnNextModal(act);
            return;
        }
        act(modal);
    });
}

QString AccessibleNameOf(QWidget* dialog, const char* id) {
    auto* w = dialog->findChild<QWidget*>(QString::fromLatin1(id));
    return w ? w->accessibleName() : QStringLiteral("<missing>");
}

} // namespace

TEST(LogViewerDialog, ShowsTheLogNewestFirstAtItsPlaceAndAsksBeforeDeleting) {
    QTemporaryDir dir;
    const QString logPath = dir.filePath(u"tarnwick2000.log"_qs);
    {
        QFile log(logPath);
        ASSERT_TRUE(log.open(QIODevice::WriteOnly));
        log.write(
            "07-Dec-2026 - 23:15:56 - /home/ann/docs\\report.pdf => /pub/incoming\\report.pdf\n"
            "07-Dec-2026 - 23:16:40 - /pub\\README => /home/ann\\readme\n"
            "08-Dec-2026 - 08:02:11 - /home/ann\\100% done.txt => /pub\\100% done.txt\n");
    }
    test::RecordingPort port;
    port.answerBoxes({false}); // keep the log when asked
    AppState state;
    state.options.SaveWindows = 1;
    AppGlobals globals;
    globals.logPath = logPath;
    globals.virtualScreen = QRect(0, 0, 1920, 1080);
    WindowPlacement& placement =
        globals.frameworkPlacements[std::size_t(FrameworkPlacement::LogViewer)];
    placement = {5000, 5000, 400, 600, 0}; // Top, Left, Height, Width: far off screen
    const Messages messages(port, state, globals);
    std::vector<int> topics;

    QStringList rows;
    QPoint position;
    QString title, pathLabel;
    bool listAtTop = false;
    OnNextModal([&](QWidget* dialog) {
        title = dialog->windowTitle();
        position = dialog->geometry().topLeft(); // the client area, as placements keep it
        pathLabel = dialog->findChild<QLabel*>(u"100"_qs)->text();
        auto* list = dialog->findChild<QTreeView*>(u"101"_qs);
        for (int r = 0; r < list->model()->rowCount(); ++r)
            rows << list->model()->index(r, 0).data().toString();
        listAtTop = list->indexAt(QPoint(1, 1)).row() == 0;
        EXPECT_EQ(AccessibleNameOf(dialog, "102"), u"Delete Log File"_qs);
        EXPECT_EQ(AccessibleNameOf(dialog, "1"), u"OK"_qs);
        EXPECT_EQ(AccessibleNameOf(dialog, "18"), u"Print"_qs);
        EXPECT_EQ(AccessibleNameOf(dialog, "9"), u"Help"_qs);
        EXPECT_EQ(AccessibleNameOf(dialog, "100"), pathLabel);
        for (auto* label : dialog->findChildren<QLabel*>()) {
            if (!label->text().isEmpty()) {
                EXPECT_EQ(label->accessibleName(), label->text());
            }
        }
        EXPECT_TRUE(dialog->findChild<QPushButton*>(u"1"_qs)->isDefault());
        EXPECT_TRUE(list->font().fixedPitch());

        const QByteArray shots = qgetenv("TW_SCREENSHOT_DIR");
        const QString shotDir = shots.isEmpty() ? QDir::tempPath() : QString::fromLocal8Bit(shots);
        EXPECT_TRUE(dialog->grab().save(shotDir + u"/transfer_log_viewer.png"_qs));

        dialog->findChild<QPushButton*>(u"9"_qs)->click();
        dialog->findChild<QCheckBox*>(u"102"_qs)->click();
        dialog->findChild<QPushButton*>(u"1"_qs)->click();
    });
    EXPECT_TRUE(RunTransferLogViewer(nullptr, state, globals, messages,
                                     [&](int topic) { topics.push_back(topic); }));

    EXPECT_EQ(title, u"Tarnwick 2000 - Program Message Log"_qs);
    EXPECT_TRUE(pathLabel.endsWith(u"/tarnwick2000.log"_qs)) << pathLabel.toStdString();
    EXPECT_EQ(
        rows,
        (QStringList{u"08-Dec-2026 - 08:02:11 - /home/ann\\100% done.txt => /pub\\100% done.txt"_qs,
                     u"07-Dec-2026 - 23:16:40 - /pub\\README => /home/ann\\readme"_qs,
                     u"07-Dec-2026 - 23:15:56 - /home/ann/docs\\report.pdf => "
                     u"/pub/incoming\\report.pdf"_qs}));
    EXPECT_TRUE(listAtTop);
    // The remembered corner is pulled back so the remembered size fits the screen.
    EXPECT_EQ(position, QPoint(1920 - 600, 1080 - 400));
    EXPECT_EQ(placement.Left, 1320);
    EXPECT_EQ(placement.Top, 680);
    EXPECT_EQ(topics, std::vector<int>{350});
    // OK with the tick asked first; the answer No kept the log.
    ASSERT_EQ(port.boxes().size(), 1u);
    EXPECT_EQ(port.boxes()[0].caption, u"Delete Log File"_qs);
    EXPECT_TRUE(QFile::exists(logPath));
}

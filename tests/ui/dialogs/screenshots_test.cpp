#include "ui/dialogs/customize_toolbar_dialog.h"
#include "ui/dialogs/exit_confirm_dialog.h"
#include "ui/dialogs/message_box_dialog.h"
#include "ui/dialogs/program_icons.h"
#include "ui/log_pane.h"
#include "widget_test_support.h"

#include <QDir>
#include <QPixmap>

#include <gtest/gtest.h>

namespace {

using namespace tw::ui;

// Renders every dialog; with TW_SCREENSHOT_DIR set the pictures are saved there to be looked at.
// Without it the test still checks that each dialog renders to a picture of its own size.
void save(QWidget& widget, const char* name) {
    widget.show();
    const QPixmap picture = widget.grab();
    EXPECT_EQ(picture.size(), widget.size() * picture.devicePixelRatio()) << name;
    const QByteArray dir = qgetenv("TW_SCREENSHOT_DIR");
    if (!dir.isEmpty()) {
        const QString path = QDir(QString::fromLocal8Bit(dir))
                                 .filePath(QString::fromLatin1(name) + QStringLiteral(".png"));
        EXPECT_TRUE(picture.save(path)) << name;
    }
}

TEST(Screenshots, EveryDialogRenders) {
    tw::test::widgetApp();
    MessageBoxDialog error(MessageBoxDialog::Kind::Error, nullptr, QString(),
                           QStringLiteral("CreateFile)\r\rFile: /home/user/report 100%.txt\r\r"
                                          "Error detected writing data to disk\rCode 28"));
    save(error, "box_error");
    MessageBoxDialog info(MessageBoxDialog::Kind::Info, nullptr, QStringLiteral("Tarnwick 2000"),
                          QStringLiteral("\rThe Toolbar ribbon style you have selected will\rbe "
                                         "used the next time you start Tarnwick.\r\rUse the View "
                                         "| Customize menu command to add\ror remove individual "
                                         "toolbar ribbon buttons."));
    save(info, "box_info");
    MessageBoxDialog question(MessageBoxDialog::Kind::YesNo, nullptr, QStringLiteral("Delete File"),
                              QStringLiteral("Are you sure you want to delete 'notes.txt'?"),
                              false);
    save(question, "box_yesno");
    QString reply =
        QStringLiteral("MKD)\r\rFile: /pub/incoming/new\r\rThe server's reply follows.\r");
    for (int i = 1; i <= 60; ++i)
        reply += QStringLiteral("550-Directory /pub/incoming/part%1 is not writable here\r").arg(i);
    MessageBoxDialog grownBox(MessageBoxDialog::Kind::Info, nullptr,
                              QStringLiteral("Tarnwick 2000"),
                              reply.left(reply.indexOf(QStringLiteral("part7"))));
    save(grownBox, "box_grown");
    MessageBoxDialog longBox(MessageBoxDialog::Kind::Error, nullptr, QString(),
                             reply + QStringLiteral("550 Directory not created"));
    save(longBox, "box_long");
    std::uint32_t flag = 1;
    ExitConfirmDialog exitDialog(nullptr, &flag);
    save(exitDialog, "exit_confirm");
    ExitConfirmDialog exitNoFlag(nullptr, nullptr);
    save(exitNoFlag, "exit_confirm_noflag");

    std::vector<ToolbarButtonInfo> buttons;
    const char* names[] = {"Connect", "Disconnect", "Download", "Upload",
                           "Refresh", "Delete",     "Options",  "About"};
    int id = 500;
    for (const char* n : names)
        buttons.push_back({id++, QString::fromLatin1(n), ProgramIcon(1001)});
    CustomizeToolbarDialog customize(nullptr, buttons, {500, 501, 0, 502, 503}, {500}, [] {});
    save(customize, "customize_toolbar");

    LogPane log;
    log.resize(500, 74);
    for (int i = 0; i < 12; ++i)
        log.appendLine(QStringLiteral("Line %1: GET: file%1.txt ...\r(second part)").arg(i));
    save(log, "log_pane");
}

} // namespace

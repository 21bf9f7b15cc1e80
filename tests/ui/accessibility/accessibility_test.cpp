#include "ui/shell/shell_fixture.h"

#include "core/commands/toolbar_layout.h"
#include "ui/about/about_splash.h"
#include "ui/dialogs/customize_toolbar_dialog.h"
#include "ui/dialogs/exit_confirm_dialog.h"
#include "ui/help/help_window.h"
#include "ui/log_pane.h"
#include "ui/main_toolbar.h"
#include "ui/transfer/destination_name_dialog.h"
#include "ui/transfer/log_viewer_dialog.h"
#include "ui/transfer/newer_destination_dialog.h"
#include "ui/transfer/progress_window.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QFile>
#include <QLabel>
#include <QTemporaryDir>

#include <functional>

namespace tw::test {
namespace {

// Roles a user operates or reads; each needs a name.
bool NeedsName(QAccessible::Role role) {
    switch (role) {
    case QAccessible::PushButton:
    case QAccessible::CheckBox:
    case QAccessible::RadioButton:
    case QAccessible::ComboBox:
    case QAccessible::EditableText:
    case QAccessible::StaticText:
    case QAccessible::List:
    case QAccessible::ListItem:
    case QAccessible::Tree:
    case QAccessible::Table:
    case QAccessible::ToolBar:
    case QAccessible::Separator:
    case QAccessible::StatusBar:
    case QAccessible::ProgressBar:
    case QAccessible::ButtonMenu:
    case QAccessible::MenuItem:
    case QAccessible::PageTab:
        return true;
    default:
        return false;
    }
}

// The text a widget shows, where it shows one: what its accessible name must be.
std::optional<QString> VisibleText(QObject* object) {
    if (const auto* button = qobject_cast<QAbstractButton*>(object);
        button && !button->text().isEmpty())
        return QString(button->text()).remove(QLatin1Char('&'));
    if (const auto* label = qobject_cast<QLabel*>(object); label && label->pixmap().isNull())
        return label->buddy() ? QString(label->text()).remove(QLatin1Char('&')) : label->text();
    return std::nullopt;
}

// Walks the accessible tree below `node` (item views: their first rows only) and lists every
// shown control without a name, or whose name is not the text it shows. Every button and
// separator of a toolbar is a control.
void Check(QAccessibleInterface* node, const QString& path, QStringList& problems, int depth = 0,
           bool onToolbar = false) {
    if (!node || !node->isValid() || node->state().invisible || depth > 12)
        return;
    const QString name = node->text(QAccessible::Name);
    const QString where = path + u'/' + QString::number(int(node->role()), 16) + u'(' +
                          (node->object() ? node->object()->objectName() : QString()) + u')';
    // A control that shows a text is named by it (an empty label reads as nothing); any other
    // control a user operates or reads needs a name of its own.
    if (const auto text = VisibleText(node->object())) {
        if (name != *text)
            problems << where + QStringLiteral(" is named \"") + name +
                            QStringLiteral("\", shows \"") + *text + u'"';
    } else if ((onToolbar || NeedsName(node->role())) && name.trimmed().isEmpty()) {
        problems << where + QStringLiteral(" has no name");
    }
    const int children = std::min(node->childCount(), 40);
    for (int i = 0; i < children; ++i)
        Check(node->child(i), where, problems, depth + 1, node->role() == QAccessible::ToolBar);
}

QStringList Problems(QWidget* widget) {
    QStringList problems;
    Check(QAccessible::queryAccessibleInterface(widget),
          QString::fromLatin1(widget->metaObject()->className()), problems);
    return problems;
}

class AccessibilityTest : public ShellFixture {};

TEST_F(AccessibilityTest, EveryControlOfTheMainWindowHasItsName) {
    ui::MainWindow* w = start();
    const QStringList problems = Problems(w);
    EXPECT_TRUE(problems.isEmpty()) << problems.join(u'\n').toStdString();
}

TEST_F(AccessibilityTest, LogLinesAreTheItemsOfAnAccessibleList) {
    ui::MainWindow* w = start();
    auto* log = static_cast<ui::LogPane*>(w->logPane());
    log->clear();
    const QStringList lines = {QStringLiteral("LIST /*.* ..."), QStringLiteral("Two\rparts"),
                               QStringLiteral("100% done")};
    log->appendLines(lines);
    QAccessibleInterface* list = QAccessible::queryAccessibleInterface(log);
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->role(), QAccessible::List);
    EXPECT_EQ(list->text(QAccessible::Name), QStringLiteral("Log Window"));
    ASSERT_EQ(list->childCount(), 3);
    for (int i = 0; i < 3; ++i) {
        QAccessibleInterface* item = list->child(i);
        ASSERT_NE(item, nullptr);
        EXPECT_EQ(item->role(), QAccessible::ListItem);
        EXPECT_EQ(item->text(QAccessible::Name), ui::LogPane::displayText(lines[i]));
        EXPECT_EQ(item->parent(), list);
        EXPECT_EQ(list->indexOfChild(item), i);
    }
    log->setSelectedLine(1);
    EXPECT_TRUE(list->child(1)->state().selected);
    log->clear();
    EXPECT_EQ(list->childCount(), 0);
}

TEST_F(AccessibilityTest, TransferAndShellDialogsNameEveryControl) {
    ui::DestinationNameDialog name;
    DestinationNameRequest request;
    request.sourceFolder = QStringLiteral("/home/ann");
    request.destinationFolder = QStringLiteral("/pub");
    request.fileName = QStringLiteral("report.pdf");
    name.setRequest(request);

    NewerDestinationRequest newer;
    newer.source.name = QStringLiteral("notes.txt");
    newer.destination.name = QStringLiteral("notes.txt");
    ui::NewerDestinationDialog question(newer);

    ui::ProgressWindow progress;
    progress.start(ProgressRequest{QStringLiteral("Transfer"), 0, QStringLiteral("a.txt"), 0, 10});

    LogViewerRequest viewerRequest;
    viewerRequest.title = QStringLiteral("Log");
    viewerRequest.pathLabel = QStringLiteral("/Tmp/Log");
    viewerRequest.lines = {QStringLiteral("one line")};
    ui::LogViewerDialog viewer(viewerRequest);

    std::uint32_t confirm = 1;
    ui::ExitConfirmDialog exit(nullptr, &confirm);

    std::vector<ui::ToolbarButtonInfo> buttons = {
        {toInt(CommandId::Connect), QStringLiteral("Connect"), QIcon()}};
    ui::CustomizeToolbarDialog customize(nullptr, buttons, {toInt(CommandId::Connect), 0},
                                         {toInt(CommandId::Connect)});

    for (QWidget* dialog :
         std::initializer_list<QWidget*>{&name, &question, &progress, &viewer, &exit, &customize}) {
        dialog->show();
        const QStringList problems = Problems(dialog);
        EXPECT_TRUE(problems.isEmpty()) << problems.join(u'\n').toStdString();
    }
}

// The About splash and the help window, each on every tab.
TEST_F(AccessibilityTest, SplashAndHelpWindowNameEveryControl) {
    ui::MainWindow* w = start();
    ui::ShowAboutSplash(w->messages());
    ASSERT_NE(ui::CurrentAboutSplash(), nullptr);
    QAccessibleInterface* splash = QAccessible::queryAccessibleInterface(ui::CurrentAboutSplash());
    EXPECT_EQ(splash->text(QAccessible::Name), QStringLiteral("Tarnwick 2000 Version 2.6.0"));
    ui::CloseAboutSplash();

    // The engine writes its search index beside the collection: a copy of the built one.
    QTemporaryDir dir;
    for (const char* name : {"tarnwick2000.qhc", "tarnwick2000.qch"})
        ASSERT_TRUE(QFile::copy(QStringLiteral(TW_BINARY_DIR "/share/tarnwick2000/help/") +
                                    QLatin1String(name),
                                dir.filePath(QLatin1String(name))));
    ui::HelpWindow help(dir.filePath(QStringLiteral("tarnwick2000.qhc")), nullptr);
    const std::function<void()> tabs[] = {[&] { help.showContents(); },
                                          [&] { help.showIndex(QStringLiteral("connect")); },
                                          [&] { help.search(QStringLiteral("passive")); }};
    for (const auto& show : tabs) {
        show();
        const QStringList problems = Problems(&help);
        EXPECT_TRUE(problems.isEmpty()) << problems.join(u'\n').toStdString();
    }
}

} // namespace
} // namespace tw::test

#include "core/help/help_collection.h"
#include "core/help/show_help.h"
#include "core/settings/settings_store.h"
#include "core/state/app_paths.h"
#include "core/text/messages.h"
#include "support/recording_port.h"
#include "ui/dialogs/dialog_placement.h"
#include "ui/dialogs/widget_test_support.h"
#include "ui/help/f1_help.h"
#include "ui/help/help_browser.h"
#include "ui/help/help_collection_check.h"
#include "ui/help/help_viewer.h"
#include "ui/help/help_window.h"

#include <QAccessible>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QHelpContentItem>
#include <QHelpContentWidget>
#include <QHelpEngine>
#include <QHelpIndexWidget>
#include <QHelpLink>
#include <QLineEdit>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QVBoxLayout>
#include <QWindow>

#include <gtest/gtest.h>

using namespace tw;
using namespace tw::ui;
using namespace Qt::StringLiterals;

namespace {

QString builtCollection() {
    return QStringLiteral(TW_BINARY_DIR "/share/tarnwick2000/help/tarnwick2000.qhc");
}

QString read(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

QUrl withoutFragment(QUrl url) {
    url.setFragment(QString());
    return url;
}

void screenshot(QWidget* window, const QString& name) {
    const QString dir = qEnvironmentVariable("TW_SCREENSHOT_DIR");
    if (!dir.isEmpty()) {
        QDir().mkpath(dir);
        window->grab().save(QDir(dir).filePath(name + u".png"_s));
    }
}

// Copies the built collection into `dir` (as an installed tree would hold it).
QString installCopy(const QString& dir) {
    QDir().mkpath(dir);
    const QString source = QFileInfo(builtCollection()).path();
    for (const QString& name : {u"tarnwick2000.qhc"_s, u"tarnwick2000.qch"_s})
        QFile::copy(source + u'/' + name, dir + u'/' + name);
    return dir + u"/tarnwick2000.qhc"_s;
}

} // namespace

// Every dialog topic resolves, in the collection the build made, to a page of the document
// that holds the element the topic's anchor names.
TEST(HelpCollectionBuilt, EveryTopicResolvesToAPageWithItsAnchor) {
    ASSERT_TRUE(QFileInfo::exists(builtCollection()));
    ASSERT_TRUE(IsCurrentHelpCollection(builtCollection()));
    QHelpEngineCore engine(builtCollection());
    engine.setReadOnly(true);
    ASSERT_TRUE(engine.setupData());
    for (const int topic : kHelpTopics) {
        SCOPED_TRACE(topic);
        const QList<QHelpLink> links = engine.documentsForIdentifier(HelpTopicIdentifier(topic));
        ASSERT_EQ(links.size(), 1);
        const QUrl url = links.first().url;
        EXPECT_EQ(url.host(), HelpNamespace());
        EXPECT_EQ(url.fragment(), HelpTopicIdentifier(topic));
        const QString page = QString::fromUtf8(engine.fileData(withoutFragment(url)));
        ASSERT_FALSE(page.isEmpty()) << url.toString().toStdString();
        EXPECT_TRUE(page.contains(u"id=\"topic-%1\""_s.arg(topic))) << url.toString().toStdString();
    }
    const QUrl usingHelp(u"qthelp://%1/tarnwick2000/html/using-help.html"_s.arg(HelpNamespace()));
    EXPECT_FALSE(engine.fileData(usingHelp).isEmpty());
}

// A collection another version left behind is never taken; this version's is.
TEST(HelpCollectionBuilt, AnotherVersionsCollectionIsPassedOver) {
    QTemporaryDir dir;
    const QString project = dir.filePath(u"project"_s);
    QDir().mkpath(project + u"/html"_s);
    const QString built = QStringLiteral(TW_BINARY_DIR "/help-project");
    for (const QString& name : QDir(built + u"/html"_s).entryList(QDir::Files))
        QFile::copy(built + u"/html/"_s + name, project + u"/html/"_s + name);
    QString qhp = read(built + u"/tarnwick2000.qhp"_s);
    qhp.replace(HelpNamespace(), u"org.example.quellwork.tarnwick2000.1.9.0"_s);
    QFile out(project + u"/tarnwick2000.qhp"_s);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write(qhp.toUtf8());
    out.close();
    QFile::copy(built + u"/tarnwick2000.qhcp"_s, project + u"/tarnwick2000.qhcp"_s);
    QProcess generator;
    generator.setWorkingDirectory(project);
    generator.start(QStringLiteral(TW_QHELPGENERATOR),
                    {u"tarnwick2000.qhcp"_s, u"-o"_s, u"tarnwick2000.qhc"_s});
    ASSERT_TRUE(generator.waitForFinished(60000));
    ASSERT_EQ(generator.exitCode(), 0);

    // Beside the "build tree" the old version, in the "installed tree" this one.
    const QString exeDir = dir.filePath(u"prefix/bin"_s);
    const QString old = dir.filePath(u"share/tarnwick2000/help"_s);
    QDir().mkpath(old);
    QFile::copy(project + u"/tarnwick2000.qhc"_s, old + u"/tarnwick2000.qhc"_s);
    QFile::copy(project + u"/tarnwick2000.qch"_s, old + u"/tarnwick2000.qch"_s);
    EXPECT_FALSE(IsCurrentHelpCollection(old + u"/tarnwick2000.qhc"_s));
    EXPECT_FALSE(FindHelpCollection(exeDir, IsCurrentHelpCollection).startsWith(dir.path()));
    const QString current = installCopy(dir.filePath(u"prefix/share/tarnwick2000/help"_s));
    EXPECT_EQ(FindHelpCollection(exeDir, IsCurrentHelpCollection), current);
    // Not a collection at all.
    QFile::remove(old + u"/tarnwick2000.qhc"_s);
    QFile junk(old + u"/tarnwick2000.qhc"_s);
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write("not a collection");
    junk.close();
    EXPECT_FALSE(IsCurrentHelpCollection(old + u"/tarnwick2000.qhc"_s));
}

class HelpWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::widgetApp();
        ASSERT_TRUE(dir.isValid());
        // The installed collection, read-only as under /usr/share.
        const QString installed = dir.filePath(u"usr/share/tarnwick2000/help"_s);
        globals.helpPath = installCopy(installed);
        for (const QString& name : QDir(installed).entryList(QDir::Files))
            QFile::setPermissions(installed + u'/' + name,
                                  QFileDevice::ReadOwner | QFileDevice::ReadOther);
        QFile::setPermissions(installed, QFileDevice::ReadOwner | QFileDevice::ExeOwner |
                                             QFileDevice::ReadOther | QFileDevice::ExeOther);
        globals.soundsWithDialogs = false;
        store = std::make_unique<SettingsStore>(dir.filePath(u"settings.ini"_s));
        viewer = std::make_unique<HelpViewer>(globals, store.get(), dir.filePath(u"cache"_s));
    }
    void TearDown() override {
        viewer.reset();
        QFile::setPermissions(dir.filePath(u"usr/share/tarnwick2000/help"_s),
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                  QFileDevice::ExeOwner);
    }

    QTemporaryDir dir;
    AppState state;
    AppGlobals globals;
    test::RecordingPort port;
    Messages messages{port, state, globals};
    std::unique_ptr<SettingsStore> store;
    std::unique_ptr<HelpViewer> viewer;
};

TEST_F(HelpWindowTest, TopicsIndexSearchAndHistory) {
    // A topic opens its page at the anchor.
    ASSERT_TRUE(ShowHelpTopic(globals, messages, *viewer, 540));
    HelpWindow* help = viewer->existingWindow();
    ASSERT_NE(help, nullptr);
    EXPECT_TRUE(help->isVisible());
    EXPECT_EQ(help->windowTitle(), u"Tarnwick 2000 Help"_s);
    const QUrl makeDirectory = help->topicUrl(540);
    EXPECT_EQ(help->view()->source(), makeDirectory);
    EXPECT_EQ(makeDirectory.fragment(), u"topic-540"_s);
    EXPECT_FALSE(help->view()->toPlainText().isEmpty());
    // The contents, created on the engine's thread, show where the page is.
    QHelpContentWidget* tree = help->engine()->contentWidget();
    ASSERT_TRUE(QTest::qWaitFor([&] { return tree->currentIndex().isValid(); }, 20000));
    EXPECT_EQ(tree->currentIndex().data().toString(), u"Make Directory"_s);
    screenshot(help, u"help-topic-540"_s);

    // Another page, then back and forward.
    ASSERT_TRUE(ShowHelpTopic(globals, messages, *viewer, 100));
    const QUrl general = help->topicUrl(100);
    EXPECT_EQ(help->view()->source(), general);
    EXPECT_NE(withoutFragment(general), withoutFragment(makeDirectory));
    ASSERT_TRUE(help->backButton()->isEnabled());
    QTest::mouseClick(help->backButton(), Qt::LeftButton);
    EXPECT_EQ(help->view()->source(), makeDirectory);
    ASSERT_TRUE(help->forwardButton()->isEnabled());
    QTest::mouseClick(help->forwardButton(), Qt::LeftButton);
    EXPECT_EQ(help->view()->source(), general);
    EXPECT_FALSE(help->forwardButton()->isEnabled());

    // A topic the collection lacks: the warning, the page stays.
    EXPECT_FALSE(ShowHelpTopic(globals, messages, *viewer, 999));
    ASSERT_EQ(port.boxes().size(), 1u);
    EXPECT_TRUE(port.boxes()[0].text.startsWith(u"Help Topic ID: 999"_s));
    EXPECT_EQ(help->view()->source(), general);

    // Search (902) opens the index with the keyword filled in; typing filters it further.
    ASSERT_TRUE(ShowHelp(state, globals, messages, *viewer, 902, u"Options"_s));
    EXPECT_EQ(help->currentTab(), HelpWindow::Tab::Index);
    EXPECT_EQ(help->keywordEdit()->text(), u"Options"_s);
    QAbstractItemModel* index = help->engine()->indexWidget()->model();
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return !help->engine()->indexModel()->isCreatingIndex(); }, 20000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return index->rowCount() > 1; }, 20000));
    const int optionsRows = index->rowCount();
    for (int row = 0; row < index->rowCount(); ++row)
        EXPECT_TRUE(
            index->index(row, 0).data().toString().contains(u"Options"_s, Qt::CaseInsensitive))
            << index->index(row, 0).data().toString().toStdString();
    screenshot(help, u"help-index"_s);
    help->keywordEdit()->clear();
    QTest::keyClicks(help->keywordEdit(), u"Sound"_s);
    ASSERT_TRUE(QTest::qWaitFor([&] { return index->rowCount() >= 1; }, 20000));
    EXPECT_LT(index->rowCount(), optionsRows);
    for (int row = 0; row < index->rowCount(); ++row)
        EXPECT_TRUE(
            index->index(row, 0).data().toString().contains(u"Sound"_s, Qt::CaseInsensitive));
    QTest::keyClick(help->keywordEdit(), Qt::Key_Return);
    EXPECT_EQ(help->view()->source(), help->topicUrl(108));

    // Full-text search on the engine's thread.
    QSignalSpy finished(help, &HelpWindow::searchFinished);
    help->search(u"Rename"_s);
    EXPECT_EQ(help->currentTab(), HelpWindow::Tab::Search);
    ASSERT_TRUE(finished.wait(20000) || finished.size() > 0);
    EXPECT_GE(finished.first().first().toInt(), 1);
    QStringList pages;
    for (int row = 0; row < help->results()->count(); ++row)
        pages << withoutFragment(help->results()->item(row)->data(Qt::UserRole).toUrl()).toString();
    EXPECT_TRUE(pages.contains(withoutFragment(help->topicUrl(542)).toString()))
        << pages.join(u' ').toStdString();
    screenshot(help, u"help-search"_s);
    QTest::mouseClick(help->results()->viewport(), Qt::LeftButton, {},
                      help->results()->visualItemRect(help->results()->item(0)).center());
    EXPECT_EQ(withoutFragment(help->view()->source()).toString(), pages.first());

    // How to Use Help, and Contents.
    ASSERT_TRUE(ShowHelp(state, globals, messages, *viewer, 903));
    EXPECT_TRUE(help->view()->source().path().endsWith(u"/html/using-help.html"_s));
    ASSERT_TRUE(ShowHelp(state, globals, messages, *viewer, 901));
    EXPECT_EQ(help->currentTab(), HelpWindow::Tab::Contents);
    QHelpContentModel* contents = help->engine()->contentModel();
    ASSERT_TRUE(QTest::qWaitFor([&] { return contents->rowCount() == 1; }, 20000));
    EXPECT_GT(contents->rowCount(contents->index(0, 0)), 10);
    screenshot(help, u"help-contents"_s);
    EXPECT_EQ(port.boxes().size(), 1u);

    // The installed folder was only read: the engine and its index work on the user's copy.
    EXPECT_EQ(QDir(dir.filePath(u"usr/share/tarnwick2000/help"_s))
                  .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot)
                  .size(),
              2);
    EXPECT_TRUE(QFileInfo::exists(dir.filePath(u"cache/help/tarnwick2000.qhc"_s)));
}

TEST_F(HelpWindowTest, PlaceAndSizeAreRememberedByTheStore) {
    viewer->showContents();
    HelpWindow* help = viewer->existingWindow();
    help->setGeometry(40, 50, 700, 480);
    // Saved once the move has settled.
    const auto savedLeft = [&](unsigned left) {
        return QTest::qWaitFor(
            [&] { return store->ReadSettingNumber(u"DeskTop\\Help"_s, u"Left"_s, 0) == left; },
            2000);
    };
    ASSERT_TRUE(savedLeft(40));
    EXPECT_EQ(store->ReadSettingNumber(u"DeskTop\\Help"_s, u"Width"_s, 0), 700u);
    viewer.reset();
    HelpViewer again(globals, store.get(), dir.filePath(u"cache"_s));
    again.showContents();
    EXPECT_EQ(again.existingWindow()->geometry(), QRect(40, 50, 700, 480));
    // A place beyond the screen's edge is pulled back onto it.
    again.existingWindow()->setGeometry(300, 50, 700, 480);
    ASSERT_TRUE(savedLeft(300));
    HelpViewer third(globals, store.get(), dir.filePath(u"cache"_s));
    third.showContents();
    const QRect screen = VirtualScreenBounds();
    EXPECT_EQ(third.existingWindow()->geometry().right(), screen.right());
}

// Help from a running modal dialog: the window belongs to the dialog (so the dialog does not
// block it), and F1 in the dialog does what its Help button does.
TEST_F(HelpWindowTest, HelpFromAModalDialogAndF1) {
    F1HelpFilter f1;
    test::widgetApp().installEventFilter(&f1);
    QDialog dialog;
    auto* layout = new QVBoxLayout(&dialog);
    auto* edit = new QLineEdit(&dialog);
    layout->addWidget(edit);
    layout->addWidget(
        MakeOkCancelHelpButtons(&dialog, [&] { viewer->topicOpener(messages)(546); }));
    QWindow* transient = nullptr;
    QUrl shown;
    test::ModalWatcher watcher([&](QWidget* modal) {
        edit->setFocus();
        QTest::keyClick(edit, Qt::Key_F1);
        if (HelpWindow* help = viewer->existingWindow()) {
            transient = help->windowHandle()->transientParent();
            shown = help->view()->source();
        }
        static_cast<QDialog*>(modal)->reject();
    });
    dialog.exec();
    ASSERT_TRUE(watcher.fired());
    EXPECT_EQ(transient, dialog.windowHandle());
    EXPECT_EQ(shown, viewer->existingWindow()->topicUrl(546));
    EXPECT_NE(FindHelpButton(&dialog), nullptr);
    // Outside a modal dialog the window stands on its own again.
    viewer->showContents();
    EXPECT_EQ(viewer->existingWindow()->windowHandle()->transientParent(), nullptr);
    EXPECT_TRUE(port.boxes().empty());
}

// Assistive technology sees the help window as a window; Escape closes it; one click on a
// contents entry opens its page.
TEST_F(HelpWindowTest, AWindowThatEscapeClosesAndOneClickOnTheContentsOpens) {
    viewer->showContents();
    HelpWindow* help = viewer->existingWindow();
    ASSERT_NE(help, nullptr);
    ASSERT_TRUE(help->isVisible());
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(help);
    ASSERT_NE(accessible, nullptr);
    EXPECT_EQ(accessible->role(), QAccessible::Window);
    EXPECT_EQ(accessible->text(QAccessible::Name), u"Tarnwick 2000 Help"_s);

    QHelpContentWidget* tree = help->engine()->contentWidget();
    QHelpContentModel* contents = help->engine()->contentModel();
    ASSERT_TRUE(QTest::qWaitFor([&] { return contents->rowCount() == 1; }, 20000));
    tree->expandAll();
    const QModelIndex root = contents->index(0, 0);
    ASSERT_GT(contents->rowCount(root), 2);
    const QModelIndex entry = contents->index(2, 0, root);
    const QUrl target = contents->contentItemAt(entry)->url();
    ASSERT_NE(help->view()->source(), target);
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualRect(entry).center());
    EXPECT_EQ(help->view()->source(), target);

    tree->setFocus();
    QTest::keyClick(tree, Qt::Key_Escape);
    EXPECT_FALSE(help->isVisible());
    viewer->showContents(); // it comes back on the next request
    EXPECT_TRUE(help->isVisible());
}

#include "ui/help/help_viewer.h"

#include "core/help/help_collection.h"
#include "core/help/show_help.h"
#include "ui/help/help_window.h"

#include <QApplication>
#include <QStandardPaths>
#include <QWindow>

namespace tw::ui {

HelpViewer::HelpViewer(const AppGlobals& globals, SettingsStore* store, QString cacheFolder)
    : m_globals(globals), m_store(store), m_cacheFolder(std::move(cacheFolder)) {
    if (m_cacheFolder.isEmpty())
        m_cacheFolder = QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
}

HelpViewer::~HelpViewer() = default;

HelpWindow* HelpViewer::window() {
    if (!m_window) {
        QString collection = UserHelpCollection(m_globals.helpPath, m_cacheFolder);
        if (collection.isEmpty())
            collection = m_globals.helpPath; // read-only: the search index may stay empty
        m_window = std::make_unique<HelpWindow>(collection, m_store);
    }
    return m_window.get();
}

// A modal dialog blocks every window that is not its own: the help window becomes a transient
// window of the active modal dialog, or stands on its own when none runs.
HelpWindow* HelpViewer::prepare() {
    HelpWindow* help = window();
    help->winId();
    QWidget* modal = QApplication::activeModalWidget();
    QWindow* owner = modal && modal != help ? modal->windowHandle() : nullptr;
    if (help->windowHandle()->transientParent() != owner)
        help->windowHandle()->setTransientParent(owner);
    return help;
}

void HelpViewer::showContents() {
    prepare()->showContents();
}

void HelpViewer::showIndex(const QString& keyword) {
    prepare()->showIndex(keyword);
}

void HelpViewer::showHowToUse() {
    HelpWindow* help = prepare();
    if (!help->showPage(QStringLiteral("html/using-help.html")))
        help->showContents();
}

bool HelpViewer::showTopic(int topic) {
    HelpWindow* help = window();
    if (!help->topicUrl(topic).isValid())
        return false;
    return prepare()->showTopic(topic);
}

std::function<void(int)> HelpViewer::topicOpener(const Messages& messages) {
    return [this, &messages](int topic) { ShowHelpTopic(m_globals, messages, *this, topic); };
}

} // namespace tw::ui

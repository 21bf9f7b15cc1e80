#pragma once

#include "core/help/help_port.h"
#include "core/state/app_state.h"

#include <functional>
#include <memory>

namespace tw {
class Messages;
class SettingsStore;
} // namespace tw

namespace tw::ui {

class HelpWindow;

// The help port of the program: one help window, made on first use and reused. The engine
// works on a copy of the collection in the user's cache folder (an installed collection is
// read-only, and the search index is written beside the collection). Opened while a modal
// dialog runs, the window belongs to that dialog, so that it takes input while the dialog
// stays open.
class HelpViewer : public HelpPort {
public:
    // `store` keeps the window's place (may be null); `cacheFolder` receives the copy (the
    // program's cache folder when empty).
    HelpViewer(const AppGlobals& globals, SettingsStore* store, QString cacheFolder = QString());
    ~HelpViewer() override;
    HelpViewer(const HelpViewer&) = delete;
    HelpViewer& operator=(const HelpViewer&) = delete;

    void showContents() override;
    void showIndex(const QString& keyword) override;
    void showHowToUse() override;
    bool showTopic(int topic) override;

    // The help opener the dialogs' Help buttons call: ShowHelpTopic with this port.
    std::function<void(int)> topicOpener(const Messages& messages);

    // The window, made when it does not exist yet.
    HelpWindow* window();
    // The window when it exists, else null.
    HelpWindow* existingWindow() const { return m_window.get(); }

private:
    HelpWindow* prepare();

    const AppGlobals& m_globals;
    SettingsStore* m_store;
    QString m_cacheFolder;
    std::unique_ptr<HelpWindow> m_window;
};

} // namespace tw::ui

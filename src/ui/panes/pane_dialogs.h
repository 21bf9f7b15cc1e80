#pragma once

#include "core/panes/pane_port.h"
#include "core/state/app_state.h"

#include <QPointer>

#include <functional>

class QWidget;

namespace tw::ui {

class NameDialog;

// The pane questions answered with the pane dialogs, modal over `owner`. The main window
// implements PanePort by forwarding to one of these. Positions follow the placement rule
// ("Make Directory", "Rename File", "Delete File" in AppState, Properties in AppGlobals) and
// are remembered only when the dialog closes by a remembering button.
class PaneDialogs : public PanePort {
public:
    // `help` opens a help topic (the Help buttons of the name dialogs).
    PaneDialogs(QWidget* owner, AppState& state, AppGlobals& globals,
                std::function<void(int)> help = {});
    ~PaneDialogs() override;

    std::optional<QString> askName(const NameRequest& request) override;
    void endNameDialog(NameDialogKind kind, bool succeeded) override;
    DeleteAnswer askDelete(const DeleteRequest& request) override;
    std::optional<QString> askFolder(const FolderRequest& request) override;
    bool showProperties(const PropertiesData& data) override;

    // The name dialog while a name loop runs (tests drive it), else null.
    NameDialog* nameDialog() const;

private:
    WindowPlacement& namePlacement(NameDialogKind kind);

    QWidget* m_owner;
    AppState& m_state;
    AppGlobals& m_globals;
    std::function<void(int)> m_help;
    QPointer<NameDialog> m_nameDialog;
};

} // namespace tw::ui

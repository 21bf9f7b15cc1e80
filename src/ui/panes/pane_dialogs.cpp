#include "ui/panes/pane_dialogs.h"

#include "ui/dialogs/dialog_placement.h"
#include "ui/panes/delete_confirm_dialog.h"
#include "ui/panes/name_dialog.h"
#include "ui/panes/properties_dialog.h"

#include <QFileDialog>

namespace tw::ui {

PaneDialogs::PaneDialogs(QWidget* owner, AppState& state, AppGlobals& globals,
                         std::function<void(int)> help)
    : m_owner(owner), m_state(state), m_globals(globals), m_help(std::move(help)) {}

PaneDialogs::~PaneDialogs() {
    delete m_nameDialog.data();
}

WindowPlacement& PaneDialogs::namePlacement(NameDialogKind kind) {
    return m_state.placement(kind == NameDialogKind::Rename ? Placement::RenameFile
                                                            : Placement::MakeDirectory);
}

NameDialog* PaneDialogs::nameDialog() const {
    return m_nameDialog.data();
}

std::optional<QString> PaneDialogs::askName(const NameRequest& request) {
    // A retry reuses the dialog where the user left it, as if it had stayed open.
    const bool reuse = request.retry && m_nameDialog && m_nameDialog->kind() == request.kind;
    if (!reuse) {
        delete m_nameDialog.data();
        m_nameDialog = new NameDialog(m_owner, m_help);
    }
    m_nameDialog->setRequest(request);
    if (!reuse) {
        m_nameDialog->adjustSize();
        PlaceDialog(m_nameDialog, namePlacement(request.kind), m_state.options.SaveWindows != 0,
                    m_globals.virtualScreen);
    }
    // OK leaves the dialog shown, so that it stays behind a message about the name; the loop
    // closes it with endNameDialog().
    if (m_nameDialog->ask() != QDialog::Accepted || !m_nameDialog)
        return std::nullopt;
    return m_nameDialog->text();
}

void PaneDialogs::endNameDialog(NameDialogKind kind, bool succeeded) {
    if (m_nameDialog && succeeded)
        RememberDialogPosition(m_nameDialog, namePlacement(kind));
    delete m_nameDialog.data();
}

DeleteAnswer PaneDialogs::askDelete(const DeleteRequest& request) {
    DeleteConfirmDialog dialog(request, m_owner);
    dialog.adjustSize();
    WindowPlacement& placement = m_state.placement(Placement::DeleteFile);
    PlaceDialog(&dialog, placement, m_state.options.SaveWindows != 0, m_globals.virtualScreen);
    dialog.exec();
    if (dialog.answer() != DeleteAnswer::Cancel)
        RememberDialogPosition(&dialog, placement);
    return dialog.answer();
}

std::optional<QString> PaneDialogs::askFolder(const FolderRequest& request) {
    const QString chosen =
        QFileDialog::getExistingDirectory(m_owner, request.title, request.startPath);
    if (chosen.isEmpty())
        return std::nullopt;
    return chosen;
}

bool PaneDialogs::showProperties(const PropertiesData& data) {
    PropertiesDialog dialog(data, m_owner);
    dialog.adjustSize();
    WindowPlacement& placement =
        m_globals.frameworkPlacements[std::size_t(FrameworkPlacement::Properties)];
    PlaceDialog(&dialog, placement, m_state.options.SaveWindows != 0, m_globals.virtualScreen);
    const bool ok = dialog.exec() == QDialog::Accepted;
    RememberDialogPosition(&dialog, placement);
    return ok;
}

} // namespace tw::ui

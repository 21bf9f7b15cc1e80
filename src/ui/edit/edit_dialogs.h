#pragma once

#include "core/edit/edit_port.h"

#include <QPointer>

class QWidget;

namespace tw {
class Messages;
class RemoteEditController;
} // namespace tw

namespace tw::ui {

class EditedFilesDialog;

// The edit questions and the Edited Files dialog over the main window.
class EditDialogs : public EditPort {
public:
    EditDialogs(QWidget* owner, const Messages& messages);
    ~EditDialogs() override;
    EditDialogs(const EditDialogs&) = delete;
    EditDialogs& operator=(const EditDialogs&) = delete;

    // The edits the dialog shows and works on; set once, before the first command.
    void setController(RemoteEditController* edits) { m_edits = edits; }
    // Remote > Edited Files: opens the dialog, or brings it forward.
    void showEditedFiles();
    EditedFilesDialog* editedFilesDialog() const;

    // EditPort
    UploadAnswer askUpload(const QString& name, const QString& remotePath) override;
    EditExitAnswer askExit(const QStringList& names) override;
    void editsChanged() override;

private:
    QWidget* m_owner;
    const Messages& m_messages;
    RemoteEditController* m_edits = nullptr;
    QPointer<EditedFilesDialog> m_dialog;
};

} // namespace tw::ui

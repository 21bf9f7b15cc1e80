#pragma once

#include "core/edit/remote_edit_controller.h"

#include <QDialog>

#include <functional>
#include <vector>

class QPushButton;
class QTreeWidget;

namespace tw {
class Messages;
}

namespace tw::ui {

// Remote > Edited Files: each remote file open for editing with its name, remote path and
// state, and Upload Now, Open Again and End Editing for the selected one. It stays open beside
// the main window and follows the edits (refresh()).
class EditedFilesDialog : public QDialog {
    Q_OBJECT
public:
    // What the dialog shows and what its buttons do (the edits' controller).
    struct Edits {
        std::function<std::vector<EditedFile>()> files;
        std::function<void(int id)> uploadNow, openAgain, endEditing;
    };
    EditedFilesDialog(Edits edits, const Messages& messages, QWidget* owner = nullptr);

    // Shows the edits as they are now, keeping the selected one selected.
    void refresh();

    QTreeWidget* list() const { return m_list; }
    QPushButton* uploadButton() const { return m_upload; }
    QPushButton* openButton() const { return m_open; }
    QPushButton* endButton() const { return m_end; }
    QPushButton* closeButton() const { return m_close; }

private:
    int selectedId() const;
    void updateButtons();

    Edits m_edits;
    const Messages& m_messages;
    QTreeWidget* m_list = nullptr;
    QPushButton* m_upload = nullptr;
    QPushButton* m_open = nullptr;
    QPushButton* m_end = nullptr;
    QPushButton* m_close = nullptr;
};

} // namespace tw::ui

#pragma once

#include "ui/options/options_page.h"

#include <functional>

class QLineEdit;
class QPushButton;
class QToolButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace tw {
class Messages;
class OptionsSheet;
struct AppState;
struct FileTypeAssociation;
} // namespace tw

namespace tw::ui {

// The File Types page (2300): the table of file types and their programs in lookup order,
// Add / Modify / Remove / Clone / Sort, and the Default Editor with its browse button. The
// sheet decides; the page shows the table and forwards each action. New and changed rows go
// through the Edit File Type dialog, whose position is remembered in the live state.
// Object names: "fileTypeList", "defaultEditorEdit", "browseButton", "addButton",
// "modifyButton", "removeButton", "cloneButton", "sortButton".
class FileTypesPage : public OptionsPageWidget {
    Q_OBJECT
public:
    FileTypesPage(OptionsSheet& sheet, const Messages& messages, AppState& liveState,
                  std::function<void(int topic)> showHelp, QWidget* parent = nullptr);

    void activate() override;
    bool store() override;

    // The selected row, -1 when none.
    int selectedRow() const;

private:
    void fillRows();
    void showRow(QTreeWidgetItem* item, const FileTypeAssociation& record);
    void selectRow(int row);
    void updateButtons();
    bool edit(FileTypeAssociation& record, bool modify);
    void addRecord(FileTypeAssociation record);
    void onAdd();
    void onClone();
    void onModify();
    void onRemove();
    void onSort();
    void onBrowse();

    OptionsSheet& m_sheet;
    const Messages& m_messages;
    AppState& m_live;
    std::function<void(int)> m_showHelp;
    QTreeWidget* m_list = nullptr;
    QLineEdit* m_editor = nullptr;
    QToolButton* m_browse = nullptr;
    QPushButton* m_add = nullptr;
    QPushButton* m_modify = nullptr;
    QPushButton* m_remove = nullptr;
    QPushButton* m_clone = nullptr;
    QPushButton* m_sort = nullptr;
};

} // namespace tw::ui

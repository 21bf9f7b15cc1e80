#include "ui/options/file_types_page.h"

#include "core/options/options_sheet.h"
#include "core/panes/entry_format.h"
#include "core/text/string_table.h"
#include "ui/dialogs/dialog_placement.h"
#include "ui/dialogs/dialog_units.h"
#include "ui/options/browse_button.h"
#include "ui/options/edit_file_type_dialog.h"
#include "ui/panes/file_dialogs.h"
#include "ui/panes/pane_icons.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <memory>

namespace tw::ui {

namespace {

constexpr int kEditorSize = 256; // at most 255 characters
constexpr int kProgramFilterId = 1025;
constexpr int kProgramTitleId = 1024;

// The row icon an extension gets in the panes.
QIcon typeIcon(const QString& extension) {
    FileEntry entry;
    entry.name = extension;
    entry.type = extension.toLower();
    ClassifyEntryIcon(entry);
    return PaneRowIcon(entry.icon);
}

} // namespace

FileTypesPage::FileTypesPage(OptionsSheet& sheet, const Messages& messages, AppState& liveState,
                             std::function<void(int)> showHelp, QWidget* parent)
    : OptionsPageWidget(parent), m_sheet(sheet), m_messages(messages), m_live(liveState),
      m_showHelp(std::move(showHelp)) {
    setObjectName(QStringLiteral("fileTypesPage"));
    const DialogUnits du;

    m_list = new QTreeWidget(this);
    m_list->setObjectName(QStringLiteral("fileTypeList"));
    m_list->setRootIsDecorated(false);
    m_list->setUniformRowHeights(true);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setAllColumnsShowFocus(true);
    m_list->setIconSize(kPaneIconSize);
    m_list->setHeaderLabels({QStringLiteral("Type"), QStringLiteral("Program")});
    m_list->setColumnWidth(0, du.x(48) + kPaneIconSize.width());
    m_list->setColumnWidth(1, du.x(150));
    m_list->setAccessibleName(QStringLiteral("File Types"));

    m_editor = new QLineEdit(this);
    m_editor->setObjectName(QStringLiteral("defaultEditorEdit"));
    m_editor->setMaxLength(kEditorSize - 1);
    auto* editorLabel = new QLabel(QStringLiteral("&Default Editor"), this);
    editorLabel->setBuddy(m_editor);
    m_browse = MakeBrowseButton(this, QStringLiteral("browseButton"),
                                LookupString(kProgramTitleId).value_or(QString()));

    const auto makeButton = [this](const char* text, const char* name) {
        return MakeDialogButton(this, QString::fromLatin1(text), QString::fromLatin1(name));
    };
    m_add = makeButton("&Add", "addButton");
    m_modify = makeButton("&Modify", "modifyButton");
    m_remove = makeButton("&Remove", "removeButton");
    m_clone = makeButton("&Clone", "cloneButton");
    m_sort = makeButton("&Sort", "sortButton");

    auto* buttons = new QVBoxLayout;
    for (QPushButton* b : {m_add, m_modify, m_remove, m_clone, m_sort})
        buttons->addWidget(b);
    buttons->addStretch();
    auto* top = new QHBoxLayout;
    top->addWidget(m_list, 1);
    top->addLayout(buttons);
    auto* editorRow = new QHBoxLayout;
    editorRow->addWidget(editorLabel);
    editorRow->addWidget(m_editor, 1);
    editorRow->addWidget(m_browse);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(du.x(7), du.y(7), du.x(7), du.y(7));
    layout->addLayout(top, 1);
    layout->addLayout(editorRow);

    connect(m_list, &QTreeWidget::itemSelectionChanged, this, &FileTypesPage::updateButtons);
    connect(m_list, &QTreeWidget::itemClicked, this, &FileTypesPage::updateButtons);
    connect(m_list, &QTreeWidget::itemDoubleClicked, this, &FileTypesPage::onModify);
    connect(m_add, &QPushButton::clicked, this, &FileTypesPage::onAdd);
    connect(m_modify, &QPushButton::clicked, this, &FileTypesPage::onModify);
    connect(m_remove, &QPushButton::clicked, this, &FileTypesPage::onRemove);
    connect(m_clone, &QPushButton::clicked, this, &FileTypesPage::onClone);
    connect(m_sort, &QPushButton::clicked, this, &FileTypesPage::onSort);
    connect(m_browse, &QToolButton::clicked, this, &FileTypesPage::onBrowse);
}

void FileTypesPage::activate() {
    fillRows();
    SetEditText(m_editor, m_sheet.defaultEditor(), kEditorSize);
    updateButtons();
}

bool FileTypesPage::store() {
    if (m_sheet.storeFileTypes(GetEditText(m_editor, kEditorSize)))
        return true;
    SelectEditText(m_editor);
    return false;
}

int FileTypesPage::selectedRow() const {
    const QList<QTreeWidgetItem*> items = m_list->selectedItems();
    return items.isEmpty() ? -1 : m_list->indexOfTopLevelItem(items.first());
}

void FileTypesPage::showRow(QTreeWidgetItem* item, const FileTypeAssociation& record) {
    item->setText(0, record.Ext);
    item->setIcon(0, typeIcon(record.Ext));
    item->setText(1, record.Cmd);
}

void FileTypesPage::fillRows() {
    m_list->clear();
    for (const FileTypeAssociation& record : m_sheet.fileTypes())
        showRow(new QTreeWidgetItem(m_list), record);
    if (m_list->topLevelItemCount() > 0)
        m_list->scrollToItem(m_list->topLevelItem(0));
}

void FileTypesPage::selectRow(int row) {
    m_list->clearSelection();
    if (QTreeWidgetItem* item = row >= 0 ? m_list->topLevelItem(row) : nullptr) {
        m_list->setCurrentItem(item);
        item->setSelected(true);
        m_list->scrollToItem(item);
    }
    updateButtons();
}

void FileTypesPage::updateButtons() {
    const FileTypeButtons b = m_sheet.fileTypeButtons(selectedRow());
    m_add->setEnabled(b.add);
    m_modify->setEnabled(b.modify);
    m_remove->setEnabled(b.remove);
    m_clone->setEnabled(b.clone);
    m_sort->setEnabled(b.sort);
}

bool FileTypesPage::edit(FileTypeAssociation& record, bool modify) {
    return EditFileType(this, m_messages, record, modify, m_live.placement(Placement::FileType),
                        m_sheet.state().options.SaveWindows != 0, m_showHelp);
}

void FileTypesPage::addRecord(FileTypeAssociation record) {
    if (!edit(record, false))
        return;
    if (const auto row = m_sheet.appendFileType(record)) {
        showRow(new QTreeWidgetItem(m_list), m_sheet.fileTypes()[std::size_t(*row)]);
        selectRow(*row);
    }
}

void FileTypesPage::onAdd() {
    addRecord(OptionsSheet::newFileType());
}

void FileTypesPage::onClone() {
    if (const auto record = m_sheet.cloneOf(selectedRow()))
        addRecord(*record);
}

void FileTypesPage::onModify() {
    const int row = selectedRow();
    if (row < 0 || row >= int(m_sheet.fileTypes().size()))
        return;
    FileTypeAssociation record = m_sheet.fileTypes()[std::size_t(row)];
    if (!edit(record, true))
        return;
    m_sheet.replaceFileType(row, record);
    showRow(m_list->topLevelItem(row), m_sheet.fileTypes()[std::size_t(row)]);
    updateButtons();
}

void FileTypesPage::onRemove() {
    const int row = selectedRow();
    if (row < 0)
        return;
    const auto next = m_sheet.removeFileType(row);
    if (!next)
        return;
    std::unique_ptr<QTreeWidgetItem> removed(m_list->takeTopLevelItem(row));
    selectRow(*next);
}

void FileTypesPage::onSort() {
    m_sheet.sortFileTypes();
    fillRows();
    updateButtons();
}

void FileTypesPage::onBrowse() {
    m_sheet.storeDefaultEditor(GetEditText(m_editor, kEditorSize));
    QString path = m_sheet.defaultEditor();
    if (OpenFileDialog(this, path, kProgramFilterId, kProgramTitleId))
        SetEditText(m_editor, path, kEditorSize);
}

} // namespace tw::ui

#include "ui/edit/edited_files_dialog.h"

#include "core/edit/remote_edit_controller.h"
#include "core/text/shown_text.h"
#include "ui/dialogs/control_names.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace tw::ui {

namespace {
constexpr int kIdRole = Qt::UserRole + 1;
}

EditedFilesDialog::EditedFilesDialog(Edits edits, const Messages& messages, QWidget* owner)
    : QDialog(owner), m_edits(std::move(edits)), m_messages(messages) {
    setObjectName(QStringLiteral("EditedFilesDialog"));
    setWindowTitle(QStringLiteral("Edited Files"));

    auto* label = new QLabel(QStringLiteral("&Files open for editing:"), this);
    m_list = new QTreeWidget(this);
    m_list->setObjectName(QStringLiteral("editedFiles"));
    m_list->setRootIsDecorated(false);
    m_list->setUniformRowHeights(true);
    m_list->setHeaderLabels(
        {QStringLiteral("Name"), QStringLiteral("Remote Path"), QStringLiteral("State")});
    m_list->header()->setStretchLastSection(false);
    m_list->header()->setSectionResizeMode(1, QHeaderView::Stretch);
    const QFontMetrics fm(m_list->font());
    m_list->setColumnWidth(0, fm.horizontalAdvance(u'M') * 12);
    m_list->setColumnWidth(2, fm.horizontalAdvance(QStringLiteral("Downloading")) + 24);
    m_list->setMinimumSize(fm.horizontalAdvance(u'M') * 46, fm.lineSpacing() * 9);
    label->setBuddy(m_list);

    m_upload = new QPushButton(QStringLiteral("&Upload Now"), this);
    m_upload->setObjectName(QStringLiteral("uploadButton"));
    m_open = new QPushButton(QStringLiteral("&Open Again"), this);
    m_open->setObjectName(QStringLiteral("openButton"));
    m_end = new QPushButton(QStringLiteral("&End Editing"), this);
    m_end->setObjectName(QStringLiteral("endButton"));
    m_close = new QPushButton(QStringLiteral("Close"), this);
    m_close->setObjectName(QStringLiteral("closeButton"));
    for (QPushButton* button : {m_upload, m_open, m_end})
        button->setAutoDefault(false);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_upload);
    buttons->addWidget(m_open);
    buttons->addWidget(m_end);
    buttons->addStretch(1);
    buttons->addWidget(m_close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label);
    layout->addWidget(m_list, 1);
    layout->addLayout(buttons);

    connect(m_upload, &QPushButton::clicked, this, [this] { m_edits.uploadNow(selectedId()); });
    connect(m_open, &QPushButton::clicked, this, [this] { m_edits.openAgain(selectedId()); });
    connect(m_end, &QPushButton::clicked, this, [this] { m_edits.endEditing(selectedId()); });
    connect(m_close, &QPushButton::clicked, this, &QDialog::close);
    connect(m_list, &QTreeWidget::itemSelectionChanged, this, &EditedFilesDialog::updateButtons);
    connect(m_list, &QTreeWidget::itemDoubleClicked, this,
            [this] { m_edits.openAgain(selectedId()); });
    NameControlsByText(this);
    setAccessibleName(windowTitle());
    refresh();
}

int EditedFilesDialog::selectedId() const {
    const QTreeWidgetItem* item = m_list->currentItem();
    return item && item->isSelected() ? item->data(0, kIdRole).toInt() : 0;
}

void EditedFilesDialog::refresh() {
    const int selected = selectedId();
    m_list->clear();
    for (const EditedFile& file : m_edits.files()) {
        auto* item = new QTreeWidgetItem(m_list);
        item->setText(0, ShownText(file.name, ftp::LineBreaks::Escape));
        item->setText(1, ShownText(file.remotePath, ftp::LineBreaks::Escape));
        item->setToolTip(1, file.server);
        item->setText(2, EditStateText(m_messages, file.state));
        item->setData(0, kIdRole, file.id);
        if (file.id == selected || m_list->topLevelItemCount() == 1) {
            m_list->setCurrentItem(item);
            item->setSelected(true);
        }
    }
    updateButtons();
}

void EditedFilesDialog::updateButtons() {
    const int id = selectedId();
    EditState state = EditState::Downloading;
    for (const EditedFile& file : m_edits.files())
        if (file.id == id)
            state = file.state;
    const bool ready = id != 0 && state != EditState::Downloading;
    m_upload->setEnabled(ready && state != EditState::Uploading);
    m_open->setEnabled(ready);
    m_end->setEnabled(id != 0);
}

} // namespace tw::ui

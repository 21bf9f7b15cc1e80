#include "ui/bookmarks/bookmarks_dialog.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace tw::ui {

BookmarksDialog::BookmarksDialog(const QString& account, const std::vector<QString>& rows,
                                 Remove remove, QWidget* parent)
    : QDialog(parent), m_remove(std::move(remove)) {
    setObjectName(QStringLiteral("BookmarksDialog"));
    setWindowTitle(QStringLiteral("Bookmarks - %1").arg(account));
    auto* label = new QLabel(QStringLiteral("&Folders:"), this);
    m_list = new QListWidget(this);
    m_list->setObjectName(QStringLiteral("bookmarkList"));
    m_list->setAccessibleName(QStringLiteral("Folders"));
    m_list->setMinimumSize(360, 180);
    label->setBuddy(m_list);
    m_empty = new QLabel(
        QStringLiteral("No bookmarks yet. Remote > Add Bookmark keeps the current folder."), this);
    m_empty->setWordWrap(true);

    auto* buttons = new QDialogButtonBox(this);
    m_goTo = buttons->addButton(QStringLiteral("&Go To"), QDialogButtonBox::AcceptRole);
    m_removeButton = buttons->addButton(QStringLiteral("&Remove"), QDialogButtonBox::ActionRole);
    QPushButton* close = buttons->addButton(QStringLiteral("Close"), QDialogButtonBox::RejectRole);
    for (QPushButton* b : {m_goTo, m_removeButton, close})
        b->setAccessibleName(b->text().remove(u'&'));
    m_goTo->setDefault(true);

    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_goTo, &QPushButton::clicked, this, [this] {
        if (m_list->currentRow() < 0)
            return;
        m_chosen = m_list->currentRow();
        accept();
    });
    connect(m_removeButton, &QPushButton::clicked, this, [this] {
        const int row = m_list->currentRow();
        if (row < 0)
            return;
        showRows(m_remove(row));
        m_list->setCurrentRow(std::min(row, m_list->count() - 1));
        m_list->setFocus();
    });
    connect(m_list, &QListWidget::itemActivated, m_goTo, &QPushButton::click);
    connect(m_list, &QListWidget::currentRowChanged, this, &BookmarksDialog::updateButtons);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label);
    layout->addWidget(m_list, 1);
    layout->addWidget(m_empty);
    layout->addWidget(buttons);
    showRows(rows);
    m_list->setCurrentRow(rows.empty() ? -1 : 0);
    updateButtons();
}

void BookmarksDialog::showRows(const std::vector<QString>& rows) {
    m_list->clear();
    for (const QString& folder : rows)
        m_list->addItem(folder);
    m_empty->setVisible(rows.empty());
    updateButtons();
}

void BookmarksDialog::updateButtons() {
    const bool any = m_list->currentRow() >= 0;
    m_goTo->setEnabled(any);
    m_removeButton->setEnabled(any);
}

std::optional<int>
BookmarksDialogPort::chooseBookmark(const QString& account, const std::vector<QString>& rows,
                                    const std::function<std::vector<QString>(int)>& remove) {
    BookmarksDialog dialog(account, rows, remove, m_parent);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.chosenRow();
}

} // namespace tw::ui

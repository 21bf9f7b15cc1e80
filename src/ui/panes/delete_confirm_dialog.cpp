#include "ui/panes/delete_confirm_dialog.h"

#include "ui/dialogs/dialog_placement.h"
#include "ui/dialogs/dialog_units.h"
#include "ui/panes/pane_icons.h"
#include "ui/panes/pane_model.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace tw::ui {

DeleteConfirmDialog::DeleteConfirmDialog(const DeleteRequest& request, QWidget* parent)
    : QDialog(parent) {
    setFont(DialogUnits::dialogFont());
    SetDialogIcon(this, 1000);
    setWindowTitle(request.caption);
    const DialogUnits du(font());

    auto* icon = new QLabel(this);
    icon->setObjectName(QStringLiteral("100"));
    icon->setFixedSize(du.size(21, 20));
    icon->setAlignment(Qt::AlignCenter);
    const QIcon picture = request.isFolder ? FolderIcon() : GetFileTypeIcon(request.type);
    icon->setPixmap(picture.pixmap(icon->size(), devicePixelRatioF()));
    auto* question = new QLabel(request.question, this);
    question->setObjectName(QStringLiteral("101"));
    auto* kind = new QLabel(request.kindLabel, this);
    kind->setObjectName(QStringLiteral("102"));
    auto* name = new QLabel(PaneModel::DisplayName(request.name).left(255), this);
    name->setObjectName(QStringLiteral("103"));
    name->setTextFormat(Qt::PlainText);
    name->setToolTip(request.name);
    QFont bold = name->font();
    bold.setBold(true);
    name->setFont(bold);
    auto* warning = new QLabel(request.note.isEmpty()
                                   ? QStringLiteral("There is no undo for the Delete command.")
                                   : request.note,
                               this);

    const auto [yes, yesToAll, no, cancel] = MakeAnswerButtons<DeleteAnswer>(
        this, request.multiple, [this](DeleteAnswer answer) { finish(answer); });
    yes->setDefault(true);
    yes->setFocus();

    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(du.x(6));
    grid->setVerticalSpacing(du.y(4));
    grid->addWidget(icon, 0, 0, 3, 1, Qt::AlignTop);
    grid->addWidget(question, 0, 1, 1, 2);
    grid->addWidget(kind, 1, 1);
    grid->addWidget(name, 1, 2);
    grid->addWidget(warning, 2, 1, 1, 2);
    grid->setColumnStretch(2, 1);
    auto* row = new QHBoxLayout;
    row->addStretch(1);
    for (QPushButton* b : {yes, yesToAll, no, cancel})
        row->addWidget(b);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(du.x(7), du.y(7), du.x(7), du.y(7));
    layout->setSpacing(du.y(8));
    layout->addLayout(grid);
    layout->addLayout(row);
    setMinimumWidth(du.x(230));
}

void DeleteConfirmDialog::finish(DeleteAnswer answer) {
    m_answer = answer;
    if (answer == DeleteAnswer::Cancel)
        reject();
    else
        accept();
}

} // namespace tw::ui

#include "ui/panes/name_dialog.h"

#include "ui/dialogs/control_names.h"
#include "ui/dialogs/dialog_placement.h"
#include "ui/dialogs/dialog_units.h"
#include "ui/panes/pane_icons.h"
#include "ui/panes/pane_model.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace tw::ui {

namespace {
constexpr int kNameSize = 257; // at most 256 characters typed
constexpr int kMakeDirectoryTopic = 540;
constexpr int kRenameTopic = 542;
} // namespace

NameDialog::NameDialog(QWidget* parent, std::function<void(int)> help)
    : AskingDialog(parent), m_help(std::move(help)) {
    setFont(DialogUnits::dialogFont());
    SetDialogIcon(this, 1000);
    setWindowModality(Qt::ApplicationModal);
    const DialogUnits du(font());

    m_intro = new QLabel(this);
    m_intro->setWordWrap(true);
    m_icon = new QLabel(this);
    m_icon->setObjectName(QStringLiteral("100"));
    m_icon->setFixedSize(du.size(21, 20));
    m_icon->setAlignment(Qt::AlignCenter);
    m_currentLabel = new QLabel(this);
    m_current = new QLabel(this);
    m_current->setObjectName(QStringLiteral("101"));
    m_current->setTextFormat(Qt::PlainText);
    m_current->setFrameShape(QFrame::StyledPanel);
    m_current->setFrameShadow(QFrame::Sunken);
    m_current->setMinimumWidth(du.x(150));
    m_current->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_editLabel = new QLabel(this);
    m_edit = new QLineEdit(this);
    m_edit->setObjectName(QStringLiteral("102"));
    m_edit->setMaxLength(kNameSize - 1);
    m_editLabel->setBuddy(m_edit);

    QDialogButtonBox* buttons = MakeOkCancelHelpButtons(this, [this] {
        if (m_help)
            m_help(m_kind == NameDialogKind::Rename ? kRenameTopic : kMakeDirectoryTopic);
    });

    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(du.x(6));
    grid->setVerticalSpacing(du.y(6));
    grid->addWidget(m_icon, 0, 0, 2, 1, Qt::AlignTop);
    grid->addWidget(m_intro, 0, 1, 1, 2);
    grid->addWidget(m_currentLabel, 1, 1);
    grid->addWidget(m_current, 1, 2);
    grid->addWidget(m_editLabel, 2, 1);
    grid->addWidget(m_edit, 2, 2);
    grid->setColumnStretch(2, 1);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(du.x(7), du.y(7), du.x(7), du.y(7));
    layout->setSpacing(du.y(8));
    layout->addLayout(grid);
    layout->addWidget(buttons);
    setMinimumWidth(du.x(250));
    NameControlsByText(this);
}

void NameDialog::setRequest(const NameRequest& request) {
    m_kind = request.kind;
    setWindowTitle(request.caption);
    const bool rename = request.kind == NameDialogKind::Rename;
    m_intro->setText(rename ? QStringLiteral("Use this window to rename a file or directory.")
                            : QStringLiteral("Use this window to create a new directory within the "
                                             "current directory."));
    m_currentLabel->setText(rename ? QStringLiteral("Current Name") : QString());
    m_editLabel->setText(rename ? QStringLiteral("&New Name") : QStringLiteral("&New Directory"));
    m_current->setText(
        PaneModel::DisplayName(rename ? request.currentName : request.folder).left(255));
    m_current->setToolTip(rename ? request.currentName : request.folder);
    m_icon->setVisible(rename);
    if (rename) {
        const QIcon icon = request.isFolder ? FolderIcon() : GetFileTypeIcon(request.type);
        m_icon->setPixmap(icon.pixmap(m_icon->size(), devicePixelRatioF()));
    }
    NameControlsByText(this);
    SetEditText(m_edit, request.text, kNameSize);
    // A rename starts from the current name, selected, so typing replaces it.
    if (request.retry || (rename && !request.text.isEmpty()))
        SelectEditText(m_edit);
    else
        m_edit->setFocus();
}

QString NameDialog::text() const {
    return GetEditText(m_edit, kNameSize);
}

} // namespace tw::ui

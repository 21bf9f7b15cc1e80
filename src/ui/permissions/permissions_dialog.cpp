#include "ui/permissions/permissions_dialog.h"

#include "ui/dialogs/control_names.h"
#include "ui/dialogs/dialog_placement.h"
#include "ui/dialogs/dialog_units.h"
#include "ui/panes/pane_model.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

namespace tw::ui {

PermissionsDialog::PermissionsDialog(const PermissionsRequest& request, QWidget* parent)
    : QDialog(parent), m_choice(request.start) {
    setFont(DialogUnits::dialogFont());
    SetDialogIcon(this, 1000);
    setWindowTitle(QStringLiteral(" Permissions"));
    const DialogUnits du(font());

    auto* nameLabel = new QLabel(QStringLiteral("&Name:"), this);
    auto* name = new QLineEdit(this);
    name->setObjectName(QStringLiteral("name"));
    name->setReadOnly(true);
    name->setText(PaneModel::DisplayName(request.name).left(255));
    name->setCursorPosition(0);
    nameLabel->setBuddy(name);

    auto* groups = new QHBoxLayout;
    groups->setSpacing(du.x(6));
    const QString whoTexts[] = {QStringLiteral("Owner"), QStringLiteral("Group"),
                                QStringLiteral("Others")};
    const QString whatTexts[] = {QStringLiteral("&Read"), QStringLiteral("&Write"),
                                 QStringLiteral("E&xecute")};
    for (int who = 0; who < 3; ++who) {
        auto* group = new QGroupBox(whoTexts[who], this);
        auto* column = new QVBoxLayout(group);
        for (int what = 0; what < 3; ++what) {
            // The mnemonics stay unique: Read, Write, Execute of the owner only.
            auto* box = new QCheckBox(
                who == 0 ? whatTexts[what] : QString(whatTexts[what]).remove(u'&'), group);
            box->setObjectName(QStringLiteral("bit%1%2").arg(who).arg(what));
            column->addWidget(box);
            m_boxes[std::size_t(who)][std::size_t(what)] = box;
            connect(box, &QCheckBox::stateChanged, this,
                    [this, who, what] { boxChanged(who, what); });
        }
        groups->addWidget(group);
    }

    auto* octalLabel = new QLabel(QStringLiteral("&Octal:"), this);
    m_octal = new QLineEdit(this);
    m_octal->setObjectName(QStringLiteral("octal"));
    m_octal->setMaxLength(3);
    m_octal->setValidator(new QRegularExpressionValidator(
        QRegularExpression(QStringLiteral("[0-7xX]{0,3}")), m_octal));
    m_octal->setFixedWidth(du.x(30));
    octalLabel->setBuddy(m_octal);
    connect(m_octal, &QLineEdit::textEdited, this, &PermissionsDialog::octalEdited);

    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(du.x(6));
    grid->setVerticalSpacing(du.y(6));
    grid->addWidget(nameLabel, 0, 0);
    grid->addWidget(name, 0, 1, 1, 2);
    grid->addLayout(groups, 1, 0, 1, 3);
    grid->addWidget(octalLabel, 2, 0);
    grid->addWidget(m_octal, 2, 1);
    grid->setColumnStretch(2, 1);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(du.x(7), du.y(7), du.x(7), du.y(7));
    layout->setSpacing(du.y(7));
    layout->addLayout(grid);

    if (request.folders) {
        m_recursive = new QCheckBox(QStringLiteral("&Apply to everything inside"), this);
        m_recursive->setObjectName(QStringLiteral("recursive"));
        m_filesAndFolders = new QRadioButton(QStringLiteral("Files and fol&ders"), this);
        m_filesAndFolders->setObjectName(QStringLiteral("filesAndFolders"));
        m_filesAndFolders->setChecked(true);
        m_filesOnly = new QRadioButton(QStringLiteral("F&iles only"), this);
        m_filesOnly->setObjectName(QStringLiteral("filesOnly"));
        m_foldersOnly = new QRadioButton(QStringLiteral("Fo&lders only"), this);
        m_foldersOnly->setObjectName(QStringLiteral("foldersOnly"));
        auto* scope = new QHBoxLayout;
        scope->setContentsMargins(du.x(10), 0, 0, 0);
        for (QRadioButton* radio : {m_filesAndFolders, m_filesOnly, m_foldersOnly}) {
            radio->setEnabled(false);
            scope->addWidget(radio);
            connect(m_recursive, &QCheckBox::toggled, radio, &QWidget::setEnabled);
        }
        scope->addStretch(1);
        layout->addWidget(m_recursive);
        layout->addLayout(scope);
    }

    QDialogButtonBox* buttons = MakeOkCancelButtons(this);
    layout->addWidget(buttons);

    showChoice(true);
    NameControlsByText(this);
    m_octal->setFocus();
    m_octal->selectAll();
}

PermissionsAnswer PermissionsDialog::answer() const {
    PermissionsAnswer a;
    a.choice = m_choice;
    a.recursive = m_recursive && m_recursive->isChecked();
    if (m_filesOnly && m_filesOnly->isChecked())
        a.scope = queue::ChmodScope::FilesOnly;
    else if (m_foldersOnly && m_foldersOnly->isChecked())
        a.scope = queue::ChmodScope::FoldersOnly;
    return a;
}

void PermissionsDialog::showChoice(bool updateOctal) {
    m_showing = true;
    for (int who = 0; who < 3; ++who)
        for (int what = 0; what < 3; ++what) {
            QCheckBox* box = m_boxes[std::size_t(who)][std::size_t(what)];
            switch (StateOf(m_choice, PermissionBit(who, what))) {
            case BitState::Set:
                box->setCheckState(Qt::Checked);
                break;
            case BitState::Clear:
                box->setCheckState(Qt::Unchecked);
                break;
            case BitState::Mixed:
                // Partly checked: the rows keep their own bit; once left, it may come back.
                box->setTristate(true);
                box->setCheckState(Qt::PartiallyChecked);
                break;
            }
        }
    if (updateOctal)
        m_octal->setText(OctalText(m_choice));
    m_showing = false;
}

void PermissionsDialog::boxChanged(int who, int what) {
    if (m_showing)
        return;
    const Qt::CheckState state = m_boxes[std::size_t(who)][std::size_t(what)]->checkState();
    m_choice = WithBit(m_choice, PermissionBit(who, what),
                       state == Qt::Checked     ? BitState::Set
                       : state == Qt::Unchecked ? BitState::Clear
                                                : BitState::Mixed);
    m_octal->setText(OctalText(m_choice));
}

void PermissionsDialog::octalEdited(const QString& text) {
    if (const std::optional<ModeChoice> typed = ParseOctalText(text)) {
        m_choice = *typed;
        showChoice(false);
    }
}

} // namespace tw::ui

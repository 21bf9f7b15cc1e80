#include "ui/options/edit_file_type_dialog.h"

#include "core/options/options_sheet.h"
#include "core/text/messages.h"
#include "core/text/string_table.h"
#include "ui/dialogs/control_names.h"
#include "ui/dialogs/dialog_placement.h"
#include "ui/dialogs/dialog_units.h"
#include "ui/options/browse_button.h"
#include "ui/panes/file_dialogs.h"
#include "ui/panes/pane_icons.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>
#include <QVBoxLayout>
#include <QValidator>

#include <algorithm>

namespace tw::ui {

namespace {

constexpr int kExtSize = 16;  // at most 15 characters typed
constexpr int kCmdSize = 256; // at most 255
constexpr int kHelpTopic = 105;
constexpr int kProgramFilterId = 1025;
constexpr int kProgramTitleId = 1024;

// Turns whatever is typed or pasted into lower case, as the extension field wants it.
class LowerCaseValidator : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString& input, int& pos) const override {
        input = input.toLower();
        pos = std::min(pos, int(input.size()));
        return Acceptable;
    }
};

} // namespace

EditFileTypeDialog::EditFileTypeDialog(const Messages& messages, const FileTypeAssociation& record,
                                       bool modify, std::function<void(int)> showHelp,
                                       WindowPlacement* remember, QWidget* parent)
    : QDialog(parent), m_messages(messages), m_modify(modify), m_showHelp(std::move(showHelp)),
      m_remember(remember) {
    setObjectName(QStringLiteral("editFileTypeDialog"));
    setFont(DialogUnits::dialogFont());
    setWindowTitle(EditFileTypeTitle(messages, modify));
    SetDialogIcon(this, 1000);
    const DialogUnits du(font());

    m_picture = new QLabel(this);
    m_picture->setObjectName(QStringLiteral("typePicture"));
    m_picture->setFixedSize(32, 32);
    m_picture->setAlignment(Qt::AlignCenter);

    m_type = new QLineEdit(this);
    m_type->setObjectName(QStringLiteral("typeEdit"));
    m_type->setValidator(new LowerCaseValidator(m_type));
    auto* typeLabel = new QLabel(QStringLiteral("&File Type"), this);
    typeLabel->setBuddy(m_type);

    m_program = new QLineEdit(this);
    m_program->setObjectName(QStringLiteral("programEdit"));
    auto* programLabel = new QLabel(QStringLiteral("&Program"), this);
    programLabel->setBuddy(m_program);
    m_browse = MakeBrowseButton(this, QStringLiteral("browseButton"),
                                LookupString(kProgramTitleId).value_or(QString()));

    QDialogButtonBox* buttons = MakeOkCancelHelpButtons(this, [this] {
        if (m_showHelp)
            m_showHelp(kHelpTopic);
    });

    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(du.x(6));
    grid->setVerticalSpacing(du.y(6));
    grid->addWidget(m_picture, 0, 0, 2, 1, Qt::AlignTop);
    grid->addWidget(typeLabel, 0, 1);
    grid->addWidget(m_type, 0, 2);
    grid->addWidget(programLabel, 1, 1);
    grid->addWidget(m_program, 1, 2, 1, 2);
    grid->addWidget(m_browse, 1, 4);
    grid->setColumnMinimumWidth(2, du.x(60));
    grid->setColumnStretch(3, 1);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(du.x(7), du.y(7), du.x(7), du.y(7));
    layout->setSpacing(du.y(10));
    layout->addLayout(grid);
    layout->addWidget(buttons);
    setMinimumWidth(du.x(240));

    SetEditText(m_type, record.Ext.toLower(), kExtSize);
    SetEditText(m_program, record.Cmd, kCmdSize);
    showTypePicture(m_type->text());
    connect(m_type, &QLineEdit::textChanged, this, &EditFileTypeDialog::showTypePicture);
    connect(m_browse, &QToolButton::clicked, this, &EditFileTypeDialog::browse);
    NameControlsByText(this);
    m_type->setFocus(Qt::OtherFocusReason);
}

FileTypeAssociation EditFileTypeDialog::record() const {
    return {GetEditText(m_type, kExtSize), GetEditText(m_program, kCmdSize)};
}

void EditFileTypeDialog::showTypePicture(const QString& extension) {
    // A lone period (or nothing) names no type yet.
    if (extension.size() <= 1) {
        m_picture->clear();
        m_picture->setAccessibleName(QString());
        return;
    }
    QString description;
    const QIcon icon = GetFileTypeIcon(extension, &description);
    m_picture->setPixmap(icon.pixmap(m_picture->size(), devicePixelRatioF()));
    m_picture->setAccessibleName(description); // what the picture tells: the type's kind
}

void EditFileTypeDialog::browse() {
    QString path = GetEditText(m_program, kCmdSize);
    if (OpenFileDialog(this, path, kProgramFilterId, kProgramTitleId))
        SetEditText(m_program, path, kCmdSize);
}

void EditFileTypeDialog::accept() {
    const FileTypeAssociation shown = record();
    if (const auto failed = ValidateFileType(m_messages, m_modify, shown)) {
        SelectEditText(*failed == FileTypeField::Ext ? m_type : m_program);
        return;
    }
    if (m_remember)
        RememberDialogPosition(this, *m_remember);
    QDialog::accept();
}

bool EditFileType(QWidget* owner, const Messages& messages, FileTypeAssociation& record,
                  bool modify, WindowPlacement& placement, bool saveWindows,
                  std::function<void(int)> showHelp) {
    EditFileTypeDialog dialog(messages, record, modify, std::move(showHelp), &placement, owner);
    dialog.setWindowModality(Qt::ApplicationModal);
    PlaceDialog(&dialog, placement, saveWindows);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    record = dialog.record();
    return true;
}

} // namespace tw::ui

#include "ui/transfer/destination_name_dialog.h"

#include "core/panes/entry_format.h"
#include "core/text/format.h"
#include "ui/dialogs/dialog_placement.h"
#include "ui/dialogs/dialog_units.h"
#include "ui/panes/pane_icons.h"
#include "ui/transfer/transfer_dialogs.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <QValidator>

namespace tw::ui {

namespace {

constexpr int kNameSize = 257; // at most 256 characters typed
constexpr int kShownTextLimit = 255;
constexpr int kHelpTopic = 544;
constexpr int kValueWidth = 180; // dialog units a folder or name may take before it is cut

// Lower-cases whatever reaches the edit box: typed, pasted or set.
class LowerCaseValidator : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString& input, int& /*pos*/) const override {
        input = input.toLower();
        return Acceptable;
    }
};

QLabel* MakeValue(QWidget* parent, const char* objectName) {
    auto* label = new QLabel(parent);
    label->setObjectName(QString::fromLatin1(objectName));
    label->setTextFormat(Qt::PlainText);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

} // namespace

DestinationNameDialog::DestinationNameDialog(QWidget* parent, std::function<void(int)> help)
    : AskingDialog(parent), m_help(std::move(help)) {
    setFont(DialogUnits::dialogFont());
    SetDialogIcon(this, 1000);
    setWindowTitle(QStringLiteral(" Destination File Name"));
    setWindowModality(Qt::ApplicationModal);
    const DialogUnits du(font());

    m_icon = new QLabel(this);
    m_icon->setObjectName(QStringLiteral("100"));
    m_icon->setFixedSize(du.size(21, 20));
    m_icon->setAlignment(Qt::AlignCenter);
    m_sourceFolder = MakeValue(this, "101");
    m_fileName = MakeValue(this, "102");
    QFont bold = m_fileName->font();
    bold.setBold(true);
    m_fileName->setFont(bold);
    m_destinationFolder = MakeValue(this, "103");

    m_plainEdit = new QLineEdit(this);
    m_plainEdit->setObjectName(QStringLiteral("104"));
    m_lowerEdit = new QLineEdit(this);
    m_lowerEdit->setObjectName(QStringLiteral("105"));
    m_lowerEdit->setValidator(new LowerCaseValidator(m_lowerEdit));
    m_lowerEdit->hide();
    for (QLineEdit* edit : {m_plainEdit, m_lowerEdit})
        edit->setMaxLength(kNameSize - 1);
    m_editLabel = new QLabel(QStringLiteral("&New Name"), this);

    QDialogButtonBox* buttons = MakeOkCancelHelpButtons(this, [this] {
        if (m_help)
            m_help(kHelpTopic);
    });

    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(du.x(6));
    grid->setVerticalSpacing(du.y(4));
    grid->addWidget(m_icon, 0, 0, 3, 1, Qt::AlignTop);
    grid->addWidget(new QLabel(QStringLiteral("Source Folder"), this), 0, 1);
    grid->addWidget(m_sourceFolder, 0, 2);
    grid->addWidget(new QLabel(QStringLiteral("File Name"), this), 1, 1);
    grid->addWidget(m_fileName, 1, 2);
    grid->addWidget(new QLabel(QStringLiteral("Destination Folder"), this), 2, 1);
    grid->addWidget(m_destinationFolder, 2, 2);
    grid->addWidget(m_editLabel, 3, 1);
    // Both edit boxes share one place; the request decides which one is shown.
    grid->addWidget(m_plainEdit, 3, 2);
    grid->addWidget(m_lowerEdit, 3, 2);
    grid->setRowMinimumHeight(3, du.y(18));
    grid->setColumnStretch(2, 1);
    grid->setColumnMinimumWidth(2, du.x(160));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(du.x(7), du.y(7), du.x(7), du.y(7));
    layout->setSpacing(du.y(8));
    layout->addLayout(grid);
    layout->addWidget(buttons);
    setMinimumWidth(du.x(260));
}

void DestinationNameDialog::setRequest(const DestinationNameRequest& request) {
    const int width = DialogUnits(font()).x(kValueWidth);
    SetElidedText(m_sourceFolder, CutText(request.sourceFolder, kShownTextLimit), width);
    SetElidedText(m_fileName, CutText(request.fileName, kShownTextLimit), width);
    SetElidedText(m_destinationFolder, CutText(request.destinationFolder, kShownTextLimit), width);
    const QIcon icon = GetFileTypeIcon(LowerExtension(request.fileName));
    m_icon->setPixmap(icon.pixmap(m_icon->size(), devicePixelRatioF()));

    const bool switched = m_lowercase != request.lowercase;
    m_lowercase = request.lowercase;
    QLineEdit* shown = edit();
    QLineEdit* hidden = m_lowercase ? m_plainEdit : m_lowerEdit;
    hidden->hide();
    shown->show();
    m_editLabel->setBuddy(shown);
    // A retry keeps what the user typed, selected, so that it can be corrected.
    if (!request.retry || switched)
        SetEditText(shown, request.fileName, kNameSize);
    if (request.retry)
        SelectEditText(shown);
    else
        shown->setFocus(Qt::OtherFocusReason);
}

QString DestinationNameDialog::text() const {
    return GetEditText(edit(), kNameSize);
}

QLineEdit* DestinationNameDialog::edit() const {
    return m_lowercase ? m_lowerEdit : m_plainEdit;
}

} // namespace tw::ui

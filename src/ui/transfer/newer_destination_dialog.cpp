#include "ui/transfer/newer_destination_dialog.h"

#include "core/text/format.h"
#include "core/text/string_table.h"
#include "ui/dialogs/dialog_placement.h"
#include "ui/dialogs/dialog_units.h"
#include "ui/panes/pane_icons.h"
#include "ui/transfer/transfer_dialogs.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace tw::ui {

namespace {

constexpr int kUploadQuestion = 3651;   // "Are you sure you want to upload it?"
constexpr int kDownloadQuestion = 3652; // "Are you sure you want to download it?"
constexpr int kLocalFile = 3653;        // "Local File: %s"
constexpr int kRemoteFile = 3654;       // "Remote File: %s"
constexpr int kDownloadCaption = 3660;  // " Local Destination File is Newer"
constexpr int kUploadCaption = 3661;    // " Remote Destination File is Newer"
constexpr int kSizeAndType = 3662;      // "%I64u Bytes - %s"
constexpr int kHelpTopic = 546;
constexpr int kControlTextLimit = 255;
constexpr int kNameWidth = 240; // dialog units a name line may take before it is cut

QString Text(int id, FmtArgs args = {}) {
    return FormatText(LookupString(id).value_or(QString()), args, kControlTextLimit);
}

QLabel* MakeLabel(QWidget* parent, const QString& objectName, const QString& text) {
    auto* label = new QLabel(parent);
    label->setObjectName(objectName);
    label->setTextFormat(Qt::PlainText);
    label->setText(text);
    return label;
}

} // namespace

NewerDestinationDialog::NewerDestinationDialog(const NewerDestinationRequest& request,
                                               QWidget* parent, std::function<void(int)> help)
    : QDialog(parent), m_help(std::move(help)) {
    setFont(DialogUnits::dialogFont());
    SetDialogIcon(this, 1000);
    setWindowTitle(Text(request.upload ? kUploadCaption : kDownloadCaption));
    const DialogUnits du(font());

    auto* intro = new QLabel(
        QStringLiteral("The destination file is newer than the file being transferred."), this);
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(du.x(6));
    grid->setVerticalSpacing(du.y(2));
    addBlock(grid, 0, 100, request.source, request.upload ? kLocalFile : kRemoteFile);
    grid->setRowMinimumHeight(3, du.y(6));
    addBlock(grid, 4, 200, request.destination, request.upload ? kRemoteFile : kLocalFile);
    grid->setColumnStretch(1, 1);
    auto* question = MakeLabel(this, QStringLiteral("205"),
                               Text(request.upload ? kUploadQuestion : kDownloadQuestion));

    const auto [yes, yesToAll, no, cancel] = MakeAnswerButtons<NewerAnswer>(
        this, request.multiple, [this](NewerAnswer answer) { finish(answer); });
    QPushButton* helpButton =
        MakeDialogButton(this, QStringLiteral("&Help"), QStringLiteral("helpButton"));
    no->setDefault(true);
    no->setFocus();
    connect(helpButton, &QPushButton::clicked, this, [this] {
        if (m_help)
            m_help(kHelpTopic);
    });

    auto* row = new QHBoxLayout;
    row->addStretch(1);
    for (QPushButton* b : {yes, yesToAll, no, cancel, helpButton})
        row->addWidget(b);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(du.x(7), du.y(7), du.x(7), du.y(7));
    layout->setSpacing(du.y(8));
    layout->addWidget(intro);
    layout->addLayout(grid);
    layout->addWidget(question);
    layout->addLayout(row);
    setMinimumWidth(du.x(250));
}

// One file's block: icon (firstId) beside its name line (+1), size and type (+2), date (+3).
void NewerDestinationDialog::addBlock(QGridLayout* grid, int row, int firstId,
                                      const FileEntry& entry, int nameTextId) {
    const DialogUnits du(font());
    QString description;
    const QIcon picture = GetFileTypeIcon(entry.type, &description);
    auto* icon = new QLabel(this);
    icon->setObjectName(QString::number(firstId));
    icon->setFixedSize(du.size(21, 20));
    icon->setAlignment(Qt::AlignCenter);
    icon->setPixmap(picture.pixmap(icon->size(), devicePixelRatioF()));
    icon->setAccessibleName(description); // what the picture tells: the file's type
    auto* name = MakeLabel(this, QString::number(firstId + 1), QString());
    QFont bold = name->font();
    bold.setBold(true);
    name->setFont(bold);
    SetElidedText(name, Text(nameTextId, {entry.name}), du.x(kNameWidth));
    const std::uint64_t size = entry.sizeText().toULongLong();
    auto* sizeLine =
        MakeLabel(this, QString::number(firstId + 2), Text(kSizeAndType, {size, description}));
    auto* date = MakeLabel(this, QString::number(firstId + 3), CutText(entry.dateText(), 255));
    grid->addWidget(icon, row, 0, 3, 1, Qt::AlignTop);
    grid->addWidget(name, row, 1);
    grid->addWidget(sizeLine, row + 1, 1);
    grid->addWidget(date, row + 2, 1);
}

void NewerDestinationDialog::finish(NewerAnswer answer) {
    m_answer = answer;
    if (answer == NewerAnswer::Cancel)
        reject();
    else
        accept();
}

} // namespace tw::ui

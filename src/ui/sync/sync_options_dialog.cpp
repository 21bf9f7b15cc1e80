#include "ui/sync/sync_options_dialog.h"

#include "core/text/string_table.h"
#include "ui/dialogs/control_names.h"
#include "ui/dialogs/dialog_placement.h"
#include "ui/dialogs/dialog_units.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QVBoxLayout>

namespace tw::ui {

namespace {

namespace qs = queue::sync;

enum Text {
    kCaption = 5863,
    kLocalFolder = 5900,
    kRemoteFolder,
    kDirection,
    kUpload,
    kDownload,
    kBoth,
    kOnlyNewer,
    kOnlyMissing,
    kDeleteExtra,
    kCompare,
    kSizeAndTime,
    kSizeOnly,
    kTimeOnly,
    kChecksum,
    kExcludes,
};

QString text(int id) {
    return LookupString(id).value_or(QString());
}

QLineEdit* folderField(const QString& folder, const QString& name, QWidget* parent) {
    auto* field = new QLineEdit(folder, parent);
    field->setObjectName(name);
    field->setReadOnly(true);
    field->setCursorPosition(0);
    return field;
}

} // namespace

SyncOptionsDialog::SyncOptionsDialog(const SyncOptionsRequest& request, QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("SyncOptionsDialog"));
    setFont(DialogUnits::dialogFont());
    SetDialogIcon(this, 1000);
    setWindowTitle(text(kCaption));
    const DialogUnits du(font());
    const SyncChoices& start = request.start;

    auto* folders = new QGridLayout;
    folders->setHorizontalSpacing(du.x(6));
    const std::pair<int, QLineEdit*> fields[] = {
        {kLocalFolder, folderField(request.localFolder, QStringLiteral("localFolder"), this)},
        {kRemoteFolder, folderField(request.remoteFolder, QStringLiteral("remoteFolder"), this)}};
    int row = 0;
    for (const auto& [id, field] : fields) {
        auto* label = new QLabel(text(id), this);
        label->setBuddy(field);
        folders->addWidget(label, row, 0);
        folders->addWidget(field, row++, 1);
    }
    folders->setColumnStretch(1, 1);

    auto* direction = new QGroupBox(text(kDirection), this);
    direction->setObjectName(QStringLiteral("direction"));
    auto* directionRows = new QVBoxLayout(direction);
    m_upload = new QRadioButton(text(kUpload), direction);
    m_upload->setObjectName(QStringLiteral("upload"));
    m_download = new QRadioButton(text(kDownload), direction);
    m_download->setObjectName(QStringLiteral("download"));
    m_both = new QRadioButton(text(kBoth), direction);
    m_both->setObjectName(QStringLiteral("both"));
    for (QRadioButton* radio : {m_upload, m_download, m_both})
        directionRows->addWidget(radio);
    (start.direction == qs::SyncDirection::Download ? m_download
     : start.direction == qs::SyncDirection::Both   ? m_both
                                                    : m_upload)
        ->setChecked(true);

    auto* compare = new QGroupBox(text(kCompare), this);
    compare->setObjectName(QStringLiteral("compare"));
    auto* compareRows = new QVBoxLayout(compare);
    m_sizeAndTime = new QRadioButton(text(kSizeAndTime), compare);
    m_sizeAndTime->setObjectName(QStringLiteral("sizeAndTime"));
    m_sizeOnly = new QRadioButton(text(kSizeOnly), compare);
    m_sizeOnly->setObjectName(QStringLiteral("sizeOnly"));
    m_timeOnly = new QRadioButton(text(kTimeOnly), compare);
    m_timeOnly->setObjectName(QStringLiteral("timeOnly"));
    for (QRadioButton* radio : {m_sizeAndTime, m_sizeOnly, m_timeOnly})
        compareRows->addWidget(radio);
    (start.rule == qs::CompareRule::SizeOnly   ? m_sizeOnly
     : start.rule == qs::CompareRule::TimeOnly ? m_timeOnly
                                               : m_sizeAndTime)
        ->setChecked(true);

    auto* groups = new QHBoxLayout;
    groups->setSpacing(du.x(6));
    groups->addWidget(direction, 1);
    groups->addWidget(compare, 1);

    const auto box = [this](int id, const char* name, bool on) {
        auto* check = new QCheckBox(text(id), this);
        check->setObjectName(QLatin1StringView(name));
        check->setChecked(on);
        return check;
    };
    m_onlyNewer = box(kOnlyNewer, "onlyNewer", start.onlyNewer);
    m_onlyMissing = box(kOnlyMissing, "onlyMissing", start.onlyMissing);
    m_deleteExtra = box(kDeleteExtra, "deleteExtra", start.deleteExtra);
    m_checksum = box(kChecksum, "checksum", start.checksum);

    auto* excludesLabel = new QLabel(text(kExcludes), this);
    m_excludes = new QLineEdit(start.excludes, this);
    m_excludes->setObjectName(QStringLiteral("excludes"));
    m_excludes->setMaxLength(255);
    excludesLabel->setBuddy(m_excludes);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(du.x(7), du.y(7), du.x(7), du.y(7));
    layout->setSpacing(du.y(4));
    layout->addLayout(folders);
    layout->addLayout(groups);
    for (QCheckBox* check : {m_onlyNewer, m_onlyMissing, m_deleteExtra, m_checksum})
        layout->addWidget(check);
    layout->addWidget(excludesLabel);
    layout->addWidget(m_excludes);
    layout->addWidget(MakeOkCancelButtons(this));
    setMinimumWidth(du.x(260));
    NameControlsByText(this);
}

SyncChoices SyncOptionsDialog::choices() const {
    SyncChoices c;
    c.direction = m_download->isChecked() ? qs::SyncDirection::Download
                  : m_both->isChecked()   ? qs::SyncDirection::Both
                                          : qs::SyncDirection::Upload;
    c.onlyNewer = m_onlyNewer->isChecked();
    c.onlyMissing = m_onlyMissing->isChecked();
    c.deleteExtra = m_deleteExtra->isChecked();
    c.rule = m_sizeOnly->isChecked()   ? qs::CompareRule::SizeOnly
             : m_timeOnly->isChecked() ? qs::CompareRule::TimeOnly
                                       : qs::CompareRule::SizeAndTime;
    c.checksum = m_checksum->isChecked();
    c.excludes = m_excludes->text().trimmed();
    return c;
}

} // namespace tw::ui

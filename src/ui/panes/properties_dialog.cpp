#include "ui/panes/properties_dialog.h"

#include "core/panes/file_entry.h"
#include "ui/dialogs/dialog_placement.h"
#include "ui/dialogs/dialog_units.h"
#include "ui/panes/pane_icons.h"
#include "ui/panes/pane_model.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace tw::ui {

namespace {

// A read-only one-line field that keeps long texts reachable.
QLineEdit* Field(QWidget* parent, const QString& objectName, const QString& text) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(objectName);
    edit->setReadOnly(true);
    edit->setFrame(false);
    edit->setMaxLength(255);
    edit->setText(PaneModel::DisplayName(text).left(255));
    edit->setCursorPosition(0);
    QPalette palette = edit->palette();
    palette.setColor(QPalette::Base, Qt::transparent);
    edit->setPalette(palette);
    return edit;
}

QFrame* Line(QWidget* parent) {
    auto* line = new QFrame(parent);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    return line;
}

} // namespace

PropertiesDialog::PropertiesDialog(const PropertiesData& data, QWidget* parent) : QDialog(parent) {
    setFont(DialogUnits::dialogFont());
    SetDialogIcon(this, 1000);
    setWindowTitle(QStringLiteral(" Properties"));
    const DialogUnits du(font());

    QString typeText = data.typeText;
    QIcon picture = FolderIcon();
    if (!data.isFolder)
        picture = GetFileTypeIcon(data.type, typeText.isEmpty() ? &typeText : nullptr);
    auto* icon = new QLabel(this);
    icon->setObjectName(QStringLiteral("100"));
    icon->setFixedSize(du.size(21, 20));
    icon->setAlignment(Qt::AlignCenter);
    icon->setPixmap(picture.pixmap(icon->size(), devicePixelRatioF()));
    QLineEdit* name = Field(this, QStringLiteral("101"), data.name);
    QFont bold = name->font();
    bold.setBold(true);
    name->setFont(bold);

    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(du.x(8));
    grid->setVerticalSpacing(du.y(3));
    grid->addWidget(icon, 0, 0);
    grid->addWidget(name, 0, 1);
    int row = 1;
    grid->addWidget(Line(this), row++, 0, 1, 2);
    auto add = [&](const QString& label, const QString& objectName, const QString& text) {
        grid->addWidget(new QLabel(label, this), row, 0);
        grid->addWidget(Field(this, objectName, text), row, 1);
        ++row;
    };
    add(QStringLiteral("FTP Site:"), QStringLiteral("102"), data.site);
    add(QStringLiteral("Location:"), QStringLiteral("103"), data.location);
    add(QStringLiteral("Type:"), QStringLiteral("104"), typeText);
    add(QStringLiteral("Size:"), QStringLiteral("105"), data.sizeText);
    grid->addWidget(Line(this), row++, 0, 1, 2);
    add(QStringLiteral("Created:"), QStringLiteral("106"), data.created);
    add(QStringLiteral("Modified:"), QStringLiteral("107"), data.modified);
    add(QStringLiteral("Accessed:"), QStringLiteral("108"), data.accessed);
    grid->addWidget(Line(this), row++, 0, 1, 2);
    auto* boxes = new QHBoxLayout;
    auto box = [&](const QString& text, const QString& objectName, std::uint32_t bit) {
        auto* check = new QCheckBox(text, this);
        check->setObjectName(objectName);
        check->setChecked((data.attributes & bit) != 0);
        check->setEnabled(false);
        boxes->addWidget(check);
    };
    box(QStringLiteral("Read-Only"), QStringLiteral("109"), kAttrReadOnly);
    box(QStringLiteral("Hidden"), QStringLiteral("110"), kAttrHidden);
    box(QStringLiteral("Archive"), QStringLiteral("111"), kAttrArchive);
    boxes->addStretch(1);
    grid->addLayout(boxes, row++, 0, 1, 2);
    if (data.showAccess) {
        // Each field is named by its label for screen readers.
        auto named = [&](const QString& label, const QString& objectName, const QString& text) {
            auto* caption = new QLabel(label, this);
            QLineEdit* field = Field(this, objectName, text);
            caption->setBuddy(field);
            grid->addWidget(caption, row, 0);
            grid->addWidget(field, row, 1);
            ++row;
        };
        grid->addWidget(Line(this), row++, 0, 1, 2);
        named(QStringLiteral("Permissions:"), QStringLiteral("112"), data.permissions);
        named(QStringLiteral("Owner:"), QStringLiteral("113"), data.owner);
        named(QStringLiteral("Group:"), QStringLiteral("114"), data.group);
        if (!data.rights.isEmpty())
            named(QStringLiteral("Rights:"), QStringLiteral("115"), data.rights);
    }
    grid->setColumnStretch(1, 1);

    QDialogButtonBox* buttons = MakeOkCancelButtons(this);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(du.x(7), du.y(7), du.x(7), du.y(7));
    layout->setSpacing(du.y(7));
    layout->addLayout(grid);
    layout->addWidget(buttons);
    setMinimumWidth(du.x(230));
}

} // namespace tw::ui

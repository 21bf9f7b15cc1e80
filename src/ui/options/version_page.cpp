#include "ui/options/version_page.h"

#include "core/text/messages.h"
#include "ui/dialogs/program_icons.h"

#include <QGridLayout>
#include <QLabel>

namespace tw::ui {

namespace {
constexpr int kProductNameId = 1002;
constexpr int kFileVersionId = 1019;
} // namespace

VersionPage::VersionPage(const Messages& messages, QWidget* parent) : OptionsPageWidget(parent) {
    setObjectName(QStringLiteral("versionPage"));
    auto* icon = new QLabel(this);
    icon->setPixmap(ProgramIconPixmap(1000, QSize(32, 32), devicePixelRatioF()));
    auto* name = new QLabel(messages.LoadStringResource(kProductNameId).value_or(QString()), this);
    name->setObjectName(QStringLiteral("101"));
    QFont bold = name->font();
    bold.setBold(true);
    name->setFont(bold);
    auto* version =
        new QLabel(messages.LoadStringResource(kFileVersionId).value_or(QString()), this);
    version->setObjectName(QStringLiteral("104"));
    for (QLabel* label : {name, version})
        label->setTextFormat(Qt::PlainText);

    auto* layout = new QGridLayout(this);
    layout->setContentsMargins(24, 18, 24, 18);
    layout->addWidget(icon, 0, 0, 2, 1, Qt::AlignTop);
    layout->addWidget(name, 0, 1);
    layout->addWidget(version, 1, 1);
    layout->setColumnStretch(1, 1);
    layout->setRowStretch(2, 1);
}

} // namespace tw::ui

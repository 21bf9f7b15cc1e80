#include "ui/options/browse_button.h"

#include "ui/dialogs/program_icons.h"

#include <QIcon>
#include <QStyle>
#include <QToolButton>

namespace tw::ui {

namespace {
constexpr int kBrowseIconId = 2107;
} // namespace

QToolButton* MakeBrowseButton(QWidget* parent, const QString& objectName, const QString& title) {
    auto* button = new QToolButton(parent);
    button->setObjectName(objectName);
    QIcon icon = ProgramIcon(kBrowseIconId);
    if (icon.isNull())
        icon = QIcon::fromTheme(QStringLiteral("folder-open"),
                                button->style()->standardIcon(QStyle::SP_DirOpenIcon));
    button->setIcon(icon);
    button->setIconSize(QSize(12, 12));
    button->setToolTip(title);
    button->setAccessibleName(title);
    return button;
}

} // namespace tw::ui

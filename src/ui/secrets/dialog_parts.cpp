#include "ui/secrets/dialog_parts.h"

#include "ftp/display_text.h"
#include "ui/dialogs/program_icons.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

namespace tw::ui::secrets {

namespace {
constexpr int kIconSide = 32;
} // namespace

QLabel* MakeIconLabel(QWidget* parent, int iconId) {
    auto* icon = new QLabel(parent);
    icon->setObjectName(QStringLiteral("iconLabel"));
    icon->setPixmap(
        ProgramIconPixmap(iconId, QSize(kIconSide, kIconSide), parent->devicePixelRatioF()));
    icon->setAlignment(Qt::AlignTop);
    return icon;
}

QLabel* MakeWarningIconLabel(QWidget* parent) {
    auto* icon = new QLabel(parent);
    icon->setObjectName(QStringLiteral("iconLabel"));
    icon->setPixmap(
        parent->style()->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(kIconSide, kIconSide));
    icon->setAlignment(Qt::AlignTop);
    return icon;
}

QLabel* MakeTextLabel(QWidget* parent, const QString& text, const QString& objectName,
                      int minimumWidth) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(objectName);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    label->setMinimumWidth(minimumWidth);
    return label;
}

QLineEdit* MakePasswordEdit(QWidget* parent, const QString& objectName) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(objectName);
    edit->setEchoMode(QLineEdit::Password);
    edit->setCompleter(nullptr);
    edit->setInputMethodHints(Qt::ImhHiddenText | Qt::ImhSensitiveData | Qt::ImhNoPredictiveText |
                              Qt::ImhNoAutoUppercase);
    edit->setContextMenuPolicy(Qt::NoContextMenu);
    return edit;
}

QHBoxLayout* MakeButtonRow(std::initializer_list<QPushButton*> buttons) {
    auto* row = new QHBoxLayout;
    row->addStretch(1);
    for (QPushButton* button : buttons)
        row->addWidget(button);
    return row;
}

void LayOutDialog(QWidget* dialog, QLabel* icon, QLayout* content, QLayout* buttons) {
    auto* top = new QHBoxLayout;
    top->addWidget(icon, 0, Qt::AlignTop);
    top->addSpacing(6);
    top->addLayout(content, 1);
    auto* layout = new QVBoxLayout(dialog);
    layout->addLayout(top);
    layout->addSpacing(6);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

QString Shown(const QString& text) {
    return QString::fromStdString(ftp::DisplayText(text.toStdString()));
}

} // namespace tw::ui::secrets

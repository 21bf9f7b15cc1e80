#include "ui/options/page_items.h"

#include "ui/dialogs/dialog_units.h"
#include "ui/dialogs/program_icons.h"

#include <QFrame>
#include <QLabel>

namespace tw::ui {

QLabel* AddPicture(QWidget* page, const DialogUnits& du, int iconId, PageItem at, bool sunken) {
    auto* label = new QLabel(page);
    label->setGeometry(du.rect(at.x, at.y, at.cx, at.cy));
    const QSize size =
        sunken ? label->size() - QSize(4, 4) : QSize(32, 32).boundedTo(label->size());
    label->setPixmap(ProgramIconPixmap(iconId, size, page->devicePixelRatioF()));
    label->setAlignment(Qt::AlignCenter);
    if (sunken)
        label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    return label;
}

QLabel* AddStaticText(QWidget* page, const DialogUnits& du, int id, const QString& text,
                      PageItem at) {
    auto* label = new QLabel(text, page);
    label->setObjectName(QString::number(id));
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setGeometry(du.rect(at.x, at.y, at.cx, at.cy));
    return label;
}

void AddEtchedLine(QWidget* page, const DialogUnits& du, int y) {
    auto* rule = new QFrame(page);
    rule->setFrameStyle(QFrame::HLine | QFrame::Sunken);
    rule->setGeometry(du.rect(118, y, 195, 1).adjusted(0, -1, 0, 1));
}

} // namespace tw::ui

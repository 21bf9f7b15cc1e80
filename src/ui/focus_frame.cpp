#include "ui/focus_frame.h"

#include <QAbstractItemView>
#include <QEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFocusRect>

namespace tw::ui {

void PaintFocusFrameWhenNoCurrentRow(QAbstractItemView* view) {
    if (!view->hasFocus() || view->currentIndex().isValid())
        return;
    QPainter painter(view->viewport());
    QStyleOptionFocusRect focus;
    focus.initFrom(view);
    focus.rect = view->viewport()->rect().adjusted(1, 1, -1, -1);
    focus.backgroundColor = view->palette().color(QPalette::Base);
    view->style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &painter, view);
}

namespace {

class FocusRepainter : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut)
            static_cast<QAbstractItemView*>(watched)->viewport()->update();
        return false;
    }
};

} // namespace

void RepaintOnFocusChange(QAbstractItemView* view) {
    view->installEventFilter(new FocusRepainter(view));
}

} // namespace tw::ui

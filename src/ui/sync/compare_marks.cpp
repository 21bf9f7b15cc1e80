#include "ui/sync/compare_marks.h"

#include "core/text/string_table.h"
#include "ui/display_font.h"
#include "ui/panes/pane_icons.h"

#include <QIconEngine>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cstddef>

namespace tw::ui {

namespace {

// Ordinary text's contrast, kept where the palette itself has it.
constexpr double kPreferredContrast = 4.5;

std::size_t IndexOf(CompareMark mark) {
    return std::size_t(mark);
}

// The hue of each mark, and the darker one of its badge (white signs on it read in both
// light and dark themes).
QColor Hue(CompareMark mark) {
    switch (mark) {
    case CompareMark::None:
        break;
    case CompareMark::OnlyHere:
        return QColor(0x2b, 0x7b, 0xe0); // blue
    case CompareMark::NewerHere:
        return QColor(0x2e, 0xa0, 0x43); // green
    case CompareMark::OlderHere:
        return QColor(0xe0, 0x8a, 0x00); // amber
    case CompareMark::SizeDiffers:
        return QColor(0xd0, 0x36, 0x36); // red
    case CompareMark::KindDiffers:
        return QColor(0x8e, 0x44, 0xc0); // purple
    }
    return {};
}

QColor Blend(const QColor& base, const QColor& hue, double amount) {
    const auto mix = [amount](int a, int b) { return int(a + (b - a) * amount + 0.5); };
    return QColor(mix(base.red(), hue.red()), mix(base.green(), hue.green()),
                  mix(base.blue(), hue.blue()));
}

// Draws the base icon and the mark's badge, at whatever size and pixel ratio asked.
class MarkedIconEngine : public QIconEngine {
public:
    MarkedIconEngine(QIcon base, CompareMark mark) : m_base(std::move(base)), m_mark(mark) {}

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode,
               QIcon::State state) override {
        m_base.paint(painter, rect, Qt::AlignCenter, mode, state);
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        const qreal side = std::max<qreal>(7, rect.height() * 0.72);
        const QRectF badge(rect.right() + 1 - side, rect.bottom() + 1 - side, side, side);
        painter->setPen(QPen(Qt::white, std::max<qreal>(1, side / 10)));
        painter->setBrush(Hue(m_mark).darker(125));
        painter->drawEllipse(badge.adjusted(0.5, 0.5, -0.5, -0.5));
        const QPointF c = badge.center();
        const qreal r = side * 0.27; // the sign's half size
        painter->setPen(QPen(Qt::white, std::max<qreal>(1.2, side / 7), Qt::SolidLine, Qt::RoundCap,
                             Qt::RoundJoin));
        painter->setBrush(Qt::NoBrush);
        switch (m_mark) {
        case CompareMark::None:
            break;
        case CompareMark::OnlyHere: // "+"
            painter->drawLine(QPointF(c.x() - r, c.y()), QPointF(c.x() + r, c.y()));
            painter->drawLine(QPointF(c.x(), c.y() - r), QPointF(c.x(), c.y() + r));
            break;
        case CompareMark::NewerHere:
        case CompareMark::OlderHere: { // an arrow up or down
            const qreal dir = m_mark == CompareMark::NewerHere ? -1 : 1;
            const QPointF tip(c.x(), c.y() + dir * r);
            painter->drawLine(QPointF(c.x(), c.y() - dir * r), tip);
            painter->drawLine(tip, QPointF(c.x() - r * 0.8, tip.y() - dir * r * 0.8));
            painter->drawLine(tip, QPointF(c.x() + r * 0.8, tip.y() - dir * r * 0.8));
            break;
        }
        case CompareMark::SizeDiffers: // "≠"
            painter->drawLine(QPointF(c.x() - r, c.y() - r * 0.4),
                              QPointF(c.x() + r, c.y() - r * 0.4));
            painter->drawLine(QPointF(c.x() - r, c.y() + r * 0.4),
                              QPointF(c.x() + r, c.y() + r * 0.4));
            painter->drawLine(QPointF(c.x() + r * 0.5, c.y() - r),
                              QPointF(c.x() - r * 0.5, c.y() + r));
            break;
        case CompareMark::KindDiffers: // "!"
            painter->drawLine(QPointF(c.x(), c.y() - r), QPointF(c.x(), c.y() + r * 0.25));
            painter->drawPoint(QPointF(c.x(), c.y() + r));
            break;
        }
        painter->restore();
    }
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        return scaledPixmap(size, mode, state, 1.0);
    }
    QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State state,
                         qreal scale) override {
        QPixmap out(size); // Qt asks in device pixels already
        out.fill(Qt::transparent);
        {
            QPainter painter(&out);
            paint(&painter, QRect(QPoint(), size), mode, state);
        }
        out.setDevicePixelRatio(scale);
        return out;
    }
    QIconEngine* clone() const override { return new MarkedIconEngine(m_base, m_mark); }
    QString key() const override { return QStringLiteral("tw-compare"); }

private:
    QIcon m_base;
    CompareMark m_mark;
};

} // namespace

QColor CompareTint(CompareMark mark, const QPalette& palette) {
    if (mark == CompareMark::None)
        return {};
    const QColor base = palette.color(QPalette::Active, QPalette::Base);
    const QColor text = palette.color(QPalette::Active, QPalette::Text);
    const double needed =
        std::max(kMinimumTextContrast, std::min(kPreferredContrast, ContrastRatio(text, base)));
    // From a clear tint down to a faint one: the first the text still reads well on.
    for (double amount = 0.34; amount > 0.07; amount -= 0.03) {
        const QColor tint = Blend(base, Hue(mark), amount);
        if (ContrastRatio(text, tint) >= needed)
            return tint;
    }
    return {};
}

CompareTints CompareTintsFor(const QPalette& palette) {
    CompareTints tints;
    for (std::size_t i = 0; i < tints.size(); ++i)
        tints[i] = CompareTint(CompareMark(i), palette);
    return tints;
}

QIcon CompareRowIcon(int index, bool link, CompareMark mark) {
    if (mark == CompareMark::None)
        return link ? PaneLinkIcon(index) : PaneRowIcon(index);
    index = index < 0 || index > 10 ? 10 : index; // as PaneRowIcon reads it
    // One icon per row icon, link and mark, made once: a listing of 100 000 rows paints fast.
    static std::array<std::array<std::array<QIcon, 6>, 2>, 11> icons;
    QIcon& icon = icons[std::size_t(index)][link ? 1 : 0][IndexOf(mark)];
    if (icon.isNull())
        icon = QIcon(new MarkedIconEngine(link ? PaneLinkIcon(index) : PaneRowIcon(index), mark));
    return icon;
}

QString CompareDescription(CompareMark mark) {
    static constexpr int kFirstDescriptionId = 5814; // OnlyHere; the others follow in order
    if (mark == CompareMark::None)
        return {};
    return LookupString(kFirstDescriptionId + int(mark) - int(CompareMark::OnlyHere))
        .value_or(QString());
}

} // namespace tw::ui

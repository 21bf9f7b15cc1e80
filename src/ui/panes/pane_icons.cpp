#include "ui/panes/pane_icons.h"

#include "core/panes/file_helpers.h"

#include <QIconEngine>
#include <QPainter>
#include <QPainterPath>
#include <QSvgRenderer>

#include <algorithm>
#include <array>
#include <memory>

static void initPaneResources() {
    Q_INIT_RESOURCE(panes);
}

namespace tw::ui {

namespace {

// An icon drawn by paint() at whatever size and pixel ratio it is asked for.
class PaintedIconEngine : public QIconEngine {
public:
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        return scaledPixmap(size, mode, state, 1.0);
    }
    QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State state,
                         qreal scale) override {
        // Qt asks with the size in device pixels already.
        QPixmap out(size);
        out.fill(Qt::transparent);
        {
            QPainter painter(&out);
            paint(&painter, QRect(QPoint(), size), mode, state);
        }
        out.setDevicePixelRatio(scale);
        return out;
    }
};

// Draws an SVG, sharp at every size.
class SvgIconEngine : public PaintedIconEngine {
public:
    explicit SvgIconEngine(const QString& path) : m_path(path), m_renderer(path) {}
    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State) override {
        painter->save();
        if (mode == QIcon::Disabled)
            painter->setOpacity(0.45);
        QRectF target = rect;
        const QSizeF natural = m_renderer.defaultSize();
        if (natural.isValid()) {
            const QSizeF fitted = natural.scaled(rect.size(), Qt::KeepAspectRatio);
            target = QRectF(rect.x() + (rect.width() - fitted.width()) / 2,
                            rect.y() + (rect.height() - fitted.height()) / 2, fitted.width(),
                            fitted.height());
        }
        m_renderer.render(painter, target);
        painter->restore();
    }
    QIconEngine* clone() const override { return new SvgIconEngine(m_path); }
    QString key() const override { return QStringLiteral("tw-svg"); }

private:
    QString m_path;
    mutable QSvgRenderer m_renderer;
};

QIcon SvgIcon(const QString& path) {
    static const bool registered = [] {
        initPaneResources();
        return true;
    }();
    (void)registered;
    return QIcon(new SvgIconEngine(path)); // the icon owns its engine
}

} // namespace

QIcon PaneRowIcon(int index) {
    static const std::array<QIcon, 11> icons = [] {
        std::array<QIcon, 11> out;
        for (int i = 0; i < 11; ++i)
            out[std::size_t(i)] = SvgIcon(QStringLiteral(":/panes/%1.svg").arg(3000 + i));
        return out;
    }();
    if (index < 0 || index > 10)
        index = 10;
    return icons[std::size_t(index)];
}

namespace {

// A row icon with the link emblem (a small arrow in a box) in its lower left corner.
class LinkIconEngine : public PaintedIconEngine {
public:
    explicit LinkIconEngine(QIcon base) : m_base(std::move(base)) {}
    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode,
               QIcon::State state) override {
        m_base.paint(painter, rect, Qt::AlignCenter, mode, state);
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        const qreal side = std::max<qreal>(5, rect.height() * 0.55);
        const QRectF box(rect.left(), rect.bottom() + 1 - side, side, side);
        painter->setPen(QPen(QColor(0x40, 0x40, 0x40), std::max<qreal>(1, side / 8)));
        painter->setBrush(Qt::white);
        painter->drawRect(box.adjusted(0.5, 0.5, -0.5, -0.5));
        QPainterPath arrow;
        arrow.moveTo(box.left() + side * 0.25, box.bottom() - side * 0.2);
        arrow.quadTo(box.left() + side * 0.25, box.top() + side * 0.3, box.right() - side * 0.25,
                     box.top() + side * 0.3);
        painter->setBrush(Qt::NoBrush);
        painter->drawPath(arrow);
        const QPointF tip(box.right() - side * 0.2, box.top() + side * 0.3);
        painter->drawLine(tip, tip + QPointF(-side * 0.25, -side * 0.2));
        painter->drawLine(tip, tip + QPointF(-side * 0.25, side * 0.2));
        painter->restore();
    }
    QIconEngine* clone() const override { return new LinkIconEngine(m_base); }
    QString key() const override { return QStringLiteral("tw-link"); }

private:
    QIcon m_base;
};

} // namespace

QIcon PaneLinkIcon(int index) {
    static const std::array<QIcon, 11> icons = [] {
        std::array<QIcon, 11> out;
        for (int i = 0; i < 11; ++i)
            out[std::size_t(i)] = QIcon(new LinkIconEngine(PaneRowIcon(i)));
        return out;
    }();
    return icons[std::size_t(std::clamp(index, 0, 10))];
}

QIcon FolderIcon() {
    return PaneRowIcon(2);
}

QIcon GetFileTypeIcon(const QString& extension, QString* description) {
    const FileTypeInfo info = LookupFileType(extension);
    if (description)
        *description = info.description;
    QIcon icon;
    if (info.known) {
        icon = QIcon::fromTheme(info.iconName);
        if (icon.isNull())
            icon = QIcon::fromTheme(info.genericIconName);
    }
    if (icon.isNull())
        icon = QIcon::fromTheme(QStringLiteral("text-x-generic"));
    if (icon.isNull())
        icon = PaneRowIcon(10);
    return icon;
}

} // namespace tw::ui

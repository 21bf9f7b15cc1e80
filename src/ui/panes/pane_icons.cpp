#include "ui/panes/pane_icons.h"

#include "core/panes/file_helpers.h"

#include <QIconEngine>
#include <QPainter>
#include <QSvgRenderer>

#include <array>
#include <memory>

static void initPaneResources() {
    Q_INIT_RESOURCE(panes);
}

namespace tw::ui {

namespace {

// Draws an SVG at whatever size and pixel ratio the icon is asked for.
class SvgIconEngine : public QIconEngine {
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

#include "ui/dialogs/program_icons.h"

#include <QPainter>
#include <QSvgRenderer>

// The icons live in a static library: their resource object is only linked in when something
// refers to it, so it is registered here explicitly (once).
static void initDialogResources() {
    Q_INIT_RESOURCE(dialogs);
}

namespace tw::ui {

namespace {
void ensureResources() {
    static const bool done = [] {
        initDialogResources();
        return true;
    }();
    (void)done;
}
} // namespace

QString ProgramIconPath(int id) {
    ensureResources();
    switch (id) {
    case 1000:
        return QStringLiteral(":/icons/program.svg");
    case 1001:
        return QStringLiteral(":/icons/program-small.svg");
    case 1999:
        return QStringLiteral(":/icons/side-picture.svg");
    case 2107:
        return QStringLiteral(":/icons/browse.svg");
    case 2585:
        return QStringLiteral(":/icons/autostart.svg");
    case 2880:
        return QStringLiteral(":/icons/desktop.svg");
    case 5300:
        return QStringLiteral(":/icons/information.svg");
    case 5400:
        return QStringLiteral(":/icons/question.svg");
    case 5500:
        return QStringLiteral(":/icons/error.svg");
    default:
        return {};
    }
}

QPixmap ProgramIconPixmap(int id, const QSize& size, qreal devicePixelRatio) {
    const QString path = ProgramIconPath(id);
    if (path.isEmpty())
        return {};
    return SvgPixmap(path, size, devicePixelRatio);
}

QPixmap SvgPixmap(const QString& path, const QSize& size, qreal devicePixelRatio) {
    if (size.isEmpty())
        return {};
    // Drawn with the SVG renderer directly, so the pictures do not depend on the icon-engine
    // plug-in being installed.
    QSvgRenderer renderer(path);
    if (!renderer.isValid())
        return {};
    QPixmap pixmap(size * devicePixelRatio);
    pixmap.setDevicePixelRatio(devicePixelRatio);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    renderer.render(&painter, QRectF(QPointF(0, 0), QSizeF(size)));
    return pixmap;
}

QIcon ProgramIcon(int id) {
    if (ProgramIconPath(id).isEmpty())
        return {};
    QIcon icon;
    for (const int side : {16, 24, 32, 48, 64, 128, 256}) {
        const QPixmap pixmap = ProgramIconPixmap(id, QSize(side, side));
        if (!pixmap.isNull())
            icon.addPixmap(pixmap);
    }
    return icon;
}

} // namespace tw::ui

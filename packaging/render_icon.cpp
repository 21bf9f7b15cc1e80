// Renders an SVG picture into square PNG files, one per size: the hicolor icons of the
// installed program. Usage: tw_render_icon SOURCE.svg SIZE OUTPUT.png [SIZE OUTPUT.png ...]
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

#include <cstdio>

int main(int argc, char* argv[]) {
    QGuiApplication app(argc, argv);
    const QStringList args = QGuiApplication::arguments();
    if (args.size() < 4 || args.size() % 2 != 0) {
        std::fputs("usage: tw_render_icon SOURCE.svg SIZE OUTPUT.png [SIZE OUTPUT.png ...]\n",
                   stderr);
        return 2;
    }
    QSvgRenderer renderer(args.at(1));
    if (!renderer.isValid()) {
        std::fprintf(stderr, "tw_render_icon: %s is not a readable SVG picture\n",
                     qPrintable(args.at(1)));
        return 1;
    }
    for (qsizetype i = 2; i + 1 < args.size(); i += 2) {
        bool ok = false;
        const int size = args.at(i).toInt(&ok);
        if (!ok || size < 1 || size > 4096) {
            std::fprintf(stderr, "tw_render_icon: invalid size %s\n", qPrintable(args.at(i)));
            return 2;
        }
        QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        {
            QPainter painter(&image);
            painter.setRenderHint(QPainter::Antialiasing);
            painter.setRenderHint(QPainter::SmoothPixmapTransform);
            renderer.render(&painter, QRectF(0, 0, size, size));
        }
        if (!image.save(args.at(i + 1), "PNG")) {
            std::fprintf(stderr, "tw_render_icon: cannot write %s\n", qPrintable(args.at(i + 1)));
            return 1;
        }
    }
    return 0;
}

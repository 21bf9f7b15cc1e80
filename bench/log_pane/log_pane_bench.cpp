// Appends lines to the message log pane the way a long session does and prints how long it
// takes: one line per event-loop turn (each line laid out and painted), then a pane that
// already holds many lines receiving more.
//
//   QT_QPA_PLATFORM=offscreen bench_log_pane [lines]

#include "ui/log_pane.h"

#include <QApplication>
#include <QElapsedTimer>

#include <cstdio>

namespace {

double appendOneByOne(tw::ui::LogPane& pane, int lines) {
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < lines; ++i) {
        pane.appendLine(QStringLiteral("GET: /pub/folder/file%1.dat ...").arg(i));
        QCoreApplication::processEvents();
    }
    return double(timer.nsecsElapsed()) / 1e6;
}

} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    const int lines = argc > 1 ? std::atoi(argv[1]) : 100000;
    tw::ui::LogPane pane;
    pane.resize(800, 74);
    pane.show();

    const double firstMs = appendOneByOne(pane, lines);
    std::printf("%d lines, one per event-loop turn: %.0f ms (%.1f us per line)\n", lines, firstMs,
                firstMs * 1000.0 / lines);
    const double moreMs = appendOneByOne(pane, 1000);
    std::printf("1000 more lines with %d present: %.1f ms (%.1f us per line)\n", lines, moreMs,
                moreMs);
    QStringList batch;
    for (int i = 0; i < 1000; ++i)
        batch << QStringLiteral("batch line %1").arg(i);
    QElapsedTimer timer;
    timer.start();
    pane.appendLines(batch);
    QCoreApplication::processEvents();
    std::printf("a batch of 1000 lines: %.1f ms\n", double(timer.nsecsElapsed()) / 1e6);
    return pane.lineCount() == lines + 2000 ? 0 : 1;
}

#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QString>

namespace tw::ui {
class MainWindow;
}

namespace tw {

// Start-up observations for tests, the benchmark and the documentation, switched on by the
// environment only:
//   TARNWICK2000_TRACE=1       prints "shown" and "raise-request" lines on standard output;
//   TARNWICK2000_BENCH=1       prints "shown-ms <ms since main()>" and "rss-kib <resident KiB>"
//                              once the window is shown and painted, then ends the program;
//   TARNWICK2000_SCREENSHOT=f  saves a picture of the main window to f, then ends the program
//                              (TARNWICK2000_SCREENSHOT_SIZE=WxH sizes the window first).
class StartupProbe : public QObject {
    Q_OBJECT
public:
    explicit StartupProbe(QObject* parent = nullptr);

    void startClock() { m_clock.start(); }
    // The main window is shown: report, and end the program when a one-shot probe is on.
    void windowShown(ui::MainWindow* window);
    void raiseRequested();

    // Resident set size of this process in KiB (VmRSS), 0 when unknown.
    static long residentKiB();

private:
    void print(const QString& line);

    QElapsedTimer m_clock;
    bool m_trace = false;
    bool m_bench = false;
    QString m_screenshot;
};

} // namespace tw

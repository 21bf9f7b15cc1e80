#include "startup_probe.h"

#include "ui/main_window.h"

#include <QCoreApplication>
#include <QFile>
#include <QPixmap>
#include <QTimer>

#include <cstdio>

namespace tw {

StartupProbe::StartupProbe(QObject* parent)
    : QObject(parent), m_trace(qEnvironmentVariableIntValue("TARNWICK2000_TRACE") != 0),
      m_bench(qEnvironmentVariableIntValue("TARNWICK2000_BENCH") != 0),
      m_screenshot(qEnvironmentVariable("TARNWICK2000_SCREENSHOT")) {}

void StartupProbe::print(const QString& line) {
    std::fputs(qPrintable(line + QLatin1Char('\n')), stdout);
    std::fflush(stdout);
}

long StartupProbe::residentKiB() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    }
    return 0;
}

void StartupProbe::windowShown(ui::MainWindow* window) {
    if (m_trace) {
        print(QStringLiteral("shown"));
        // Where the help collection was found; "help none" without one.
        const QString help = window->globals().helpPath;
        print(QStringLiteral("help ") + (help.isEmpty() ? QStringLiteral("none") : help));
    }
    if (m_bench) {
        // After the first paint has been processed.
        QTimer::singleShot(0, this, [this] {
            print(QStringLiteral("shown-ms %1").arg(m_clock.elapsed()));
            print(QStringLiteral("rss-kib %1").arg(residentKiB()));
            QCoreApplication::exit(0);
        });
    }
    if (!m_screenshot.isEmpty()) {
        const QStringList size =
            qEnvironmentVariable("TARNWICK2000_SCREENSHOT_SIZE").split(QLatin1Char('x'));
        if (size.size() == 2)
            window->resize(size[0].toInt(), size[1].toInt());
        QTimer::singleShot(300, this, [this, window] {
            const bool saved = window->grab().save(m_screenshot);
            print(saved ? QStringLiteral("screenshot %1").arg(m_screenshot)
                        : QStringLiteral("screenshot failed"));
            QCoreApplication::exit(saved ? 0 : 1);
        });
    }
}

void StartupProbe::raiseRequested() {
    if (m_trace)
        print(QStringLiteral("raise-request"));
}

} // namespace tw

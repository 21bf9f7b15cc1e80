// Narrows a pane of many rows as the filter box does: the core's decision (FilterRows) and the
// list view hiding the rows (PaneView::showRows), for a plain text, a wildcard, a text that
// keeps almost every row and the filter cleared again. Prints the median of five runs each.
//
//   bench_row_filter [row count, default 100000]
//
// Run with QT_QPA_PLATFORM=offscreen when there is no display.

#include "core/panes/pane_state.h"
#include "core/panes/row_filter.h"
#include "ui/panes/pane_view.h"

#include <QApplication>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

double Ms(std::chrono::steady_clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

template <typename F>
double Median(F&& run) {
    std::vector<double> times;
    for (int i = 0; i < 5; ++i) {
        const auto start = std::chrono::steady_clock::now();
        run();
        times.push_back(Ms(std::chrono::steady_clock::now() - start));
    }
    std::sort(times.begin(), times.end());
    return times[2];
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const int count = argc > 1 ? std::atoi(argv[1]) : 100000;
    tw::PaneState pane;
    pane.entries.resize(std::size_t(count) + 1);
    pane.entries[0].name = QStringLiteral("..");
    pane.entries[0].isParent = true;
    for (int i = 1; i <= count; ++i)
        pane.entries[std::size_t(i)].name =
            QStringLiteral("file-%1.%2")
                .arg(i, 6, 10, QLatin1Char('0'))
                .arg(i % 3 ? QStringLiteral("txt") : QStringLiteral("log"));
    pane.hasListing = true;
    tw::ui::PaneView view(&pane);
    view.resize(600, 800);
    view.show();
    view.reload();
    QCoreApplication::processEvents();

    for (const char* text : {"12", "*.log", "file", ""}) {
        const QString filter = QString::fromLatin1(text);
        const double core = Median([&] { (void)tw::FilterRows(pane.entries, filter); });
        const tw::FilteredRows rows = tw::FilterRows(pane.entries, filter);
        // From every row shown to the filter's rows, as typing the first character does.
        std::vector<double> times;
        for (int i = 0; i < 5; ++i) {
            view.showRows({});
            QCoreApplication::processEvents();
            const auto start = std::chrono::steady_clock::now();
            view.showRows(filter.isEmpty() ? std::vector<std::uint8_t>{} : rows.visible);
            QCoreApplication::processEvents();
            times.push_back(Ms(std::chrono::steady_clock::now() - start));
        }
        std::sort(times.begin(), times.end());
        const double shown = times[2];
        std::printf("%-8s %6d rows kept  FilterRows %7.1f ms  view %7.1f "
                    "ms\n",
                    text[0] ? text : "(none)", rows.matched, core, shown);
    }
    return 0;
}

// Lists a folder of many files into the local pane, sorts it by every key and resets the list
// view's model; prints the median of five runs per key and the memory a row takes.
//
//   bench_panes [file count, default 100000] [folder to create it in, default /tmp]
//
// TW_BENCH_KEEP=1 keeps the folder afterwards.
//
// Run with QT_QPA_PLATFORM=offscreen when there is no display.

#include "core/panes/local_listing.h"
#include "core/panes/local_system.h"
#include "core/panes/pane_sort.h"
#include "core/state/app_state.h"
#include "core/text/messages.h"
#include "support/recording_port.h"
#include "ui/panes/pane_model.h"
#include "ui/panes/pane_view.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <malloc.h>
#include <unistd.h>
#include <vector>

namespace {

// Counts nothing but refreshes: the view is reset by the benchmark itself.
class QuietPort : public tw::test::RecordingPort {
public:
    void refreshPane(tw::PaneSide) override {}
};

class NoDrives : public tw::LocalSystem {
public:
    QStringList mountPoints() override { return {}; }
    int startProgram(const QString&, const QByteArray&) override { return 0; }
    bool showItemProperties(const QByteArray&) override { return false; }
};

double Ms(std::chrono::steady_clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

// CPU time of the process (user and system), which a busy machine does not inflate.
double CpuMs() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) * 1000.0 + double(ts.tv_nsec) / 1e6;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Bytes the heap holds for one QString's text (its block and the allocator's header).
std::size_t StringHeapBytes(QString& s) {
    QString::DataPointer& d = s.data_ptr();
    if (!d.d_ptr())
        return 0;
    return malloc_usable_size(d.d_ptr()) + sizeof(std::size_t);
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const int count = argc > 1 ? std::atoi(argv[1]) : 100000;
    const QString base = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QDir::tempPath();
    QTemporaryDir dir(base + QStringLiteral("/tw-panes-bench-XXXXXX"));
    if (!dir.isValid())
        return 1;
    dir.setAutoRemove(qEnvironmentVariableIsEmpty("TW_BENCH_KEEP"));

    std::printf("creating %d files in %s ...\n", count, qPrintable(dir.path()));
    const char* exts[] = {".txt", ".c", ".gz", ".png", ".html", ".dat", ".mp3", ".bin", ""};
    for (int i = 0; i < count; ++i) {
        const QByteArray name = QFile::encodeName(dir.path()) + "/file_" +
                                QByteArray::number((i * 7919) % count) + exts[i % 9];
        const int fd = ::open(name.constData(), O_CREAT | O_WRONLY, 0644);
        if (fd >= 0) {
            if (i % 3)
                (void)::ftruncate(fd, (i * 131) % 100000);
            ::close(fd);
        }
    }

    QuietPort port;
    NoDrives system;
    tw::AppState state;
    tw::AppGlobals globals;
    state.ColumnLabels = {QStringLiteral("File Name"), QStringLiteral("Date"),
                          QStringLiteral("Size")};
    state.local.path = dir.path();
    tw::Messages messages(port, state, globals);
    tw::ui::PaneView view(&state.local);
    view.resize(600, 800);
    view.show();
    app.processEvents();

    {
        // The parts: reading the folder, then sorting by name.
        const auto t0 = std::chrono::steady_clock::now();
        tw::LocalFolderRead read =
            tw::ReadLocalFolder(QFile::encodeName(dir.path()), QString(), QString(), {});
        const auto t1 = std::chrono::steady_clock::now();
        tw::SortEntries(read.rows, tw::SortKey::Name, {});
        const auto t2 = std::chrono::steady_clock::now();
        std::printf("read %.1f ms, sort by name %.1f ms\n", Ms(t1 - t0), Ms(t2 - t1));
    }
    const char* keyNames[] = {"Name", "Date", "Size", "Type"};
    std::printf("%-6s %10s %10s %10s %10s\n", "key", "list+sort", "reset", "total ms", "cpu ms");
    for (int key = 0; key < 4; ++key) {
        state.local.sortKey = tw::SortKey(key);
        std::vector<double> listing, reset, total, cpu;
        for (int run = 0; run < 5; ++run) {
            state.local.entries.clear();
            state.local.entries.shrink_to_fit();
            const double c0 = CpuMs();
            const auto t0 = std::chrono::steady_clock::now();
            tw::ListLocalDirectory(state, messages, system);
            const auto t1 = std::chrono::steady_clock::now();
            view.reload();
            app.processEvents(); // the view lays out and paints the first rows
            const auto t2 = std::chrono::steady_clock::now();
            listing.push_back(Ms(t1 - t0));
            reset.push_back(Ms(t2 - t1));
            total.push_back(Ms(t2 - t0));
            cpu.push_back(CpuMs() - c0);
        }
        std::printf("%-6s %10.1f %10.1f %10.1f %10.1f\n", keyNames[key], Median(listing),
                    Median(reset), Median(total), Median(cpu));
    }

    // Memory: the heap the listing holds, less the names' own blocks.
    state.local.entries.clear();
    state.local.entries.shrink_to_fit();
    view.reload();
    malloc_trim(0);
    const std::size_t before = mallinfo2().uordblks;
    tw::ListLocalDirectory(state, messages, system);
    malloc_trim(0);
    const std::size_t after = mallinfo2().uordblks;
    std::size_t names = 0;
    for (tw::FileEntry& e : state.local.entries)
        names += StringHeapBytes(e.name);
    const double rows = double(state.local.count());
    std::printf("rows %d, sizeof(FileEntry) %zu\n", state.local.count(), sizeof(tw::FileEntry));
    std::printf("heap per row %.1f bytes, names %.1f bytes, beyond the names %.1f bytes\n",
                double(after - before) / rows, double(names) / rows,
                double(after - before - names) / rows);
    return 0;
}

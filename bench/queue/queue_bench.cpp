// One copy on the transfer queue, timed: a remote folder (or one file) downloaded with N
// connections. run.sh runs it beside lftp; it prints "seconds files bytes" on stdout.
//
// Usage: bench_queue HOST PORT REMOTE LOCAL CONNECTIONS [--file] [--continue]
//   REMOTE  an absolute remote folder (a file with --file)
//   LOCAL   the local folder it becomes (the local file with --file)
//   --continue  a partial file beside LOCAL is resumed (REST from its size)

#include "queue/transfer_queue.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    if (argc < 6) {
        std::fprintf(stderr, "usage: bench_queue HOST PORT REMOTE LOCAL CONNECTIONS [--file] "
                             "[--continue]\n");
        return 2;
    }
    bool file = false;
    bool resume = false;
    for (int i = 6; i < argc; ++i) {
        file = file || std::strcmp(argv[i], "--file") == 0;
        resume = resume || std::strcmp(argv[i], "--continue") == 0;
    }
    tw::ftp::SessionOptions options;
    options.host = argv[1];
    options.port = std::atoi(argv[2]);
    options.timeoutMs = 30000;
    tw::queue::QueueSettings settings;
    settings.maxConnections = std::atoi(argv[5]);
    settings.copy.keepDates = true;
    settings.resumeChoice = [resume](const tw::queue::TransferItem&,
                                     const tw::queue::ResumeOffer& offer) {
        return offer.verified || resume ? tw::queue::ResumeChoice::Resume
                                        : tw::queue::ResumeChoice::StartOver;
    };
    tw::queue::TransferItem item;
    item.kind = file ? tw::queue::ItemKind::File : tw::queue::ItemKind::Tree;
    item.remotePath = argv[3];
    item.localPath = argv[4];

    const auto start = std::chrono::steady_clock::now();
    std::vector<tw::queue::TransferItem> rows;
    {
        tw::queue::TransferQueue queue(options, settings);
        queue.add({item});
        queue.waitIdle();
        rows = queue.snapshot();
    } // the connections closed, as a program that ends closes them
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::uint64_t bytes = 0;
    std::size_t files = 0;
    int failed = 0;
    for (const auto& row : rows) {
        if (row.kind != tw::queue::ItemKind::File)
            continue;
        if (row.state == tw::queue::ItemState::Done) {
            ++files;
            bytes += row.transferred;
        } else {
            ++failed;
            std::fprintf(stderr, "%s: %s\n", row.remotePath.c_str(), row.error.c_str());
        }
    }
    std::printf("%.3f %zu %llu\n", seconds, files, static_cast<unsigned long long>(bytes));
    return failed == 0 ? 0 : 1;
}

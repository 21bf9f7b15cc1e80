// What one file costs on the control connection: downloads and uploads a list of files over one
// session, the way a transfer queue does, so the server's log shows the commands of each file
// (bench/ftp/run_round_trips.sh prints them from pyftpdlib's log).
//
// Usage: bench_ftp_round_trips HOST PORT [--listed] NAME...
//   --listed  the sizes come from one listing first, as a queue has them (no SIZE per file)

#include "ftp/dir_entry.h"
#include "ftp/ftp_session.h"

#include <chrono>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

using tw::ftp::DirEntry;
using tw::ftp::FtpSession;

namespace {

bool download(FtpSession& s, const std::string& name, const FtpSession::OpenOptions& options,
              std::string& data) {
    data.clear();
    if (!s.openFile(name, FtpSession::OpenMode::Read, options))
        return false;
    std::string block(256 * 1024, '\0');
    std::size_t n = 0;
    while (s.readFile(block.data(), block.size(), n) && n > 0)
        data.append(block.data(), n);
    return s.closeFile();
}

bool upload(FtpSession& s, const std::string& name, const std::string& data) {
    if (!s.openFile(name, FtpSession::OpenMode::Write))
        return false;
    std::size_t n = 0;
    const bool wrote = s.writeFile(data.data(), data.size(), n);
    return s.closeFile() && wrote;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: %s HOST PORT [--listed] NAME...\n", argv[0]);
        return 2;
    }
    tw::ftp::SessionOptions o;
    o.host = argv[1];
    o.port = std::stoi(argv[2]);
    int first = 3;
    const bool listed = std::string(argv[3]) == "--listed";
    first += listed ? 1 : 0;
    FtpSession s;
    if (!s.connect(o)) {
        std::fprintf(stderr, "connect: %d %s\n", s.lastError(), s.lastResponse().c_str());
        return 1;
    }
    std::map<std::string, std::uint64_t> sizes;
    if (listed) {
        DirEntry e;
        for (bool ok = s.findFirstFile("*", e); ok; ok = s.findNextFile(e))
            sizes[e.name] = e.size;
    }
    s.sendCommand("NOOP", *std::make_unique<tw::ftp::FtpReply>()); // marks the start in the log
    const auto start = std::chrono::steady_clock::now();
    int failed = 0;
    for (int i = first; i < argc; ++i) {
        const std::string name = argv[i];
        FtpSession::OpenOptions options;
        if (const auto it = sizes.find(name); it != sizes.end())
            options.knownSize = it->second;
        std::string data;
        if (!download(s, name, options, data) || !upload(s, "up-" + name, data)) {
            std::fprintf(stderr, "%s: %d %s\n", name.c_str(), s.lastError(),
                         s.lastResponse().c_str());
            ++failed;
        }
    }
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                        std::chrono::steady_clock::now() - start)
                        .count();
    std::printf("%d files down and up in %lld ms\n", argc - first, static_cast<long long>(ms));
    s.close();
    return failed == 0 ? 0 : 1;
}

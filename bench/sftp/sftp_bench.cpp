// Uploads a local file over SFTP and downloads it again, timing both ways through the
// engine's descriptor calls (what the queue uses).
//   bench_sftp_transfer HOST PORT USER KEY LOCAL_FILE REMOTE_PATH
// The host key is accepted as it is (a benchmark's own server).
#include "ftp/ftp_error.h"
#include "sftp/sftp_session.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <unistd.h>

namespace {

using tw::ftp::RemoteSession;

double seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

int failed(const tw::sftp::SftpSession& s, const char* what) {
    std::fprintf(stderr, "%s: %d %s\n", what, s.lastError(), s.lastResponse().c_str());
    return 1;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 7) {
        std::fprintf(stderr, "usage: %s HOST PORT USER KEY LOCAL_FILE REMOTE_PATH\n", argv[0]);
        return 2;
    }
    tw::ftp::SessionOptions o;
    o.protocol = tw::ftp::Protocol::Sftp;
    o.host = argv[1];
    o.port = std::atoi(argv[2]);
    o.user = argv[3];
    o.ssh.identityFile = argv[4];
    o.ssh.configFile = "none";
    o.ssh.useAgent = false;
    o.ssh.knownHostsFile = "/dev/null";
    o.ssh.acceptNewHostKey = true;
    const std::string local = argv[5];
    const std::string remote = argv[6];
    tw::sftp::SftpSession s;
    if (!s.connect(o))
        return failed(s, "connect");
    constexpr std::size_t kChunk = 256 * 1024;

    const int in = ::open(local.c_str(), O_RDONLY);
    if (in < 0)
        return 1;
    auto start = std::chrono::steady_clock::now();
    if (!s.openFile(remote, RemoteSession::OpenMode::Write))
        return failed(s, "open for upload");
    std::uint64_t up = 0;
    for (std::size_t n = 0; s.writeFileFrom(in, kChunk, n) && n > 0;)
        up += n;
    if (!s.closeFile())
        return failed(s, "upload");
    const double upSeconds = seconds(start);
    ::close(in);

    const std::string copy = local + ".down";
    const int out = ::open(copy.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    start = std::chrono::steady_clock::now();
    if (!s.openFile(remote, RemoteSession::OpenMode::Read))
        return failed(s, "open for download");
    std::uint64_t down = 0;
    std::size_t n = 0;
    while (s.readFileTo(out, kChunk, n) && n > 0)
        down += n;
    if (s.lastError() != tw::ftp::kErrNone)
        return failed(s, "download");
    s.closeFile();
    const double downSeconds = seconds(start);
    ::close(out);
    std::printf("upload   %llu bytes in %.2f s: %.1f MiB/s\n", static_cast<unsigned long long>(up),
                upSeconds, double(up) / upSeconds / 1048576.0);
    std::printf("download %llu bytes in %.2f s: %.1f MiB/s\n",
                static_cast<unsigned long long>(down), downSeconds,
                double(down) / downSeconds / 1048576.0);
    s.close();
    return up == down ? 0 : 1;
}

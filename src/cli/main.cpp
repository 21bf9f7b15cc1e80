#include "cli/cli_runner.h"
#include "cli/command_line.h"

#include "ftp/display_text.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

// Ctrl+C (SIGINT) and SIGTERM. The handler only does what is safe in a signal handler: it
// notes the time of the first signal in an atomic and writes one byte to a pipe; a watcher
// thread reads the pipe and stops the runner (which takes locks). Signals that follow within
// a second are the same request (a burst of key repeats); one that comes later, while the
// stop still has not ended the program, ends it at once: partial files stay and --continue
// resumes them.
constexpr std::int64_t kSecondInterruptMs = 1000;
constexpr char kWakeInterrupt = 1;
constexpr char kWakeQuit = 0;

std::atomic<int> g_wakeWrite{-1};
std::atomic<std::int64_t> g_firstInterruptMs{0};
static_assert(std::atomic<std::int64_t>::is_always_lock_free);
static_assert(std::atomic<int>::is_always_lock_free);

std::int64_t monotonicMs() {
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return std::int64_t(now.tv_sec) * 1000 + now.tv_nsec / 1000000 + 1; // never 0
}

extern "C" void onInterrupt(int) {
    const int savedErrno = errno;
    const std::int64_t now = monotonicMs();
    std::int64_t first = 0;
    if (g_firstInterruptMs.compare_exchange_strong(first, now)) {
        [[maybe_unused]] const ssize_t n = ::write(g_wakeWrite.load(), &kWakeInterrupt, 1);
    } else if (now - first >= kSecondInterruptMs) {
        ::_exit(tw::cli::kExitInterrupted);
    }
    errno = savedErrno;
}

// Reads the signal pipe on a thread of its own (with the signals blocked there) and stops
// the runner when a signal came.
class InterruptWatcher {
public:
    explicit InterruptWatcher(tw::cli::CliRunner& runner) {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0)
            return;
        m_read = fds[0];
        m_write = fds[1];
        g_wakeWrite = m_write;
        sigset_t blocked, old;
        sigemptyset(&blocked);
        sigaddset(&blocked, SIGINT);
        sigaddset(&blocked, SIGTERM);
        ::pthread_sigmask(SIG_BLOCK, &blocked, &old);
        m_thread = std::thread([this, &runner] {
            char byte = kWakeQuit;
            for (;;) {
                const ssize_t n = ::read(m_read, &byte, 1);
                if (n < 0 && errno == EINTR)
                    continue;
                if (n != 1 || byte == kWakeQuit)
                    return;
                runner.abort();
            }
        });
        ::pthread_sigmask(SIG_SETMASK, &old, nullptr);
        struct sigaction sa {};
        sa.sa_handler = onInterrupt;
        sigemptyset(&sa.sa_mask);
        sigaction(SIGINT, &sa, nullptr);
        sigaction(SIGTERM, &sa, nullptr);
    }
    ~InterruptWatcher() {
        if (!m_thread.joinable())
            return;
        // The handler stays: the rest of a burst that stopped the run must not kill the
        // program on its way out. It writes nowhere from now on.
        g_wakeWrite = -1;
        [[maybe_unused]] const ssize_t n = ::write(m_write, &kWakeQuit, 1);
        m_thread.join();
        ::close(m_read);
        ::close(m_write);
    }
    InterruptWatcher(const InterruptWatcher&) = delete;
    InterruptWatcher& operator=(const InterruptWatcher&) = delete;

    bool interrupted() const { return g_firstInterruptMs.load() != 0; }

private:
    int m_read = -1;
    int m_write = -1;
    std::thread m_thread;
};

} // namespace

int main(int argc, char** argv) {
    std::signal(SIGPIPE, SIG_IGN);
    std::vector<std::string> args(argv + 1, argv + argc);
    tw::cli::CommandLine commandLine;
    std::string error;
    if (!tw::cli::ParseCommandLine(args, commandLine, error)) {
        std::fprintf(stderr, "tarnwick-ftp: %s\nTry 'tarnwick-ftp --help'.\n",
                     tw::ftp::DisplayText(error).c_str());
        return tw::cli::kExitUsage;
    }
    if (commandLine.help) {
        std::fputs(tw::cli::UsageText().c_str(), stdout);
        return 0;
    }
    if (commandLine.version) {
        std::printf("tarnwick-ftp %s\n", TW_VERSION);
        return 0;
    }
    tw::cli::CliRunner runner(commandLine);
    int rc = 0;
    bool interrupted = false;
    {
        InterruptWatcher watcher(runner);
        rc = runner.run();
        interrupted = watcher.interrupted();
    }
    return interrupted && rc != 0 ? tw::cli::kExitInterrupted : rc;
}

#include "real_desktop.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

namespace tw::test {

namespace {

// The program's full path from PATH and the usual places; empty when it is not installed.
std::string findProgram(std::string_view name) {
    std::string path = std::getenv("PATH") ? std::getenv("PATH") : "";
    path += ":/usr/bin:/bin:/usr/local/bin";
    std::size_t start = 0;
    while (start <= path.size()) {
        const std::size_t end = std::min(path.find(':', start), path.size());
        const std::string candidate = path.substr(start, end - start) + '/' + std::string(name);
        if (end > start && ::access(candidate.c_str(), X_OK) == 0)
            return candidate;
        start = end + 1;
    }
    return {};
}

// Starts `argv` with standard input and output on /dev/null and `keep` left open.
pid_t spawn(const std::vector<std::string>& argv, int keep = -1) {
    const pid_t pid = ::fork();
    if (pid != 0)
        return pid;
    ::setpgid(0, 0);
    const int null = ::open("/dev/null", O_RDWR);
    ::dup2(null, STDIN_FILENO);
    ::dup2(null, STDOUT_FILENO);
    ::dup2(null, STDERR_FILENO);
    for (int fd = 3; fd < 256; ++fd)
        if (fd != keep)
            ::close(fd);
    std::vector<char*> args;
    for (const std::string& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    ::execv(args[0], args.data());
    ::_exit(127);
}

void stop(pid_t& pid) {
    if (pid <= 0)
        return;
    ::kill(-pid, SIGTERM);
    for (int i = 0; i < 100; ++i) {
        if (::waitpid(pid, nullptr, WNOHANG) == pid) {
            pid = -1;
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ::kill(-pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
    pid = -1;
}

// The standard output of a shell command.
std::string output(const std::string& command) {
    std::string answer;
    if (FILE* out = ::popen(command.c_str(), "r")) {
        char buffer[256];
        while (std::fgets(buffer, sizeof buffer, out))
            answer += buffer;
        ::pclose(out);
    }
    return answer;
}

} // namespace

bool RealDesktop::HasFrame(unsigned long id) {
    static const std::string xprop = findProgram("xprop");
    const std::string answer =
        output(xprop + " -id " + std::to_string(id) + " _NET_FRAME_EXTENTS 2>/dev/null");
    // "_NET_FRAME_EXTENTS(CARDINAL) = left, right, top, bottom"
    const std::size_t equals = answer.find(" = ");
    if (xprop.empty() || equals == std::string::npos)
        return false;
    int left = 0, right = 0, top = 0, bottom = 0;
    return std::sscanf(answer.c_str() + equals + 3, "%d, %d, %d, %d", &left, &right, &top,
                       &bottom) == 4 &&
           top > 0;
}

std::unique_ptr<RealDesktop> RealDesktop::start(std::string& why) {
    const std::string xvfb = findProgram("Xvfb");
    const std::string openbox = findProgram("openbox");
    if (xvfb.empty() || openbox.empty()) {
        why = "Xvfb and openbox are needed for window-manager tests (scripts/deps.sh test)";
        return nullptr;
    }
    int fds[2];
    if (::pipe(fds) != 0) {
        why = "no pipe for Xvfb's display number";
        return nullptr;
    }
    std::unique_ptr<RealDesktop> desktop(new RealDesktop);
    // -displayfd: the server picks a free display and writes its number once it accepts
    // clients.
    desktop->m_server = spawn({xvfb, "-displayfd", std::to_string(fds[1]), "-screen", "0",
                               "1280x1024x24", "-nolisten", "tcp"},
                              fds[1]);
    ::close(fds[1]);
    std::string number;
    pollfd ready{fds[0], POLLIN, 0};
    while (::poll(&ready, 1, 10000) > 0) {
        char c = 0;
        if (::read(fds[0], &c, 1) != 1 || c == '\n')
            break;
        number += c;
    }
    ::close(fds[0]);
    if (number.empty()) {
        why = "Xvfb did not start";
        return nullptr;
    }
    desktop->m_display = ':' + number;
    ::setenv("DISPLAY", desktop->m_display.c_str(), 1);
    desktop->m_windowManager = spawn({openbox, "--sm-disable"});
    // A window mapped before the window manager runs keeps no frame: wait until it announces
    // itself on the root window.
    const std::string xprop = findProgram("xprop");
    const std::string query = xprop + " -root _NET_SUPPORTING_WM_CHECK 2>/dev/null";
    for (int i = 0; i < 200; ++i) {
        if (xprop.empty()) {
            std::this_thread::sleep_for(std::chrono::seconds(1));
            break;
        }
        if (output(query).find("window id") != std::string::npos)
            return desktop;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    if (!xprop.empty()) {
        why = "openbox did not start on " + desktop->m_display;
        return nullptr;
    }
    return desktop;
}

RealDesktop::~RealDesktop() {
    stop(m_windowManager);
    stop(m_server);
}

} // namespace tw::test

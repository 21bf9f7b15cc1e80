#include "cli/cli_runner.h"
#include "cli/command_line.h"

#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

namespace {

tw::cli::CliRunner* g_runner = nullptr;

extern "C" void onInterrupt(int) {
    if (g_runner)
        g_runner->abort(); // an atomic flag and a pipe write: safe in a signal handler
}

} // namespace

int main(int argc, char** argv) {
    std::signal(SIGPIPE, SIG_IGN);
    std::vector<std::string> args(argv + 1, argv + argc);
    tw::cli::CommandLine commandLine;
    std::string error;
    if (!tw::cli::ParseCommandLine(args, commandLine, error)) {
        std::fprintf(stderr, "tarnwick-ftp: %s\nTry 'tarnwick-ftp --help'.\n", error.c_str());
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
    g_runner = &runner;
    struct sigaction sa {};
    sa.sa_handler = onInterrupt;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
    const int rc = runner.run();
    g_runner = nullptr;
    return rc;
}

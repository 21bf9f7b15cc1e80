// libFuzzer target: tarnwick-ftp's command line and URLs. The input is split at NUL bytes into
// arguments; each argument is also parsed as a URL, and what a URL gives must hold.
#include "cli/command_line.h"
#include "cli/ftp_url.h"
#include "ftp/display_text.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    std::vector<std::string> args;
    std::size_t start = 0;
    while (start <= input.size()) {
        auto end = input.find('\0', start);
        if (end == std::string_view::npos)
            end = input.size();
        args.emplace_back(input.substr(start, end - start));
        start = end + 1;
    }
    tw::cli::CommandLine commandLine;
    std::string error;
    if (tw::cli::ParseCommandLine(args, commandLine, error)) {
        if (commandLine.parallel < 1 || commandLine.parallel > 10 || commandLine.blockSize < 1 ||
            commandLine.timeoutSeconds < 1)
            std::abort();
        tw::ftp::TlsMode mode{};
        tw::cli::ResolveTlsMode(commandLine, std::nullopt, mode, error);
    }
    (void)tw::ftp::DisplayText(error);
    for (const std::string& arg : args) {
        tw::cli::FtpUrl url;
        if (!tw::cli::ParseFtpUrl(arg, url, error))
            continue;
        if (url.port < 1 || url.port > 65535 || url.host.empty())
            std::abort();
        const int port = tw::cli::ConnectPort(url, url.tls.value_or(tw::ftp::TlsMode::Plain));
        if (port < 1 || port > 65535)
            std::abort();
    }
    return 0;
}

#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace tw::cli {

// The parsed command line of tarnwick-ftp.
struct CommandLine {
    std::string command; // ls get put mkdir rmdir rm mv pwd
    std::vector<std::string> arguments;
    bool active = false;
    bool json = false;
    bool help = false;
    bool version = false;
    std::size_t blockSize = 4096;
    int timeoutSeconds = 30;
};

// False with a message for a usage error.
bool ParseCommandLine(const std::vector<std::string>& args, CommandLine& out, std::string& error);

// The --help text.
std::string UsageText();

} // namespace tw::cli

#pragma once

#include "cli/command_line.h"
#include "cli/ftp_url.h"
#include "ftp/ftp_session.h"

#include <cstdio>
#include <string>

namespace tw::cli {

// Runs one tarnwick-ftp command over an FtpSession and returns the exit status:
// the kExit* values of command_line.h (the reason on stderr).
class CliRunner {
public:
    explicit CliRunner(const CommandLine& commandLine);
    int run();
    // Cancels the transfer in progress (safe from a signal handler).
    void abort() { m_session.abort(); }

private:
    int connect(const FtpUrl& url);
    int list(const FtpUrl& url);
    int get(const FtpUrl& url);
    int put(const FtpUrl& url);
    int rename(const FtpUrl& url);
    int printDirectory(const FtpUrl& url);
    int ftpFailure(const std::string& what);
    int usage(const std::string& message);
    void progress(const std::string& name, std::uint64_t done, std::uint64_t total, bool last);

    CommandLine m_commandLine;
    tw::ftp::FtpSession m_session;
    bool m_showProgress = false;
    std::int64_t m_startMs = 0;
    std::int64_t m_lastProgressMs = 0;
};

} // namespace tw::cli

#pragma once

#include "cli/command_line.h"
#include "ftp/ftp_url.h"
#include "ftp/remote_session.h"

#include <atomic>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>

namespace tw::cli {

using ftp::ConnectPort;
using ftp::FtpUrl;
using ftp::HasFtpScheme;
using ftp::ParseFtpUrl;

// Runs one tarnwick-ftp command over a RemoteSession (FTP or SFTP, by the URL) and returns the exit
// status: the kExit* values of command_line.h (the reason on stderr).
class CliRunner {
public:
    explicit CliRunner(const CommandLine& commandLine);
    int run();
    // Stops the command: cancels the session's call in progress, or the queue's transfers.
    // Called from another thread (it takes a lock: never from a signal handler).
    void abort();

private:
    int connect(const FtpUrl& url);
    int connectSftp(const FtpUrl& url);
    int list(const FtpUrl& url);
    int get(const FtpUrl& url);
    int put(const FtpUrl& url);
    // get and put of files and folders through the transfer queue (cli_transfers.cpp).
    int transfer(const FtpUrl& url);
    // mirror: both trees listed, compared and planned, the plan's copies run on the transfer
    // queue and its deletes after them (cli_mirror.cpp).
    int mirror(const FtpUrl& url);
    // The argument that holds the URL the connection goes to.
    std::size_t urlArgument() const;
    // A single download to standard output or a device, or a single upload from a pipe or a
    // device: these go straight through the session, without partial files.
    bool singleSpecialGet() const;
    bool singleSpecialPut() const;
    int rename(const FtpUrl& url);
    int printDirectory(const FtpUrl& url);
    int ftpFailure(const std::string& what);
    int usage(const std::string& message);
    void progress(const std::string& name, std::uint64_t done, std::uint64_t total, bool last);

    CommandLine m_commandLine;
    std::unique_ptr<tw::ftp::RemoteSession> m_session;
    tw::ftp::SessionOptions m_options;        // as connected, for the queue's own connections
    std::mutex m_liveMutex;                   // guards m_live against its hand-over
    tw::ftp::RemoteSession* m_live = nullptr; // what abort() reaches
    std::atomic<bool> m_interrupted{false};
    bool m_showProgress = false;
    std::int64_t m_startMs = 0;
    std::int64_t m_lastProgressMs = 0;
};

} // namespace tw::cli

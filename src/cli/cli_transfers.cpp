// get and put through the transfer queue: files and folders, several sources, parallel
// connections, resume, retries, and a one-line progress display on a terminal.

#include "cli/cli_runner.h"
#include "cli/queue_reporter.h"

#include "ftp/display_text.h"
#include "ftp/ftp_error.h"
#include "ftp/name_safety.h"
#include "queue/queue_paths.h"
#include "queue/transfer_queue.h"

#include <chrono>
#include <cstring>
#include <map>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

namespace tw::cli {

namespace {

using tw::queue::Direction;
using tw::queue::ItemKind;
using tw::queue::ItemState;
using tw::queue::TransferItem;

bool isFolder(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

} // namespace

std::size_t CliRunner::urlArgument() const {
    const CommandLine& c = m_commandLine;
    if (c.command == "put")
        return c.arguments.size() - 1;
    if (c.command == "mirror" && c.reverse)
        return 1;
    return 0;
}

bool CliRunner::singleSpecialGet() const {
    const auto& a = m_commandLine.arguments;
    if (m_commandLine.recursive || a.size() != 2 || HasFtpScheme(a[1]))
        return false;
    struct stat st {};
    return a[1] == "-" ||
           (::stat(a[1].c_str(), &st) == 0 && !S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode));
}

bool CliRunner::singleSpecialPut() const {
    const auto& a = m_commandLine.arguments;
    struct stat st {};
    return !m_commandLine.recursive && a.size() == 2 && ::stat(a[0].c_str(), &st) == 0 &&
           !S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode);
}

int CliRunner::transfer(const FtpUrl& url) {
    const CommandLine& c = m_commandLine;
    std::string base;
    if (!m_session->getCurrentDirectory(base))
        return ftpFailure("pwd");
    // The queue's connections do not keep a directory: every remote path is made absolute.
    const auto absolute = [&](const std::string& path) {
        return path.empty() ? base : path[0] == '/' ? path : tw::queue::JoinPath(base, path);
    };
    std::vector<TransferItem> items;
    const auto add = [&](Direction direction, ItemKind kind, std::string remote,
                         std::string local) {
        TransferItem item;
        item.direction = direction;
        item.kind = kind;
        item.remotePath = std::move(remote);
        item.localPath = std::move(local);
        items.push_back(std::move(item));
    };

    if (c.command == "get") {
        std::vector<std::string> sources = c.arguments;
        std::string destination;
        if (sources.size() > 1 && !HasFtpScheme(sources.back())) {
            destination = sources.back();
            sources.pop_back();
        }
        const bool into = sources.size() > 1 || (!destination.empty() && isFolder(destination));
        if (sources.size() > 1 && !destination.empty() && !isFolder(destination))
            return usage(destination + " must be a folder when several files are given");
        for (const std::string& text : sources) {
            FtpUrl source;
            std::string error;
            if (!ParseFtpUrl(text, source, error))
                return usage(text + ": " + error);
            if (source.protocol != url.protocol || source.host != url.host ||
                source.port != url.port || source.user != url.user)
                return usage(text + ": every URL must name the same server and login");
            if (!tw::ftp::IsSendableArgument(source.path))
                return usage(text + ": the path contains a line break or NUL");
            const std::string remote = absolute(source.path);
            const std::string name = tw::queue::BaseName(remote);
            const bool folder = c.recursive && m_session->setCurrentDirectory(remote);
            if (c.recursive && !folder && !m_session->isConnected())
                return ftpFailure("get " + source.path);
            std::string local = destination;
            if (destination.empty() || into) {
                if (!tw::ftp::IsSafeLocalName(name)) {
                    std::fprintf(stderr,
                                 "tarnwick-ftp: the remote name is not usable as a local file "
                                 "name; give a local name\n");
                    return kExitFailure;
                }
                local = destination.empty() ? name : tw::queue::JoinPath(destination, name);
            }
            add(Direction::Download, folder ? ItemKind::Tree : ItemKind::File, remote, local);
        }
    } else { // put
        const std::vector<std::string> sources(c.arguments.begin(), c.arguments.end() - 1);
        const std::string target = absolute(url.path);
        const bool into = sources.size() > 1 || url.trailingSlash || url.path.empty();
        for (const std::string& local : sources) {
            struct stat st {};
            if (::stat(local.c_str(), &st) != 0) {
                std::fprintf(stderr, "tarnwick-ftp: cannot open %s: %s\n",
                             tw::ftp::DisplayText(local).c_str(), std::strerror(errno));
                return kExitFailure;
            }
            const bool folder = S_ISDIR(st.st_mode);
            if (folder && !c.recursive)
                return usage(local + " is a folder (use put -r)");
            const std::string name = tw::queue::BaseName(local);
            if (into && (name.empty() || name == "." || name == ".."))
                return usage(local + ": give a remote name for it");
            add(Direction::Upload, folder ? ItemKind::Tree : ItemKind::File,
                into ? tw::queue::JoinPath(target, name) : target, local);
        }
    }

    tw::queue::QueueSettings settings;
    settings.maxConnections = c.parallel;
    settings.copy.keepDates = true;
    if (c.blockSizeGiven)
        settings.copy.chunkBytes = c.blockSize;
    settings.copy.probeRemotePartials = c.resume;
    settings.copy.acceptUnconfirmedTlsEnd = c.allowTruncatedTls;
    settings.resumeChoice = [resume = c.resume](const TransferItem&,
                                                const tw::queue::ResumeOffer& offer) {
        return offer.verified || resume ? tw::queue::ResumeChoice::Resume
                                        : tw::queue::ResumeChoice::StartOver;
    };
    QueueReporter reporter(m_showProgress);
    tw::queue::QueueTotals totals;
    bool interrupted = false;
    {
        tw::queue::TransferQueue queue(m_options, settings, &reporter);
        // The connection made to look around is the queue's first.
        {
            std::lock_guard lock(m_liveMutex);
            m_live = nullptr;
        }
        queue.adoptSession(std::move(m_session));
        queue.add(std::move(items));
        while (!queue.waitIdle(std::chrono::milliseconds(100)))
            if (m_interrupted && !interrupted) {
                interrupted = true;
                queue.stop();
            }
        reporter.finish();
        totals = queue.totals();
    }
    if (interrupted) {
        std::fputs("tarnwick-ftp: stopped; run again with --continue to resume\n", stderr);
        return kExitInterrupted;
    }
    if (totals.failed > 0) {
        std::fprintf(stderr, "tarnwick-ftp: %zu of the transfers failed\n", totals.failed);
        return kExitFailure;
    }
    return kExitOk;
}

} // namespace tw::cli

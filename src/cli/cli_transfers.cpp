// get, put and mirror through the transfer queue: files and folders, several sources, parallel
// connections, resume, retries, and a one-line progress display on a terminal.

#include "cli/cli_runner.h"
#include "cli/size_text.h"

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

const std::string& sourceOf(const TransferItem& item) {
    return item.direction == Direction::Download ? item.remotePath : item.localPath;
}

bool isFolder(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// What the queue tells, on standard error: failures and skipped entries as they happen, the
// queue's notices, and on a terminal one line of progress.
class Reporter : public tw::queue::QueueObserver {
public:
    explicit Reporter(bool progress) : m_progress(progress) {}

    void rowsAdded(const std::vector<TransferItem>& rows) override { take(rows); }
    void rowsChanged(const std::vector<TransferItem>& rows) override { take(rows); }
    void rowsInserted(std::int64_t replaced, const std::vector<TransferItem>& rows) override {
        {
            std::lock_guard lock(m_mutex);
            forget(replaced);
        }
        take(rows);
    }
    void notice(const std::string& line) override {
        std::lock_guard lock(m_mutex);
        say(line);
    }
    // The last progress line, ended.
    void finish() {
        std::lock_guard lock(m_mutex);
        if (m_progress && m_drawn) {
            draw(true);
            std::fputs("\n", stderr);
        }
    }

private:
    struct Row {
        ItemKind kind = ItemKind::File;
        ItemState state = ItemState::Queued;
        std::uint64_t size = 0;
        std::uint64_t transferred = 0;
    };

    void take(const std::vector<TransferItem>& rows) {
        std::lock_guard lock(m_mutex);
        for (const TransferItem& item : rows) {
            const auto old = m_rows.find(item.id);
            const bool told = old != m_rows.end() && old->second.state == item.state;
            if (old != m_rows.end())
                forget(item.id);
            Row row{item.kind, item.state, item.size, item.transferred};
            m_rows[item.id] = row;
            count(row, +1);
            if (!told && item.state == ItemState::Failed)
                say(sourceOf(item) + ": " + item.error +
                    (item.errorCode != 0 ? " (error " + std::to_string(item.errorCode) + ")"
                                         : std::string()) +
                    (item.errorCode == tw::ftp::kErrTlsEndUnconfirmed
                         ? "; --allow-truncated-tls keeps such a download"
                         : ""));
            else if (!told && item.state == ItemState::Skipped)
                say("skipped " + sourceOf(item) + ": " + item.error);
            if (item.state == ItemState::Running && item.kind == ItemKind::File)
                m_current = tw::queue::BaseName(sourceOf(item));
        }
        if (m_progress)
            draw(false);
    }
    void forget(std::int64_t id) {
        const auto f = m_rows.find(id);
        if (f == m_rows.end())
            return;
        count(f->second, -1);
        m_rows.erase(f);
    }
    void count(const Row& row, int sign) {
        if (row.kind != ItemKind::File || row.state == ItemState::Skipped)
            return;
        const auto add = [sign](auto& total, auto value) {
            total = sign > 0 ? total + value : total - value;
        };
        add(m_files, std::uint64_t(1));
        add(m_filesDone, std::uint64_t(row.state == ItemState::Done ? 1 : 0));
        add(m_bytes, row.transferred);
        add(m_bytesTotal, std::max(row.size, row.transferred));
    }
    void say(const std::string& line) {
        // Paths and errors come from the server: one line each, controls as escapes.
        std::fprintf(stderr, "%starnwick-ftp: %s\n", m_drawn ? "\r\033[K" : "",
                     tw::ftp::DisplayText(line).c_str());
        m_drawn = false;
    }
    void draw(bool last) {
        const auto now = std::chrono::steady_clock::now();
        if (!last && m_drawn && now - m_lastDraw < std::chrono::milliseconds(200))
            return;
        m_lastDraw = now;
        const double seconds = std::chrono::duration<double>(now - m_start).count();
        const auto rate = seconds > 0 ? std::uint64_t(double(m_bytes) / seconds) : 0;
        std::string line = "\r\033[K" + std::to_string(m_filesDone) + "/" +
                           std::to_string(m_files) + " files, " + HumanSize(m_bytes) + " of " +
                           HumanSize(m_bytesTotal) + ", " + HumanSize(rate) + "/s";
        if (!last && !m_current.empty())
            line += "  " + tw::ftp::DisplayText(m_current);
        std::fputs(line.c_str(), stderr);
        m_drawn = true;
    }

    const bool m_progress;
    std::mutex m_mutex;
    std::map<std::int64_t, Row> m_rows;
    std::uint64_t m_files = 0;
    std::uint64_t m_filesDone = 0;
    std::uint64_t m_bytes = 0;
    std::uint64_t m_bytesTotal = 0;
    std::string m_current;
    bool m_drawn = false;
    const std::chrono::steady_clock::time_point m_start = std::chrono::steady_clock::now();
    std::chrono::steady_clock::time_point m_lastDraw{};
};

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

    if (c.command == "mirror") {
        const std::string remote = absolute(url.path);
        if (c.reverse) {
            if (!isFolder(c.arguments[0]))
                return usage(c.arguments[0] + " is not a folder");
            add(Direction::Upload, ItemKind::Tree, remote, c.arguments[0]);
        } else {
            add(Direction::Download, ItemKind::Tree, remote, c.arguments[1]);
        }
    } else if (c.command == "get") {
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
    Reporter reporter(m_showProgress);
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

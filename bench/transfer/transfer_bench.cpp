// Transfer benchmark: the real main window (offscreen) connected to a local vsftpd copies one
// 1 GiB file and a batch of many small files in both directions through its transfer worker,
// with the progress window and the status bar live. Runs alternate with curl and lftp against
// the same server, writing real files to the same disk. For each run it takes the wall time
// from the start of the batch to its end (busy cleared and the worker joined) and the CPU time
// of the process (user + system, every thread); for curl and lftp the CPU time comes from
// /usr/bin/time. Medians over the rounds are printed with the targets.
//
//   bench_transfer [rounds, default 3] [small file count, default 1000]
//
// TW_BENCH_BIG: the 1 GiB file (made by run.sh); TW_BENCH_SMALL_ROUNDS: rounds of the small
// file batches (default: the rounds); TW_BENCH_SKIP_BIG=1 / TW_BENCH_SKIP_SMALL=1 leave a part
// out; TW_BENCH_ONLY="4096 splice" runs that variant of ours alone (profiling). Run with
// QT_QPA_PLATFORM=offscreen when there is no display.

#include "core/session/session_controller.h"
#include "core/settings/settings_store.h"
#include "core/transfer/transfer_controller.h"
#include "integration/ftp/ftp_test_servers.h"
#include "support/connect_sheet.h"
#include "ui/main_window.h"
#include "ui/shell_session.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr std::uint64_t kGiB = 1024ull * 1024 * 1024;
constexpr std::size_t kSmallSize = 10000;

double Seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

double Median(std::vector<double> v) {
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

double ProcessCpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    const auto tv = [](const timeval& t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
    return tv(u.ru_utime) + tv(u.ru_stime);
}

struct Sample {
    double wall = 0;
    double cpu = 0;
    bool ok = false;
};

// Runs the event loop until `done` holds (checked every 2 ms) or `timeoutMs` passed.
bool WaitUntil(const std::function<bool()>& done, int timeoutMs) {
    if (done())
        return true;
    QEventLoop loop;
    QTimer poll;
    poll.setTimerType(Qt::PreciseTimer);
    poll.setInterval(2);
    QElapsedTimer clock;
    clock.start();
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done() || clock.elapsed() > timeoutMs)
            loop.quit();
    });
    poll.start();
    loop.exec();
    return done();
}

// Runs a peer client under /usr/bin/time: wall time measured here, CPU (user + system of the
// client) from time's report. Its output goes to `logPath`.
Sample RunPeer(const std::vector<std::string>& command, const fs::path& scratch) {
    const std::string timeFile = (scratch / "time.out").string();
    const std::string logPath = (scratch / "peer.log").string();
    std::vector<std::string> argv = {"/usr/bin/time", "-f", "%e %U %S", "-o", timeFile};
    argv.insert(argv.end(), command.begin(), command.end());
    std::vector<char*> args;
    for (auto& a : argv)
        args.push_back(a.data());
    args.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, logPath.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
    Sample s;
    pid_t pid = -1;
    const auto t0 = Clock::now();
    const int spawned = posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0)
        return s;
    int status = 0;
    ::waitpid(pid, &status, 0);
    s.wall = Seconds(Clock::now() - t0);
    std::ifstream in(timeFile);
    double e = 0, u = 0, sy = 0;
    in >> e >> u >> sy;
    s.cpu = u + sy;
    s.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    if (!s.ok) {
        std::ifstream log(logPath);
        std::string line;
        std::printf("  %s failed:\n", command[0].c_str());
        for (int i = 0; i < 5 && std::getline(log, line); ++i)
            std::printf("    %s\n", line.c_str());
    }
    return s;
}

std::uint64_t FileSize(const fs::path& p) {
    std::error_code ec;
    const auto n = fs::file_size(p, ec);
    return ec ? 0 : std::uint64_t(n);
}

bool SameContent(const fs::path& a, const fs::path& b) {
    std::ifstream fa(a, std::ios::binary), fb(b, std::ios::binary);
    std::vector<char> ba(1 << 20), bb(1 << 20);
    while (fa && fb) {
        fa.read(ba.data(), std::streamsize(ba.size()));
        fb.read(bb.data(), std::streamsize(bb.size()));
        if (fa.gcount() != fb.gcount() ||
            !std::equal(ba.begin(), ba.begin() + fa.gcount(), bb.begin()))
            return false;
    }
    return fa.eof() && fb.eof();
}

std::string SmallName(char prefix, int i) {
    char name[16];
    std::snprintf(name, sizeof name, "%c%04d", prefix, i);
    return name;
}

// The program: one ShellSession on its own settings file, its main window connected to the
// server, the panes on the server's folder and the local folder.
class Program {
public:
    Program(const fs::path& work, const fs::path& local, const tw::test::FtpTestServer& server)
        : m_remoteRoot(server.root()) {
        qputenv("TARNWICK2000_DEMO_SERVER",
                QByteArray("127.0.0.1:") + QByteArray::number(server.port()));
        m_store = std::make_unique<tw::SettingsStore>(
            QString::fromStdString((work / "settings.ini").string()));
        m_session = std::make_unique<tw::ui::ShellSession>(
            *m_store, QString::fromStdString((work / "data").string()));
        m_session->start({}, QString::fromStdString(local.string()));
        m_window = m_session->mainWindow();
        tw::AppState& state = m_window->state();
        // vsftpd serving as the launching user does not chroot: the account starts in the
        // served folder by its full path.
        state.Accounts[std::size_t(state.CurrentAccount)].RemotePath =
            QString::fromStdString(m_remoteRoot.string());
        tw::Options& o = state.options;
        o.Progress = 1;
        o.Status = 1;
        o.Timestamp = 0;
        o.Prompt = 0;
        o.Refresh = 0; // the peers do not list either
        o.Confirm = 0;
        o.Sounds = 0;
        o.AlertLevel = 0; // no beep at the end of a batch (the peers make none)
        o.LogTransfers = 0;
        m_window->globals().transferLogging = false;
        m_window->resize(900, 700);
        QApplication::processEvents();
    }
    ~Program() {
        if (m_session)
            m_session->finish(0);
    }

    tw::ui::MainWindow& window() { return *m_window; }

    bool connect(bool zeroCopy) {
        if (m_window->runtime().connected) {
            if (zeroCopy == m_zeroCopy)
                return true;
            m_window->session().Disconnect(false);
        }
        m_window->session().setZeroCopy(zeroCopy);
        m_zeroCopy = zeroCopy;
        tw::test::PressConnectWhenAsked(20);
        m_window->dispatcher().dispatch(int(tw::CommandId::Connect));
        const auto& rt = m_window->runtime();
        const bool ok = WaitUntil(
            [&] { return rt.connected && !rt.busy && m_window->state().remote.hasListing; }, 30000);
        m_window->session().waitForWorker();
        QApplication::processEvents();
        if (!ok || m_window->state().remote.path != QString::fromStdString(m_remoteRoot.string()))
            dumpLog("connect failed");
        return ok;
    }

    // The rows of a pane whose names pass `pick`.
    static std::vector<int> rows(const tw::PaneState& pane,
                                 const std::function<bool(const QString&)>& pick) {
        std::vector<int> out;
        for (int i = 0; i < pane.count(); ++i)
            if (pick(pane.entries[std::size_t(i)].name))
                out.push_back(i);
        return out;
    }

    // One batch through the transfer worker, from the start to its end.
    Sample transfer(bool upload, const std::vector<int>& selected) {
        tw::ui::MainWindow& w = *m_window;
        QApplication::processEvents();
        Sample s;
        const double c0 = ProcessCpuSeconds();
        const auto t0 = Clock::now();
        const bool started =
            upload ? w.transfers().StartUpload(selected) : w.transfers().StartDownload(selected);
        if (!started) {
            dumpLog("the batch did not start");
            return s;
        }
        const bool ended =
            WaitUntil([&] { return !w.runtime().busy && !w.transfers().running(); }, 600000);
        w.session().waitForWorker();
        s.wall = Seconds(Clock::now() - t0);
        s.cpu = ProcessCpuSeconds() - c0;
        s.ok = ended;
        QApplication::processEvents(); // the display left queued
        return s;
    }

    void dumpLog(const char* what) {
        std::printf("  %s; last log lines:\n", what);
        const QStringList lines = m_window->logLines();
        for (qsizetype i = std::max<qsizetype>(0, lines.size() - 8); i < lines.size(); ++i)
            std::printf("    %s\n", qPrintable(lines[i]));
    }

private:
    fs::path m_remoteRoot;
    std::unique_ptr<tw::SettingsStore> m_store;
    std::unique_ptr<tw::ui::ShellSession> m_session;
    tw::ui::MainWindow* m_window = nullptr;
    bool m_zeroCopy = true;
};

struct Variant {
    const char* name;
    std::uint32_t blockIndex; // BlockSize option: 0 = 128 ... 5 = 4096
    bool zeroCopy;
};

const Variant kVariants[] = {
    {"4096 splice", 5, true},
    {"4096 read/write", 5, false},
    {"128 splice", 0, true},
    {"128 read/write", 0, false},
};

// Samples by figure name ("down ours 4096 splice", "up curl", ...).
using Results = std::map<std::string, std::vector<Sample>>;

double MedianWall(const Results& r, const std::string& key) {
    std::vector<double> v;
    if (auto it = r.find(key); it != r.end())
        for (const Sample& s : it->second)
            v.push_back(s.wall);
    return Median(v);
}

double MedianCpu(const Results& r, const std::string& key) {
    std::vector<double> v;
    if (auto it = r.find(key); it != r.end())
        for (const Sample& s : it->second)
            v.push_back(s.cpu);
    return Median(v);
}

bool AllOk(const Results& r, const std::string& key) {
    auto it = r.find(key);
    return it != r.end() && !it->second.empty() &&
           std::all_of(it->second.begin(), it->second.end(), [](const Sample& s) { return s.ok; });
}

void PrintRound(const char* what, const Sample& s) {
    std::printf("    %-28s %7.3f s wall  %6.3f s cpu%s\n", what, s.wall, s.cpu,
                s.ok ? "" : "  FAILED");
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    const int smallCount = argc > 2 ? std::max(1, std::atoi(argv[2])) : 1000;
    const int smallRounds = qEnvironmentVariableIsSet("TW_BENCH_SMALL_ROUNDS")
                                ? std::max(1, qEnvironmentVariableIntValue("TW_BENCH_SMALL_ROUNDS"))
                                : rounds;
    const bool doBig = qEnvironmentVariableIntValue("TW_BENCH_SKIP_BIG") == 0;
    const bool doSmall = qEnvironmentVariableIntValue("TW_BENCH_SKIP_SMALL") == 0;
    // TW_BENCH_ONLY="4096 splice" (a variant's name): only that variant of ours, no peers,
    // for profiling.
    const QString only = qEnvironmentVariable("TW_BENCH_ONLY");
    const bool curlOneProcess = qEnvironmentVariableIntValue("TW_BENCH_CURL_ONE_PROCESS") != 0;
    const fs::path big = qEnvironmentVariableIsSet("TW_BENCH_BIG")
                             ? fs::path(qgetenv("TW_BENCH_BIG").toStdString())
                             : fs::path("/tmp/tarnwick-ftp-bench-1GiB.bin");
    if (doBig && FileSize(big) != kGiB) {
        std::printf("%s must be a 1 GiB file (run.sh makes it)\n", big.c_str());
        return 1;
    }

    std::string why;
    auto server =
        tw::test::FtpTestServer::start(tw::test::FtpTestServer::Kind::Vsftpd, "127.0.0.1", why);
    if (!server) {
        std::printf("vsftpd cannot start: %s\n", why.c_str());
        return 1;
    }
    const fs::path root = server->root();
    tw::test::TempDir workDir;
    const fs::path work = workDir.path();
    const fs::path local = work / "local"; // the local pane's folder
    const fs::path peer = work / "peer";   // where curl and lftp download to
    const fs::path scratch = work / "scratch";
    for (const fs::path& p : {local, peer, scratch, work / "data"})
        fs::create_directories(p);
    const std::string url = "ftp://127.0.0.1:" + std::to_string(server->port());
    std::printf("vsftpd on 127.0.0.1:%d serving %s; local folder %s\n", server->port(),
                root.c_str(), local.c_str());

    // The 1 GiB file is linked, not copied: "big.bin" on the server, "up.bin" in the local
    // folder. Every written copy is a new file, so the links stay untouched.
    if (doBig) {
        fs::create_hard_link(big, root / "big.bin");
        fs::create_hard_link(big, local / "up.bin");
    }
    if (doSmall) {
        for (int i = 0; i < smallCount; ++i) {
            tw::test::WritePatternFile(root / SmallName('g', i), kSmallSize, unsigned(i));
            tw::test::WritePatternFile(local / SmallName('f', i), kSmallSize, unsigned(i + 7));
        }
    }

    Program program(work, local, *server);
    tw::ui::MainWindow& w = program.window();
    if (!program.connect(true))
        return 1;
    std::printf("connected: remote pane %d rows, local pane %d rows\n", w.state().remote.count(),
                w.state().local.count());
    std::fflush(stdout);

    Results r;
    const auto record = [&](const std::string& key, const Sample& s) {
        r[key].push_back(s);
        PrintRound(key.c_str(), s);
    };

    if (doBig) {
        const fs::path downloaded = local / "big.bin";
        const fs::path uploaded = root / "up.bin";
        for (int round = 1; round <= rounds; ++round) {
            std::printf("1 GiB round %d/%d\n", round, rounds);
            for (const Variant& v : kVariants) {
                if (!only.isEmpty() && only != QLatin1String(v.name))
                    continue;
                w.state().options.BlockSize = v.blockIndex;
                if (!program.connect(v.zeroCopy))
                    return 1;
                // A new connection lists the folder again: the rows are looked up afresh.
                const std::vector<int> downRows = Program::rows(
                    w.state().remote, [](const QString& n) { return n == u"big.bin"; });
                const std::vector<int> upRows =
                    Program::rows(w.state().local, [](const QString& n) { return n == u"up.bin"; });
                if (downRows.size() != 1 || upRows.size() != 1) {
                    std::printf("big.bin / up.bin are not in the panes\n");
                    return 1;
                }
                Sample s = program.transfer(false, downRows);
                s.ok = s.ok && FileSize(downloaded) == kGiB &&
                       (round > 1 || SameContent(downloaded, big));
                record(std::string("down ours ") + v.name, s);
                fs::remove(downloaded);
                s = program.transfer(true, upRows);
                s.ok =
                    s.ok && FileSize(uploaded) == kGiB && (round > 1 || SameContent(uploaded, big));
                record(std::string("up ours ") + v.name, s);
                fs::remove(uploaded);
            }
            if (!only.isEmpty())
                continue;
            const std::string getTarget = (peer / "big.bin").string();
            Sample s = RunPeer({"curl", "-s", "-S", "-o", getTarget, url + "/big.bin"}, scratch);
            s.ok = s.ok && FileSize(getTarget) == kGiB;
            record("down curl", s);
            fs::remove(getTarget);
            s = RunPeer({"lftp", "-c",
                         "set net:max-retries 1; open " + url +
                             "; set xfer:clobber yes; get big.bin -o " + getTarget},
                        scratch);
            s.ok = s.ok && FileSize(getTarget) == kGiB;
            record("down lftp", s);
            fs::remove(getTarget);
            s = RunPeer(
                {"curl", "-s", "-S", "-T", (local / "up.bin").string(), url + "/up-curl.bin"},
                scratch);
            s.ok = s.ok && FileSize(root / "up-curl.bin") == kGiB;
            record("up curl", s);
            fs::remove(root / "up-curl.bin");
            s = RunPeer({"lftp", "-c",
                         "set net:max-retries 1; open " + url + "; put " +
                             (local / "up.bin").string() + " -o up-lftp.bin"},
                        scratch);
            s.ok = s.ok && FileSize(root / "up-lftp.bin") == kGiB;
            record("up lftp", s);
            fs::remove(root / "up-lftp.bin");
        }
    }

    if (doSmall) {
        w.state().options.BlockSize = 5;
        if (!program.connect(true))
            return 1;
        const std::vector<int> downRows = Program::rows(
            w.state().remote, [](const QString& n) { return n.size() == 5 && n[0] == u'g'; });
        const std::vector<int> upRows = Program::rows(
            w.state().local, [](const QString& n) { return n.size() == 5 && n[0] == u'f'; });
        if (int(downRows.size()) != smallCount || int(upRows.size()) != smallCount) {
            std::printf("the small files are not all in the panes (%zu, %zu)\n", downRows.size(),
                        upRows.size());
            return 1;
        }
        // curl: one process per file, from a shell script (time counts the children). With
        // TW_BENCH_CURL_ONE_PROCESS=1 also one curl for the whole batch, the URLs in a config
        // file: curl 7.88 reusing its connection to vsftpd often waits 1 s before opening the
        // data connection, so that run takes minutes.
        const fs::path getScript = scratch / "curl-get.sh";
        const fs::path putScript = scratch / "curl-put.sh";
        const fs::path getConfig = scratch / "curl-get.cfg";
        const fs::path putConfig = scratch / "curl-put.cfg";
        {
            std::ofstream get(getScript), put(putScript), getCfg(getConfig), putCfg(putConfig);
            get << "set -e\n";
            put << "set -e\n";
            for (int i = 0; i < smallCount; ++i) {
                const std::string g = SmallName('g', i), f = SmallName('f', i);
                get << "curl -s -S -o " << (peer / g).string() << ' ' << url << '/' << g << '\n';
                put << "curl -s -S --ftp-create-dirs -T " << (local / f).string() << ' ' << url
                    << "/up-curl/" << f << '\n';
                getCfg << "url = \"" << url << '/' << g << "\"\noutput = \"" << (peer / g).string()
                       << "\"\n";
                putCfg << "upload-file = \"" << (local / f).string() << "\"\nurl = \"" << url
                       << "/up-curl/" << f << "\"\n";
            }
        }
        const auto countIn = [&](const fs::path& dir, char prefix) {
            int n = 0;
            for (int i = 0; i < smallCount; ++i)
                n += FileSize(dir / SmallName(prefix, i)) == kSmallSize;
            return n;
        };
        const auto removeIn = [&](const fs::path& dir, char prefix) {
            for (int i = 0; i < smallCount; ++i)
                fs::remove(dir / SmallName(prefix, i));
        };
        for (int round = 1; round <= smallRounds; ++round) {
            std::printf("%d files of %zu bytes, round %d/%d\n", smallCount, kSmallSize, round,
                        smallRounds);
            Sample s = program.transfer(false, downRows);
            s.ok = s.ok && countIn(local, 'g') == smallCount;
            record("many down ours", s);
            removeIn(local, 'g');
            s = program.transfer(true, upRows);
            s.ok = s.ok && countIn(root, 'f') == smallCount;
            record("many up ours", s);
            removeIn(root, 'f');

            s = RunPeer({"/bin/sh", getScript.string()}, scratch);
            s.ok = s.ok && countIn(peer, 'g') == smallCount;
            record("many down curl", s);
            removeIn(peer, 'g');
            if (curlOneProcess) {
                s = RunPeer({"curl", "-s", "-S", "-K", getConfig.string()}, scratch);
                s.ok = s.ok && countIn(peer, 'g') == smallCount;
                record("many down curl -K", s);
                removeIn(peer, 'g');
            }
            s = RunPeer({"lftp", "-c",
                         "set net:max-retries 1; open " + url + "; lcd " + peer.string() +
                             "; set xfer:clobber yes; mget g????"},
                        scratch);
            s.ok = s.ok && countIn(peer, 'g') == smallCount;
            record("many down lftp", s);
            removeIn(peer, 'g');

            s = RunPeer({"/bin/sh", putScript.string()}, scratch);
            s.ok = s.ok && countIn(root / "up-curl", 'f') == smallCount;
            record("many up curl", s);
            fs::remove_all(root / "up-curl");
            if (curlOneProcess) {
                s = RunPeer({"curl", "-s", "-S", "--ftp-create-dirs", "-K", putConfig.string()},
                            scratch);
                s.ok = s.ok && countIn(root / "up-curl", 'f') == smallCount;
                record("many up curl -K", s);
                fs::remove_all(root / "up-curl");
            }
            s = RunPeer({"lftp", "-c",
                         "set net:max-retries 1; open " + url + "; lcd " + local.string() +
                             "; mkdir -p up-lftp; mput -O up-lftp f????"},
                        scratch);
            s.ok = s.ok && countIn(root / "up-lftp", 'f') == smallCount;
            record("many up lftp", s);
            fs::remove_all(root / "up-lftp");
        }
    }

    // Figures: one line each with the peers beside ours, then the table and the targets.
    std::printf("\nmedians (wall s, client cpu s); rounds: 1 GiB %d, small files %d\n",
                doBig ? rounds : 0, doSmall ? smallRounds : 0);
    std::vector<std::string> verdicts;
    const auto verdict = [&](const std::string& what, bool met) {
        verdicts.push_back(what + ": " + (met ? "met" : "MISSED"));
    };
    if (doBig) {
        for (const char* dir : {"down", "up"}) {
            const std::string d = dir;
            const double cw = MedianWall(r, d + " curl"), lw = MedianWall(r, d + " lftp");
            const double cc = MedianCpu(r, d + " curl"), lc = MedianCpu(r, d + " lftp");
            const bool curlFaster = cw <= lw;
            const double peerWall = std::min(cw, lw);
            const double peerCpu = curlFaster ? cc : lc;
            const char* peerName = curlFaster ? "curl" : "lftp";
            for (const Variant& v : kVariants) {
                const std::string key = d + " ours " + v.name;
                const double ow = MedianWall(r, key), oc = MedianCpu(r, key);
                std::printf("%-4s 1 GiB ours %-15s %6.3f s %6.0f MiB/s cpu %5.2f s/GiB | curl "
                            "%6.3f s cpu %5.2f | lftp %6.3f s cpu %5.2f | %s/ours %.2fx%s\n",
                            dir, v.name, ow, 1024 / ow, oc, cw, cc, lw, lc, peerName, peerWall / ow,
                            AllOk(r, key) ? "" : "  (a run FAILED)");
                const std::string label = d + " 1 GiB " + v.name + " vs " + peerName;
                if (v.blockIndex == 5 && v.zeroCopy)
                    verdict(label + ": >= 1.2x faster (" +
                                std::to_string(peerWall / ow).substr(0, 4) + "x) and less CPU (" +
                                std::to_string(oc).substr(0, 4) + " vs " +
                                std::to_string(peerCpu).substr(0, 4) + " s)",
                            ow * 1.2 <= peerWall && oc < peerCpu);
                else if (v.blockIndex == 5)
                    verdict(label + ": as fast", ow <= peerWall);
                else
                    verdict(label + ": within 10 %", ow <= peerWall * 1.10);
            }
        }
    }
    if (doSmall) {
        for (const char* dir : {"down", "up"}) {
            const std::string d = std::string("many ") + dir;
            const double ow = MedianWall(r, d + " ours"), cw = MedianWall(r, d + " curl"),
                         lw = MedianWall(r, d + " lftp");
            const double n = smallCount;
            std::printf("%-4s %d x %zu B ours %6.3f s %5.2f ms/file cpu %5.2f s | curl (one "
                        "process per file) %6.3f s %5.2f ms/file cpu %5.2f | lftp %s %6.3f s "
                        "%5.2f ms/file cpu %5.2f%s\n",
                        dir, smallCount, kSmallSize, ow, ow * 1000 / n, MedianCpu(r, d + " ours"),
                        cw, cw * 1000 / n, MedianCpu(r, d + " curl"),
                        d == "many down" ? "mget" : "mput", lw, lw * 1000 / n,
                        MedianCpu(r, d + " lftp"), AllOk(r, d + " ours") ? "" : "  (a run FAILED)");
            if (curlOneProcess) {
                const double kw = MedianWall(r, d + " curl -K");
                std::printf(
                    "     curl (one process, %d URLs, -K) %6.3f s %5.2f ms/file cpu %5.2f\n",
                    smallCount, kw, kw * 1000 / n, MedianCpu(r, d + " curl -K"));
            }
            verdict(std::string(dir) + " " + std::to_string(smallCount) +
                        " small files: no slower than lftp",
                    ow <= lw);
        }
    }
    std::printf("\n%-28s %9s %9s %9s\n", "figure (median)", "wall s", "cpu s", "MiB/s");
    for (const auto& [key, samples] : r) {
        const double wall = MedianWall(r, key);
        const bool isBig = key.rfind("many", 0) != 0;
        std::printf("%-28s %9.3f %9.3f %9.0f%s\n", key.c_str(), wall, MedianCpu(r, key),
                    isBig ? 1024 / wall : double(smallCount) * kSmallSize / wall / 1048576,
                    AllOk(r, key) ? "" : "  FAILED");
    }
    std::printf("\ntargets:\n");
    for (const std::string& v : verdicts)
        std::printf("  %s\n", v.c_str());
    return 0;
}

#include "support/keyring_session.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <thread>

namespace fs = std::filesystem;

namespace tw::test {

namespace {

constexpr const char* kDbusDaemon = "/usr/bin/dbus-daemon";
constexpr const char* kKeyringDaemon = "/usr/bin/gnome-keyring-daemon";
constexpr const char* kDbusSend = "/usr/bin/dbus-send";

// Polls `ready` every 50 ms for up to 10 s: the time a daemon may take to come up.
template <typename F>
bool WaitFor(F ready) {
    for (int i = 0; i < 200; ++i) {
        if (ready())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

std::vector<char*> Argv(std::vector<std::string>& args) {
    std::vector<char*> out;
    for (auto& a : args)
        out.push_back(a.data());
    out.push_back(nullptr);
    return out;
}

// Starts argv in a process group of its own with stdin from `stdinFd` (or /dev/null) and its
// output appended to `log`. Only async-signal-safe calls between fork and exec.
pid_t Spawn(std::vector<std::string> args, int stdinFd, const fs::path& log) {
    std::vector<char*> argv = Argv(args);
    const std::string logPath = log.string();
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::setpgid(0, 0);
        // A test that crashes takes its daemons with it.
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        const int devnull = ::open("/dev/null", O_RDWR);
        const int out = ::open(logPath.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
        ::dup2(stdinFd >= 0 ? stdinFd : devnull, STDIN_FILENO);
        ::dup2(out >= 0 ? out : devnull, STDOUT_FILENO);
        ::dup2(out >= 0 ? out : devnull, STDERR_FILENO);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    if (pid > 0)
        ::setpgid(pid, pid);
    return pid;
}

void StopGroup(pid_t& pid) {
    if (pid <= 0)
        return;
    ::kill(-pid, SIGTERM);
    ::kill(-pid, SIGCONT);
    int status = 0;
    const bool ended = WaitFor([&] { return ::waitpid(pid, &status, WNOHANG) == pid; });
    if (!ended) {
        ::kill(-pid, SIGKILL);
        ::waitpid(pid, &status, 0);
    }
    pid = -1;
}

bool CanConnect(const fs::path& socketPath) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un a{};
    a.sun_family = AF_UNIX;
    const std::string p = socketPath.string();
    if (fd < 0 || p.size() >= sizeof a.sun_path) {
        if (fd >= 0)
            ::close(fd);
        return false;
    }
    std::memcpy(a.sun_path, p.c_str(), p.size() + 1);
    const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    ::close(fd);
    return ok;
}

} // namespace

std::unique_ptr<KeyringSession> KeyringSession::start(std::string& why) {
    // GLib connects to the session bus once per process and keeps that connection after the
    // bus is gone, so a second session's bus would never be reached.
    static bool started = false;
    if (started) {
        why = "one keyring session per process (GLib keeps its first bus): run each case in a "
              "process of its own, as ctest does";
        return nullptr;
    }
    started = true;
    for (const char* program : {kDbusDaemon, kKeyringDaemon, kDbusSend}) {
        if (::access(program, X_OK) != 0) {
            why = std::string(program) + " is not installed";
            return nullptr;
        }
    }
    std::unique_ptr<KeyringSession> s(new KeyringSession);
    std::string pattern = (fs::temp_directory_path() / "tw-keyring-XXXXXX").string();
    std::vector<char> buf(pattern.begin(), pattern.end());
    buf.push_back('\0');
    if (!::mkdtemp(buf.data())) {
        why = "no temporary folder";
        return nullptr;
    }
    s->m_dir = buf.data();
    for (const char* sub : {"home", "data", "config", "cache", "runtime"}) {
        fs::create_directory(s->m_dir / sub);
        fs::permissions(s->m_dir / sub, fs::perms::owner_all);
    }

    const fs::path socket = s->m_dir / "bus";
    s->m_address = "unix:path=" + socket.string();
    std::ofstream(s->m_dir / "session.conf")
        << "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
           " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
           "<busconfig>\n  <type>session</type>\n"
           "  <listen>"
        << s->m_address
        << "</listen>\n  <auth>EXTERNAL</auth>\n"
           "  <policy context=\"default\">\n"
           "    <allow send_destination=\"*\" eavesdrop=\"true\"/>\n"
           "    <allow eavesdrop=\"true\"/>\n    <allow own=\"*\"/>\n"
           "  </policy>\n</busconfig>\n";

    // The test process and every child see only this session from here on.
    const std::vector<std::pair<const char*, fs::path>> environment = {
        {"HOME", s->m_dir / "home"},
        {"XDG_DATA_HOME", s->m_dir / "data"},
        {"XDG_CONFIG_HOME", s->m_dir / "config"},
        {"XDG_CACHE_HOME", s->m_dir / "cache"},
        {"XDG_RUNTIME_DIR", s->m_dir / "runtime"}};
    auto save = [&](const char* name, const std::string& value) {
        const char* old = std::getenv(name);
        s->m_savedEnvironment.emplace_back(name,
                                           old ? std::optional<std::string>(old) : std::nullopt);
        ::setenv(name, value.c_str(), 1);
    };
    save("DBUS_SESSION_BUS_ADDRESS", s->m_address);
    for (const auto& [name, value] : environment)
        save(name, value.string());

    s->m_bus = Spawn({kDbusDaemon, "--nofork", "--nopidfile",
                      "--config-file=" + (s->m_dir / "session.conf").string()},
                     -1, s->m_dir / "dbus.log");
    if (s->m_bus <= 0 || !WaitFor([&] { return CanConnect(socket); })) {
        why = "dbus-daemon did not start";
        return nullptr;
    }
    if (!s->startKeyring(why))
        return nullptr;
    return s;
}

bool KeyringSession::startKeyring(std::string& why) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        why = "no pipe";
        return false;
    }
    // The daemon reads the login keyring's password from stdin up to its end, then creates or
    // unlocks the keyring with it.
    m_keyring = Spawn({kKeyringDaemon, "--foreground", "--unlock", "--components=secrets"}, fds[0],
                      m_dir / "keyring.log");
    ::close(fds[0]);
    const std::string password = kPassword;
    const bool written =
        ::write(fds[1], password.data(), password.size()) == static_cast<ssize_t>(password.size());
    ::close(fds[1]);
    if (m_keyring <= 0 || !written || !WaitFor([&] { return serviceOnBus(); })) {
        std::ifstream log(m_dir / "keyring.log");
        const std::string text((std::istreambuf_iterator<char>(log)), {});
        why = "gnome-keyring-daemon did not take org.freedesktop.secrets on the bus: " + text;
        return false;
    }
    return true;
}

bool KeyringSession::serviceOnBus() const {
    const auto reply = run({kDbusSend, "--session", "--print-reply", "--dest=org.freedesktop.DBus",
                            "/org/freedesktop/DBus", "org.freedesktop.DBus.NameHasOwner",
                            "string:org.freedesktop.secrets"});
    return reply && reply->find("boolean true") != std::string::npos;
}

bool KeyringSession::lock(std::string& why) const {
    const auto reply =
        run({kDbusSend, "--session", "--print-reply", "--dest=org.freedesktop.secrets",
             "/org/freedesktop/secrets", "org.freedesktop.Secret.Service.Lock",
             std::string("array:objpath:") + kLoginCollection});
    if (!reply || reply->find(kLoginCollection) == std::string::npos) {
        why = "the service did not lock the login collection: " + reply.value_or("no reply");
        return false;
    }
    return true;
}

void KeyringSession::stop() {
    StopGroup(m_keyring);
    WaitFor([&] { return !serviceOnBus(); });
}

void KeyringSession::freeze() const {
    if (m_keyring > 0)
        ::kill(-m_keyring, SIGSTOP);
}

void KeyringSession::thaw() const {
    if (m_keyring > 0)
        ::kill(-m_keyring, SIGCONT);
}

bool KeyringSession::restart(std::string& why) {
    stop();
    return startKeyring(why);
}

std::optional<std::string> KeyringSession::run(const std::vector<std::string>& argv,
                                               bool withErrors) const {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0)
        return std::nullopt;
    std::vector<std::string> args = argv;
    std::vector<char*> cargv = Argv(args);
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int devnull = ::open("/dev/null", O_RDWR);
        ::dup2(devnull, STDIN_FILENO);
        ::dup2(fds[1], STDOUT_FILENO);
        ::dup2(withErrors ? fds[1] : devnull, STDERR_FILENO);
        ::execvp(cargv[0], cargv.data());
        ::_exit(127);
    }
    ::close(fds[1]);
    std::string out;
    std::vector<char> chunk(4096);
    for (;;) {
        const ssize_t n = ::read(fds[0], chunk.data(), chunk.size());
        if (n <= 0)
            break;
        out.append(chunk.data(), static_cast<size_t>(n));
    }
    ::close(fds[0]);
    int status = 0;
    if (pid < 0 || ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status) ||
        WEXITSTATUS(status) != 0)
        return std::nullopt;
    return out;
}

KeyringSession::~KeyringSession() {
    StopGroup(m_keyring);
    StopGroup(m_bus);
    for (const auto& [name, value] : m_savedEnvironment) {
        if (value)
            ::setenv(name.c_str(), value->c_str(), 1);
        else
            ::unsetenv(name.c_str());
    }
    std::error_code ec;
    if (!m_dir.empty())
        fs::remove_all(m_dir, ec);
}

} // namespace tw::test

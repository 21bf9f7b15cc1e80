#include "scripted_servers.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cctype>
#include <ctime>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace tw::test {

namespace {

int connectLoopback(int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(static_cast<std::uint16_t>(port));
    if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// Copies bytes both ways until either side ends, then closes both.
void relay(int a, int b, const std::atomic<bool>& stop) {
    pollfd fds[2] = {{a, POLLIN, 0}, {b, POLLIN, 0}};
    while (!stop) {
        if (::poll(fds, 2, 50) <= 0)
            continue;
        bool ended = false;
        for (int i = 0; i < 2 && !ended; ++i) {
            if (!(fds[i].revents & (POLLIN | POLLHUP | POLLERR)))
                continue;
            char buf[16384];
            const ssize_t n = ::recv(fds[i].fd, buf, sizeof buf, 0);
            if (n <= 0 || ::send(fds[1 - i].fd, buf, std::size_t(n), MSG_NOSIGNAL) != n)
                ended = true;
        }
        if (ended)
            break;
    }
    ::close(a);
    ::close(b);
}

std::string upper(std::string text) {
    for (char& c : text)
        c = char(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

std::string timeText(std::int64_t t) {
    const time_t tt = time_t(t);
    std::tm tm{};
    ::gmtime_r(&tt, &tm);
    char buf[32];
    std::strftime(buf, sizeof buf, "%Y%m%d%H%M%S", &tm);
    return buf;
}

std::string normalise(const std::string& cwd, const std::string& arg) {
    std::string path = arg.empty()     ? cwd
                       : arg[0] == '/' ? arg
                                       : (cwd == "/" ? "/" : cwd + "/") + arg;
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

std::string parentOf(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == 0 ? "/" : path.substr(0, slash);
}

} // namespace

ScriptedServers::ScriptedServers(Script script) : m_script(std::move(script)) {
    m_listen = ListenLoopback(m_port, 16);
    m_thread = std::thread([this] { acceptLoop(); });
}

ScriptedServers::~ScriptedServers() {
    m_stop = true;
    if (m_thread.joinable())
        m_thread.join();
    for (auto& r : m_relays)
        r.join();
    std::lock_guard lock(m_mutex);
    m_servers.clear();
    ::close(m_listen);
}

void ScriptedServers::acceptLoop() {
    while (!m_stop) {
        pollfd p{m_listen, POLLIN, 0};
        if (::poll(&p, 1, 50) <= 0)
            continue;
        const int client = ::accept4(m_listen, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0)
            continue;
        const int n = m_accepted++;
        auto server =
            std::make_unique<ScriptedServer>([this, n](ScriptedServer& s) { m_script(s, n); });
        const int upstream = connectLoopback(server->port());
        {
            std::lock_guard lock(m_mutex);
            m_servers.push_back(std::move(server));
        }
        if (upstream < 0) {
            ::close(client);
            continue;
        }
        m_relays.emplace_back([this, client, upstream] { relay(client, upstream, m_stop); });
    }
}

std::vector<std::string> ScriptedServers::finish() {
    std::vector<std::string> all;
    std::lock_guard lock(m_mutex);
    for (auto& s : m_servers)
        for (auto& c : s->finish())
            all.push_back(c);
    return all;
}

// ----- FakeFtp -----

FakeFtp::FakeFtp() = default;

void FakeFtp::put(const std::string& path, std::string data, std::int64_t time) {
    std::lock_guard lock(m_mutex);
    m_files[path] = File{std::move(data), time};
}

void FakeFtp::folder(const std::string& path) {
    std::lock_guard lock(m_mutex);
    m_folders[path] = true;
}

std::optional<FakeFtp::File> FakeFtp::file(const std::string& path) const {
    std::lock_guard lock(m_mutex);
    const auto f = m_files.find(path);
    if (f == m_files.end())
        return std::nullopt;
    return f->second;
}

bool FakeFtp::hasFolder(const std::string& path) const {
    std::lock_guard lock(m_mutex);
    return m_folders.count(path) > 0;
}

bool FakeFtp::in(const std::vector<int>& list, int connection) const {
    return std::find(list.begin(), list.end(), connection) != list.end();
}

void FakeFtp::serve(ScriptedServer& s, int connection) {
    if (in(m_behaviour.refusing, connection)) {
        s.reply("421 Too many connections (2) from this IP");
        return;
    }
    s.reply("220 Fake server ready.");
    std::string cwd = "/";
    std::uint64_t offset = 0;
    std::string renameFrom;
    for (;;) {
        const std::string line = s.command();
        if (line.empty())
            return;
        const auto space = line.find(' ');
        const std::string verb = upper(line.substr(0, space));
        const std::string arg = space == std::string::npos ? std::string() : line.substr(space + 1);
        const std::string path = normalise(cwd, arg);
        std::unique_lock lock(m_mutex);
        const auto file = m_files.find(path);
        const bool isFile = file != m_files.end();
        const bool isFolder = m_folders.count(path) > 0;
        lock.unlock();
        // Data connections follow the 150 with their handshake when protected.
        const auto transferStarts = [&](const std::string& preliminary) {
            s.reply(preliminary);
            return !m_behaviour.tls || s.startDataTls();
        };
        if (verb == "AUTH" && m_behaviour.tls) {
            s.reply("234 Proceed with negotiation.");
            if (!s.startTls())
                return;
        } else if ((verb == "PBSZ" || verb == "PROT") && m_behaviour.tls) {
            s.reply("200 OK.");
        } else if (verb == "USER") {
            s.reply("331 Password please.");
        } else if (verb == "PASS") {
            s.reply("230 Logged in.");
        } else if (verb == "FEAT") {
            s.reply("211-Features:");
            s.reply(" MDTM");
            if (!m_behaviour.hideSizes)
                s.reply(" SIZE");
            s.reply(" MFMT");
            s.reply(" REST STREAM");
            if (m_behaviour.mlsd)
                s.reply(" MLSD");
            s.reply("211 End");
        } else if (verb == "SYST") {
            s.reply("215 UNIX Type: L8");
        } else if (verb == "TYPE" || verb == "OPTS" || verb == "NOOP") {
            s.reply("200 OK.");
        } else if (verb == "PWD") {
            s.reply("257 \"" + cwd + "\" is the current directory.");
        } else if (verb == "CWD") {
            if (isFolder) {
                cwd = path;
                s.reply("250 OK.");
            } else {
                s.reply("550 No such folder.");
            }
        } else if (verb == "EPSV") {
            const int port = s.listenData();
            s.reply("229 Entering Extended Passive Mode (|||" + std::to_string(port) + "|)");
        } else if (verb == "PASV" || verb == "EPRT" || verb == "PORT") {
            s.reply("502 Not here.");
        } else if (verb == "SIZE") {
            s.reply(isFile && !m_behaviour.hideSizes
                        ? "213 " + std::to_string(file->second.data.size())
                        : "550 No such file.");
        } else if (verb == "MDTM") {
            s.reply(isFile ? "213 " + timeText(file->second.time) : "550 No such file.");
        } else if (verb == "MFMT") {
            const auto sp = arg.find(' ');
            const std::string target = normalise(cwd, arg.substr(sp + 1));
            std::lock_guard guard(m_mutex);
            if (m_files.count(target)) {
                std::tm tm{};
                ::strptime(arg.substr(0, sp).c_str(), "%Y%m%d%H%M%S", &tm);
                m_files[target].time = ::timegm(&tm);
                s.reply("213 Modify=" + arg.substr(0, sp) + "; " + target);
            } else {
                s.reply("550 No such file.");
            }
        } else if (verb == "REST") {
            if (m_behaviour.refuseRest) {
                s.reply("502 REST not implemented.");
                continue;
            }
            if (!m_behaviour.ignoreRest)
                offset = std::stoull(arg);
            s.reply("350 Restarting at " + arg + ".");
        } else if (verb == "MLSD") {
            const bool refused =
                std::find(m_behaviour.unlistable.begin(), m_behaviour.unlistable.end(), path) !=
                m_behaviour.unlistable.end();
            if (!isFolder || refused) {
                s.reply("550 Cannot list that.");
                continue;
            }
            std::string listing;
            lock.lock();
            const std::string prefix = path == "/" ? "/" : path + "/";
            for (const auto& [name, f] : m_files)
                if (name.rfind(prefix, 0) == 0 &&
                    name.find('/', prefix.size()) == std::string::npos)
                    listing +=
                        "type=file;" +
                        (m_behaviour.hideSizes ? std::string()
                                               : "size=" + std::to_string(f.data.size()) + ";") +
                        "modify=" + timeText(f.time) + "; " + name.substr(prefix.size()) + "\r\n";
            for (const auto& [name, on] : m_folders)
                if (name != path && name.rfind(prefix, 0) == 0 &&
                    name.find('/', prefix.size()) == std::string::npos)
                    listing +=
                        "type=dir;modify=20240101000000; " + name.substr(prefix.size()) + "\r\n";
            lock.unlock();
            s.acceptData();
            if (!transferStarts("150 Here comes the listing."))
                return;
            s.sendData(listing);
            s.closeData();
            s.reply("226 Done.");
        } else if (verb == "RETR") {
            if (!isFile) {
                s.reply("550 No such file.");
                continue;
            }
            const std::string& data = file->second.data;
            const std::uint64_t from = std::min<std::uint64_t>(offset, data.size());
            offset = 0;
            s.acceptData();
            if (!transferStarts(from == 0 && !m_behaviour.hideSizes
                                    ? "150 Opening BINARY connection (" +
                                          std::to_string(data.size()) + " bytes)."
                                    : "150 Opening BINARY connection."))
                return;
            const std::string rest = data.substr(from);
            if (m_behaviour.bareTlsEnd) {
                s.sendData(m_behaviour.dropAfter ? rest.substr(0, m_behaviour.dropAfter) : rest);
                s.dropDataTls();
                s.closeData();
                s.reply("226 Transfer complete.");
                continue;
            }
            if (in(m_behaviour.dropping, connection)) {
                s.sendData(rest.substr(0, m_behaviour.dropAfter));
                s.sleepMs(50);
                s.closeData();
                s.closeControl();
                return;
            }
            if (in(m_behaviour.stalling, connection)) {
                s.sendData(rest.substr(0, m_behaviour.dropAfter));
                // Waits for the client: an ABOR, or its end.
                const std::string next = s.command();
                s.closeData();
                if (next.empty())
                    return;
                s.reply("426 Transfer aborted.");
                s.reply("226 Abort successful.");
                continue;
            }
            s.sendData(rest);
            s.closeData();
            s.reply("226 Transfer complete.");
        } else if (verb == "STOR" || verb == "APPE") {
            if (!m_folders.count(parentOf(path))) {
                s.reply("553 No such folder.");
                continue;
            }
            s.acceptData();
            if (!transferStarts("150 Ok to send data."))
                return;
            std::string got;
            const bool whole = s.receiveData(&got);
            s.closeData();
            const bool drops = in(m_behaviour.dropping, connection);
            if (drops)
                got.resize(std::min(got.size(), m_behaviour.dropAfter));
            {
                std::lock_guard guard(m_mutex);
                File& f = m_files[path];
                if (verb == "APPE") {
                    f.data += got;
                } else {
                    f.data.resize(std::min<std::size_t>(f.data.size(), offset));
                    if (offset == 0)
                        f.data.clear();
                    f.data += got;
                }
                f.time = std::time(nullptr);
            }
            offset = 0;
            if (drops) {
                s.closeControl();
                return;
            }
            s.reply(whole ? "226 Transfer complete." : "426 Connection lost.");
        } else if (verb == "RNFR") {
            renameFrom = path;
            s.reply(isFile ? "350 Ready." : "550 No such file.");
        } else if (verb == "RNTO") {
            std::lock_guard guard(m_mutex);
            const auto from = m_files.find(renameFrom);
            if (from == m_files.end()) {
                s.reply("550 No such file.");
                continue;
            }
            if (m_behaviour.renameKeepsExisting && m_files.count(path)) {
                s.reply("553 Cannot rename onto an existing file.");
                continue;
            }
            File moved = from->second;
            m_files.erase(from);
            m_files[path] = std::move(moved);
            s.reply("250 Renamed.");
        } else if (verb == "DELE") {
            std::lock_guard guard(m_mutex);
            s.reply(m_files.erase(path) ? "250 Deleted." : "550 No such file.");
        } else if (verb == "MKD") {
            std::lock_guard guard(m_mutex);
            if (m_folders.count(path) || m_files.count(path)) {
                s.reply("550 It exists.");
            } else {
                m_folders[path] = true;
                s.reply("257 \"" + path + "\" created.");
            }
        } else if (verb == "ABOR") {
            s.reply("225 No transfer to abort.");
        } else if (verb == "QUIT") {
            s.reply("221 Goodbye.");
            return;
        } else {
            s.reply("502 Not implemented.");
        }
    }
}

} // namespace tw::test

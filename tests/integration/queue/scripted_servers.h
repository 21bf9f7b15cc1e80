#pragma once

#include "integration/ftp/scripted_server.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace tw::test {

// Many control connections on one port, as a queue's connection pool makes them: the n-th
// connection (from 0) runs `script(server, n)` on a ScriptedServer of its own, reached through
// a relay of the control bytes (data connections go to that server's own listeners directly).
class ScriptedServers {
public:
    using Script = std::function<void(ScriptedServer&, int connection)>;

    explicit ScriptedServers(Script script);
    ~ScriptedServers();
    ScriptedServers(const ScriptedServers&) = delete;
    ScriptedServers& operator=(const ScriptedServers&) = delete;

    int port() const { return m_port; }
    int connections() const { return m_accepted.load(); }
    // Waits for every connection's script and returns all their commands, in connection order.
    std::vector<std::string> finish();

private:
    void acceptLoop();

    Script m_script;
    int m_listen = -1;
    int m_port = 0;
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_accepted{0};
    std::mutex m_mutex;
    std::vector<std::unique_ptr<ScriptedServer>> m_servers;
    std::vector<std::thread> m_relays;
    std::thread m_thread;
};

// A small FTP server over a ScriptedServer, serving files held in memory, with the ways a
// server may misbehave that a queue must survive. Shared by every connection of a test.
class FakeFtp {
public:
    struct File {
        std::string data;
        std::int64_t time = 0; // seconds since 1970 UTC
    };
    struct Behaviour {
        bool ignoreRest = false;   // REST answered 350, the file then sent from byte 0
        bool refuseRest = false;   // REST answered 502
        bool mlsd = true;          // FEAT offers MLSD (else listings are refused)
        std::size_t dropAfter = 0; // a RETR / STOR of a connection that drops ends the
                                   // control and data connections after this many bytes
        std::vector<int> dropping; // the connections (0 first) whose transfer drops
        std::vector<int> stalling; // connections whose RETR sends dropAfter bytes, then waits
                                   // for the client's ABOR or its end
        std::vector<int> refusing; // connections answered "421 Too many connections"
        std::vector<std::string> unlistable; // folders whose listing is refused (550)
        bool renameKeepsExisting = false;    // RNTO onto an existing file: 553 (Windows servers)
        bool tls = false;        // AUTH TLS, then protected control and data connections
        bool hideSizes = false;  // SIZE refused; no size in listings or in the 150
        bool bareTlsEnd = false; // RETR data ends without close_notify (after dropAfter bytes
                                 // when set), then 226
    };

    FakeFtp();
    explicit FakeFtp(Behaviour behaviour) : m_behaviour(std::move(behaviour)) {}

    void put(const std::string& path, std::string data, std::int64_t time = 1700000000);
    void folder(const std::string& path);
    std::optional<File> file(const std::string& path) const;
    bool hasFolder(const std::string& path) const;
    // Serves one control connection until QUIT or its end.
    void serve(ScriptedServer& server, int connection);

private:
    bool in(const std::vector<int>& list, int connection) const;

    Behaviour m_behaviour;
    mutable std::mutex m_mutex;
    std::map<std::string, File> m_files;
    std::map<std::string, bool> m_folders{{"/", true}};
};

} // namespace tw::test

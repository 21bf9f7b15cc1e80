#pragma once

#include <atomic>
#include <functional>
#include <initializer_list>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

struct ssl_st;

namespace tw::test {

// An FTP server that plays a script: it binds 127.0.0.1 on a free port, accepts one client and
// runs the script on its own thread, recording every command line it receives. Every wait of
// the server is bounded, so a client that misbehaves cannot hang a test.
// A socket listening on 127.0.0.1 at a port the system chooses (put in `port`); -1 on failure.
int ListenLoopback(int& port, int backlog = 4);

class ScriptedServer {
public:
    using Script = std::function<void(ScriptedServer&)>;

    explicit ScriptedServer(Script script);
    ~ScriptedServer();
    ScriptedServer(const ScriptedServer&) = delete;
    ScriptedServer& operator=(const ScriptedServer&) = delete;

    int port() const { return m_port; }
    // Waits for the script to end (and the client's last commands) and returns what it got.
    std::vector<std::string> finish();

    // --- used by scripts ---
    // The next command line, recorded; empty when the client closed or said nothing for 5 s.
    std::string command();
    // Reads commands until QUIT (answered) or until the client closes (or 5 s pass).
    void drain();
    void reply(std::string_view line);
    // Reads one command for each of `replies` and answers it with that reply, in order.
    void answer(std::initializer_list<std::string_view> replies);
    bool sendRaw(std::string_view bytes);
    void closeControl();
    // USER/PASS/FEAT/SYST/TYPE I with the given FEAT lines (none: FEAT is refused), after
    // the greeting unless `greet` is false (the greeting was sent before AUTH TLS).
    void login(const std::vector<std::string>& features = {}, bool greet = true);
    // The SYST answer login() gives.
    void setSystem(std::string reply) { m_system = std::move(reply); }
    // A data listener on 127.0.0.1; returns its port.
    int listenData();
    bool acceptData();
    bool sendData(std::string_view bytes);
    // Reads a plain data connection to its end: true for an orderly end, false for a reset or
    // 5 s of silence.
    bool receiveData(std::string* bytes = nullptr);
    void closeData();
    // Answers an EPSV with a data listener (the client connects before its transfer command).
    void passive();
    void sleepMs(int ms);
    // Connects the data connection to the address of an "EPRT |1|h|port|" command.
    bool connectActive(std::string_view eprt);

    // --- FTP over TLS (a certificate made in memory for 127.0.0.1, self-signed) ---
    // The SHA-256 fingerprint of the certificate every scripted TLS connection shows.
    static std::string tlsFingerprint();
    // A TLS handshake on the control connection; later lines go through it.
    bool startTls();
    // A TLS handshake on the data connection. `resumable` false serves it from a context that
    // knows none of the control connection's sessions; with `requireReuse` a handshake that
    // did not resume one fails (the server closes the data connection).
    bool startDataTls(bool resumable = true, bool requireReuse = true);
    // Every TLS byte sent in its own TCP segment.
    void setSplitWrites(bool on) { m_split = on; }
    // Closes the data connection without close_notify.
    void dropDataTls();

private:
    bool pump(ssl_st* ssl, int fd, int rc);
    bool flushTls(ssl_st* ssl, int fd);
    void run(Script script);
    std::string readLine(int timeoutMs);

    int m_listen = -1;
    int m_control = -1;
    int m_dataListen = -1;
    int m_data = -1;
    int m_port = 0;
    ssl_st* m_ssl = nullptr;
    ssl_st* m_dataSsl = nullptr;
    bool m_split = false;
    std::string m_buffer;
    std::string m_system = "215 UNIX Type: L8";
    std::atomic<bool> m_stop{false};
    std::mutex m_mutex;
    std::vector<std::string> m_commands;
    std::thread m_thread;
};

} // namespace tw::test

#pragma once

// ConnectionPool: the queue's own FTP sessions to one server, all made from one SessionOptions
// (the browsing session's: same host, login, TLS mode and accepted certificate fingerprints, so
// nothing is asked again). Thread-safe; each session is used by one thread at a time.
//
//   ConnectionPool pool(options, 4, std::chrono::seconds(60), notice);
//   std::unique_ptr<RemoteSession> s = pool.take();    // an idle connected session, or a new one
//   if (!s->isConnected()) {
//       ConnectOutcome c = pool.connect(*s);         // the login, on the calling thread
//       if (c.kind == ConnectOutcome::Refused) ...   // the server's connection limit: wait
//   }
//   ... use *s ...
//   pool.give(std::move(s));                         // idle again (dropped when disconnected)
//
// The limit: at most `maxConnections` (1..10) sessions; the caller counts the sessions it
// holds against limit(). A login refused because of the server's connection limit (421 at the
// greeting or any login step, or 530 whose text speaks of too many / a limit / the maximum of
// connections) lowers limit() to the sessions the server took, and those still logging in,
// besides the refused one (never below 1),
// tells the notice "The server refused another connection: using N", and connect() returns
// Refused: the caller puts its item back and waits for a session. With no other session open
// the refusal is a failure worth another try later (ConnectOutcome::retryable).
//
// Idle sessions are closed (QUIT) after `idleTimeout` by closeExpired(), which the caller calls
// when it is idle anyway. The engine's notices of every session go to the same notice.

#include "ftp/ftp_session.h"

#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace tw::queue {

inline constexpr int kMaxConnections = 10;

struct ConnectOutcome {
    enum Kind { Connected, Refused, Failed };
    Kind kind = Connected;
    int error = 0;     // the engine's number when not connected
    std::string reply; // the server's reply lines, when it answered
    std::string text;  // one line for the item's row
    bool retryable = false;
};

class ConnectionPool {
public:
    using Clock = std::chrono::steady_clock;

    ConnectionPool(tw::ftp::SessionOptions options, int maxConnections,
                   std::chrono::milliseconds idleTimeout,
                   std::function<void(const std::string&)> notice);
    // Closes the idle sessions (without waiting for the server's goodbye).
    ~ConnectionPool();
    ConnectionPool(const ConnectionPool&) = delete;
    ConnectionPool& operator=(const ConnectionPool&) = delete;

    // How many sessions may be in use at once now.
    int limit() const;
    // A new maximum (clamped to 1..10); it also lifts a limit lowered by a refusal.
    void setMaxConnections(int maxConnections);

    // The most recently used idle session, else a new one not yet connected.
    std::unique_ptr<tw::ftp::RemoteSession> take();
    // Logs a new session in. abort() of the session from another thread ends it.
    ConnectOutcome connect(tw::ftp::RemoteSession& session);
    // A session back from its user: kept idle while it is connected, else dropped.
    void give(std::unique_ptr<tw::ftp::RemoteSession> session);
    // A session logged in elsewhere with the same options, kept idle from now on.
    void adopt(std::unique_ptr<tw::ftp::RemoteSession> session);
    // Closes (QUIT) the idle sessions unused for idleTimeout; returns when the next one is due.
    std::optional<Clock::time_point> closeExpired();
    // Sessions open (idle and in use) and idle.
    int openCount() const;
    int idleCount() const;

    // Whether a login failure is the server's connection limit speaking.
    static bool IsConnectionLimit(int error, std::string_view reply);

private:
    struct Idle {
        std::unique_ptr<tw::ftp::RemoteSession> session;
        Clock::time_point since;
    };

    tw::ftp::SessionOptions m_options;
    std::chrono::milliseconds m_idleTimeout;
    std::function<void(const std::string&)> m_notice;
    mutable std::mutex m_mutex;
    int m_max = 2;
    int m_limit = 2;
    int m_open = 0; // sessions handed out by take() and not yet dropped, plus the idle ones
    int m_connecting = 0;
    std::unordered_set<const tw::ftp::RemoteSession*> m_loggedIn; // the server took them
    std::vector<Idle> m_idle;
};

} // namespace tw::queue

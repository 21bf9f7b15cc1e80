#include "queue/connection_pool.h"

#include "ftp/ftp_error.h"
#include "ftp/ftp_reply.h"
#include "queue/resumable_copy.h"
#include "sftp/session_factory.h"

#include <algorithm>
#include <cctype>

namespace tw::queue {

namespace {

int clampConnections(int n) {
    return std::clamp(n, 1, kMaxConnections);
}

std::string lower(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

} // namespace

ConnectionPool::ConnectionPool(tw::ftp::SessionOptions options, int maxConnections,
                               std::chrono::milliseconds idleTimeout,
                               std::function<void(const std::string&)> notice)
    : m_options(std::move(options)), m_idleTimeout(idleTimeout), m_notice(std::move(notice)) {
    m_max = m_limit = clampConnections(maxConnections);
    // The browsing session's notice belongs to its own thread: these sessions tell the pool's.
    m_options.notice = m_notice;
}

ConnectionPool::~ConnectionPool() {
    for (Idle& idle : m_idle)
        idle.session->close(false);
}

int ConnectionPool::limit() const {
    std::lock_guard lock(m_mutex);
    return m_limit;
}

void ConnectionPool::setMaxConnections(int maxConnections) {
    std::lock_guard lock(m_mutex);
    m_max = m_limit = clampConnections(maxConnections);
}

int ConnectionPool::openCount() const {
    std::lock_guard lock(m_mutex);
    return m_open;
}

int ConnectionPool::idleCount() const {
    std::lock_guard lock(m_mutex);
    return int(m_idle.size());
}

std::unique_ptr<tw::ftp::RemoteSession> ConnectionPool::take() {
    std::lock_guard lock(m_mutex);
    if (!m_idle.empty()) {
        auto session = std::move(m_idle.back().session);
        m_idle.pop_back();
        return session;
    }
    ++m_open;
    return tw::sftp::MakeSession(m_options.protocol);
}

bool ConnectionPool::IsConnectionLimit(int error, std::string_view reply) {
    const int code = tw::ftp::ReplyCode(reply);
    if (code == 421)
        return true;
    if (code != 530 || error == tw::ftp::kErrNone)
        return false;
    const std::string text = lower(reply);
    return text.find("too many") != std::string::npos || text.find("limit") != std::string::npos ||
           text.find("maximum") != std::string::npos;
}

ConnectOutcome ConnectionPool::connect(tw::ftp::RemoteSession& session) {
    {
        std::lock_guard lock(m_mutex);
        ++m_connecting;
    }
    const bool connected = session.connect(m_options);
    {
        std::lock_guard lock(m_mutex);
        --m_connecting;
        if (connected)
            m_loggedIn.insert(&session);
    }
    if (connected)
        return ConnectOutcome{};
    ConnectOutcome out;
    out.kind = ConnectOutcome::Failed;
    out.error = session.lastError();
    out.reply = session.lastResponse();
    out.text = "cannot connect: " + EngineErrorText(session);
    out.retryable = IsConnectionFailure(out.error, out.reply);
    if (out.error == tw::ftp::kErrOperationCancelled || !IsConnectionLimit(out.error, out.reply))
        return out;
    out.retryable = true;
    std::string notice;
    {
        std::lock_guard lock(m_mutex);
        const int others = int(m_loggedIn.size()) + m_connecting;
        if (others < 1)
            return out;
        out.kind = ConnectOutcome::Refused;
        if (others < m_limit) {
            m_limit = others;
            notice = "The server refused another connection: using " + std::to_string(others);
        }
    }
    if (!notice.empty() && m_notice)
        m_notice(notice);
    return out;
}

void ConnectionPool::give(std::unique_ptr<tw::ftp::RemoteSession> session) {
    if (!session)
        return;
    std::unique_lock lock(m_mutex);
    if (session->isConnected() && m_open <= m_limit) {
        m_idle.push_back(Idle{std::move(session), Clock::now()});
        return;
    }
    --m_open;
    m_loggedIn.erase(session.get());
    lock.unlock();
    session->close(false);
}

void ConnectionPool::adopt(std::unique_ptr<tw::ftp::RemoteSession> session) {
    if (!session || !session->isConnected())
        return;
    {
        std::lock_guard lock(m_mutex);
        ++m_open;
        m_loggedIn.insert(session.get());
    }
    session->setNotice(m_notice);
    give(std::move(session));
}

std::optional<ConnectionPool::Clock::time_point> ConnectionPool::closeExpired() {
    std::vector<std::unique_ptr<tw::ftp::RemoteSession>> expired;
    std::optional<Clock::time_point> next;
    {
        std::lock_guard lock(m_mutex);
        const auto now = Clock::now();
        for (auto it = m_idle.begin(); it != m_idle.end();) {
            const auto due = it->since + m_idleTimeout;
            if (due <= now || !it->session->isConnected()) {
                m_loggedIn.erase(it->session.get());
                expired.push_back(std::move(it->session));
                it = m_idle.erase(it);
                --m_open;
            } else {
                next = next ? std::min(*next, due) : due;
                ++it;
            }
        }
    }
    for (auto& session : expired)
        session->close();
    return next;
}

} // namespace tw::queue

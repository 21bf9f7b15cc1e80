// FtpSession's start and end: the name lookup, the control connection, the login, what FEAT
// and SYST tell, and QUIT.

#include "ftp/ftp_session.h"
#include "ftp/ftp_session_internal.h"

#include "ftp/ftp_error.h"
#include "ftp/listing_parser.h"
#include "ftp/name_safety.h"
#include "ftp/tls_socket.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <mutex>
#include <netdb.h>
#include <poll.h>
#include <system_error>
#include <thread>
#include <unistd.h>

namespace tw::ftp {

namespace {

bool startsWithNoCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size())
        return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        char c = text[i];
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
        if (c != prefix[i])
            return false;
    }
    return true;
}

// The lookups on helper threads that have not ended, across the process.
std::atomic<int> g_pendingLookups{0};
std::atomic<NameLookupFunction> g_lookupFunction{nullptr};

// A name lookup on a helper thread. getaddrinfo() cannot be interrupted, so the caller waits
// for the wake-up pipe with its own timeout and cancellation; an abandoned lookup finishes on
// its own and the last owner frees the result and the pipe. A name server that never answers
// keeps its threads, so at most kMaxPendingNameLookups run at once.
struct NameLookup {
    std::mutex mutex;
    addrinfo* result = nullptr;
    int rc = EAI_FAIL;
    int wakeRead = -1;
    int wakeWrite = -1;

    NameLookup() {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) == 0) {
            wakeRead = fds[0];
            wakeWrite = fds[1];
        }
    }
    ~NameLookup() {
        if (result)
            ::freeaddrinfo(result);
        if (wakeRead >= 0)
            ::close(wakeRead);
        if (wakeWrite >= 0)
            ::close(wakeWrite);
    }
    NameLookup(const NameLookup&) = delete;
    NameLookup& operator=(const NameLookup&) = delete;
};

// Takes one of the kMaxPendingNameLookups places; false when all are taken.
bool reserveLookup() {
    int pending = g_pendingLookups.load();
    do {
        if (pending >= kMaxPendingNameLookups)
            return false;
    } while (!g_pendingLookups.compare_exchange_weak(pending, pending + 1));
    return true;
}

int lookUp(const std::string& host, const std::string& port, int flags, addrinfo** found,
           NameLookupFunction function = ::getaddrinfo) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = flags | AI_ADDRCONFIG;
    int rc = function(host.c_str(), port.c_str(), &hints, found);
    if (rc != 0) {
        hints.ai_flags = flags; // a numeric ::1 on a host without a global IPv6 address
        rc = function(host.c_str(), port.c_str(), &hints, found);
    }
    return rc;
}

void appendAddresses(const addrinfo* list, std::vector<SocketAddress>& addresses) {
    for (const addrinfo* ai = list; ai; ai = ai->ai_next) {
        if (ai->ai_addrlen > sizeof(sockaddr_storage))
            continue;
        SocketAddress address;
        std::memcpy(&address.storage, ai->ai_addr, ai->ai_addrlen);
        address.length = static_cast<socklen_t>(ai->ai_addrlen);
        addresses.push_back(address);
    }
}

} // namespace

void SetNameLookupFunction(NameLookupFunction function) {
    g_lookupFunction = function;
}

int PendingNameLookups() {
    return g_pendingLookups.load();
}

int FtpSession::resolve(std::vector<SocketAddress>& addresses) {
    std::string host = m_options.host;
    if (host.size() > 2 && host.front() == '[' && host.back() == ']')
        host = host.substr(1, host.size() - 2);
    const std::string port = std::to_string(m_options.port);
    addrinfo* numeric = nullptr;
    if (lookUp(host, port, AI_NUMERICHOST | AI_NUMERICSERV, &numeric) == 0 && numeric) {
        appendAddresses(numeric, addresses);
        ::freeaddrinfo(numeric);
        return addresses.empty() ? kErrNameNotResolved : kErrNone;
    }
    if (!reserveLookup())
        return kErrTooManyLookups;
    auto lookup = std::make_shared<NameLookup>();
    if (lookup->wakeRead < 0) {
        --g_pendingLookups;
        return kErrOutOfHandles;
    }
    NameLookupFunction function = g_lookupFunction.load();
    if (!function)
        function = ::getaddrinfo;
    try {
        std::thread([lookup, host, port, function]() mutable {
            addrinfo* found = nullptr;
            const int rc = lookUp(host, port, AI_NUMERICSERV, &found, function);
            {
                std::lock_guard lock(lookup->mutex);
                lookup->result = found;
                lookup->rc = rc;
                const char b = 1;
                [[maybe_unused]] const auto n = ::write(lookup->wakeWrite, &b, 1);
            }
            lookup.reset(); // its pipe is closed before the place is given back
            --g_pendingLookups;
        }).detach();
    } catch (const std::system_error&) {
        --g_pendingLookups;
        return kErrOutOfHandles;
    }
    const int waited = WaitForSocket(lookup->wakeRead, POLLIN, m_options.timeoutMs, &m_cancel);
    if (waited != kErrNone)
        return waited;
    std::lock_guard lock(lookup->mutex);
    if (lookup->rc != 0 || !lookup->result)
        return kErrNameNotResolved;
    appendAddresses(lookup->result, addresses);
    return addresses.empty() ? kErrNameNotResolved : kErrNone;
}

int FtpSession::connectControl() {
    std::vector<SocketAddress> addresses;
    int err = resolve(addresses);
    if (err != kErrNone)
        return err;
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(m_options.timeoutMs);
    err = kErrCannotConnect;
    for (std::size_t i = 0; i < addresses.size(); ++i) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0)
            return kErrTimeout;
        const auto share = left / static_cast<long long>(addresses.size() - i);
        err = m_control.connectTo(addresses[i], static_cast<int>(std::max<long long>(share, 1)),
                                  &m_cancel);
        if (err == kErrNone || err == kErrOperationCancelled)
            break;
    }
    return err;
}

// Ends a connect() that failed: the session is closed (not dropped), lastResponse() keeps the
// server's words. A server that refused the login is told goodbye.
bool FtpSession::failConnect(int error, bool sayGoodbye) {
    const std::string reply = m_lastResponse;
    if (m_control.valid() && sayGoodbye)
        close();
    m_control.close();
    m_controlBuffer.clear();
    m_controlPos = 0;
    m_dropped = false;
    m_lastResponse = reply;
    if (error == kErrOperationCancelled)
        m_cancel.reset();
    return fail(error);
}

bool FtpSession::connect(const SessionOptions& options) {
    close();
    CallScope scope(*this);
    m_options = options;
    if (m_options.timeoutMs <= 0)
        m_options.timeoutMs = 30000;
    if (m_options.port == 0)
        m_options.port = m_options.tls == TlsMode::Implicit ? kImplicitTlsPort : 21;
    m_tls = {};
    m_rejected.reset();
    m_tlsContext.reset();
    m_dropped = false;
    m_hasMlsd = m_hasMlst = m_utf8 = m_hasSize = m_hasMdtm = m_hasMfmt = false;
    ResetDigestFeatures(m_hashAlgorithms, m_hashSelected, m_digestCommands, m_digestCommandsListed);
    m_epsvFailed = m_eprtFailed = false;
    m_system = ListingFamily::Unknown;
    m_listAll = ListAll::Unknown;
    m_lastResponse.clear();
    if (options.host.empty() || !IsSendableArgument(options.host))
        return fail(kErrNameNotResolved);
    if (m_options.tls != TlsMode::Plain) {
        TlsConfig config;
        config.caFile = m_options.caFile;
        for (const std::string& text : m_options.trustedFingerprints)
            if (const auto fingerprint = NormalizeFingerprint(text))
                config.trustedFingerprints.push_back(*fingerprint);
        config.onlyTrustedFingerprints = m_options.onlyTrustedFingerprints;
        config.verifyCertificate = m_options.verifyCertificate;
        config.maxVersion = m_options.tlsMaxVersion;
        m_tlsContext = std::make_unique<TlsContext>();
        if (m_tlsContext->init(config) != kErrNone)
            return fail(kErrInternalError);
    }

    int err = connectControl();
    if (err != kErrNone)
        return failConnect(err);
    m_control.setNoDelay();
    m_control.setKeepAlive(30, 10, 6);
    m_control.peerAddress(m_peer);
    m_control.localAddress(m_local);
    if (m_options.tls == TlsMode::Implicit && (err = secureControl()) != kErrNone)
        return failConnect(err, m_control.secured());

    // The greeting, after any "120 ready in a few minutes", within one timeout.
    FtpReply reply;
    err = readFinalReply(reply, DeadlineIn(m_options.timeoutMs));
    if (err != kErrNone)
        return failConnect(err);
    if (!reply.isSuccess())
        return failConnect(kErrLoginFailure, false); // a refusing greeting: nothing to end
    if (m_options.tls == TlsMode::ExplicitIfAvailable ||
        m_options.tls == TlsMode::ExplicitRequired) {
        err = negotiateTls();
        if (err != kErrNone)
            return failConnect(err, m_control.secured() || err == kErrTlsUnavailable);
    }
    err = login(m_options);
    if (err == kErrNone)
        err = readFeatures();
    if (err == kErrNone && m_utf8) {
        FtpReply ignored;
        err = command("OPTS UTF8 ON", ignored);
    }
    if (err == kErrNone)
        err = readSystem();
    if (err == kErrNone) {
        err = command("TYPE I", reply);
        if (err == kErrNone && !reply.isSuccess())
            err = replyError(reply);
    }
    if (err == kErrNone && m_control.secured())
        err = protectData();
    if (err != kErrNone)
        return failConnect(err);
    m_dropped = false;
    m_ready = true;
    return succeed();
}

int FtpSession::login(const SessionOptions& options) {
    const bool anonymous = options.user.empty();
    const std::string user = anonymous ? std::string("anonymous") : options.user;
    std::string password = anonymous ? std::string(kAnonymousPassword) : options.password;
    // An explicit anonymous login without a password gets the conventional one too.
    if (password.empty() && (user == "anonymous" || user == "ftp"))
        password = kAnonymousPassword;
    if (!IsSendableArgument(user) || !IsSendableArgument(password))
        return kErrInvalidOperation;
    FtpReply reply;
    int err = command("USER " + user, reply);
    if (err != kErrNone)
        return err;
    if (reply.isSuccess())
        return kErrNone;
    if (reply.code != 331 && reply.code != 332)
        return kErrIncorrectUserName;
    err = command("PASS " + password, reply);
    if (err != kErrNone)
        return err;
    if (reply.isSuccess())
        return kErrNone;
    if (reply.code == 530)
        return kErrIncorrectPassword;
    return kErrLoginFailure;
}

int FtpSession::readFeatures() {
    FtpReply reply;
    const int err = command("FEAT", reply);
    if (err != kErrNone || reply.code != 211)
        return err;
    std::string mlstFacts;
    for (std::size_t i = 1; i + 1 < reply.lines.size(); ++i) {
        std::string_view feature = reply.lines[i];
        while (!feature.empty() && feature.front() == ' ')
            feature.remove_prefix(1);
        if (startsWithNoCase(feature, "MLST")) {
            m_hasMlsd = m_hasMlst = true;
            mlstFacts = std::string(feature.substr(4));
        } else if (startsWithNoCase(feature, "MLSD"))
            m_hasMlsd = true;
        else if (startsWithNoCase(feature, "UTF8"))
            m_utf8 = true;
        else if (startsWithNoCase(feature, "SIZE"))
            m_hasSize = true;
        else if (startsWithNoCase(feature, "MDTM"))
            m_hasMdtm = true;
        else if (startsWithNoCase(feature, "MFMT"))
            m_hasMfmt = true;
        else
            ReadDigestFeature(feature, m_hashAlgorithms, m_hashSelected, m_digestCommands,
                              m_digestCommandsListed);
    }
    return askMlstFacts(mlstFacts);
}

// "MLST type*;size*;modify*;perm;unix.mode;...": facts without "*" are offered but not sent
// unless asked for. Where the Unix mode, owner or group are among them, OPTS MLST asks for them
// with the facts already sent; a refusal leaves the listing as it was.
int FtpSession::askMlstFacts(std::string_view offered) {
    static constexpr std::string_view kWanted[] = {
        "type",       "size",       "modify",   "create",   "perm",           "unix.mode",
        "unix.owner", "unix.group", "unix.uid", "unix.gid", "unix.ownername", "unix.groupname"};
    std::string facts;
    bool missing = false;
    while (!offered.empty()) {
        while (!offered.empty() && (offered.front() == ' ' || offered.front() == ';'))
            offered.remove_prefix(1);
        const std::size_t end = offered.find(';');
        std::string_view fact = offered.substr(0, end);
        offered = end == std::string_view::npos ? std::string_view{} : offered.substr(end + 1);
        const bool sent = !fact.empty() && fact.back() == '*';
        if (sent)
            fact.remove_suffix(1);
        std::string lower(fact);
        for (char& c : lower)
            if (c >= 'A' && c <= 'Z')
                c = static_cast<char>(c - 'A' + 'a');
        for (const std::string_view wanted : kWanted)
            if (lower == wanted) {
                facts += lower + ";";
                missing = missing || (!sent && lower.starts_with("unix."));
            }
    }
    if (!missing || !IsSendableArgument(facts))
        return kErrNone;
    FtpReply reply;
    return command("OPTS MLST " + facts, reply);
}

int FtpSession::readSystem() {
    FtpReply reply;
    const int err = command("SYST", reply);
    if (err != kErrNone || reply.code != 215)
        return err;
    m_system = SystemFamily(reply.lines.front());
    return kErrNone;
}

bool FtpSession::close(bool waitForGoodbye) {
    CallScope scope(*this);
    if (m_fileState != FileState::None)
        abortTransfer();
    m_found.clear();
    m_ready = false; // a stop while saying goodbye just closes
    int result = kErrNone;
    if (m_control.valid()) {
        result = sendLine("QUIT");
        if (result == kErrNone && waitForGoodbye) {
            FtpReply reply;
            result = readFinalReply(reply, DeadlineIn(std::min(m_options.timeoutMs, 5000)));
            if (result == kErrNone && !reply.isSuccess())
                result = kErrExtendedError;
        }
        // A server that has gone already (its 421 pending, the connection closed or reset)
        // has nothing left to say: the session ended.
        if (result == kErrFtpDropped || result == kErrConnectionReset ||
            result == kErrConnectionAborted)
            result = kErrNone;
        m_control.close();
    }
    m_data.close();
    m_listener.close();
    m_tls = {};
    m_tlsContext.reset();
    m_controlBuffer.clear();
    m_controlPos = 0;
    m_dropped = false;
    m_fileState = FileState::None;
    m_lastError = result;
    return result == kErrNone;
}

} // namespace tw::ftp

// FTP over TLS against scripted servers that misbehave: none may crash, hang past the
// timeout, send the password in clear or report a short file as transferred.
#include "ftp/ftp_error.h"
#include "ftp/ftp_session.h"
#include "integration/ftp/scripted_session.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace tw::ftp;
using tw::test::ScriptedServer;

namespace {

// The greeting, AUTH TLS accepted and the handshake, then the login and PBSZ / PROT.
void secureLogin(ScriptedServer& s) {
    s.reply("220 Scripted TLS server ready.");
    s.command(); // AUTH TLS
    s.reply("234 Proceed with negotiation.");
    if (!s.startTls())
        return;
    s.login({"SIZE"}, false);
    s.command(); // PBSZ 0
    s.reply("200 PBSZ=0");
    s.command(); // PROT P
    s.reply("200 Protection set to Private");
}

SessionOptions tlsOptions(const ScriptedServer& server, TlsMode mode = TlsMode::ExplicitRequired) {
    SessionOptions o = tw::test::optionsFor(server, 2000);
    o.tls = mode;
    o.user = "alice";
    o.password = "hunter2";
    o.trustedFingerprints = {ScriptedServer::tlsFingerprint()};
    return o;
}

std::string payload(std::size_t size) {
    std::string data(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        data[i] = static_cast<char>((i * 131) ^ (i >> 9));
    return data;
}

} // namespace

// Connecting: what each broken server gives, and that USER / PASS never went in clear.
TEST(FtpTlsHostile, ConnectFailuresNeverSendThePasswordInClear) {
    struct Case {
        const char* name;
        TlsMode mode;
        ScriptedServer::Script script;
        int error;
    };
    const Case cases[] = {
        {"AUTH accepted, then garbage instead of a handshake", TlsMode::ExplicitRequired,
         [](ScriptedServer& s) {
             s.reply("220 ready");
             s.command();
             s.reply("234 Proceed.");
             s.sendRaw(std::string("\x16\x03\x01\x00\x04junk", 9));
             s.drain();
         },
         kErrTlsHandshake},
        {"a plain-text reply where TLS is expected", TlsMode::ExplicitRequired,
         [](ScriptedServer& s) {
             s.reply("220 ready");
             s.command();
             s.reply("234 Proceed.");
             s.reply("331 Password please.");
             s.drain();
         },
         kErrTlsHandshake},
        {"implicit TLS to a plain server", TlsMode::Implicit,
         [](ScriptedServer& s) {
             s.reply("220 plain ready");
             s.drain();
         },
         kErrTlsHandshake},
        {"AUTH refused with 530 when required", TlsMode::ExplicitRequired,
         [](ScriptedServer& s) {
             s.reply("220 ready");
             s.command();
             s.reply("530 Please login with USER and PASS.");
             s.drain();
         },
         kErrTlsUnavailable},
        {"AUTH unknown (502) when required", TlsMode::ExplicitRequired,
         [](ScriptedServer& s) {
             s.reply("220 ready");
             s.command();
             s.reply("502 Command not implemented.");
             s.drain();
         },
         kErrTlsUnavailable},
        {"PROT P refused", TlsMode::ExplicitIfAvailable,
         [](ScriptedServer& s) {
             s.reply("220 ready");
             s.command();
             s.reply("234 Proceed.");
             if (!s.startTls())
                 return;
             s.login({}, false);
             s.command(); // PBSZ
             s.reply("200 PBSZ=0");
             s.command(); // PROT P
             s.reply("536 PROT P not supported.");
             s.drain();
         },
         kErrTlsProtectionRefused},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedServer server(c.script);
        FtpSession session;
        const auto started = std::chrono::steady_clock::now();
        EXPECT_FALSE(session.connect(tlsOptions(server, c.mode)));
        EXPECT_EQ(session.lastError(), c.error) << session.lastResponse();
        EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
        session.close();
        const auto commands = server.finish();
        if (c.error != kErrTlsProtectionRefused) {
            EXPECT_FALSE(tw::test::contains(commands, "USER"));
            EXPECT_FALSE(tw::test::contains(commands, "PASS"));
            for (const std::string& line : commands)
                EXPECT_EQ(line.find("hunter2"), std::string::npos) << "in clear: " << line;
        }
    }

    // A server without TLS in if-available mode: plain FTP, and the caller is told.
    ScriptedServer plain([](ScriptedServer& s) {
        s.reply("220 ready");
        s.command();
        s.reply("500 AUTH not understood.");
        s.command(); // USER
        s.reply("331 Password please.");
        s.command(); // PASS
        s.reply("230 Logged in.");
        s.command(); // FEAT
        s.reply("502 no");
        s.command();
        s.reply("215 UNIX Type: L8");
        s.command();
        s.reply("200 Binary.");
        s.drain();
    });
    std::vector<std::string> notices;
    SessionOptions o = tlsOptions(plain, TlsMode::ExplicitIfAvailable);
    o.notice = [&](const std::string& text) { notices.push_back(text); };
    FtpSession session;
    ASSERT_TRUE(session.connect(o)) << session.lastError();
    EXPECT_FALSE(session.tlsState().encrypted());
    EXPECT_EQ(notices.size(), 1u);
    session.close();
}

// Downloads over protected data connections: byte-by-byte records, a bare close before and at
// the end, with and without a known size, a data connection that cannot resume the session.
TEST(FtpTlsHostile, DownloadsEndOnlyWhenComplete) {
    const std::string data = payload(100000);
    struct Case {
        const char* name;
        bool split;
        std::size_t sent; // bytes sent before the data connection ends
        bool closeNotify; // ends with close_notify, else a bare close
        bool announce;    // SIZE answered
        bool resumable;   // the data connection can resume the control session
        bool accept;      // OpenOptions::acceptUnconfirmedEnd
        int error;
    };
    const Case cases[] = {
        {"records split byte by byte", true, 3000, true, true, true, false, kErrNone},
        {"complete with close_notify", false, data.size(), true, true, true, false, kErrNone},
        {"complete with close_notify, no size", false, data.size(), true, false, true, false,
         kErrNone},
        {"complete, bare close, size announced", false, data.size(), false, true, true, false,
         kErrNone},
        {"bare close in the middle", false, 40000, false, true, true, false, kErrTlsTruncated},
        // No size and no close_notify: 226 cannot vouch for a cut the attacker made.
        {"half, bare close, no size, 226", false, 50000, false, false, true, false,
         kErrTlsEndUnconfirmed},
        {"complete, bare close, no size, 226", false, data.size(), false, false, true, false,
         kErrTlsEndUnconfirmed},
        {"complete, bare close, no size, accepted", false, data.size(), false, false, true, true,
         kErrNone},
        {"session not resumed", false, data.size(), true, true, false, false,
         kErrTlsDataConnection},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string sent = data.substr(0, c.sent);
        const std::size_t size = c.split ? c.sent : data.size();
        ScriptedServer server([&](ScriptedServer& s) {
            secureLogin(s);
            s.setSplitWrites(c.split);
            s.command(); // SIZE
            s.reply(c.announce ? "213 " + std::to_string(size) : std::string("550 No."));
            s.passive();
            s.command(); // RETR
            s.reply("150 Opening BINARY mode data connection.");
            if (!s.startDataTls(c.resumable)) {
                s.reply("522 SSL connection failed: session reuse required");
                s.drain();
                return;
            }
            s.sendData(sent);
            if (c.closeNotify)
                s.closeData();
            else
                s.dropDataTls();
            s.reply("226 Transfer complete.");
            s.drain();
        });
        std::vector<std::string> notices;
        SessionOptions o = tlsOptions(server);
        // 100 000 one-byte records take their time on a loaded machine; no case ends by a
        // timeout, so a long one only bounds a hang.
        o.timeoutMs = 10000;
        o.notice = [&](const std::string& text) { notices.push_back(text); };
        FtpSession session;
        ASSERT_TRUE(session.connect(o)) << session.lastError();
        EXPECT_TRUE(session.tlsState().dataProtected);
        std::string got;
        FtpSession::OpenOptions open;
        open.acceptUnconfirmedEnd = c.accept;
        bool ok = session.openFile("f.bin", FtpSession::OpenMode::Read, open);
        std::vector<char> block(8192);
        std::size_t n = 0;
        while (ok && (ok = session.readFile(block.data(), block.size(), n)) && n > 0)
            got.append(block.data(), n);
        const bool closed = session.closeFile();
        if (c.error == kErrNone) {
            EXPECT_TRUE(ok && closed) << session.lastError() << " " << session.lastResponse();
            EXPECT_TRUE(got == sent);
        } else {
            EXPECT_FALSE(ok && closed);
            EXPECT_EQ(session.lastError(), c.error) << session.lastResponse();
        }
        const bool unconfirmed = !c.closeNotify && !c.announce;
        const bool warned = std::any_of(notices.begin(), notices.end(), [](const std::string& n) {
            return n.find("may be only part of the file") != std::string::npos;
        });
        EXPECT_EQ(warned, unconfirmed);
        session.close();
        server.finish();
    }
}

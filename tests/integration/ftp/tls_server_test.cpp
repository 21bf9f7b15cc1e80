// FTP over TLS against real servers: vsftpd (explicit and implicit, require_ssl_reuse) and
// pyftpdlib's TLS handler, with certificates the fixture makes.
#include "ftp/ftp_error.h"
#include "ftp/ftp_session.h"
#include "ftp_test_servers.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <fstream>
#include <unistd.h>

#include <map>

using namespace tw::ftp;
using tw::test::FtpTestServer;
namespace fs = std::filesystem;

namespace {

using TlsSetup = FtpTestServer::TlsSetup;
using Kind = FtpTestServer::Kind;

std::unique_ptr<FtpTestServer> startOrSkip(Kind kind, const TlsSetup& setup, std::string& why) {
    return FtpTestServer::startTls(kind, "127.0.0.1", setup, why);
}

SessionOptions optionsFor(const FtpTestServer& server, TlsMode mode) {
    SessionOptions o;
    o.host = server.host();
    o.port = server.port();
    o.user = server.user();
    o.password = server.password();
    o.timeoutMs = 5000;
    o.tls = mode;
    o.caFile = server.caFile().string();
    return o;
}

std::string pattern(std::size_t size, unsigned seed) {
    std::string data(size, '\0');
    std::uint32_t x = seed * 2654435761u + 7;
    for (auto& c : data) {
        x = x * 1103515245u + 12345u;
        c = static_cast<char>(x >> 16);
    }
    return data;
}

bool put(FtpSession& s, const std::string& remote, const std::string& data, bool fromFd,
         const fs::path& scratch) {
    if (!s.openFile(remote, FtpSession::OpenMode::Write))
        return false;
    bool ok = true;
    if (fromFd) {
        std::ofstream(scratch, std::ios::binary).write(data.data(), std::streamsize(data.size()));
        const int fd = ::open(scratch.c_str(), O_RDONLY);
        std::size_t moved = 0;
        do {
            ok = s.writeFileFrom(fd, 1 << 20, moved);
        } while (ok && moved > 0);
        ::close(fd);
    } else {
        for (std::size_t pos = 0; ok && pos < data.size(); pos += 100000) {
            std::size_t n = 0;
            ok =
                s.writeFile(data.data() + pos, std::min<std::size_t>(100000, data.size() - pos), n);
        }
    }
    return s.closeFile() && ok;
}

bool get(FtpSession& s, const std::string& remote, std::string& data, bool toFd,
         const fs::path& scratch) {
    data.clear();
    if (!s.openFile(remote, FtpSession::OpenMode::Read))
        return false;
    bool ok = true;
    std::size_t n = 0;
    if (toFd) {
        const int fd = ::open(scratch.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        do {
            ok = s.readFileTo(fd, 1 << 20, n);
        } while (ok && n > 0);
        ::close(fd);
        data = tw::test::ReadWholeFile(scratch);
    } else {
        std::vector<char> block(70000);
        do {
            ok = s.readFile(block.data(), block.size(), n);
            data.append(block.data(), n);
        } while (ok && n > 0);
    }
    return s.closeFile() && ok;
}

} // namespace

// Listing, upload and download of 0 bytes, one block and several MiB, both ways (buffered and
// through descriptors), passive and active, over every server and TLS version.
TEST(FtpTlsServers, TransfersAreProtectedAndComplete) {
    struct Case {
        const char* name;
        Kind kind;
        bool implicit;
        int maxVersion;
        const char* version;
    };
    const Case cases[] = {
        {"vsftpd explicit TLS 1.3", Kind::Vsftpd, false, 0, "TLSv1.3"},
        {"vsftpd explicit TLS 1.2", Kind::Vsftpd, false, 12, "TLSv1.2"},
        {"vsftpd implicit", Kind::Vsftpd, true, 0, "TLSv1.3"},
        {"pyftpdlib explicit TLS 1.3", Kind::Pyftpdlib, false, 13, "TLSv1.3"},
        {"pyftpdlib explicit TLS 1.2", Kind::Pyftpdlib, false, 12, "TLSv1.2"},
    };
    const std::size_t sizes[] = {0, 65536, 5 * 1024 * 1024 + 123};
    tw::test::TempDir local;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string why;
        TlsSetup setup;
        setup.implicit = c.implicit;
        auto server = startOrSkip(c.kind, setup, why);
        if (!server)
            GTEST_SKIP() << why;
        for (const bool passive : {true, false}) {
            SCOPED_TRACE(passive ? "passive" : "active");
            SessionOptions o =
                optionsFor(*server, c.implicit ? TlsMode::Implicit : TlsMode::ExplicitRequired);
            o.tlsMaxVersion = c.maxVersion;
            o.passive = passive;
            FtpSession s;
            ASSERT_TRUE(s.connect(o)) << s.lastError() << " " << s.lastResponse();
            EXPECT_EQ(s.tlsState().version, c.version);
            EXPECT_FALSE(s.tlsState().cipher.empty());
            EXPECT_TRUE(s.tlsState().dataProtected);
            EXPECT_EQ(s.tlsState().certificate.sha256, server->fingerprint());
            for (const std::size_t size : sizes) {
                SCOPED_TRACE(size);
                const std::string data = pattern(size, unsigned(size) + (passive ? 1 : 2));
                const std::string name = "f" + std::to_string(size) + (passive ? "p" : "a");
                for (const bool fd : {false, true}) {
                    ASSERT_TRUE(put(s, name, data, fd, local.path() / "up"))
                        << s.lastError() << " " << s.lastResponse();
                    EXPECT_EQ(tw::test::ReadWholeFile(server->root() / name), data);
                    std::string back;
                    ASSERT_TRUE(get(s, name, back, fd, local.path() / "down"))
                        << s.lastError() << " " << s.lastResponse();
                    EXPECT_EQ(back.size(), data.size());
                    EXPECT_TRUE(back == data);
                }
            }
            std::map<std::string, std::uint64_t> listed;
            DirEntry e;
            for (bool ok = s.findFirstFile("*", e); ok; ok = s.findNextFile(e))
                listed[e.name] = e.size;
            s.findClose();
            EXPECT_EQ(s.lastError(), kErrNoMoreFiles);
            EXPECT_EQ(listed["f65536" + std::string(passive ? "p" : "a")], 65536u) << listed.size();
            EXPECT_TRUE(s.close());
            EXPECT_FALSE(s.tlsState().encrypted());
        }
    }
}

// The four modes against TLS and plain servers: what connects, what is refused, and that no
// password crosses in clear when TLS was required.
TEST(FtpTlsServers, ModesDecideWhatIsSentInClear) {
    struct Case {
        const char* name;
        Kind kind;
        bool tlsServer;
        bool implicit;
        TlsMode mode;
        int error;
        bool encrypted;
    };
    const Case cases[] = {
        {"require vs plain vsftpd", Kind::Vsftpd, false, false, TlsMode::ExplicitRequired,
         kErrTlsUnavailable, false},
        {"require vs plain pyftpdlib", Kind::Pyftpdlib, false, false, TlsMode::ExplicitRequired,
         kErrTlsUnavailable, false},
        {"implicit vs plain vsftpd", Kind::Vsftpd, false, false, TlsMode::Implicit,
         kErrTlsHandshake, false},
        {"if available vs plain pyftpdlib", Kind::Pyftpdlib, false, false,
         TlsMode::ExplicitIfAvailable, kErrNone, false},
        // Plain vsftpd refuses AUTH with 530, as it refuses anything before the login.
        {"if available vs plain vsftpd", Kind::Vsftpd, false, false, TlsMode::ExplicitIfAvailable,
         kErrNone, false},
        {"if available vs TLS vsftpd", Kind::Vsftpd, true, false, TlsMode::ExplicitIfAvailable,
         kErrNone, true},
        {"plain vs TLS-only vsftpd", Kind::Vsftpd, true, false, TlsMode::Plain, -1, false},
        {"explicit vs implicit vsftpd", Kind::Vsftpd, true, true, TlsMode::ExplicitRequired, -1,
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string why;
        auto server = c.tlsServer ? FtpTestServer::startTls(c.kind, "127.0.0.1",
                                                            TlsSetup{{}, c.implicit, true}, why)
                                  : FtpTestServer::start(c.kind, "127.0.0.1", why);
        if (!server)
            GTEST_SKIP() << why;
        SessionOptions o = optionsFor(*server, c.mode);
        o.timeoutMs = 2000;
        o.password = "hunter2-secret";
        if (c.kind == Kind::Pyftpdlib)
            o.password = server->password();
        std::vector<std::string> notices;
        o.notice = [&](const std::string& text) { notices.push_back(text); };
        FtpSession s;
        const bool ok = s.connect(o);
        if (c.error == kErrNone) {
            ASSERT_TRUE(ok) << s.lastError() << " " << s.lastResponse();
            EXPECT_EQ(s.tlsState().encrypted(), c.encrypted);
            EXPECT_EQ(notices.size(), c.encrypted ? 0u : 1u);
            s.close();
        } else {
            EXPECT_FALSE(ok);
            if (c.error > 0) {
                EXPECT_EQ(s.lastError(), c.error) << s.lastResponse();
            }
        }
        s.close();
        const std::string log = server->serverLog();
        const bool explicitMode =
            c.mode == TlsMode::ExplicitRequired || c.mode == TlsMode::ExplicitIfAvailable;
        EXPECT_EQ(log.find("AUTH TLS") != std::string::npos, explicitMode && !c.implicit) << log;
        if (c.mode != TlsMode::Plain && c.error != kErrNone) {
            // vsftpd logs `"USER x"`, pyftpdlib `<- USER x`; neither may have come.
            for (const char* verb : {"\"USER", "\"PASS", "<- USER", "<- PASS"})
                EXPECT_EQ(log.find(verb), std::string::npos) << verb << "\n" << log;
            EXPECT_EQ(log.find("hunter2"), std::string::npos) << log;
        }
    }
}

// Untrusted, wrong-name and expired certificates each stop connect() with their own error and
// the certificate's details; that fingerprint trusted then connects; a pin is exclusive.
TEST(FtpTlsServers, CertificateChecksAndTrust) {
    using C = TlsSetup::Certificate;
    struct Case {
        C certificate;
        int error;
        CertificateProblem problem;
        bool selfSigned;
    };
    const Case cases[] = {
        {C::SelfSigned, kErrCertificateUntrusted, CertificateProblem::Untrusted, true},
        {C::WrongName, kErrCertificateName, CertificateProblem::NameMismatch, false},
        {C::Expired, kErrCertificateExpired, CertificateProblem::Expired, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(int(c.certificate));
        std::string why;
        TlsSetup setup;
        setup.certificate = c.certificate;
        auto server = startOrSkip(Kind::Vsftpd, setup, why);
        if (!server)
            GTEST_SKIP() << why;
        SessionOptions o = optionsFor(*server, TlsMode::ExplicitRequired);
        FtpSession s;
        ASSERT_FALSE(s.connect(o));
        EXPECT_EQ(s.lastError(), c.error);
        ASSERT_TRUE(s.rejectedCertificate().has_value());
        const CertificateInfo& info = *s.rejectedCertificate();
        EXPECT_EQ(info.sha256, server->fingerprint());
        EXPECT_EQ(info.problem, c.problem);
        EXPECT_EQ(info.selfSigned, c.selfSigned);
        EXPECT_FALSE(info.reason.empty());
        EXPECT_NE(info.subject.find("CN="), std::string::npos);
        EXPECT_FALSE(info.names.empty());
        EXPECT_LT(info.notBefore, info.notAfter);
        EXPECT_FALSE(s.tlsState().encrypted());

        o.trustedFingerprints = {info.sha256};
        ASSERT_TRUE(s.connect(o)) << s.lastError();
        EXPECT_FALSE(s.rejectedCertificate().has_value());
        EXPECT_EQ(s.tlsState().certificate.sha256, server->fingerprint());
        DirEntry e;
        EXPECT_FALSE(s.findFirstFile("/nothing-here*", e));
        EXPECT_EQ(s.lastError(), kErrNoMoreFiles); // a data connection works too
        s.close();

        o.trustedFingerprints.clear();
        o.verifyCertificate = false;
        EXPECT_TRUE(s.connect(o)) << s.lastError();
        s.close();
    }

    std::string why;
    auto server = startOrSkip(Kind::Vsftpd, TlsSetup{}, why);
    if (!server)
        GTEST_SKIP() << why;
    SessionOptions o = optionsFor(*server, TlsMode::ExplicitRequired);
    o.onlyTrustedFingerprints = true;
    o.trustedFingerprints = {std::string(95, 'A')};
    FtpSession s;
    EXPECT_FALSE(s.connect(o)); // valid, but not the pinned one
    EXPECT_EQ(s.lastError(), kErrCertificateInvalid);
    ASSERT_TRUE(s.rejectedCertificate().has_value());
    EXPECT_EQ(s.rejectedCertificate()->problem, CertificateProblem::Invalid);
    o.trustedFingerprints = {server->fingerprint()};
    EXPECT_TRUE(s.connect(o)) << s.lastError();
    s.close();
    o.onlyTrustedFingerprints = false;
    o.trustedFingerprints.clear();
    o.host = "localhost"; // the name is checked as well as the address
    EXPECT_TRUE(s.connect(o)) << s.lastError();
}

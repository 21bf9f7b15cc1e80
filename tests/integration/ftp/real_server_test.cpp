#include "ftp/ftp_error.h"
#include "ftp/ftp_session.h"
#include "ftp_test_servers.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <ctime>
#include <fstream>
#include <map>
#include <thread>

using namespace tw::ftp;
using tw::test::FtpTestServer;
namespace fs = std::filesystem;

namespace {

constexpr std::size_t kBlock = 4096;

std::map<std::string, DirEntry> findAll(FtpSession& s, const std::string& pattern) {
    std::map<std::string, DirEntry> out;
    DirEntry e;
    for (bool ok = s.findFirstFile(pattern, e); ok; ok = s.findNextFile(e))
        out[e.name] = e;
    s.findClose();
    return out;
}

bool upload(FtpSession& s, const std::string& remote, const std::string& data) {
    if (!s.openFile(remote, FtpSession::OpenMode::Write))
        return false;
    for (std::size_t pos = 0; pos < data.size(); pos += kBlock) {
        std::size_t written = 0;
        const std::size_t n = std::min(kBlock, data.size() - pos);
        if (!s.writeFile(data.data() + pos, n, written) || written != n) {
            s.closeFile();
            return false;
        }
    }
    return s.closeFile();
}

bool download(FtpSession& s, const std::string& remote, std::string& data) {
    data.clear();
    if (!s.openFile(remote, FtpSession::OpenMode::Read))
        return false;
    char block[kBlock];
    std::size_t got = 0;
    for (;;) {
        if (!s.readFile(block, sizeof block, got)) {
            s.closeFile();
            return false;
        }
        if (got == 0)
            break;
        data.append(block, got);
    }
    return s.closeFile();
}

struct Param {
    FtpTestServer::Kind kind;
    bool passive;
};

void PrintTo(const Param& p, std::ostream* os) {
    *os << (p.kind == FtpTestServer::Kind::Vsftpd ? "vsftpd" : "pyftpdlib")
        << (p.passive ? " passive" : " active");
}

std::string paramName(const testing::TestParamInfo<Param>& info) {
    return std::string(info.param.kind == FtpTestServer::Kind::Vsftpd ? "vsftpd" : "pyftpdlib") +
           (info.param.passive ? "Passive" : "Active");
}

class RealServer : public testing::TestWithParam<Param> {
protected:
    void SetUp() override {
        std::string why;
        m_server = FtpTestServer::start(GetParam().kind, "127.0.0.1", why);
        if (!m_server)
            GTEST_SKIP() << why;
        ASSERT_TRUE(m_session.connect(options()))
            << m_session.lastError() << " " << m_session.lastResponse();
        // vsftpd running as the launching user does not chroot: paths start at its root.
        ASSERT_TRUE(m_session.getCurrentDirectory(m_base));
        if (m_base.back() != '/')
            m_base += '/';
    }

    // The server path of a name in the served directory.
    std::string remote(const std::string& name) const { return m_base + name; }

    SessionOptions options() const {
        SessionOptions o;
        o.host = m_server->host();
        o.port = m_server->port();
        o.passive = GetParam().passive;
        o.timeoutMs = 5000;
        return o;
    }

    fs::path local(const std::string& name) const { return m_server->root() / name; }

    std::unique_ptr<FtpTestServer> m_server;
    FtpSession m_session;
    std::string m_base;
};

} // namespace

TEST_P(RealServer, AnonymousLoginStartsAtTheServedDirectory) {
    EXPECT_EQ(m_base, m_server->kind() == FtpTestServer::Kind::Vsftpd
                          ? m_server->root().string() + "/"
                          : std::string("/"));
    EXPECT_EQ(m_session.lastError(), kErrNone);
    EXPECT_TRUE(m_session.close());
    EXPECT_FALSE(m_session.isConnected());
}

TEST_P(RealServer, RefusedCwdKeepsTheServersText) {
    EXPECT_FALSE(m_session.setCurrentDirectory(remote("no such dir")));
    EXPECT_EQ(m_session.lastError(), kErrExtendedError);
    EXPECT_EQ(m_session.lastResponse().substr(0, 3), "550");
    // The session is still usable.
    fs::create_directory(local("sub dir"));
    EXPECT_TRUE(m_session.setCurrentDirectory(remote("sub dir")));
    std::string cwd;
    ASSERT_TRUE(m_session.getCurrentDirectory(cwd));
    EXPECT_EQ(cwd, remote("sub dir"));
}

TEST_P(RealServer, ListingWithMasks) {
    tw::test::WritePatternFile(local("a.txt"), 10, 1);
    tw::test::WritePatternFile(local("B.TXT"), 2000, 2);
    tw::test::WritePatternFile(local("c.bin"), 0, 3);
    fs::create_directory(local("folder"));
    const auto now = static_cast<std::int64_t>(std::time(nullptr));

    auto all = findAll(m_session, remote("*.*"));
    ASSERT_EQ(all.size(), 4u);
    EXPECT_EQ(all["B.TXT"].size, 2000u);
    EXPECT_TRUE(all["folder"].attributes & kAttributeDirectory);
    EXPECT_FALSE(all["a.txt"].attributes & kAttributeDirectory);
    EXPECT_NEAR(static_cast<double>(all["a.txt"].lastWriteTime), static_cast<double>(now), 120.0);

    auto txt = findAll(m_session, remote("*.txt"));
    ASSERT_EQ(txt.size(), 2u);
    EXPECT_TRUE(txt.count("a.txt") && txt.count("B.TXT"));
    EXPECT_EQ(findAll(m_session, remote("c.bin")).size(), 1u);
    EXPECT_EQ(findAll(m_session, remote("?.bin")).size(), 1u);

    DirEntry e;
    EXPECT_FALSE(m_session.findFirstFile(remote("*.zzz"), e));
    EXPECT_EQ(m_session.lastError(), kErrNoMoreFiles);
    EXPECT_FALSE(m_session.findFirstFile(remote("missing-dir/*.*"), e));
    EXPECT_NE(m_session.lastError(), kErrNone);
    // An empty directory.
    EXPECT_FALSE(m_session.findFirstFile(remote("folder/*.*"), e));
    EXPECT_EQ(m_session.lastError(), kErrNoMoreFiles);
}

// vsftpd lists dot files only for "LIST -a"; pyftpdlib answers MLSD and MLST. Existence: MLST
// on pyftpdlib, SIZE on vsftpd (which cannot tell a folder from a missing name).
TEST_P(RealServer, HiddenFilesAndExistence) {
    tw::test::WritePatternFile(local(".htaccess"), 9, 4);
    fs::create_directory(local("sub"));
    auto all = findAll(m_session, remote("*.*"));
    ASSERT_EQ(all.count(".htaccess"), 1u);
    EXPECT_TRUE(all[".htaccess"].attributes & kAttributeHidden);
    EXPECT_EQ(all.count(".") + all.count(".."), 0u);
    EXPECT_FALSE(m_session.namesIgnoreCase());
    const bool mlst = GetParam().kind == FtpTestServer::Kind::Pyftpdlib;
    EXPECT_EQ(m_session.pathExists(remote(".htaccess")), std::optional<bool>(true));
    EXPECT_EQ(m_session.pathExists(remote("missing")),
              mlst ? std::optional<bool>(false) : std::nullopt);
    EXPECT_EQ(m_session.pathExists(remote("sub")), mlst ? std::optional<bool>(true) : std::nullopt);
}

TEST_P(RealServer, TransfersOfEverySize) {
    for (const std::size_t size : {std::size_t{0}, kBlock, kBlock + 1, std::size_t{3 << 20} + 17}) {
        SCOPED_TRACE(size);
        const std::string name = "up-" + std::to_string(size) + ".bin";
        tw::test::WritePatternFile(local("source.bin"), size, static_cast<unsigned>(size));
        const std::string data = tw::test::ReadWholeFile(local("source.bin"));
        ASSERT_TRUE(upload(m_session, remote(name), data))
            << m_session.lastError() << " " << m_session.lastResponse();
        EXPECT_EQ(tw::test::ReadWholeFile(local(name)), data);
        std::string back;
        ASSERT_TRUE(download(m_session, remote(name), back))
            << m_session.lastError() << " " << m_session.lastResponse();
        EXPECT_TRUE(back == data);
    }
}

TEST_P(RealServer, BlockSizesFromTinyToLarge) {
    tw::test::WritePatternFile(local("blocks.bin"), 700001, 21);
    const std::string data = tw::test::ReadWholeFile(local("blocks.bin"));
    for (const std::size_t block : {std::size_t{1}, std::size_t{128}, std::size_t{1} << 20}) {
        SCOPED_TRACE(block);
        ASSERT_TRUE(m_session.openFile(remote("blocks.bin"), FtpSession::OpenMode::Read));
        std::vector<char> buf(block);
        std::string back;
        std::size_t n = 0;
        while (m_session.readFile(buf.data(), buf.size(), n) && n > 0) {
            // Every read but the last fills the whole block.
            if (back.size() + n < data.size()) {
                EXPECT_EQ(n, block);
            }
            back.append(buf.data(), n);
        }
        EXPECT_TRUE(m_session.closeFile()) << m_session.lastResponse();
        EXPECT_TRUE(back == data);
    }
    ASSERT_TRUE(m_session.openFile(remote("tiny-up.bin"), FtpSession::OpenMode::Write));
    for (std::size_t pos = 0; pos < data.size(); pos += 128) {
        std::size_t written = 0;
        const std::size_t n = std::min<std::size_t>(128, data.size() - pos);
        ASSERT_TRUE(m_session.writeFile(data.data() + pos, n, written));
        ASSERT_EQ(written, n);
    }
    ASSERT_TRUE(m_session.closeFile()) << m_session.lastResponse();
    EXPECT_TRUE(tw::test::ReadWholeFile(local("tiny-up.bin")) == data);
}

TEST_P(RealServer, FailedOpenAndWrongHandleUse) {
    EXPECT_FALSE(m_session.openFile(remote("missing.bin"), FtpSession::OpenMode::Read));
    EXPECT_EQ(m_session.lastError(), kErrExtendedError);
    EXPECT_EQ(m_session.lastResponse().substr(0, 1), "5");
    char buf[16];
    std::size_t n = 0;
    EXPECT_FALSE(m_session.readFile(buf, sizeof buf, n));
    EXPECT_EQ(m_session.lastError(), kErrIncorrectHandleState);

    tw::test::WritePatternFile(local("big.bin"), 1 << 20, 9);
    ASSERT_TRUE(m_session.openFile(remote("big.bin"), FtpSession::OpenMode::Read));
    EXPECT_FALSE(m_session.createDirectory("x"));
    EXPECT_EQ(m_session.lastError(), kErrFtpTransferInProgress);
    EXPECT_FALSE(m_session.writeFile(buf, sizeof buf, n));
    EXPECT_EQ(m_session.lastError(), kErrIncorrectHandleType);
    ASSERT_TRUE(m_session.readFile(buf, sizeof buf, n));
    // Closing before the end aborts the download and leaves the session usable.
    EXPECT_TRUE(m_session.closeFile());
    std::string cwd;
    EXPECT_TRUE(m_session.getCurrentDirectory(cwd))
        << m_session.lastError() << " " << m_session.lastResponse();
}

TEST_P(RealServer, DirectoryAndFileOperations) {
    ASSERT_TRUE(m_session.createDirectory(remote("made")));
    EXPECT_TRUE(fs::is_directory(local("made")));
    EXPECT_FALSE(m_session.createDirectory(remote("made")));
    EXPECT_EQ(m_session.lastError(), kErrExtendedError);

    tw::test::WritePatternFile(local("made/old.txt"), 5, 5);
    ASSERT_TRUE(m_session.renameFile(remote("made/old.txt"), remote("made/new name.txt")));
    EXPECT_TRUE(fs::exists(local("made/new name.txt")));
    EXPECT_FALSE(m_session.renameFile(remote("made/old.txt"), remote("made/x")));
    EXPECT_EQ(m_session.lastError(), kErrExtendedError);

    EXPECT_FALSE(m_session.removeDirectory(remote("made"))); // not empty
    ASSERT_TRUE(m_session.deleteFile(remote("made/new name.txt")));
    ASSERT_TRUE(m_session.removeDirectory(remote("made")));
    EXPECT_FALSE(fs::exists(local("made")));
    EXPECT_FALSE(m_session.deleteFile(remote("made/new name.txt")));
}

TEST(VsftpdFixture, CannotWriteOutsideItsFolderWhenRunAsRoot) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "the server runs as the launching user, who cannot write elsewhere";
    std::string why;
    auto server = FtpTestServer::start(FtpTestServer::Kind::Vsftpd, "127.0.0.1", why);
    if (!server)
        GTEST_SKIP() << why;
    if (::system("unshare -m --propagation private true 2>/dev/null") != 0)
        GTEST_SKIP() << "no mount namespaces here: the server is not confined";
    FtpSession session;
    SessionOptions o;
    o.host = server->host();
    o.port = server->port();
    o.timeoutMs = 5000;
    ASSERT_TRUE(session.connect(o)) << session.lastResponse();
    const fs::path outside =
        fs::temp_directory_path() / ("tw-escape-" + std::to_string(::getpid()));
    EXPECT_FALSE(session.createDirectory(outside.string()));
    EXPECT_FALSE(fs::exists(outside));
    fs::remove(outside);
    EXPECT_TRUE(session.createDirectory(server->root().string() + "/inside"));
    EXPECT_TRUE(fs::is_directory(server->root() / "inside"));
}

TEST_P(RealServer, NamesThatAreNotUtf8RoundTrip) {
    const std::string latin1 = "caf\xE9 \xFF.txt";
    tw::test::WritePatternFile(local(latin1), 300, 7);
    auto all = findAll(m_session, remote("*.*"));
    ASSERT_EQ(all.count(latin1), 1u);
    EXPECT_EQ(all[latin1].size, 300u);
    std::string data;
    ASSERT_TRUE(download(m_session, remote(all[latin1].name), data)) << m_session.lastResponse();
    EXPECT_EQ(data, tw::test::ReadWholeFile(local(latin1)));
    const std::string renamed = "\xFE\xFF renamed";
    ASSERT_TRUE(m_session.renameFile(remote(latin1), remote(renamed))) << m_session.lastResponse();
    EXPECT_TRUE(fs::exists(local(renamed)));
    ASSERT_TRUE(m_session.deleteFile(remote(renamed)));
    EXPECT_FALSE(fs::exists(local(renamed)));
}

// vsftpd offers MDTM only; pyftpdlib offers MDTM and MFMT, and lets only its named account
// (not the anonymous one) change a file's time.
TEST_P(RealServer, ModificationTimes) {
    constexpr std::int64_t kThen = 1614834367; // 2021-03-04 05:06:07 UTC
    constexpr std::int64_t kLater = 1234567890;
    tw::test::WritePatternFile(local("dated.txt"), 10, 8);
    const std::array<timespec, 2> times = {{{kThen, 0}, {kThen, 0}}};
    ASSERT_EQ(::utimensat(AT_FDCWD, local("dated.txt").c_str(), times.data(), 0), 0);
    EXPECT_EQ(m_session.modificationTime(remote("dated.txt")), std::optional(kThen));
    EXPECT_EQ(m_session.lastError(), kErrNone);
    EXPECT_EQ(m_session.modificationTime(remote("missing.txt")), std::nullopt);
    EXPECT_EQ(m_session.lastError(), kErrExtendedError);
    EXPECT_EQ(m_session.lastResponse().substr(0, 3), "550");

    const bool mfmt = GetParam().kind == FtpTestServer::Kind::Pyftpdlib;
    EXPECT_EQ(m_session.canSetModificationTime(), mfmt);
    EXPECT_FALSE(m_session.setModificationTime(remote("dated.txt"), kLater));
    EXPECT_EQ(m_session.lastError(), mfmt ? kErrExtendedError : kErrInvalidOperation);
    if (!mfmt)
        return;
    FtpSession named;
    SessionOptions o = options();
    o.user = m_server->user();
    o.password = m_server->password();
    ASSERT_TRUE(named.connect(o)) << named.lastResponse();
    ASSERT_TRUE(named.setModificationTime("/dated.txt", kLater)) << named.lastResponse();
    struct stat st {};
    ASSERT_EQ(::stat(local("dated.txt").c_str(), &st), 0);
    EXPECT_EQ(st.st_mtime, kLater);
    EXPECT_EQ(named.modificationTime("/dated.txt"), std::optional(kLater));
    EXPECT_FALSE(named.setModificationTime("/dated.txt", std::int64_t{253402300800}));
    EXPECT_EQ(named.lastError(), kErrInvalidOperation);
}

TEST_P(RealServer, AbortFromAnotherThreadLeavesTheSessionUsable) {
    tw::test::WritePatternFile(local("huge.bin"), 8 << 20, 11);
    ASSERT_TRUE(m_session.openFile(remote("huge.bin"), FtpSession::OpenMode::Read));
    char buf[kBlock];
    std::size_t n = 0;
    ASSERT_TRUE(m_session.readFile(buf, sizeof buf, n));
    std::thread canceller([this] { m_session.abort(); });
    canceller.join();
    bool failed = false;
    for (int i = 0; i < 10000 && !failed; ++i)
        failed = !m_session.readFile(buf, sizeof buf, n);
    ASSERT_TRUE(failed);
    EXPECT_EQ(m_session.lastError(), kErrOperationCancelled);
    EXPECT_FALSE(m_session.closeFile());
    EXPECT_EQ(m_session.lastError(), kErrOperationCancelled);
    std::string cwd;
    EXPECT_TRUE(m_session.getCurrentDirectory(cwd))
        << m_session.lastError() << " " << m_session.lastResponse();
}

// A download resumed past 4 GiB of a sparse file starts at the exact byte, in both modes; a
// stop leaves the session usable and SIZE gives the exact 64-bit size.
TEST_P(RealServer, RestartPastFourGibibytes) {
    constexpr std::uint64_t kSize = 5ULL << 30;
    constexpr std::uint64_t kOffset = 4294967396; // 4 GiB + 100
    const std::string marked = [] {
        std::string m(12000, '\0');
        for (std::size_t i = 0; i < m.size(); ++i)
            m[i] = static_cast<char>(i * 131 % 251);
        return m;
    }();
    {
        const int fd = ::open(local("sparse.bin").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::ftruncate(fd, static_cast<off_t>(kSize)), 0);
        ASSERT_EQ(::pwrite(fd, marked.data(), marked.size(), static_cast<off_t>(kOffset)),
                  static_cast<ssize_t>(marked.size()));
        ::close(fd);
    }
    ASSERT_TRUE(m_session.openFile(remote("sparse.bin"), FtpSession::OpenMode::Read,
                                   {kOffset, std::nullopt}))
        << m_session.lastError() << " " << m_session.lastResponse();
    EXPECT_EQ(m_session.openFileSize(), kSize);
    std::string got(8192, '\0');
    std::size_t n = 0;
    ASSERT_TRUE(m_session.readFile(got.data(), got.size(), n)) << m_session.lastError();
    ASSERT_EQ(n, got.size());
    EXPECT_TRUE(got == marked.substr(0, got.size()));
    EXPECT_FALSE(m_session.abortFile());
    EXPECT_EQ(m_session.lastError(), kErrOperationCancelled);
    EXPECT_EQ(m_session.fileSize(remote("sparse.bin")), kSize) << m_session.lastResponse();
    std::string cwd;
    EXPECT_TRUE(m_session.getCurrentDirectory(cwd))
        << m_session.lastError() << " " << m_session.lastResponse();
}

// The commands the server received, in order, from its log (pyftpdlib "<- CMD", vsftpd
// "FTP command: Client "addr", "CMD"").
std::vector<std::string> receivedCommands(const std::string& log) {
    std::vector<std::string> commands;
    std::size_t start = 0;
    for (std::size_t end; (end = log.find('\n', start)) != std::string::npos; start = end + 1) {
        const std::string_view line(log.data() + start, end - start);
        if (const auto at = line.find("] <- "); at != std::string_view::npos) {
            commands.emplace_back(line.substr(at + 5));
        } else if (line.find("FTP command: Client") != std::string_view::npos &&
                   line.back() == '"') {
            const auto open = line.rfind('"', line.size() - 2);
            commands.emplace_back(line.substr(open + 1, line.size() - open - 2));
        }
    }
    return commands;
}

// A queue's files cost one data connection command and the transfer command each: with the
// sizes from the listing no SIZE is asked, TYPE I was sent once at the login, and nothing is
// retried.
TEST_P(RealServer, EachFileCostsOnlyItsDataConnectionAndItsTransferCommand) {
    const std::vector<std::string> names = {"q1.bin", "q2.bin", "q3.bin"};
    for (std::size_t i = 0; i < names.size(); ++i)
        tw::test::WritePatternFile(local(names[i]), 10000 + i, static_cast<unsigned>(i));
    const auto listed = findAll(m_session, remote("q*.bin"));
    ASSERT_EQ(listed.size(), names.size());
    const std::size_t before = receivedCommands(m_server->serverLog()).size();
    for (const std::string& name : names) {
        ASSERT_TRUE(m_session.openFile(remote(name), FtpSession::OpenMode::Read,
                                       {0, listed.at(name).size}));
        std::string data(20000, '\0');
        std::size_t n = 0, total = 0;
        while (m_session.readFile(data.data() + total, data.size() - total, n) && n > 0)
            total += n;
        ASSERT_TRUE(m_session.closeFile()) << m_session.lastResponse();
        data.resize(total);
        EXPECT_EQ(data, tw::test::ReadWholeFile(local(name)));
        ASSERT_TRUE(upload(m_session, remote("up-" + name), data)) << m_session.lastResponse();
    }
    m_session.close();
    std::vector<std::string> expected;
    const std::string mode = GetParam().passive ? "EPSV" : "EPRT";
    for (const std::string& name : names)
        for (const std::string& command : {"RETR " + remote(name), "STOR " + remote("up-" + name)})
            expected.insert(expected.end(), {mode, command});
    expected.push_back("QUIT");
    std::vector<std::string> got = receivedCommands(m_server->serverLog());
    ASSERT_GE(got.size(), before);
    got.erase(got.begin(), got.begin() + static_cast<std::ptrdiff_t>(before));
    for (std::string& command : got) // the port of EPRT differs every time
        command = command.substr(0, command.rfind("EPRT", 0) == 0 ? 4 : std::string::npos);
    EXPECT_EQ(got, expected) << m_server->serverLog();
}

INSTANTIATE_TEST_SUITE_P(Servers, RealServer,
                         testing::Values(Param{FtpTestServer::Kind::Vsftpd, true},
                                         Param{FtpTestServer::Kind::Vsftpd, false},
                                         Param{FtpTestServer::Kind::Pyftpdlib, true},
                                         Param{FtpTestServer::Kind::Pyftpdlib, false}),
                         paramName);

// Named accounts and IPv6 run against pyftpdlib, whose accounts the fixture defines.
class NamedAccount : public testing::Test {
protected:
    void SetUp() override {
        std::string why;
        m_server = FtpTestServer::start(FtpTestServer::Kind::Pyftpdlib, "127.0.0.1", why);
        if (!m_server)
            GTEST_SKIP() << why;
        m_options.host = m_server->host();
        m_options.port = m_server->port();
        m_options.timeoutMs = 5000;
    }
    std::unique_ptr<FtpTestServer> m_server;
    SessionOptions m_options;
};

TEST_F(NamedAccount, LoginAndRefusedPassword) {
    FtpSession s;
    m_options.user = m_server->user();
    m_options.password = m_server->password();
    ASSERT_TRUE(s.connect(m_options)) << s.lastResponse();
    EXPECT_TRUE(s.usesMlsd());
    s.close();

    m_options.password = "wrong";
    EXPECT_FALSE(s.connect(m_options));
    EXPECT_EQ(s.lastError(), kErrIncorrectPassword);
    EXPECT_EQ(s.lastResponse().substr(0, 3), "530");
    EXPECT_FALSE(s.isConnected());

    m_options.password = "with\r\nNOOP";
    EXPECT_FALSE(s.connect(m_options));
    EXPECT_EQ(s.lastError(), kErrInvalidOperation);
}

TEST_F(NamedAccount, UnreachableAndUnresolvable) {
    FtpSession s;
    SessionOptions o = m_options;
    m_server.reset(); // nothing listens on that port any more
    EXPECT_FALSE(s.connect(o));
    EXPECT_EQ(s.lastError(), kErrCannotConnect);
    o.host = "name.invalid";
    EXPECT_FALSE(s.connect(o));
    EXPECT_EQ(s.lastError(), kErrNameNotResolved);
}

TEST(IPv6Loopback, ListGetAndPutOverIPv6) {
    if (!tw::test::HasIPv6Loopback())
        GTEST_SKIP() << "no IPv6 loopback on this machine";
    std::string why;
    auto server = FtpTestServer::start(FtpTestServer::Kind::Pyftpdlib, "::1", why);
    if (!server)
        GTEST_SKIP() << why;
    tw::test::WritePatternFile(server->root() / "six.bin", 10000, 6);
    for (const bool passive : {true, false}) {
        SCOPED_TRACE(passive);
        FtpSession s;
        SessionOptions o;
        o.host = "::1";
        o.port = server->port();
        o.passive = passive;
        o.timeoutMs = 5000;
        ASSERT_TRUE(s.connect(o)) << s.lastError();
        EXPECT_EQ(findAll(s, "/six.*").size(), 1u);
        std::string data;
        ASSERT_TRUE(download(s, "six.bin", data)) << s.lastResponse();
        EXPECT_EQ(data, tw::test::ReadWholeFile(server->root() / "six.bin"));
        ASSERT_TRUE(upload(s, passive ? "p.bin" : "a.bin", data)) << s.lastResponse();
    }
}

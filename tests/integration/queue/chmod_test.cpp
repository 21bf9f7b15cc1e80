// SITE CHMOD against pyftpdlib's account: one entry on the session, folder trees on a
// connection of their own by scope. (A refusing server: tests/integration/session.)

#include "ftp/ftp_error.h"
#include "integration/ftp/ftp_test_servers.h"
#include "queue/chmod_tree.h"

#include <gtest/gtest.h>

#include <fstream>
#include <future>
#include <sys/stat.h>

using namespace tw::queue;
using tw::ftp::DirEntry;
using tw::ftp::FtpSession;
using tw::test::FtpTestServer;
namespace fs = std::filesystem;

namespace {

unsigned modeOnDisk(const fs::path& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 ? unsigned(st.st_mode & 07777) : 0xFFFFu;
}

class ChmodTest : public ::testing::Test {
protected:
    void startServer() {
        std::string why;
        server = FtpTestServer::start(FtpTestServer::Kind::Pyftpdlib, "127.0.0.1", why);
        if (!server)
            GTEST_SKIP() << why;
        const fs::path site = server->root() / "site";
        fs::create_directories(site / "sub" / "deeper");
        std::ofstream(site / "a.txt") << "a";
        std::ofstream(site / "sub" / "b.txt") << "b";
        std::ofstream(site / "sub" / "deeper" / "c.txt") << "c";
        std::ofstream(server->root() / "outside.txt") << "o";
        for (const fs::path& p : {site, site / "sub", site / "sub" / "deeper"})
            fs::permissions(p, fs::perms(0755));
        for (const fs::path& p :
             {site / "a.txt", site / "sub" / "b.txt", site / "sub" / "deeper" / "c.txt",
              server->root() / "outside.txt"})
            fs::permissions(p, fs::perms(0644));
        options.host = server->host();
        options.port = server->port();
        options.user = server->user();
        options.password = server->password();
        options.timeoutMs = 5000;
        // Where the served folder is, as PWD tells it.
        FtpSession session;
        ASSERT_TRUE(session.connect(options));
        ASSERT_TRUE(session.getCurrentDirectory(base));
        base += "/site";
    }

    // A run on its own connection, waited for.
    ChmodReport run(std::vector<ChmodTarget> targets, ChmodRule rule) {
        ChmodRun chmod(options);
        std::promise<ChmodReport> done;
        ChmodRun::Callbacks callbacks;
        callbacks.finished = [&](const ChmodReport& r) { done.set_value(r); };
        EXPECT_TRUE(chmod.start(std::move(targets), rule, std::move(callbacks)));
        return done.get_future().get();
    }

    fs::path site() const { return server->root() / "site"; }

    std::unique_ptr<FtpTestServer> server;
    tw::ftp::SessionOptions options;
    std::string base; // the server's path of site()
};

} // namespace

// The command on one file, the listing's mode, owner and group afterwards, and a name with a
// line break that never reaches the server.
TEST_F(ChmodTest, OneEntryChangesOnDiskAndInTheListing) {
    startServer();
    FtpSession session;
    ASSERT_TRUE(session.connect(options)) << session.lastResponse();
    ASSERT_TRUE(session.chmod(base + "/a.txt", 0600)) << session.lastResponse();
    EXPECT_EQ(modeOnDisk(site() / "a.txt"), 0600u);
    DirEntry e;
    ASSERT_TRUE(session.findFirstFile(base + "/a.txt", e));
    session.findClose();
    ASSERT_TRUE(e.mode);
    EXPECT_EQ(*e.mode, 0600);
    EXPECT_FALSE(e.owner.empty());
    EXPECT_FALSE(e.group.empty());

    EXPECT_FALSE(session.chmod(base + "/a.txt\r\nDELE " + base + "/sub/b.txt", 0644));
    EXPECT_EQ(session.lastError(), tw::ftp::kErrInvalidOperation);
    EXPECT_TRUE(fs::exists(site() / "sub" / "b.txt"));
    EXPECT_EQ(server->serverLog().find("DELE"), std::string::npos);
}

// Each scope inside a folder, and a change of some bits only, which keeps the others as each
// entry has them (the listing's modes: MLSD's UNIX.mode, asked for with OPTS MLST).
TEST_F(ChmodTest, FolderTreesChangeByScope) {
    startServer();
    const std::vector<fs::path> files = {site() / "a.txt", site() / "sub" / "b.txt",
                                         site() / "sub" / "deeper" / "c.txt"};
    const std::vector<fs::path> folders = {site(), site() / "sub", site() / "sub" / "deeper"};
    struct Case {
        ChmodScope scope;
        ModeChange change;
        unsigned files;
        unsigned folders;
        std::uint64_t done;
    };
    const Case cases[] = {
        {ChmodScope::FilesOnly, {0640, 0777}, 0640, 0755, 3},
        {ChmodScope::FoldersOnly, {0700, 0777}, 0640, 0700, 3},
        // Group write on, others' read off; every other bit as each entry has it.
        {ChmodScope::FilesAndFolders, {0020, 0024}, 0660, 0720, 6},
    };
    for (const Case& c : cases) {
        // The target's mode as the pane lists it; what is inside as the run lists it.
        const ChmodTarget target{base, true, std::uint16_t(modeOnDisk(site()))};
        const ChmodReport report = run({target}, {c.change, true, c.scope});
        EXPECT_TRUE(report.failures.empty()) << report.failures.front().reason;
        EXPECT_EQ(report.done, c.done);
        EXPECT_FALSE(report.stopped);
        for (const fs::path& f : files)
            EXPECT_EQ(modeOnDisk(f), c.files) << f;
        for (const fs::path& f : folders)
            EXPECT_EQ(modeOnDisk(f), c.folders) << f;
    }
    EXPECT_EQ(modeOnDisk(server->root() / "outside.txt"), 0644u);
}

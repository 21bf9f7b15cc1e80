#include "integration/sftp/ssh_test_server.h"

#include "ftp/ftp_error.h"
#include "queue/queue_paths.h"
#include "queue/resumable_copy.h"
#include "queue/transfer_queue.h"
#include "sftp/sftp_session.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <atomic>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <map>
#include <netinet/in.h>
#include <pwd.h>
#include <sstream>
#include <sys/socket.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace tw::test {
namespace {

namespace fs = std::filesystem;
namespace f = tw::ftp;
using tw::sftp::SftpSession;

std::string readAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void writeAll(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

// A test's server (with passwords where the tests run as root) and the options to reach it
// with the client key, its host key trusted.
struct Remote {
    std::unique_ptr<SshTestServer> server;
    bool passwords = false;

    static Remote start(SshTestServer::Setup setup = {}, const std::string& sftpServer = {}) {
        Remote r;
        std::string why;
        setup.passwords = ::getuid() == 0 && setup.passwords;
        r.server = SshTestServer::start(setup, why, sftpServer);
        if (!r.server && setup.passwords) { // no mount namespace here: keys only
            setup.passwords = false;
            r.server = SshTestServer::start(setup, why, sftpServer);
        }
        r.passwords = setup.passwords;
        return r;
    }
    f::SessionOptions options() const {
        f::SessionOptions o;
        o.protocol = f::Protocol::Sftp;
        o.host = "127.0.0.1";
        o.port = server->port();
        o.user = server->user();
        o.timeoutMs = 10000;
        o.ssh.configFile = "none";
        o.ssh.useAgent = false;
        o.ssh.knownHostsFile = server->knownHosts().string();
        o.ssh.identityFile = server->clientKey().string();
        o.ssh.trustedHostKeys = {server->hostKeyFingerprint()};
        return o;
    }
    fs::path root() const { return server->root(); }
};

#define START_OR_SKIP(r, ...)                                                                      \
    Remote r = Remote::start(__VA_ARGS__);                                                         \
    if (!r.server)                                                                                 \
    GTEST_SKIP() << "no sshd here"

// ----- connect -----

TEST(SftpConnect, LoginsAndTheirRefusals) {
    START_OR_SKIP(r, SshTestServer::Setup{true, true});
    std::string why;
    auto agent = SshAgent::start(why);
    auto emptyAgent = SshAgent::start(why);
    ASSERT_TRUE(agent && emptyAgent) << why;
    ASSERT_TRUE(agent->add(r.server->clientKey()));
    const fs::path openKey = r.root().parent_path() / "open_key";
    fs::copy_file(r.server->clientKey(), openKey);
    ::chmod(openKey.c_str(), 0644);
    const fs::path config = r.server->sshConfig();
    writeAll(config, "Host tw-alias\n  HostName 127.0.0.1\n  Port " +
                         std::to_string(r.server->port()) + "\n  User " + r.server->user() +
                         "\n  IdentityFile " + r.server->clientKey().string() + "\n");

    struct Case {
        const char* name;
        std::function<void(f::SessionOptions&)> setup;
        int error;
        bool needsPasswords = false;
    };
    int asked = 0;
    const auto phrase = [&](const char* text) {
        return [&asked, text](const std::string&) {
            ++asked;
            return std::optional<std::string>(text);
        };
    };
    const std::vector<Case> cases = {
        {"key", [](f::SessionOptions&) {}, f::kErrNone},
        {"encrypted key, right passphrase",
         [&](f::SessionOptions& o) {
             o.ssh.identityFile = r.server->encryptedKey().string();
             o.ssh.passphrase = phrase(SshTestServer::kPassphrase);
         },
         f::kErrNone},
        {"encrypted key, wrong passphrase",
         [&](f::SessionOptions& o) {
             o.ssh.identityFile = r.server->encryptedKey().string();
             o.ssh.passphrase = phrase("wrong");
         },
         f::kErrSshKeyPassphrase},
        {"encrypted key, passphrase not given",
         [&](f::SessionOptions& o) {
             o.ssh.identityFile = r.server->encryptedKey().string();
             o.ssh.passphrase = [](const std::string&) { return std::nullopt; };
         },
         f::kErrSshKeyPassphrase},
        {"stranger key",
         [&](f::SessionOptions& o) { o.ssh.identityFile = r.server->strangerKey().string(); },
         f::kErrSshAuthRefused},
        {"key file others can read",
         [&](f::SessionOptions& o) { o.ssh.identityFile = openKey.string(); }, f::kErrSshKeyFile},
        {"agent",
         [&](f::SessionOptions& o) {
             ::setenv("SSH_AUTH_SOCK", agent->socket().c_str(), 1);
             o.ssh.useAgent = true;
             o.ssh.identityFile.clear();
         },
         f::kErrNone},
        {"agent without keys",
         [&](f::SessionOptions& o) {
             ::setenv("SSH_AUTH_SOCK", emptyAgent->socket().c_str(), 1);
             o.ssh.useAgent = true;
             o.ssh.identityFile.clear();
         },
         f::kErrSshAgent},
        {"config alias",
         [&](f::SessionOptions& o) {
             o.host = "tw-alias";
             o.port = 0;
             o.user.clear();
             o.ssh.identityFile.clear();
             o.ssh.configFile = config.string();
         },
         f::kErrNone},
        {"password",
         [&](f::SessionOptions& o) {
             o.ssh.identityFile.clear();
             o.password = SshTestServer::kPassword;
         },
         f::kErrNone, true},
        {"wrong password",
         [&](f::SessionOptions& o) {
             o.ssh.identityFile = r.server->strangerKey().string();
             o.password = "not it";
         },
         f::kErrIncorrectPassword, true},
    };
    for (const Case& c : cases) {
        if (c.needsPasswords && !r.passwords)
            continue;
        SCOPED_TRACE(c.name);
        ::unsetenv("SSH_AUTH_SOCK");
        f::SessionOptions o = r.options();
        c.setup(o);
        SftpSession s;
        EXPECT_EQ(s.connect(o), c.error == f::kErrNone);
        EXPECT_EQ(s.lastError(), c.error) << s.lastResponse();
        EXPECT_EQ(s.isConnected(), c.error == f::kErrNone);
        if (c.error == f::kErrNone) {
            std::string cwd;
            EXPECT_TRUE(s.getCurrentDirectory(cwd));
            // The login folder is the user's home, as the server resolves ".".
            const passwd* pw = ::getpwnam(r.server->user().c_str());
            ASSERT_NE(pw, nullptr);
            EXPECT_EQ(cwd, pw->pw_dir);
        }
        if (c.error == f::kErrSshKeyFile) {
            EXPECT_NE(s.lastResponse().find("are too open"), std::string::npos);
        }
    }
    EXPECT_EQ(asked, 2);
    ::unsetenv("SSH_AUTH_SOCK");
}

// A server that takes passwords only through keyboard-interactive (PAM).
TEST(SftpConnect, KeyboardInteractivePasswords) {
    if (::getuid() != 0)
        GTEST_SKIP() << "passwords need root";
    std::string why;
    auto server = SshTestServer::start(
        {true, true}, why, {},
        "UsePAM yes\nKbdInteractiveAuthentication yes\nPasswordAuthentication no\n");
    if (!server)
        GTEST_SKIP() << why;
    for (const auto& [password, error] : std::vector<std::pair<std::string, int>>{
             {SshTestServer::kPassword, f::kErrNone}, {"not it", f::kErrIncorrectPassword}}) {
        SCOPED_TRACE(password);
        Remote r;
        r.server = std::move(server);
        f::SessionOptions o = r.options();
        o.ssh.identityFile.clear();
        o.password = password;
        SftpSession s;
        EXPECT_EQ(s.connect(o), error == f::kErrNone);
        EXPECT_EQ(s.lastError(), error) << s.lastResponse() << r.server->serverLog();
        server = std::move(r.server);
    }
}

TEST(SftpConnect, HostKeys) {
    START_OR_SKIP(r);
    const std::string file = r.server->knownHosts().string();
    const std::string fingerprint = r.server->hostKeyFingerprint();
    struct Case {
        const char* name;
        std::string knownHosts;
        bool trust, remember, acceptNew;
        int error;
        bool added; // a line for the host was appended
    };
    const std::vector<Case> cases = {
        {"unknown", "", false, false, false, f::kErrSshHostKeyUnknown, false},
        {"trusted once", "", true, false, false, f::kErrNone, false},
        {"trusted and remembered", "", true, true, false, f::kErrNone, true},
        {"new key accepted", "# mine\n", false, false, true, f::kErrNone, true},
        {"known, hashed", r.server->knownHostsLine(true) + "\n", false, false, false, f::kErrNone,
         false},
        {"known, plain", r.server->knownHostsLine(false) + "\n", false, false, false, f::kErrNone,
         false},
        {"changed", r.server->otherKnownHostsLine() + "\n", true, true, true,
         f::kErrSshHostKeyChanged, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        writeAll(file, c.knownHosts);
        f::SessionOptions o = r.options();
        o.ssh.trustedHostKeys.clear();
        if (c.trust)
            o.ssh.trustedHostKeys = {fingerprint};
        o.ssh.rememberTrustedHostKeys = c.remember;
        o.ssh.acceptNewHostKey = c.acceptNew;
        SftpSession s;
        EXPECT_EQ(s.connect(o), c.error == f::kErrNone) << s.lastResponse();
        EXPECT_EQ(s.lastError(), c.error);
        if (c.error != f::kErrNone) {
            ASSERT_TRUE(s.rejectedHostKey());
            const f::HostKeyInfo& k = *s.rejectedHostKey();
            EXPECT_EQ(k.host, "127.0.0.1");
            EXPECT_EQ(k.port, r.server->port());
            EXPECT_EQ(k.type, r.server->hostKeyType());
            EXPECT_EQ(k.fingerprint, fingerprint);
            EXPECT_EQ(k.knownHostsFile, file);
            EXPECT_EQ(k.changed, c.error == f::kErrSshHostKeyChanged);
            EXPECT_EQ(k.knownFingerprint.empty(), !k.changed);
            EXPECT_NE(k.knownFingerprint, fingerprint);
        }
        const std::string after = readAll(file);
        EXPECT_EQ(after.size() > c.knownHosts.size(), c.added);
        if (!c.added)
            continue;
        EXPECT_EQ(after.substr(c.knownHosts.size(), 3), "|1|");
        EXPECT_EQ(std::system(("ssh-keygen -F '[127.0.0.1]:" + std::to_string(r.server->port()) +
                               "' -f " + file + " >/dev/null")
                                  .c_str()),
                  0);
        struct stat st {};
        ASSERT_EQ(::stat(file.c_str(), &st), 0);
        // Known now: a second connect needs no trust.
        o.ssh.trustedHostKeys.clear();
        o.ssh.acceptNewHostKey = false;
        SftpSession again;
        EXPECT_TRUE(again.connect(o)) << again.lastResponse();
    }
}

// Without a file named, the key goes to ~/.ssh/known_hosts, made private where missing.
TEST(SftpConnect, NewKeyGoesToTheUsersKnownHosts) {
    START_OR_SKIP(r);
    TempDir home;
    const char* oldHome = std::getenv("HOME");
    const std::string saved = oldHome ? oldHome : "";
    ::setenv("HOME", home.path().c_str(), 1);
    f::SessionOptions o = r.options();
    o.ssh.knownHostsFile.clear();
    o.ssh.trustedHostKeys.clear();
    o.ssh.acceptNewHostKey = true;
    SftpSession s;
    const bool connected = s.connect(o);
    ::setenv("HOME", saved.c_str(), 1);
    ASSERT_TRUE(connected) << s.lastResponse();
    struct stat folder {
    }, file{};
    ASSERT_EQ(::stat((home.path() / ".ssh").c_str(), &folder), 0);
    ASSERT_EQ(::stat((home.path() / ".ssh" / "known_hosts").c_str(), &file), 0);
    EXPECT_EQ(folder.st_mode & 0777, 0700u);
    EXPECT_EQ(file.st_mode & 0777, 0600u);
    EXPECT_EQ(readAll(home.path() / ".ssh" / "known_hosts").rfind("|1|", 0), 0u);
}

TEST(SftpConnect, ServersThatOfferNoSftp) {
    START_OR_SKIP(r, SshTestServer::Setup{false, false});
    SftpSession s;
    EXPECT_FALSE(s.connect(r.options()));
    EXPECT_EQ(s.lastError(), f::kErrSshNoSftp);
    EXPECT_FALSE(s.isConnected());

    // A TCP server that answers with no SSH at all.
    const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    ::listen(listener, 1);
    ::getsockname(listener, reinterpret_cast<sockaddr*>(&a), &len);
    std::thread bogus([listener] {
        const int c = ::accept(listener, nullptr, nullptr);
        const std::string banner = "SSH-1.5-bogus\r\n";
        [[maybe_unused]] auto n = ::write(c, banner.data(), banner.size());
        char buf[256];
        while (::read(c, buf, sizeof buf) > 0) {
        }
        ::close(c);
    });
    f::SessionOptions o = r.options();
    // Nothing listens on a port just freed: the network's own failure, retried by the queue.
    {
        const int probe = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in p{};
        p.sin_family = AF_INET;
        p.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t plen = sizeof p;
        ::bind(probe, reinterpret_cast<sockaddr*>(&p), sizeof p);
        ::getsockname(probe, reinterpret_cast<sockaddr*>(&p), &plen);
        ::close(probe);
        o.port = ntohs(p.sin_port);
        SftpSession none;
        EXPECT_FALSE(none.connect(o));
        EXPECT_EQ(none.lastError(), f::kErrCannotConnect) << none.lastResponse();
    }
    o.port = ntohs(a.sin_port);
    SftpSession t;
    EXPECT_FALSE(t.connect(o));
    EXPECT_EQ(t.lastError(), f::kErrSshFailure);
    EXPECT_FALSE(t.lastResponse().empty());
    ::shutdown(listener, SHUT_RDWR);
    bogus.join();
    ::close(listener);

    // A server that takes the connection and never speaks: the deadline or a stop ends it.
    const int silent = ::socket(AF_INET, SOCK_STREAM, 0);
    a.sin_port = 0;
    ASSERT_EQ(::bind(silent, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    ::listen(silent, 4);
    ::getsockname(silent, reinterpret_cast<sockaddr*>(&a), &len);
    o.port = ntohs(a.sin_port);
    for (const bool stop : {false, true}) {
        SCOPED_TRACE(stop ? "stopped" : "timed out");
        o.timeoutMs = stop ? 30000 : 700;
        SftpSession hung;
        std::thread stopper([&] {
            if (!stop)
                return;
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            hung.abort();
        });
        const auto started = std::chrono::steady_clock::now();
        EXPECT_FALSE(hung.connect(o));
        stopper.join();
        EXPECT_EQ(hung.lastError(), stop ? f::kErrOperationCancelled : f::kErrTimeout);
        EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(3));
        EXPECT_FALSE(hung.isConnected());
    }
    ::close(silent);
}

// ----- folders and names -----

TEST(SftpSessionTest, ListsRawNamesLinksAndLoops) {
    START_OR_SKIP(r);
    const fs::path root = r.root();
    fs::create_directory(root / "sub");
    writeAll(root / "sub" / "inner.txt", "x");
    writeAll(root / "plain.txt", "12345");
    writeAll(root / "caf\xe9.bin", PatternBytes(70000, 1)); // Latin-1, not UTF-8
    writeAll(root / "bell\x07name", "b");
    fs::create_symlink("loop", root / "loop");
    fs::create_symlink("sub", root / "sublink");
    fs::create_symlink("plain.txt", root / "filelink");
    SftpSession s;
    ASSERT_TRUE(s.connect(r.options())) << s.lastResponse();
    ASSERT_TRUE(s.setCurrentDirectory(root.string()));

    struct Expect {
        f::EntryType type;
        std::uint64_t size;
        std::string linkTarget;
        bool unsafe;
    };
    const std::map<std::string, Expect> expected = {
        {"sub", {f::EntryType::Directory, 0, "", false}},
        {"plain.txt", {f::EntryType::File, 5, "", false}},
        {"caf\xe9.bin", {f::EntryType::File, 70000, "", false}},
        {"bell\x07name", {f::EntryType::File, 1, "", true}},
        {"loop", {f::EntryType::Link, 4, "loop", false}},
        {"sublink", {f::EntryType::Link, 3, "sub", false}},
        {"filelink", {f::EntryType::Link, 9, "plain.txt", false}},
    };
    std::map<std::string, f::DirEntry> seen;
    f::DirEntry e;
    for (bool ok = s.findFirstFile("*", e); ok; ok = s.findNextFile(e))
        seen[e.name] = e;
    EXPECT_EQ(s.lastError(), f::kErrNoMoreFiles);
    ASSERT_EQ(seen.size(), expected.size());
    for (const auto& [name, want] : expected) {
        SCOPED_TRACE(name);
        ASSERT_TRUE(seen.count(name));
        const f::DirEntry& got = seen[name];
        EXPECT_EQ(got.type, want.type);
        if (want.type != f::EntryType::Directory) {
            EXPECT_EQ(got.size, want.size);
        }
        EXPECT_EQ(got.linkTarget, want.linkTarget);
        EXPECT_EQ(got.unsafeName, want.unsafe);
        EXPECT_EQ((got.attributes & f::kAttributeDirectory) != 0,
                  want.type == f::EntryType::Directory);
        EXPECT_TRUE(got.mode.has_value());
        EXPECT_FALSE(got.owner.empty());
        EXPECT_GT(got.lastWriteTime, 0);
    }

    // Wildcards on the last component, a folder part, a name without wildcards.
    const std::vector<std::pair<std::string, std::vector<std::string>>> searches = {
        {"*.TXT", {"plain.txt"}},
        {root.string() + "/sub/*.*", {"inner.txt"}},
        {"sub/inner.txt", {"inner.txt"}},
        {"nothing*", {}},
    };
    for (const auto& [search, names] : searches) {
        SCOPED_TRACE(search);
        std::vector<std::string> got;
        for (bool ok = s.findFirstFile(search, e); ok; ok = s.findNextFile(e))
            got.push_back(e.name);
        EXPECT_EQ(got, names);
        EXPECT_EQ(s.lastError(), f::kErrNoMoreFiles);
    }
    EXPECT_FALSE(s.findFirstFile("missing/*", e));
    EXPECT_EQ(s.lastError(), f::kErrSftpNoSuchFile);

    // A name that is not UTF-8 goes back unchanged; a link to a folder is entered.
    const std::string data = PatternBytes(70000, 1);
    ASSERT_TRUE(s.openFile("caf\xe9.bin", f::RemoteSession::OpenMode::Read));
    std::string got(data.size() + 10, '\0');
    std::size_t n = 0, total = 0;
    while (s.readFile(got.data() + total, got.size() - total, n) && n > 0)
        total += n;
    EXPECT_EQ(s.lastError(), f::kErrNone);
    EXPECT_TRUE(s.closeFile());
    EXPECT_EQ(got.substr(0, total), data);
    EXPECT_TRUE(s.setCurrentDirectory("sublink"));
    std::string cwd;
    s.getCurrentDirectory(cwd);
    EXPECT_EQ(cwd, (root / "sub").string());
    EXPECT_FALSE(s.setCurrentDirectory("../plain.txt"));
    EXPECT_FALSE(s.setCurrentDirectory("../loop"));
    EXPECT_TRUE(s.isConnected());
}

TEST(SftpSessionTest, FolderAndFileCommands) {
    START_OR_SKIP(r);
    const fs::path root = r.root();
    writeAll(root / "a.txt", "old a");
    writeAll(root / "b.txt", "old b");
    SftpSession s;
    ASSERT_TRUE(s.connect(r.options()));
    ASSERT_TRUE(s.setCurrentDirectory(root.string()));
    struct Step {
        const char* name;
        std::function<bool()> call;
        int error;
        std::function<bool()> check;
    };
    const std::vector<Step> steps = {
        {"mkdir", [&] { return s.createDirectory("d"); }, f::kErrNone,
         [&] { return fs::is_directory(root / "d"); }},
        {"mkdir again", [&] { return s.createDirectory("d"); }, f::kErrSftpFailure,
         [] { return true; }},
        {"rename onto an existing name replaces it", [&] { return s.renameFile("a.txt", "b.txt"); },
         f::kErrNone,
         [&] { return readAll(root / "b.txt") == "old a" && !fs::exists(root / "a.txt"); }},
        {"chmod", [&] { return s.chmod("b.txt", 0640); }, f::kErrNone,
         [&] {
             struct stat st {};
             return ::stat((root / "b.txt").c_str(), &st) == 0 && (st.st_mode & 07777) == 0640;
         }},
        {"set time", [&] { return s.setModificationTime("b.txt", 1500000000); }, f::kErrNone,
         [&] { return s.modificationTime("b.txt") == 1500000000; }},
        {"size", [&] { return s.fileSize("b.txt") == 5u; }, f::kErrNone, [] { return true; }},
        {"exists", [&] { return s.pathExists("b.txt") == true; }, f::kErrNone,
         [&] { return s.pathExists("nope") == false && s.lastError() == f::kErrNone; }},
        {"delete", [&] { return s.deleteFile("b.txt"); }, f::kErrNone,
         [&] { return !fs::exists(root / "b.txt"); }},
        {"delete a missing file", [&] { return s.deleteFile("b.txt"); }, f::kErrSftpNoSuchFile,
         [&] { return !s.lastResponse().empty(); }},
        {"rmdir", [&] { return s.removeDirectory("d"); }, f::kErrNone,
         [&] { return !fs::exists(root / "d"); }},
        {"size of a missing file", [&] { return s.fileSize("zz").has_value(); },
         f::kErrSftpNoSuchFile, [] { return true; }},
        {"keep alive", [&] { return s.keepAlive(); }, f::kErrNone, [] { return true; }},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.name);
        EXPECT_EQ(step.call(), step.error == f::kErrNone);
        EXPECT_EQ(s.lastError(), step.error) << s.lastResponse();
        EXPECT_TRUE(step.check());
    }
}

// ----- files through the queue -----

TEST(SftpSessionTest, QueueCopiesResumesAndAppends) {
    START_OR_SKIP(r);
    TempDir local;
    const fs::path root = r.root();
    SftpSession s;
    ASSERT_TRUE(s.connect(r.options()));
    std::atomic<bool> stop{false};
    queue::RunContext context{stop, {}, {}, {}, {}};
    context.resumeChoice = [](const queue::TransferItem&, const queue::ResumeOffer&) {
        return queue::ResumeChoice::Resume;
    };
    queue::CopyOptions options;
    options.probeRemotePartials = true;
    struct Case {
        const char* name;
        queue::Direction direction;
        std::size_t size;
        std::size_t partial; // bytes already at the destination's partial file
        bool replaceExisting;
    };
    const std::vector<Case> cases = {
        {"download", queue::Direction::Download, 3 * 1024 * 1024 + 17, 0, true},
        {"empty download", queue::Direction::Download, 0, 0, false},
        {"resumed download", queue::Direction::Download, 1000000, 300001, false},
        {"upload over a file", queue::Direction::Upload, 2 * 1024 * 1024 + 5, 0, true},
        {"resumed upload", queue::Direction::Upload, 900000, 123457, false},
    };
    unsigned seed = 10;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string data = PatternBytes(c.size, ++seed);
        const std::string name = "file" + std::to_string(seed);
        queue::TransferItem item;
        item.direction = c.direction;
        item.localPath = (local.path() / name).string();
        item.remotePath = (root / name).string();
        item.size = c.size;
        queue::ItemResult result;
        if (c.direction == queue::Direction::Download) {
            writeAll(root / name, data);
            if (c.replaceExisting)
                writeAll(item.localPath, "old");
            if (c.partial)
                writeAll(queue::DownloadPartialPath(item.localPath), data.substr(0, c.partial));
            result = queue::DownloadFile(item, s, context, options);
            EXPECT_EQ(readAll(item.localPath), data);
        } else {
            writeAll(item.localPath, data);
            if (c.replaceExisting)
                writeAll(root / name, "old");
            if (c.partial)
                writeAll(queue::UploadTemporaryPath(item.remotePath), data.substr(0, c.partial));
            result = queue::UploadFile(item, s, context, options);
            EXPECT_EQ(readAll(root / name), data);
            EXPECT_FALSE(fs::exists(queue::UploadTemporaryPath(item.remotePath)));
        }
        EXPECT_EQ(result.state, queue::ItemState::Done) << result.error;
    }

    // Append adds at the server's end of the file.
    writeAll(root / "log", "first;");
    ASSERT_TRUE(s.openFile((root / "log").string(), f::RemoteSession::OpenMode::Append));
    std::size_t n = 0;
    EXPECT_TRUE(s.writeFile("second", 6, n));
    EXPECT_TRUE(s.closeFile());
    EXPECT_EQ(readAll(root / "log"), "first;second");
    // A download shorter than the size it was said to have.
    f::RemoteSession::OpenOptions known;
    known.knownSize = 100;
    ASSERT_TRUE(s.openFile((root / "log").string(), f::RemoteSession::OpenMode::Read, known));
    std::string buffer(200, '\0');
    EXPECT_TRUE(s.readFile(buffer.data(), buffer.size(), n));
    EXPECT_EQ(n, 12u);
    EXPECT_FALSE(s.readFile(buffer.data(), buffer.size(), n));
    EXPECT_EQ(s.lastError(), f::kErrShortTransfer);
    s.abortFile();
    // Queue classification: a missing source fails for good, a lost session is retried.
    queue::TransferItem missing;
    missing.localPath = (local.path() / "missing").string();
    missing.remotePath = (root / "missing").string();
    const queue::ItemResult failed = queue::DownloadFile(missing, s, context, options);
    EXPECT_EQ(failed.state, queue::ItemState::Failed);
    EXPECT_EQ(failed.errorCode, f::kErrSftpNoSuchFile);
    EXPECT_FALSE(failed.retryable);
    EXPECT_NE(failed.error.find("No such file"), std::string::npos) << failed.error;
    // A folder made twice is there: the second time is no failure.
    for (int i = 0; i < 2; ++i) {
        queue::TransferItem folder;
        folder.direction = queue::Direction::Upload;
        folder.remotePath = (root / "made").string();
        EXPECT_EQ(queue::MakeFolder(folder, &s).state, queue::ItemState::Done);
    }
    struct Kind {
        int error;
        bool retried, refusal;
    };
    const std::vector<Kind> kinds = {
        {f::kErrFtpDropped, true, false},         {f::kErrSftpConnectionLost, true, false},
        {f::kErrSshHostKeyUnknown, false, false}, {f::kErrSshHostKeyChanged, false, false},
        {f::kErrSshAuthRefused, false, false},    {f::kErrSshKeyPassphrase, false, false},
        {f::kErrSftpNoSuchFile, false, true},     {f::kErrSftpPermissionDenied, false, true},
        {f::kErrSftpFailure, false, true},
    };
    for (const Kind& k : kinds) {
        SCOPED_TRACE(k.error);
        EXPECT_EQ(queue::IsConnectionFailure(k.error, "message"), k.retried);
        EXPECT_EQ(queue::IsServerRefusal(k.error, "message"), k.refusal);
        EXPECT_EQ(f::IsSshRefusal(k.error), k.error >= 12200 && k.error <= 12206);
    }
}

// Folder trees both ways through the transfer queue, on three SFTP connections.
TEST(SftpSessionTest, QueueCopiesTreesBothWays) {
    START_OR_SKIP(r);
    TempDir local;
    const std::map<std::string, std::string> tree = {
        {"a.txt", "alpha"},
        {"big.bin", PatternBytes(5 * 1024 * 1024 + 3, 7)},
        {"sub/b.txt", PatternBytes(100000, 8)},
        {"sub/deeper/caf\xe9", "latin-1 name"},
        {"sub/deeper/empty", ""},
    };
    const auto treeOf = [](const fs::path& root) {
        std::map<std::string, std::string> files;
        for (const auto& e : fs::recursive_directory_iterator(root))
            if (e.is_regular_file())
                files[fs::relative(e.path(), root).string()] = readAll(e.path());
        return files;
    };
    for (const auto direction : {queue::Direction::Upload, queue::Direction::Download}) {
        const bool up = direction == queue::Direction::Upload;
        SCOPED_TRACE(up ? "upload" : "download");
        const fs::path source = up ? local.path() / "up" : r.root() / "up";
        const fs::path target = up ? r.root() / "up" : local.path() / "down";
        if (up)
            for (const auto& [name, bytes] : tree) {
                fs::create_directories((source / name).parent_path());
                writeAll(source / name, bytes);
            }
        queue::QueueSettings settings;
        settings.maxConnections = 3;
        settings.retryDelay = std::chrono::milliseconds(50);
        queue::TransferQueue q(r.options(), settings);
        queue::TransferItem item;
        item.kind = queue::ItemKind::Tree;
        item.direction = direction;
        item.remotePath = (r.root() / "up").string();
        item.localPath = (local.path() / (up ? "up" : "down")).string();
        q.add({item});
        q.waitIdle();
        const queue::QueueTotals totals = q.totals();
        EXPECT_EQ(totals.failed + totals.skipped + totals.stopped, 0u);
        EXPECT_EQ(treeOf(target), tree);
    }
}

// ----- a misbehaving SFTP server behind a real sshd -----

TEST(SftpSessionTest, MisbehavingServersAreBounded) {
    struct Case {
        const char* mode;
        int error;
        bool staysConnected;
    };
    const std::vector<Case> cases = {
        {"endless-listing", f::kErrListingTooLarge, true},
        {"huge-packet", f::kErrFtpDropped, false},
        {"wrong-reply", f::kErrSftpBadMessage, true},
        {"silent", f::kErrTimeout, false},
    };
    const std::string script = std::string(TW_SFTP_TEST_DIR) + "/hostile_sftp.py";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mode);
        START_OR_SKIP(r, SshTestServer::Setup{false, true},
                      "/usr/bin/python3 " + script + " " + c.mode);
        f::SessionOptions o = r.options();
        o.timeoutMs = 1000;
        o.listingLimits.textBytes = 256 * 1024;
        SftpSession s;
        ASSERT_TRUE(s.connect(o)) << s.lastResponse();
        const auto started = std::chrono::steady_clock::now();
        if (c.error == f::kErrListingTooLarge) {
            f::DirEntry e;
            std::size_t n = 0;
            for (bool ok = s.findFirstFile("/*", e); ok; ok = s.findNextFile(e))
                ++n;
            EXPECT_GT(n, 1000u);
        } else {
            EXPECT_FALSE(s.fileSize("/x"));
        }
        EXPECT_EQ(s.lastError(), c.error) << s.lastResponse();
        EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(4));
        EXPECT_EQ(s.isConnected(), c.staysConnected);
        EXPECT_EQ(s.keepAlive(), c.staysConnected);
    }
}

// ----- stops and losses -----

TEST(SftpSessionTest, AbortMidTransferKeepsTheSession) {
    START_OR_SKIP(r);
    const fs::path root = r.root();
    const std::string data = PatternBytes(64 * 1024 * 1024, 3);
    writeAll(root / "big", data);
    SftpSession s;
    ASSERT_TRUE(s.connect(r.options()));
    for (const auto mode : {f::RemoteSession::OpenMode::Read, f::RemoteSession::OpenMode::Write}) {
        SCOPED_TRACE(mode == f::RemoteSession::OpenMode::Read ? "download" : "upload");
        const std::string path =
            (root / (mode == f::RemoteSession::OpenMode::Read ? "big" : "up")).string();
        ASSERT_TRUE(s.openFile(path, mode));
        std::string buffer(256 * 1024, 'u');
        std::size_t n = 0;
        std::uint64_t moved = 0;
        std::atomic<bool> fired{false};
        std::thread stopper;
        auto firedAt = std::chrono::steady_clock::now();
        for (;;) {
            const bool ok = mode == f::RemoteSession::OpenMode::Read
                                ? s.readFile(buffer.data(), buffer.size(), n)
                                : s.writeFile(buffer.data(), buffer.size(), n);
            if (!ok)
                break;
            moved += n;
            if (!fired && moved > 4 * 1024 * 1024) {
                fired = true;
                firedAt = std::chrono::steady_clock::now();
                stopper = std::thread([&] { s.abort(); });
            }
            ASSERT_LT(moved, data.size()) << "the stop did not end the transfer";
        }
        stopper.join();
        EXPECT_EQ(s.lastError(), f::kErrOperationCancelled);
        EXPECT_LT(std::chrono::steady_clock::now() - firedAt, std::chrono::milliseconds(1500));
        s.abortFile();
        EXPECT_TRUE(s.isConnected());
        EXPECT_EQ(s.fileSize(root.string() + "/big"), data.size()) << s.lastResponse();
        f::DirEntry e;
        EXPECT_TRUE(s.findFirstFile(root.string() + "/big", e));
    }
}

TEST(SftpSessionTest, ServerKilledMidFileIsADroppedSession) {
    START_OR_SKIP(r);
    writeAll(r.root() / "big", PatternBytes(64 * 1024 * 1024, 4));
    SftpSession s;
    ASSERT_TRUE(s.connect(r.options()));
    ASSERT_TRUE(s.openFile((r.root() / "big").string(), f::RemoteSession::OpenMode::Read));
    std::string buffer(1024 * 1024, '\0');
    std::size_t n = 0;
    ASSERT_TRUE(s.readFile(buffer.data(), buffer.size(), n));
    r.server->dropConnections();
    while (s.readFile(buffer.data(), buffer.size(), n) && n > 0) {
    }
    EXPECT_EQ(s.lastError(), f::kErrFtpDropped);
    EXPECT_FALSE(s.isConnected());
    EXPECT_FALSE(s.deleteFile("x"));
    EXPECT_EQ(s.lastError(), f::kErrFtpDropped);
    EXPECT_TRUE(queue::IsConnectionFailure(s.lastError(), s.lastResponse()));
}

} // namespace
} // namespace tw::test

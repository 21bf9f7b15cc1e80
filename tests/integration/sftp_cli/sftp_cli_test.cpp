// tarnwick-ftp over sftp:// against a real sshd on 127.0.0.1: every command with each way of
// logging in, resumes both ways, host key checks and the refusals with their exit statuses.

#include "integration/sftp/ssh_test_server.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace tw::test {
namespace {

namespace fs = std::filesystem;

struct Outcome {
    int status = -1;
    std::string out;
    std::string err;
};

using Environment = std::map<std::string, std::string>;

// The variables a login reads; a run sees only those the test gives.
constexpr const char* kLoginVariables[] = {"TARNWICK_FTP_PASSWORD", "TARNWICK_FTP_PASSPHRASE",
                                           "SSH_AUTH_SOCK"};

// Runs tarnwick-ftp in a session of its own (no terminal to ask on) with that environment.
Outcome runCli(const std::vector<std::string>& args, const Environment& env = {}) {
    const std::string binary = std::string(TW_BINARY_DIR) + "/src/cli/tarnwick-ftp";
    TempDir io;
    const fs::path out = io.path() / "out", err = io.path() / "err";
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::setsid();
        ::dup2(::open("/dev/null", O_RDONLY), STDIN_FILENO);
        ::dup2(::open(out.c_str(), O_WRONLY | O_CREAT, 0600), STDOUT_FILENO);
        ::dup2(::open(err.c_str(), O_WRONLY | O_CREAT, 0600), STDERR_FILENO);
        for (const char* name : kLoginVariables)
            ::unsetenv(name);
        for (const auto& [name, value] : env)
            ::setenv(name.c_str(), value.c_str(), 1);
        std::vector<char*> argv{const_cast<char*>(binary.c_str())};
        for (const auto& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        ::execv(binary.c_str(), argv.data());
        ::_exit(127);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadWholeFile(out), ReadWholeFile(err)};
}

std::string commandOutput(const std::string& line, int* status = nullptr) {
    std::string out;
    if (FILE* p = ::popen(line.c_str(), "r")) {
        char buffer[4096];
        while (const std::size_t n = std::fread(buffer, 1, sizeof buffer, p))
            out.append(buffer, n);
        const int rc = ::pclose(p);
        if (status)
            *status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    }
    return out;
}

// One sshd (with password logins when the tests run as root) and one agent holding the
// fixture's client key, for the whole suite.
class SftpCli : public testing::Test {
protected:
    static void SetUpTestSuite() {
        std::string why;
        s_server = SshTestServer::start({true, true}, why);
        s_passwords = s_server != nullptr;
        if (!s_server)
            s_server = SshTestServer::start({false, true}, why);
        s_why = why;
        if (s_server) {
            s_agent = SshAgent::start(why);
            if (!s_agent || !s_agent->add(s_server->clientKey()))
                s_agent.reset();
        }
    }
    static void TearDownTestSuite() {
        s_agent.reset();
        s_server.reset();
    }
    void SetUp() override {
        if (!s_server)
            GTEST_SKIP() << s_why;
        const auto* info = testing::UnitTest::GetInstance()->current_test_info();
        std::string name = std::string(info->test_suite_name()) + "-" + info->name();
        for (char& c : name)
            c = c == '/' ? '-' : c;
        m_remote = s_server->root() / name;
        fs::create_directories(m_remote);
        m_knownHosts = m_local.path() / "known_hosts";
        std::ofstream(m_knownHosts) << s_server->knownHostsLine(true) << '\n';
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(m_remote, ec);
    }
    // The URL of a path on the server (absolute, as sftp:// paths are).
    static std::string url(const fs::path& path) {
        return "sftp://" + s_server->user() + "@127.0.0.1:" + std::to_string(s_server->port()) +
               path.string();
    }
    // The options every run takes (the test's own known_hosts, no ~/.ssh/config) before `args`.
    std::vector<std::string> with(std::vector<std::string> args,
                                  const std::vector<std::string>& login) const {
        std::vector<std::string> all = {"--known-hosts", m_knownHosts.string(), "--ssh-config",
                                        s_server->sshConfig().string()};
        all.insert(all.end(), login.begin(), login.end());
        all.insert(all.end(), args.begin(), args.end());
        return all;
    }
    std::vector<std::string> keyLogin() const {
        return {"--no-agent", "-i", s_server->clientKey().string()};
    }

    static inline std::unique_ptr<SshTestServer> s_server;
    static inline std::unique_ptr<SshAgent> s_agent;
    static inline bool s_passwords = false;
    static inline std::string s_why;
    TempDir m_local;
    fs::path m_remote;
    fs::path m_knownHosts;
};

struct Login {
    const char* name;
    enum class Way { Key, Agent, EncryptedKey, Password } way;
};

class SftpCliLogins : public SftpCli, public testing::WithParamInterface<Login> {};

// Every command over sftp://, with each way of logging in; the copies run on the queue's
// parallel connections, which log in the same way.
TEST_P(SftpCliLogins, EveryCommand) {
    std::vector<std::string> login;
    Environment env;
    switch (GetParam().way) {
    case Login::Way::Key:
        login = keyLogin();
        break;
    case Login::Way::Agent:
        if (!s_agent)
            GTEST_SKIP() << "no ssh-agent";
        env["SSH_AUTH_SOCK"] = s_agent->socket();
        break;
    case Login::Way::EncryptedKey:
        login = {"--no-agent", "--identity", s_server->encryptedKey().string()};
        env["TARNWICK_FTP_PASSPHRASE"] = SshTestServer::kPassphrase;
        break;
    case Login::Way::Password:
        if (!s_passwords)
            GTEST_SKIP() << "password logins need root";
        login = {"--no-agent"};
        env["TARNWICK_FTP_PASSWORD"] = SshTestServer::kPassword;
        break;
    }
    const fs::path local = m_local.path();
    const fs::path up = m_remote / "up";
    const std::string data = PatternBytes(300000, 1);
    WriteDated(local / "a.bin", data, 1600000000);
    // A remote tree for mirror, a local one for mirror --reverse.
    fs::create_directories(m_remote / "tree" / "a" / "b");
    fs::create_directories(m_remote / "tree" / "empty");
    WriteDated(m_remote / "tree" / "top.bin", PatternBytes(200000, 2), 1600000100);
    WriteDated(m_remote / "tree" / "a" / "b" / "deep.bin", PatternBytes(70000, 3), 1600000200);
    WriteDated(m_remote / "tree" / "a" / "small.txt", "small", 1600000300);
    fs::create_directories(local / "site" / "x" / "y");
    WriteDated(local / "site" / "one.bin", PatternBytes(150000, 4), 1600000400);
    WriteDated(local / "site" / "x" / "y" / "two.txt", "two", 1600000500);
    const passwd* pw = ::getpwuid(::getuid());
    const std::string home = pw ? pw->pw_dir : "";
    const std::string homeUrl =
        "sftp://" + s_server->user() + "@127.0.0.1:" + std::to_string(s_server->port()) + "/~/";

    struct Step {
        std::vector<std::string> args;
        int status;
        std::function<void(const Outcome&)> check;
    };
    const std::vector<Step> steps = {
        {{"mkdir", url(up)}, 0, [&](const Outcome&) { EXPECT_TRUE(fs::is_directory(up)); }},
        {{"put", (local / "a.bin").string(), url(up) + "/"},
         0,
         [&](const Outcome&) {
             EXPECT_TRUE(ReadWholeFile(up / "a.bin") == data);
             EXPECT_EQ(MtimeOf(up / "a.bin"), 1600000000);
         }},
        {{"ls", url(up)},
         0,
         [&](const Outcome& o) {
             EXPECT_NE(o.out.find("-         300000 2020-09-13"), std::string::npos) << o.out;
             EXPECT_NE(o.out.find(" a.bin\n"), std::string::npos) << o.out;
             EXPECT_EQ(std::count(o.out.begin(), o.out.end(), '\n'), 1) << o.out;
         }},
        {{"ls", "--json", url(m_remote / "tree")},
         0,
         [&](const Outcome& o) {
             EXPECT_NE(o.out.find("{\"name\": \"top.bin\", \"type\": \"file\", \"size\": 200000, "
                                  "\"modified\": \"2020-09-13T12:28:20Z\"}"),
                       std::string::npos)
                 << o.out;
             EXPECT_NE(o.out.find("{\"name\": \"a\", \"type\": \"dir\""), std::string::npos);
         }},
        {{"ls", url(up / "a.bin")},
         0,
         [&](const Outcome& o) { EXPECT_NE(o.out.find(" a.bin\n"), std::string::npos) << o.out; }},
        {{"get", url(up / "a.bin"), (local / "b.bin").string()},
         0,
         [&](const Outcome&) {
             EXPECT_TRUE(ReadWholeFile(local / "b.bin") == data);
             EXPECT_EQ(MtimeOf(local / "b.bin"), 1600000000);
         }},
        {{"get", url(up / "a.bin"), "-"},
         0,
         [&](const Outcome& o) { EXPECT_TRUE(o.out == data) << o.out.size(); }},
        {{"mv", url(up / "a.bin"), "c.bin"},
         0,
         [&](const Outcome&) {
             EXPECT_FALSE(fs::exists(up / "a.bin"));
             EXPECT_TRUE(ReadWholeFile(up / "c.bin") == data);
         }},
        {{"mirror", "-P", "3", url(m_remote / "tree"), (local / "copy").string()},
         5,
         [&](const Outcome&) { EXPECT_EQ(TreeOf(local / "copy"), TreeOf(m_remote / "tree")); }},
        {{"mirror", "--reverse", "-P", "3", (local / "site").string(), url(m_remote / "site")},
         5,
         [&](const Outcome&) { EXPECT_EQ(TreeOf(m_remote / "site"), TreeOf(local / "site")); }},
        {{"get", "-r", url(m_remote / "tree" / "a"), (local / "a-copy").string()},
         0,
         [&](const Outcome&) {
             EXPECT_EQ(TreeOf(local / "a-copy"), TreeOf(m_remote / "tree" / "a"));
         }},
        {{"rm", url(up / "c.bin")},
         0,
         [&](const Outcome&) { EXPECT_FALSE(fs::exists(up / "c.bin")); }},
        {{"rmdir", url(up)}, 0, [&](const Outcome&) { EXPECT_FALSE(fs::exists(up)); }},
        {{"pwd", homeUrl}, 0, [&](const Outcome& o) { EXPECT_EQ(o.out, home + "\n"); }},
        {{"rm", url(m_remote / "missing")},
         1,
         [&](const Outcome& o) {
             EXPECT_NE(o.err.find("rm " + (m_remote / "missing").string()), std::string::npos);
             EXPECT_NE(o.err.find("(error 12212)"), std::string::npos) << o.err;
         }},
        {{"ls", url(m_remote / "missing")},
         1,
         [&](const Outcome& o) {
             EXPECT_NE(o.err.find("(error 12212)"), std::string::npos) << o.err;
         }},
        {{"get", url(m_remote / "missing"), url(m_remote / "tree" / "top.bin"),
          (local / "two").string()},
         1,
         [&](const Outcome& o) {
             EXPECT_TRUE(fs::exists(local / "two" / "top.bin")) << "the others are copied";
             EXPECT_NE(o.err.find("1 of the transfers failed"), std::string::npos) << o.err;
         }},
    };
    fs::create_directory(local / "two");
    for (const Step& step : steps) {
        SCOPED_TRACE(step.args[0] + " " + step.args.back());
        const Outcome o = runCli(with(step.args, login), env);
        ASSERT_EQ(o.status, step.status) << o.err;
        if (step.status == 0) {
            EXPECT_EQ(o.err, "") << "no noise when standard error is not a terminal";
        }
        step.check(o);
    }
}

INSTANTIATE_TEST_SUITE_P(Ways, SftpCliLogins,
                         testing::Values(Login{"Key", Login::Way::Key},
                                         Login{"Agent", Login::Way::Agent},
                                         Login{"EncryptedKey", Login::Way::EncryptedKey},
                                         Login{"Password", Login::Way::Password}),
                         [](const testing::TestParamInfo<Login>& info) {
                             return std::string(info.param.name);
                         });

// Partial data an earlier run left (a download's ".NAME.tw-part", an upload's ".NAME.tw-up"
// on the server) is resumed from its size with --continue and started again without it. The
// partial data is marked, so the result shows which happened.
TEST_F(SftpCli, ResumesBothWaysOnlyWithContinue) {
    const std::string data = PatternBytes(3 * 1024 * 1024 + 17, 5);
    const std::size_t kept = 1024 * 1024 + 3;
    std::string marked = data.substr(0, kept);
    marked.replace(0, 8, "MARKMARK");
    struct Case {
        bool download;
        bool resume;
    };
    for (const Case c :
         {Case{true, true}, Case{true, false}, Case{false, true}, Case{false, false}}) {
        SCOPED_TRACE(std::string(c.download ? "get" : "put") + (c.resume ? " --continue" : ""));
        const fs::path local = m_local.path() / "big.bin";
        const fs::path remote = m_remote / "big.bin";
        fs::remove(local);
        fs::remove(remote);
        std::vector<std::string> args;
        fs::path target, partial;
        if (c.download) {
            WriteDated(remote, data, 1650000000);
            partial = m_local.path() / ".big.bin.tw-part";
            target = local;
            args = {"get", url(remote), local.string()};
        } else {
            WriteDated(local, data, 1650000000);
            partial = m_remote / ".big.bin.tw-up";
            target = remote;
            args = {"put", local.string(), url(m_remote) + "/"};
        }
        std::ofstream(partial, std::ios::binary) << marked;
        if (c.resume)
            args.insert(args.begin(), "--continue");
        const Outcome o = runCli(with(args, keyLogin()));
        ASSERT_EQ(o.status, 0) << o.err;
        const std::string got = ReadWholeFile(target);
        EXPECT_EQ(got.size(), data.size());
        EXPECT_TRUE(got == (c.resume ? marked + data.substr(kept) : data))
            << "starts with " << got.substr(0, 8);
        EXPECT_EQ(MtimeOf(target), 1650000000);
        EXPECT_FALSE(fs::exists(partial));
    }
}

// known_hosts decides: a known key (hashed or plain) logs in; an unknown one is refused with
// exit 4 and its fingerprint unless --accept-new-host-key adds it hashed; a changed one is
// refused with a warning and both fingerprints even with that option, and never written.
TEST_F(SftpCli, HostKeys) {
    const std::string port = std::to_string(s_server->port());
    const fs::path other = m_local.path() / "other_known_hosts";
    std::ofstream(other) << s_server->otherKnownHostsLine() << '\n';
    // "256 SHA256:... [127.0.0.1]:port (ED25519)"
    const std::string otherLine = commandOutput("ssh-keygen -lf '" + other.string() + "'");
    const std::string otherFingerprint =
        otherLine.substr(otherLine.find(' ') + 1,
                         otherLine.find(' ', otherLine.find(' ') + 1) - otherLine.find(' ') - 1);
    ASSERT_EQ(otherFingerprint.rfind("SHA256:", 0), 0u) << otherLine;
    ASSERT_NE(otherFingerprint, s_server->hostKeyFingerprint());

    struct Case {
        const char* name;
        std::string knownHosts;
        bool accept;
        std::vector<std::string> command;
        int status;
        std::vector<std::string> inError;
        bool added; // the file then holds one hashed line for the server, else it is unchanged
    };
    const std::string hashed = s_server->knownHostsLine(true) + "\n";
    const std::vector<Case> cases = {
        {"hashed entry", hashed, false, {"ls", url(m_remote)}, 0, {}, false},
        {"plain entry",
         s_server->knownHostsLine(false) + "\n",
         false,
         {"ls", url(m_remote)},
         0,
         {},
         false},
        {"unknown",
         "",
         false,
         {"ls", url(m_remote)},
         4,
         {"(error 12200)", "[127.0.0.1]:" + port, s_server->hostKeyType(),
          s_server->hostKeyFingerprint(), "--accept-new-host-key"},
         false},
        {"unknown, copying on three connections",
         "",
         false,
         {"mirror", "-P", "3", url(m_remote), (m_local.path() / "m1").string()},
         4,
         {s_server->hostKeyFingerprint()},
         false},
        {"unknown accepted", "", true, {"ls", url(m_remote)}, 0, {}, true},
        {"unknown accepted, copying on three connections",
         "",
         true,
         {"mirror", "-P", "3", url(m_remote), (m_local.path() / "m2").string()},
         5,
         {},
         true},
        {"changed",
         s_server->otherKnownHostsLine() + "\n",
         false,
         {"ls", url(m_remote)},
         4,
         {"(error 12201)", "WARNING", s_server->hostKeyFingerprint(), otherFingerprint,
          "ssh-keygen -R"},
         false},
        {"changed, with --accept-new-host-key",
         s_server->otherKnownHostsLine() + "\n",
         true,
         {"ls", url(m_remote)},
         4,
         {"WARNING", s_server->hostKeyFingerprint(), otherFingerprint},
         false},
    };
    for (int i = 0; i < 4; ++i)
        WriteDated(m_remote / ("f" + std::to_string(i)), PatternBytes(5000, i), 1600000000);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::ofstream(m_knownHosts, std::ios::trunc) << c.knownHosts;
        std::vector<std::string> args = keyLogin();
        if (c.accept)
            args.push_back("--accept-new-host-key");
        const Outcome o = runCli(with(c.command, args));
        EXPECT_EQ(o.status, c.status) << o.err;
        for (const std::string& text : c.inError)
            EXPECT_NE(o.err.find(text), std::string::npos) << text << " in\n" << o.err;
        if (c.status == 0 && c.command[0] == "ls") {
            EXPECT_NE(o.out.find(" f3\n"), std::string::npos) << o.out;
        }
        const std::string after = ReadWholeFile(m_knownHosts);
        if (!c.added) {
            EXPECT_EQ(after, c.knownHosts);
            continue;
        }
        EXPECT_EQ(after.rfind("|1|", 0), 0u) << after;
        EXPECT_EQ(std::count(after.begin(), after.end(), '\n'), 1) << after;
        int found = -1;
        const std::string lookup = commandOutput(
            "ssh-keygen -F '[127.0.0.1]:" + port + "' -f '" + m_knownHosts.string() + "'", &found);
        EXPECT_EQ(found, 0) << lookup;
        // Known from now on: no option needed.
        const Outcome again = runCli(with({"ls", url(m_remote)}, keyLogin()));
        EXPECT_EQ(again.status, 0) << again.err;
        EXPECT_EQ(ReadWholeFile(m_knownHosts), after);
    }
}

// Logins that fail, and options that do not fit the URL: the status and what standard error
// says.
TEST_F(SftpCli, RefusalsAndOptionsThatDoNotFit) {
    const fs::path openKey = m_local.path() / "open_key";
    fs::copy_file(s_server->clientKey(), openKey);
    fs::permissions(openKey,
                    fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    std::string why;
    const auto emptyAgent = SshAgent::start(why);
    struct Case {
        const char* name;
        std::vector<std::string> args; // before the command
        Environment env;
        int status;
        std::string inError;
    };
    const std::string ftpUrl = "ftp://127.0.0.1:" + std::to_string(s_server->port()) + "/";
    std::vector<Case> cases = {
        {"wrong passphrase",
         {"--no-agent", "-i", s_server->encryptedKey().string()},
         {{"TARNWICK_FTP_PASSPHRASE", "wrong"}},
         1,
         "(error 12204)"},
        {"no passphrase and no terminal",
         {"--no-agent", "-i", s_server->encryptedKey().string()},
         {},
         1,
         "(error 12204)"},
        {"stranger's key",
         {"--no-agent", "-i", s_server->strangerKey().string()},
         {},
         1,
         "(error 12202)"},
        {"key readable by others", {"--no-agent", "-i", openKey.string()}, {}, 1, "(error 12203)"},
        {"missing key file", {"-i", (m_local.path() / "nothing").string()}, {}, 2, "cannot read"},
        {"--tls with sftp://", {"--tls", "explicit"}, {}, 2, "--tls applies to FTP only"},
        {"--active with sftp://", {"--active"}, {}, 2, "--active applies to FTP only"},
        {"--insecure with sftp://", {"--insecure"}, {}, 2, "--insecure applies to FTP only"},
    };
    if (emptyAgent)
        cases.push_back({"agent without keys",
                         {},
                         {{"SSH_AUTH_SOCK", emptyAgent->socket()}},
                         1,
                         "(error 12205)"});
    if (s_passwords)
        cases.push_back({"wrong password",
                         {"--no-agent"},
                         {{"TARNWICK_FTP_PASSWORD", "wrong"}},
                         1,
                         "(error 12014)"});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Outcome o = runCli(with({"ls", url(m_remote)}, c.args), c.env);
        EXPECT_EQ(o.status, c.status) << o.err;
        EXPECT_NE(o.err.find(c.inError), std::string::npos) << o.err;
        EXPECT_TRUE(o.out.empty());
    }
    for (const std::string option : {"--no-agent", "--accept-new-host-key"}) {
        const Outcome o = runCli({option, "ls", ftpUrl});
        EXPECT_EQ(o.status, 2);
        EXPECT_NE(o.err.find(option + " applies to sftp:// URLs only"), std::string::npos) << o.err;
    }
    const Outcome help = runCli({"--help"});
    EXPECT_EQ(help.status, 0);
    for (const char* text : {"sftp://", "--identity FILE", "--known-hosts FILE",
                             "--accept-new-host-key", "SSH host key"})
        EXPECT_NE(help.out.find(text), std::string::npos) << text;
}

} // namespace
} // namespace tw::test

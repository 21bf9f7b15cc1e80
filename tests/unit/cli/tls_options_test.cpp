#include "cli/command_line.h"
#include "ftp/ftp_url.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

using namespace tw::cli;
using namespace tw::ftp;
using tw::ftp::TlsMode;

namespace {

constexpr const char* kPin = "AB:CD:EF:01:23:45:67:89:AB:CD:EF:01:23:45:67:89:AB:CD:EF:01:23:45:67:"
                             "89:AB:CD:EF:01:23:45:67:89";

struct Case {
    std::vector<std::string> args; // the command line; its URL is the first argument after ls
    // The outcome: a mode and port, or the stage that refuses it.
    std::optional<TlsMode> mode;
    int port = 0;
    enum class Refused { No, CommandLine, Url, Protocol, Resolve } refused = Refused::No;
};

} // namespace

// Every way of choosing the encryption, from the command line to the mode and port the
// runner connects with (sftp:// has no mode: SSH), and each way of asking for something
// contradictory: FTP's options with sftp://, SSH's with an FTP URL.
TEST(CliTls, SchemesOptionsAndConflicts) {
    using R = Case::Refused;
    const std::string pinNoColons =
        "abcdef0123456789abcdef0123456789abcdef0123456789abcdef0123456789";
    const std::vector<Case> cases = {
        {{"ls", "ftp://h/"}, TlsMode::Plain, 21},
        {{"ls", "ftps://h/"}, TlsMode::Implicit, 990},
        {{"ls", "FTPES://h/"}, TlsMode::ExplicitRequired, 21},
        {{"ls", "ftps://h:2990/"}, TlsMode::Implicit, 2990},
        {{"--tls", "auto", "ls", "ftp://h/"}, TlsMode::ExplicitIfAvailable, 21},
        {{"--tls=explicit", "ls", "ftp://h/"}, TlsMode::ExplicitRequired, 21},
        {{"--tls", "implicit", "ls", "ftp://h/"}, TlsMode::Implicit, 990},
        {{"--tls", "implicit", "ls", "ftp://h:21/"}, TlsMode::Implicit, 21},
        {{"--tls", "off", "ls", "ftp://h/"}, TlsMode::Plain, 21},
        {{"--tls", "implicit", "ls", "ftps://h/"}, TlsMode::Implicit, 990},
        {{"--tls", "explicit", "ls", "ftpes://h/"}, TlsMode::ExplicitRequired, 21},
        {{"--ca-file", "/ca.pem", "ls", "ftpes://h/"}, TlsMode::ExplicitRequired, 21},
        {{"--pin-sha256", pinNoColons, "ls", "ftps://h/"}, TlsMode::Implicit, 990},
        {{"--insecure", "--tls", "auto", "ls", "ftp://h/"}, TlsMode::ExplicitIfAvailable, 21},
        // Refused while reading the command line.
        {{"--tls", "always", "ls", "ftp://h/"}, {}, 0, R::CommandLine},
        {{"--tls"}, {}, 0, R::CommandLine},
        {{"--ca-file=", "ls", "ftpes://h/"}, {}, 0, R::CommandLine},
        {{"--pin-sha256", "AB:CD", "ls", "ftpes://h/"}, {}, 0, R::CommandLine},
        {{"--pin-sha256", pinNoColons + "0", "ls", "ftpes://h/"}, {}, 0, R::CommandLine},
        {{"--pin-sha256", "xyz" + pinNoColons.substr(3), "ls", "ftpes://h/"},
         {},
         0,
         R::CommandLine},
        {{"--insecure", "--pin-sha256", kPin, "ls", "ftpes://h/"}, {}, 0, R::CommandLine},
        {{"ls", "sftp://h/"}, {}, 22},
        {{"ls", "SFTP://u@h:2222/~/x"}, {}, 2222},
        {{"-i", "/k", "--known-hosts", "/kh", "--no-agent", "--accept-new-host-key",
          "--ssh-config=none", "ls", "sftp://h/"},
         {},
         22},
        // Refused while reading the command line.
        {{"--identity"}, {}, 0, R::CommandLine},
        {{"--known-hosts=", "ls", "sftp://h/"}, {}, 0, R::CommandLine},
        {{"-i", "", "ls", "sftp://h/"}, {}, 0, R::CommandLine},
        // Refused as a URL.
        {{"ls", "ftpx://h/"}, {}, 0, R::Url},
        {{"ls", "ssh://h/"}, {}, 0, R::Url},
        // Options of the other protocol.
        {{"--tls", "auto", "ls", "sftp://h/"}, {}, 0, R::Protocol},
        {{"--active", "ls", "sftp://h/"}, {}, 0, R::Protocol},
        {{"--ca-file", "/ca.pem", "ls", "sftp://h/"}, {}, 0, R::Protocol},
        {{"--pin-sha256", kPin, "ls", "sftp://h/"}, {}, 0, R::Protocol},
        {{"--allow-truncated-tls", "get", "sftp://h/f"}, {}, 0, R::Protocol},
        {{"-i", "/k", "ls", "ftp://h/"}, {}, 0, R::Protocol},
        {{"--no-agent", "ls", "ftpes://h/"}, {}, 0, R::Protocol},
        {{"--known-hosts", "/kh", "ls", "ftps://h/"}, {}, 0, R::Protocol},
        {{"--ssh-config", "none", "ls", "ftp://h/"}, {}, 0, R::Protocol},
        {{"--accept-new-host-key", "ls", "ftp://h/"}, {}, 0, R::Protocol},
        // A scheme and --tls that disagree, certificate options for plain FTP.
        {{"--tls", "off", "ls", "ftps://h/"}, {}, 0, R::Resolve},
        {{"--tls", "auto", "ls", "ftpes://h/"}, {}, 0, R::Resolve},
        {{"--tls", "explicit", "ls", "ftps://h/"}, {}, 0, R::Resolve},
        {{"--tls", "implicit", "ls", "ftpes://h/"}, {}, 0, R::Resolve},
        {{"--ca-file", "/ca.pem", "ls", "ftp://h/"}, {}, 0, R::Resolve},
        {{"--pin-sha256", kPin, "--tls", "off", "ls", "ftp://h/"}, {}, 0, R::Resolve},
        {{"--insecure", "ls", "ftp://h/"}, {}, 0, R::Resolve},
    };
    for (const Case& c : cases) {
        std::string label;
        for (const auto& a : c.args)
            label += a + " ";
        SCOPED_TRACE(label);
        CommandLine cl;
        std::string error;
        const bool parsed = ParseCommandLine(c.args, cl, error);
        ASSERT_EQ(parsed, c.refused != R::CommandLine) << error;
        if (!parsed) {
            EXPECT_FALSE(error.empty());
            continue;
        }
        FtpUrl url;
        const bool urlOk = ParseFtpUrl(cl.arguments.at(0), url, error);
        ASSERT_EQ(urlOk, c.refused != R::Url) << error;
        if (!urlOk) {
            EXPECT_FALSE(error.empty());
            continue;
        }
        const bool fits = CheckProtocolOptions(cl, url.protocol, error);
        ASSERT_EQ(fits, c.refused != R::Protocol) << error;
        if (!fits) {
            EXPECT_FALSE(error.empty());
            continue;
        }
        if (url.protocol == Protocol::Sftp) {
            EXPECT_FALSE(c.mode);
            EXPECT_EQ(url.port, c.port);
            if (cl.noAgent) {
                EXPECT_EQ(cl.identityFile, "/k");
                EXPECT_EQ(cl.knownHostsFile, "/kh");
                EXPECT_EQ(cl.sshConfigFile, "none");
                EXPECT_TRUE(cl.acceptNewHostKey);
            }
            continue;
        }
        TlsMode mode = TlsMode::Plain;
        const bool resolved = ResolveTlsMode(cl, url.tls, mode, error);
        ASSERT_EQ(resolved, c.refused != R::Resolve) << error;
        if (!resolved) {
            EXPECT_FALSE(error.empty());
            continue;
        }
        EXPECT_EQ(mode, *c.mode);
        EXPECT_EQ(ConnectPort(url, mode), c.port);
        if (!cl.pinSha256.empty()) {
            EXPECT_EQ(cl.pinSha256, kPin); // normalised from any accepted form
        }
    }
}

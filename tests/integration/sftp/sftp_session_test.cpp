#include "integration/sftp/ssh_test_server.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace tw::test {
namespace {

// The fixture's server takes OpenSSH's own client with a key and with a password.
TEST(SshFixture, ServesOpenSshsClient) {
    for (const bool passwords : {false, true}) {
        std::string why;
        auto server = SshTestServer::start({passwords, true}, why);
        if (!server) {
            if (passwords)
                continue; // not root here
            GTEST_SKIP() << why;
        }
        const std::string line =
            "echo ls | sftp -q -b - -i '" + server->clientKey().string() +
            "' -o BatchMode=yes -o StrictHostKeyChecking=no -o UserKnownHostsFile=/dev/null -P " +
            std::to_string(server->port()) + " " + server->user() + "@127.0.0.1 >/dev/null 2>&1";
        EXPECT_EQ(std::system(line.c_str()), 0) << server->serverLog();
        EXPECT_EQ(server->hostKeyFingerprint().rfind("SHA256:", 0), 0u);
        EXPECT_EQ(server->knownHostsLine(true).rfind("|1|", 0), 0u);
    }
}

} // namespace
} // namespace tw::test

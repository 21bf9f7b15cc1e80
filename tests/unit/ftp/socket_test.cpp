#include "ftp/canceller.h"
#include "ftp/ftp_error.h"
#include "ftp/socket.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <cstring>
#include <netinet/in.h>
#include <thread>

using namespace tw::ftp;

namespace {

SocketAddress v4(const char* host, int port = 0) {
    SocketAddress a;
    auto* in = reinterpret_cast<sockaddr_in*>(&a.storage);
    in->sin_family = AF_INET;
    in->sin_port = htons(static_cast<uint16_t>(port));
    inet_pton(AF_INET, host, &in->sin_addr);
    a.length = sizeof(sockaddr_in);
    return a;
}

SocketAddress v6(const char* host, int port = 0) {
    SocketAddress a;
    auto* in = reinterpret_cast<sockaddr_in6*>(&a.storage);
    in->sin6_family = AF_INET6;
    in->sin6_port = htons(static_cast<uint16_t>(port));
    inet_pton(AF_INET6, host, &in->sin6_addr);
    a.length = sizeof(sockaddr_in6);
    return a;
}

} // namespace

TEST(SocketAddress, SameHostIgnoresPortsAndMapsIPv4) {
    EXPECT_TRUE(v4("127.0.0.1", 21).sameHost(v4("127.0.0.1", 40000)));
    EXPECT_TRUE(v4("127.0.0.1").sameHost(v6("::ffff:127.0.0.1")));
    EXPECT_TRUE(v6("::ffff:127.0.0.1").sameHost(v4("127.0.0.1")));
    EXPECT_FALSE(v4("127.0.0.1").sameHost(v4("127.0.0.2")));
    EXPECT_FALSE(v4("127.0.0.1").sameHost(v6("::1")));
    EXPECT_TRUE(v6("::1", 1).sameHost(v6("::1", 2)));
    EXPECT_EQ(v6("::ffff:127.0.0.1").host(), "127.0.0.1");
    EXPECT_EQ(v6("::1").host(), "::1");
    SocketAddress a = v4("127.0.0.1");
    a.setPort(2121);
    EXPECT_EQ(a.port(), 2121);
}

TEST(Socket, AcceptsDataConnectionsOnlyFromTheServersHost) {
    Socket listener;
    ASSERT_EQ(listener.listenOn(v4("127.0.0.1")), kErrNone);
    SocketAddress bound;
    ASSERT_TRUE(listener.localAddress(bound));
    // Someone on 127.0.0.1 connects while the server is ::1: refused, and the wait times out.
    Socket intruder;
    ASSERT_EQ(intruder.connectTo(bound, 1000, nullptr), kErrNone);
    Socket accepted;
    EXPECT_EQ(listener.acceptFrom(v6("::1"), 300, nullptr, accepted), kErrTimeout);
    EXPECT_FALSE(accepted.valid());
    // The same connection is taken when it comes from the server's host.
    Socket server;
    ASSERT_EQ(server.connectTo(bound, 1000, nullptr), kErrNone);
    EXPECT_EQ(listener.acceptFrom(v4("127.0.0.1"), 1000, nullptr, accepted), kErrNone);
    EXPECT_TRUE(accepted.valid());
}

TEST(Socket, WaitsEndByTimeoutOrCancellation) {
    Socket listener;
    ASSERT_EQ(listener.listenOn(v4("127.0.0.1")), kErrNone);
    SocketAddress bound;
    ASSERT_TRUE(listener.localAddress(bound));
    Socket client;
    ASSERT_EQ(client.connectTo(bound, 1000, nullptr), kErrNone);
    char buf[16];
    std::size_t got = 0;
    EXPECT_EQ(client.readSome(buf, sizeof buf, got, 100, nullptr), kErrTimeout);

    Canceller cancel;
    cancel.cancel(); // not armed: no call in progress, so nothing is cancelled
    EXPECT_FALSE(cancel.isCancelled());
    EXPECT_EQ(client.readSome(buf, sizeof buf, got, 50, &cancel), kErrTimeout);
    cancel.arm();
    std::thread other([&cancel] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        cancel.cancel();
    });
    EXPECT_EQ(client.readSome(buf, sizeof buf, got, 10000, &cancel), kErrOperationCancelled);
    other.join();
    cancel.reset();
    EXPECT_FALSE(cancel.isCancelled());
    EXPECT_EQ(client.readSome(buf, sizeof buf, got, 50, &cancel), kErrTimeout);
}

TEST(Socket, RefusedConnectionAndPeerReset) {
    Socket probe;
    ASSERT_EQ(probe.listenOn(v4("127.0.0.1")), kErrNone);
    SocketAddress bound;
    ASSERT_TRUE(probe.localAddress(bound));
    probe.close(); // nobody listens there now
    Socket client;
    EXPECT_EQ(client.connectTo(bound, 1000, nullptr), kErrCannotConnect);
    EXPECT_EQ(ErrorFromErrno(ECONNRESET, false), kErrConnectionReset);
    EXPECT_EQ(ErrorFromErrno(ETIMEDOUT, true), kErrTimeout);
}

#include "core/session/demo_account.h"
#include "core/state/app_state.h"
#include "support/qt_printers.h"

#include <gtest/gtest.h>

using namespace tw;

TEST(DemoAccount, AddedOnceThenUpdatedAndMadeCurrent) {
    AppState state;
    state.Accounts.resize(3);
    state.CurrentAccount = 1;
    ASSERT_TRUE(ApplyDemoServer(state, u"127.0.0.1"_qs, 2121));
    ASSERT_EQ(state.AccountCount(), 4);
    EXPECT_EQ(state.CurrentAccount, 3);
    const AccountRecord& demo = state.Accounts[3];
    EXPECT_EQ(demo.Name, u"Local Demo Server"_qs);
    EXPECT_TRUE(demo.Anonymous);
    EXPECT_TRUE(demo.Passive);
    EXPECT_EQ(demo.RemotePort, 2121u);

    state.Accounts[3].Visits = 5;
    ASSERT_TRUE(ApplyDemoServer(state, u"127.0.0.1"_qs, 40000));
    EXPECT_EQ(state.AccountCount(), 4);
    EXPECT_EQ(state.Accounts[3].RemotePort, 40000u);
    EXPECT_EQ(state.Accounts[3].Visits, 5u); // the account keeps its history
}

TEST(DemoAccount, FullTableIsRefused) {
    AppState state;
    state.Accounts.resize(kMaxAccounts);
    EXPECT_FALSE(ApplyDemoServer(state, u"127.0.0.1"_qs, 2121));
    EXPECT_EQ(state.AccountCount(), kMaxAccounts);
}

TEST(DemoAccount, ParsesHostAndPort) {
    QString host;
    int port = 0;
    ASSERT_TRUE(ParseDemoServer(u"127.0.0.1:2121"_qs, host, port));
    EXPECT_EQ(host, u"127.0.0.1"_qs);
    EXPECT_EQ(port, 2121);
    ASSERT_TRUE(ParseDemoServer(u"[::1]:21"_qs, host, port));
    EXPECT_EQ(host, u"::1"_qs);
    for (const QString& bad :
         {u"127.0.0.1"_qs, u":21"_qs, u"host:0"_qs, u"host:99999"_qs, u"host:x"_qs, u"::1:21"_qs})
        EXPECT_FALSE(ParseDemoServer(bad, host, port)) << bad.toStdString();
}

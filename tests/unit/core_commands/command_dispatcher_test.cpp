#include "core/commands/commands.h"
#include "core/text/messages.h"
#include "core/text/string_table.h"
#include "support/recording_port.h"

#include <gtest/gtest.h>

#include <stdexcept>

using namespace tw;

namespace {

QString text(int id) {
    return LookupString(id).value_or(QString());
}

QString status(int id) {
    return u"status: "_qs + text(id);
}

struct DispatcherTest : ::testing::Test {
    test::RecordingPort port;
    AppState state;
    AppGlobals globals;
    Messages messages{port, state, globals};
    CommandDispatcher dispatcher{messages};

    // A handler that leaves a mark in the port's event list.
    CommandDispatcher::Handler marker(const QString& name) {
        return [this, name] { port.appendLog(name); };
    }
};

} // namespace

TEST_F(DispatcherTest, HelpTextThenHandlerThenStateUpdate) {
    dispatcher.registerHandler(CommandId::Download, marker(u"download"_qs));
    EXPECT_TRUE(dispatcher.dispatch(562));
    EXPECT_EQ(port.events(),
              (QStringList{status(562), u"log: download"_qs, u"updateCommandState"_qs}));
    EXPECT_FALSE(text(562).isEmpty());
}

TEST_F(DispatcherTest, ConnectAndReConnectEndWithReady) {
    dispatcher.registerHandler(CommandId::Connect, marker(u"connect"_qs));
    dispatcher.registerHandler(CommandId::ReConnect, marker(u"reconnect"_qs));
    dispatcher.registerHandler(CommandId::Disconnect, marker(u"disconnect"_qs));
    dispatcher.dispatch(CommandId::Connect);
    EXPECT_EQ(port.events(), (QStringList{status(454), u"log: connect"_qs, status(60000),
                                          u"updateCommandState"_qs}));
    port.clear();
    dispatcher.dispatch(CommandId::ReConnect);
    EXPECT_EQ(port.events(), (QStringList{status(457), u"log: reconnect"_qs, status(60000),
                                          u"updateCommandState"_qs}));
    port.clear();
    dispatcher.dispatch(CommandId::Disconnect);
    EXPECT_EQ(port.events(),
              (QStringList{status(455), u"log: disconnect"_qs, u"updateCommandState"_qs}));
    EXPECT_EQ(port.status(), text(455));
}

TEST_F(DispatcherTest, CommandWithoutHandlerOnlyRecomputesState) {
    // Cancel of the context menus, a command whose subsystem is not connected, an unknown id.
    for (int id : {421, 561, 0, 12345, -1}) {
        port.clear();
        EXPECT_FALSE(dispatcher.dispatch(id)) << id;
        EXPECT_EQ(port.events(), QStringList{u"updateCommandState"_qs}) << id;
    }
    EXPECT_TRUE(port.boxes().empty());
}

TEST_F(DispatcherTest, ARefusedCommandBeepsAndSaysWhyInsteadOfRunning) {
    dispatcher.registerHandler(CommandId::Accounts, marker(u"accounts"_qs));
    dispatcher.registerHandler(CommandId::Connect, marker(u"connect"_qs));
    CommandInputs in;
    in.busy = true; // a connect runs
    dispatcher.setGate([&in](CommandId id) { return RefusalTextId(in, id); });
    EXPECT_FALSE(dispatcher.dispatch(CommandId::Accounts));
    EXPECT_EQ(port.events(),
              (QStringList{u"beep"_qs, u"status: Not available while the connection is busy"_qs,
                           u"updateCommandState"_qs}));
    port.clear();
    in.busy = false;
    EXPECT_TRUE(dispatcher.dispatch(CommandId::Accounts));
    EXPECT_EQ(port.events(),
              (QStringList{status(130), u"log: accounts"_qs, u"updateCommandState"_qs}));
    port.clear();
    in.connected = true;
    EXPECT_FALSE(dispatcher.dispatch(CommandId::Connect));
    EXPECT_EQ(port.status(), u"Not available while connected"_qs);
    EXPECT_TRUE(port.log().isEmpty());
}

TEST_F(DispatcherTest, HiddenStatusBarStillRunsTheCommand) {
    port.statusVisible = false;
    dispatcher.registerHandler(CommandId::Connect, marker(u"connect"_qs));
    EXPECT_TRUE(dispatcher.dispatch(454));
    EXPECT_EQ(port.events(), (QStringList{u"log: connect"_qs, u"updateCommandState"_qs}));
}

TEST_F(DispatcherTest, HandlersCanBeReplacedRemovedAndReRegisterThemselves) {
    dispatcher.registerHandler(CommandId::ClearLog, marker(u"first"_qs));
    dispatcher.registerHandler(CommandId::ClearLog, marker(u"second"_qs));
    dispatcher.dispatch(213);
    EXPECT_EQ(port.log(), QStringList{u"second"_qs});

    dispatcher.registerHandler(CommandId::ClearLog, {});
    EXPECT_FALSE(dispatcher.hasHandler(CommandId::ClearLog));
    EXPECT_FALSE(dispatcher.dispatch(213));

    // A handler that swaps its own registration while running finishes safely.
    int runs = 0;
    dispatcher.registerHandler(CommandId::Font, [&] {
        ++runs;
        dispatcher.registerHandler(CommandId::Font, {});
        port.appendLog(u"still here"_qs);
    });
    EXPECT_TRUE(dispatcher.dispatch(430));
    EXPECT_FALSE(dispatcher.dispatch(430));
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(port.log().last(), u"still here"_qs);
}

TEST_F(DispatcherTest, FailingHandlerStillEndsWithStateUpdate) {
    dispatcher.registerHandler(CommandId::Accounts, [this] { messages.ErrorBox(60002, {0}); });
    dispatcher.dispatch(130);
    ASSERT_EQ(port.boxes().size(), 1u);
    EXPECT_EQ(port.events().last(), u"updateCommandState"_qs);

    port.clear();
    dispatcher.registerHandler(CommandId::Options, [] { throw std::runtime_error("broken"); });
    EXPECT_THROW(dispatcher.dispatch(133), std::runtime_error);
    EXPECT_EQ(port.count(u"updateCommandState"_qs), 1);
}

// --- Status text while a menu item is highlighted ---

TEST(MenuHelp, ItemsShowTheirHelpAndOutOfRangeIdsShowReady) {
    EXPECT_EQ(MenuHelpStringId({562, false, false}, true), 562);
    EXPECT_EQ(MenuHelpStringId({101, false, false}, true), 101);
    EXPECT_EQ(MenuHelpStringId({999, false, false}, true), 999);
    for (int id : {0, 1, 100, 1000, 1454, 60000})
        EXPECT_EQ(MenuHelpStringId({id, false, false}, true), 60000) << id;
}

TEST(MenuHelp, HiddenStatusBarPopupsAndSystemMenuLeaveTheText) {
    for (int id : {0, 454, 2000})
        EXPECT_FALSE(MenuHelpStringId({id, false, false}, false)) << id;
    EXPECT_FALSE(MenuHelpStringId({0, true, false}, true));
    EXPECT_FALSE(MenuHelpStringId({3, true, false}, true));
    EXPECT_FALSE(MenuHelpStringId({454, false, true}, true));
    // System commands carry large ids: the menu line reads "Ready ...".
    EXPECT_EQ(MenuHelpStringId({0xF060, false, true}, true), 60000);
}

TEST_F(DispatcherTest, ShowMenuHelpWritesTheStatusBar) {
    EXPECT_TRUE(ShowMenuHelp(messages, {553, false, false}, true));
    EXPECT_EQ(port.status(), text(553));
    // Moving onto a sub-menu title keeps the last help text.
    EXPECT_FALSE(ShowMenuHelp(messages, {12, true, false}, true));
    EXPECT_EQ(port.status(), text(553));
    // Closing the menu.
    EXPECT_TRUE(ShowMenuHelp(messages, {0, false, false}, true));
    EXPECT_EQ(port.status(), text(60000));
    port.clear();
    EXPECT_FALSE(ShowMenuHelp(messages, {553, false, false}, false));
    EXPECT_TRUE(port.events().isEmpty());
}

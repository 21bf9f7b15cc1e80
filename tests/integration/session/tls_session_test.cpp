#include "core/session/session_controller.h"
#include "core/settings/settings_store.h"
#include "core/text/messages.h"
#include "ftp/ftp_error.h"
#include "integration/ftp/ftp_test_servers.h"
#include "support/loopback_account.h"
#include "support/recording_port.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace tw;

namespace {

const std::string kOtherFingerprint =
    "00:11:22:33:44:55:66:77:88:99:AA:BB:CC:DD:EE:FF:00:11:22:33:44:55:66:77:88:99:AA:BB:CC:DD:"
    "EE:FF";

} // namespace

// A server with a self-signed certificate, from the accounts through the port: asked once,
// remembered on "Always" (in the settings file), not asked again; a remembered certificate that
// no longer matches is asked again as changed; Cancel fails with the certificate error; "Trust
// once" holds for the running program without replacing what is remembered.
TEST(TlsSession, ASelfSignedCertificateIsAskedRememberedAndAskedAgainWhenChanged) {
    using Setup = test::FtpTestServer::TlsSetup;
    Setup setup;
    setup.certificate = Setup::Certificate::SelfSigned;
    std::string why;
    const auto server = test::FtpTestServer::startTls(test::FtpTestServer::Kind::Pyftpdlib,
                                                      "127.0.0.1", setup, why);
    if (!server)
        GTEST_SKIP() << why;

    QTemporaryDir dir;
    SettingsStore store(dir.filePath(u"settings.conf"_qs));
    CertificateTrust trust(&store);
    test::RecordingPort port;
    AppState state;
    AppGlobals globals;
    globals.soundsWithDialogs = false;
    AppRuntime runtime;
    Messages messages{port, state, globals};
    AccountRecord account =
        test::LoopbackAccount(u"Secure"_qs, server->port(), QDir::currentPath());
    account.Encryption = ftp::TlsMode::ExplicitRequired;
    state.Accounts.push_back(account);
    state.CurrentAccount = 0;
    SessionController::Hooks hooks;
    hooks.showAccountsSheet = [] { return true; };
    SessionController controller(state, runtime, messages, port, hooks);
    controller.setTimeoutMs(5000);
    controller.setCertificateTrust(&trust);
    const int serverPort = server->port();

    const auto connect = [&] {
        port.clear();
        EXPECT_TRUE(controller.Connect());
        controller.waitForWorker();
        return bool(runtime.connected);
    };
    const auto disconnect = [&] { EXPECT_TRUE(controller.Disconnect(false)); };

    const struct Step {
        const char* name;
        std::optional<std::string> remembered; // planted before connecting
        std::vector<CertificateAnswer> answers;
        int questions;
        bool changed;
        bool connects;
        std::optional<std::string> rememberedAfter;
    } steps[] = {
        {"first connect, Always",
         std::nullopt,
         {CertificateAnswer::TrustAlways},
         1,
         false,
         true,
         server->fingerprint()},
        {"remembered: not asked", std::nullopt, {}, 0, false, true, server->fingerprint()},
        {"changed, Cancel",
         kOtherFingerprint,
         {CertificateAnswer::Cancel},
         1,
         true,
         false,
         kOtherFingerprint},
        {"changed, Trust once",
         std::nullopt,
         {CertificateAnswer::TrustOnce},
         1,
         true,
         true,
         kOtherFingerprint},
        {"trusted once: not asked", std::nullopt, {}, 0, false, true, kOtherFingerprint},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.name);
        if (s.remembered) {
            ASSERT_TRUE(trust.remember(u"127.0.0.1"_qs, serverPort, *s.remembered));
        }
        for (const CertificateAnswer a : s.answers)
            port.answerCertificates({a});
        const bool connected = connect();
        EXPECT_EQ(connected, s.connects);
        const std::vector<CertificateRequest> asked = port.certificateRequests();
        ASSERT_EQ(int(asked.size()), s.questions);
        for (const CertificateRequest& r : asked) {
            EXPECT_EQ(r.host, u"127.0.0.1"_qs);
            EXPECT_EQ(r.port, serverPort);
            EXPECT_EQ(r.changed, s.changed);
            EXPECT_EQ(r.certificate.sha256, server->fingerprint());
            EXPECT_EQ(r.certificate.problem, ftp::CertificateProblem::Untrusted);
        }
        if (connected) {
            EXPECT_TRUE(port.logContains(u"Encrypted connection: TLSv1."_qs))
                << port.log().join(u'\n').toStdString();
            EXPECT_TRUE(port.events().contains(u"title: Tarnwick 2000 - 127.0.0.1 (encrypted)"_qs));
            disconnect();
        } else {
            EXPECT_TRUE(port.logContains(QString::number(ftp::kErrCertificateUntrusted)))
                << port.log().join(u'\n').toStdString();
        }
        EXPECT_EQ(SettingsStore(store.fileName())
                      .ReadSettingString(u"Certificates"_qs,
                                         u"127.0.0.1:"_qs + QString::number(serverPort), {}, -1),
                  QString::fromStdString(s.rememberedAfter.value_or(std::string())));
    }
}

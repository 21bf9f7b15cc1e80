#include "core/edit/edit_port.h"
#include "core/edit/remote_edit_controller.h"
#include "core/panes/local_listing.h"
#include "core/panes/local_system.h"
#include "core/panes/pane_operations.h"
#include "core/permissions/permissions_controller.h"
#include "core/queue/queue_controller.h"
#include "core/session/remote_file_ops.h"
#include "core/session/session_controller.h"
#include "core/text/messages.h"
#include "core/transfer/transfer_controller.h"
#include "ftp/ftp_error.h"
#include "integration/sftp/ssh_test_server.h"
#include "support/flow_controllers.h"
#include "support/recording_transfer_port.h"
#include "unit/core_panes/pane_test_support.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <map>
#include <mutex>

#include <chrono>
#include <deque>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <thread>

#include <sys/stat.h>

using namespace tw;
namespace fs = std::filesystem;
using test::SshTestServer;

namespace {

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void writeFile(const fs::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

unsigned modeOnDisk(const fs::path& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 ? unsigned(st.st_mode & 07777) : 0xFFFFu;
}

// The recording port with the pane, permissions and edit questions answered from the test.
class FlowPort : public test::RecordingTransferPort,
                 public PanePort,
                 public PermissionsPort,
                 public EditPort {
public:
    QStringList paneNames; // Make Directory / Rename answers (empty text, or none: Cancel)
    std::optional<PermissionsAnswer> permissions;
    int uploadsAsked = 0; // an edited file's upload: always Yes

    std::optional<QString> askName(const NameRequest&) override {
        const QString answer = paneNames.isEmpty() ? QString() : paneNames.takeFirst();
        return answer.isEmpty() ? std::nullopt : std::optional<QString>(answer);
    }
    void endNameDialog(NameDialogKind, bool) override {}
    DeleteAnswer askDelete(const DeleteRequest&) override { return DeleteAnswer::YesToAll; }
    std::optional<QString> askFolder(const FolderRequest&) override { return std::nullopt; }
    bool showProperties(const PropertiesData&) override { return true; }
    std::optional<PermissionsAnswer> askPermissions(const PermissionsRequest&) override {
        return permissions;
    }
    void openRunProgress(const QString&, std::function<void()>) override {}
    void updateRunProgress(const QString&) override {}
    void closeRunProgress() override {}
    UploadAnswer askUpload(const QString&, const QString&) override {
        ++uploadsAsked;
        return UploadAnswer::Yes;
    }
    EditExitAnswer askExit(const QStringList&) override { return EditExitAnswer::Discard; }
    void editsChanged() override {}
};

// The window's flows over SFTP against a real sshd, headless: the session, the queue and the
// transfers on the recording port, the test's own known_hosts and ssh_config.
class SftpFlow : public test::FlowControllers {
public:
    bool start(std::string& why) {
        server = SshTestServer::start({}, why);
        if (!server)
            return false;
        const fs::path root = server->root();
        fs::create_directories(root / "tree" / "inner");
        writeFile(root / "a.txt", "alpha");
        writeFile(root / "tree" / "one.txt", "one");
        writeFile(root / "tree" / "inner" / "two.txt", std::string(200000, 't'));

        AccountRecord a;
        a.Name = u"Shell"_qs;
        a.URL = u"127.0.0.1"_qs;
        a.Protocol = ftp::Protocol::Sftp;
        a.RemotePort = std::uint32_t(server->port());
        a.Login = QString::fromStdString(server->user());
        a.Password = u"unused"_qs; // the key logs in
        a.KeyFile = QString::fromStdString(server->clientKey().string());
        a.UseAgent = false;
        a.RemotePath = QString::fromStdString(root.string());
        a.LocalPath = local.path();
        state.Accounts.push_back(a);
        state.CurrentAccount = 0;
        state.ColumnLabels = {u"File Name"_qs, u"Date"_qs, u"Size"_qs};
        state.options.Connections = 2;
        globals.soundsWithDialogs = false;
        globals.transferLogging = false;
        newRun();
        return true;
    }

    // A new run of the program: what it trusted once or was told is gone.
    void newRun() {
        edits.reset();
        permissions.reset();
        build(state, runtime, globals, messages, port, system, queueRows, 10000);
        session->setSshFiles(server->knownHosts().string(), server->sshConfig().string());
        permissions =
            std::make_unique<PermissionsController>(state, runtime, messages, *session, port);
        edits =
            std::make_unique<RemoteEditController>(state, messages, port, *queue, *session, desktop,
                                                   RemoteEditController::Hooks{}, copies.path());
        edits->setSettleMs(50);
    }

    ~SftpFlow() {
        edits.reset();
        permissions.reset();
        reset();
        QDir::setCurrent(savedCwd);
    }

    // Waits for the workers and runs what they hand to the UI thread (and the event loop, for
    // the edit watcher) until all is quiet.
    void settle() {
        FlowControllers::settle(
            port, runtime, {}, [this] { permissions->waitForRun(); }, true);
    }
    // Runs the hand-overs and the event loop until `done`, within a bound that only keeps a
    // broken run from hanging.
    bool until(const std::function<bool()>& done) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (std::chrono::steady_clock::now() < end) {
            port.runUiTasks();
            QCoreApplication::processEvents();
            if (done() && !queue->running())
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return false;
    }
    int row(const QString& name) const {
        for (std::size_t i = 0; i < state.remote.entries.size(); ++i)
            if (state.remote.entries[i].name == name)
                return int(i);
        return -1;
    }

    bool connect() {
        EXPECT_TRUE(session->Connect());
        settle();
        return runtime.connected;
    }
    void disconnect() {
        if (runtime.connected) {
            EXPECT_TRUE(session->Disconnect(false));
        }
        settle();
    }

    bool listed(const PaneState& pane, const QString& name) const {
        return std::any_of(pane.entries.begin(), pane.entries.end(),
                           [&](const FileEntry& e) { return e.name == name; });
    }
    std::vector<int> rows(const PaneState& pane, const QStringList& names) const {
        return test::RowsNamed(pane, names);
    }
    std::string log() const { return port.log().join(u'\n').toStdString(); }

    std::unique_ptr<SshTestServer> server;
    QTemporaryDir local;
    QString savedCwd = QDir::currentPath();
    QTemporaryDir copies, tools;
    FlowPort port;
    test::FakeLocalSystem system;
    DesktopLocalSystem desktop;
    AppState state;
    AppGlobals globals;
    AppRuntime runtime;
    Messages messages{port, state, globals};
    QueueRows queueRows;
    std::unique_ptr<PermissionsController> permissions;
    std::unique_ptr<RemoteEditController> edits;
};

enum class KnownHosts { Keep, Empty, OtherKey };

} // namespace

// Host keys through the port, as the certificate question works: an unknown key is asked
// (Cancel fails, "Always" connects, lists and adds a hashed line to known_hosts, after which
// nothing is asked); a key known_hosts holds another key for is a warning box with both
// fingerprints and the file to edit, never a question, and no connection; "Trust once" holds
// for the running program (Re-Connect, a new Connect) and writes nothing.
TEST(SftpSession, HostKeysAreAskedRememberedAndAChangedKeyIsRefused) {
    SftpFlow f;
    std::string why;
    if (!f.start(why))
        GTEST_SKIP() << why;
    const std::string fingerprint = f.server->hostKeyFingerprint();
    const fs::path knownHosts = f.server->knownHosts();

    const struct Step {
        const char* name;
        KnownHosts knownHosts;
        bool newRun;
        std::vector<HostKeyAnswer> answers;
        int questions;
        bool connects;
        bool warning;
        bool hashedLineAfter; // known_hosts holds the server's key, hashed
    } steps[] = {
        {"unknown, Cancel",
         KnownHosts::Empty,
         false,
         {HostKeyAnswer::Cancel},
         1,
         false,
         false,
         false},
        {"unknown, Always",
         KnownHosts::Keep,
         false,
         {HostKeyAnswer::TrustAlways},
         1,
         true,
         false,
         true},
        {"known: not asked", KnownHosts::Keep, true, {}, 0, true, false, true},
        {"changed: a warning", KnownHosts::OtherKey, false, {}, 0, false, true, false},
        {"unknown, Trust once",
         KnownHosts::Empty,
         true,
         {HostKeyAnswer::TrustOnce},
         1,
         true,
         false,
         false},
        {"trusted once: not asked", KnownHosts::Keep, false, {}, 0, true, false, false},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.name);
        if (s.knownHosts == KnownHosts::Empty)
            writeFile(knownHosts, "");
        else if (s.knownHosts == KnownHosts::OtherKey)
            writeFile(knownHosts, f.server->otherKnownHostsLine() + "\n");
        if (s.newRun)
            f.newRun();
        f.port.clear();
        for (const HostKeyAnswer a : s.answers)
            f.port.answerHostKeys({a});

        EXPECT_EQ(f.connect(), s.connects) << f.log();
        const std::vector<HostKeyRequest> asked = f.port.hostKeyRequests();
        ASSERT_EQ(int(asked.size()), s.questions);
        for (const HostKeyRequest& r : asked) {
            EXPECT_EQ(r.key.host, "127.0.0.1");
            EXPECT_EQ(r.key.port, f.server->port());
            EXPECT_EQ(r.key.type, f.server->hostKeyType());
            EXPECT_EQ(r.key.fingerprint, fingerprint);
            EXPECT_FALSE(r.key.changed);
        }
        const std::vector<test::RecordingPort::Box> boxes = f.port.boxes();
        if (s.warning) {
            ASSERT_EQ(boxes.size(), 1u);
            EXPECT_EQ(boxes[0].kind, BoxKind::SystemWarning);
            EXPECT_EQ(boxes[0].caption, u"Host Key Changed"_qs);
            for (const std::string& part :
                 {fingerprint, knownHosts.string(), std::string("may be an attack")})
                EXPECT_TRUE(boxes[0].text.contains(QString::fromStdString(part)))
                    << boxes[0].text.toStdString();
            EXPECT_TRUE(f.port.logContains(QString::number(ftp::kErrSshHostKeyChanged)));
        } else {
            EXPECT_TRUE(boxes.empty());
        }
        if (s.connects) {
            EXPECT_TRUE(f.listed(f.state.remote, u"a.txt"_qs)) << f.log();
            EXPECT_TRUE(f.port.logContains(u"Secure connection: SFTP over SSH"_qs));
            EXPECT_TRUE(f.port.events().contains(u"title: Tarnwick 2000 - 127.0.0.1 (SFTP)"_qs));
            EXPECT_FALSE(f.port.logContains(u"Passive Mode"_qs));
            // Re-Connect asks nothing again.
            f.port.clear();
            EXPECT_TRUE(f.session->Reconnect());
            f.settle();
            EXPECT_TRUE(f.runtime.connected) << f.log();
            EXPECT_TRUE(f.port.hostKeyRequests().empty());
        } else if (!s.warning) {
            EXPECT_TRUE(f.port.logContains(QString::number(ftp::kErrSshHostKeyUnknown))) << f.log();
        }
        const std::string lines = readFile(knownHosts);
        if (s.hashedLineAfter) {
            EXPECT_EQ(lines.rfind("|1|", 0), 0u) << lines; // OpenSSH's hashed form
            EXPECT_EQ(lines.find("127.0.0.1"), std::string::npos) << lines;
        } else if (s.knownHosts == KnownHosts::OtherKey) {
            EXPECT_EQ(lines, f.server->otherKnownHostsLine() + "\n"); // never replaced
        } else {
            EXPECT_EQ(lines, "");
        }
        f.disconnect();
    }

    // The queue's connections take the key the user accepted and never ask: a key that
    // changed since the browsing session connected fails the row with the warning.
    f.newRun();
    writeFile(knownHosts, "");
    f.port.clear();
    f.port.answerHostKeys({HostKeyAnswer::TrustOnce});
    ASSERT_TRUE(f.connect()) << f.log();
    writeFile(knownHosts, f.server->otherKnownHostsLine() + "\n");
    ASSERT_TRUE(f.transfers->StartDownload(f.rows(f.state.remote, {u"a.txt"_qs})));
    f.settle();
    EXPECT_EQ(f.port.hostKeyRequests().size(), 1u);
    ASSERT_EQ(f.queueRows.count(), 1);
    EXPECT_EQ(f.queueRows.at(0).state, queue::ItemState::Failed);
    EXPECT_EQ(f.queueRows.at(0).errorCode, ftp::kErrSshHostKeyChanged) << f.log();
    EXPECT_FALSE(fs::exists(fs::path(f.local.path().toStdString()) / "a.txt"));
    f.disconnect();
}

// The server's key known, and the account logging in with the passphrase-protected key.
QString useEncryptedKey(SftpFlow& f) {
    writeFile(f.server->knownHosts(), f.server->knownHostsLine(true) + "\n");
    const QString key = QString::fromStdString(f.server->encryptedKey().string());
    f.state.Accounts[0].KeyFile = key;
    return key;
}

// A passphrase kept with the saved passwords: asked once with the offer to keep it, then used
// without a question; a kept one the key refuses is asked again, as "again".
TEST(SftpSession, AKeptPassphraseIsUsedWithoutAQuestion) {
    SftpFlow f;
    std::string why;
    if (!f.start(why))
        GTEST_SKIP() << why;
    const QString key = useEncryptedKey(f);
    std::mutex mutex;
    std::map<QString, QString> kept;
    f.session->setPassphraseStore({[&](const QString& file) -> std::optional<QString> {
                                       const std::lock_guard lock(mutex);
                                       const auto it = kept.find(file);
                                       return it == kept.end() ? std::nullopt
                                                               : std::optional<QString>(it->second);
                                   },
                                   [&](const QString& file, const QString& passphrase) {
                                       const std::lock_guard lock(mutex);
                                       kept[file] = passphrase;
                                   }});
    const QString right = QString::fromLatin1(SshTestServer::kPassphrase);
    const struct Row {
        const char* name;
        std::optional<QString> before; // kept before the connect
        bool asked;
    } rows[] = {
        {"nothing kept: asked and kept", std::nullopt, true},
        {"kept: no question", right, false},
        {"kept but refused: asked again", u"an old passphrase"_qs, true},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        {
            const std::lock_guard lock(mutex);
            kept.clear();
            if (r.before)
                kept[key] = *r.before;
        }
        f.port.clear();
        f.port.passphraseAnswer = right;
        f.port.passphraseSave = true;
        ASSERT_TRUE(f.connect()) << f.log();
        const std::vector<PassphraseRequest> asked = f.port.passphraseRequests();
        ASSERT_EQ(asked.size(), r.asked ? 1u : 0u) << f.log();
        if (r.asked) {
            EXPECT_TRUE(asked[0].offerSave);
            EXPECT_EQ(asked[0].again, r.before.has_value());
        }
        {
            const std::lock_guard lock(mutex);
            EXPECT_EQ(kept[key], right);
        }
        f.disconnect();
    }
}

// A key with a passphrase: Cancel and a wrong passphrase (asked again, three times) connect
// nothing; the right one is asked once for the browsing session and the queue's connections,
// which then carry a folder down and another up, with what they hold.
TEST(SftpSession, APassphraseIsAskedOnceAndTheQueueCarriesFolders) {
    SftpFlow f;
    std::string why;
    if (!f.start(why))
        GTEST_SKIP() << why;
    const QString key = useEncryptedKey(f);

    const struct Row {
        const char* name;
        std::optional<QString> answer;
        int asks;
        bool connects;
        int error;
    } rows[] = {
        {"cancelled", std::nullopt, 1, false, 0},
        {"wrong", u"not the passphrase"_qs, 3, false, ftp::kErrSshKeyPassphrase},
        {"right", QString::fromLatin1(SshTestServer::kPassphrase), 1, true, 0},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        f.port.clear();
        f.port.passphraseAnswer = r.answer;
        EXPECT_EQ(f.connect(), r.connects) << f.log();
        const std::vector<PassphraseRequest> asked = f.port.passphraseRequests();
        ASSERT_EQ(int(asked.size()), r.asks) << f.log();
        for (std::size_t i = 0; i < asked.size(); ++i) {
            EXPECT_EQ(asked[i].keyFile, key);
            EXPECT_EQ(asked[i].again, i > 0);
        }
        if (r.error) {
            EXPECT_TRUE(f.port.logContains(QString::number(r.error))) << f.log();
        }
    }
    ASSERT_TRUE(f.runtime.connected);

    // A folder down, through the queue's own connections.
    ASSERT_TRUE(f.transfers->StartDownload(f.rows(f.state.remote, {u"tree"_qs})));
    f.settle();
    const fs::path here = f.local.path().toStdString();
    EXPECT_EQ(readFile(here / "tree" / "one.txt"), "one") << f.log();
    EXPECT_EQ(readFile(here / "tree" / "inner" / "two.txt"), std::string(200000, 't'));

    // And another up.
    fs::create_directories(here / "up" / "deep");
    writeFile(here / "up" / "b.txt", "beta");
    writeFile(here / "up" / "deep" / "c.bin", std::string(300000, 'c'));
    ListLocalDirectory(f.state, f.messages, f.system);
    ASSERT_TRUE(f.transfers->StartUpload(f.rows(f.state.local, {u"up"_qs})));
    f.settle();
    const fs::path root = f.server->root();
    EXPECT_EQ(readFile(root / "up" / "b.txt"), "beta") << f.log();
    EXPECT_EQ(readFile(root / "up" / "deep" / "c.bin"), std::string(300000, 'c'));
    EXPECT_TRUE(f.listed(f.state.remote, u"up"_qs));

    EXPECT_EQ(f.port.passphraseRequests().size(), 1u); // the queue asked nothing
    EXPECT_TRUE(f.port.hostKeyRequests().empty());
    for (int i = 0; i < f.queueRows.count(); ++i)
        EXPECT_EQ(f.queueRows.at(i).state, queue::ItemState::Done) << f.queueRows.at(i).error;
}

// The remote pane's operations over SFTP through the same flows as FTP's: Make Directory,
// Rename (onto a name the listing does not show yet but the server has: refused before the
// engine is asked), Permissions on a file and inside a folder (on a connection of its own),
// Delete of a folder with what it holds, and Edit (F4): a save goes up after the question, and
// a file someone changed on the server meanwhile is asked about and kept. Each change is
// listed again.
TEST(SftpSession, RemoteOperationsAndEditGoThroughTheSharedFlows) {
    SftpFlow f;
    std::string why;
    if (!f.start(why))
        GTEST_SKIP() << why;
    const fs::path root = f.server->root();
    writeFile(f.server->knownHosts(), f.server->knownHostsLine(false) + "\n");
    const std::string editor = f.tools.path().toStdString() + "/editor.sh";
    writeFile(editor, "#!/bin/sh\nprintf 'second draft' > \"$1.x\" && mv \"$1.x\" \"$1\"\n");
    fs::permissions(editor, fs::perms::owner_all);
    f.state.FileTypes = {{u".txt"_qs, QString::fromStdString(editor)}};
    ASSERT_TRUE(f.connect()) << f.log();
    RemoteFileOps ops(*f.session);
    const PaneContext context{f.state, f.messages, f.port};
    const QString folder = QString::fromStdString(root.string());
    const auto saveCopy = [&](const std::string& text) {
        const std::string copy = f.edits->copyPath(f.edits->files()[0].id).toStdString();
        writeFile(copy + ".x", text);
        fs::rename(copy + ".x", copy);
        f.edits->checkCopy(f.edits->files()[0].id);
    };

    const struct Step {
        const char* name;
        std::function<bool()> run;
        std::function<void()> check;
        QString error = {}; // the log's error line; none: the folder is listed again
    } steps[] = {
        {"make a folder",
         [&] {
             f.port.paneNames = {u"made"_qs};
             return MakeDirectory(context, ops);
         },
         [&] {
             EXPECT_TRUE(fs::is_directory(root / "made"));
             EXPECT_GE(f.row(u"made"_qs), 0);
         }},
        {"rename onto a name the server has",
         [&] {
             writeFile(root / "late.txt", "late"); // not in the listing
             f.port.paneNames = {u"late.txt"_qs};
             return !RenameEntry(context, ops, {f.row(u"a.txt"_qs)});
         },
         [&] {
             EXPECT_EQ(readFile(root / "a.txt"), "alpha");
             EXPECT_EQ(readFile(root / "late.txt"), "late");
             EXPECT_EQ(f.port.boxes().size(), 1u);
         },
         u"Error: FtpRenameFile (17) File exists"_qs},
        {"rename",
         [&] {
             f.port.paneNames = {u"renamed.txt"_qs};
             return RenameEntry(context, ops, {f.row(u"a.txt"_qs)});
         },
         [&] {
             EXPECT_FALSE(fs::exists(root / "a.txt"));
             EXPECT_EQ(readFile(root / "renamed.txt"), "alpha");
         }},
        {"permissions of a file",
         [&] {
             f.port.permissions = PermissionsAnswer{{0600, 0777}};
             return f.permissions->ChangePermissions({f.row(u"renamed.txt"_qs)});
         },
         [&] {
             EXPECT_EQ(modeOnDisk(root / "renamed.txt"), 0600u);
             EXPECT_TRUE(f.port.log().contains(u"chmod 600 "_qs + folder + u"/renamed.txt"_qs));
             EXPECT_EQ(*f.state.remote.entries[std::size_t(f.row(u"renamed.txt"_qs))].mode, 0600);
         }},
        {"permissions inside a folder",
         [&] {
             f.port.permissions =
                 PermissionsAnswer{{0640, 0777}, true, queue::ChmodScope::FilesOnly};
             return f.permissions->ChangePermissions({f.row(u"tree"_qs)});
         },
         [&] {
             EXPECT_EQ(modeOnDisk(root / "tree" / "one.txt"), 0640u);
             EXPECT_EQ(modeOnDisk(root / "tree" / "inner" / "two.txt"), 0640u);
             EXPECT_EQ(modeOnDisk(root / "tree"), 0755u);
             EXPECT_TRUE(f.port.log().contains(u"Permissions changed: 2 of 2 items"_qs));
         }},
        {"delete a folder with what it holds",
         [&] { return RemoteDelete(context, *f.session, {f.row(u"tree"_qs)}); },
         [&] {
             EXPECT_FALSE(fs::exists(root / "tree"));
             EXPECT_EQ(f.row(u"tree"_qs), -1);
         }},
        {"edit: the save goes up",
         [&] { return f.edits->editSelected({f.row(u"renamed.txt"_qs)}); },
         [&] {
             ASSERT_TRUE(f.until([&] { return f.edits->files()[0].state == EditState::Uploaded; }))
                 << f.log();
             EXPECT_EQ(f.port.uploadsAsked, 1);
             EXPECT_EQ(readFile(root / "renamed.txt"), "second draft");
         },
         u"-"_qs},
        {"edit: changed on the server meanwhile",
         [&] {
             writeFile(root / "renamed.txt", "their version, longer");
             f.port.answerBoxes({false});
             saveCopy("third draft");
             return true;
         },
         [&] {
             ASSERT_TRUE(f.until([&] {
                 return f.port.boxes().size() == 1 &&
                        f.edits->files()[0].state == EditState::Changed;
             }));
             EXPECT_TRUE(f.port.boxes()[0].text.contains(u"was changed on the server"_qs));
             EXPECT_EQ(readFile(root / "renamed.txt"), "their version, longer");
         },
         u"-"_qs},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.name);
        f.port.clear();
        EXPECT_TRUE(s.run());
        f.settle();
        s.check();
        const QStringList log = f.port.log();
        if (s.error == u"-"_qs) { // the edit's own copy, not the pane
            EXPECT_TRUE(log.filter(u"Error"_qs).isEmpty()) << log.join(u'\n').toStdString();
            continue;
        }
        EXPECT_EQ(log.contains(u"READDIR "_qs + folder + u"/*.* ..."_qs), s.error.isEmpty())
            << log.join(u'\n').toStdString();
        EXPECT_EQ(log.filter(u"Error"_qs), s.error.isEmpty() ? QStringList() : QStringList{s.error})
            << log.join(u'\n').toStdString();
    }
}

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv); // the edit watcher's events
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

#pragma once

#include "core/edit/copy_stamp.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QFileSystemWatcher;
class QTemporaryDir;
class QTimer;

namespace tw {

struct AppState;
class EditPort;
class LocalSystem;
class Messages;
class QueueController;
class SessionController;

enum class EditState { Downloading, Unchanged, Changed, Uploading, Uploaded, Failed };

// One remote file open for editing, as the Edited Files list shows it.
struct EditedFile {
    int id = 0;
    QString name;       // the file's name (also the copy's)
    QString remotePath; // its full path on the server
    QString server;     // host[:port] it came from
    EditState state = EditState::Downloading;
    bool unsaved = false; // the copy holds changes the server does not have
};

// "Unchanged", "Changed", ... as the Edited Files list shows a state.
QString EditStateText(const Messages& messages, EditState state);

// Remote files edited in place. Edit downloads the selected remote file through the transfer
// queue into a private folder of its own (0700, in the cache folder), opens it with its type's
// program, and watches the copy: the folder too, so a save that writes a new file and renames
// it over the copy is seen. A burst of events is checked once; a save counts when the
// content's SHA-256 differs from what the server has, and then the user is asked whether to
// upload it. Each upload first asks the server (SIZE, MDTM) whether the file changed or went
// since it was read, and then the user decides; the copy stays until the user ends editing.
//
// Used on the user-interface thread; the network work runs on the queue's workers.
class RemoteEditController {
public:
    struct Hooks {
        // Ends the program (the user chose to upload the changes at exit; they are uploaded).
        std::function<void()> exitProgram;
    };

    // `tempRoot`: where the copies' folders go; empty: the cache folder. At the end a copy with
    // changes not uploaded stays there, unless the user discarded them.
    RemoteEditController(const AppState& state, const Messages& messages, EditPort& port,
                         QueueController& queue, SessionController& session, LocalSystem& system,
                         Hooks hooks = {}, QString tempRoot = {});
    ~RemoteEditController();
    RemoteEditController(const RemoteEditController&) = delete;
    RemoteEditController& operator=(const RemoteEditController&) = delete;

    // 567: edits the one selected remote file (a file already open is opened again).
    bool editSelected(const std::vector<int>& selection);

    std::vector<EditedFile> files() const;
    // The Edited Files commands.
    void uploadNow(int id);
    void openAgain(int id);
    // Removes the copy (asking first when it has changes not uploaded); false when kept.
    bool endEditing(int id);
    // At exit: the files with changes not uploaded are asked about. False: do not exit now
    // (cancelled, or the changes are being uploaded and the program ends after them).
    bool confirmExit();

    // The copy's local path (the file system's bytes); empty for an unknown id.
    QByteArray copyPath(int id) const;
    // Looks at a copy now, as the watcher does after a burst of events.
    void checkCopy(int id);
    // How long a burst of events is waited out before the copy is looked at.
    void setSettleMs(int ms) { m_settleMs = ms; }

private:
    struct Edit;

    Edit* find(int id) const;
    bool readyToLook(Edit& edit);
    void checkCopySoon(int id);
    void lookAt(int id, const CopyStamp& now);
    QString makeRoot();
    bool startProgram(Edit& edit);
    void watch(Edit& edit);
    void changed(Edit& edit);
    void upload(Edit& edit, bool overwrite);
    void setState(Edit& edit, EditState state);
    bool sameServer(const Edit& edit) const;
    void exitWhenUploaded();

    const AppState& m_state;
    const Messages& m_messages;
    EditPort& m_port;
    QueueController& m_queue;
    SessionController& m_session;
    LocalSystem& m_system;
    Hooks m_hooks;
    QString m_tempRoot;
    std::vector<std::unique_ptr<Edit>> m_edits;
    std::unique_ptr<QFileSystemWatcher> m_watcher;
    int m_nextId = 1;
    int m_settleMs = 300;
    bool m_exitPending = false;
    bool m_discarded = false; // the user discarded the changes at exit
    // Held while the controller lives: a hash finished on a pool thread after its end is
    // dropped.
    std::shared_ptr<int> m_alive = std::make_shared<int>(0);
};

} // namespace tw

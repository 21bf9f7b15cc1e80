#include "core/edit/remote_edit_controller.h"

#include "core/edit/edit_port.h"
#include "core/panes/local_operations.h"
#include "core/panes/local_system.h"
#include "core/queue/queue_controller.h"
#include "core/session/session_controller.h"
#include "core/settings/default_programs.h"
#include "core/state/app_state.h"
#include "core/text/messages.h"
#include "ftp/ftp_error.h"
#include "ftp/ftp_session.h"
#include "ftp/name_safety.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileSystemWatcher>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThreadPool>
#include <QTimer>

#include <algorithm>

namespace tw {

namespace {

using queue::ItemState;
using queue::TransferItem;

constexpr int kCaption = 4940;

// The server's file as SIZE and MDTM tell it; what a server does not offer stays unknown.
struct RemoteFacts {
    std::optional<std::uint64_t> size;
    std::optional<std::int64_t> time;
    bool gone = false; // SIZE refused for good: the file (known to be a file) is not there
};

RemoteFacts ReadRemoteFacts(ftp::RemoteSession& session, const std::string& path) {
    RemoteFacts facts;
    facts.size = session.fileSize(path);
    if (!facts.size && session.lastError() == ftp::kErrExtendedError &&
        session.lastResponse().starts_with('5'))
        facts.gone = true;
    else
        facts.time = session.modificationTime(path);
    return facts;
}

// Whether the server's file differs from how it was known, by what both readings tell.
bool Differs(const RemoteFacts& known, const RemoteFacts& now) {
    return (known.size && now.size && *known.size != *now.size) ||
           (known.time && now.time && *known.time != *now.time);
}

// What a copy's hooks found on the queue's worker, read on the UI thread once the row ended.
struct Probe {
    enum class Finding { None, Folder, ChangedOnServer, Gone };
    Finding finding = Finding::None;
    RemoteFacts facts; // the server's file before a download, after an upload
};

std::string Bytes(const QByteArray& bytes) {
    return {bytes.constData(), std::size_t(bytes.size())};
}

QByteArray JoinRemote(const QByteArray& folder, const QByteArray& name) {
    return folder.endsWith('/') ? folder + name : folder + '/' + name;
}

} // namespace

struct RemoteEditController::Edit {
    int id = 0;
    QString name;
    QString remoteShown;    // the remote path as shown
    std::string remotePath; // the server's bytes
    QString type;
    ftp::SessionOptions server; // host, port and user it came from
    std::unique_ptr<QTemporaryDir> folder;
    QByteArray localPath;
    EditState state = EditState::Downloading;
    CopyStamp seen;          // the copy as last looked at
    QByteArray serverHash;   // the content the server has (downloaded or uploaded)
    QByteArray declinedHash; // content the user chose not to upload
    QByteArray uploadingHash;
    RemoteFacts remote; // the server's file when it was read or last written
    bool always = false;
    bool asking = false;
    bool lookAgain = false; // a save came while a question or an upload ran
    bool uploadedOnce = false;
    std::unique_ptr<QTimer> settle;

    bool unsaved() const { return seen.exists && seen.sha256 != serverHash; }
};

RemoteEditController::RemoteEditController(const AppState& state, const Messages& messages,
                                           EditPort& port, QueueController& queue,
                                           SessionController& session, LocalSystem& system,
                                           Hooks hooks, QString tempRoot)
    : m_state(state), m_messages(messages), m_port(port), m_queue(queue), m_session(session),
      m_system(system), m_hooks(std::move(hooks)), m_tempRoot(std::move(tempRoot)),
      m_watcher(std::make_unique<QFileSystemWatcher>()) {
    const auto touched = [this](const QString& path) {
        const QByteArray bytes = QFile::encodeName(path);
        for (const auto& edit : m_edits)
            if (edit->localPath == bytes || QFile::encodeName(edit->folder->path()) == bytes)
                edit->settle->start(m_settleMs);
    };
    QObject::connect(m_watcher.get(), &QFileSystemWatcher::fileChanged, m_watcher.get(), touched);
    QObject::connect(m_watcher.get(), &QFileSystemWatcher::directoryChanged, m_watcher.get(),
                     touched);
}

RemoteEditController::~RemoteEditController() {
    // A copy with changes the server does not have stays on the disk unless the user chose to
    // discard it (the desktop session may end the program without asking).
    for (const auto& edit : m_edits)
        if (!m_discarded && edit->state != EditState::Downloading &&
            ReadCopyStamp(edit->localPath, edit->seen).sha256 != edit->serverHash)
            edit->folder->setAutoRemove(false);
}

RemoteEditController::Edit* RemoteEditController::find(int id) const {
    for (const auto& edit : m_edits)
        if (edit->id == id)
            return edit.get();
    return nullptr;
}

QString RemoteEditController::makeRoot() {
    // The cache folder outlives the desktop session (the runtime folder does not), so a copy
    // kept with changes is still there after a logout.
    const QString root =
        !m_tempRoot.isEmpty()
            ? m_tempRoot
            : QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) +
                  QStringLiteral("/tarnwick2000/edit");
    if (!QDir().mkpath(root))
        return {};
    QFile::setPermissions(root, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return root;
}

bool RemoteEditController::editSelected(const std::vector<int>& selection) {
    m_messages.ShowStatus(567);
    const PaneState& pane = m_state.remote;
    if (selection.size() != 1 || selection[0] < 0 || selection[0] >= pane.count() ||
        !m_session.engine()) {
        m_messages.Beep();
        return false;
    }
    const FileEntry& row = pane.entries[std::size_t(selection[0])];
    if (row.isParent || row.isFolder) {
        m_messages.InfoBox(kCaption, 4941, {row.name});
        return false;
    }
    const QByteArray nameBytes = SessionController::RemoteNameBytes(row);
    const QByteArray remoteBytes = JoinRemote(m_session.remotePathBytes(), nameBytes);
    const ftp::SessionOptions server = m_session.connectionOptions();
    // The same file opened again: its copy, with the changes it may hold.
    for (const auto& edit : m_edits)
        if (edit->remotePath == Bytes(remoteBytes) && edit->server.host == server.host &&
            edit->server.port == server.port && edit->server.user == server.user) {
            if (edit->state != EditState::Downloading)
                startProgram(*edit);
            return true;
        }
    if (!ftp::IsSafeLocalName(Bytes(nameBytes))) {
        m_messages.InfoBox(kCaption, 4942, {row.name});
        return false;
    }
    const QString root = makeRoot();
    auto folder = std::make_unique<QTemporaryDir>(root + QStringLiteral("/XXXXXX"));
    if (root.isEmpty() || !folder->isValid()) {
        m_messages.InfoBox(kCaption, 4943, {row.name, folder->errorString()});
        return false;
    }
    auto edit = std::make_unique<Edit>();
    edit->id = m_nextId++;
    edit->name = row.name;
    edit->remoteShown =
        pane.path.endsWith(u'/') ? pane.path + row.name : pane.path + u'/' + row.name;
    edit->remotePath = Bytes(remoteBytes);
    edit->type = row.type;
    edit->server = server;
    edit->localPath = QFile::encodeName(folder->path()) + '/' + nameBytes;
    edit->folder = std::move(folder);
    edit->settle = std::make_unique<QTimer>();
    edit->settle->setSingleShot(true);
    QObject::connect(edit->settle.get(), &QTimer::timeout, m_watcher.get(),
                     [this, id = edit->id] { checkCopySoon(id); });

    TransferItem item;
    item.direction = queue::Direction::Download;
    item.localPath = Bytes(edit->localPath);
    item.remotePath = edit->remotePath;
    item.size = row.findData.size;
    item.listedTime = row.findData.lastWriteTime;
    auto probe = std::make_shared<Probe>();
    QueueController::FileHooks hooks;
    hooks.before = [probe, link = row.isLink](
                       TransferItem& copy,
                       ftp::RemoteSession& session) -> std::optional<queue::ItemResult> {
        // A link may lead to a folder: only entering it tells.
        if (link && session.setCurrentDirectory(copy.remotePath)) {
            probe->finding = Probe::Finding::Folder;
            return queue::ItemResult{ItemState::Skipped, "a folder", 0, false};
        }
        probe->facts = ReadRemoteFacts(session, copy.remotePath);
        return std::nullopt;
    };
    hooks.finished = [this, probe, id = edit->id](const TransferItem& copy) {
        Edit* e = find(id);
        if (!e || e->state != EditState::Downloading)
            return;
        if (copy.state == ItemState::Done) {
            e->remote = probe->facts;
            e->seen = ReadCopyStamp(e->localPath);
            e->serverHash = e->seen.sha256;
            setState(*e, EditState::Unchanged);
            watch(*e);
            startProgram(*e);
            return;
        }
        if (copy.state == ItemState::Stopped)
            m_queue.remove({copy.id}); // a stopped edit is no edit: nothing waits to go on
        const QString name = e->name;
        const bool folder = probe->finding == Probe::Finding::Folder;
        m_edits.erase(std::find_if(m_edits.begin(), m_edits.end(),
                                   [id](const auto& x) { return x->id == id; }));
        m_port.editsChanged();
        if (folder)
            m_messages.InfoBox(kCaption, 4941, {name});
        else
            m_messages.LogMessage(4944, {name, QString::fromStdString(copy.error)});
    };
    m_edits.push_back(std::move(edit));
    if (!m_queue.enqueueFile(std::move(item), std::move(hooks))) {
        m_edits.pop_back();
        m_messages.Beep();
        return false;
    }
    m_port.editsChanged();
    return true;
}

bool RemoteEditController::startProgram(Edit& edit) {
    QString program = ProgramForType(m_state.FileTypes, m_state.DefaultEditor, edit.type);
    if (program.trimmed().isEmpty())
        program = DefaultOpenProgram();
    const int error = m_system.startProgram(program, edit.localPath);
    if (error != 0) {
        m_messages.ReportApiError(4520, error, false);
        return false;
    }
    return true;
}

void RemoteEditController::watch(Edit& edit) {
    // The folder tells of a new file renamed over the copy; the file of writes into it.
    m_watcher->addPath(edit.folder->path());
    m_watcher->addPath(QFile::decodeName(edit.localPath));
}

// Whether the copy may be looked at now; a look wanted while a question is open or an upload
// runs is kept for later.
bool RemoteEditController::readyToLook(Edit& edit) {
    if (edit.state == EditState::Downloading)
        return false;
    const QString path = QFile::decodeName(edit.localPath);
    // A save by renaming replaced the file the watcher followed: follow the new one.
    if (!m_watcher->files().contains(path) && QFile::exists(path))
        m_watcher->addPath(path);
    if (edit.asking || edit.state == EditState::Uploading) {
        edit.lookAgain = true;
        return false;
    }
    return true;
}

void RemoteEditController::checkCopy(int id) {
    Edit* edit = find(id);
    if (edit && readyToLook(*edit))
        lookAt(id, ReadCopyStamp(edit->localPath, edit->seen));
}

// The watcher's look: the content is hashed on a pool thread, so a save of a large copy never
// stalls the window; the answer comes back to this thread while the controller lives.
void RemoteEditController::checkCopySoon(int id) {
    Edit* edit = find(id);
    if (!edit || !readyToLook(*edit))
        return;
    const std::weak_ptr<int> alive = m_alive;
    QThreadPool::globalInstance()->start(
        [this, alive, id, path = edit->localPath, previous = edit->seen] {
            CopyStamp stamp = ReadCopyStamp(path, previous);
            QMetaObject::invokeMethod(
                QCoreApplication::instance(),
                [this, alive, id, stamp = std::move(stamp)] {
                    Edit* edit = alive.lock() ? find(id) : nullptr;
                    if (edit && readyToLook(*edit))
                        lookAt(id, stamp);
                },
                Qt::QueuedConnection);
        });
}

void RemoteEditController::lookAt(int id, const CopyStamp& now) {
    Edit* edit = find(id);
    if (!edit)
        return;
    if (!now.exists || now.sha256.isEmpty() ||
        (now.sameMetadata(edit->seen) && now.sha256 == edit->seen.sha256))
        return; // gone for a moment while saved, or nothing new
    edit->seen = now;
    if (now.sha256 == edit->serverHash) {
        setState(*edit, edit->uploadedOnce ? EditState::Uploaded : EditState::Unchanged);
        return;
    }
    setState(*edit, EditState::Changed);
    m_discarded = false; // a change made after the exit question is not discarded with it
    if (now.sha256 == edit->declinedHash)
        return;
    if (edit->always) {
        upload(*edit, false);
        return;
    }
    edit->asking = true;
    const UploadAnswer answer = m_port.askUpload(edit->name, edit->remoteShown);
    edit = find(id); // editing may have ended while the question was open
    if (!edit)
        return;
    edit->asking = false;
    if (answer == UploadAnswer::No)
        edit->declinedHash = now.sha256;
    else {
        edit->always = answer == UploadAnswer::Always;
        upload(*edit, false);
    }
    if (std::exchange(edit->lookAgain, false))
        checkCopy(id);
}

bool RemoteEditController::sameServer(const Edit& edit) const {
    const ftp::SessionOptions now = m_session.connectionOptions();
    return m_session.engine() && now.host == edit.server.host && now.port == edit.server.port &&
           now.user == edit.server.user;
}

void RemoteEditController::upload(Edit& edit, bool overwrite) {
    if (edit.state == EditState::Uploading) {
        edit.lookAgain = true;
        return;
    }
    const CopyStamp stamp = ReadCopyStamp(edit.localPath, edit.seen);
    if (!stamp.exists || stamp.sha256.isEmpty())
        return; // being saved: the watcher brings it back
    edit.seen = stamp;
    if (!sameServer(edit)) {
        m_messages.InfoBox(kCaption, 4948, {QString::fromStdString(edit.server.host), edit.name});
        setState(edit, EditState::Changed);
        exitWhenUploaded();
        return;
    }
    TransferItem item;
    item.direction = queue::Direction::Upload;
    item.localPath = Bytes(edit.localPath);
    item.remotePath = edit.remotePath;
    item.size = std::uint64_t(stamp.size);
    auto probe = std::make_shared<Probe>();
    QueueController::FileHooks hooks;
    hooks.before = [probe, overwrite, known = edit.remote](
                       TransferItem& copy,
                       ftp::RemoteSession& session) -> std::optional<queue::ItemResult> {
        if (overwrite)
            return std::nullopt;
        const RemoteFacts now = ReadRemoteFacts(session, copy.remotePath);
        if (now.gone) {
            probe->finding = Probe::Finding::Gone;
            return queue::ItemResult{ItemState::Skipped, "no longer on the server", 0, false};
        }
        if (Differs(known, now)) {
            probe->finding = Probe::Finding::ChangedOnServer;
            return queue::ItemResult{ItemState::Skipped, "changed on the server", 0, false};
        }
        return std::nullopt;
    };
    hooks.after = [probe](const TransferItem& copy, ftp::RemoteSession& session) {
        probe->facts = ReadRemoteFacts(session, copy.remotePath);
    };
    hooks.finished = [this, probe, id = edit.id](const TransferItem& copy) {
        Edit* e = find(id);
        if (!e || e->state != EditState::Uploading)
            return;
        if (copy.state == ItemState::Done) {
            e->serverHash = e->uploadingHash;
            e->remote = probe->facts;
            e->uploadedOnce = true;
            e->declinedHash.clear();
            setState(*e, EditState::Uploaded);
            e->seen = {}; // looked at again: a save during the upload counts
            QTimer::singleShot(0, m_watcher.get(), [this, id] { checkCopySoon(id); });
            exitWhenUploaded();
            return;
        }
        if (copy.state == ItemState::Stopped)
            m_queue.remove({copy.id}); // Upload Now sends the copy as it is then
        if (copy.state != ItemState::Skipped || probe->finding == Probe::Finding::None) {
            setState(*e, EditState::Failed);
            exitWhenUploaded();
            return;
        }
        setState(*e, EditState::Changed);
        // Asked once the queue's hand-over is done.
        QTimer::singleShot(
            0, m_watcher.get(), [this, id, gone = probe->finding == Probe::Finding::Gone] {
                Edit* e = find(id);
                if (!e || e->state != EditState::Changed)
                    return;
                e->asking = true;
                const bool yes = gone
                                     ? m_messages.YesNoBox(true, kCaption, 4946, {e->remoteShown})
                                     : m_messages.YesNoBox(false, kCaption, 4945, {e->remoteShown});
                e = find(id);
                if (!e)
                    return;
                e->asking = false;
                e->lookAgain = false;
                if (yes)
                    upload(*e, true);
                else
                    exitWhenUploaded();
            });
    };
    edit.uploadingHash = stamp.sha256;
    setState(edit, EditState::Uploading);
    if (!m_queue.enqueueFile(std::move(item), std::move(hooks))) {
        m_messages.InfoBox(kCaption, 4948, {QString::fromStdString(edit.server.host), edit.name});
        setState(edit, EditState::Changed);
        exitWhenUploaded();
    }
}

void RemoteEditController::setState(Edit& edit, EditState state) {
    edit.state = state;
    m_port.editsChanged();
}

std::vector<EditedFile> RemoteEditController::files() const {
    std::vector<EditedFile> out;
    for (const auto& edit : m_edits) {
        EditedFile file;
        file.id = edit->id;
        file.name = edit->name;
        file.remotePath = edit->remoteShown;
        file.server = QString::fromStdString(edit->server.host);
        if (edit->server.port != 21)
            file.server += u':' + QString::number(edit->server.port);
        file.state = edit->state;
        file.unsaved = edit->unsaved();
        out.push_back(std::move(file));
    }
    return out;
}

QByteArray RemoteEditController::copyPath(int id) const {
    const Edit* edit = find(id);
    return edit ? edit->localPath : QByteArray();
}

void RemoteEditController::uploadNow(int id) {
    if (Edit* edit = find(id); edit && edit->state != EditState::Downloading) {
        edit->seen = ReadCopyStamp(edit->localPath, edit->seen);
        upload(*edit, false);
    }
}

void RemoteEditController::openAgain(int id) {
    if (Edit* edit = find(id); edit && edit->state != EditState::Downloading)
        startProgram(*edit);
}

bool RemoteEditController::endEditing(int id) {
    Edit* edit = find(id);
    if (!edit)
        return false;
    edit->seen = ReadCopyStamp(edit->localPath, edit->seen);
    if ((edit->unsaved() || edit->state == EditState::Uploading) &&
        !m_messages.YesNoBox(false, kCaption, 4947, {edit->name}))
        return false;
    edit = find(id);
    if (!edit)
        return true;
    m_watcher->removePath(QFile::decodeName(edit->localPath));
    m_watcher->removePath(edit->folder->path());
    m_messages.LogMessage(4949, {edit->remoteShown});
    m_edits.erase(
        std::find_if(m_edits.begin(), m_edits.end(), [id](const auto& x) { return x->id == id; }));
    m_port.editsChanged();
    return true;
}

bool RemoteEditController::confirmExit() {
    QStringList names;
    std::vector<int> ids;
    for (const auto& edit : m_edits) {
        edit->seen = ReadCopyStamp(edit->localPath, edit->seen);
        if (edit->state != EditState::Downloading &&
            (edit->unsaved() || edit->state == EditState::Uploading)) {
            names << edit->remoteShown;
            ids.push_back(edit->id);
        }
    }
    if (names.isEmpty())
        return true;
    const EditExitAnswer answer = m_port.askExit(names);
    m_discarded = answer == EditExitAnswer::Discard;
    switch (answer) {
    case EditExitAnswer::Discard:
        return true;
    case EditExitAnswer::Cancel:
        return false;
    case EditExitAnswer::Upload:
        break;
    }
    m_exitPending = true;
    for (const int id : ids)
        if (Edit* edit = find(id); edit && edit->state != EditState::Uploading)
            upload(*edit, false);
    exitWhenUploaded();
    return false;
}

void RemoteEditController::exitWhenUploaded() {
    if (!m_exitPending)
        return;
    bool unsaved = false;
    for (const auto& edit : m_edits) {
        if (edit->state == EditState::Uploading || edit->asking)
            return; // still on its way, or being decided
        unsaved = unsaved || (edit->state != EditState::Downloading && edit->unsaved());
    }
    m_exitPending = false;
    // What could not be uploaded keeps the program open, with the edits listed.
    if (!unsaved && m_hooks.exitProgram)
        m_hooks.exitProgram();
}

QString EditStateText(const Messages& messages, EditState state) {
    return messages.LoadStringText(4950 + int(state));
}

} // namespace tw

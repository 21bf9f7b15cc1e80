#include "core/permissions/permissions_controller.h"

#include "core/session/session_controller.h"
#include "core/text/messages.h"
#include "ftp/ftp_error.h"
#include "ftp/ftp_session.h"
#include "queue/chmod_tree.h"

#include <QStringList>

#include <algorithm>
#include <mutex>
#include <string>

namespace tw {

namespace {

constexpr std::size_t kLoggedFailures = 100; // failures logged one by one
constexpr std::size_t kShownFailures = 5;    // failures named in the box

QString shown(const std::string& bytes) {
    return QString::fromUtf8(bytes.data(), qsizetype(bytes.size()));
}

std::string bytes(const QByteArray& b) {
    return {b.constData(), std::size_t(b.size())};
}

QString octal(std::uint16_t mode) {
    return QString::number(mode & 07777, 8).rightJustified((mode & 07000) ? 4 : 3, u'0');
}

} // namespace

// What the run's thread hands to the UI thread: the latest progress text, handed over once
// per turn of the UI thread, and the controller while it lives.
struct PermissionsController::Shared {
    std::mutex mutex;
    QString progress;
    bool posted = false;
    PermissionsController* owner = nullptr; // UI thread only
};

PermissionsController::PermissionsController(AppState& state, AppRuntime& runtime,
                                             const Messages& messages, SessionController& session,
                                             PermissionsPort& port)
    : m_state(state), m_runtime(runtime), m_messages(messages), m_session(session), m_port(port),
      m_shared(std::make_shared<Shared>()) {
    m_shared->owner = this;
}

PermissionsController::~PermissionsController() {
    m_shared->owner = nullptr;
    m_run.reset(); // stops and joins
}

bool PermissionsController::running() const {
    return m_run && m_run->running();
}

void PermissionsController::stop() {
    if (m_run)
        m_run->stop();
}

void PermissionsController::waitForRun() {
    if (m_run)
        m_run->wait();
}

bool PermissionsController::ChangePermissions(const std::vector<int>& selection) {
    m_messages.ShowStatus(569);
    const PaneState& remote = m_state.remote;
    std::vector<int> rows;
    for (const int row : selection)
        if (row >= 0 && row < remote.count() && !remote.entries[std::size_t(row)].isParent)
            rows.push_back(row);
    if (rows.empty() || !m_runtime.connected || m_runtime.busy || m_runtime.sessionLost ||
        !m_session.engine()) {
        m_messages.Beep();
        return false;
    }
    if (running()) {
        m_messages.InfoBox(3760, 3771);
        return false;
    }

    PermissionsRequest request;
    std::vector<std::optional<std::uint16_t>> modes;
    std::vector<queue::ChmodTarget> targets;
    QStringList names;
    for (const int row : rows) {
        const FileEntry& entry = remote.entries[std::size_t(row)];
        modes.push_back(entry.mode);
        request.folders = request.folders || entry.isFolder;
        targets.push_back({bytes(m_session.rowPath(row)), entry.isFolder, entry.mode});
        names << entry.name;
    }
    request.start = CommonChoice(modes);
    request.name = names.size() == 1
                       ? names.front()
                       : m_messages.FormatStringResource(3772, {names.size()}).value_or(QString());
    const std::optional<PermissionsAnswer> answer = m_port.askPermissions(request);
    if (!answer)
        return false;

    if (answer->recursive && request.folders) {
        const ftp::SessionOptions options = m_session.connectionOptions();
        if (options.host.empty()) {
            m_messages.Beep();
            return false;
        }
        m_run = std::make_unique<queue::ChmodRun>(options);
        m_port.openRunProgress(
            m_messages.FormatStringResource(3764, {names.front()}).value_or(QString()),
            [this] { stop(); });
        const std::weak_ptr<Shared> weak = m_shared;
        UiPort& port = m_messages.port();
        const Messages& messages = m_messages;
        queue::ChmodRun::Callbacks callbacks;
        callbacks.progress = [weak, &port, &messages](const std::string& path, std::uint64_t done,
                                                      std::uint64_t total) {
            const std::shared_ptr<Shared> shared = weak.lock();
            if (!shared)
                return;
            const QString text =
                total == 0 ? messages.FormatStringResource(3764, {shown(path)}).value_or(QString())
                           : messages.FormatStringResource(3765, {done + 1, total, shown(path)})
                                 .value_or(QString());
            {
                std::lock_guard lock(shared->mutex);
                shared->progress = text;
                if (shared->posted)
                    return;
                shared->posted = true;
            }
            port.runOnUiThread([weak] {
                const std::shared_ptr<Shared> shared = weak.lock();
                if (!shared || !shared->owner)
                    return;
                QString text;
                {
                    std::lock_guard lock(shared->mutex);
                    text = shared->progress;
                    shared->posted = false;
                }
                if (shared->owner->running())
                    shared->owner->m_port.updateRunProgress(text);
            });
        };
        callbacks.finished = [weak, &port](const queue::ChmodReport& report) {
            port.runOnUiThread([weak, report] {
                const std::shared_ptr<Shared> shared = weak.lock();
                if (shared && shared->owner)
                    shared->owner->finishRun(report);
            });
        };
        queue::ChmodRule rule{answer->choice, true, answer->scope};
        return m_run->start(std::move(targets), rule, std::move(callbacks));
    }

    const queue::ModeChange choice = answer->choice;
    const ProtocolTraits& traits = m_session.traits();
    return m_session.RunRemoteFlow([this, targets, names, choice, &traits] {
        ftp::RemoteSession* engine = m_session.engine();
        bool changed = false;
        for (std::size_t i = 0; i < targets.size() && engine; ++i) {
            if (m_session.stopFlag().load())
                break;
            const std::optional<std::uint16_t> mode = choice.applyTo(targets[i].mode);
            if (!mode) {
                m_messages.InfoBox(3760, 3761,
                                   {names[qsizetype(i)], m_messages.LoadStringText(3762)});
                continue;
            }
            m_messages.LogMessage(traits.chmodLogId, {octal(*mode), shown(targets[i].path)});
            if (engine->chmod(targets[i].path, *mode)) {
                changed = true;
                continue;
            }
            if (engine->lastError() == ftp::kErrOperationCancelled)
                break;
            QString error;
            m_messages.ReportApiError(traits.chmodApiId, engine->lastError(),
                                      m_state.options.AlertLevel != 0,
                                      shown(engine->lastResponse()), &error);
            m_messages.InfoBox(3760, 3761, {names[qsizetype(i)], error});
            if (!engine->isConnected())
                break;
        }
        return changed;
    });
}

void PermissionsController::finishRun(const queue::ChmodReport& report) {
    m_port.closeRunProgress();
    if (report.stopped)
        m_messages.LogMessage(3768);
    m_messages.LogMessage(3766, {report.done, report.total, report.total == 1 ? u""_qs : u"s"_qs});
    const std::size_t failures = report.failures.size();
    for (std::size_t i = 0; i < std::min(failures, kLoggedFailures); ++i)
        m_messages.LogMessage(3767,
                              {shown(report.failures[i].path), shown(report.failures[i].reason)});
    if (failures > kLoggedFailures)
        m_messages.LogMessage(3770, {std::uint64_t(failures - kLoggedFailures)});
    if (report.done > 0 && m_runtime.connected && !m_runtime.busy && !m_runtime.sessionLost)
        m_session.StartRemoteListing();
    if (failures == 0)
        return;
    QStringList lines;
    for (std::size_t i = 0; i < std::min(failures, kShownFailures); ++i)
        lines << shown(report.failures[i].path) + u": "_qs + shown(report.failures[i].reason);
    if (failures > kShownFailures)
        lines << m_messages.FormatStringResource(3770, {std::uint64_t(failures - kShownFailures)})
                     .value_or(QString());
    m_messages.PlayAlert(AlertKind::FtpErrors);
    m_messages.InfoBox(
        3760, 3769, {std::uint64_t(failures), failures == 1 ? u""_qs : u"s"_qs, lines.join(u'\r')});
}

} // namespace tw

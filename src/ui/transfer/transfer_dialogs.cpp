#include "ui/transfer/transfer_dialogs.h"

#include "ui/dialogs/dialog_placement.h"
#include "ui/transfer/destination_name_dialog.h"
#include "ui/transfer/newer_destination_dialog.h"
#include "ui/transfer/progress_window.h"

#include <QLabel>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QThread>

namespace tw::ui {

namespace {
constexpr int kProgressIntervalMs = 33; // about 30 updates a second at most
} // namespace

TransferDialogs::TransferDialogs(QWidget* owner, AppState& state, AppGlobals& globals,
                                 std::function<void(int)> help, std::function<void()> beep,
                                 std::function<void()> stop)
    : m_owner(owner), m_state(state), m_globals(globals), m_help(std::move(help)),
      m_beep(std::move(beep)), m_stop(std::move(stop)) {
    m_progressTimer.setSingleShot(true);
    m_progressTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_progressTimer, &QTimer::timeout, this, &TransferDialogs::updateProgressWindow);
}

TransferDialogs::~TransferDialogs() {
    delete m_nameDialog.data();
}

template <typename Result, typename Call>
Result TransferDialogs::onUiThread(Result fallback, Call call) {
    if (QThread::currentThread() == thread())
        return call();
    Result result = fallback;
    QMetaObject::invokeMethod(this, call, Qt::BlockingQueuedConnection, &result);
    return result;
}

std::optional<QString> TransferDialogs::askDestinationName(const DestinationNameRequest& request) {
    return onUiThread<std::optional<QString>>(std::nullopt, [this, &request] {
        // A retry asks again in the dialog that is still open.
        const bool reuse = request.retry && m_nameDialog;
        if (!reuse) {
            delete m_nameDialog.data();
            m_nameDialog = new DestinationNameDialog(m_owner, m_help);
        }
        m_nameDialog->setRequest(request);
        if (!reuse) {
            m_nameDialog->adjustSize();
            PlaceDialog(m_nameDialog, m_state.placement(Placement::FileName),
                        m_state.options.SaveWindows != 0, m_globals.virtualScreen);
        }
        if (m_nameDialog->ask() != QDialog::Accepted || !m_nameDialog)
            return std::optional<QString>();
        return std::optional<QString>(m_nameDialog->text());
    });
}

void TransferDialogs::endDestinationName(bool accepted) {
    onUiThread<bool>(false, [this, accepted] {
        if (m_nameDialog && accepted)
            RememberDialogPosition(m_nameDialog, m_state.placement(Placement::FileName));
        delete m_nameDialog.data();
        return true;
    });
}

NewerAnswer TransferDialogs::askNewerDestination(const NewerDestinationRequest& request) {
    return onUiThread<NewerAnswer>(NewerAnswer::Cancel, [this, &request] {
        NewerDestinationDialog dialog(request, m_owner, m_help);
        m_newerDialog = &dialog;
        dialog.adjustSize();
        WindowPlacement& placement = m_state.placement(Placement::TimeStamp);
        PlaceDialog(&dialog, placement, m_state.options.SaveWindows != 0, m_globals.virtualScreen);
        if (m_beep)
            m_beep();
        dialog.exec();
        RememberDialogPosition(&dialog, placement);
        return dialog.answer();
    });
}

ResumeAnswer TransferDialogs::askResume(const ResumeRequest& request) {
    return onUiThread<ResumeAnswer>(ResumeAnswer::Cancel, [this, &request] {
        QMessageBox box(QMessageBox::Question, QStringLiteral("Tarnwick 2000 Transfer"),
                        QStringLiteral("Part of %1 was copied by an earlier transfer (%2 of %3 "
                                       "bytes).\n\nResume the copy, or start it again?")
                            .arg(request.name, QLocale().toString(qulonglong(request.partial)),
                                 QLocale().toString(qulonglong(request.size))),
                        QMessageBox::NoButton, m_owner);
        QPushButton* resume = box.addButton(QStringLiteral("&Resume"), QMessageBox::AcceptRole);
        QPushButton* again = box.addButton(QStringLiteral("&Start Again"), QMessageBox::ActionRole);
        box.addButton(QMessageBox::Cancel);
        box.setDefaultButton(resume);
        for (QAbstractButton* button : box.buttons())
            button->setAccessibleName(button->text().remove(u'&'));
        box.exec();
        if (box.clickedButton() == resume)
            return ResumeAnswer::Resume;
        if (box.clickedButton() == again)
            return ResumeAnswer::StartAgain;
        return ResumeAnswer::Cancel;
    });
}

bool TransferDialogs::openProgress(const ProgressRequest& request) {
    const std::lock_guard lock(m_mutex);
    if (m_progress.open)
        return false;
    m_progress.open = true;
    ++m_progress.generation;
    m_progress.request = request;
    m_progress.position = request.minimum;
    m_progress.text = request.text;
    postProgressUpdate();
    return true;
}

bool TransferDialogs::setProgress(int position, const std::optional<QString>& text) {
    const std::lock_guard lock(m_mutex);
    if (!m_progress.open)
        return false;
    m_progress.position = position;
    if (text)
        m_progress.text = *text;
    postProgressUpdate();
    return true;
}

bool TransferDialogs::closeProgress() {
    const std::lock_guard lock(m_mutex);
    if (!m_progress.open)
        return false;
    m_progress.open = false;
    m_progress.request = ProgressRequest{};
    m_progress.text.clear();
    m_progress.position = 0;
    postProgressUpdate();
    return true;
}

void TransferDialogs::postProgressUpdate() {
    if (m_progress.posted)
        return;
    m_progress.posted = true;
    QMetaObject::invokeMethod(this, &TransferDialogs::scheduleProgressUpdate, Qt::QueuedConnection);
}

void TransferDialogs::scheduleProgressUpdate() {
    if (m_progressTimer.isActive())
        return;
    const qint64 wait = m_sinceUpdate.isValid() ? kProgressIntervalMs - m_sinceUpdate.elapsed() : 0;
    if (wait <= 0)
        updateProgressWindow();
    else
        m_progressTimer.start(int(wait));
}

void TransferDialogs::updateProgressWindow() {
    ProgressRecord record;
    {
        const std::lock_guard lock(m_mutex);
        m_progress.posted = false;
        record = m_progress;
    }
    m_sinceUpdate.start();
    ++m_progressUpdates;
    if (!record.open) {
        if (m_progressWindow)
            m_progressWindow->hide();
        m_shownGeneration = 0;
        return;
    }
    if (!m_progressWindow)
        m_progressWindow = std::make_unique<ProgressWindow>(m_stop);
    ProgressWindow* window = m_progressWindow.get();
    if (record.generation != m_shownGeneration) {
        window->start(record.request);
        m_shownGeneration = record.generation;
        if (!window->isVisible()) {
            window->adjustSize();
            CenterWindowOnMonitor(window, m_owner);
            window->show();
        }
    }
    window->setText(record.text);
    window->setPosition(record.position);
}

DestinationNameDialog* TransferDialogs::destinationNameDialog() const {
    return m_nameDialog.data();
}

NewerDestinationDialog* TransferDialogs::newerDestinationDialog() const {
    return m_newerDialog.data();
}

ProgressWindow* TransferDialogs::progressWindow() const {
    return m_progressWindow && m_progressWindow->isVisible() ? m_progressWindow.get() : nullptr;
}

void SetElidedText(QLabel* label, const QString& text, int width) {
    const QString shown = label->fontMetrics().elidedText(text, Qt::ElideMiddle, width);
    label->setText(shown);
    label->setToolTip(shown == text ? QString() : text);
}

} // namespace tw::ui

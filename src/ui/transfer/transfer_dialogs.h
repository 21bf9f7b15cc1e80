#pragma once

#include "core/state/app_state.h"
#include "core/transfer/transfer_port.h"

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

class QLabel;
class QWidget;

namespace tw::ui {

class DestinationNameDialog;
class NewerDestinationDialog;
class ProgressWindow;

// The windows of a transfer batch: the destination file name prompt and the newer-destination
// question, modal over `owner`, and the progress window. Every method may be called from the
// transfer worker thread; the object itself lives on the user-interface thread.
//
// The questions run on the user-interface thread and block the caller until answered. The
// progress calls never wait for it: they change a record under a mutex and post one update,
// and the window is brought up to date from the latest record at most every 33 ms however
// often the position changes. One window is kept and reused: closing hides it, opening the
// next file resets it to its own range.
class TransferDialogs : public QObject, public TransferPort {
    Q_OBJECT
public:
    // `help` opens a help topic, `beep` plays the information sound (the newer-destination
    // question), `stop` asks the running transfer to stop (Cancel, Escape and the close box
    // of the progress window); all three are called on the user-interface thread.
    TransferDialogs(QWidget* owner, AppState& state, AppGlobals& globals,
                    std::function<void(int)> help = {}, std::function<void()> beep = {},
                    std::function<void()> stop = {});
    ~TransferDialogs() override;

    std::optional<QString> askDestinationName(const DestinationNameRequest& request) override;
    void endDestinationName(bool accepted) override;
    NewerAnswer askNewerDestination(const NewerDestinationRequest& request) override;
    ResumeAnswer askResume(const ResumeRequest& request) override;

    bool openProgress(const ProgressRequest& request) override;
    bool setProgress(int position, const std::optional<QString>& text = std::nullopt) override;
    bool closeProgress() override;

    // The name prompt while a name loop runs, else null.
    DestinationNameDialog* destinationNameDialog() const;
    // The newer-destination question while it is asked, else null.
    NewerDestinationDialog* newerDestinationDialog() const;
    // The progress window while it is shown, else null.
    ProgressWindow* progressWindow() const;
    // How often the progress window has been brought up to date.
    int progressUpdates() const { return m_progressUpdates; }

private:
    // The progress window as the transfer last described it; shared with the worker.
    struct ProgressRecord {
        bool open = false;
        std::uint64_t generation = 0; // counts the opens, so a new file is never mistaken
        ProgressRequest request;      // for the previous one
        int position = 0;
        QString text;
        bool posted = false; // an update is on its way to the user-interface thread
    };

    template <typename Result, typename Call>
    Result onUiThread(Result fallback, Call call);
    // With m_mutex held: makes sure an update will follow.
    void postProgressUpdate();
    void scheduleProgressUpdate();
    void updateProgressWindow();

    QWidget* m_owner;
    AppState& m_state;
    AppGlobals& m_globals;
    std::function<void(int)> m_help;
    std::function<void()> m_beep;
    std::function<void()> m_stop;
    QPointer<DestinationNameDialog> m_nameDialog;
    QPointer<NewerDestinationDialog> m_newerDialog;

    std::mutex m_mutex;
    ProgressRecord m_progress;

    // User-interface thread only.
    std::unique_ptr<ProgressWindow> m_progressWindow;
    std::uint64_t m_shownGeneration = 0;
    QTimer m_progressTimer;
    QElapsedTimer m_sinceUpdate;
    int m_progressUpdates = 0;
};

// Shows `text` in `label`, cut in the middle to at most `width` pixels; the whole text becomes
// the tooltip when it had to be cut. Used by the transfer windows for names and paths.
void SetElidedText(QLabel* label, const QString& text, int width);

} // namespace tw::ui

#pragma once

#include "core/sync/sync_port.h"
#include "ui/dialogs/stop_window.h"

class QDialog;
class QWidget;

namespace tw::ui {

// Synchronise's questions and its progress window, over `owner`: the options dialog and the
// preview modal; the progress window (the folders listed so far, Stop) not, so the window stays
// usable while both trees are listed. Closing it stops the listing too.
class SyncDialogs : public SyncPort {
public:
    explicit SyncDialogs(QWidget* owner);
    ~SyncDialogs() override;

    std::optional<SyncChoices> askSyncOptions(const SyncOptionsRequest& request) override;
    std::optional<std::vector<bool>> askSyncPreview(const SyncPreviewRequest& request) override;
    void openSyncProgress(const QString& text, std::function<void()> stop) override;
    void updateSyncProgress(const QString& text) override;
    void closeSyncProgress() override;

    // The progress window while open (tests), else null.
    QDialog* progressWindow() const { return m_progress.window(); }

private:
    QWidget* m_owner;
    StopWindow m_progress;
};

} // namespace tw::ui

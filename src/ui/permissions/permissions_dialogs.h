#pragma once

#include "core/permissions/permissions_port.h"
#include "ui/dialogs/stop_window.h"

class QDialog;
class QWidget;

namespace tw::ui {

// The permission questions and the run's progress window, over `owner`: the Permissions
// dialog modal; the progress window (" Permissions", the entry being changed and Stop) not, so
// the window stays usable while a change inside folders runs. Closing it stops the run too.
class PermissionsDialogs : public PermissionsPort {
public:
    explicit PermissionsDialogs(QWidget* owner);
    ~PermissionsDialogs() override;

    std::optional<PermissionsAnswer> askPermissions(const PermissionsRequest& request) override;
    void openRunProgress(const QString& text, std::function<void()> stop) override;
    void updateRunProgress(const QString& text) override;
    void closeRunProgress() override;

    // The progress window while open (tests), else null.
    QDialog* progressWindow() const { return m_progress.window(); }

private:
    QWidget* m_owner;
    StopWindow m_progress;
};

} // namespace tw::ui

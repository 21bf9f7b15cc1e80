#pragma once

#include "core/ui_port.h"

#include <memory>

namespace tw::platform {
class SoundPlayer;
}

namespace tw::ui {

// Shows (on) or ends (off) the wait or busy cursor over every window of the program; the calls
// nest, as the ports' cursor calls do.
void ApplyOverrideCursor(CursorKind kind, bool on);

// The UI port of the dialogs that run before the main window exists (the options sheet of the
// setup start): message boxes without an owner, sounds and cursors; there is no log pane,
// status bar or pane yet, so those calls show nothing.
class StandalonePort : public UiPort {
public:
    StandalonePort();
    ~StandalonePort() override;

    void appendLog(const QString&) override {}
    void clearLog() override {}
    bool showStatus(const QString&) override { return false; }
    bool showBox(const BoxRequest& request) override;
    void beep() override;
    bool playWave(const QString& path) override;
    void setCursor(CursorKind kind, bool on) override;
    void updateCommandState() override {}
    void refreshPane(PaneSide) override {}
    void setWindowTitle(const QString&) override {}

private:
    std::unique_ptr<platform::SoundPlayer> m_sound;
};

} // namespace tw::ui

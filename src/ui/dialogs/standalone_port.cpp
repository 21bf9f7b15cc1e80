#include "ui/dialogs/standalone_port.h"

#include "platform/sound.h"
#include "ui/dialogs/message_box_dialog.h"

#include <QApplication>

namespace tw::ui {

StandalonePort::StandalonePort() : m_sound(platform::CreateSoundPlayer()) {}

StandalonePort::~StandalonePort() = default;

bool StandalonePort::showBox(const BoxRequest& request) {
    return ShowMessageBox(nullptr, request) != 0;
}

void StandalonePort::beep() {
    if (!m_sound->playEvent(QString::fromLatin1(platform::kInformationEvent)))
        QApplication::beep();
}

bool StandalonePort::playWave(const QString& path) {
    return m_sound->playWave(path);
}

void ApplyOverrideCursor(CursorKind kind, bool on) {
    if (on)
        QApplication::setOverrideCursor(kind == CursorKind::Wait ? Qt::WaitCursor : Qt::BusyCursor);
    else
        QApplication::restoreOverrideCursor();
}

void StandalonePort::setCursor(CursorKind kind, bool on) {
    ApplyOverrideCursor(kind, on);
}

} // namespace tw::ui

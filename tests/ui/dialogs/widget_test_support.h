#pragma once

#include <QApplication>
#include <QTimer>
#include <QWidget>

#include <functional>

namespace tw::test {

// The one QApplication of the test executable (made by its main()).
inline QApplication& widgetApp() {
    auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
    Q_ASSERT(app);
    return *app;
}

// Runs `action` once on the modal dialog that comes up while the watcher lives (the exec()
// that follows it). Stops watching when destroyed, so it never touches a later test's dialog.
class ModalWatcher {
public:
    explicit ModalWatcher(std::function<void(QWidget*)> action) : m_action(std::move(action)) {
        m_timer.setInterval(5);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            if (QWidget* modal = QApplication::activeModalWidget()) {
                m_timer.stop();
                m_fired = true;
                m_action(modal);
            }
        });
        m_timer.start();
    }
    ModalWatcher(const ModalWatcher&) = delete;
    ModalWatcher& operator=(const ModalWatcher&) = delete;

    bool fired() const { return m_fired; }

private:
    std::function<void(QWidget*)> m_action;
    QTimer m_timer;
    bool m_fired = false;
};

} // namespace tw::test

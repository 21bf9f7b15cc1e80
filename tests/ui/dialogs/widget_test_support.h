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

// Runs `action` on the modal dialog that the next exec() opens, once it is up.
inline void whenModalOpens(std::function<void(QWidget*)> action) {
    auto poll = std::make_shared<std::function<void()>>();
    *poll = [action = std::move(action), poll]() {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            action(modal);
            *poll = nullptr; // breaks the self-reference
            return;
        }
        QTimer::singleShot(5, *poll);
    };
    QTimer::singleShot(0, *poll);
}

} // namespace tw::test

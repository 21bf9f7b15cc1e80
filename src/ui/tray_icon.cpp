#include "ui/tray_icon.h"

#include <QApplication>
#include <QIcon>
#include <QSystemTrayIcon>

namespace tw::ui {

TrayIcon::TrayIcon(QObject* parent) : QObject(parent) {}

bool TrayIcon::trayAvailable() {
    return QSystemTrayIcon::isSystemTrayAvailable();
}

bool TrayIcon::add(const QString& tip) {
    if (!trayAvailable())
        return false;
    if (!m_icon) {
        m_icon = new QSystemTrayIcon(QApplication::windowIcon(), this);
        connect(m_icon, &QSystemTrayIcon::activated, this,
                [this](QSystemTrayIcon::ActivationReason reason) {
                    if (reason == QSystemTrayIcon::Trigger)
                        emit leftClicked();
                    else if (reason == QSystemTrayIcon::Context)
                        emit rightClicked();
                });
    }
    m_icon->setToolTip(QString());
    m_icon->show();
    m_icon->setToolTip(tip.left(255));
    return true;
}

void TrayIcon::update(bool enabled, const QString& tip) {
    if (!enabled || !m_icon)
        return;
    m_icon->setToolTip(tip.left(255));
}

void TrayIcon::remove() {
    if (m_icon)
        m_icon->hide();
}

bool TrayIcon::isShown() const {
    return m_icon && m_icon->isVisible() && trayAvailable();
}

QString TrayIcon::tip() const {
    return m_icon ? m_icon->toolTip() : QString();
}

} // namespace tw::ui

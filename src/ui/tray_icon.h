#pragma once

#include <QObject>
#include <QString>

class QSystemTrayIcon;

namespace tw::ui {

// The program's icon in the desktop's tray while the TaskTray option is on. Without a tray
// on the desktop it does nothing and reports itself as not shown, so the window never hides.
class TrayIcon : public QObject {
    Q_OBJECT
public:
    explicit TrayIcon(QObject* parent = nullptr);

    // Adds the icon with `tip`; false when the desktop has no tray.
    bool add(const QString& tip);
    // Sets the tip; nothing when `enabled` is false or the icon is not shown.
    void update(bool enabled, const QString& tip);
    void remove();
    // The icon is in the tray, so a hidden window can be brought back from it.
    bool isShown() const;
    QString tip() const;

    static bool trayAvailable();

signals:
    void leftClicked();
    void rightClicked();

private:
    QSystemTrayIcon* m_icon = nullptr;
};

} // namespace tw::ui

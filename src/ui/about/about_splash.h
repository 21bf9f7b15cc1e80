#pragma once

#include <QPixmap>
#include <QSize>
#include <QWidget>

namespace tw {
class Messages;
}

namespace tw::ui {

// The About splash: the program's picture (its name, version and copyright) in a frameless,
// topmost window of its own, without owner, centred on its monitor. Any key or mouse click
// closes it. At most one exists.
class AboutSplash : public QWidget {
    Q_OBJECT
public:
    explicit AboutSplash(const QSize& pictureSize);
    ~AboutSplash() override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    QPixmap m_picture;
};

// The splash picture's size in pixels (470 x 180), measured once; empty when the picture
// cannot be loaded.
QSize SplashPictureSize();

// Command 999: the status text, then the splash - the one that exists shown again and given
// the focus, else a new one. A picture that cannot be loaded is reported (60010) and shows
// nothing.
void ShowAboutSplash(const Messages& messages);
// Destroys the splash when it exists: before context menus, the Connect sheet and the
// options sheet open, and at shutdown.
void CloseAboutSplash();
// The splash that exists, or nullptr.
AboutSplash* CurrentAboutSplash();

} // namespace tw::ui

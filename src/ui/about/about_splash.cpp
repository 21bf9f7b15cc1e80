#include "ui/about/about_splash.h"

#include "core/about/version_info.h"
#include "core/text/messages.h"
#include "ui/dialogs/dialog_placement.h"
#include "ui/dialogs/program_icons.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QSvgRenderer>

#include <cerrno>

// The picture lives in a static library: its resource object is registered explicitly.
static void initAboutResources() {
    Q_INIT_RESOURCE(about);
}

namespace tw::ui {

namespace {

constexpr int kAboutCommand = 999;
constexpr unsigned kPictureId = 1000;
constexpr int kPictureLoadError = 60010;
const QString kPicturePath = QStringLiteral(":/icons/splash.svg");

QPointer<AboutSplash>& currentSplash() {
    static QPointer<AboutSplash> splash;
    return splash;
}

QString tableValue(const char16_t* key) {
    const VersionTable& table = ProgramVersionTable();
    const auto found = table.find(QString::fromUtf16(key));
    return found != table.end() ? found->second : QString();
}

} // namespace

QSize SplashPictureSize() {
    static const QSize size = [] {
        initAboutResources();
        const QSvgRenderer renderer(kPicturePath);
        return renderer.isValid() ? renderer.defaultSize() : QSize();
    }();
    return size;
}

AboutSplash::AboutSplash(const QSize& pictureSize)
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
    setObjectName(QStringLiteral("SplashBox"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Splash"));
    // What the picture says, for a screen reader.
    setAccessibleName(tableValue(u"ProductName") + u' ' + tableValue(u"FileVersion"));
    setAccessibleDescription(tableValue(u"FileDescription") + QStringLiteral(". ") +
                             tableValue(u"LegalCopyright") +
                             QStringLiteral(". Press any key or click to close."));
    setFocusPolicy(Qt::StrongFocus);
    setFixedSize(pictureSize);

    m_picture = SvgPixmap(kPicturePath, pictureSize, devicePixelRatioF());
}

AboutSplash::~AboutSplash() {
    if (currentSplash() == this)
        currentSplash() = nullptr;
}

void AboutSplash::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.drawPixmap(0, 0, m_picture);
}

void AboutSplash::keyPressEvent(QKeyEvent* event) {
    event->accept();
    close();
}

void AboutSplash::mousePressEvent(QMouseEvent* event) {
    event->accept();
    close();
}

// Closing forgets the window at once, so a later About makes a new one while this one waits
// for its deletion.
void AboutSplash::closeEvent(QCloseEvent* event) {
    if (currentSplash() == this)
        currentSplash() = nullptr;
    QWidget::closeEvent(event);
}

void ShowAboutSplash(const Messages& messages) {
    messages.ShowStatus(kAboutCommand);
    AboutSplash* splash = currentSplash();
    if (!splash) {
        const QSize size = SplashPictureSize();
        if (size.isEmpty()) {
            messages.SystemErrorBox(kPictureLoadError,
                                    {QStringLiteral("PicSize"), kPictureId, ENOENT});
            return;
        }
        splash = new AboutSplash(size);
        currentSplash() = splash;
        // Centred on the whole desktop first, then on the monitor it landed on.
        splash->move(CenteredPosition(size, VirtualScreenBounds()));
        CenterWindowOnMonitor(splash);
    }
    BringToFront(splash);
    splash->setFocus(Qt::ActiveWindowFocusReason);
}

void CloseAboutSplash() {
    // Deleted at once: the callers go on to open a menu or a sheet over the place it held.
    delete currentSplash().data();
}

AboutSplash* CurrentAboutSplash() {
    return currentSplash();
}

} // namespace tw::ui

#include "ui/about/desktop_launcher.h"

#include <QDesktopServices>
#include <QUrl>

namespace tw::ui {

bool DesktopLauncher::openUrl(const QString& url) {
    const QUrl parsed(url, QUrl::StrictMode);
    return parsed.isValid() && QDesktopServices::openUrl(parsed);
}

} // namespace tw::ui

#pragma once

#include "platform/launcher.h"

namespace tw::ui {

// The program's launcher: the desktop's URL handler (QDesktopServices) in front of the
// platform launcher's programs.
class DesktopLauncher : public platform::SystemLauncher {
public:
    bool openUrl(const QString& url) override;
};

} // namespace tw::ui

#pragma once

#include "ui/options/options_page.h"

namespace tw {
class Messages;
}

namespace tw::ui {

// The Version page: the program's name and version. It never refuses to be left.
class VersionPage : public OptionsPageWidget {
public:
    VersionPage(const Messages& messages, QWidget* parent = nullptr);

    void activate() override {}
    bool store() override { return true; }
};

} // namespace tw::ui

#pragma once

#include "ui/options/options_page.h"

#include <functional>

class QLabel;
class QPushButton;

namespace tw {
class Messages;
}

namespace tw::ui {

// The Version page: the side picture, the program icon, the program's name, copyright,
// description and version, its folder, the distribution notice, the comment and a button with
// the maker's web address that opens the web site. Each activation fills the items from the
// program's version values. It never refuses to be left.
class VersionPage : public OptionsPageWidget {
public:
    VersionPage(const Messages& messages, QWidget* parent = nullptr);

    void activate() override;
    bool store() override { return true; }

    // The item with the id `id` (101-109).
    QWidget* item(int id) const;
    // Replaces what button 107 does (tests); by default it opens the web site.
    void setWebSiteOpener(std::function<void()> opener) { m_openWebSite = std::move(opener); }
    // The program path item 109 shows the folder of (the running program by default).
    void setProgramPath(const QString& path) { m_programPath = path; }

private:
    const Messages& m_messages;
    QString m_programPath;
    std::function<void()> m_openWebSite;
};

} // namespace tw::ui

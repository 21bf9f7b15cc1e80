#pragma once

#include <QTextBrowser>

class QHelpEngineCore;

namespace tw::ui {

// The page view of the help window: pages, style sheets and pictures of "qthelp:" addresses
// are read from the help collection; other addresses (web, mail) go to the desktop's handler.
class HelpBrowser : public QTextBrowser {
    Q_OBJECT
public:
    HelpBrowser(QHelpEngineCore* engine, QWidget* parent = nullptr);

    QVariant loadResource(int type, const QUrl& name) override;

private:
    QHelpEngineCore* m_engine;
};

} // namespace tw::ui

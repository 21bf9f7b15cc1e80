#include "ui/panes/help_topic.h"

#include "core/state/app_state.h"
#include "core/text/messages.h"

#include <QDesktopServices>
#include <QFileInfo>

#include <cerrno>

namespace tw::ui {

QUrl HelpTopicUrl(const QString& helpPath, unsigned topic) {
    QUrl url = QUrl::fromLocalFile(helpPath);
    url.setFragment(QStringLiteral("topic-%1").arg(topic));
    return url;
}

bool ShowHelpTopic(const AppGlobals& globals, const Messages& messages, unsigned topic) {
    const QFileInfo document(globals.helpPath);
    if (globals.helpPath.isEmpty() || !document.isFile()) {
        messages.SystemWarningBox(1000, 60104, {topic, ENOENT});
        return false;
    }
    if (!QDesktopServices::openUrl(HelpTopicUrl(document.absoluteFilePath(), topic))) {
        messages.SystemWarningBox(1000, 60104, {topic, EIO});
        return false;
    }
    return true;
}

} // namespace tw::ui

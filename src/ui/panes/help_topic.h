#pragma once

#include <QString>
#include <QUrl>

class QWidget;

namespace tw {
class Messages;
struct AppGlobals;
} // namespace tw

namespace tw::ui {

// The address of a help topic: the help document with the anchor "topic-<id>".
QUrl HelpTopicUrl(const QString& helpPath, unsigned topic);

// Opens the help document at the topic's anchor in the browser. A missing document, or one
// that cannot be opened, gives the "Topic not found in help file." warning (60104) with the
// system's error code. True when the document was handed to the browser.
bool ShowHelpTopic(const AppGlobals& globals, const Messages& messages, unsigned topic);

} // namespace tw::ui

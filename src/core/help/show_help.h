#pragma once

#include "core/help/help_port.h"
#include "core/state/app_state.h"

#include <QString>

namespace tw {

class Messages;

// The three commands of the Help menu: 901 Contents, 902 Search (the index, filtered by
// `keyword`) and 903 How to Use Help. Contents and Search need the help collection and report
// "File not found." (60021) with its path when it is missing; How to Use Help opens the help
// window in any case. Any other command is a fatal error. True when the window was asked.
bool ShowHelp(const AppState& state, const AppGlobals& globals, const Messages& messages,
              HelpPort& port, int command, const QString& keyword = QString());

// A dialog's Help button: the help window at the topic's page. A missing collection, or one
// without the topic, gives the "Topic not found in help file." warning (60104). True when the
// topic was shown.
bool ShowHelpTopic(const AppGlobals& globals, const Messages& messages, HelpPort& port, int topic);

// The path the help messages name: the collection, or where the installed one belongs.
QString HelpPathForMessages(const AppGlobals& globals);

} // namespace tw

#include "core/help/show_help.h"

#include "core/commands/command_id.h"
#include "core/help/help_collection.h"
#include "core/state/app_paths.h"
#include "core/text/messages.h"

#include <QFileInfo>

#include <cerrno>

namespace tw {

namespace {

constexpr int kFileNotFound = 60021;
constexpr int kTopicNotFound = 60104;
constexpr int kCaption = 1000;

} // namespace

QString HelpPathForMessages(const AppGlobals& globals) {
    if (!globals.helpPath.isEmpty())
        return globals.helpPath;
    const QString dir =
        globals.modulePath.isEmpty() ? QString() : QFileInfo(globals.modulePath).absolutePath();
    return ExpectedHelpCollectionPath(dir);
}

bool ShowHelp(const AppState& state, const AppGlobals& globals, const Messages& messages,
              HelpPort& port, int command, const QString& keyword) {
    const bool known =
        command >= toInt(CommandId::HelpContents) && command <= toInt(CommandId::HelpHowToUse);
    // An unknown item has no status text of its own; only the fatal box reports it.
    if (known && state.options.Status != 0)
        messages.ShowStatus(command);
    switch (command) {
    case toInt(CommandId::HelpContents):
    case toInt(CommandId::HelpSearch):
        if (!HelpCollectionPresent(globals.helpPath)) {
            messages.SystemErrorBox(kFileNotFound, {HelpPathForMessages(globals)});
            return false;
        }
        if (command == toInt(CommandId::HelpContents))
            port.showContents();
        else
            port.showIndex(keyword);
        return true;
    case toInt(CommandId::HelpHowToUse):
        // The page that explains the help window is part of the collection.
        if (!HelpCollectionPresent(globals.helpPath)) {
            messages.SystemErrorBox(kFileNotFound, {HelpPathForMessages(globals)});
            return false;
        }
        port.showHowToUse();
        return true;
    default:
        messages.FatalErrorBox(
            QStringLiteral("UserHelp(item): Invalid help item specified (item:%d)"), {command});
        return false;
    }
}

bool ShowHelpTopic(const AppGlobals& globals, const Messages& messages, HelpPort& port, int topic) {
    if (!HelpCollectionPresent(globals.helpPath) || !port.showTopic(topic)) {
        messages.SystemWarningBox(kCaption, kTopicNotFound, {unsigned(topic), ENOENT});
        return false;
    }
    return true;
}

} // namespace tw

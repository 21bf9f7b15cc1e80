#pragma once

#include <QString>

namespace tw {

// What the help flows ask of the help window. The window shows the collection that the
// program found (AppGlobals::helpPath).
class HelpPort {
public:
    virtual ~HelpPort() = default;
    // The contents tree.
    virtual void showContents() = 0;
    // The keyword index, filtered by `keyword` (the whole index when it is empty).
    virtual void showIndex(const QString& keyword) = 0;
    // The page that explains the help window.
    virtual void showHowToUse() = 0;
    // The page of a dialog's topic, at its anchor. False when the collection lacks the topic.
    virtual bool showTopic(int topic) = 0;
};

} // namespace tw

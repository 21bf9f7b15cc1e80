#pragma once

#include "core/accounts/accounts_port.h"
#include "support/recording_port.h"

#include <QStringList>

#include <deque>
#include <optional>

namespace tw::test {

// A recording port that also answers the account commands' file dialogs from a script
// (an empty answer list means Cancel).
class ScriptedAccountsPort : public RecordingPort, public AccountsPort {
public:
    std::deque<std::optional<QString>> fileAnswers;
    QStringList dialogs; // "save|<path>|<title>|<filter>|<ext>" / "open|<path>|<title>|<filter>"

    std::optional<QString> askSaveFileName(const QString& path, const QString& title,
                                           const QString& filter,
                                           const QString& defaultExtension) override {
        dialogs << QStringList{QStringLiteral("save"), path, title, filter, defaultExtension}.join(
            u'|');
        return next();
    }
    std::optional<QString> askOpenFileName(const QString& path, const QString& title,
                                           const QString& filter) override {
        dialogs << QStringList{QStringLiteral("open"), path, title, filter}.join(u'|');
        return next();
    }

private:
    std::optional<QString> next() {
        if (fileAnswers.empty())
            return std::nullopt;
        auto answer = fileAnswers.front();
        fileAnswers.pop_front();
        return answer;
    }
};

} // namespace tw::test

#pragma once

#include "core/accounts/account_record.h"
#include "core/settings/settings.h"
#include "core/settings/settings_store.h"
#include "core/state/app_state.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <functional>
#include <vector>

namespace tw::test {

// The process's QCoreApplication (queued calls to the UI thread need one), made on first use.
inline QCoreApplication& CoreApplication() {
    static int argc = 1;
    static char name[] = "tarnwick-test";
    static char* argv[] = {name, nullptr};
    static QCoreApplication instance(argc, argv);
    return instance;
}

// Turns the event loop until `done` or `ms` milliseconds; whether `done` came.
inline bool TurnEventsUntil(const std::function<bool()>& done, int ms = 20000) {
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
}

// A named account at <name>.example.net whose password is saved (when one is given).
inline AccountRecord SavedAccount(const QString& name, const QString& password) {
    AccountRecord a;
    a.Name = name;
    a.URL = name.toLower().remove(u' ') + QStringLiteral(".example.net");
    a.Login = QStringLiteral("alice");
    a.Password = password;
    a.SavePassword = !password.isEmpty();
    a.Passive = true;
    return a;
}

// The settings file as the version before the password stores left it: the passwords of
// "Save Password" accounts scrambled in their "Password" value, no markers.
inline bool WriteOlderSettings(const QString& file, std::vector<AccountRecord> rows) {
    AppState older;
    for (AccountRecord& a : rows)
        a.Kept = a.SavePassword ? PasswordPlace::Scrambled : PasswordPlace::None;
    older.Accounts = std::move(rows);
    SettingsStore store(file);
    return SaveSettings(store, older, AppGlobals());
}

} // namespace tw::test

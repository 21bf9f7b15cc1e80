#pragma once

#include "core/accounts/account_record.h"

#include <QString>

#include <cstdint>

namespace tw::test {

// An anonymous, passive account for a test server on 127.0.0.1.
inline AccountRecord LoopbackAccount(const QString& name, int port, const QString& localPath) {
    AccountRecord account;
    account.Name = name;
    account.URL = QStringLiteral("127.0.0.1");
    account.Anonymous = true;
    account.Passive = true;
    account.RemotePort = std::uint32_t(port);
    account.LocalPath = localPath;
    return account;
}

} // namespace tw::test

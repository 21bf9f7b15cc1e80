#pragma once

#include <QString>

namespace tw {

struct AppState;

// The name of the account `./run.sh` adds for its local demo server.
inline constexpr char16_t kDemoAccountName[] = u"Local Demo Server";

// Makes the demo account point at `host`:`port` (anonymous, passive, remote path "/") and makes
// it the current account; adds it when the table has none of that name and room for it.
// Returns false when the table is full.
bool ApplyDemoServer(AppState& state, const QString& host, int port);

// Reads "HOST:PORT" (an IPv6 host in brackets) as the demo server; false when it is malformed.
bool ParseDemoServer(const QString& text, QString& host, int& port);

} // namespace tw

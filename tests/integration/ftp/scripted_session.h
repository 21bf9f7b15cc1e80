#pragma once

// What the engine tests against scripted servers share: the options of a session to one, a
// two-line listing, and a look into the commands the server received.
#include "ftp/ftp_session.h"
#include "integration/ftp/scripted_server.h"

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

namespace tw::test {

inline ftp::SessionOptions optionsFor(const ScriptedServer& server, int timeoutMs = 1500) {
    ftp::SessionOptions o;
    o.host = "127.0.0.1";
    o.port = server.port();
    o.timeoutMs = timeoutMs;
    return o;
}

// Whether one of the commands starts with `prefix`.
inline bool contains(const std::vector<std::string>& commands, std::string_view prefix) {
    return std::any_of(commands.begin(), commands.end(),
                       [&](const std::string& c) { return c.rfind(prefix, 0) == 0; });
}

inline constexpr const char* kTwoLines = "-rw-r--r-- 1 u g 5 Jan 1 2020 one.txt\r\n"
                                         "drwxr-xr-x 2 u g 4096 Jan 1 2020 two\r\n";

} // namespace tw::test

#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tw::cli {

// An ftp:// URL: ftp://[user[:password]@]host[:port]/path. User, password and path are
// percent-decoded to bytes (so %FF reaches a name that is not UTF-8). The path is relative to
// the login directory ("ftp://h/pub" is "pub"); a path that starts with "%2F" or with a
// second slash ("ftp://h//srv/pub") is absolute.
struct FtpUrl {
    std::string user;
    std::optional<std::string> password;
    std::string host; // without brackets for IPv6
    int port = 21;
    std::string path;
    bool trailingSlash = false;
};

// False with a reason when the text is not such a URL.
bool ParseFtpUrl(std::string_view text, FtpUrl& url, std::string& error);

// Decodes %XX escapes; false on a malformed escape.
bool PercentDecode(std::string_view text, std::string& out);

} // namespace tw::cli

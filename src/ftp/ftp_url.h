#pragma once

#include "ftp/remote_session.h"
#include "ftp/tls_types.h"

#include <optional>
#include <string>
#include <string_view>

namespace tw::ftp {

// An FTP URL: ftp://[user[:password]@]host[:port]/path, or ftps:// (implicit TLS, port 990 by
// default) or ftpes:// (explicit TLS required, port 21). User, password and path are
// percent-decoded to bytes (so %FF reaches a name that is not UTF-8). The path is relative to
// the login directory ("ftp://h/pub" is "pub"); a path that starts with "%2F" or with a
// second slash ("ftp://h//srv/pub") is absolute. sftp://[user[:password]@]host[:port]/path is
// SFTP (port 22): its path is absolute, "/~/x" relative to the login folder, as ssh clients
// read such URLs.
struct FtpUrl {
    Protocol protocol = Protocol::Ftp;
    std::string user;
    std::optional<std::string> password;
    std::string host; // without brackets for IPv6
    int port = 21;
    bool portGiven = false; // the URL names its port
    // The encryption its scheme asks for: none for ftp://, which leaves it to --tls.
    std::optional<TlsMode> tls;
    std::string path;
    bool trailingSlash = false;
};

// False with a reason when the text is not such a URL.
bool ParseFtpUrl(std::string_view text, FtpUrl& url, std::string& error);

// The port to connect to in that mode: the URL's own, else the implicit TLS port for an ftp://
// URL used with --tls implicit.
int ConnectPort(const FtpUrl& url, TlsMode mode);

// True when the text starts with one of the URL schemes above (any case).
bool HasFtpScheme(std::string_view text);

// Decodes %XX escapes; false on a malformed escape.
bool PercentDecode(std::string_view text, std::string& out);

} // namespace tw::ftp

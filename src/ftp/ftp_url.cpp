#include "ftp/ftp_url.h"

#include <algorithm>

namespace tw::ftp {

namespace {

int hexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool startsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() &&
           std::equal(prefix.begin(), prefix.end(), text.begin(),
                      [](char a, char b) { return a == (b >= 'A' && b <= 'Z' ? b + 32 : b); });
}

struct Scheme {
    std::string_view prefix;
    std::optional<TlsMode> tls;
    int port;
    Protocol protocol = Protocol::Ftp;
};

const Scheme kSchemes[] = {{"ftp://", std::nullopt, 21},
                           {"ftps://", TlsMode::Implicit, kImplicitTlsPort},
                           {"ftpes://", TlsMode::ExplicitRequired, 21},
                           {"sftp://", std::nullopt, kSftpPort, Protocol::Sftp}};

const Scheme* schemeOf(std::string_view text) {
    for (const Scheme& s : kSchemes)
        if (startsWithNoCase(text, s.prefix))
            return &s;
    return nullptr;
}

} // namespace

bool HasFtpScheme(std::string_view text) {
    return schemeOf(text) != nullptr;
}

int ConnectPort(const FtpUrl& url, TlsMode mode) {
    return url.portGiven || mode != TlsMode::Implicit ? url.port : kImplicitTlsPort;
}

bool PercentDecode(std::string_view text, std::string& out) {
    out.clear();
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out += text[i];
            continue;
        }
        if (i + 2 >= text.size())
            return false;
        const int hi = hexValue(text[i + 1]);
        const int lo = hexValue(text[i + 2]);
        if (hi < 0 || lo < 0)
            return false;
        out += static_cast<char>(hi * 16 + lo);
        i += 2;
    }
    return true;
}

bool ParseFtpUrl(std::string_view text, FtpUrl& url, std::string& error) {
    url = FtpUrl{};
    const Scheme* scheme = schemeOf(text);
    if (!scheme) {
        error = "not an ftp://, ftps://, ftpes:// or sftp:// URL";
        return false;
    }
    url.tls = scheme->tls;
    url.port = scheme->port;
    url.protocol = scheme->protocol;
    std::string_view rest = text.substr(scheme->prefix.size());
    const auto slash = rest.find('/');
    std::string_view authority = rest.substr(0, slash);
    std::string_view path =
        slash == std::string_view::npos ? std::string_view{} : rest.substr(slash);
    const auto at = authority.rfind('@');
    if (at != std::string_view::npos) {
        const std::string_view userInfo = authority.substr(0, at);
        authority = authority.substr(at + 1);
        const auto colon = userInfo.find(':');
        std::string decoded;
        if (!PercentDecode(userInfo.substr(0, colon), decoded)) {
            error = "malformed user name";
            return false;
        }
        url.user = decoded;
        if (colon != std::string_view::npos) {
            if (!PercentDecode(userInfo.substr(colon + 1), decoded)) {
                error = "malformed password";
                return false;
            }
            url.password = decoded;
        }
    }
    std::string_view portText;
    bool hasPort = false;
    if (!authority.empty() && authority.front() == '[') {
        const auto close = authority.find(']');
        if (close == std::string_view::npos) {
            error = "unclosed IPv6 address";
            return false;
        }
        url.host = std::string(authority.substr(1, close - 1));
        const std::string_view after = authority.substr(close + 1);
        if (!after.empty()) {
            if (after.front() != ':') {
                error = "malformed host";
                return false;
            }
            hasPort = true;
            portText = after.substr(1);
        }
    } else {
        const auto colon = authority.find(':');
        url.host = std::string(authority.substr(0, colon));
        if (colon != std::string_view::npos) {
            hasPort = true;
            portText = authority.substr(colon + 1);
        }
    }
    if (url.host.empty()) {
        error = "no host name";
        return false;
    }
    if (hasPort) {
        // Digits only, 1 to 65535; the value is bounded before it is scaled, so no run of
        // digits can overflow into a valid port.
        int port = portText.empty() ? -1 : 0;
        for (const char c : portText) {
            if (c < '0' || c > '9' || port > 65535) {
                port = -1;
                break;
            }
            port = port * 10 + (c - '0');
        }
        if (port < 1 || port > 65535) {
            error = "invalid port";
            return false;
        }
        url.port = port;
        url.portGiven = true;
    }
    // FTP: "/pub/x" is relative to the login directory; "//srv" and "/%2Fsrv" are absolute.
    // SFTP, as ssh clients read it: "/srv" is absolute and "/~/x" relative to the login folder.
    if (url.protocol == Protocol::Sftp) {
        if (path.substr(0, 3) == "/~/" || path == "/~")
            path.remove_prefix(std::min<std::size_t>(path.size(), 3));
    } else if (!path.empty()) {
        path.remove_prefix(1);
    }
    std::string decoded;
    if (!PercentDecode(path, decoded)) {
        error = "malformed path";
        return false;
    }
    url.trailingSlash = !decoded.empty() && decoded.back() == '/';
    while (decoded.size() > 1 && decoded.back() == '/')
        decoded.pop_back();
    url.path = decoded;
    return true;
}

} // namespace tw::ftp

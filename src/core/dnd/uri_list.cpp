#include "core/dnd/uri_list.h"

#include "ftp/ftp_url.h"

#include <QList>
#include <QSysInfo>

namespace tw {

namespace {

// %XX escapes to bytes, with the engine's decoder of FTP addresses; false on a broken escape.
bool percentDecode(const QByteArray& text, QByteArray& out) {
    std::string decoded;
    if (!ftp::PercentDecode(std::string_view(text.constData(), std::size_t(text.size())), decoded))
        return false;
    out = QByteArray(decoded.data(), qsizetype(decoded.size()));
    return true;
}

bool isUnreserved(unsigned char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '.' || c == '_' || c == '~' || c == '/';
}

// The path of a file: URL, or nothing when it names no local file.
bool localPath(const QByteArray& url, QByteArray& path) {
    if (!url.left(5).toLower().startsWith("file:"))
        return false;
    QByteArray rest = url.mid(5);
    if (rest.startsWith("//")) {
        const qsizetype slash = rest.indexOf('/', 2);
        if (slash < 0)
            return false;
        const QByteArray host = rest.mid(2, slash - 2).toLower();
        if (!host.isEmpty() && host != "localhost" &&
            host != QSysInfo::machineHostName().toUtf8().toLower())
            return false;
        rest = rest.mid(slash);
    }
    if (!rest.startsWith('/'))
        return false;
    const qsizetype cut = rest.indexOf('#'); // a fragment names no other file
    if (cut >= 0)
        rest.truncate(cut);
    if (!percentDecode(rest, path) || path.contains('\0'))
        return false;
    while (path.size() > 1 && path.endsWith('/'))
        path.chop(1);
    return true;
}

} // namespace

UriList ParseUriList(const QByteArray& data) {
    UriList list;
    const QList<QByteArray> lines = data.split('\n');
    for (QByteArray line : lines) {
        line = line.trimmed();
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        QByteArray path;
        if (localPath(line, path))
            list.paths.push_back(std::move(path));
        else
            list.refused.push_back(QString::fromUtf8(line));
    }
    return list;
}

QByteArray BuildUriList(const std::vector<QByteArray>& paths) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    QByteArray out;
    for (const QByteArray& path : paths) {
        out += "file://";
        for (const char c : path) {
            const auto u = static_cast<unsigned char>(c);
            if (isUnreserved(u)) {
                out += c;
            } else {
                out += '%';
                out += kHex[u >> 4];
                out += kHex[u & 15];
            }
        }
        out += "\r\n";
    }
    return out;
}

} // namespace tw

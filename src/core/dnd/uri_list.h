#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <vector>

namespace tw {

// The files of a text/uri-list (RFC 2483): local paths as the file system's bytes, and the
// entries that name no local file (another scheme, another host), as they were written.
struct UriList {
    std::vector<QByteArray> paths;
    QStringList refused;
};

// Reads a text/uri-list: CRLF or LF lines, '#' comments skipped; file: URLs with no host or
// "localhost" or this machine's name become paths, their %XX escapes decoded to bytes (a name need
// not be UTF-8).
UriList ParseUriList(const QByteArray& data);

// Writes local paths as a text/uri-list of file:// URLs, every byte outside the unreserved
// characters and '/' escaped, each line ended with CRLF.
QByteArray BuildUriList(const std::vector<QByteArray>& paths);

} // namespace tw

#pragma once

#include "core/accounts/site_import/imported_site.h"

#include <QByteArray>
#include <QString>

#include <optional>

namespace tw {

// FileZilla's Site Manager file (~/.config/filezilla/sitemanager.xml, or a file its Export
// wrote): FileZilla3 > Servers > Folder (its name as text, nested) > Server. Each Server
// becomes one site named by its folder path and its name ("Work / Clients / Acme"). FTP, FTP
// over explicit or implicit TLS and SFTP sites are read; other protocols (S3, WebDAV, ...)
// are skipped with their name. Passwords stored in base64 or as plain text are read; one
// encrypted with FileZilla's master password cannot be, and the site says so. Unknown
// elements are passed over. A file that breaks off keeps the sites read before the break and
// reports the line where it broke.
SiteFileRead ReadFileZillaSites(const QByteArray& xml);

// The path a FileZilla "safe path" names: "<type> <prefix length> [<prefix> ](<length>
// <segment> )*", e.g. "1 0 4 home 5 alice" is "/home/alice" and "3 0 2 C: 7 windows" is
// "C:\windows". nullopt when the text is not of that form.
std::optional<QString> DecodeFileZillaPath(const QString& safePath);

} // namespace tw

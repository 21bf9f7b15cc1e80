#include "core/accounts/site_import/filezilla_sites.h"

#include "core/accounts/bookmarks.h"

#include <QXmlStreamReader>

#include <array>
#include <string>
#include <vector>

namespace tw {

namespace {

// How a server type of FileZilla writes a path from its prefix and segments.
struct PathForm {
    char16_t separator;
    bool hasRoot;  // the root is the separator alone ("/")
    char16_t left; // enclosure around the segments (VMS "[A.B]", MVS "'A.B'")
    char16_t right;
    bool prefixAfter;          // MVS: the prefix is written after the segments
    bool separatorAfterPrefix; // Cygwin: "//server" + "/" + segments
    char16_t escape;           // VMS escapes a separator inside a segment
    bool driveRoot;            // DOS: "C:" alone is written "C:\"
};

// Indexed by FileZilla's server type number.
constexpr std::array<PathForm, 11> kPathForms = {{
    {u'/', true, 0, 0, false, false, 0, false},           // default
    {u'/', true, 0, 0, false, false, 0, false},           // Unix
    {u'.', false, u'[', u']', false, false, u'^', false}, // VMS
    {u'\\', false, 0, 0, false, false, 0, true},          // DOS
    {u'.', false, u'\'', u'\'', true, false, 0, false},   // MVS
    {u'/', true, 0, 0, false, false, 0, false},           // VxWorks
    {u'/', true, 0, 0, false, false, 0, false},           // z/VM
    {u'.', false, 0, 0, false, false, 0, false},          // HP NonStop
    {u'\\', true, 0, 0, false, false, 0, false},          // DOS-like virtual
    {u'/', true, 0, 0, false, true, 0, false},            // Cygwin
    {u'/', false, 0, 0, false, false, 0, true},           // DOS with forward slashes
}};

struct SafePath {
    int type = 0;
    std::optional<std::u32string> prefix;
    std::vector<std::u32string> segments;
};

// Parses the safe form over code points (FileZilla counts wchar_t, 32 bits on Linux; a file
// from Windows counts UTF-16 units, which the caller tries next).
template <typename Text>
std::optional<SafePath> parseSafePath(const Text& text) {
    std::size_t pos = 0;
    const std::size_t end = text.size();
    const auto number = [&](int limit) -> std::optional<int> {
        int value = 0;
        const std::size_t start = pos;
        while (pos < end && text[pos] >= '0' && text[pos] <= '9') {
            value = value * 10 + int(text[pos] - '0');
            if (value > limit)
                return std::nullopt;
            ++pos;
        }
        if (pos == start)
            return std::nullopt;
        return value;
    };
    const auto space = [&] {
        if (pos < end && text[pos] == ' ') {
            ++pos;
            return true;
        }
        return false;
    };
    const auto take = [&](int length) -> std::optional<std::u32string> {
        if (std::size_t(length) > end - pos)
            return std::nullopt;
        std::u32string piece(text.begin() + std::ptrdiff_t(pos),
                             text.begin() + std::ptrdiff_t(pos + std::size_t(length)));
        pos += std::size_t(length);
        return piece;
    };
    SafePath path;
    const auto type = number(int(kPathForms.size()) - 1);
    if (!type || !space())
        return std::nullopt;
    path.type = *type;
    const auto prefixLength = number(32767);
    if (!prefixLength)
        return std::nullopt;
    if (pos == end)
        return *prefixLength == 0 ? std::optional(path) : std::nullopt; // the root
    if (!space())
        return std::nullopt;
    if (*prefixLength > 0) {
        path.prefix = take(*prefixLength);
        if (!path.prefix || (pos < end && !space()))
            return std::nullopt;
    }
    while (pos < end) {
        const auto length = number(32767);
        if (!length || *length == 0 || !space())
            return std::nullopt;
        auto segment = take(*length);
        if (!segment || (pos < end && !space()))
            return std::nullopt;
        path.segments.push_back(std::move(*segment));
    }
    return path;
}

QString fromUcs4(const std::u32string& s) {
    return QString::fromUcs4(s.data(), qsizetype(s.size()));
}

QString pathText(const SafePath& path) {
    const PathForm& form = kPathForms[std::size_t(path.type)];
    const QString prefix = path.prefix ? fromUcs4(*path.prefix) : QString();
    QString out;
    if (!form.prefixAfter)
        out += prefix;
    if (form.left)
        out += QChar(form.left);
    const bool rootSeparator = !path.prefix || form.separatorAfterPrefix;
    if (path.segments.empty() && (!form.hasRoot || rootSeparator))
        out += QChar(form.separator);
    for (std::size_t i = 0; i < path.segments.size(); ++i) {
        if (i > 0 || (form.hasRoot && rootSeparator))
            out += QChar(form.separator);
        QString segment = fromUcs4(path.segments[i]);
        if (form.escape)
            segment.replace(QChar(form.separator),
                            QString(QChar(form.escape)) + QChar(form.separator));
        out += segment;
    }
    if (form.prefixAfter)
        out += prefix;
    if (form.right)
        out += QChar(form.right);
    if (form.driveRoot && path.segments.size() == 1)
        out += QChar(form.separator);
    return out;
}

// FileZilla's protocol numbers.
enum FzProtocol { kFzFtp = 0, kFzSftp = 1, kFzFtps = 3, kFzFtpes = 4, kFzInsecureFtp = 6 };

// The names of the protocols this program does not speak, by number.
QString protocolName(int number) {
    static const char* const names[] = {"FTP",
                                        "SFTP",
                                        "HTTP",
                                        "FTPS",
                                        "FTPES",
                                        "HTTPS",
                                        "plain FTP",
                                        "S3",
                                        "Storj",
                                        "WebDAV",
                                        "Azure File",
                                        "Azure Blob",
                                        "OpenStack Swift",
                                        "Google Cloud Storage",
                                        "Google Drive",
                                        "Dropbox",
                                        "OneDrive",
                                        "Backblaze B2",
                                        "Box",
                                        "WebDAV over HTTP",
                                        "Rackspace Cloud Storage",
                                        "Storj (access grant)",
                                        "S3 (single sign-on)",
                                        "Google Cloud (service account)",
                                        "Cloudflare R2"};
    if (number >= 0 && std::size_t(number) < std::size(names))
        return QString::fromUtf8(names[number]);
    return QStringLiteral("number %1").arg(number);
}

// FileZilla's logon types.
enum FzLogon {
    kLogonAnonymous = 0,
    kLogonNormal = 1,
    kLogonAsk = 2,
    kLogonInteractive = 3,
    kLogonAccount = 4,
    kLogonKey = 5,
    kLogonProfile = 6
};

// The raw values of one Server element.
struct ServerFields {
    QString host, port, protocol, user, pass, passEncoding, logonType, keyFile, account;
    QString pasvMode, encodingType, customEncoding, comments, localDir, remoteDir, name;
    QString maxConnections;
    QString ownText; // older files name the site with the element's own text
    bool hasPass = false;
    QStringList bookmarks; // the safe paths of the site's bookmarks' remote folders
};

// The longest site name the report keeps (folder names nest without bound).
constexpr qsizetype kMaxSourceName = 512;

// A Folder's name is its text before its first child element.
struct FolderName {
    QString text;
    bool complete = false;
};

QString joinedName(const std::vector<FolderName>& folders, const QString& name) {
    QStringList parts;
    qsizetype length = name.size();
    for (const FolderName& folder : folders) {
        parts << folder.text.trimmed().left(kMaxSourceName);
        length += parts.last().size() + 3;
        if (length > kMaxSourceName)
            break;
    }
    parts << name.left(kMaxSourceName);
    return parts.join(QStringLiteral(" / ")).left(kMaxSourceName);
}

// Comments as the record keeps them: CR LF line ends, no other control characters.
QString commentText(const QString& text) {
    QString lines = text;
    lines.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    lines.replace(u'\r', u'\n');
    QString out;
    out.reserve(lines.size());
    for (const QChar c : lines) {
        if (c == u'\n')
            out += QStringLiteral("\r\n");
        else if (c == u'\t' || !HasControlCharacters(QString(c)))
            out += c;
    }
    return out;
}

ImportedSite makeSite(const std::vector<FolderName>& folders, const ServerFields& f) {
    ImportedSite site;
    QString name = f.name.trimmed();
    if (name.isEmpty())
        name = f.ownText.trimmed();
    if (name.isEmpty())
        name = f.host.trimmed();
    site.source = joinedName(folders, name);
    AccountRecord& r = site.record;
    r.Name = site.source;
    r.URL = f.host.trimmed();
    r.Passive = f.pasvMode.trimmed() != QStringLiteral("MODE_ACTIVE");
    r.UseAgent = true;
    r.Encryption = kNewAccountEncryption;

    bool numeric = true;
    const int protocol =
        f.protocol.trimmed().isEmpty() ? kFzFtp : f.protocol.trimmed().toInt(&numeric);
    if (!numeric) {
        site.skipReason =
            QStringLiteral("the protocol \"%1\" is not known").arg(f.protocol.left(40));
        return site;
    }
    std::uint32_t defaultPort = 21;
    switch (protocol) {
    case kFzFtp:
        r.Encryption = ftp::TlsMode::ExplicitIfAvailable;
        break;
    case kFzFtpes:
        r.Encryption = ftp::TlsMode::ExplicitRequired;
        break;
    case kFzFtps:
        r.Encryption = ftp::TlsMode::Implicit;
        defaultPort = ftp::kImplicitTlsPort;
        break;
    case kFzInsecureFtp:
        r.Encryption = ftp::TlsMode::Plain;
        break;
    case kFzSftp:
        r.Protocol = ftp::Protocol::Sftp;
        defaultPort = 22;
        break;
    default:
        site.skipReason =
            QStringLiteral("the protocol %1 is not supported").arg(protocolName(protocol));
        return site;
    }

    r.RemotePort = defaultPort;
    if (const QString port = f.port.trimmed(); !port.isEmpty()) {
        bool ok = false;
        const int number = port.toInt(&ok);
        if (!ok || number < 0 || number > 65535) {
            site.skipReason =
                QStringLiteral("the port \"%1\" is not a port number").arg(port.left(20));
            return site;
        }
        if (number > 0)
            r.RemotePort = std::uint32_t(number);
    }

    bool logonKnown = false;
    int logon = f.logonType.trimmed().toInt(&logonKnown);
    if (!logonKnown)
        logon = kLogonNormal; // absent or unreadable: a user name and password
    const QString user = f.user;
    if (logon == kLogonAnonymous ||
        user.compare(QStringLiteral("anonymous"), Qt::CaseInsensitive) == 0) {
        r.Anonymous = true;
    } else {
        r.Login = user;
    }
    const bool passwordLogon = logon == kLogonNormal || logon == kLogonAccount;
    if (f.hasPass && passwordLogon && !r.Anonymous) {
        const QString encoding = f.passEncoding.trimmed().toLower();
        if (encoding == QStringLiteral("crypt")) {
            site.notes << QStringLiteral("password encrypted with a master password: not imported");
        } else if (encoding == QStringLiteral("base64")) {
            const auto decoded = QByteArray::fromBase64Encoding(
                f.pass.trimmed().toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
            if (!decoded)
                site.notes << QStringLiteral("the password could not be decoded: not imported");
            else
                r.Password = QString::fromUtf8(*decoded);
        } else if (encoding.isEmpty()) {
            r.Password = f.pass;
        } else {
            site.notes << QStringLiteral(
                              "the password's encoding \"%1\" is not known: not imported")
                              .arg(encoding.left(20));
        }
        r.SavePassword = !r.Password.isEmpty();
    }
    switch (logon) {
    case kLogonAsk:
    case kLogonInteractive:
        site.notes << QStringLiteral("FileZilla asks for the password at each login");
        break;
    case kLogonAccount:
        if (!f.account.isEmpty())
            site.notes << QStringLiteral("the FTP account (ACCT) was left out");
        break;
    case kLogonKey:
        if (r.Protocol == ftp::Protocol::Sftp)
            r.KeyFile = f.keyFile.trimmed();
        else
            site.notes << QStringLiteral("a key file applies to SFTP only: left out");
        break;
    case kLogonProfile:
        site.notes << QStringLiteral("the login profile was left out");
        break;
    default:
        break;
    }

    const QString encoding = f.encodingType.trimmed();
    if (encoding.compare(QStringLiteral("Custom"), Qt::CaseInsensitive) == 0)
        site.notes << QStringLiteral("the character set %1 was left out: names are read as UTF-8")
                          .arg(f.customEncoding.trimmed().left(40));
    if (const QString max = f.maxConnections.trimmed(); !max.isEmpty()) {
        const int connections = max.toInt();
        if (connections >= 1 && connections <= 10)
            r.Connections = std::uint32_t(connections);
    }
    r.Comments = commentText(f.comments);
    r.LocalPath = f.localDir.trimmed();
    if (const QString remote = f.remoteDir.trimmed(); !remote.isEmpty()) {
        if (const auto path = DecodeFileZillaPath(remote))
            r.RemotePath = *path;
        else
            site.notes << QStringLiteral("the remote folder could not be read: left out");
    }
    int leftOut = 0;
    for (const QString& safe : f.bookmarks) {
        const auto path = DecodeFileZillaPath(safe.trimmed());
        const BookmarkAdded added = path ? AddBookmark(r.Bookmarks, *path) : BookmarkAdded::Refused;
        if (added == BookmarkAdded::Refused || added == BookmarkAdded::Full)
            ++leftOut;
    }
    if (leftOut > 0)
        site.notes << QStringLiteral("%1 of FileZilla's bookmarks left out").arg(leftOut);
    CheckImportedFields(site);
    return site;
}

// One element's text (its child elements passed over). Its size is bounded by the file's,
// which the import reads only up to kMaxSiteFileSize; the field checks refuse or cut it.
QString elementText(QXmlStreamReader& xml) {
    return xml.readElementText(QXmlStreamReader::SkipChildElements);
}

// A Bookmark element of a site: its remote folder is kept, its local folder (and a bookmark
// with only one) is not.
void readBookmark(QXmlStreamReader& xml, ServerFields& f) {
    QString remote;
    while (xml.readNextStartElement()) {
        if (xml.name() == u"RemoteDir")
            remote = elementText(xml);
        else
            xml.skipCurrentElement();
    }
    if (!remote.trimmed().isEmpty() && f.bookmarks.size() < 4 * kMaxBookmarks)
        f.bookmarks << remote;
}

// Reads a Server element whose start was just read. False when the XML broke inside it.
bool readServer(QXmlStreamReader& xml, ServerFields& f) {
    while (!xml.atEnd()) {
        const auto token = xml.readNext();
        if (token == QXmlStreamReader::EndElement)
            return true;
        if (token == QXmlStreamReader::Characters) {
            if (!xml.isWhitespace() && f.ownText.size() < 4096)
                f.ownText += xml.text().left(4096);
            continue;
        }
        if (token != QXmlStreamReader::StartElement)
            continue;
        const QStringView tag = xml.name();
        QString* value = nullptr;
        if (tag == u"Host")
            value = &f.host;
        else if (tag == u"Port")
            value = &f.port;
        else if (tag == u"Protocol")
            value = &f.protocol;
        else if (tag == u"User")
            value = &f.user;
        else if (tag == u"Pass") {
            f.hasPass = true;
            f.passEncoding = xml.attributes().value(QStringLiteral("encoding")).toString().left(40);
            value = &f.pass;
        } else if (tag == u"Logontype")
            value = &f.logonType;
        else if (tag == u"Keyfile")
            value = &f.keyFile;
        else if (tag == u"Account")
            value = &f.account;
        else if (tag == u"PasvMode")
            value = &f.pasvMode;
        else if (tag == u"EncodingType")
            value = &f.encodingType;
        else if (tag == u"CustomEncoding")
            value = &f.customEncoding;
        else if (tag == u"Comments")
            value = &f.comments;
        else if (tag == u"LocalDir")
            value = &f.localDir;
        else if (tag == u"RemoteDir")
            value = &f.remoteDir;
        else if (tag == u"Name")
            value = &f.name;
        else if (tag == u"MaximumMultipleConnections")
            value = &f.maxConnections;
        if (tag == u"Bookmark") {
            readBookmark(xml, f);
            continue;
        }
        if (value)
            *value = elementText(xml);
        else
            xml.skipCurrentElement();
    }
    return false;
}

// The offset of the first byte that is not part of a valid UTF-8 sequence, or -1.
qsizetype firstInvalidUtf8(const QByteArray& bytes) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.constData());
    const qsizetype n = bytes.size();
    qsizetype i = 0;
    while (i < n) {
        const unsigned char c = p[i];
        int more = 0;
        unsigned int low = 0x80, high = 0xbf; // the range of the byte after the first
        if (c < 0x80) {
            ++i;
            continue;
        } else if (c >= 0xc2 && c <= 0xdf) {
            more = 1;
        } else if (c >= 0xe0 && c <= 0xef) {
            more = 2;
            low = c == 0xe0 ? 0xa0 : 0x80;
            high = c == 0xed ? 0x9f : 0xbf;
        } else if (c >= 0xf0 && c <= 0xf4) {
            more = 3;
            low = c == 0xf0 ? 0x90 : 0x80;
            high = c == 0xf4 ? 0x8f : 0xbf;
        } else {
            return i;
        }
        if (i + more >= n)
            return i;
        for (int k = 1; k <= more; ++k) {
            const unsigned char next = p[i + k];
            if (next < (k == 1 ? low : 0x80) || next > (k == 1 ? high : 0xbf))
                return i;
        }
        i += more + 1;
    }
    return -1;
}

// True when the XML declaration names an encoding other than UTF-8.
bool declaresOtherEncoding(const QByteArray& bytes) {
    const QByteArray head = bytes.left(200);
    if (!head.startsWith("<?xml"))
        return false;
    const qsizetype end = head.indexOf("?>");
    const QByteArray declaration = head.left(end < 0 ? head.size() : end).toLower();
    const qsizetype at = declaration.indexOf("encoding");
    return at >= 0 && !declaration.mid(at).contains("utf-8");
}

} // namespace

std::optional<QString> DecodeFileZillaPath(const QString& safePath) {
    const std::u32string points = safePath.toStdU32String();
    std::optional<SafePath> path = parseSafePath(points);
    if (!path) {
        const std::u16string units = safePath.toStdU16String();
        path = parseSafePath(units);
    }
    if (!path)
        return std::nullopt;
    return pathText(*path);
}

SiteFileRead ReadFileZillaSites(const QByteArray& bytes) {
    SiteFileRead read;
    // The sites before a stretch that is not UTF-8 are kept, as before broken XML.
    QString encodingProblem;
    QByteArray valid = bytes;
    if (const qsizetype bad = declaresOtherEncoding(bytes) ? -1 : firstInvalidUtf8(bytes);
        bad >= 0) {
        valid = bytes.left(bad);
        encodingProblem = QStringLiteral("The file is not valid UTF-8 at line %1: the rest of the "
                                         "file was skipped.")
                              .arg(valid.count('\n') + 1);
    }
    QXmlStreamReader xml(valid);
    if (!xml.readNextStartElement() || xml.name() != u"FileZilla3") {
        if (!encodingProblem.isEmpty() && xml.hasError())
            read.refusal = QStringLiteral("This is not a FileZilla site list: ") + encodingProblem;
        else if (xml.hasError())
            read.refusal = QStringLiteral("This is not a FileZilla site list: broken XML at line "
                                          "%1: %2")
                               .arg(xml.lineNumber())
                               .arg(xml.errorString());
        else
            read.refusal = QStringLiteral("This is not a FileZilla site list (its first element "
                                          "is not FileZilla3).");
        return read;
    }
    // Elements open below FileZilla3, each with whether it is a Folder; the folders' names.
    std::vector<bool> open;
    std::vector<FolderName> folders;
    bool inServers = false;
    bool sawServers = false;
    bool tooMany = false;
    while (!xml.atEnd() && !tooMany) {
        const auto token = xml.readNext();
        if (token == QXmlStreamReader::StartElement) {
            const QStringView tag = xml.name();
            if (!open.empty() && open.back())
                folders.back().complete = true;
            if (!inServers) {
                if (open.empty() && tag == u"Servers") {
                    inServers = sawServers = true;
                    open.push_back(false);
                } else {
                    xml.skipCurrentElement();
                }
                continue;
            }
            if (tag == u"Folder") {
                open.push_back(true);
                folders.emplace_back();
            } else if (tag == u"Server") {
                ServerFields fields;
                if (!readServer(xml, fields))
                    break; // the broken site is not kept
                if (int(read.sites.size()) >= kMaxImportedSites) {
                    tooMany = true;
                    break;
                }
                read.sites.push_back(makeSite(folders, fields));
            } else {
                xml.skipCurrentElement();
            }
        } else if (token == QXmlStreamReader::EndElement) {
            if (open.empty())
                continue; // the end of FileZilla3
            if (open.back())
                folders.pop_back();
            open.pop_back();
            if (open.empty())
                inServers = false;
        } else if (token == QXmlStreamReader::Characters && !open.empty() && open.back() &&
                   !folders.back().complete) {
            QString& name = folders.back().text;
            if (name.size() < 4096)
                name += xml.text().left(4096);
        }
    }
    if (!encodingProblem.isEmpty() && read.sites.empty() && !sawServers)
        read.refusal = QStringLiteral("This is not a FileZilla site list: ") + encodingProblem;
    else if (!encodingProblem.isEmpty())
        read.problem = encodingProblem;
    else if (tooMany)
        read.problem = QStringLiteral("The file holds more than %1 sites: the rest were not read.")
                           .arg(kMaxImportedSites);
    else if (xml.hasError())
        read.problem = QStringLiteral("Broken XML at line %1: %2 The rest of the file was skipped.")
                           .arg(xml.lineNumber())
                           .arg(xml.errorString());
    else if (!sawServers)
        read.problem = QStringLiteral("The file holds no Servers element: it names no sites.");
    return read;
}

} // namespace tw

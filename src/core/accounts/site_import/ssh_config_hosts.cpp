#include "core/accounts/site_import/ssh_config_hosts.h"

#include "core/accounts/account_file_commands.h"

#include <QDir>
#include <QFileInfo>
#include <QStringDecoder>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>
#include <vector>

namespace tw {

namespace {

// The largest Include file read.
constexpr qint64 kMaxIncludeBytes = 1024 * 1024;

struct Setting {
    QString keyword; // lower case
    QStringList args;
    int line = 0;
};

// One block: the lines after a Host line (or before the first one: `global`).
struct Block {
    QStringList patterns;
    bool global = false;
    bool match = false; // a Match block: never applied
    std::vector<Setting> settings;
};

struct Parse {
    const SshConfigPlace& place;
    std::vector<Block> blocks;
    std::vector<ImportedSite> reports; // skipped patterns, Match blocks, Include problems
    // The names in Host lines in order, with where each was first seen.
    std::vector<std::pair<QString, QString>> hosts; // alias, where
    int includedFiles = 0;
    bool full = false; // more entries than kMaxImportedSites: the rest were not read

    void add(ImportedSite site) {
        if (reports.size() + hosts.size() >= std::size_t(kMaxImportedSites))
            full = true;
        else
            reports.push_back(std::move(site));
    }
};

// The most Include files one configuration reads, wherever they are named.
constexpr int kMaxIncludedFiles = 256;

// Splits a line's arguments: whitespace separates, double quotes group, a word starting with
// '#' outside quotes starts a comment. nullopt for an unterminated quote.
std::optional<QStringList> splitArgs(QStringView rest) {
    QStringList args;
    QString word;
    bool inWord = false;
    bool quoted = false;
    for (qsizetype i = 0; i < rest.size(); ++i) {
        const QChar c = rest[i];
        if (quoted) {
            if (c == u'"')
                quoted = false;
            else
                word += c;
            continue;
        }
        if (c == u' ' || c == u'\t') {
            if (inWord)
                args << word;
            word.clear();
            inWord = false;
            continue;
        }
        if (c == u'#' && !inWord)
            break;
        inWord = true;
        if (c == u'"')
            quoted = true;
        else
            word += c;
    }
    if (quoted)
        return std::nullopt;
    if (inWord)
        args << word;
    return args;
}

bool hasWildcard(const QString& pattern) {
    return pattern.contains(u'*') || pattern.contains(u'?');
}

// ssh's pattern match: '*' any run, '?' any one character, without regard to case.
bool globMatch(QStringView pattern, QStringView name) {
    qsizetype p = 0, n = 0, star = -1, mark = 0;
    while (n < name.size()) {
        if (p < pattern.size() &&
            (pattern[p] == u'?' || pattern[p].toLower() == name[n].toLower())) {
            ++p;
            ++n;
        } else if (p < pattern.size() && pattern[p] == u'*') {
            star = p++;
            mark = n;
        } else if (star >= 0) {
            p = star + 1;
            n = ++mark;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == u'*')
        ++p;
    return p == pattern.size();
}

// A Host line's patterns against a name: a negated pattern that matches rules the block out.
bool blockMatches(const Block& block, const QString& name) {
    if (block.global)
        return true;
    if (block.match)
        return false;
    bool matched = false;
    for (const QString& pattern : block.patterns) {
        if (pattern.startsWith(u'!')) {
            if (globMatch(QStringView(pattern).mid(1), name))
                return false;
        } else if (globMatch(pattern, name)) {
            matched = true;
        }
    }
    return matched;
}

ImportedSite report(const QString& source, const QString& reason) {
    ImportedSite site;
    site.source = source;
    site.skipReason = reason;
    return site;
}

QString where(const QString& file, int line) {
    return QStringLiteral("%1, line %2").arg(QFileInfo(file).fileName()).arg(line);
}

QString expandTilde(const QString& path, const QString& home) {
    if (path == u'~')
        return home;
    if (path.startsWith(QStringLiteral("~/")))
        return home + path.mid(1);
    return path;
}

void parseText(Parse& parse, const QByteArray& text, const QString& file, int depth);

// Follows an Include line's files: "~" expanded, relative names in the configuration folder,
// wildcards in the file name part.
void include(Parse& parse, const Setting& setting, const QString& file, int depth) {
    for (const QString& arg : setting.args) {
        const QString source =
            QStringLiteral("Include %1 (%2)").arg(arg, where(file, setting.line));
        if (depth >= kMaxSshIncludeDepth) {
            parse.add(report(source, QStringLiteral("nested too deep: not followed")));
            continue;
        }
        QString path = expandTilde(arg, parse.place.home);
        if (QFileInfo(path).isRelative())
            path = QDir(parse.place.configFolder).filePath(path);
        const QFileInfo info(path);
        QStringList files;
        if (hasWildcard(info.path())) {
            parse.add(report(source, QStringLiteral("wildcards in folder names are not followed")));
            continue;
        }
        if (hasWildcard(info.fileName())) {
            const QDir folder = info.dir();
            for (const QString& name :
                 folder.entryList({info.fileName()}, QDir::Files | QDir::Hidden, QDir::Name))
                files << folder.filePath(name);
        } else {
            files << path;
        }
        for (const QString& one : files) {
            if (++parse.includedFiles > kMaxIncludedFiles) {
                parse.add(report(source, QStringLiteral("more than %1 files included: not followed")
                                             .arg(kMaxIncludedFiles)));
                return;
            }
            QByteArray bytes;
            const int error = ReadWholeFile(one, kMaxIncludeBytes, bytes);
            if (error == ENOENT && !hasWildcard(info.fileName()))
                continue; // ssh passes over a missing file too
            if (error != 0) {
                parse.add(report(
                    source, error == EFBIG
                                ? QStringLiteral("the file %1 is larger than 1 MiB").arg(one)
                                : QStringLiteral("%1 cannot be read: %2")
                                      .arg(one, QString::fromLocal8Bit(std::strerror(error)))));
                continue;
            }
            parseText(parse, bytes, one, depth + 1);
        }
    }
}

void parseText(Parse& parse, const QByteArray& text, const QString& file, int depth) {
    const QList<QByteArray> lines = text.split('\n');
    for (qsizetype index = 0; index < lines.size() && !parse.full; ++index) {
        const int lineNumber = int(index) + 1;
        QStringDecoder decoder(QStringDecoder::Utf8);
        const QString line = QString(decoder(lines[index])).trimmed();
        if (line.isEmpty() || line.startsWith(u'#'))
            continue;
        if (decoder.hasError()) {
            parse.add(report(where(file, lineNumber),
                             QStringLiteral("the line is not valid UTF-8: passed over")));
            continue;
        }
        qsizetype end = 0;
        while (end < line.size() && line[end] != u' ' && line[end] != u'\t' && line[end] != u'=')
            ++end;
        Setting setting;
        setting.keyword = line.left(end).toLower();
        setting.line = lineNumber;
        QStringView rest = QStringView(line).mid(end).trimmed();
        if (rest.startsWith(u'='))
            rest = rest.mid(1).trimmed();
        const auto args = splitArgs(rest);
        if (!args) {
            parse.add(report(where(file, lineNumber),
                             QStringLiteral("a quote is not closed: passed over")));
            continue;
        }
        setting.args = *args;
        if (setting.keyword == u"host") {
            Block block;
            block.patterns = setting.args;
            parse.blocks.push_back(block);
            for (const QString& pattern : setting.args) {
                const QString source = QStringLiteral("Host %1").arg(pattern);
                if (pattern.startsWith(u'!'))
                    continue; // a name ruled out, not a host
                if (hasWildcard(pattern)) {
                    parse.add(report(
                        source, QStringLiteral("a pattern with wildcards names no one host (%1)")
                                    .arg(where(file, lineNumber))));
                    continue;
                }
                if (parse.reports.size() + parse.hosts.size() >= std::size_t(kMaxImportedSites))
                    parse.full = true;
                else
                    parse.hosts.emplace_back(pattern, where(file, lineNumber));
            }
        } else if (setting.keyword == u"match") {
            Block block;
            block.match = true;
            parse.blocks.push_back(block);
            parse.add(report(
                QStringLiteral("Match %1").arg(setting.args.join(u' ')),
                QStringLiteral("Match blocks are not imported (%1)").arg(where(file, lineNumber))));
        } else if (setting.keyword == u"include") {
            // As in ssh, the lines after an Include belong to the block around it, whatever
            // Host lines the included files held.
            const std::size_t before = parse.blocks.size();
            Block around;
            around.global = parse.blocks.empty();
            if (!parse.blocks.empty()) {
                around.patterns = parse.blocks.back().patterns;
                around.global = parse.blocks.back().global;
                around.match = parse.blocks.back().match;
            }
            include(parse, setting, file, depth);
            if (parse.blocks.size() != before)
                parse.blocks.push_back(around);
        } else {
            if (parse.blocks.empty()) {
                Block global;
                global.global = true;
                parse.blocks.push_back(global);
            }
            parse.blocks.back().settings.push_back(setting);
        }
    }
}

// The %-tokens ssh expands in HostName and IdentityFile that an account can know.
QString expandTokens(const QString& text, const QString& alias, const QString& user,
                     const SshConfigPlace& place, bool* unknown) {
    QString out;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] != u'%' || i + 1 == text.size()) {
            out += text[i];
            continue;
        }
        const QChar token = text[++i];
        if (token == u'%')
            out += u'%';
        else if (token == u'h' || token == u'n')
            out += alias;
        else if (token == u'd')
            out += place.home;
        else if (token == u'u')
            out += place.localUser;
        else if (token == u'r' && !user.isEmpty())
            out += user;
        else {
            *unknown = true;
            out += u'%';
            out += token;
        }
    }
    return out;
}

ImportedSite makeHost(const Parse& parse, const QString& alias) {
    ImportedSite site;
    site.source = alias;
    std::optional<QString> hostName, port, user, identityAgent;
    QStringList identities;
    for (const Block& block : parse.blocks) {
        if (!blockMatches(block, alias))
            continue;
        for (const Setting& s : block.settings) {
            const QString first = s.args.value(0);
            if (s.keyword == u"hostname" && !hostName)
                hostName = first;
            else if (s.keyword == u"port" && !port)
                port = first;
            else if (s.keyword == u"user" && !user)
                user = first;
            else if (s.keyword == u"identityfile" && !first.isEmpty())
                identities << first;
            else if (s.keyword == u"identityagent" && !identityAgent)
                identityAgent = first;
        }
    }
    AccountRecord& r = site.record;
    r.Name = alias;
    r.Protocol = ftp::Protocol::Sftp;
    r.Encryption = kNewAccountEncryption;
    r.Passive = true;
    r.RemotePort = 22;
    r.UseAgent =
        !identityAgent || identityAgent->compare(QStringLiteral("none"), Qt::CaseInsensitive) != 0;
    bool unknown = false;
    r.Login = expandTokens(user.value_or(QString()), alias, QString(), parse.place, &unknown);
    if (unknown) {
        site.skipReason = QStringLiteral("the User uses tokens an account cannot hold");
        return site;
    }
    r.URL = expandTokens(hostName.value_or(alias), alias, r.Login, parse.place, &unknown);
    if (unknown) {
        site.skipReason = QStringLiteral("the HostName uses tokens an account cannot hold");
        return site;
    }
    if (port) {
        bool ok = false;
        const int number = port->toInt(&ok);
        if (!ok || number < 1 || number > 65535) {
            site.skipReason =
                QStringLiteral("the port \"%1\" is not a port number").arg(port->left(20));
            return site;
        }
        r.RemotePort = std::uint32_t(number);
    }
    if (!identities.isEmpty() &&
        identities.first().compare(QStringLiteral("none"), Qt::CaseInsensitive) != 0) {
        bool unknownInKey = false;
        r.KeyFile = expandTokens(expandTilde(identities.first(), parse.place.home), alias, r.Login,
                                 parse.place, &unknownInKey);
        if (unknownInKey) {
            r.KeyFile.clear();
            site.notes << QStringLiteral(
                "the IdentityFile uses tokens an account cannot hold: left out");
        }
        if (identities.size() > 1)
            site.notes << QStringLiteral("only the first IdentityFile is kept");
    }
    CheckImportedFields(site);
    return site;
}

} // namespace

SiteFileRead ReadSshConfigHosts(const QByteArray& text, const SshConfigPlace& place) {
    Parse parse{place, {}, {}, {}};
    parseText(parse, text, place.file, 0);
    SiteFileRead read;
    std::vector<QString> seen;
    for (const auto& [alias, at] : parse.hosts) {
        if (int(read.sites.size()) >= kMaxImportedSites) {
            read.problem =
                QStringLiteral("The file names more than %1 hosts: the rest were not read.")
                    .arg(kMaxImportedSites);
            break;
        }
        const bool repeated = std::any_of(seen.begin(), seen.end(), [&](const QString& s) {
            return s.compare(alias, Qt::CaseInsensitive) == 0;
        });
        if (repeated) {
            read.sites.push_back(report(QStringLiteral("Host %1").arg(alias),
                                        QStringLiteral("named again (%1): read once").arg(at)));
            continue;
        }
        seen.push_back(alias);
        read.sites.push_back(makeHost(parse, alias));
    }
    for (ImportedSite& r : parse.reports)
        read.sites.push_back(std::move(r));
    return read;
}

} // namespace tw

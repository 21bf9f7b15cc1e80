// Listings of facts: MLSD (RFC 3659), the same lines sent in answer to LIST (also in the forms
// of the drafts before it), and EPLF.
#include "ftp/listing/families.h"
#include "ftp/listing/listing_text.h"

namespace tw::ftp::listing {

namespace {

// "YYYYMMDDHHMMSS[.sss]" in UTC.
std::int64_t parseFactTime(std::string_view s) {
    if (s.size() < 14 || (s.size() > 14 && s[14] != '.'))
        return 0;
    CivilTime t;
    if (!ParseInt(s.substr(0, 4), t.year) || !ParseInt(s.substr(4, 2), t.month) ||
        !ParseInt(s.substr(6, 2), t.day) || !ParseInt(s.substr(8, 2), t.hour) ||
        !ParseInt(s.substr(10, 2), t.minute) || !ParseInt(s.substr(12, 2), t.second))
        return 0;
    return TimeOf(t);
}

// Octal permission digits ("0755", "644", Python's "0o755"); -1 when the text is none.
int parseMode(std::string_view s) {
    if (s.size() > 2 && s[0] == '0' && (s[1] == 'o' || s[1] == 'O'))
        s.remove_prefix(2);
    if (s.empty() || s.size() > 6)
        return -1;
    int mode = 0;
    for (const char c : s) {
        if (c < '0' || c > '7')
            return -1;
        mode = mode * 8 + (c - '0');
    }
    return mode;
}

// The facts of RFC 3659 and the common extensions' ("UNIX.mode", "x.hash").
bool isKnownFact(std::string_view key) {
    for (const std::string_view fact : {"type", "size", "sizd", "modify", "create", "perm",
                                        "unique", "lang", "media-type", "charset"})
        if (EqualsNoCase(key, fact))
            return true;
    for (const std::string_view prefix : {"unix.", "x.", "os."})
        if (key.size() > prefix.size() && StartsWithNoCase(key, prefix))
            return true;
    return false;
}

// "fact=value;fact=value" (a ";" at the end or not) of known facts only, "type", "size" or
// "modify" among them: facts beyond doubt where the line lacks the ";" before its name.
bool isStrictFactList(std::string_view facts) {
    if (!facts.empty() && facts.back() == ';')
        facts.remove_suffix(1);
    bool essential = false;
    while (!facts.empty()) {
        const auto semi = facts.find(';');
        const std::string_view fact = facts.substr(0, semi);
        facts = semi == std::string_view::npos ? std::string_view{} : facts.substr(semi + 1);
        const auto eq = fact.find('=');
        if (eq == std::string_view::npos || eq == 0 || !isKnownFact(fact.substr(0, eq)))
            return false;
        const std::string_view key = fact.substr(0, eq);
        essential = essential || EqualsNoCase(key, "type") || EqualsNoCase(key, "size") ||
                    EqualsNoCase(key, "modify");
        if (semi != std::string_view::npos && facts.empty())
            return false; // ";;" or a ";" left at the end
    }
    return essential;
}

LineKind parseFactList(std::string_view facts, std::string_view name, DirEntry& out) {
    DirEntry e;
    e.name = std::string(name);
    bool readOnlyByPerm = false;
    int unixMode = -1;
    std::string_view uid, gid, ownerName, groupName;
    while (!facts.empty()) {
        const auto semi = facts.find(';');
        const std::string_view fact = facts.substr(0, semi);
        facts = semi == std::string_view::npos ? std::string_view{} : facts.substr(semi + 1);
        const auto eq = fact.find('=');
        if (eq == std::string_view::npos)
            continue;
        const std::string_view key = fact.substr(0, eq);
        const std::string_view value = fact.substr(eq + 1);
        if (EqualsNoCase(key, "type")) {
            if (EqualsNoCase(value, "cdir") || EqualsNoCase(value, "pdir"))
                return LineKind::NotEntry;
            if (EqualsNoCase(value, "dir")) {
                e.type = EntryType::Directory;
            } else if (EqualsNoCase(value, "file")) {
                e.type = EntryType::File;
            } else if (StartsWithNoCase(value, "OS.unix=slink")) {
                e.type = EntryType::Link;
                if (value.size() > 14 && value[13] == ':')
                    e.linkTarget = std::string(value.substr(14));
            } else if (StartsWithNoCase(value, "OS.unix=symlink")) {
                e.type = EntryType::Link;
            } else if (StartsWithNoCase(value, "OS.unix=")) {
                e.type = EntryType::Other;
            } else {
                e.type = EntryType::File;
            }
        } else if (EqualsNoCase(key, "size") || EqualsNoCase(key, "sizd")) {
            std::uint64_t size = 0;
            if (ParseUnsigned(value, size))
                e.size = size;
        } else if (EqualsNoCase(key, "modify")) {
            e.lastWriteTime = parseFactTime(value);
        } else if (EqualsNoCase(key, "create")) {
            e.creationTime = parseFactTime(value);
        } else if (EqualsNoCase(key, "unix.mode")) {
            unixMode = parseMode(value);
        } else if (EqualsNoCase(key, "unix.ownername")) {
            ownerName = value;
        } else if (EqualsNoCase(key, "unix.groupname")) {
            groupName = value;
        } else if (EqualsNoCase(key, "unix.owner") || EqualsNoCase(key, "unix.uid")) {
            uid = value;
        } else if (EqualsNoCase(key, "unix.group") || EqualsNoCase(key, "unix.gid")) {
            gid = value;
        } else if (EqualsNoCase(key, "perm")) {
            bool writable = false;
            for (const char c : value) {
                const char l = Lower(c);
                e.rights |= RightBit(l);
                if (l == 'w' || l == 'a' || l == 'c' || l == 'm' || l == 'p' || l == 'd' ||
                    l == 'f')
                    writable = true;
            }
            readOnlyByPerm = !writable;
        }
    }
    // Names where the server gives them (ProFTPD's UNIX.ownername beside a numeric UNIX.owner),
    // else what UNIX.owner / UNIX.uid hold.
    e.owner = std::string(ownerName.empty() ? uid : ownerName);
    e.group = std::string(groupName.empty() ? gid : groupName);
    if (unixMode >= 0)
        e.mode = std::uint16_t(unixMode & 07777);
    if (unixMode >= 0) {
        if ((unixMode & 0200) == 0)
            e.attributes |= kAttributeReadOnly;
    } else if (readOnlyByPerm && e.type != EntryType::Directory) {
        e.attributes |= kAttributeReadOnly;
    }
    FinishEntry(e);
    out = std::move(e);
    return LineKind::Entry;
}

} // namespace

LineKind ParseMlsdFacts(std::string_view line, DirEntry& out) {
    const auto space = line.find(' ');
    if (space == std::string_view::npos || space + 1 >= line.size())
        return LineKind::Unreadable;
    return parseFactList(line.substr(0, space), line.substr(space + 1), out);
}

LineKind ParseFactsLine(std::string_view line, ListingState&, DirEntry& out) {
    // Facts end with ";" right before the space that starts the name; the first needs "=".
    const auto space = line.find(' ');
    const auto eq = line.find('=');
    if (space != std::string_view::npos && space > 0 && line[space - 1] == ';' &&
        eq != std::string_view::npos && eq < space && eq > 0)
        return ParseMlsdFacts(line, out);
    // Servers after older drafts leave out that ";" ("type=file name"), others write a tab
    // in place of the space: read only when every fact is a known one.
    const auto blank = line.find_first_of(" \t");
    if (blank == std::string_view::npos || blank == 0 || blank + 1 >= line.size() ||
        !isStrictFactList(line.substr(0, blank)))
        return LineKind::Unreadable;
    return parseFactList(line.substr(0, blank), line.substr(blank + 1), out);
}

// "+fact,fact,...,\tname": "/" a folder, "r" a file, "s" its size, "m" its time in seconds
// since 1970, "up" its permissions in octal; others ("i" the file's identity) are skipped.
LineKind ParseEplfLine(std::string_view line, ListingState&, DirEntry& out) {
    if (line.size() < 3 || line[0] != '+')
        return LineKind::Unreadable;
    const auto tab = line.find('\t');
    if (tab == std::string_view::npos || tab + 1 >= line.size())
        return LineKind::Unreadable;
    DirEntry e;
    std::string_view facts = line.substr(1, tab - 1);
    bool folder = false;
    while (!facts.empty()) {
        const auto comma = facts.find(',');
        const std::string_view fact = facts.substr(0, comma);
        facts = comma == std::string_view::npos ? std::string_view{} : facts.substr(comma + 1);
        if (fact.empty())
            continue;
        std::uint64_t number = 0;
        switch (fact[0]) {
        case '/':
            folder = true;
            break;
        case 's':
            if (!ParseUnsigned(fact.substr(1), number))
                return LineKind::Unreadable;
            e.size = number;
            break;
        case 'm':
            if (!ParseUnsigned(fact.substr(1), number) || number > 253402300799ULL)
                return LineKind::Unreadable;
            e.lastWriteTime = static_cast<std::int64_t>(number);
            break;
        case 'u':
            if (fact.size() > 2 && fact[1] == 'p') {
                const int mode = parseMode(fact.substr(2));
                if (mode >= 0)
                    e.mode = std::uint16_t(mode & 07777);
                if (mode >= 0 && (mode & 0200) == 0)
                    e.attributes |= kAttributeReadOnly;
            }
            break;
        default:
            break;
        }
    }
    e.type = folder ? EntryType::Directory : EntryType::File;
    e.name = std::string(line.substr(tab + 1));
    FinishEntry(e);
    out = std::move(e);
    return LineKind::Entry;
}

} // namespace tw::ftp::listing

namespace tw::ftp {

bool ParseMlsdLine(std::string_view line, DirEntry& out) {
    return listing::ParseMlsdFacts(listing::StripLineEnd(line), out) == listing::LineKind::Entry;
}

} // namespace tw::ftp

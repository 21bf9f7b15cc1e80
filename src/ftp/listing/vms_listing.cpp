// OpenVMS listings (the servers of VMS itself, MultiNet, TCPware, UCX / TCP/IP Services):
//   "Directory DISK$USER:[JOHN]"
//   "README.TXT;4       12/16     18-APR-2000 10:40:39.90  [STAFF,JOHN]  (RWED,RWED,RE,)"
//   "CORE.DIR;1          1  8-SEP-1996 16:09 [SYSTEM] (RWE,RWE,RE,RE)"
//   "README;1    6/8    15-JUI-2002    PRONAS   (RWED,RWED,RE,)"     (French months)
//   "A_VERY_LONG_NAME_THAT_FILLS_ITS_COLUMN.TXT;1"
//   "                   2/4    14-JAN-2009 11:03:56  [STAFF,JOHN]  (RWED,RWED,RE,)"
//   "SECRET.DAT;1      %RMS-E-PRV, insufficient privilege or file protection violation"
//   "Total of 4 files, 230/246 blocks."
#include "ftp/listing/families.h"
#include "ftp/listing/listing_text.h"

namespace tw::ftp::listing {

namespace {

constexpr std::uint64_t kBlockSize = 512;

// "NAME.EXT;VERSION": the version in digits after the ';'. Unix, DOS and every other family's
// first word lack this ending. A name without a '.' before the ';' ("README;1") is taken only
// when it holds nothing but the letters, digits, '$', '_' and '-' of VMS names.
bool isVmsName(std::string_view s) {
    const auto semi = s.rfind(';');
    if (semi == std::string_view::npos || semi == 0 || s.size() - semi - 1 > 5)
        return false;
    int version = 0;
    if (!ParseInt(s.substr(semi + 1), version))
        return false;
    const std::string_view base = s.substr(0, semi);
    if (base.find('.') != std::string_view::npos)
        return true;
    bool letter = false;
    for (const char c : base) {
        if (IsLetter(c))
            letter = true;
        else if (!IsDigit(c) && c != '$' && c != '_' && c != '-')
            return false;
    }
    return letter;
}

// The months of VMS dates in French (SYS$LANGUAGES), in capitals without accents, beyond the
// names MonthFromName knows: "FEV", "AOU", and for July "JUIL" and "JUI" (June is "JUN" in
// those dates, so "JUI" is July only; outside VMS dates "jui" stays no month).
int vmsFrenchMonth(std::string_view s) {
    if (EqualsNoCase(s, "FEV"))
        return 2;
    if (EqualsNoCase(s, "AOU"))
        return 8;
    if (EqualsNoCase(s, "JUI") || EqualsNoCase(s, "JUIL"))
        return 7;
    return 0;
}

// "18-APR-2000", "15-JUI-2002", "12-JUIL-2001": day, month name, year.
bool parseVmsDate(std::string_view s, CivilTime& t) {
    if (ParseDate(s, t))
        return true;
    const auto first = s.find('-');
    const auto second = s.find('-', first + 1);
    if (first == std::string_view::npos || second == std::string_view::npos)
        return false;
    const std::string_view day = s.substr(0, first);
    const std::string_view month = s.substr(first + 1, second - first - 1);
    const std::string_view year = s.substr(second + 1);
    t = CivilTime{};
    t.month = MonthFromName(month);
    if (!t.month)
        t.month = vmsFrenchMonth(month);
    return t.month && day.size() <= 2 && ParseInt(day, t.day) && year.size() == 4 &&
           ParseInt(year, t.year) && IsValid(t);
}

// An owner written without its brackets ("PRONAS"): capitals, digits, '$' and '_'.
bool isBareOwner(std::string_view s) {
    bool letter = false;
    for (const char c : s) {
        if (c >= 'A' && c <= 'Z')
            letter = true;
        else if (!IsDigit(c) && c != '$' && c != '_')
            return false;
    }
    return letter && s.size() <= 32;
}

// "%RMS-E-PRV, text" or its continuation "-RMS-E-PRV, text": a system message in place of an
// entry's details (facility, severity letter, identifier).
bool isVmsMessage(std::string_view s) {
    if (s.size() < 8 || (s[0] != '%' && s[0] != '-'))
        return false;
    const auto comma = s.find(',');
    if (comma == std::string_view::npos)
        return false;
    const std::string_view code = s.substr(1, comma - 1);
    const auto first = code.find('-');
    if (first == std::string_view::npos || first == 0 || first + 3 >= code.size() ||
        code[first + 2] != '-')
        return false;
    for (std::size_t i = 0; i < code.size(); ++i) {
        const char c = code[i];
        const bool upper = (c >= 'A' && c <= 'Z') || IsDigit(c) || c == '$' || c == '_';
        if (!upper && !(c == '-' && (i == first || i == first + 2)))
            return false;
    }
    switch (code[first + 1]) {
    case 'S':
    case 'I':
    case 'W':
    case 'E':
    case 'F':
        return true;
    default:
        return false;
    }
}

// "Directory DISK$USER:[NAME]" before a folder's entries.
bool isDirectoryHeader(std::string_view line) {
    const Words<3> w(line);
    if (w.count != 2 || w.more || !EqualsNoCase(w.text[0], "Directory"))
        return false;
    const std::string_view directory = w.text[1];
    return directory.size() > 2 && (directory.back() == ']' || directory.back() == '>') &&
           directory.find_first_of("[<") != std::string_view::npos;
}

// "Total of 4 files, 230/246 blocks." and "Grand total of 2 directories, 7 files, ...".
bool isTotal(std::string_view line) {
    for (const std::string_view lead :
         {std::string_view("Total of "), std::string_view("Grand total of ")})
        if (StartsWithNoCase(line, lead) && line.size() > lead.size() && IsDigit(line[lead.size()]))
            return true;
    return false;
}

// "12", "12/16" (blocks used / allocated), "2.00KB" or "12KB/16KB" (bytes in units of 1024),
// "******" (too large for its column: unknown).
bool parseVmsSize(std::string_view s, std::uint64_t& bytes) {
    if (s.find_first_not_of('*') == std::string_view::npos) {
        bytes = 0;
        return true;
    }
    const auto slash = s.find('/');
    const std::string_view used = s.substr(0, slash);
    if (used.empty())
        return false;
    if (slash != std::string_view::npos) {
        std::uint64_t allocated = 0;
        if (!ParseSize(s.substr(slash + 1), allocated))
            return false;
    }
    std::uint64_t blocks = 0;
    if (ParseUnsigned(used, blocks)) {
        if (blocks > UINT64_MAX / kBlockSize)
            return false;
        bytes = blocks * kBlockSize;
        return true;
    }
    return IsDigit(used.back()) ? false : ParseSize(used, bytes);
}

// "(RWED,RWED,RE,)": system, owner, group and world access.
bool parseProtection(std::string_view s, bool& ownerWrites) {
    if (s.size() < 5 || s.front() != '(' || s.back() != ')')
        return false;
    s = s.substr(1, s.size() - 2);
    int group = 0;
    ownerWrites = false;
    for (const char c : s) {
        if (c == ',') {
            ++group;
            continue;
        }
        if (c != 'R' && c != 'W' && c != 'E' && c != 'D')
            return false;
        if (group == 1 && c == 'W')
            ownerWrites = true;
    }
    return group == 3;
}

// The details after a name: a size, a date and time, an owner "[GROUP,OWNER]" and a
// protection, in whichever order the server writes them and each possibly left out (a size or
// a date must be there). The owner may lack its brackets where both a size and a date are
// there. A line with anything else is no VMS entry.
bool parseDetails(std::string_view text, DirEntry& e) {
    const Words<8> w(text);
    if (w.more || w.count == 0)
        return false;
    bool haveSize = false, haveDate = false, haveOwner = false, haveProtection = false;
    bool bareOwner = false;
    bool ownerWrites = true;
    for (std::size_t i = 0; i < w.count; ++i) {
        const std::string_view word = w.text[i];
        CivilTime t;
        if (!haveOwner && word.size() > 2 && word.front() == '[' && word.back() == ']') {
            haveOwner = true;
        } else if (!haveProtection && word.front() == '(') {
            if (!parseProtection(word, ownerWrites))
                return false;
            haveProtection = true;
        } else if (!haveDate && word.find('-') != std::string_view::npos && parseVmsDate(word, t)) {
            if (i + 1 < w.count && ParseClock(w.text[i + 1], t.hour, t.minute, t.second))
                ++i;
            e.lastWriteTime = TimeOf(t);
            haveDate = true;
        } else if (!haveSize && parseVmsSize(word, e.size)) {
            haveSize = true;
        } else if (!haveOwner && isBareOwner(word)) {
            haveOwner = bareOwner = true;
        } else {
            return false;
        }
    }
    if ((!haveSize && !haveDate) || (bareOwner && !(haveSize && haveDate)))
        return false;
    if (!ownerWrites && e.type == EntryType::File)
        e.attributes |= kAttributeReadOnly;
    return true;
}

// A folder is listed as "NAME.DIR;1" and named "NAME", the name CWD takes. A file keeps its
// version: VMS keeps "A.TXT;1" and "A.TXT;2" side by side as distinct files, and RETR of the
// full name fetches exactly that version (the bare name would fetch the newest).
void setName(std::string_view name, DirEntry& e) {
    const auto semi = name.rfind(';');
    const std::string_view base = name.substr(0, semi);
    if (base.size() > 4 && EqualsNoCase(base.substr(base.size() - 4), ".DIR")) {
        e.type = EntryType::Directory;
        e.name = std::string(base.substr(0, base.size() - 4));
    } else {
        e.type = EntryType::File;
        e.name = std::string(name);
    }
}

// A name whose details could not be read in place of them (the server's message says why):
// the file is there, so it is an entry, with its size and date unknown.
LineKind entryWithoutDetails(std::string_view name, DirEntry& out) {
    DirEntry e;
    setName(name, e);
    FinishEntry(e);
    out = std::move(e);
    return LineKind::Entry;
}

LineKind entryWithDetails(std::string_view name, std::string_view details, DirEntry& out) {
    DirEntry e;
    setName(name, e);
    if (!parseDetails(details, e))
        return LineKind::Unreadable;
    FinishEntry(e);
    out = std::move(e);
    return LineKind::Entry;
}

bool inVmsListing(const ListingState& state) {
    return state.last == ListingFamily::Vms || state.system == ListingFamily::Vms;
}

} // namespace

LineKind ParseVmsLine(std::string_view line, ListingState& state, DirEntry& out) {
    const std::string_view text = TrimBlanks(line);
    if (!state.held.empty()) {
        // The second line of an entry whose long name filled the first; a line that is not
        // leaves the held name to be counted unreadable by the caller.
        const std::string_view name = state.held;
        LineKind kind = LineKind::Unreadable;
        if (isVmsMessage(text))
            kind = entryWithoutDetails(name, out);
        else if (!text.empty() && !isVmsName(Words<1>(text).text[0]))
            kind = entryWithDetails(name, text, out);
        if (kind == LineKind::Entry)
            state.held.clear();
        return kind;
    }
    if (text.empty())
        return LineKind::Unreadable;
    if (isDirectoryHeader(text) || isTotal(text))
        return LineKind::NotEntry;
    if (isVmsMessage(text))
        return inVmsListing(state) ? LineKind::NotEntry : LineKind::Unreadable;
    const Words<1> first(text);
    const std::string_view name = first.text[0];
    if (!isVmsName(name))
        return LineKind::Unreadable;
    if (!first.more) {
        state.held = std::string(name);
        return LineKind::Held;
    }
    std::string_view details = RestAfter(text, first.end[0]);
    while (!details.empty() && IsBlank(details.front()))
        details.remove_prefix(1);
    if (isVmsMessage(details))
        return entryWithoutDetails(name, out);
    return entryWithDetails(name, details, out);
}

} // namespace tw::ftp::listing

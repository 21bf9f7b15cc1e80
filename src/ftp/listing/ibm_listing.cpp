// IBM mainframe and midrange listings.
// z/OS and MVS, after the header that names the layout:
//   "Volume Unit    Referred Ext Used Recfm Lrecl BlkSz Dsorg Dsname"
//   "WYOSPT 3390   2003/03/11  1    1  FB      80  3120  PS  USER.DATA"
//   "Migrated                                                USER.OLD.DATA"
//   " Name     VV.MM   Created       Changed      Size  Init   Mod   Id"
//   "MEMBER1   01.03 2002/09/16 2002/09/16 09:53    17    17     0 USER01"
//   " Name      Size     TTR   Alias-of AC --------- Attributes --------- Amode Rmode"
//   "IEFBR14   000008   00000F          00 FO             RN RU            31    ANY"
// IBM i (OS/400): owner, size, date, time, object type, name (the first four may be blank):
//   "QSYS            77824 02/23/00 15:09:55 *DIR       QOPENSYS/"
//   "RTCOMM                                  *MEM       QGPL/SRC.FILE/HELLO.MBR"
#include "ftp/listing/families.h"
#include "ftp/listing/listing_text.h"

namespace tw::ftp::listing {

namespace {

// The MVS layouts a header line announces, kept in ListingState::layout.
enum MvsLayout : int {
    kNoLayout = 0,
    kDatasets = 1,
    kMembers = 2,
    kLoadModules = 3,
};

std::string_view trimFront(std::string_view s) {
    while (!s.empty() && IsBlank(s.front()))
        s.remove_prefix(1);
    return s;
}

bool contains(std::string_view s, std::string_view part) {
    return s.find(part) != std::string_view::npos;
}

bool isUpperOrNational(char c) {
    return (c >= 'A' && c <= 'Z') || c == '@' || c == '#' || c == '$';
}

// A dataset or member name: qualifiers of capitals, digits and @ # $ - joined by dots, at
// most 44 characters, or such a name fully qualified in quotes ('SYS1.PARMLIB').
bool isMvsName(std::string_view s) {
    if (s.size() > 2 && s.front() == '\'' && s.back() == '\'')
        s = s.substr(1, s.size() - 2);
    if (s.empty() || s.size() > 44 || !isUpperOrNational(s[0]))
        return false;
    for (std::size_t i = 0; i < s.size(); ++i) {
        const char c = s[i];
        if (c == '.' && i + 1 < s.size() && isUpperOrNational(s[i + 1]))
            continue;
        if (!isUpperOrNational(c) && !IsDigit(c) && c != '-')
            return false;
    }
    return true;
}

// "2003/03/11"; the "**NONE**" of a dataset never referred to is a known, empty date.
bool parseMvsDate(std::string_view s, CivilTime& t, bool& none) {
    none = s == "**NONE**";
    return none || (s.size() == 10 && s[4] == '/' && ParseDate(s, t));
}

bool parseHex(std::string_view s, std::uint64_t& value) {
    if (s.empty() || s.size() > 15)
        return false;
    std::uint64_t v = 0;
    for (const char c : s) {
        int d = 0;
        if (IsDigit(c))
            d = c - '0';
        else if (c >= 'A' && c <= 'F')
            d = c - 'A' + 10;
        else
            return false;
        v = v * 16 + static_cast<std::uint64_t>(d);
    }
    value = v;
    return true;
}

LineKind finish(DirEntry& e, std::string_view name, DirEntry& out) {
    e.name = std::string(name);
    FinishEntry(e);
    out = std::move(e);
    return LineKind::Entry;
}

// Record formats and dataset organisations: "FB", "VBA", "U", "PO", "PO-E", "VS", "?".
bool isCode(std::string_view s) {
    if (s.empty() || s.size() > 4)
        return false;
    for (const char c : s)
        if (!(c >= 'A' && c <= 'Z') && c != '-' && c != '?')
            return false;
    return true;
}

// "Volume Unit Referred Ext Used Recfm Lrecl BlkSz Dsorg Dsname", some middle columns possibly
// blank. The name is the dataset's as the server shows it: relative to the working prefix (the
// high-level qualifier CWD set), or fully qualified in quotes, which is also the form RETR and
// CWD take. Its size stays unknown: "Used" counts allocated tracks, not the data's bytes; the
// date it was last referred to is the only date the list gives.
LineKind parseDataset(const Words<12>& w, DirEntry& out) {
    if (w.count < 6 || w.count > 10 || w.more)
        return LineKind::Unreadable;
    CivilTime t;
    bool none = false;
    const std::string_view dsorg = w.text[w.count - 2];
    const std::string_view name = w.text[w.count - 1];
    if (!parseMvsDate(w.text[2], t, none) || !isCode(dsorg) || !isMvsName(name))
        return LineKind::Unreadable;
    for (std::size_t i = 3; i + 2 < w.count; ++i)
        if (!IsNumber(w.text[i]) && !isCode(w.text[i]))
            return LineKind::Unreadable;
    DirEntry e;
    // A partitioned dataset (PDS, or PDSE shown as "PO-E") holds members: a folder.
    e.type = dsorg == "PO" || dsorg == "PO-E" ? EntryType::Directory : EntryType::File;
    e.lastWriteTime = none ? 0 : TimeOf(t);
    return finish(e, name, out);
}

// The words servers write in place of the attributes of a dataset they cannot show: migrated
// or archived ones, a qualifier level that holds more datasets ("Pseudo Directory"), or one
// whose attributes could not be read. None starts another family's line, so they are read
// without a header too.
enum class Placeholder { None, File, Folder };

Placeholder placeholderOf(std::string_view lead) {
    if (lead == "Pseudo Directory")
        return Placeholder::Folder;
    if (lead == "Migrated" || lead == "ARCIVE Not Direct Access Device" ||
        lead == "Error determining attributes")
        return Placeholder::File;
    return Placeholder::None;
}

// A dataset after a placeholder: one word, as the server lists it.
LineKind parsePlaceholder(std::string_view text, const Words<12>& w, DirEntry& out) {
    if (w.count < 2 || w.more)
        return LineKind::Unreadable;
    const std::string_view name = w.text[w.count - 1];
    const Placeholder kind = placeholderOf(text.substr(0, w.end[w.count - 2]));
    if (kind == Placeholder::None || name.size() > 46)
        return LineKind::Unreadable;
    DirEntry e;
    if (kind == Placeholder::Folder)
        e.type = EntryType::Directory;
    return finish(e, name, out);
}

// VSAM clusters, listed without their attributes; read where the listing is known to be MVS.
LineKind parseVsam(const Words<12>& w, DirEntry& out) {
    const std::string_view name = w.text[w.count - 1];
    if ((w.count != 3 && w.count != 4) || w.more || w.text[w.count - 2] != "VSAM" ||
        !isMvsName(name))
        return LineKind::Unreadable;
    DirEntry e;
    return finish(e, name, out);
}

// "NAME VV.MM created changed-date changed-time size init mod [id]". The size counts records,
// not bytes, and stays unknown; the dates are the member's ISPF statistics.
LineKind parseMember(const Words<12>& w, DirEntry& out) {
    if (w.count < 8 || w.count > 9 || w.more || !isMvsName(w.text[0]))
        return LineKind::Unreadable;
    const std::string_view version = w.text[1];
    CivilTime created, changed;
    bool none = false;
    if (version.size() != 5 || version[2] != '.' || !IsNumber(version.substr(0, 2)) ||
        !IsNumber(version.substr(3)) || !parseMvsDate(w.text[2], created, none) || none ||
        !parseMvsDate(w.text[3], changed, none) || none ||
        !ParseClock(w.text[4], changed.hour, changed.minute, changed.second))
        return LineKind::Unreadable;
    for (std::size_t i = 5; i < 8; ++i)
        if (!IsNumber(w.text[i]))
            return LineKind::Unreadable;
    DirEntry e;
    e.creationTime = TimeOf(created);
    e.lastWriteTime = TimeOf(changed);
    return finish(e, w.text[0], out);
}

// "NAME size TTR [alias-of] AC attributes amode rmode": a load module, its size in bytes in
// hexadecimal.
LineKind parseLoadModule(const Words<12>& w, DirEntry& out) {
    std::uint64_t ttr = 0;
    DirEntry e;
    if (w.count < 4 || !isMvsName(w.text[0]) || !parseHex(w.text[1], e.size) ||
        !parseHex(w.text[2], ttr))
        return LineKind::Unreadable;
    return finish(e, w.text[0], out);
}

int mvsHeader(std::string_view text) {
    if (StartsWithNoCase(text, "Volume Unit") && contains(text, "Dsname"))
        return kDatasets;
    if (StartsWithNoCase(text, "Name ") && contains(text, "VV.MM"))
        return kMembers;
    if (StartsWithNoCase(text, "Name ") && contains(text, "TTR"))
        return kLoadModules;
    return kNoLayout;
}

// An IBM i object type: "*DIR", "*STMF", "*MEM" ...
bool isObjectType(std::string_view s) {
    if (s.size() < 3 || s.size() > 10 || s[0] != '*')
        return false;
    for (const char c : s.substr(1))
        if (!(c >= 'A' && c <= 'Z') && !IsDigit(c))
            return false;
    return true;
}

// "15:09:55", or with the "." or "," a job's time separator may be.
bool parseJobClock(std::string_view s, CivilTime& t) {
    if (s.size() == 8 && s[2] == s[5] && (s[2] == '.' || s[2] == ',')) {
        return ParseInt(s.substr(0, 2), t.hour) && ParseInt(s.substr(3, 2), t.minute) &&
               ParseInt(s.substr(6, 2), t.second) && t.hour < 24 && t.minute < 60 && t.second < 61;
    }
    return ParseClock(s, t.hour, t.minute, t.second);
}

// A date in the server job's format. Four-digit years and dotted dates (day first) read as
// ParseDate reads them. Two-digit slashed dates are ambiguous between the job formats: they
// read month first (IBM's default, and that of its documentation), day first when the first
// number cannot be a month, and year first ("98/11/28") when it can be neither; a year-first
// job's "04/03/24" is thus read as 3 April 2024, which one line cannot tell apart.
bool parseJobDate(std::string_view s, CivilTime& t) {
    if (ParseDate(s, t))
        return true;
    int year = 0;
    if (s.size() != 8 || s[2] != s[5] || IsDigit(s[2]) || !ParseInt(s.substr(0, 2), year) ||
        !ParseInt(s.substr(3, 2), t.month) || !ParseInt(s.substr(6, 2), t.day))
        return false;
    t.year = FullYear(year, 2);
    return IsValid(t);
}

bool isOwner(std::string_view s) {
    return s.size() <= 10 && isUpperOrNational(s[0]);
}

} // namespace

LineKind ParseMvsLine(std::string_view line, ListingState& state, DirEntry& out) {
    const std::string_view text = trimFront(line);
    if (text.empty())
        return LineKind::Unreadable;
    if (const int layout = mvsHeader(text)) {
        state.layout = layout;
        return LineKind::NotEntry;
    }
    const Words<12> w(text);
    if (parseMember(w, out) == LineKind::Entry || parseDataset(w, out) == LineKind::Entry ||
        parsePlaceholder(text, w, out) == LineKind::Entry)
        return LineKind::Entry;
    // The shorter forms only where a header or the server's system said this is MVS: a lone
    // word or two are too common a line to take for a dataset otherwise.
    const bool mvs = state.layout != kNoLayout || state.system == ListingFamily::Mvs;
    if (!mvs)
        return LineKind::Unreadable;
    if (state.layout == kLoadModules && parseLoadModule(w, out) == LineKind::Entry)
        return LineKind::Entry;
    if (w.count == 1 && isMvsName(w.text[0])) {
        // A member without statistics (or a dataset listed by name only).
        DirEntry e;
        return finish(e, w.text[0], out);
    }
    return parseVsam(w, out);
}

LineKind ParseAs400Line(std::string_view line, ListingState&, DirEntry& out) {
    const Words<6> w(line);
    std::size_t k = 0;
    while (k < w.count && k < 5 && !isObjectType(w.text[k]))
        ++k;
    if (k >= w.count || k == 5 || k == 2)
        return LineKind::Unreadable;
    const std::string_view name = trimFront(RestAfter(line, w.end[k]));
    if (name.empty() || name == "/")
        return LineKind::Unreadable;
    DirEntry e;
    // The owner is a user profile, never a number; it is blank for anonymous users.
    if ((k == 1 || k == 4) && !isOwner(w.text[0]))
        return LineKind::Unreadable;
    if (k >= 3) {
        CivilTime t;
        if (!ParseUnsigned(w.text[k - 3], e.size) || !parseJobDate(w.text[k - 2], t) ||
            !parseJobClock(w.text[k - 1], t) || !IsValid(t))
            return LineKind::Unreadable;
        e.lastWriteTime = TimeOf(t);
    }
    const std::string_view type = w.text[k];
    if (type == "*DIR" || type == "*LIB" || type == "*FLR" || type == "*DDIR")
        e.type = EntryType::Directory;
    else if (type == "*SYMLNK")
        e.type = EntryType::Link;
    else if (type == "*BLKSF" || type == "*CHRSF" || type == "*FIFO" || type == "*SOCKET")
        e.type = EntryType::Other;
    // Folders end in "/", which is no part of their name. Other names are kept as listed,
    // paths included ("LIB.LIB/SRC.FILE/HELLO.MBR"): relative to the working folder, that is
    // the name RETR takes; a name with "/" is marked unsafe as a local name.
    std::string_view base = name;
    if (base.size() > 1 && base.back() == '/') {
        base.remove_suffix(1);
        if (e.type != EntryType::Link)
            e.type = EntryType::Directory;
    }
    return finish(e, base, out);
}

} // namespace tw::ftp::listing

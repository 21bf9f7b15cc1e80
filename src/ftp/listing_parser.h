#pragma once

#include "ftp/dir_entry.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tw::ftp {

// The dialect a server lists its folders in.
enum class ListingFamily {
    Unknown,
    Unix,    // "ls -l" in its many forms (NetPresenz and most embedded servers too)
    Dos,     // Windows / IIS and other DOS-style servers
    Facts,   // MLSD-style "fact=value; name" lines sent in answer to LIST
    Eplf,    // "+fact,fact,\tname"
    NetWare, // "d [RWCEAFMS] owner size date name"
    Vms,     // OpenVMS: "NAME.EXT;1  size  date  [owner]  (protection)"
    Mvs,     // z/OS and MVS: datasets and the members of partitioned datasets
    As400,   // IBM i (OS/400)
    Os2,     // OS/2
    VShell,  // VanDyke VShell
    VxWorks, // VxWorks and similar router firmwares
    NonStop, // HP NonStop (Guardian)
    Os9,     // Microware OS-9
};

namespace listing {
// What one listing's parsers remember from line to line.
struct ListingState {
    std::int64_t now = 0;                          // for dates without a year
    ListingFamily system = ListingFamily::Unknown; // from the server's SYST reply
    ListingFamily last = ListingFamily::Unknown;   // the family of the last entry
    std::string held;                              // a line waiting for the rest of its entry
    int layout = 0; // a family's column layout announced by a header line, 0 while none
};
} // namespace listing

// The family a SYST reply's text names, Unknown when it names none this engine reads
// differently from the others.
ListingFamily SystemFamily(std::string_view systemReply);

// Reads the lines of one LIST answer. Each line's family is found from the line itself, the
// family of the lines before and the server's system; lines no family understands are
// counted, so that what could not be read is said rather than hidden.
class ListingParser {
public:
    // `now` (seconds since 1970, UTC) places dates without a year: in the most recent year in
    // which they are not in the future, which also places 29 February in a leap year.
    explicit ListingParser(std::int64_t now, ListingFamily system = ListingFamily::Unknown);
    // A parser of MLSD lines only (RFC 3659), whose form is known.
    static ListingParser forMlsd(std::int64_t now);

    // One line, with or without its line end. True when it completed an entry, now in `out`.
    // Blank lines, "total" lines, headers and banners are no entries and not counted.
    bool parseLine(std::string_view line, DirEntry& out);
    // Ends the listing: the first line of an entry still waiting for its second counts as
    // unreadable.
    void finish();

    // Lines that were neither entries nor known non-entries, and the first of them.
    std::size_t unreadable() const { return m_unreadable; }
    const std::string& firstUnreadable() const { return m_firstUnreadable; }
    // The family of the last line read as an entry (Unknown before the first).
    ListingFamily family() const { return m_state.last; }

private:
    void countUnreadable(std::string_view line);

    listing::ListingState m_state;
    bool m_mlsd = false;
    std::size_t m_unreadable = 0;
    std::string m_firstUnreadable;
};

// The message that a listing held `count` lines that could not be read, quoting the first
// (its start when long, control characters as "?").
std::string UnreadableEntriesText(std::size_t count, std::string_view firstLine);

// One MLSD line: "fact=value;fact=value; name". Facts are case-insensitive; the current and
// parent directory entries (type=cdir / type=pdir) are not entries and give false.
bool ParseMlsdLine(std::string_view line, DirEntry& out);

// One LIST line of any family that needs no other line to be read, as a fresh ListingParser
// reads it.
bool ParseListLine(std::string_view line, std::int64_t now, DirEntry& out);

} // namespace tw::ftp

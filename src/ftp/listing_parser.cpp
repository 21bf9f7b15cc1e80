#include "ftp/listing_parser.h"
#include "ftp/display_text.h"

#include "ftp/listing/families.h"
#include "ftp/listing/listing_text.h"

#include <array>
#include <string>
#include <utility>

namespace tw::ftp {

using listing::LineKind;

namespace {

using Parser = LineKind (*)(std::string_view, listing::ListingState&, DirEntry&);

struct Family {
    ListingFamily id;
    Parser parse;
};

// Tried in this order when neither the last entry's family nor the server's system reads a
// line: the common dialects first, each family strict enough to refuse the others' lines.
constexpr std::array<Family, 13> kFamilies = {{
    {ListingFamily::Unix, listing::ParseUnixLine},
    {ListingFamily::Dos, listing::ParseDosLine},
    {ListingFamily::Facts, listing::ParseFactsLine},
    {ListingFamily::Eplf, listing::ParseEplfLine},
    {ListingFamily::NetWare, listing::ParseNetWareLine},
    {ListingFamily::Vms, listing::ParseVmsLine},
    {ListingFamily::As400, listing::ParseAs400Line},
    {ListingFamily::Mvs, listing::ParseMvsLine},
    {ListingFamily::Os2, listing::ParseOs2Line},
    {ListingFamily::VShell, listing::ParseVShellLine},
    {ListingFamily::VxWorks, listing::ParseVxWorksLine},
    {ListingFamily::NonStop, listing::ParseNonStopLine},
    {ListingFamily::Os9, listing::ParseOs9Line},
}};

Parser parserOf(ListingFamily id) {
    for (const Family& f : kFamilies)
        if (f.id == id)
            return f.parse;
    return nullptr;
}

bool isBlankLine(std::string_view line) {
    for (const char c : line)
        if (!listing::IsBlank(c))
            return false;
    return true;
}

// "total 12", "Total 1,234", "total 1.5M": the block count "ls" prints first.
bool isTotalLine(std::string_view line) {
    if (!listing::StartsWithNoCase(line, "total ") && !listing::StartsWithNoCase(line, "total\t"))
        return false;
    std::string_view rest = line.substr(6);
    while (!rest.empty() && listing::IsBlank(rest.front()))
        rest.remove_prefix(1);
    while (!rest.empty() && listing::IsBlank(rest.back()))
        rest.remove_suffix(1);
    std::uint64_t blocks = 0;
    return listing::ParseSize(rest, blocks);
}

bool contains(std::string_view text, std::string_view word) {
    for (std::size_t i = 0; i + word.size() <= text.size(); ++i)
        if (listing::StartsWithNoCase(text.substr(i), word))
            return true;
    return false;
}

} // namespace

ListingFamily SystemFamily(std::string_view reply) {
    if (contains(reply, "windows"))
        return ListingFamily::Dos;
    if (contains(reply, "unix"))
        return ListingFamily::Unix;
    if (contains(reply, "VMS"))
        return ListingFamily::Vms;
    if (contains(reply, "OS/400"))
        return ListingFamily::As400;
    if (contains(reply, "MVS") || contains(reply, "z/OS") || contains(reply, "OS/390"))
        return ListingFamily::Mvs;
    if (contains(reply, "NETWARE"))
        return ListingFamily::NetWare;
    if (contains(reply, "OS/2"))
        return ListingFamily::Os2;
    if (contains(reply, "NONSTOP") || contains(reply, "GUARDIAN") || contains(reply, "TANDEM"))
        return ListingFamily::NonStop;
    if (contains(reply, "VxWorks"))
        return ListingFamily::VxWorks;
    if (contains(reply, "OS-9") || contains(reply, "OS9"))
        return ListingFamily::Os9;
    return ListingFamily::Unknown;
}

ListingParser::ListingParser(std::int64_t now, ListingFamily system) {
    m_state.now = now;
    m_state.system = system;
}

ListingParser ListingParser::forMlsd(std::int64_t now) {
    ListingParser parser(now);
    parser.m_mlsd = true;
    return parser;
}

bool ListingParser::parseLine(std::string_view line, DirEntry& out) {
    line = listing::StripLineEnd(line);
    if (isBlankLine(line))
        return false;
    if (m_mlsd) {
        const LineKind kind = listing::ParseMlsdFacts(line, out);
        if (kind == LineKind::Unreadable)
            countUnreadable(line);
        return kind == LineKind::Entry;
    }
    // The family that read the line before (or holds half an entry), then the server's own,
    // then every other in turn.
    const Parser first = parserOf(m_state.last);
    const Parser second = parserOf(m_state.system);
    auto attempt = [&](Parser parse, ListingFamily id) {
        const LineKind kind = parse(line, m_state, out);
        if (kind == LineKind::Entry || kind == LineKind::Held)
            m_state.last = id;
        return kind;
    };
    LineKind kind = LineKind::Unreadable;
    if (first) {
        kind = attempt(first, m_state.last);
        // Half an entry that its family could not join with this line is unreadable; the line
        // itself is read afresh.
        if (kind == LineKind::Unreadable && !m_state.held.empty()) {
            countUnreadable(std::exchange(m_state.held, std::string()));
            kind = attempt(first, m_state.last);
        }
    }
    if (kind == LineKind::Unreadable && second && second != first)
        kind = attempt(second, m_state.system);
    for (std::size_t i = 0; kind == LineKind::Unreadable && i < kFamilies.size(); ++i)
        if (kFamilies[i].parse != first && kFamilies[i].parse != second)
            kind = attempt(kFamilies[i].parse, kFamilies[i].id);
    if (kind == LineKind::Unreadable && !isTotalLine(line))
        countUnreadable(line);
    return kind == LineKind::Entry;
}

void ListingParser::finish() {
    if (!m_state.held.empty())
        countUnreadable(std::exchange(m_state.held, std::string()));
}

void ListingParser::countUnreadable(std::string_view line) {
    if (m_unreadable++ == 0)
        m_firstUnreadable = std::string(line);
}

std::string UnreadableEntriesText(std::size_t count, std::string_view firstLine) {
    std::string text = count == 1 ? std::string("1 entry of the listing could not be read: ")
                                  : std::to_string(count) +
                                        " entries of the listing could not be read; the first: ";
    // The server's line is quoted within one log line and a terminal's width: long lines are
    // cut (not inside a UTF-8 sequence) and control characters shown as escapes.
    constexpr std::size_t kMaxQuoted = 160;
    std::size_t length = firstLine.size();
    if (length > kMaxQuoted) {
        length = kMaxQuoted;
        while (length > 0 && (static_cast<unsigned char>(firstLine[length]) & 0xC0) == 0x80)
            --length;
    }
    text += DisplayText(firstLine.substr(0, length));
    if (length < firstLine.size())
        text += "...";
    return text;
}

bool ParseListLine(std::string_view line, std::int64_t now, DirEntry& out) {
    ListingParser parser(now);
    return parser.parseLine(line, out);
}

} // namespace tw::ftp

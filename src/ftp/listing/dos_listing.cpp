// DOS-style listings (IIS, Windows CE and other Windows servers):
//   "04-27-00  09:09PM       <DIR>          licensed"
//   "2019-12-05  17:38             1,048,576 file name.bin"
#include "ftp/listing/families.h"
#include "ftp/listing/listing_text.h"

namespace tw::ftp::listing {

namespace {

// "hh:mm" with AM/PM glued on, or 24-hour; `suffix` is the AM/PM word when it came apart.
bool applyClock(std::string_view clock, std::string_view suffix, CivilTime& t) {
    if (suffix.empty() && clock.size() > 2 &&
        (EqualsNoCase(clock.substr(clock.size() - 2), "AM") ||
         EqualsNoCase(clock.substr(clock.size() - 2), "PM"))) {
        suffix = clock.substr(clock.size() - 2);
        clock.remove_suffix(2);
    }
    if (!ParseClock(clock, t.hour, t.minute, t.second))
        return false;
    if (suffix.empty())
        return true;
    if (t.hour < 1 || t.hour > 12)
        return false;
    t.hour = (t.hour % 12) + (EqualsNoCase(suffix, "PM") ? 12 : 0);
    return true;
}

} // namespace

LineKind ParseDosLine(std::string_view line, ListingState&, DirEntry& out) {
    if (line.empty() || !IsDigit(line[0]))
        return LineKind::Unreadable;
    const Words<5> w(line);
    if (w.count < 4)
        return LineKind::Unreadable;
    CivilTime t;
    if (!ParseDate(w.text[0], t))
        return LineKind::Unreadable;
    std::size_t field = 2; // the size or <DIR>
    std::string_view suffix;
    if (EqualsNoCase(w.text[2], "AM") || EqualsNoCase(w.text[2], "PM")) {
        suffix = w.text[2];
        field = 3;
    }
    if (field + 1 >= w.count || !applyClock(w.text[1], suffix, t) || !IsValid(t))
        return LineKind::Unreadable;
    DirEntry e;
    e.lastWriteTime = TimeOf(t);
    const std::string_view kind = w.text[field];
    std::string_view name = RestAfter(line, w.end[field]);
    while (!name.empty() && IsBlank(name.front()))
        name.remove_prefix(1);
    if (EqualsNoCase(kind, "<DIR>")) {
        e.type = EntryType::Directory;
    } else if (EqualsNoCase(kind, "<JUNCTION>") || EqualsNoCase(kind, "<SYMLINKD>") ||
               EqualsNoCase(kind, "<SYMLINK>")) {
        // "name [target]"
        e.type = EntryType::Link;
        if (name.size() > 2 && name.back() == ']') {
            const auto open = name.rfind(" [");
            if (open != std::string_view::npos) {
                e.linkTarget = std::string(name.substr(open + 2, name.size() - open - 3));
                name = name.substr(0, open);
            }
        }
    } else if (ParseSize(kind, e.size) && IsDigit(kind.back())) {
        e.type = EntryType::File;
    } else {
        return LineKind::Unreadable;
    }
    if (name.empty())
        return LineKind::Unreadable;
    e.name = std::string(name);
    FinishEntry(e);
    out = std::move(e);
    return LineKind::Entry;
}

} // namespace tw::ftp::listing

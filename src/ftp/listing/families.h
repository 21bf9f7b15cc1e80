#pragma once

// The line parsers of each server family, tried in turn by ListingParser. Internal to the
// engine. Each is strict: it answers Unreadable for any line not in its own form, so that the
// next family can try.

#include "ftp/dir_entry.h"
#include "ftp/listing_parser.h"

#include <cstdint>
#include <string_view>

namespace tw::ftp::listing {

enum class LineKind {
    Entry,      // `out` holds an entry
    NotEntry,   // a header, a total, a banner, "." / ".." of MLSD: nothing is hidden
    Held,       // the first part of an entry, kept in the state until its next line
    Unreadable, // not a line of this family
};

// Lines reach the parsers without their line end and never blank.

// One MLSD line (the current and parent folder are no entries).
LineKind ParseMlsdFacts(std::string_view line, DirEntry& out);

LineKind ParseUnixLine(std::string_view line, ListingState& state, DirEntry& out);
LineKind ParseNetWareLine(std::string_view line, ListingState& state, DirEntry& out);
LineKind ParseDosLine(std::string_view line, ListingState& state, DirEntry& out);
LineKind ParseFactsLine(std::string_view line, ListingState& state, DirEntry& out);
LineKind ParseEplfLine(std::string_view line, ListingState& state, DirEntry& out);
LineKind ParseVmsLine(std::string_view line, ListingState& state, DirEntry& out);
LineKind ParseMvsLine(std::string_view line, ListingState& state, DirEntry& out);
LineKind ParseAs400Line(std::string_view line, ListingState& state, DirEntry& out);
LineKind ParseOs2Line(std::string_view line, ListingState& state, DirEntry& out);
LineKind ParseVShellLine(std::string_view line, ListingState& state, DirEntry& out);
LineKind ParseVxWorksLine(std::string_view line, ListingState& state, DirEntry& out);
LineKind ParseNonStopLine(std::string_view line, ListingState& state, DirEntry& out);
LineKind ParseOs9Line(std::string_view line, ListingState& state, DirEntry& out);

} // namespace tw::ftp::listing

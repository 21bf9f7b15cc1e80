#include "ftp/listing/families.h"

namespace tw::ftp::listing {

LineKind ParseMvsLine(std::string_view, ListingState&, DirEntry&) {
    return LineKind::Unreadable;
}

LineKind ParseAs400Line(std::string_view, ListingState&, DirEntry&) {
    return LineKind::Unreadable;
}

} // namespace tw::ftp::listing

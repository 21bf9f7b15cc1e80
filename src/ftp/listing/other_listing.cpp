#include "ftp/listing/families.h"

namespace tw::ftp::listing {

LineKind ParseOs2Line(std::string_view, ListingState&, DirEntry&) {
    return LineKind::Unreadable;
}

LineKind ParseVShellLine(std::string_view, ListingState&, DirEntry&) {
    return LineKind::Unreadable;
}

LineKind ParseVxWorksLine(std::string_view, ListingState&, DirEntry&) {
    return LineKind::Unreadable;
}

LineKind ParseNonStopLine(std::string_view, ListingState&, DirEntry&) {
    return LineKind::Unreadable;
}

} // namespace tw::ftp::listing

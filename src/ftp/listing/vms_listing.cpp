#include "ftp/listing/families.h"

namespace tw::ftp::listing {

LineKind ParseVmsLine(std::string_view, ListingState&, DirEntry&) {
    return LineKind::Unreadable;
}

} // namespace tw::ftp::listing

#include "cli/size_text.h"

#include "ftp/size_text.h"

namespace tw::cli {

std::string HumanSize(std::uint64_t bytes) {
    return ftp::ReadableSize(bytes, ftp::SizeUnits::Binary);
}

} // namespace tw::cli

#include "core/text/string_table_data.h"

namespace tw::strings {

namespace {
const StringEntry kFtpErrors[] = {
    {12002, u"The request has timed out."},
    {12007, u"The server name could not be resolved."},
};
} // namespace

std::span<const StringEntry> FtpErrorStrings() {
    return kFtpErrors;
}

} // namespace tw::strings

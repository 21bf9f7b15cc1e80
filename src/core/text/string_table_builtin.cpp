#include "core/text/string_table_data.h"

namespace tw::strings {

namespace {
const StringEntry kBuiltin[] = {
    {60000, u"Ready ..."},
    {60066, u"Options saved"},
};
} // namespace

std::span<const StringEntry> BuiltinStrings() {
    return kBuiltin;
}

} // namespace tw::strings

#include "core/text/string_table.h"

#include "core/text/string_table_data.h"

#include <algorithm>
#include <vector>

namespace tw {

namespace {

// All tables merged and sorted by id, built once.
const std::vector<strings::StringEntry>& allStrings() {
    static const std::vector<strings::StringEntry> table = [] {
        std::vector<strings::StringEntry> all;
        for (auto part : {strings::ProgramStrings(), strings::BuiltinStrings(),
                          strings::FtpErrorStrings()})
            all.insert(all.end(), part.begin(), part.end());
        std::stable_sort(all.begin(), all.end(),
                         [](const auto& a, const auto& b) { return a.id < b.id; });
        return all;
    }();
    return table;
}

} // namespace

std::optional<QString> LookupString(int id) {
    const auto& table = allStrings();
    const auto it = std::lower_bound(table.begin(), table.end(), id,
                                     [](const auto& e, int value) { return e.id < value; });
    if (it == table.end() || it->id != id)
        return std::nullopt;
    return QString::fromUtf16(it->text);
}

std::vector<int> StringTableIds() {
    std::vector<int> ids;
    for (const auto& e : allStrings())
        ids.push_back(e.id);
    return ids;
}

} // namespace tw

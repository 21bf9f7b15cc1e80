// libFuzzer target: the account export file reader (an import reads files other people made).
#include "core/accounts/account_export.h"
#include "core/accounts/ini_reader.h"

#include <QByteArray>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const tw::ImportParse parsed = tw::ParseImportFile(bytes);
    if (parsed.data.has_value() != (parsed.problem == tw::ImportProblem::None))
        __builtin_trap(); // either data or a problem, never both or neither
    if (parsed.data) {
        if (parsed.data->accounts.size() > 256 || parsed.data->fileTypes.size() > 256)
            __builtin_trap(); // counts above 256 read as 256
        tw::AppState state;
        tw::ApplyImport(state, *parsed.data);
        if (state.CurrentAccount >= state.AccountCount())
            __builtin_trap();
    }
    return 0;
}

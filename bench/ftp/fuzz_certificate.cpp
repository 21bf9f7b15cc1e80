// libFuzzer target: a certificate's DER bytes (parsed by OpenSSL) turned into the fields shown
// to a person, and those fields shown safely: nothing a terminal obeys may remain.
#include "ftp/display_text.h"
#include "ftp/tls_socket.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

void checkShown(const std::string& field) {
    const std::string shown = tw::ftp::DisplayText(field);
    for (std::size_t i = 0; i < shown.size(); ++i) {
        const auto b = static_cast<unsigned char>(shown[i]);
        const auto next = i + 1 < shown.size() ? static_cast<unsigned char>(shown[i + 1]) : 0;
        if (b < 0x20 || b == 0x7F || (b == 0xC2 && next >= 0x80 && next <= 0x9F))
            std::abort();
    }
    if (tw::ftp::DisplayText(shown) != shown) // shown once is shown for good
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto info = tw::ftp::DescribeCertificateDer(
        std::string_view(reinterpret_cast<const char*>(data), size));
    if (!info)
        return 0;
    checkShown(info->subject);
    checkShown(info->issuer);
    for (const std::string& name : info->names)
        checkShown(name);
    if (info->sha256.size() != 32 * 3 - 1)
        std::abort();
    return 0;
}

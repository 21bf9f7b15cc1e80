// libFuzzer target: control-connection replies, PWD, EPSV and PASV parsing.
#include "ftp/ftp_reply.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    tw::ftp::FtpReplyReader reader;
    std::size_t start = 0;
    while (start <= input.size()) {
        auto nl = input.find('\n', start);
        if (nl == std::string_view::npos)
            nl = input.size();
        std::string_view line = input.substr(start, nl - start);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        const auto status = reader.addLine(line);
        if (status == tw::ftp::FtpReplyReader::Status::Done) {
            const auto reply = reader.take();
            (void)reply.text();
        } else if (status != tw::ftp::FtpReplyReader::Status::NeedMore) {
            reader.reset();
        }
        std::string path;
        tw::ftp::ParsePwdReply(line, path);
        tw::ftp::ParseEpsvReply(line);
        tw::ftp::ParsePasvReply(line);
        start = nl + 1;
    }
    return 0;
}

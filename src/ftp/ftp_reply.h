#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tw::ftp {

// One complete server reply: its three-digit code and every line as received (CR/LF removed).
struct FtpReply {
    int code = 0;
    std::vector<std::string> lines;

    // Every line joined with "\r\n", as the last response text shows it.
    std::string text() const;
    bool isPreliminary() const { return code >= 100 && code < 200; }
    bool isSuccess() const { return code >= 200 && code < 300; }
    bool isIntermediate() const { return code >= 300 && code < 400; }
    bool isError() const { return code >= 400; }
};

// Assembles a reply from control-connection lines, single-line ("230 Ok") or multi-line
// ("230-Hello" ... "230 Ok"), with bounds on the number of lines and the total size so that
// an endless reply cannot exhaust memory.
class FtpReplyReader {
public:
    enum class Status { NeedMore, Done, Malformed, TooLong };

    static constexpr std::size_t kMaxLines = 4096;
    static constexpr std::size_t kMaxBytes = 256 * 1024;

    // Adds one line; Done means take() returns the complete reply.
    Status addLine(std::string_view line);
    FtpReply take();
    void reset();

private:
    FtpReply m_reply;
    bool m_started = false;
    bool m_multiLine = false;
    std::size_t m_bytes = 0;
};

// The three-digit code at the start of a line, or -1.
int ReplyCode(std::string_view line);

// The directory of a 257 reply: the text between the first quote and its closing quote, with
// doubled quotes read as one. Empty when there is no closing quote, the path is empty, or it
// holds control characters.
bool ParsePwdReply(std::string_view line, std::string& path);

// The port of a 229 reply ("Entering Extended Passive Mode (|||6446|)"), or -1.
int ParseEpsvReply(std::string_view line);

// The port of a 227 reply ("Entering Passive Mode (h1,h2,h3,h4,p1,p2)"), or -1. The host part
// is read for validity but never used: data connections go to the control connection's peer.
int ParsePasvReply(std::string_view line);

// The time of an MDTM reply ("213 YYYYMMDDHHMMSS[.sss]", an RFC 3659 time-val, always UTC) in
// seconds since 1970; a fraction is read and ignored. nullopt for any other reply, any other
// form (no more and no fewer than 14 digits, nothing after them but the fraction) or a field
// out of its range (years 1000-9999, days of that month, seconds up to a leap second's 60).
std::optional<std::int64_t> ParseMdtmReply(std::string_view line);

// A time as the time-val of MFMT ("YYYYMMDDHHMMSS", UTC); nullopt outside the years 1000-9999.
std::optional<std::string> FormatTimeVal(std::int64_t secondsUtc);

} // namespace tw::ftp

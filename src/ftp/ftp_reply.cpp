#include "ftp/ftp_reply.h"

#include "ftp/civil_time.h"

#include <algorithm>
#include <utility>

namespace tw::ftp {

std::string FtpReply::text() const {
    std::string out;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (i)
            out += "\r\n";
        out += lines[i];
    }
    return out;
}

int ReplyCode(std::string_view line) {
    if (line.size() < 3)
        return -1;
    for (int i = 0; i < 3; ++i)
        if (line[i] < '0' || line[i] > '9')
            return -1;
    if (line[0] < '1' || line[0] > '6')
        return -1;
    return (line[0] - '0') * 100 + (line[1] - '0') * 10 + (line[2] - '0');
}

void FtpReplyReader::reset() {
    m_reply = FtpReply{};
    m_started = false;
    m_multiLine = false;
    m_bytes = 0;
}

FtpReply FtpReplyReader::take() {
    FtpReply out = std::move(m_reply);
    reset();
    return out;
}

FtpReplyReader::Status FtpReplyReader::addLine(std::string_view line) {
    m_bytes += line.size() + 2;
    if (m_reply.lines.size() >= kMaxLines || m_bytes > kMaxBytes)
        return Status::TooLong;
    if (!m_started) {
        const int code = ReplyCode(line);
        if (code < 0 || (line.size() > 3 && line[3] != ' ' && line[3] != '-'))
            return Status::Malformed;
        m_started = true;
        m_reply.code = code;
        m_reply.lines.emplace_back(line);
        m_multiLine = line.size() > 3 && line[3] == '-';
        return m_multiLine ? Status::NeedMore : Status::Done;
    }
    m_reply.lines.emplace_back(line);
    // A multi-line reply ends with a line that starts with the same code and a space (or the
    // bare code); inner lines may start with anything, even other codes.
    if (ReplyCode(line) == m_reply.code && (line.size() == 3 || line[3] == ' '))
        return Status::Done;
    return Status::NeedMore;
}

bool ParsePwdReply(std::string_view line, std::string& path) {
    path.clear();
    const auto open = line.find('"');
    if (open == std::string_view::npos)
        return false;
    for (std::size_t i = open + 1; i < line.size(); ++i) {
        const char c = line[i];
        if (c == '"') {
            if (i + 1 < line.size() && line[i + 1] == '"') {
                path += '"';
                ++i;
                continue;
            }
            return !path.empty();
        }
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
            path.clear();
            return false;
        }
        path += c;
    }
    path.clear();
    return false;
}

int ParseEpsvReply(std::string_view line) {
    const auto open = line.find('(');
    if (open == std::string_view::npos || open + 5 > line.size())
        return -1;
    const char d = line[open + 1];
    if (d < 33 || d > 126 || (d >= '0' && d <= '9'))
        return -1;
    if (line[open + 2] != d || line[open + 3] != d)
        return -1;
    int port = 0;
    std::size_t i = open + 4;
    std::size_t digits = 0;
    for (; i < line.size() && line[i] >= '0' && line[i] <= '9'; ++i, ++digits) {
        port = port * 10 + (line[i] - '0');
        if (port > 65535)
            return -1;
    }
    if (digits == 0 || i >= line.size() || line[i] != d || port == 0)
        return -1;
    return port;
}

int ParsePasvReply(std::string_view line) {
    // Skip the reply code, then take the first run of six comma-separated numbers.
    std::size_t i = line.size() > 3 ? 4 : line.size();
    while (i < line.size()) {
        if (line[i] < '0' || line[i] > '9') {
            ++i;
            continue;
        }
        int numbers[6] = {};
        int count = 0;
        std::size_t j = i;
        while (count < 6) {
            int value = 0;
            std::size_t digits = 0;
            while (j < line.size() && line[j] >= '0' && line[j] <= '9' && digits < 4) {
                value = value * 10 + (line[j] - '0');
                ++j;
                ++digits;
            }
            if (digits == 0 || value > 255)
                break;
            numbers[count++] = value;
            if (count < 6) {
                if (j >= line.size() || line[j] != ',')
                    break;
                ++j;
            }
        }
        if (count == 6) {
            const int port = numbers[4] * 256 + numbers[5];
            return port > 0 ? port : -1;
        }
        i = j > i ? j : i + 1;
    }
    return -1;
}

std::optional<std::int64_t> ParseMdtmReply(std::string_view line) {
    constexpr std::string_view kPrefix = "213 ";
    constexpr std::size_t kDigits = 14;
    if (line.substr(0, kPrefix.size()) != kPrefix)
        return std::nullopt;
    const std::string_view value = line.substr(kPrefix.size());
    const auto isDigit = [](char c) { return c >= '0' && c <= '9'; };
    if (value.size() < kDigits || !std::all_of(value.begin(), value.begin() + kDigits, isDigit))
        return std::nullopt;
    const std::string_view fraction = value.substr(kDigits);
    if (!fraction.empty() && (fraction.size() < 2 || fraction.front() != '.' ||
                              !std::all_of(fraction.begin() + 1, fraction.end(), isDigit)))
        return std::nullopt;
    const auto field = [value](std::size_t at, std::size_t width) {
        int n = 0;
        for (std::size_t i = at; i < at + width; ++i)
            n = n * 10 + (value[i] - '0');
        return n;
    };
    CivilTime t;
    t.year = field(0, 4);
    t.month = field(4, 2);
    t.day = field(6, 2);
    t.hour = field(8, 2);
    t.minute = field(10, 2);
    t.second = field(12, 2);
    if (t.year < 1000 || t.month < 1 || t.month > 12 || t.day < 1 ||
        t.day > DaysInMonth(t.year, t.month) || t.hour > 23 || t.minute > 59 || t.second > 60)
        return std::nullopt;
    return ToUnixTime(t);
}

std::optional<std::string> FormatTimeVal(std::int64_t secondsUtc) {
    // Far outside the years 1000-9999, the calendar arithmetic would overflow.
    constexpr std::int64_t kLimit = std::int64_t{400'000} * 366 * 86400;
    if (secondsUtc < -kLimit || secondsUtc > kLimit)
        return std::nullopt;
    const CivilTime t = FromUnixTime(secondsUtc);
    if (t.year < 1000 || t.year > 9999)
        return std::nullopt;
    std::string text;
    for (const auto& [value, width] : {std::pair{t.year, 4},
                                       {t.month, 2},
                                       {t.day, 2},
                                       {t.hour, 2},
                                       {t.minute, 2},
                                       {t.second, 2}}) {
        const std::string digits = std::to_string(value);
        text.append(static_cast<std::size_t>(width) - digits.size(), '0');
        text += digits;
    }
    return text;
}

} // namespace tw::ftp

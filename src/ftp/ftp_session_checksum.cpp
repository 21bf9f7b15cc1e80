// FtpSession's file digests: HASH (draft-bryan-ftpext-hash) and the older XSHA256 / XSHA512 /
// XSHA1 / XMD5 commands.

#include "ftp/ftp_session.h"
#include "ftp/ftp_session_internal.h"

#include "ftp/file_digest.h"
#include "ftp/ftp_error.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace tw::ftp {

namespace {

// The algorithms asked for, the first one the server has.
constexpr std::array<std::string_view, 6> kPreferred = {"SHA-256", "SHA-512", "SHA-384",
                                                        "SHA-224", "SHA-1",   "MD5"};

struct DigestCommand {
    std::string_view verb;
    std::string_view algorithm;
};
constexpr std::array<DigestCommand, 4> kDigestCommands = {
    {{"XSHA256", "SHA-256"}, {"XSHA512", "SHA-512"}, {"XSHA1", "SHA-1"}, {"XMD5", "MD5"}}};
// Tried when FEAT names none of them (many servers that have them do not list them).
constexpr std::array<std::string_view, 2> kUnlistedTries = {"XSHA256", "XMD5"};

std::string upper(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        c = char(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

std::string_view algorithmOf(std::string_view verb) {
    for (const DigestCommand& d : kDigestCommands)
        if (d.verb == verb)
            return d.algorithm;
    return {};
}

// The words of a reply line after its code.
std::vector<std::string_view> words(std::string_view line) {
    std::vector<std::string_view> out;
    if (line.size() > 4)
        line.remove_prefix(4);
    else
        line = {};
    while (!line.empty()) {
        const auto start = line.find_first_not_of(' ');
        if (start == std::string_view::npos)
            break;
        line.remove_prefix(start);
        const auto end = line.find(' ');
        out.push_back(line.substr(0, end));
        line = end == std::string_view::npos ? std::string_view{} : line.substr(end);
    }
    return out;
}

// The first word that is a digest of the algorithm's length, in lower case.
std::optional<std::string> digestIn(const std::vector<std::string_view>& items,
                                    std::string_view algorithm) {
    const std::size_t length = DigestHexLength(algorithm);
    for (const std::string_view w : items) {
        if (w.size() != length || !std::all_of(w.begin(), w.end(), [](char c) {
                return std::isxdigit(static_cast<unsigned char>(c));
            }))
            continue;
        std::string hex(w);
        for (char& c : hex)
            c = char(std::tolower(static_cast<unsigned char>(c)));
        return hex;
    }
    return std::nullopt;
}

bool unknownCommand(const FtpReply& reply) {
    return reply.code == 500 || reply.code == 502 || reply.code == 504;
}

} // namespace

void ResetDigestFeatures(std::vector<std::string>& hashAlgorithms, std::string& hashSelected,
                         std::vector<std::string>& digestCommands, bool& digestCommandsListed) {
    hashAlgorithms.clear();
    hashSelected.clear();
    digestCommands.assign(kUnlistedTries.begin(), kUnlistedTries.end());
    digestCommandsListed = false;
}

void ReadDigestFeature(std::string_view feature, std::vector<std::string>& hashAlgorithms,
                       std::string& hashSelected, std::vector<std::string>& digestCommands,
                       bool& digestCommandsListed) {
    const std::string word = upper(feature.substr(0, feature.find(' ')));
    if (word == "HASH") {
        // "HASH SHA-256*;SHA-1;MD5": the one marked '*' is selected.
        std::string_view list = feature.substr(std::min(feature.size(), std::size_t(4)));
        while (!list.empty()) {
            while (!list.empty() && (list.front() == ' ' || list.front() == ';'))
                list.remove_prefix(1);
            const auto end = list.find(';');
            std::string_view item = list.substr(0, end);
            list = end == std::string_view::npos ? std::string_view{} : list.substr(end);
            while (!item.empty() && item.back() == ' ')
                item.remove_suffix(1);
            const bool selected = !item.empty() && item.back() == '*';
            if (selected)
                item.remove_suffix(1);
            std::string name = DigestName(item);
            if (name.empty())
                continue;
            if (selected)
                hashSelected = name;
            hashAlgorithms.push_back(std::move(name));
        }
        return;
    }
    if (algorithmOf(word).empty())
        return;
    if (!digestCommandsListed) {
        digestCommands.clear();
        digestCommandsListed = true;
    }
    if (std::find(digestCommands.begin(), digestCommands.end(), word) == digestCommands.end())
        digestCommands.push_back(word);
}

std::optional<FileChecksum> FtpSession::fileChecksum(std::string_view path) {
    CallScope scope(*this);
    if (!checkReady(path))
        return std::nullopt;
    if (path.empty()) {
        fail(kErrInvalidOperation);
        return std::nullopt;
    }
    FtpReply reply;
    const auto refused = [&](const FtpReply& r) {
        fail(replyError(r));
        return std::nullopt;
    };
    if (!m_hashAlgorithms.empty()) {
        std::string algorithm;
        for (const std::string_view wanted : kPreferred)
            if (std::find(m_hashAlgorithms.begin(), m_hashAlgorithms.end(), wanted) !=
                m_hashAlgorithms.end()) {
                algorithm = wanted;
                break;
            }
        if (algorithm != m_hashSelected) {
            const int err = command("OPTS HASH " + algorithm, reply);
            if (err != kErrNone) {
                fail(err);
                return std::nullopt;
            }
            if (reply.isSuccess())
                m_hashSelected = algorithm;
        }
        if (!m_hashSelected.empty()) {
            const int err = command(joinCommand("HASH", path), reply);
            if (err != kErrNone) {
                fail(err);
                return std::nullopt;
            }
            if (reply.isSuccess()) {
                // "213 SHA-256 0-49 <hex> <path>"
                const auto items = words(reply.lines.front());
                const std::string named = items.empty() ? std::string() : DigestName(items[0]);
                const std::string algo = named.empty() ? m_hashSelected : named;
                if (const auto hex = digestIn(items, algo)) {
                    succeed();
                    return FileChecksum{algo, *hex};
                }
                fail(kErrInvalidServerResponse);
                return std::nullopt;
            }
            if (!unknownCommand(reply))
                return refused(reply);
        }
        m_hashAlgorithms.clear(); // offered but not working: the older commands
    }
    while (!m_digestCommands.empty()) {
        const std::string verb = m_digestCommands.front();
        const int err = command(joinCommand(verb, path), reply);
        if (err != kErrNone) {
            fail(err);
            return std::nullopt;
        }
        if (unknownCommand(reply)) {
            m_digestCommands.erase(m_digestCommands.begin());
            continue;
        }
        if (!reply.isSuccess())
            return refused(reply);
        const std::string algorithm(algorithmOf(verb));
        if (const auto hex = digestIn(words(reply.lines.front()), algorithm)) {
            succeed();
            return FileChecksum{algorithm, *hex};
        }
        fail(kErrInvalidServerResponse);
        return std::nullopt;
    }
    fail(kErrInvalidOperation);
    return std::nullopt;
}

} // namespace tw::ftp

// FtpSession's directory search: MLSD or LIST (with "-a" where the server takes it), read
// line by line into entries that match the pattern's last component.

#include "ftp/ftp_session.h"
#include "ftp/ftp_session_internal.h"

#include "ftp/ftp_error.h"
#include "ftp/listing_parser.h"
#include "ftp/wildcard.h"

#include <algorithm>
#include <chrono>
#include <ctime>
#include <string>

namespace tw::ftp {

namespace {

// A listing longer than this is taken for a server that never stops.
constexpr std::size_t kMaxListingLines = 4'000'000;
// The slowest a listing may come on average: its deadline is the timeout plus one second for
// each kMinListingRate bytes it brought. A big listing on a slow link keeps going as long as
// it brings at least that much; one that drips a byte a second ends after about the timeout.
constexpr std::uint64_t kMinListingRate = 1024;
// What an over-long line shows of itself as the first unreadable entry.
constexpr std::size_t kShownLinePrefix = 80;

// What an entry costs in memory, roughly: the record and the bytes of its strings.
std::uint64_t entryBytes(const DirEntry& entry) {
    return sizeof(DirEntry) + entry.name.size() + entry.linkTarget.size() + entry.owner.size() +
           entry.group.size();
}

} // namespace

int FtpSession::readListing(std::string_view directory, std::string_view mask) {
    m_expectedSize.reset();
    m_restartOffset = 0;
    FtpReply reply;
    std::size_t parsed = 0;
    if (m_hasMlsd) {
        const int err = runListing(joinCommand("MLSD", directory), true, mask, reply, parsed);
        if (err != kErrExtendedError || (reply.code != 500 && reply.code != 502))
            return err;
        m_hasMlsd = false; // offered but not implemented: fall back to LIST
    }
    const std::string plain = joinCommand("LIST", directory);
    if (m_listAll == ListAll::Refused)
        return runListing(plain, false, mask, reply, parsed);
    const int err = runListing(joinCommand("LIST -a", directory), false, mask, reply, parsed);
    if (err == kErrNone && parsed > 0) {
        m_listAll = ListAll::Works;
        return err;
    }
    // Refused as an option, or perhaps taken for a path: a plain LIST tells.
    const bool refused =
        err == kErrExtendedError && reply.code >= 500 && reply.code <= 504 && reply.code != 550;
    const bool maybePath =
        m_listAll == ListAll::Unknown &&
        ((err == kErrExtendedError && (reply.code == 450 || reply.code == 550)) || err == kErrNone);
    if (!refused && !maybePath)
        return err;
    const int plainErr = runListing(plain, false, mask, reply, parsed);
    if (refused || (plainErr == kErrNone && parsed > 0)) {
        m_listAll = ListAll::Refused;
        tell("The server does not take \"LIST -a\"; hidden files may be missing.");
    }
    return plainErr;
}

int FtpSession::runListing(std::string_view commandLine, bool mlsd, std::string_view mask,
                           FtpReply& reply, std::size_t& parsed) {
    m_found.clear();
    m_foundNext = 0;
    m_listingTooLarge = false;
    parsed = 0;
    const bool listAll = commandLine.rfind("LIST -a", 0) == 0;
    int err = openDataConnection(commandLine, reply);
    if (err != kErrNone) {
        if (err == kErrTimeout && m_control.valid()) {
            m_fileState = FileState::Reading;
            abortTransfer();
        }
        return err;
    }
    m_fileState = FileState::Reading;
    const ListingLimits& limits = m_options.listingLimits;
    const std::int64_t now = static_cast<std::int64_t>(std::time(nullptr));
    ListingParser parser = mlsd ? ListingParser::forMlsd(now) : ListingParser(now, m_system);
    std::string pending;
    bool skipping = false; // inside an overlong line, dropped up to its end
    std::size_t lineCount = 0;
    std::size_t overlong = 0;
    std::string firstOverlong;
    std::uint64_t textBytes = 0;
    std::uint64_t keptBytes = 0;
    bool tooLarge = false;
    const auto started = std::chrono::steady_clock::now();
    auto takeLine = [&](std::string_view line) {
        ++lineCount;
        DirEntry entry;
        const bool ok = parser.parseLine(line, entry);
        parsed += ok ? 1 : 0;
        // "." and ".." come with "-a" only: a plain listing would not have shown them.
        const bool added = listAll && (entry.name == "." || entry.name == "..");
        if (ok && !added && (mask.empty() || WildcardMatch(mask, entry.name))) {
            keptBytes += entryBytes(entry);
            if (keptBytes > limits.entryBytes)
                tooLarge = true; // this one is not kept
            else
                m_found.push_back(std::move(entry));
        }
    };
    auto skipLine = [&] {
        if (overlong++ == 0)
            firstOverlong = pending.substr(0, kShownLinePrefix) + "...";
        pending.clear();
        skipping = true;
    };
    for (;;) {
        // Idle: the timeout between two reads; in all: the timeout and a second per
        // kMinListingRate bytes.
        const Deadline deadline = started + std::chrono::milliseconds(m_options.timeoutMs) +
                                  std::chrono::milliseconds(textBytes * 1000 / kMinListingRate);
        const int left = RemainingMs(deadline);
        err = left > 0 ? fillReadBuffer(std::min(left, m_options.timeoutMs)) : kErrTimeout;
        if (err != kErrNone)
            break;
        if (m_bufferLen == 0 && m_dataEof)
            break;
        textBytes += m_bufferLen;
        if (lineCount > kMaxListingLines || textBytes > limits.textBytes) {
            tooLarge = true;
            break;
        }
        std::string_view chunk(m_buffer.data(), m_bufferLen);
        m_bufferPos = m_bufferLen;
        while (!chunk.empty() && !tooLarge) {
            const auto nl = chunk.find('\n');
            if (nl == std::string_view::npos) {
                if (!skipping) {
                    pending.append(chunk.substr(0, limits.lineBytes + 1 - pending.size()));
                    if (pending.size() > limits.lineBytes)
                        skipLine();
                }
                break;
            }
            if (skipping) {
                skipping = false;
            } else if (pending.empty() && nl <= limits.lineBytes) {
                takeLine(chunk.substr(0, nl));
            } else {
                pending.append(chunk.substr(0, std::min(nl, limits.lineBytes + 1)));
                if (pending.size() <= limits.lineBytes)
                    takeLine(pending);
                else
                    skipLine();
                pending.clear();
                skipping = false;
            }
            chunk.remove_prefix(nl + 1);
        }
        if (tooLarge)
            break;
    }
    if (err == kErrOperationCancelled) {
        abortTransfer();
        m_found.clear();
        return kErrOperationCancelled;
    }
    if (err != kErrNone || tooLarge) {
        m_data.close();
        m_fileState = FileState::Reading;
        abortTransfer();
        if (!tooLarge) {
            m_found.clear();
            return err;
        }
    }
    if (!pending.empty() && !skipping && !tooLarge)
        takeLine(pending);
    parser.finish();
    m_unreadable = parser.unreadable() + overlong;
    m_firstUnreadable = parser.unreadable() > 0 ? parser.firstUnreadable() : firstOverlong;
    if (tooLarge) {
        m_listingTooLarge = true;
        tell("The listing is too large: only its first " + std::to_string(lineCount) + " lines (" +
             std::to_string(textBytes) + " bytes) were read.");
        m_fileState = FileState::None;
        m_bufferPos = m_bufferLen = 0;
        return kErrListingTooLarge;
    }
    err = finishTransfer();
    m_fileState = FileState::None;
    m_bufferPos = m_bufferLen = 0;
    if (err != kErrNone)
        m_found.clear();
    return err;
}

bool FtpSession::findFirstFile(std::string_view pattern, DirEntry& entry) {
    CallScope scope(*this);
    if (!checkReady(pattern))
        return false;
    const SearchPattern split = SplitSearchPattern(pattern);
    const int err = readListing(split.directory, split.mask);
    if (err != kErrNone && err != kErrListingTooLarge) {
        m_unreadable = 0;
        m_firstUnreadable.clear();
        if (err == kErrOperationCancelled)
            m_cancel.reset();
        return fail(err);
    }
    if (m_unreadable > 0)
        tell(UnreadableEntriesText(m_unreadable, m_firstUnreadable));
    return findNextFile(entry);
}

bool FtpSession::findNextFile(DirEntry& entry) {
    if (m_foundNext >= m_found.size())
        return fail(m_listingTooLarge ? kErrListingTooLarge : kErrNoMoreFiles);
    entry = m_found[m_foundNext++];
    return succeed();
}

void FtpSession::findClose() {
    m_listingTooLarge = false;
    m_found.clear();
    m_foundNext = 0;
}

} // namespace tw::ftp

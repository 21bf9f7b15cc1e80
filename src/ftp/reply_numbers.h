#pragma once

#include "ftp/ftp_reply.h"

#include <cstdint>
#include <optional>

namespace tw::ftp {

// The size of a 213 reply to SIZE ("213 1234", RFC 3659: one line, the code, a space and
// nothing but digits), or nullopt; also for a number past 64 bits.
std::optional<std::uint64_t> SizeOfSizeReply(const FtpReply& reply);

// The size a 150 reply announces in its last line, as in "150 Opening BINARY mode data
// connection for f (42 bytes).", or nullopt.
std::optional<std::uint64_t> AnnouncedSize(const FtpReply& reply);

} // namespace tw::ftp

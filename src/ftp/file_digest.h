#pragma once

// Digests of local files, to compare with the digest a server computed of its copy
// (RemoteSession::fileChecksum). Algorithms are named as the FTP HASH command names them.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace tw::ftp {

// The algorithm's usual name ("SHA-256" for "sha256", "Sha-256" or "SHA256"; "SHA-1", "MD5",
// "SHA-224", "SHA-384", "SHA-512"), empty for one this program cannot compute.
std::string DigestName(std::string_view algorithm);
// The length of the algorithm's digest in hex digits (0 for an unknown algorithm).
std::size_t DigestHexLength(std::string_view algorithm);

// The digest of the whole file in lower-case hex; nullopt when the file cannot be read or the
// algorithm is unknown.
std::optional<std::string> FileDigestHex(const std::string& path, std::string_view algorithm);

} // namespace tw::ftp

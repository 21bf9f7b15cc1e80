#pragma once

// OpenSSH's known_hosts file: whether it knows a server's host key, and adding one in the
// hashed form `ssh` itself reads.

#include <string>
#include <string_view>

namespace tw::sftp {

// The name a host's keys are filed under: "host" on port 22, else "[host]:port".
std::string KnownHostsName(std::string_view host, int port);

// The bytes of a base64 text (empty when it is none).
std::string DecodeBase64(std::string_view text);

// "SHA256:<base64 without padding>" of a public key blob, as `ssh-keygen -lf` prints it.
std::string KeyFingerprint(std::string_view blob);

struct KnownHostCheck {
    enum class State { Known, Unknown, Changed };
    State state = State::Unknown;
    std::string knownFingerprint; // the key known_hosts holds, when Changed
};

// Looks `name` up in the file (plain names, patterns with '*', '?' and '!', and hashed
// |1|salt|hmac entries): Known when an entry holds this key, Changed when entries name the host
// with other keys (of this type or another; a @revoked entry for this key too), else Unknown.
// A missing file knows nothing.
KnownHostCheck CheckKnownHost(const std::string& file, std::string_view name, std::string_view type,
                              std::string_view blob);

// Appends the key as "|1|salt|hmac type base64": HMAC-SHA1 of `name` under a random 20-byte
// salt. Creates the file (0600) and its folder (0700) when missing. False with the reason.
bool AddKnownHost(const std::string& file, std::string_view name, std::string_view type,
                  std::string_view blob, std::string& why);

} // namespace tw::sftp

#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The values of FTP over TLS that callers see: the encryption mode of a session, the
// certificate the server showed and what was wrong with it, the state of a secured session.
// No OpenSSL type appears here.
namespace tw::ftp {

// How a session secures its connections. The numbers are stored with accounts: keep them.
enum class TlsMode {
    // Plain FTP: passwords and files cross the network in clear.
    Plain = 0,
    // AUTH TLS when the server knows it; plain only when it answers AUTH with 500, 502, 504
    // or 534 (any other failure stops).
    ExplicitIfAvailable = 1,
    // AUTH TLS, and nothing in clear when the server refuses it.
    ExplicitRequired = 2,
    // TLS from the first byte (port 990 by default).
    Implicit = 3,
};

inline constexpr int kImplicitTlsPort = 990;

// The mode of a stored number; nullopt for a number no mode has.
std::optional<TlsMode> TlsModeFromNumber(int number);

// Why a certificate was not accepted.
enum class CertificateProblem {
    None,
    // Self-signed, or signed by an authority the trust store does not know.
    Untrusted,
    // Issued for another host name or address.
    NameMismatch,
    // Past its end of validity, or not valid yet.
    Expired,
    // Any other failed check (a bad signature, an unusable key, a broken chain), or a
    // certificate other than the one pinned.
    Invalid,
};

// The server's certificate as a person judges it.
struct CertificateInfo {
    std::string subject; // one line, RFC 2253 ("CN=ftp.example.org,O=Example")
    std::string issuer;
    std::vector<std::string> names; // subjectAltName DNS names and addresses
    std::int64_t notBefore = 0;     // seconds since 1970 UTC
    std::int64_t notAfter = 0;
    std::string sha256; // fingerprint of the DER form: "AB:CD:..." (32 bytes, upper case)
    bool selfSigned = false;
    CertificateProblem problem = CertificateProblem::None;
    std::string reason; // English: what the check found ("certificate has expired")

    bool operator==(const CertificateInfo&) const = default;
};

// The state of a secured session (empty version while plain).
struct TlsState {
    std::string version;        // "TLSv1.3"
    std::string cipher;         // "TLS_AES_256_GCM_SHA384"
    bool dataProtected = false; // PROT P is in force
    CertificateInfo certificate;

    bool encrypted() const { return !version.empty(); }
};

// The form above of a digest's bytes ("AB:CD:...").
std::string FingerprintText(const unsigned char* bytes, std::size_t size);

// A SHA-256 fingerprint in the form above, from any case, with or without colons (or
// spaces); nullopt when it is not 32 bytes of hex.
std::optional<std::string> NormalizeFingerprint(std::string_view text);

} // namespace tw::ftp

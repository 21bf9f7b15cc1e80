#include "ftp/file_digest.h"

#include <openssl/evp.h>

#include <array>
#include <cctype>
#include <cerrno>
#include <fcntl.h>
#include <memory>
#include <unistd.h>
#include <vector>

namespace tw::ftp {

namespace {

struct Algorithm {
    std::string_view name;
    std::string_view compact; // upper case without the hyphen
    std::size_t hexLength;
    const EVP_MD* (*digest)();
};

constexpr std::array<Algorithm, 6> kAlgorithms = {{
    {"SHA-256", "SHA256", 64, &EVP_sha256},
    {"SHA-512", "SHA512", 128, &EVP_sha512},
    {"SHA-384", "SHA384", 96, &EVP_sha384},
    {"SHA-224", "SHA224", 56, &EVP_sha224},
    {"SHA-1", "SHA1", 40, &EVP_sha1},
    {"MD5", "MD5", 32, &EVP_md5},
}};

const Algorithm* find(std::string_view algorithm) {
    std::string compact;
    for (const char c : algorithm)
        if (c != '-')
            compact += char(std::toupper(static_cast<unsigned char>(c)));
    for (const Algorithm& a : kAlgorithms)
        if (a.compact == compact)
            return &a;
    return nullptr;
}

struct FdCloser {
    int fd;
    ~FdCloser() {
        if (fd >= 0)
            ::close(fd);
    }
};

struct ContextFree {
    void operator()(EVP_MD_CTX* c) const { EVP_MD_CTX_free(c); }
};

} // namespace

std::string DigestName(std::string_view algorithm) {
    const Algorithm* a = find(algorithm);
    return a ? std::string(a->name) : std::string();
}

std::size_t DigestHexLength(std::string_view algorithm) {
    const Algorithm* a = find(algorithm);
    return a ? a->hexLength : 0;
}

std::optional<std::string> FileDigestHex(const std::string& path, std::string_view algorithm) {
    const Algorithm* a = find(algorithm);
    if (!a)
        return std::nullopt;
    const FdCloser file{::open(path.c_str(), O_RDONLY | O_CLOEXEC)};
    if (file.fd < 0)
        return std::nullopt;
    std::unique_ptr<EVP_MD_CTX, ContextFree> context(EVP_MD_CTX_new());
    if (!context || EVP_DigestInit_ex(context.get(), a->digest(), nullptr) != 1)
        return std::nullopt;
    std::vector<unsigned char> buffer(256 * 1024);
    for (;;) {
        const ssize_t n = ::read(file.fd, buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return std::nullopt;
        if (n == 0)
            break;
        if (EVP_DigestUpdate(context.get(), buffer.data(), std::size_t(n)) != 1)
            return std::nullopt;
    }
    std::array<unsigned char, EVP_MAX_MD_SIZE> digest{};
    unsigned int size = 0;
    if (EVP_DigestFinal_ex(context.get(), digest.data(), &size) != 1)
        return std::nullopt;
    static constexpr char kHex[] = "0123456789abcdef";
    std::string hex;
    hex.reserve(std::size_t(size) * 2);
    for (unsigned int i = 0; i < size; ++i) {
        hex += kHex[digest[i] >> 4];
        hex += kHex[digest[i] & 0x0f];
    }
    return hex;
}

} // namespace tw::ftp

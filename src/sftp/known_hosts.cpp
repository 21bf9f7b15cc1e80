#include "sftp/known_hosts.h"

#include <openssl/evp.h>
#include <openssl/hmac.h>
#include <openssl/rand.h>
#include <openssl/sha.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace tw::sftp {

namespace {

std::string base64(std::string_view bytes) {
    std::string out(4 * ((bytes.size() + 2) / 3) + 1, '\0');
    const int n =
        EVP_EncodeBlock(reinterpret_cast<unsigned char*>(out.data()),
                        reinterpret_cast<const unsigned char*>(bytes.data()), int(bytes.size()));
    out.resize(std::size_t(n));
    return out;
}

std::string unbase64(std::string_view text) {
    if (text.empty() || text.size() % 4 != 0)
        return {};
    std::string out(text.size() / 4 * 3, '\0');
    const int n =
        EVP_DecodeBlock(reinterpret_cast<unsigned char*>(out.data()),
                        reinterpret_cast<const unsigned char*>(text.data()), int(text.size()));
    if (n < 0)
        return {};
    std::size_t size = std::size_t(n);
    for (std::size_t i = text.size(); i > 0 && text[i - 1] == '=' && size > 0; --i)
        --size; // EVP_DecodeBlock counts the padding as bytes
    out.resize(size);
    return out;
}

std::string hmacSha1(std::string_view key, std::string_view data) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    HMAC(EVP_sha1(), key.data(), int(key.size()),
         reinterpret_cast<const unsigned char*>(data.data()), data.size(), digest, &length);
    return std::string(reinterpret_cast<const char*>(digest), length);
}

// OpenSSH's match_pattern: '*' any run, '?' one character, ASCII case folded.
bool globMatch(std::string_view pattern, std::string_view text) {
    std::size_t p = 0, t = 0, star = std::string_view::npos, mark = 0;
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
    while (t < text.size()) {
        if (p < pattern.size() && (pattern[p] == '?' || lower(pattern[p]) == lower(text[t]))) {
            ++p;
            ++t;
        } else if (p < pattern.size() && pattern[p] == '*') {
            star = p++;
            mark = t;
        } else if (star != std::string_view::npos) {
            p = star + 1;
            t = ++mark;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

// Whether the hostnames field of a line names `name`.
bool hostsMatch(std::string_view field, std::string_view name) {
    if (field.rfind("|1|", 0) == 0) {
        const std::size_t bar = field.find('|', 3);
        if (bar == std::string_view::npos)
            return false;
        const std::string salt = unbase64(field.substr(3, bar - 3));
        const std::string hash = unbase64(field.substr(bar + 1));
        return !salt.empty() && !hash.empty() && hmacSha1(salt, name) == hash;
    }
    bool matched = false;
    while (!field.empty()) {
        const std::size_t comma = field.find(',');
        std::string_view pattern = field.substr(0, comma);
        field = comma == std::string_view::npos ? std::string_view{} : field.substr(comma + 1);
        const bool negated = !pattern.empty() && pattern[0] == '!';
        if (negated)
            pattern.remove_prefix(1);
        if (globMatch(pattern, name)) {
            if (negated)
                return false;
            matched = true;
        }
    }
    return matched;
}

std::vector<std::string_view> fields(std::string_view line) {
    std::vector<std::string_view> out;
    std::size_t i = 0;
    while (i < line.size() && out.size() < 4) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t'))
            ++i;
        const std::size_t start = i;
        while (i < line.size() && line[i] != ' ' && line[i] != '\t')
            ++i;
        if (i > start)
            out.push_back(line.substr(start, i - start));
    }
    return out;
}

} // namespace

std::string DecodeBase64(std::string_view text) {
    return unbase64(text);
}

std::string KnownHostsName(std::string_view host, int port) {
    if (port == 22 || port == 0)
        return std::string(host);
    std::string name = "[";
    name.append(host).append("]:").append(std::to_string(port));
    return name;
}

std::string KeyFingerprint(std::string_view blob) {
    unsigned char digest[SHA256_DIGEST_LENGTH];
    SHA256(reinterpret_cast<const unsigned char*>(blob.data()), blob.size(), digest);
    std::string text =
        base64(std::string_view(reinterpret_cast<const char*>(digest), sizeof digest));
    while (!text.empty() && text.back() == '=')
        text.pop_back();
    return "SHA256:" + text;
}

KnownHostCheck CheckKnownHost(const std::string& file, std::string_view name, std::string_view type,
                              std::string_view blob) {
    KnownHostCheck result;
    std::ifstream in(file);
    std::string line;
    const std::string key = base64(blob);
    std::string sameType, otherType;
    while (std::getline(in, line)) {
        if (line.size() > 64 * 1024)
            continue;
        auto f = fields(line);
        if (f.empty() || f[0][0] == '#')
            continue;
        bool revoked = false;
        if (f[0][0] == '@') {
            if (f[0] != "@revoked")
                continue; // @cert-authority: certificates are not used
            revoked = true;
            f.erase(f.begin());
        }
        if (f.size() < 3 || !hostsMatch(f[0], name))
            continue;
        if (f[1] == type && f[2] == key) {
            if (revoked) {
                result.state = KnownHostCheck::State::Changed;
                result.knownFingerprint = KeyFingerprint(blob);
                return result;
            }
            result.state = KnownHostCheck::State::Known;
            continue;
        }
        if (revoked)
            continue;
        std::string& slot = f[1] == type ? sameType : otherType;
        if (slot.empty())
            slot = KeyFingerprint(unbase64(f[2]));
    }
    if (result.state == KnownHostCheck::State::Known)
        return result;
    if (!sameType.empty() || !otherType.empty()) {
        result.state = KnownHostCheck::State::Changed;
        result.knownFingerprint = !sameType.empty() ? sameType : otherType;
    }
    return result;
}

bool AddKnownHost(const std::string& file, std::string_view name, std::string_view type,
                  std::string_view blob, std::string& why) {
    namespace fs = std::filesystem;
    const fs::path path(file);
    if (path.has_parent_path() && !fs::exists(path.parent_path())) {
        std::error_code ec;
        fs::create_directories(path.parent_path(), ec);
        if (ec) {
            why = "cannot create " + path.parent_path().string() + ": " + ec.message();
            return false;
        }
        ::chmod(path.parent_path().c_str(), 0700);
    }
    std::string salt(20, '\0');
    if (RAND_bytes(reinterpret_cast<unsigned char*>(salt.data()), int(salt.size())) != 1) {
        why = "no random bytes for the salt";
        return false;
    }
    std::string line = "|1|" + base64(salt) + "|" + base64(hmacSha1(salt, name)) + " " +
                       std::string(type) + " " + base64(blob) + "\n";
    const int fd = ::open(file.c_str(), O_RDWR | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    if (fd < 0) {
        why = "cannot open " + file + ": " + std::strerror(errno);
        return false;
    }
    // A last line without its newline would be joined to the new one.
    struct stat st {};
    char last = '\n';
    if (::fstat(fd, &st) == 0 && st.st_size > 0 && ::pread(fd, &last, 1, st.st_size - 1) == 1 &&
        last != '\n')
        line = std::string("\n").append(line);
    const bool ok = ::write(fd, line.data(), line.size()) == ssize_t(line.size());
    const int err = errno;
    if (::close(fd) != 0 || !ok) {
        why = "cannot write " + file + ": " + std::strerror(ok ? errno : err);
        return false;
    }
    return true;
}

} // namespace tw::sftp

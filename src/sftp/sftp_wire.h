#pragma once

// SFTP version 3 (draft-ietf-secsh-filexfer-02) on the wire: the packet types, flags and
// attributes, a packet builder and a bounds-checked reader.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tw::sftp::wire {

enum : std::uint8_t {
    kInit = 1,
    kVersion = 2,
    kOpen = 3,
    kClose = 4,
    kRead = 5,
    kWrite = 6,
    kLstat = 7,
    kFstat = 8,
    kSetstat = 9,
    kOpendir = 11,
    kReaddir = 12,
    kRemove = 13,
    kMkdir = 14,
    kRmdir = 15,
    kRealpath = 16,
    kStat = 17,
    kRename = 18,
    kReadlink = 19,
    kStatus = 101,
    kHandle = 102,
    kData = 103,
    kName = 104,
    kAttrs = 105,
    kExtended = 200,
    kExtendedReply = 201,
};

enum : std::uint32_t {
    kOpenRead = 0x01,
    kOpenWrite = 0x02,
    kOpenAppend = 0x04,
    kOpenCreate = 0x08,
    kOpenTruncate = 0x10,
};

enum : std::uint32_t {
    kAttrSize = 0x01,
    kAttrUidGid = 0x02,
    kAttrPermissions = 0x04,
    kAttrTimes = 0x08,
    kAttrExtended = 0x80000000u,
};

inline constexpr std::uint32_t kStatusOk = 0;
inline constexpr std::uint32_t kStatusEof = 1;
inline constexpr std::uint32_t kStatusNoSuchFile = 2;

struct Attributes {
    std::uint32_t flags = 0;
    std::uint64_t size = 0;
    std::uint32_t uid = 0, gid = 0;
    std::uint32_t permissions = 0;
    std::uint32_t atime = 0, mtime = 0;

    bool isDirectory() const { return (permissions & 0170000) == 0040000; }
    bool isLink() const { return (permissions & 0170000) == 0120000; }
    bool isRegular() const { return (permissions & 0170000) == 0100000; }
};

// One outgoing packet: length, type, request id, then the fields appended.
class Packet {
public:
    Packet(std::uint8_t type, std::uint32_t id) {
        m_bytes.assign(4, '\0');
        byte(type);
        if (type != kInit)
            u32(id);
    }
    Packet& byte(std::uint8_t v) {
        m_bytes.push_back(char(v));
        return *this;
    }
    Packet& u32(std::uint32_t v) {
        for (int shift = 24; shift >= 0; shift -= 8)
            m_bytes.push_back(char((v >> shift) & 0xff));
        return *this;
    }
    Packet& u64(std::uint64_t v) {
        u32(std::uint32_t(v >> 32));
        return u32(std::uint32_t(v));
    }
    Packet& str(std::string_view s) {
        u32(std::uint32_t(s.size()));
        m_bytes.append(s);
        return *this;
    }
    Packet& attrs(const Attributes& a) {
        u32(a.flags);
        if (a.flags & kAttrSize)
            u64(a.size);
        if (a.flags & kAttrUidGid)
            u32(a.uid).u32(a.gid);
        if (a.flags & kAttrPermissions)
            u32(a.permissions);
        if (a.flags & kAttrTimes)
            u32(a.atime).u32(a.mtime);
        return *this;
    }
    // The finished bytes, length field filled in.
    std::string take() {
        const auto n = std::uint32_t(m_bytes.size() - 4);
        for (int i = 0; i < 4; ++i)
            m_bytes[std::size_t(i)] = char((n >> (24 - 8 * i)) & 0xff);
        return std::move(m_bytes);
    }

private:
    std::string m_bytes;
};

// Reads the fields of a received packet's body; any read past its end sets failed() and gives
// zeros, so a malformed reply is noticed once, at the end.
class Reader {
public:
    explicit Reader(std::string_view data) : m_data(data) {}
    bool failed() const { return m_failed; }
    bool atEnd() const { return m_pos >= m_data.size(); }
    std::uint8_t byte() {
        if (!need(1))
            return 0;
        return std::uint8_t(m_data[m_pos++]);
    }
    std::uint32_t u32() {
        if (!need(4))
            return 0;
        std::uint32_t v = 0;
        for (int i = 0; i < 4; ++i)
            v = (v << 8) | std::uint8_t(m_data[m_pos++]);
        return v;
    }
    std::uint64_t u64() {
        const std::uint64_t high = u32();
        return (high << 32) | u32();
    }
    std::string_view str() {
        const std::uint32_t n = u32();
        if (!need(n))
            return {};
        const std::string_view s = m_data.substr(m_pos, n);
        m_pos += n;
        return s;
    }
    Attributes attrs() {
        Attributes a;
        a.flags = u32();
        if (a.flags & kAttrSize)
            a.size = u64();
        if (a.flags & kAttrUidGid) {
            a.uid = u32();
            a.gid = u32();
        }
        if (a.flags & kAttrPermissions)
            a.permissions = u32();
        if (a.flags & kAttrTimes) {
            a.atime = u32();
            a.mtime = u32();
        }
        if (a.flags & kAttrExtended) {
            const std::uint32_t count = u32();
            for (std::uint32_t i = 0; i < count && !m_failed; ++i) {
                str();
                str();
            }
        }
        return a;
    }

private:
    bool need(std::size_t n) {
        if (m_failed || m_data.size() - m_pos < n) {
            m_failed = true;
            return false;
        }
        return true;
    }
    std::string_view m_data;
    std::size_t m_pos = 0;
    bool m_failed = false;
};

} // namespace tw::sftp::wire

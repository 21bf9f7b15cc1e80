#pragma once

#include <QString>

#include <cstdint>

namespace tw {

// One saved FTP site. Texts keep the field limits of the store (characters, terminator
// excluded): Name 47, URL 255, IP 47, Login 63, Password 63, LocalPath 255, LocalMask 23,
// LocalExclude 255, RemotePath 255, RemoteMask 23, RemoteExclude 255, Comments 1023.
struct AccountRecord {
    QString Name;
    QString URL;
    QString IP;
    bool UseIP = false;
    bool Anonymous = false;
    QString Login;
    QString Password;
    bool SavePassword = false;
    bool Passive = false;
    std::uint32_t RemotePort = 21;
    QString LocalPath;
    QString LocalMask;
    int LocalSort = 0;
    QString LocalExclude;
    QString RemotePath;
    QString RemoteMask;
    int RemoteSort = 0;
    QString RemoteExclude;
    std::uint32_t Visits = 0;
    QString Comments; // lines separated by "\r\n"

    bool operator==(const AccountRecord&) const = default;
};

inline constexpr int kMaxAccounts = 256;

} // namespace tw

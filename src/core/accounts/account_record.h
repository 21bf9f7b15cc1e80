#pragma once

#include "ftp/remote_session.h"
#include "ftp/tls_types.h"

#include <QString>

#include <cstdint>
#include <vector>

namespace tw {

// One saved FTP site. Texts keep the field limits of the store (characters, terminator
// excluded): Name 47, URL 255, IP 47, Login 63, Password 63, LocalPath 255, LocalMask 23,
// LocalExclude 255, RemotePath 255, RemoteMask 23, RemoteExclude 255, Comments 1023.
// Where an account's saved password is kept. Scrambled is the settings file of an older version,
// read and then moved to a store; Keyring and Vault hold it under the record's SecretId.
enum class PasswordPlace { None, Scrambled, Keyring, Vault };

struct AccountRecord {
    QString Name;
    QString URL;
    QString IP;
    bool UseIP = false;
    bool Anonymous = false;
    QString Login;
    QString Password;
    bool SavePassword = false;
    // Where the saved password is (the settings file holds only this marker) and the record's
    // name in that store, made when a secret is first kept. `Password` is the text known in
    // this run: typed, imported, or fetched from the store at connect.
    PasswordPlace Kept = PasswordPlace::None;
    QString SecretId;
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
    // Stored as its number. A record made in code is plain; the accounts sheet's New and the
    // first-start samples choose kNewAccountEncryption.
    ftp::TlsMode Encryption = ftp::TlsMode::Plain;
    // FTP (with Encryption) or SFTP. Stored as its number; records without one are FTP.
    ftp::Protocol Protocol = ftp::Protocol::Ftp;
    // SFTP: a private key file to log in with (empty: none, or the one ~/.ssh/config names),
    // and whether the SSH agent's keys are offered.
    QString KeyFile;
    bool UseAgent = true;
    // The transfer queue's connections to this server, 0 for the Transfer page's number.
    std::uint32_t Connections = 0;
    // Remote folders the user keeps for this server, in the order added (core/accounts/
    // bookmarks.h). Stored with the record, so they follow it through renames and sorting and
    // go with it when it is deleted; not part of the export file.
    std::vector<QString> Bookmarks;
    // Seconds added to the server's listed times when folders are compared: the server's time
    // zone where its listings give local time (Compare Folders offers it when every common file
    // differs by the same whole hours). Bounded to +-24 hours.
    std::int32_t TimeOffset = 0;
    // Glob patterns Synchronise leaves out besides the exclude lists, separated by ';'.
    QString SyncExcludes;

    bool operator==(const AccountRecord&) const = default;
};

// A store (the keyring or the master-password file) holds the account's saved password.
inline bool passwordKept(const AccountRecord& a) {
    return a.SavePassword && !a.SecretId.isEmpty() &&
           (a.Kept == PasswordPlace::Keyring || a.Kept == PasswordPlace::Vault);
}

inline constexpr int kMaxAccounts = 256;

// The encryption of an account the user creates.
inline constexpr ftp::TlsMode kNewAccountEncryption = ftp::TlsMode::ExplicitIfAvailable;

// The mode of a stored encryption number. A number no mode has (a newer program's mode) reads
// as ExplicitRequired: never weaker than asked, and the password is never sent in clear.
inline ftp::TlsMode AccountEncryptionFromNumber(std::int64_t number) {
    if (number < 0 || number > 255)
        return ftp::TlsMode::ExplicitRequired;
    return ftp::TlsModeFromNumber(static_cast<int>(number))
        .value_or(ftp::TlsMode::ExplicitRequired);
}

// The protocol of a stored number; a number no protocol has (a newer program's) reads as FTP,
// with the record's own encryption.
inline ftp::Protocol AccountProtocolFromNumber(std::int64_t number) {
    return number == static_cast<int>(ftp::Protocol::Sftp) ? ftp::Protocol::Sftp
                                                           : ftp::Protocol::Ftp;
}

// Field limits in characters (the stored widths less their terminator).
inline constexpr int kAccountNameLimit = 47;
inline constexpr int kAccountUrlLimit = 255;
inline constexpr int kAccountIpLimit = 47;
inline constexpr int kAccountLoginLimit = 63;
inline constexpr int kAccountPasswordLimit = 63;
inline constexpr int kAccountPathLimit = 255;
inline constexpr int kAccountMaskLimit = 23;
inline constexpr int kAccountExcludeLimit = 255;
inline constexpr int kAccountCommentsLimit = 1023;
inline constexpr int kAccountKeyFileLimit = 255;

} // namespace tw

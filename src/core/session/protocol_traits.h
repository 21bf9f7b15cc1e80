#pragma once

#include "ftp/remote_session.h"
#include "ftp/tls_types.h"

#include <QString>

namespace tw {

// What differs between FTP and SFTP for the window's flows, decided here from the account's
// protocol so that no flow asks which protocol it runs on: default ports, which of the
// account's choices apply, and the words of the log and the title.
struct ProtocolTraits {
    ftp::Protocol protocol = ftp::Protocol::Ftp;
    // The Login page's choice: "FTP", "SFTP (SSH)".
    QString choiceText;
    // The scheme of its addresses in the quick connect bar ("ftp://", "sftp://").
    QString scheme;
    // Passive / active data connections apply (FTP only).
    bool passiveMode = true;
    // The Encryption choice (FTP over TLS) applies.
    bool encryptionChoice = true;
    // The key file and the SSH agent apply.
    bool keyLogin = false;
    // A named login needs a password (SFTP logs in with keys as well).
    bool passwordRequired = true;
    // The log line of one permissions change ("SITE CHMOD 755 /x", "chmod 755 /x") and the
    // name of the call in its error line.
    int chmodLogId = 0;
    int chmodApiId = 0;
    // The log line of a remote listing ("LIST /x/*.* ...", "READDIR /x/*.* ...").
    int listLogId = 0;
    // The window title while connected over a plain and over a secure channel.
    int plainTitleId = 0;
    int secureTitleId = 0;
};

const ProtocolTraits& TraitsOf(ftp::Protocol protocol);

// The protocols in the order the Login page lists them.
inline constexpr ftp::Protocol kProtocolChoices[] = {ftp::Protocol::Ftp, ftp::Protocol::Sftp};

// The port a protocol listens on by default: 22 for SFTP, 990 for implicit FTP over TLS, else 21.
int DefaultPort(ftp::Protocol protocol, ftp::TlsMode encryption);

} // namespace tw

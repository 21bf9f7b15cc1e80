#include "core/session/protocol_traits.h"

namespace tw {

const ProtocolTraits& TraitsOf(ftp::Protocol protocol) {
    static const ProtocolTraits ftpTraits{
        .protocol = ftp::Protocol::Ftp,
        .choiceText = QStringLiteral("FTP"),
        .scheme = QStringLiteral("ftp://"),
        .passiveMode = true,
        .encryptionChoice = true,
        .keyLogin = false,
        .passwordRequired = true,
        .chmodLogId = 3763, // "SITE CHMOD %s %s"
        .chmodApiId = 4527, // "FtpCommand"
        .listLogId = 4408,  // "LIST %s ..."
        .plainTitleId = 1001,
        .secureTitleId = 1004,
    };
    static const ProtocolTraits sftpTraits{
        .protocol = ftp::Protocol::Sftp,
        .choiceText = QStringLiteral("SFTP (SSH)"),
        .scheme = QStringLiteral("sftp://"),
        .passiveMode = false,
        .encryptionChoice = false,
        .keyLogin = true,
        .passwordRequired = false,
        .chmodLogId = 5502, // "chmod %s %s"
        .chmodApiId = 5503, // "SftpSetStat"
        .listLogId = 5508,  // "READDIR %s ..."
        // An SFTP session is always over SSH: its title says so either way.
        .plainTitleId = 5500,
        .secureTitleId = 5500,
    };
    return protocol == ftp::Protocol::Sftp ? sftpTraits : ftpTraits;
}

int DefaultPort(ftp::Protocol protocol, ftp::TlsMode encryption) {
    if (protocol == ftp::Protocol::Sftp)
        return ftp::kSftpPort;
    return encryption == ftp::TlsMode::Implicit ? ftp::kImplicitTlsPort : 21;
}

} // namespace tw

#include "sftp/session_factory.h"

#include "ftp/ftp_session.h"
#include "sftp/sftp_session.h"

namespace tw::sftp {

std::unique_ptr<ftp::RemoteSession> MakeSession(ftp::Protocol protocol) {
    if (protocol == ftp::Protocol::Sftp)
        return std::make_unique<SftpSession>();
    return std::make_unique<ftp::FtpSession>();
}

} // namespace tw::sftp

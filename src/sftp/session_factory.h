#pragma once

#include "ftp/remote_session.h"

#include <memory>

namespace tw::sftp {

// A new, unconnected session of the protocol.
std::unique_ptr<ftp::RemoteSession> MakeSession(ftp::Protocol protocol);

} // namespace tw::sftp

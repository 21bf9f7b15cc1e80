#pragma once

// What the files of FtpSession share and no caller needs: the scopes every public call and
// every stop work in, and the command line of a verb and its argument.

#include "ftp/ftp_session.h"

#include <string>
#include <string_view>
#include <vector>

namespace tw::ftp {

inline std::string joinCommand(std::string_view verb, std::string_view argument) {
    std::string line(verb);
    if (!argument.empty()) {
        line += ' ';
        line += argument;
    }
    return line;
}

// The digest features of a FEAT reply (ftp_session_checksum.cpp): back to "none known", and
// one FEAT line read ("HASH SHA-256*;SHA-1;MD5", "XSHA256", "XMD5"; others are ignored).
void ResetDigestFeatures(std::vector<std::string>& hashAlgorithms, std::string& hashSelected,
                         std::vector<std::string>& digestCommands, bool& digestCommandsListed);
void ReadDigestFeature(std::string_view feature, std::vector<std::string>& hashAlgorithms,
                       std::string& hashSelected, std::vector<std::string>& digestCommands,
                       bool& digestCommandsListed);

// Arms the canceller for one public call, so that abort() reaches it; a call that leaves a file
// open keeps it armed until closeFile(), so an abort between two reads stops the transfer.
class FtpSession::CallScope {
public:
    explicit CallScope(FtpSession& session) : m_session(session) {
        if (m_session.m_fileState == FileState::None)
            m_session.m_cancel.arm();
    }
    ~CallScope() {
        if (m_session.m_fileState == FileState::None)
            m_session.m_cancel.disarm();
    }
    CallScope(const CallScope&) = delete;
    CallScope& operator=(const CallScope&) = delete;

private:
    FtpSession& m_session;
};

// While a stop is settled or a transfer is being ended, the replies still due must be read, or
// a later command would take them for its own: abort() then no longer cuts a wait short, it
// starts the stop's clock, and every later wait of the scope ends by the stop's deadline
// (kStopWaitMs after the stop, shared by all of them).
class FtpSession::ReplyShield {
public:
    ReplyShield(FtpSession& session, bool stopping)
        : m_session(session), m_shielded(session.m_shielded), m_stopping(session.m_stopping) {
        m_session.m_shielded = true;
        if (stopping)
            m_session.startStopClock();
    }
    ~ReplyShield() {
        m_session.m_shielded = m_shielded;
        m_session.m_stopping = m_stopping;
    }
    ReplyShield(const ReplyShield&) = delete;
    ReplyShield& operator=(const ReplyShield&) = delete;

private:
    FtpSession& m_session;
    bool m_shielded;
    bool m_stopping;
};

} // namespace tw::ftp

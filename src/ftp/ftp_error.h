#pragma once

#include <string_view>

// Error numbers of the FTP engine. They follow the numbering of the Windows Internet API
// (12001-12174) so that callers written against that API's error codes keep their meaning.
// The user-visible texts live in the string table under the same ids; the English comment
// beside each code is what it means and what ErrorDescription() returns.
namespace tw::ftp {

// No error: the last call succeeded.
inline constexpr int kErrNone = 0;

// "There are no more files." A directory search found no (further) matching entry.
inline constexpr int kErrNoMoreFiles = 18;

// "No more handles could be generated at this time." (a socket or pipe could not be created)
inline constexpr int kErrOutOfHandles = 12001;
// "The request has timed out." (connect, reply, data connection or data idle wait expired)
inline constexpr int kErrTimeout = 12002;
// "An extended error was returned from the server." The server answered with an error reply;
// the reply is the last response text.
inline constexpr int kErrExtendedError = 12003;
// "An internal error has occurred."
inline constexpr int kErrInternalError = 12004;
// "The URL is invalid." (the command-line front end's URL could not be read)
inline constexpr int kErrInvalidUrl = 12005;
// "The URL scheme could not be recognized or is not supported."
inline constexpr int kErrUnrecognizedScheme = 12006;
// "The server name could not be resolved."
inline constexpr int kErrNameNotResolved = 12007;
// "The request was cancelled because the session is shutting down."
inline constexpr int kErrShutdown = 12012;
// "The request to connect and log on to an FTP server could not be completed because the
// supplied user name is incorrect."
inline constexpr int kErrIncorrectUserName = 12013;
// "The request to connect and log on to an FTP server could not be completed because the
// supplied password is incorrect."
inline constexpr int kErrIncorrectPassword = 12014;
// "The request to connect to and log on to an FTP server failed."
inline constexpr int kErrLoginFailure = 12015;
// "The requested operation is invalid." (a path or name with CR, LF or NUL, an empty name)
inline constexpr int kErrInvalidOperation = 12016;
// "The operation was cancelled." (abort() from another thread)
inline constexpr int kErrOperationCancelled = 12017;
// "The type of handle supplied is incorrect for this operation." (read on a file opened for
// writing, and the reverse)
inline constexpr int kErrIncorrectHandleType = 12018;
// "The requested operation cannot be carried out because the handle supplied is not in the
// correct state." (no session, no open file or search)
inline constexpr int kErrIncorrectHandleState = 12019;
// "The attempt to connect to the server failed."
inline constexpr int kErrCannotConnect = 12029;
// "The connection with the server has been terminated." (closed early, endless line or reply)
inline constexpr int kErrConnectionAborted = 12030;
// "The connection with the server has been reset."
inline constexpr int kErrConnectionReset = 12031;
// "The requested operation cannot be made on the FTP session handle because an operation is
// already in progress." (a command while a file or search is open)
inline constexpr int kErrFtpTransferInProgress = 12110;
// "The FTP operation was not completed because the session was aborted." (421, or the control
// connection was lost)
inline constexpr int kErrFtpDropped = 12111;
// "Passive mode is not available on this server."
inline constexpr int kErrFtpNoPassiveMode = 12112;
// "The server response could not be parsed." (a malformed reply, a 257 without its quotes)
inline constexpr int kErrInvalidServerResponse = 12152;

// FTP over TLS. The Windows Internet API has no numbers for these, so they follow its range.
// "The server does not offer FTP over TLS." (AUTH refused where encryption is required)
inline constexpr int kErrTlsUnavailable = 12180;
// "The secure connection with the server could not be established." (the handshake failed,
// or the server answered in clear where TLS was expected)
inline constexpr int kErrTlsHandshake = 12181;
// "The server's certificate is not signed by a trusted authority." (self-signed, unknown
// issuer)
inline constexpr int kErrCertificateUntrusted = 12182;
// "The server's certificate was issued for another name."
inline constexpr int kErrCertificateName = 12183;
// "The server's certificate has expired or is not valid yet."
inline constexpr int kErrCertificateExpired = 12184;
// "The server's certificate is invalid." (another failed check, or not the pinned one)
inline constexpr int kErrCertificateInvalid = 12185;
// "The server refused to protect the data connection." (PBSZ or PROT P refused)
inline constexpr int kErrTlsProtectionRefused = 12186;
// "The secure data connection could not be established." (its handshake failed, or the server
// refused it, as servers that require the control connection's TLS session to be reused do)
inline constexpr int kErrTlsDataConnection = 12187;
// "The secure connection was closed without its proper end." (no close_notify before the end
// of a transfer whose size cannot be confirmed otherwise)
inline constexpr int kErrTlsTruncated = 12188;

// "The server sent fewer bytes than the file's size: the transfer was cut short." (a download
// that ended before the size the server announced, whatever its final reply said)
inline constexpr int kErrShortTransfer = 12189;
// "The server ignored the restart offset and sent the file from its start." (a download resumed
// with REST that brought more than the rest of the file: the transfer is aborted before any byte
// beyond it is handed on)
inline constexpr int kErrRestartIgnored = 12190;

// "The listing is too large: only its beginning was read." (a listing past the bounds of
// SessionOptions::listingLimits: the entries read up to there are kept)
inline constexpr int kErrListingTooLarge = 12191;
// "Too many name lookups are still waiting for an answer." (the name server does not answer;
// no further lookup is started until the earlier ones end)
inline constexpr int kErrTooManyLookups = 12192;
// A protected download of unknown size ended without close_notify (see FtpSession).
inline constexpr int kErrTlsEndUnconfirmed = 12193;

// SSH and SFTP, beside the ranges above. An SFTP status reply is 12210 plus its status number,
// the server's message in lastResponse().
// An unknown host key that was not accepted (SftpSession::rejectedHostKey() describes it).
inline constexpr int kErrSshHostKeyUnknown = 12200;
// The host key differs from the one known_hosts holds for the host: never accepted.
inline constexpr int kErrSshHostKeyChanged = 12201;
// Every login method offered (key, agent, password) was refused.
inline constexpr int kErrSshAuthRefused = 12202;
// The private key file is missing, unreadable, of an unknown format or readable by others.
inline constexpr int kErrSshKeyFile = 12203;
// The key's passphrase was wrong or not given.
inline constexpr int kErrSshKeyPassphrase = 12204;
// No agent is running, or it holds no key the server takes.
inline constexpr int kErrSshAgent = 12205;
// The SSH server refused the sftp subsystem.
inline constexpr int kErrSshNoSftp = 12206;
// Any other SSH failure: the library's words in lastResponse().
inline constexpr int kErrSshFailure = 12207;
// SFTP status 1 (SSH_FX_EOF) where data was expected.
inline constexpr int kErrSftpEndOfFile = 12211;
// SFTP status 2 (SSH_FX_NO_SUCH_FILE).
inline constexpr int kErrSftpNoSuchFile = 12212;
// SFTP status 3 (SSH_FX_PERMISSION_DENIED).
inline constexpr int kErrSftpPermissionDenied = 12213;
// SFTP status 4 (SSH_FX_FAILURE): an existing name, a folder not empty, ....
inline constexpr int kErrSftpFailure = 12214;
// SFTP status 5 (SSH_FX_BAD_MESSAGE), or a reply the engine cannot read.
inline constexpr int kErrSftpBadMessage = 12215;
// SFTP status 6 (SSH_FX_NO_CONNECTION).
inline constexpr int kErrSftpNoConnection = 12216;
// SFTP status 7 (SSH_FX_CONNECTION_LOST).
inline constexpr int kErrSftpConnectionLost = 12217;
// SFTP status 8 (SSH_FX_OP_UNSUPPORTED).
inline constexpr int kErrSftpUnsupported = 12218;
inline constexpr int kFirstSshError = 12200;
inline constexpr int kLastSshError = 12218;

// Whether `code` is an SFTP status reply (the server's own refusal, its message in
// lastResponse()).
constexpr bool IsSftpStatus(int code) {
    return code >= kErrSftpEndOfFile && code <= kErrSftpUnsupported;
}

// Whether `code` is an SSH login or host key failure: the same attempt fails again until the
// user changes something (a key, a password, known_hosts), so it is never retried.
constexpr bool IsSshRefusal(int code) {
    return code >= kErrSshHostKeyUnknown && code <= kErrSshNoSftp;
}

// Whether `code` is a refused certificate (kErrCertificateUntrusted through Invalid), for which
// FtpSession::rejectedCertificate() describes the certificate.
constexpr bool IsCertificateError(int code) {
    return code >= kErrCertificateUntrusted && code <= kErrCertificateInvalid;
}

// The English description of a code above ("Unknown error" for others).
std::string_view ErrorDescription(int code);

} // namespace tw::ftp

#include "ftp/ftp_error.h"

namespace tw::ftp {

std::string_view ErrorDescription(int code) {
    switch (code) {
    case kErrNone:
        return "The operation completed successfully.";
    case kErrNoMoreFiles:
        return "There are no more files.";
    case kErrOutOfHandles:
        return "No more handles could be generated at this time.";
    case kErrTimeout:
        return "The request has timed out.";
    case kErrExtendedError:
        return "An extended error was returned from the server.";
    case kErrInternalError:
        return "An internal error has occurred.";
    case kErrInvalidUrl:
        return "The URL is invalid.";
    case kErrUnrecognizedScheme:
        return "The URL scheme could not be recognized or is not supported.";
    case kErrNameNotResolved:
        return "The server name could not be resolved.";
    case kErrShutdown:
        return "The request was cancelled because the session is shutting down.";
    case kErrIncorrectUserName:
        return "The user name was refused by the server.";
    case kErrIncorrectPassword:
        return "The password was refused by the server.";
    case kErrLoginFailure:
        return "The request to connect to and log on to an FTP server failed.";
    case kErrInvalidOperation:
        return "The requested operation is invalid.";
    case kErrOperationCancelled:
        return "The operation was cancelled.";
    case kErrIncorrectHandleType:
        return "The type of handle supplied is incorrect for this operation.";
    case kErrIncorrectHandleState:
        return "The handle supplied is not in the correct state for this operation.";
    case kErrCannotConnect:
        return "The attempt to connect to the server failed.";
    case kErrConnectionAborted:
        return "The connection with the server has been terminated.";
    case kErrConnectionReset:
        return "The connection with the server has been reset.";
    case kErrFtpTransferInProgress:
        return "An operation is already in progress on this FTP session.";
    case kErrFtpDropped:
        return "The FTP operation was not completed because the session was aborted.";
    case kErrFtpNoPassiveMode:
        return "Passive mode is not available on this server.";
    case kErrInvalidServerResponse:
        return "The server response could not be parsed.";
    case kErrTlsUnavailable:
        return "The server does not offer FTP over TLS.";
    case kErrTlsHandshake:
        return "The secure connection with the server could not be established.";
    case kErrCertificateUntrusted:
        return "The server's certificate is not signed by a trusted authority.";
    case kErrCertificateName:
        return "The server's certificate was issued for another name.";
    case kErrCertificateExpired:
        return "The server's certificate has expired or is not valid yet.";
    case kErrCertificateInvalid:
        return "The server's certificate is invalid.";
    case kErrTlsProtectionRefused:
        return "The server refused to protect the data connection.";
    case kErrTlsDataConnection:
        return "The secure data connection could not be established.";
    case kErrTlsTruncated:
        return "The secure connection was closed without its proper end.";
    case kErrShortTransfer:
        return "The server sent fewer bytes than the file's size: the transfer was cut short.";
    case kErrRestartIgnored:
        return "The server ignored the restart offset and sent the file from its start.";
    case kErrListingTooLarge:
        return "The listing is too large: only its beginning was read.";
    case kErrTooManyLookups:
        return "Too many name lookups are still waiting for an answer.";
    case kErrTlsEndUnconfirmed:
        return "The server did not confirm the end of the encrypted download, and its size is "
               "unknown: the file may be incomplete.";
    case kErrSshHostKeyUnknown:
        return "The server's host key is not known: it was not accepted.";
    case kErrSshHostKeyChanged:
        return "WARNING: the server's host key has changed. Someone may be intercepting the "
               "connection, or the server's key was replaced.";
    case kErrSshAuthRefused:
        return "The server refused every way of logging in that was offered.";
    case kErrSshKeyFile:
        return "The private key file could not be used.";
    case kErrSshKeyPassphrase:
        return "The passphrase of the private key is wrong.";
    case kErrSshAgent:
        return "The SSH agent holds no key the server accepts.";
    case kErrSshNoSftp:
        return "The server does not offer SFTP.";
    case kErrSshFailure:
        return "The SSH connection failed.";
    case kErrSftpEndOfFile:
        return "The server reported the end of the file.";
    case kErrSftpNoSuchFile:
        return "No such file or folder on the server.";
    case kErrSftpPermissionDenied:
        return "The server denied permission.";
    case kErrSftpFailure:
        return "The server could not carry out the request.";
    case kErrSftpBadMessage:
        return "The server did not understand the request.";
    case kErrSftpNoConnection:
        return "The server has no connection.";
    case kErrSftpConnectionLost:
        return "The connection to the server was lost.";
    case kErrSftpUnsupported:
        return "The server does not support this operation.";
    default:
        return "Unknown error";
    }
}

} // namespace tw::ftp

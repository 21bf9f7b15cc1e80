#include "core/text/string_table_data.h"

namespace tw::strings {

namespace {
// Texts of the FTP error numbers 12001-12174, one per number under the number itself. The
// numbering is that of the Windows Internet API, so its usual descriptions are kept for the
// codes this program never produces. Numbers the API leaves unused have no entry (a report
// then shows an empty text); 12056, 12057 and 12173 hold a blank.
const StringEntry kFtpErrors[] = {
    {12001, u"No more handles could be generated at this time."},
    {12002, u"The request has timed out."},
    {12003, u"An extended error was returned from the server. This is typically a string or buffer "
            u"containing a verbose error message. The server's reply follows."},
    {12004, u"An internal error has occurred."},
    {12005, u"The URL is invalid."},
    {12006, u"The URL scheme could not be recognized, or is not supported."},
    {12007, u"The server name could not be resolved."},
    {12008, u"The requested protocol could not be located."},
    {12009, u"A request to query or set an option specified an invalid option value."},
    {12010, u"The length of an option supplied to query or set an option is incorrect for the "
            u"type of option specified."},
    {12011, u"The request option cannot be set, only queried."},
    {12012, u"The request was canceled because the FTP session is shutting down."},
    {12013, u"The request to connect and log on to an FTP server could not be completed because "
            u"the supplied user name is incorrect."},
    {12014, u"The request to connect and log on to an FTP server could not be completed because "
            u"the supplied password is incorrect."},
    {12015, u"The request to connect to and log on to an FTP server failed."},
    {12016, u"The requested operation is invalid."},
    {12017, u"The operation was canceled, usually because the handle on which the request was "
            u"operating was closed before the operation completed."},
    {12018, u"The type of handle supplied is incorrect for this operation."},
    {12019, u"The requested operation cannot be carried out because the handle supplied is not in "
            u"the correct state."},
    {12020, u"The request cannot be made via a proxy."},
    {12021, u"A required registry value could not be located."},
    {12022, u"A required registry value was located but is an incorrect type or has an invalid "
            u"value."},
    {12023, u"Direct network access cannot be made at this time."},
    {12024, u"An asynchronous request could not be made because a zero context value was "
            u"supplied."},
    {12025, u"An asynchronous request could not be made because a callback function has not been "
            u"set."},
    {12026, u"The required operation could not be completed because one or more requests are "
            u"pending."},
    {12027, u"The format of the request is invalid."},
    {12028, u"The requested item could not be located."},
    {12029, u"The attempt to connect to the server failed."},
    {12030, u"The connection with the server has been terminated."},
    {12031, u"The connection with the server has been reset."},
    {12032, u"The request needs to be made again."},
    {12033, u"The request to the proxy was invalid."},
    {12034, u"A user interface or other blocking operation has been requested."},
    {12036, u"The request failed because the handle already exists."},
    {12037, u"The date of the SSL certificate received from the server is bad. The certificate "
            u"has expired."},
    {12038, u"The common name (host name field) of the SSL certificate is incorrect. For example, "
            u"www.server.com was requested and the certificate names www.different.com."},
    {12039, u"The application is moving from a non-SSL to an SSL connection because of a "
            u"redirect."},
    {12040, u"The application is moving from an SSL to a non-SSL connection because of a "
            u"redirect."},
    {12041, u"The content is not entirely secure. Some of the content being viewed may have come "
            u"from unsecured servers."},
    {12042, u"The application is posting and attempting to change multiple lines of text on a "
            u"server that is not secure."},
    {12043, u"The application is posting data to a server that is not secure."},
    {12044, u"The server is requesting client authentication."},
    {12045, u"The certificate authority that generated the server's certificate is unknown."},
    {12046, u"Client authorization is not set up on this computer."},
    {12047, u"The application could not start an asynchronous thread."},
    {12048, u"The redirection could not be handled because the scheme changed (for example, HTTP "
            u"to FTP)."},
    {12049, u"Another thread has a password dialog box in progress."},
    {12050, u"The dialog box should be retried."},
    {12052, u"The data being submitted to an SSL connection is being redirected to a non-SSL "
            u"connection."},
    {12053, u"The request requires a CD-ROM to be inserted in the CD-ROM drive to locate the "
            u"resource requested."},
    {12054, u"The requested resource requires Fortezza authentication."},
    {12055, u"The SSL certificate contains errors."},
    {12056, u" "},
    {12057, u" "},
    {12110, u"The requested operation cannot be made on the FTP session handle because an "
            u"operation is already in progress."},
    {12111, u"The FTP operation was not completed because the session was aborted."},
    {12112, u"Passive mode is not available on the server."},
    {12130, u"An error was detected while parsing data returned from the Gopher server."},
    {12131, u"The request must be made for a file locator."},
    {12132, u"An error was detected while receiving data from the Gopher server."},
    {12133, u"The end of the data has been reached."},
    {12134, u"The supplied locator is not valid."},
    {12135, u"The type of the locator is not correct for this operation."},
    {12136, u"The requested operation can be made only against a Gopher+ server, or with a locator "
            u"that specifies a Gopher+ operation."},
    {12137, u"The requested attribute could not be located."},
    {12138, u"The locator type is unknown."},
    {12150, u"The requested header could not be located."},
    {12151, u"The server did not return any headers."},
    {12152, u"The server response could not be parsed."},
    {12153, u"The supplied header is invalid."},
    {12154, u"The request made to query the headers is invalid."},
    {12155, u"The header could not be added because it already exists."},
    {12156, u"The redirection failed because either the scheme changed (for example, HTTP to FTP) "
            u"or all attempts made to redirect failed."},
    {12157, u"An internal error occurred while loading the SSL libraries."},
    {12158, u"The file could not be cached."},
    {12159, u"The required protocol stack is not loaded."},
    {12160, u"The HTTP request was not redirected."},
    {12161, u"The HTTP cookie requires confirmation."},
    {12162, u"The HTTP cookie was declined by the server."},
    {12163, u"The Internet connection has been lost."},
    {12164, u"The web site or server indicated is unreachable."},
    {12165, u"The designated proxy server cannot be reached."},
    {12166, u"There was an error in the automatic proxy configuration script."},
    {12167, u"The automatic proxy configuration script could not be downloaded."},
    {12168, u"The redirection requires user confirmation."},
    {12169, u"The SSL certificate is invalid."},
    {12170, u"The SSL certificate was revoked."},
    {12171, u"The function failed due to a security check."},
    {12172, u"The Internet session has not been opened yet."},
    {12173, u" "},
    {12174, u"The server asked for the credentials of this realm to be discarded."},
    // FTP over TLS, beside the range above.
    {12180, u"The server does not offer FTP over TLS."},
    {12181, u"The secure connection with the server could not be established."},
    {12182, u"The server's certificate is not signed by a trusted authority."},
    {12183, u"The server's certificate was issued for another name."},
    {12184, u"The server's certificate has expired or is not valid yet."},
    {12185, u"The server's certificate is invalid."},
    {12186, u"The server refused to protect the data connection."},
    {12187, u"The secure data connection could not be established."},
    {12188, u"The secure connection was closed without its proper end."},
    // A download that ended before the size the server announced.
    {12189, u"The server sent fewer bytes than the file's size: the transfer was cut short."},
    {12190, u"The server ignored the restart offset and sent the file from its start."},
    // A listing past its bounds; name lookups that never end.
    {12191, u"The listing is too large: only its beginning was read."},
    {12192, u"Too many name lookups are still waiting for an answer."},
    {12193, u"The server did not confirm the end of the encrypted download, and its size is "
            u"unknown: the file may be incomplete."},
    // SSH and SFTP; an SFTP status is 12210 plus its number.
    {12200, u"The server's host key is not known: it was not accepted."},
    {12201, u"WARNING: the server's host key has changed. Someone may be intercepting the "
            u"connection, or the server's key was replaced."},
    {12202, u"The server refused every way of logging in that was offered."},
    {12203, u"The private key file could not be used."},
    {12204, u"The passphrase of the private key is wrong."},
    {12205, u"The SSH agent holds no key the server accepts."},
    {12206, u"The server does not offer SFTP."},
    {12207, u"The SSH connection failed."},
    {12211, u"The server reported the end of the file."},
    {12212, u"No such file or folder on the server."},
    {12213, u"The server denied permission."},
    {12214, u"The server could not carry out the request."},
    {12215, u"The server did not understand the request."},
    {12216, u"The server has no connection."},
    {12217, u"The connection to the server was lost."},
    {12218, u"The server does not support this operation."},
};
} // namespace

std::span<const StringEntry> FtpErrorStrings() {
    return kFtpErrors;
}

} // namespace tw::strings

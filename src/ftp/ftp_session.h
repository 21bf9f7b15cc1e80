#pragma once

// FtpSession: one FTP control connection with the calls a Windows Internet API client makes.
//
// Every call is synchronous and blocks the calling (worker) thread. Only abort() may be called
// from another thread. Every wait has a bound, T being `SessionOptions::timeoutMs`:
//   - a reply: complete within T from the moment its wait starts, however its bytes or lines
//     trickle in; preliminary replies (1xx) before a final one count against the same T (the
//     greeting's "120" too). A transfer's final reply gets its T when the data has ended, so a
//     long transfer is fine;
//   - a connect (control or data), and the server's connection in active mode: T;
//   - a data connection: T without a byte (idle); a listing also ends when it comes slower
//     than 1 KiB/s on average (its deadline is T plus a second per KiB received);
//   - EPSV then PASV: one T for both (EPSV's answer at most min(T / 2, 5 s));
//   - ABOR's answers, and everything a stop still reads: all together min(T, 1 s).
// So a server that stops answering costs T, plus at most a second where ABOR must be said.
//
//   FtpSession s;                                   // InternetOpen
//   SessionOptions o; o.host = "ftp.example.org";   // o.user empty: anonymous login
//   if (!s.connect(o)) report(s.lastError(), s.lastResponse());      // InternetConnect
//   s.setCurrentDirectory("/pub");                  // FtpSetCurrentDirectory
//   std::string cwd; s.getCurrentDirectory(cwd);    // FtpGetCurrentDirectory
//   DirEntry e;                                     // FtpFindFirstFile / InternetFindNextFile
//   for (bool ok = s.findFirstFile("/pub/*.txt", e); ok; ok = s.findNextFile(e)) use(e);
//   s.findClose();                                  // lastError() is kErrNoMoreFiles at the end
//   s.openFile("/pub/a.txt", FtpSession::OpenMode::Read);            // FtpOpenFile
//   std::size_t n = 0; while (s.readFile(buf, 4096, n) && n > 0) ...  // InternetReadFile
//   if (!s.closeFile()) report(...);                // the transfer's final reply decides
//   s.openFile("b.bin", FtpSession::OpenMode::Write); s.writeFile(p, len, n); s.closeFile();
//   s.openFile("/pub/a.txt", FtpSession::OpenMode::Read, {partSize, listedSize}); // resume
//   s.fileSize("/pub/a.txt");                       // SIZE
//   s.createDirectory(p); s.removeDirectory(p); s.deleteFile(p); s.renameFile(from, to);
//   s.chmod(p, 0755);                               // SITE CHMOD 755 p
//   s.close();                                      // QUIT, InternetCloseHandle
//
// Results: each call returns true on success. On failure lastError() holds a number from
// ftp/ftp_error.h (12003 when the server answered with an error) and lastResponse() every line
// of the server's last reply ("\r\n" between lines). lastError() is kErrNone after a success.
//
// Names and paths are byte strings: a name taken from a DirEntry can be passed back unchanged
// (even when it is not valid UTF-8). Arguments containing CR, LF or NUL are refused with
// kErrInvalidOperation before anything is sent. DirEntry::unsafeName marks names that must not
// be used as local file names as they are (see IsSafeLocalName in ftp/name_safety.h).
//
// Directory search: findFirstFile() lists the directory part of the pattern (MLSD when the
// server offers it, else LIST) and keeps the entries whose name matches the last component
// under Windows wildcard rules ("*.*" is everything, case-insensitive); a last component
// without wildcards finds that one name. Only a listing that succeeded and held no match gives
// false with kErrNoMoreFiles. Every failure has its own number, with the server's words in
// lastResponse(): a listing refused (425, 426, 450, 550: kErrExtendedError), the session lost
// (421 or a closed control connection: kErrFtpDropped), a data connection that could not be
// made (kErrCannotConnect), an answer or data that did not come (kErrTimeout). The listing is
// read completely by findFirstFile(), so the session is free again afterwards.
// A listing has bounds (SessionOptions::listingLimits): a line longer than lineBytes is no
// entry (it is skipped and counted with unreadableEntries()); past textBytes of listing, 4 M
// lines or entryBytes of kept entries the reading stops, the transfer is aborted (ABOR), the
// notice says "The listing is too large", and the entries read up to there are kept: the
// search gives them and then ends with kErrListingTooLarge instead of kErrNoMoreFiles (with no
// match among them, findFirstFile fails with it at once).
//
// Hidden files: LIST is sent as "LIST -a" (some servers, vsftpd among them, leave dot files
// out of a plain LIST). Where the server refuses the option (500-504), or takes it for a path
// (450/550, or an empty listing, while a plain LIST of the same folder succeeds with entries),
// the plain LIST is used for the rest of the session. Once "-a" has given entries it is
// trusted; the "." and ".." lines it adds are left out. MLSD always shows every name.
//
// Links: a symbolic link (LIST "l" lines, MLSD "OS.unix=slink" / "OS.unix=symlink") is
// EntryType::Link, never with the directory attribute, its name without " -> target" and
// linkTarget set where the listing names it. Whether it leads to a folder only a CWD can tell.
//
// Files: while a file is open (openFile until closeFile) any other command fails with
// kErrFtpTransferInProgress. readFile() fills the whole buffer unless the file ends; at the end
// it returns true with 0 bytes after checking the server's final reply (a failed transfer makes
// readFile and closeFile fail). A download that ended short of the size the server announced
// fails with kErrShortTransfer even when its final reply is a success; one longer than
// announced is a file that grew while it was sent (a log being written): it is what the file
// was when sent, so it succeeds on a success reply, told through SessionOptions::notice.
// Reads and writes are buffered below the block size, so small blocks do not cost a system
// call each. closeFile() on a download that has not reached its end aborts it (ABOR).
//
// Resuming: openFile() with OpenOptions::offset sends REST <offset> (decimal, 64-bit) right
// before RETR or STOR, after the data connection's EPSV / PASV / EPRT / PORT; an answer other
// than 350 fails openFile (kErrExtendedError, the server's words in lastResponse()) and the
// session stays usable, so the caller can start again from zero. Append sends APPE and never
// REST. A download's size is OpenOptions::knownSize when given (no SIZE is sent), else SIZE
// where FEAT offered it, else a fresh download's "(n bytes)" in its 150 reply (a resumed one's
// may name the whole file or what is left of it, so it is not used); openFileSize() is always
// the whole file's. With a size known, a resumed download counts from the offset: fewer bytes
// than the rest of the file is kErrShortTransfer, and more is a server that answered REST with
// 350 and sent the file from its start (or a file that grew since its size was known): the
// transfer is aborted with ABOR before a byte past the rest of the file is handed on, and
// readFile / readFileTo and closeFile fail with kErrRestartIgnored; the session stays usable.
// An offset past the known size fails with kErrInvalidOperation before anything is sent.
//
// What a file costs: TYPE I is sent once, at the login. A download is SIZE (unless knownSize is
// given), the data connection's command (EPSV / PASV / EPRT / PORT), the connection itself in
// passive mode, REST when resumed, and RETR; an upload the same without SIZE. MDTM and MFMT are
// sent only when asked. The transfer command waits for the data connection: sent ahead, it
// would leave a server whose data connection cannot be made waiting for it, where the
// fallbacks below need it free.
//
// Files into and from descriptors: readFileTo() / writeFileFrom() move the data of an open
// transfer straight between the data connection and a local file (splice / sendfile on Linux,
// a plain read / write loop where the kernel cannot, or where SessionOptions turns them off).
// When the local file fails, the call returns false with localError() set to its errno; the
// transfer stays open, so closeFile() then aborts it.
//
// Cancellation: abort() (any thread) makes the call in progress fail with
// kErrOperationCancelled, and an open transfer fails at its next read or write, even when the
// abort came between two of them. The session stays usable: a reply the call was waiting for
// (SIZE, a transfer's 150 or final 226, a listing's, CWD, DELE, RNFR / RNTO, ...) is still read;
// a transfer that had started (its 150 came, or data was flowing) is aborted with ABOR and the
// answers to ABOR are read (resynchronising with NOOP when the transfer's reply cannot be told
// from ABOR's); after any other reply, NOOP and its 200 mark the end of what was due. All of
// these waits together end within min(timeoutMs, 1 s) of the stop; only when the server does
// not answer in that time is the session closed. A further abort() while a stop is settled
// changes nothing. ABOR's answers get the same bound when closeFile() or abortFile() ends a
// transfer early, stop or no stop. An abort() while no call is in
// progress and no file is open is ignored: it never cancels a later call.
// A stopped upload sends ABOR before it resets its data connection, so the server does not
// take the cut for the end of the file (what it keeps of it is the caller's to remove, with the
// same session). A stop during connect() or close() leaves the session closed.
//
// A 421 reply at any point, or a lost control connection, closes the session: that call and
// every later one fail with kErrFtpDropped (a call being stopped still fails with
// kErrOperationCancelled; lastResponse() keeps the 421 text). A reply that
// does not come in time (kErrTimeout), or an overlong or malformed one, also closes it, since
// a late reply would be taken for the answer to the next command.
//
// A download counts as complete without its final reply when the control connection was lost
// or went silent after the data, provided the data connection ended with an orderly close and
// the bytes received equal the size the server announced beforehand (SIZE, or "(n bytes)" in
// its 150 reply): readFile / closeFile then succeed, the session is closed and the next call
// fails with kErrFtpDropped. Without an announced size, or for an upload (only the server can
// say it stored the file), the final reply decides as always.
//
// Connecting: the name lookup runs on a helper thread (one per connect) and is waited for up to
// timeoutMs (a lookup that never ends is left behind, its thread and result freed when it comes);
// numeric addresses need no lookup. At most kMaxPendingNameLookups lookups run at once in the
// process: beyond them connect() fails at once with kErrTooManyLookups. The addresses of a name are
// tried in turn, sharing one timeoutMs between them: each gets what is left divided by the
// addresses left, so a silent first address does not use up the time of the others. The greeting
// (after any 120) and every login reply then get timeoutMs each. abort() from another thread ends
// connect() at any stage with kErrOperationCancelled and leaves the session closed. The control
// connection sends TCP keepalives (idle 30 s, then every 10 s, 6 probes), so a NAT keeps its
// mapping through a long transfer. Port 0 means 21. Login refusals keep their numbers
// (kErrFtpDropped for a 421, kErrIncorrectUserName, kErrIncorrectPassword, kErrLoginFailure) with
// the server's reply lines in lastResponse().
//
// Data connections: passive tries EPSV, then PASV, within one timeoutMs: an EPSV without an
// answer within min(timeoutMs / 2, 5 s), or whose data connection fails (it gets half of what
// is left, PASV the rest), is not tried again in the session (a
// late EPSV answer is read and set aside, so it is never taken for the next command's). When
// the data connection of one mode cannot be made (passive: the connect fails; active: EPRT and
// PORT refused, or a 425 because the server could not reach us), the other mode is tried once
// and, where it works, used for the rest of the session. In active mode the control connection
// is watched while the server's connection is awaited, so a refusal is seen at once. Each
// fallback is told through SessionOptions::notice.
//
// Closing: close() on a session whose server has gone (a pending 421, a closed or reset
// connection, one already dropped) is a clean close: true with kErrNone. It fails only when a
// live server does not say goodbye in time (kErrTimeout) or refuses QUIT (kErrExtendedError).
//
// FTP over TLS (SessionOptions::tls): Explicit modes send AUTH TLS after the greeting and
// do the handshake before USER / PASS; Implicit starts TLS on the first byte (port 0: 990).
// ExplicitIfAvailable goes on in plain FTP only when AUTH is answered 500, 502, 504, 530 (a
// server without TLS refusing all before the login) or 534 (told through notice); any other
// answer gives kErrTlsUnavailable, as every refusal does in
// ExplicitRequired. No mode but Plain sends USER or PASS before the handshake succeeded: a
// handshake that fails, or a plain reply where TLS was expected, is kErrTlsHandshake. After
// the login PBSZ 0 and PROT P protect every data connection; a refusal is
// kErrTlsProtectionRefused in every mode, ExplicitIfAvailable included (the server took TLS,
// so files must not then move in clear). The certificate is checked against the system's
// trust store and caFile, the host name or address, and its dates: kErrCertificateUntrusted,
// Name, Expired or Invalid, with rejectedCertificate() describing it. A fingerprint in
// trustedFingerprints is accepted whatever the checks say; onlyTrustedFingerprints accepts
// nothing else; verifyCertificate false accepts anything. tlsState() then tells version,
// cipher and protection (cleared by close() and connect()).
// Data connections (listings and files, passive or active) are TLS clients resuming the
// control connection's session (TLS 1.3 tickets are kept as they arrive, one per data
// connection, since servers may take a ticket once); the handshake follows the transfer
// command's 150 reply. A data connection that fails its handshake or shows another
// certificate is kErrTlsDataConnection (the transfer's reply is read, the session stays).
// Uploads end with close_notify; a download may end with the server's close_notify or a bare
// close: a bare close short of the announced size is kErrTlsTruncated; a bare close when no
// size is known (SIZE refused, none in the 150) is kErrTlsEndUnconfirmed unless
// OpenOptions::acceptUnconfirmedEnd; otherwise the final reply decides, as in plain FTP. splice /
// sendfile are not used under TLS.
//
// Modification times: modificationTime() asks MDTM and setModificationTime() sends MFMT, each
// only where the server's FEAT listed it (a server whose FEAT leaves them out, or that refuses
// FEAT, is never asked). Times are seconds since 1970 UTC both ways, as RFC 3659 has them.
//
// Records: DirEntry (ftp/dir_entry.h) maps field by field onto a directory-search record:
// attributes (0x10 directory, 0x01 read-only, 0x02 hidden for dot names, 0x20 archive for
// files), creationTime / lastAccessTime / lastWriteTime in seconds since 1970 UTC (0 when the
// listing does not give them), a 64-bit size and the name's raw bytes. A server's own "." and
// ".." lines of a plain LIST are passed on as entries (unsafeName set); MLSD's cdir/pdir are not.

#include "ftp/canceller.h"
#include "ftp/dir_entry.h"
#include "ftp/ftp_reply.h"
#include "ftp/listing_parser.h"
#include "ftp/remote_session.h"
#include "ftp/socket.h"
#include "ftp/tls_types.h"
#include "ftp/zero_copy.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct addrinfo;

namespace tw::ftp {

// How connect() looks a host name up (getaddrinfo's signature); for tests, a resolver that
// never answers. nullptr: getaddrinfo itself. Lookups already running keep theirs.
using NameLookupFunction = int (*)(const char* host, const char* service, const addrinfo* hints,
                                   addrinfo** result);
void SetNameLookupFunction(NameLookupFunction function);
// The name lookups connect() started, in any session, that have not ended yet. At most
// kMaxPendingNameLookups run at once: a connect() that needs one more fails at once with
// kErrTooManyLookups (a name server that never answers cannot pile up threads).
int PendingNameLookups();
inline constexpr int kMaxPendingNameLookups = 8;

class FtpSession final : public RemoteSession {
public:
    static constexpr std::size_t kMaxLineLength = 8192;
    static constexpr const char* kAnonymousPassword = "anonymous@";

    FtpSession();
    ~FtpSession() override;

    Protocol protocol() const override { return Protocol::Ftp; }
    bool connect(const SessionOptions& options) override;
    // Sends QUIT (when connected) and closes; true when the session ended cleanly. Without
    // waitForGoodbye the connection is closed right after QUIT is sent (for a process that is
    // about to end and has nothing left to learn from the server).
    bool close(bool waitForGoodbye = true) override;
    bool isConnected() const override { return m_control.valid(); }
    // Who is told of SessionOptions::notice from now on (a session handed to another thread).
    void setNotice(std::function<void(const std::string&)> notice) override {
        m_options.notice = std::move(notice);
    }

    bool setCurrentDirectory(std::string_view path) override;
    bool getCurrentDirectory(std::string& path) override;
    bool createDirectory(std::string_view path) override;
    bool removeDirectory(std::string_view path) override;
    bool deleteFile(std::string_view path) override;
    bool renameFile(std::string_view from, std::string_view to) override;
    // SITE CHMOD <mode in octal> <path>: the permission bits (07777) of a file or folder.
    // A server without the command refuses it (500, 502, 504) or answers 550: kErrExtendedError
    // with its words in lastResponse().
    bool chmod(std::string_view path, std::uint16_t mode) override;

    bool findFirstFile(std::string_view pattern, DirEntry& entry) override;
    bool findNextFile(DirEntry& entry) override;
    void findClose() override;

    using RemoteSession::openFile;
    bool openFile(std::string_view path, OpenMode mode, const OpenOptions& options) override;
    bool readFile(void* buffer, std::size_t size, std::size_t& bytesRead) override;
    bool writeFile(const void* buffer, std::size_t size, std::size_t& bytesWritten) override;
    bool closeFile() override;
    // Ends the open transfer before its end: ABOR, and for an upload a reset data connection,
    // so the server does not take what it got for the whole file. Fails with
    // kErrOperationCancelled (the file was not transferred).
    bool abortFile() override;
    // The open download's next bytes (up to `size`) appended to the file `fd`; 0 bytes with
    // true at the end, after the final reply was checked (as readFile).
    bool readFileTo(int fd, std::size_t size, std::size_t& bytesMoved) override;
    // Up to `size` bytes of the file `fd` (from its offset) sent on the open upload; fewer
    // when the file ended.
    bool writeFileFrom(int fd, std::size_t size, std::size_t& bytesMoved) override;
    // The errno of the local file when the last readFileTo / writeFileFrom failed on it, else 0.
    int localError() const override { return m_localErrno; }
    // The size of the whole file being read (from SIZE, OpenOptions::knownSize or the 150
    // reply), when known; a resumed download's bytes start at OpenOptions::offset of it.
    std::optional<std::uint64_t> openFileSize() const override { return m_expectedSize; }
    // SIZE (RFC 3659): the file's size in bytes; nullopt when FEAT did not offer SIZE
    // (kErrInvalidOperation), the server refused (kErrExtendedError, its words in
    // lastResponse()) or answered something unreadable (kErrInvalidServerResponse).
    std::optional<std::uint64_t> fileSize(std::string_view path) override;

    // Whether `path` names an existing file or folder, asked without changing any state: MLST
    // where FEAT offered it (2xx: true, 550: false), else SIZE where offered (213: true; a 550
    // says nothing, since SIZE fails on folders too). nullopt when the server cannot tell;
    // lastError() is kErrNone when the server answered, else the failure's number.
    std::optional<bool> pathExists(std::string_view path) override;
    // MDTM (RFC 3659): the file's modification time in seconds since 1970 UTC; nullopt when the
    // server does not offer MDTM in FEAT, refuses it, or answers something unreadable
    // (lastError tells: kErrInvalidOperation, kErrExtendedError, kErrInvalidServerResponse).
    std::optional<std::int64_t> modificationTime(std::string_view path) override;
    // Whether FEAT offered MFMT.
    bool canSetModificationTime() const override { return m_hasMfmt; }
    // MFMT YYYYMMDDHHMMSS path: sets the file's modification time (UTC); false with
    // kErrInvalidOperation when MFMT is not offered (or the time is outside the years
    // 1000-9999), else the server's refusal.
    bool setModificationTime(std::string_view path, std::int64_t secondsUtc) override;
    // The file's digest: HASH (draft-bryan-ftpext-hash) where FEAT offers it, with the
    // strongest algorithm of its list selected by OPTS HASH when it is not already; else
    // XSHA256, XSHA512, XSHA1 or XMD5 (those FEAT names, else XSHA256 and XMD5 tried, a command
    // the server does not know never sent again). nullopt with kErrInvalidOperation when the
    // server has none, kErrExtendedError when it refused the file, kErrInvalidServerResponse
    // when no digest could be read from the reply.
    std::optional<FileChecksum> fileChecksum(std::string_view path) override;
    // Whether the server compares names without regard to case: its SYST reply (asked at
    // login) names a Windows system, as "215 Windows_NT" does.
    bool namesIgnoreCase() const override { return m_system == ListingFamily::Dos; }
    // The listing dialect the SYST reply named (Unknown when it named none in particular).
    ListingFamily systemFamily() const { return m_system; }
    // Lines of the last listing that could not be read as entries (totals and blank lines
    // aside), and the first of them. A listing with such lines also tells SessionOptions::notice
    // how many there were.
    std::size_t unreadableEntries() const override { return m_unreadable; }
    const std::string& firstUnreadableEntry() const override { return m_firstUnreadable; }
    // The control connection's descriptor (-1 when closed), for inspecting its socket options
    // only: never read, write or close it.
    int controlDescriptor() const { return m_control.fd(); }

    // Sends a raw command and reads its reply (success for 1xx-3xx replies).
    bool sendCommand(std::string_view command, FtpReply& reply);

    // NOOP.
    bool keepAlive() override;
    void abort() override { m_cancel.cancel(); }

    int lastError() const override { return m_lastError; }
    const std::string& lastResponse() const override { return m_lastResponse; }
    bool usesMlsd() const { return m_hasMlsd; }
    bool exactListings() const override { return m_hasMlsd; }
    bool usesUtf8() const { return m_utf8; }
    // The control connection's TLS (version empty while plain, or not connected).
    const TlsState& tlsState() const override { return m_tls; }
    // The certificate that made the last connect() fail with kErrCertificateUntrusted, Name,
    // Expired or Invalid; nullopt after any other outcome. A caller may show it, and connect
    // again with its fingerprint in SessionOptions::trustedFingerprints.
    const std::optional<CertificateInfo>& rejectedCertificate() const override {
        return m_rejected;
    }
    const std::optional<HostKeyInfo>& rejectedHostKey() const override { return m_noHostKey; }

private:
    enum class FileState { None, Reading, Writing };
    class CallScope;
    class ReplyShield;

    bool fail(int error);
    bool succeed();
    bool checkReady(std::string_view argument);
    bool checkReady(std::string_view a, std::string_view b);
    int sendLine(std::string_view line);
    int readLine(std::string& line, Deadline deadline);
    int readReply(FtpReply& reply, int timeoutMs = -1);
    int readReplyBy(FtpReply& reply, Deadline deadline);
    int readFinalReply(FtpReply& reply, Deadline deadline);
    int readReplyLines(FtpReplyReader& reader, FtpReply& reply, Deadline deadline);
    int settleStoppedReply(FtpReplyReader& reader, Deadline deadline);
    int resynchronise();
    void startStopClock();
    Deadline bounded(Deadline deadline) const;
    int command(std::string_view line, FtpReply& reply);
    int commandFirstReply(std::string_view line, FtpReply& reply);
    bool simpleCommand(std::string_view verb, std::string_view argument);
    void dropSession();
    int replyError(const FtpReply& reply);
    void handleCancel();
    bool cancelTransfer(FileState state);

    bool failConnect(int error, bool sayGoodbye = true);
    int resolve(std::vector<SocketAddress>& addresses);
    int connectControl();
    int login(const SessionOptions& options);
    int secureControl();
    int negotiateTls();
    int protectData();
    int secureData();
    int readFeatures();
    int askMlstFacts(std::string_view offered);
    int readSystem();
    void tell(const std::string& text) const;
    int openDataConnection(std::string_view commandLine, FtpReply& firstReply,
                           std::uint64_t restartAt = 0);
    int askSize(std::string_view path, std::optional<std::uint64_t>& size);
    std::optional<std::uint64_t> restartAllowance() const;
    int openPassive();
    int openActiveListener();
    int awaitServerConnection(FtpReply& reply);
    int runListing(std::string_view commandLine, bool mlsd, std::string_view mask, FtpReply& reply,
                   std::size_t& parsed);
    int fillReadBuffer(int timeoutMs = -1);
    int flushWriteBuffer();
    int finishTransfer();
    void abortTransfer();
    void sendAbort();
    int abortStartedTransfer();
    void resetFile();
    int awaitAbortAnswer();
    std::optional<bool> transferGate(FileState state);
    bool failRead(int err);
    bool finishRead();
    bool failWrite(int err);
    int readListing(std::string_view directory, std::string_view mask);
    bool controlHasData(int timeoutMs);

    SessionOptions m_options;
    Socket m_control;
    SocketAddress m_peer;
    SocketAddress m_local;
    std::string m_controlBuffer;
    std::size_t m_controlPos = 0;
    Canceller m_cancel;

    int m_lastError = 0;
    std::string m_lastResponse;

    bool m_hasMlsd = false;
    bool m_hasMlst = false;
    bool m_utf8 = false;
    bool m_hasSize = false;
    bool m_hasMdtm = false;
    bool m_hasMfmt = false;
    // Digests: HASH's algorithms as FEAT lists them and the one selected now; the X commands
    // FEAT named, or those still worth a try when it named none.
    std::vector<std::string> m_hashAlgorithms;
    std::string m_hashSelected;
    std::vector<std::string> m_digestCommands;
    bool m_digestCommandsListed = false;
    ListingFamily m_system = ListingFamily::Unknown;
    std::size_t m_unreadable = 0;
    std::string m_firstUnreadable;
    // "LIST -a": not yet known, gave entries, or refused / taken for a path.
    enum class ListAll { Unknown, Works, Refused };
    ListAll m_listAll = ListAll::Unknown;
    bool m_epsvFailed = false;
    bool m_eprtFailed = false;
    bool m_dropped = false;
    bool m_ready = false;    // logged in: a stop during a reply wait keeps the session
    bool m_shielded = false; // replies still due are being read: abort() only bounds waits
    bool m_stopping = false; // a stop is being settled: waits end by m_stopDeadline
    Deadline m_stopDeadline{};

    // The data connection of the transfer in progress.
    FileState m_fileState = FileState::None;
    Socket m_data;
    Socket m_listener;
    bool m_dataOpen = false;
    bool m_dataEof = false;
    bool m_finalReplyRead = false;
    bool m_completeWithoutReply = false;
    int m_transferResult = 0;
    std::vector<char> m_buffer;
    std::size_t m_bufferPos = 0;
    std::size_t m_bufferLen = 0;
    std::uint64_t m_transferred = 0;
    std::optional<std::uint64_t> m_expectedSize;
    std::uint64_t m_restartOffset = 0; // the open download started there (REST)
    int m_localErrno = 0;
    std::unique_ptr<SplicePipe> m_splice;
    bool m_spliceFailed = false;
    bool m_sendfileFailed = false;

    TlsState m_tls;
    std::optional<CertificateInfo> m_rejected;
    std::optional<HostKeyInfo> m_noHostKey; // never set: FTP has no host keys
    std::unique_ptr<TlsContext> m_tlsContext;
    bool m_dataTruncated = false;        // the data connection ended without close_notify
    bool m_acceptUnconfirmedEnd = false; // OpenOptions::acceptUnconfirmedEnd of this file
    bool m_grewTold = false;             // the download's growth was told through notice

    // The matches of the last directory search.
    std::vector<DirEntry> m_found;
    std::size_t m_foundNext = 0;
    bool m_listingTooLarge = false; // the search ends with kErrListingTooLarge, not NoMoreFiles
};

} // namespace tw::ftp

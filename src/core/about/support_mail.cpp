#include "core/about/support_mail.h"

#include "core/text/messages.h"
#include "platform/launcher.h"

#include <QCoreApplication>
#include <QTimer>
#include <QUrl>
#include <QUrlQuery>

#include <array>
#include <cerrno>
#include <memory>
#include <utility>

namespace tw {

namespace {

constexpr int kMailCommand = 996;
constexpr int kCaptionId = 1000;
constexpr int kProductNameId = 1002;
constexpr int kVersionId = 1019;
constexpr int kNoMailProgramId = 60101;
constexpr unsigned kCancelled = 1;
// xdg-email's status when the desktop has no mail program for it to start.
constexpr int kXdgToolMissing = 3;

const std::array<const char16_t*, kMailResultCount> kMailResults = {
    u"mAPI operation completed successfully",
    u"\rmAPI operation canceled by user.",
    u"mAPI request failed",
    u"mAPI login failed",
    u"mAPI disk is full",
    u"Insufficient memory for mAPI operations",
    u"Access denied to mAPI operation",
    u"Undefined mAPI error detected",
    u"Too many mAPI sessions",
    u"Too many mAPI files",
    u"Too many mAPI recipients specified",
    u"mAPI file attachment NOT found",
    u"mAPI file attachment could not be opened",
    u"mAPI file attachment could not be written",
    u"mAPI recipient unknown",
    u"Invalid mAPI recipient type detected",
    u"No mAPI messages found",
    u"Invalid mAPI message detected",
    u"mAPI message too large",
    u"Invalid maPI message session",
    u"mAPI type NOT supported",
    u"Ambiguous mAPI message recipient",
    u"mAPI message is in use",
    u"mAPI network failure detected",
    u"Invalid mAPI message edit fields",
    u"Invalid mAPI message recipients",
    u"mAPI function NOT supported",
};

const QString kErrorFormat = QStringLiteral("\rmAPI error detected.\r\r%s.\rError Code: %u");

} // namespace

QString MailResultText(unsigned code) {
    return QString::fromUtf16(kMailResults[code < kMailResultCount ? code : kMailUndefinedError]);
}

bool ReportMailResult(const Messages& messages, unsigned code) {
    if (code == 0)
        return true;
    const QString caption = messages.LoadStringText(kCaptionId);
    if (code == kCancelled)
        messages.SystemInfoBox(caption, MailResultText(kCancelled));
    else
        messages.SystemInfoBox(caption, kErrorFormat, {MailResultText(code), code});
    return false;
}

// xdg-email hands the message to the desktop's mail program and ends with 0 when it did;
// it cannot tell that the user then discarded the message, so "cancelled" (1) never comes
// from it. Its failures map to the mail results that say the same:
//   1 error in the command line         -> 17 invalid message
//   2 a file on the command line absent -> 11 attachment not found
//   3 a required tool not found         -> 26 function not supported (SendSupportMail gives the
//                                          no-mail-program warning instead)
//   4 the action failed                 ->  2 request failed
// Any other status, or a run ended by a signal, is the undefined error (7).
unsigned MailResultFromXdgEmail(const platform::RunResult& run) {
    if (run.crashed)
        return kMailUndefinedError;
    switch (run.exitCode) {
    case 0:
        return 0;
    case 1:
        return 17;
    case 2:
        return 11;
    case 3:
        return 26;
    case 4:
        return 2;
    default:
        return kMailUndefinedError;
    }
}

SupportMessage SupportMailMessage(const Messages& messages) {
    const QString subject =
        FormatText(QStringLiteral("Help: %s - %s"),
                   {messages.LoadStringText(kProductNameId), messages.LoadStringText(kVersionId)},
                   kShortFormatLimit);
    return {subject, QString::fromUtf16(kSupportName) + QStringLiteral(" <") +
                         QString::fromUtf16(kSupportAddress) + u'>'};
}

QString SupportMailUrl(const SupportMessage& message) {
    QUrl url;
    url.setScheme(QStringLiteral("mailto"));
    url.setPath(QString::fromUtf16(kSupportAddress));
    QUrlQuery query;
    query.addQueryItem(QStringLiteral("subject"),
                       QString(message.subject).replace(u'&', QStringLiteral("%26")));
    url.setQuery(query);
    return url.toString(QUrl::FullyEncoded);
}

QStringList SupportMailArguments(const SupportMessage& message) {
    return {QStringLiteral("--subject"), message.subject, message.recipient};
}

void SendSupportMail(const Messages& messages, platform::ProgramLauncher& launcher,
                     const std::function<void()>& minimise, std::function<void(bool)> done,
                     std::chrono::milliseconds cursorLimit) {
    messages.SetWaitCursor(true);
    // Off once: at the end of the run, or when the limit passes first.
    const auto cursorOn = std::make_shared<bool>(true);
    const auto cursorOff = [&messages, cursorOn] {
        if (std::exchange(*cursorOn, false))
            messages.SetWaitCursor(false);
    };
    messages.ShowStatus(kMailCommand);
    const SupportMessage message = SupportMailMessage(messages);
    if (minimise)
        minimise();
    const QString program = QString::fromUtf16(kMailProgram);
    const auto finish = [cursorOff, done = std::move(done)](bool sent) {
        cursorOff();
        if (done)
            done(sent);
    };
    const auto noMailProgram = [&messages, program](int error) {
        messages.SystemWarningBox(kCaptionId, kNoMailProgramId, {program, error});
    };
    if (!launcher.hasProgram(program)) {
        const bool sent = launcher.openUrl(SupportMailUrl(message));
        if (!sent)
            noMailProgram(ENOENT);
        finish(sent);
        return;
    }
    if (auto* app = QCoreApplication::instance())
        QTimer::singleShot(cursorLimit, app, cursorOff);
    launcher.run(program, SupportMailArguments(message),
                 [&messages, finish, noMailProgram](const platform::RunResult& run) {
                     bool sent = false;
                     if (run.error)
                         noMailProgram(run.error);
                     else if (!run.crashed && run.exitCode == kXdgToolMissing)
                         noMailProgram(ENOENT); // xdg-email found no mail program to hand to
                     else
                         sent = ReportMailResult(messages, MailResultFromXdgEmail(run));
                     finish(sent);
                 });
}

} // namespace tw

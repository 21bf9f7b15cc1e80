#pragma once

#include <QString>
#include <QStringList>

#include <chrono>
#include <functional>

namespace tw {

class Messages;
namespace platform {
class ProgramLauncher;
struct RunResult;
} // namespace platform

// The maker's support address and the recipient's display name.
inline constexpr char16_t kSupportAddress[] = u"support@example.org";
inline constexpr char16_t kSupportName[] = u"Quellwork Support";
// The desktop's mail composer.
inline constexpr char16_t kMailProgram[] = u"xdg-email";

// Number of entries of the mail result table; codes from kMailResultCount on use entry 7.
inline constexpr unsigned kMailResultCount = 27;
inline constexpr unsigned kMailUndefinedError = 7;

// The text of a mail result code (the table of the mail interface's results).
QString MailResultText(unsigned code);

// What a mail result means to the user: 0 nothing (true); 1, the user cancelled, the
// information box with the cancel text; anything else the "mAPI error detected" box with the
// code's text and the code. Boxes are captioned with string 1000. False for every code but 0.
bool ReportMailResult(const Messages& messages, unsigned code);

// The mail result code of a finished xdg-email run.
unsigned MailResultFromXdgEmail(const platform::RunResult& run);

// The support message: the subject "Help: <string 1002> - <string 1019>" and the recipient.
struct SupportMessage {
    QString subject;
    QString recipient; // "Name <address>"
};
SupportMessage SupportMailMessage(const Messages& messages);
// The message as a mailto: address, for desktops without xdg-email.
QString SupportMailUrl(const SupportMessage& message);
// xdg-email's arguments for the message.
QStringList SupportMailArguments(const SupportMessage& message);

// Command 996: the wait cursor and the status text, the main window minimised (`minimise`) so
// that the mail program comes up in front of it, then the mail program's compose window for
// the support message through xdg-email, or a mailto: address for the desktop when xdg-email
// is absent. Returns at once; when the outcome is known it is reported (ReportMailResult, or
// the 60101 warning when there is no mail program at all), the wait cursor goes off and
// `done` gets true for a message handed to the mail program. xdg-email may run as long as the
// mail program it started, so the wait cursor goes off after `cursorLimit` at the latest.
// `messages` must outlive the run.
inline constexpr std::chrono::milliseconds kMailCursorLimit{3000};
void SendSupportMail(const Messages& messages, platform::ProgramLauncher& launcher,
                     const std::function<void()>& minimise,
                     std::function<void(bool sent)> done = {},
                     std::chrono::milliseconds cursorLimit = kMailCursorLimit);

} // namespace tw

#include "core/setup/desktop_shortcuts.h"

#include "core/about/program_version.h"
#include "core/text/messages.h"
#include "core/text/string_table.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>
#include <filesystem>
#include <system_error>

#include <unistd.h>

namespace tw {

namespace {

constexpr int kProgramNameId = 1000;
constexpr int kDescriptionId = 1020;
const QString kSetupCaption = QStringLiteral("Setup");

QString programName() {
    return LookupString(kProgramNameId).value_or(QStringLiteral("Tarnwick 2000"));
}

QString environmentPath(const char* name) {
    return QFile::decodeName(qgetenv(name));
}

// An XDG base folder: the variable when it holds an absolute path (relative values are
// ignored, as the base-directory rules say), else the default below the home folder.
std::optional<QString> baseFolder(const char* variable, const QString& homeDefault) {
    const QString value = environmentPath(variable);
    if (!value.isEmpty() && QDir::isAbsolutePath(value))
        return QDir::cleanPath(value);
    const QString home = environmentPath("HOME");
    if (home.isEmpty())
        return std::nullopt;
    return QDir::cleanPath(home + u'/' + homeDefault);
}

// The value of XDG_DESKTOP_DIR in a user-dirs.dirs file, read as xdg-user-dir and GLib read it:
// XDG_DESKTOP_DIR="$HOME/..." or an absolute path in double quotes, backslash escapes undone;
// the last valid line counts. nullopt when no line configures it (or it needs an unset HOME).
std::optional<QString> configuredDesktop(const QByteArray& file, const QString& home) {
    std::optional<QString> found;
    for (const QByteArray& rawLine : file.split('\n')) {
        const QByteArray line = rawLine.trimmed();
        if (!line.startsWith("XDG_DESKTOP_DIR"))
            continue;
        QByteArray rest = line.mid(int(sizeof("XDG_DESKTOP_DIR") - 1)).trimmed();
        if (!rest.startsWith('='))
            continue;
        rest = rest.mid(1).trimmed();
        if (!rest.startsWith('"'))
            continue;
        rest = rest.mid(1);

        QByteArray value;
        bool closed = false;
        for (qsizetype i = 0; i < rest.size(); ++i) {
            char c = rest.at(i);
            if (c == '"') {
                closed = true;
                break;
            }
            if (c == '\\' && i + 1 < rest.size())
                c = rest.at(++i);
            value.append(c);
        }
        if (!closed)
            continue;

        QString path;
        if (value.startsWith("$HOME") && (value.size() == 5 || value.at(5) == '/')) {
            if (home.isEmpty())
                continue;
            path = home + QFile::decodeName(value.mid(5));
        } else if (value.startsWith('/')) {
            path = QFile::decodeName(value);
        } else {
            continue;
        }
        found = QDir::cleanPath(path);
    }
    return found;
}

std::optional<QString> desktopFolder() {
    const QString home = environmentPath("HOME");
    const std::optional<QString> config = baseFolder("XDG_CONFIG_HOME", QStringLiteral(".config"));
    QFile dirsFile(config ? *config + QStringLiteral("/user-dirs.dirs") : QString());
    if (!config || !dirsFile.exists()) {
        // No user-dirs.dirs at all: the customary folder, when there is one.
        if (home.isEmpty())
            return std::nullopt;
        const QString fallback = QDir::cleanPath(home + QStringLiteral("/Desktop"));
        if (QFileInfo(fallback).isDir())
            return fallback;
        return std::nullopt;
    }
    if (!dirsFile.open(QIODevice::ReadOnly))
        return std::nullopt;
    const std::optional<QString> desktop = configuredDesktop(dirsFile.readAll(), home);
    if (!desktop)
        return std::nullopt;
    // The desktop set to the home folder itself is how the user says "no desktop folder".
    if (!home.isEmpty() && *desktop == QDir::cleanPath(home))
        return std::nullopt;
    // A file in its place is returned: creating an entry there then fails with its error.
    if (!QFileInfo::exists(*desktop))
        return std::nullopt;
    return desktop;
}

// A value of type string, escaped for the entry file.
QString escapeString(const QString& value) {
    QString out;
    out.reserve(value.size());
    for (const QChar c : value) {
        switch (c.unicode()) {
        case u'\\':
            out += QStringLiteral("\\\\");
            break;
        case u'\n':
            out += QStringLiteral("\\n");
            break;
        case u'\t':
            out += QStringLiteral("\\t");
            break;
        case u'\r':
            out += QStringLiteral("\\r");
            break;
        default:
            out += c;
        }
    }
    return out;
}

// One argument of an Exec line: in double quotes with ", `, $ and \ escaped by a backslash, a
// literal % doubled; the whole then escaped as a string value (so a backslash of the quoting
// appears twice in the file).
QString execArgument(const QString& argument) {
    QString quoted = QStringLiteral("\"");
    for (const QChar c : argument) {
        if (c == u'"' || c == u'`' || c == u'$' || c == u'\\')
            quoted += u'\\';
        if (c == u'%')
            quoted += u'%';
        quoted += c;
    }
    quoted += u'"';
    return escapeString(quoted);
}

// The calling thread's error code after a failed call, never 0.
unsigned lastError(int fallback = EIO) {
    return static_cast<unsigned>(errno != 0 ? errno : fallback);
}

void showCreateFailure(const Messages& messages, const ShortcutTarget& target, const char* step,
                       unsigned code) {
    messages.SystemInfoBox(kSetupCaption,
                           QStringLiteral("\rFile '%s'\r\rMethod (%s) error detected\rCode %u"),
                           {target.programPath, step, code});
}

// Writes `text` as `path` in one step (a temporary file renamed over it), executable as desktop
// launchers must be. Returns 0 or the error code.
unsigned writeEntry(const QString& path, const QByteArray& text) {
    // QSaveFile refuses a directory of that name without a system call to tell why.
    if (QFileInfo(path).isDir())
        return EISDIR;
    QSaveFile file(path);
    errno = 0;
    if (!file.open(QIODevice::WriteOnly))
        return lastError();
    errno = 0;
    if (file.write(text) != text.size())
        return lastError();
    errno = 0;
    if (!file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                             QFileDevice::ExeOwner | QFileDevice::ReadGroup |
                             QFileDevice::ExeGroup | QFileDevice::ReadOther |
                             QFileDevice::ExeOther))
        return lastError();
    errno = 0;
    if (!file.commit())
        return lastError();
    return 0;
}

} // namespace

std::optional<QString> GetShellFolder(ShortcutPlace place) {
    switch (place) {
    case ShortcutPlace::StartMenu: {
        const std::optional<QString> data =
            baseFolder("XDG_DATA_HOME", QStringLiteral(".local/share"));
        if (!data)
            return std::nullopt;
        return *data + QStringLiteral("/applications/Quellwork");
    }
    case ShortcutPlace::Desktop:
        return desktopFolder();
    case ShortcutPlace::Startup: {
        const std::optional<QString> config =
            baseFolder("XDG_CONFIG_HOME", QStringLiteral(".config"));
        if (!config)
            return std::nullopt;
        return *config + QStringLiteral("/autostart");
    }
    }
    return std::nullopt;
}

QString ShortcutFileName(const QString& folder) {
    return folder + u'/' + programName() + QStringLiteral(".desktop");
}

QByteArray DesktopEntryText(const ShortcutTarget& target) {
    const QString icon =
        target.iconPath.isEmpty() ? QString::fromUtf16(kDesktopId) : target.iconPath;
    const QString description = LookupString(kDescriptionId).value_or(QString());
    QString text;
    text += QStringLiteral("[Desktop Entry]\n");
    text += QStringLiteral("Type=Application\n");
    // 1.4: the newest version the validators in use know; the entry needs nothing newer.
    text += QStringLiteral("Version=1.4\n");
    text += QStringLiteral("Name=") + escapeString(programName()) + u'\n';
    text += QStringLiteral("Comment=") + escapeString(description) + u'\n';
    text += QStringLiteral("Exec=") + execArgument(target.programPath) + u'\n';
    text += QStringLiteral("Icon=") + escapeString(icon) + u'\n';
    text += QStringLiteral("Terminal=false\n");
    text += QStringLiteral("Categories=Network;FileTransfer;\n");
    return text.toUtf8();
}

bool ShortcutExists(ShortcutPlace place) {
    const std::optional<QString> folder = GetShellFolder(place);
    if (!folder)
        return false;
    std::error_code error;
    const auto status = std::filesystem::symlink_status(
        QFile::encodeName(ShortcutFileName(*folder)).toStdString(), error);
    return !error && std::filesystem::exists(status);
}

bool CreateShortcut(const Messages& messages, const ShortcutTarget& target, ShortcutPlace place) {
    const std::optional<QString> folder = GetShellFolder(place);
    if (!folder)
        return false;
    if (target.programPath.isEmpty()) {
        showCreateFailure(messages, target, "SetPath", EINVAL);
        return false;
    }
    // The desktop folder exists (or the place has none); the program's menu folder and the
    // autostart folder are made when missing.
    if (place != ShortcutPlace::Desktop) {
        std::error_code error;
        std::filesystem::create_directories(QFile::encodeName(*folder).toStdString(), error);
        if (error) {
            showCreateFailure(messages, target, "Save", static_cast<unsigned>(error.value()));
            return false;
        }
    }
    if (const unsigned code = writeEntry(ShortcutFileName(*folder), DesktopEntryText(target))) {
        showCreateFailure(messages, target, "Save", code);
        return false;
    }
    return true;
}

bool DeleteShortcut(const Messages& messages, ShortcutPlace place) {
    const std::optional<QString> folder = GetShellFolder(place);
    if (!folder)
        return false;
    const QString path = ShortcutFileName(*folder);
    // unlink, not remove: a folder of the entry's name is not ours to delete.
    if (::unlink(QFile::encodeName(path).constData()) != 0) {
        messages.SystemInfoBox(kSetupCaption,
                               QStringLiteral("\rFile '%s'\r\rCould not be deleted (error:%u)"),
                               {path, lastError()});
        return false;
    }
    return true;
}

void ApplySetupRequests(const Messages& messages, const ShortcutTarget& target,
                        SetupChoices& requests) {
    if (requests.CreateStartMenu)
        CreateShortcut(messages, target, ShortcutPlace::StartMenu);
    if (requests.CreateDesktop)
        CreateShortcut(messages, target, ShortcutPlace::Desktop);
    if (requests.CreateStartup)
        CreateShortcut(messages, target, ShortcutPlace::Startup);
    if (requests.RemoveStartMenu)
        DeleteShortcut(messages, ShortcutPlace::StartMenu);
    if (requests.RemoveDesktop)
        DeleteShortcut(messages, ShortcutPlace::Desktop);
    if (requests.RemoveStartup)
        DeleteShortcut(messages, ShortcutPlace::Startup);
    requests = SetupChoices{};
}

} // namespace tw

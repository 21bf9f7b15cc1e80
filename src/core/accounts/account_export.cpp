#include "core/accounts/account_export.h"

#include "core/accounts/ini_reader.h"
#include "core/accounts/ini_writer.h"
#include "core/settings/settings.h"
#include "core/text/format.h"

#include <limits>

namespace tw {

namespace {

constexpr int kVersionMajor = 2;
constexpr int kVersionMinor = 6;
constexpr int kCommentsLineLimit = 2047;
constexpr int kHexTextLimit = 35;

const QString kProgramSection = QStringLiteral("Tarnwick 2000");
const QString kAccountsSection = QStringLiteral("Accounts");
const QString kAssociationsSection = QStringLiteral("Associations");
const QString kSoundsSection = QStringLiteral("Sounds");

QString accountSection(int row) {
    return FormatText(QStringLiteral("Account-%03d"), {row}, -1);
}

QString fileTypeSection(int row) {
    return FormatText(QStringLiteral("File Type-%03d"), {row}, -1);
}

QString flagText(bool flag) {
    return flag ? QStringLiteral("1") : QStringLiteral("0");
}

QString numberText(std::uint32_t number) {
    return QString::number(number);
}

// The decimal number of a whole value (blanks around it allowed); nullopt for anything else.
std::optional<qint64> parseInteger(const QString& text) {
    bool ok = false;
    const qint64 value = text.trimmed().toLongLong(&ok, 10);
    if (!ok)
        return std::nullopt;
    return value;
}

// The value as a number base 16 the way strtoul reads it: leading blanks, an optional "0x",
// then hex digits up to the first other character; too large saturates.
std::uint32_t parseHex(const QString& text) {
    QString t = CutText(text, kHexTextLimit).trimmed();
    if (t.startsWith(QStringLiteral("0x"), Qt::CaseInsensitive))
        t.remove(0, 2);
    std::uint64_t value = 0;
    for (const QChar c : t) {
        int digit = -1;
        if (c >= u'0' && c <= u'9')
            digit = c.unicode() - u'0';
        else if (c >= u'a' && c <= u'f')
            digit = c.unicode() - u'a' + 10;
        else if (c >= u'A' && c <= u'F')
            digit = c.unicode() - u'A' + 10;
        if (digit < 0)
            break;
        value = value * 16 + std::uint64_t(digit);
        if (value > std::numeric_limits<std::uint32_t>::max())
            return std::numeric_limits<std::uint32_t>::max();
    }
    return static_cast<std::uint32_t>(value);
}

class ImportReader {
public:
    explicit ImportReader(const IniReader& ini) : m_ini(ini) {}

    QString text(const QString& section, const QString& key, int limit,
                 const QString& defaultText = QString()) const {
        return CutText(m_ini.value(section, key).value_or(defaultText), limit);
    }
    bool flag(const QString& section, const QString& key, bool defaultFlag) const {
        const auto v = m_ini.value(section, key);
        if (!v)
            return defaultFlag;
        const auto n = parseInteger(*v);
        return n ? *n != 0 : defaultFlag;
    }
    std::uint32_t number(const QString& section, const QString& key, std::uint32_t defaultNumber,
                         std::uint32_t max) const {
        const auto v = m_ini.value(section, key);
        if (!v)
            return defaultNumber;
        const auto n = parseInteger(*v);
        if (!n || *n < 0 || *n > qint64(max))
            return defaultNumber;
        return static_cast<std::uint32_t>(*n);
    }
    // The whole number of a key; nullopt when the key is missing. A value that is no number
    // reads as -1 (no mode has it).
    std::optional<qint64> integer(const QString& section, const QString& key) const {
        const auto v = m_ini.value(section, key);
        if (!v)
            return std::nullopt;
        return parseInteger(*v).value_or(-1);
    }
    // A row count: missing gives 0, above `max` gives `max`; not a number, or negative: nullopt.
    std::optional<int> count(const QString& section, int max) const {
        const auto v = m_ini.value(section, QStringLiteral("Count"));
        if (!v)
            return 0;
        const auto n = parseInteger(*v);
        if (!n || *n < 0)
            return std::nullopt;
        return static_cast<int>(std::min<qint64>(*n, max));
    }

private:
    const IniReader& m_ini;
};

AccountRecord readAccount(const ImportReader& in, int row) {
    const QString s = accountSection(row);
    AccountRecord a;
    a.Name = in.text(s, QStringLiteral("Name"), kAccountNameLimit);
    a.URL = in.text(s, QStringLiteral("URL"), kAccountUrlLimit);
    a.IP = in.text(s, QStringLiteral("IP"), kAccountIpLimit);
    a.UseIP = in.flag(s, QStringLiteral("Use IP"), false);
    a.Anonymous = in.flag(s, QStringLiteral("Anonymous"), true);
    a.Login = in.text(s, QStringLiteral("User Name"), kAccountLoginLimit);
    a.Password = in.text(s, QStringLiteral("Password"), kAccountPasswordLimit);
    a.SavePassword = in.flag(s, QStringLiteral("Save Password"), false);
    a.LocalPath = in.text(s, QStringLiteral("Local Path"), kAccountPathLimit);
    a.LocalMask = in.text(s, QStringLiteral("Local Mask"), kAccountMaskLimit);
    a.LocalSort = int(in.number(s, QStringLiteral("Local Sort"), 0, 3));
    a.RemotePath = in.text(s, QStringLiteral("Remote Path"), kAccountPathLimit);
    a.RemoteMask = in.text(s, QStringLiteral("Remote Mask"), kAccountMaskLimit);
    a.RemoteSort = int(in.number(s, QStringLiteral("Remote Sort"), 0, 3));
    a.Passive = in.flag(s, QStringLiteral("Passive"), true);
    a.RemotePort = in.number(s, QStringLiteral("Port"), 21, 65535);
    a.Visits = in.number(s, QStringLiteral("Visits"), 0, std::numeric_limits<std::uint32_t>::max());
    a.Comments =
        CutComments(LineToComments(in.text(s, QStringLiteral("Comments"), kCommentsLineLimit)));
    // Files written before encryption existed have no key: those accounts stay plain.
    if (const auto mode = in.integer(s, QStringLiteral("Encryption")))
        a.Encryption = AccountEncryptionFromNumber(*mode);
    // Older files have no protocol: FTP. Older programs ignore the key.
    if (const auto protocol = in.integer(s, QStringLiteral("Protocol")))
        a.Protocol = AccountProtocolFromNumber(*protocol);
    return a;
}

} // namespace

QString CommentsToLine(const QString& comments) {
    QString line;
    line.reserve(comments.size());
    for (const QChar c : comments) {
        if (c == u'\n')
            line += u'|';
        else if (c != u'\r')
            line += c;
    }
    return line;
}

QString LineToComments(const QString& line) {
    QString comments = line;
    comments.replace(u'|', QStringLiteral("\r\n"));
    return comments;
}

QString CutComments(const QString& comments) {
    QString cut = CutText(comments, kAccountCommentsLimit);
    if (cut.size() < comments.size() && cut.endsWith(u'\r'))
        cut.chop(1);
    return cut;
}

QByteArray BuildExportFile(const AppState& state, const QString& path, const QString& createdOn,
                           const ExportPasswords& passwords) {
    const auto passwordOf = [&passwords](const AccountRecord& a) {
        if (!passwords.include)
            return QString();
        if (const auto it = passwords.kept.find(a.SecretId);
            a.Password.isEmpty() && !a.SecretId.isEmpty() && it != passwords.kept.end())
            return it->second;
        return a.Password;
    };
    IniWriter ini;
    const QString title = kProgramSection;
    ini.appendRaw(FormatText(QStringLiteral("; %s - Version %d.%d - Export File\n;\n"),
                             {title, kVersionMajor, kVersionMinor}, -1));
    ini.appendRaw(FormatText(QStringLiteral(";   Created on %s\n;\n"), {createdOn}, -1));
    ini.appendRaw(QStringLiteral(";   This file contains FTP Site Account Settings,\n"
                                 ";   File Type Associations and Warning Sounds\n"
                                 ";   suitable for import by Tarnwick 2000.\n;\n"
                                 ";   Use the Tarnwick 2000 Import facilities to\n"
                                 ";   read this file back into Tarnwick 2000.\n;\n"
                                 ";   WARNING: Do NOT modify this file in any way!\n;\n;\n\n"));

    ini.writeString(kProgramSection, QStringLiteral("Signature"),
                    FormatText(QStringLiteral("0x%08lX"), {kExportSignature}, -1));
    ini.writeString(kProgramSection, QStringLiteral("Version"), numberText(kVersionMajor));
    ini.writeString(kProgramSection, QStringLiteral("Release"), numberText(kVersionMinor));

    ini.appendRaw(QStringLiteral("\n\n;\n;   Tarnwick 2000 -- Accounts\n;\n\n"));
    ini.writeString(kAccountsSection, QStringLiteral("Count"),
                    numberText(std::uint32_t(state.AccountCount())));
    int row = 0;
    for (const AccountRecord& a : state.Accounts) {
        const QString s = accountSection(++row);
        ini.appendRaw(QStringLiteral("\n"));
        ini.writeString(s, QStringLiteral("Name"), a.Name);
        ini.writeString(s, QStringLiteral("URL"), a.URL);
        ini.writeString(s, QStringLiteral("IP"), a.IP);
        ini.writeString(s, QStringLiteral("Use IP"), flagText(a.UseIP));
        ini.writeString(s, QStringLiteral("Anonymous"), flagText(a.Anonymous));
        ini.writeString(s, QStringLiteral("User Name"), a.Login);
        ini.writeString(s, QStringLiteral("Password"), passwordOf(a));
        ini.writeString(s, QStringLiteral("Save Password"), flagText(a.SavePassword));
        ini.writeString(s, QStringLiteral("Local Path"), a.LocalPath);
        ini.writeString(s, QStringLiteral("Local Mask"), a.LocalMask);
        ini.writeString(s, QStringLiteral("Local Sort"), numberText(std::uint32_t(a.LocalSort)));
        ini.writeString(s, QStringLiteral("Remote Path"), a.RemotePath);
        ini.writeString(s, QStringLiteral("Remote Mask"), a.RemoteMask);
        ini.writeString(s, QStringLiteral("Remote Sort"), numberText(std::uint32_t(a.RemoteSort)));
        ini.writeString(s, QStringLiteral("Passive"), flagText(a.Passive));
        ini.writeString(s, QStringLiteral("Port"), numberText(a.RemotePort));
        ini.writeString(s, QStringLiteral("Encryption"),
                        numberText(static_cast<std::uint32_t>(a.Encryption)));
        ini.writeString(s, QStringLiteral("Protocol"),
                        numberText(static_cast<std::uint32_t>(a.Protocol)));
        ini.writeString(s, QStringLiteral("Visits"), numberText(a.Visits));
        ini.writeString(s, QStringLiteral("Comments"), CommentsToLine(a.Comments));
    }

    ini.appendRaw(QStringLiteral("\n\n;\n;   Tarnwick 2000 -- File Types\n;\n\n"));
    ini.writeString(kAssociationsSection, QStringLiteral("Count"),
                    numberText(std::uint32_t(state.FileTypes.size())));
    ini.writeString(kAssociationsSection, QStringLiteral("Default Editor"), state.DefaultEditor);
    row = 0;
    for (const FileTypeAssociation& t : state.FileTypes) {
        const QString s = fileTypeSection(++row);
        ini.appendRaw(QStringLiteral("\n"));
        ini.writeString(s, QStringLiteral("Ext"), t.Ext);
        ini.writeString(s, QStringLiteral("Cmd"), t.Cmd);
    }

    ini.appendRaw(QStringLiteral("\n\n;\n;   Tarnwick 2000 -- Sounds\n;\n\n"));
    ini.writeString(kSoundsSection, QStringLiteral("Alert Level"),
                    numberText(state.options.AlertLevel));
    for (int kind = 0; kind < kAlertKindCount; ++kind) {
        const SoundSetting& sound = state.sounds[std::size_t(kind)];
        const QString& s = kSoundEventNames[std::size_t(kind)];
        ini.appendRaw(QStringLiteral("\n"));
        ini.writeString(s, QStringLiteral("Active"), flagText(sound.Active != 0));
        ini.writeString(s, QStringLiteral("WAV File"), sound.WaveFile);
    }

    ini.appendRaw(FormatText(QStringLiteral("\n\n; end of %s\n"), {path}, -1));
    return ini.toBytes();
}

ImportParse ParseImportFile(const QByteArray& bytes) {
    const IniReader ini(bytes);
    const ImportReader in(ini);
    ImportParse result;

    const auto signature = ini.value(kProgramSection, QStringLiteral("Signature"));
    if (!signature || parseHex(*signature) != kExportSignature) {
        result.problem = ImportProblem::BadSignature;
        return result;
    }

    const std::optional<int> accounts = in.count(kAccountsSection, kMaxAccounts);
    const std::optional<int> fileTypes = in.count(kAssociationsSection, kMaxFileTypes);
    bool complete = accounts && fileTypes &&
                    ini.lastLine().startsWith(QStringLiteral("; end of"), Qt::CaseInsensitive);
    for (int row = 1; complete && row <= *accounts; ++row)
        complete = ini.hasSection(accountSection(row));
    for (int row = 1; complete && row <= *fileTypes; ++row)
        complete = ini.hasSection(fileTypeSection(row));
    if (!complete) {
        result.problem = ImportProblem::Damaged;
        return result;
    }

    ImportData data;
    data.accounts.reserve(std::size_t(*accounts));
    for (int row = 1; row <= *accounts; ++row)
        data.accounts.push_back(readAccount(in, row));

    data.defaultEditor = in.text(kAssociationsSection, QStringLiteral("Default Editor"), kCmdLimit,
                                 QStringLiteral("NotePad.exe"));
    for (int row = 1; row <= *fileTypes; ++row) {
        const QString s = fileTypeSection(row);
        data.fileTypes.push_back({in.text(s, QStringLiteral("Ext"), kExtLimit),
                                  in.text(s, QStringLiteral("Cmd"), kCmdLimit)});
    }

    data.alertLevel = in.number(kSoundsSection, QStringLiteral("Alert Level"), 1, 2);
    for (int kind = 0; kind < kAlertKindCount; ++kind) {
        const QString& s = kSoundEventNames[std::size_t(kind)];
        SoundSetting& sound = data.sounds[std::size_t(kind)];
        sound.Active = in.flag(s, QStringLiteral("Active"), true) ? 1 : 0;
        sound.WaveFile = in.text(s, QStringLiteral("WAV File"), kAccountPathLimit);
    }
    result.data = std::move(data);
    return result;
}

void ApplyImport(AppState& state, ImportData data) {
    state.Accounts = std::move(data.accounts);
    state.FileTypes = std::move(data.fileTypes);
    state.DefaultEditor = std::move(data.defaultEditor);
    state.options.AlertLevel = data.alertLevel;
    state.sounds = std::move(data.sounds);
    if (state.CurrentAccount < 0 || state.CurrentAccount >= state.AccountCount())
        state.CurrentAccount = state.Accounts.empty() ? -1 : 0;
}

} // namespace tw

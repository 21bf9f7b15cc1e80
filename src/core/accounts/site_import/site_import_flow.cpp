#include "core/accounts/site_import/site_import_flow.h"

#include "core/accounts/site_import/filezilla_sites.h"
#include "core/accounts/site_import/site_import_port.h"
#include "core/accounts/site_import/ssh_config_hosts.h"
#include "core/text/messages.h"

#include <QDir>
#include <QFileInfo>
#include <QtGlobal>

#include <cerrno>
#include <cstring>
#include <pwd.h>
#include <unistd.h>

namespace tw {

namespace {

constexpr int kImportFileZillaCommand = 142;
constexpr int kImportSshConfigCommand = 143;

QString title(SiteImportKind kind) {
    return kind == SiteImportKind::FileZilla ? QStringLiteral("Import FileZilla Sites")
                                             : QStringLiteral("Import SSH Config Hosts");
}

QString filter(SiteImportKind kind) {
    return kind == SiteImportKind::FileZilla
               ? QStringLiteral("FileZilla Site Lists|*.xml|All Files|*|")
               : QStringLiteral("SSH Configuration|config;*.conf|All Files|*|");
}

QString localUser() {
    if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_name)
        return QString::fromLocal8Bit(pw->pw_name);
    return qEnvironmentVariable("USER");
}

} // namespace

QString DefaultSiteFile(SiteImportKind kind, const QString& home) {
    if (kind == SiteImportKind::SshConfig)
        return QDir(home).filePath(QStringLiteral(".ssh/config"));
    QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (config.isEmpty() || QFileInfo(config).isRelative())
        config = QDir(home).filePath(QStringLiteral(".config"));
    return QDir(config).filePath(QStringLiteral("filezilla/sitemanager.xml"));
}

std::vector<int> RunSiteImport(SiteImportKind kind, AppState& state, const Messages& messages,
                               SiteImportPort& port, const SaveSettingsFn& saveSettings,
                               const AccountsImportedFn& imported, const QString& home) {
    messages.ShowStatus(kind == SiteImportKind::FileZilla ? kImportFileZillaCommand
                                                          : kImportSshConfigCommand);
    const QString caption = title(kind);
    const auto chosen = port.askSiteFile(DefaultSiteFile(kind, home), caption, filter(kind));
    if (!chosen || chosen->isEmpty())
        return {};
    const QString path = *chosen;

    QByteArray bytes;
    const int error = ReadWholeFile(path, kMaxSiteFileSize, bytes);
    if (error == EFBIG) {
        messages.SystemInfoBox(caption,
                               QStringLiteral("%s is larger than 16 MiB: it is not a "
                                              "site list this program reads."),
                               {path});
        return {};
    }
    if (error != 0) {
        messages.SystemInfoBox(caption, QStringLiteral("%s cannot be read: %s"),
                               {path, QString::fromLocal8Bit(std::strerror(error))});
        return {};
    }
    SiteFileRead read;
    if (kind == SiteImportKind::FileZilla) {
        read = ReadFileZillaSites(bytes);
    } else {
        const SshConfigPlace place{path, home, localUser(), QFileInfo(path).absolutePath()};
        read = ReadSshConfigHosts(bytes, place);
    }
    if (!read.refusal.isEmpty()) {
        messages.SystemInfoBox(caption, QStringLiteral("%s\n\n%s"), {path, read.refusal});
        return {};
    }
    const SiteImportPlan plan = PlanSiteImport(state.Accounts, read, QFileInfo(path).fileName());
    if (!port.confirmSiteImport(caption, path, plan.rows, int(plan.added.size())) ||
        plan.added.empty())
        return {};

    const std::vector<int> rows = ApplySiteImport(state.Accounts, plan);
    if (state.CurrentAccount < 0 && !state.Accounts.empty())
        state.CurrentAccount = 0;
    if (saveSettings)
        saveSettings(state);
    if (imported)
        imported(rows);
    return rows;
}

} // namespace tw

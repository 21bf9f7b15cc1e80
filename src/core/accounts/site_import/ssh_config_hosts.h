#pragma once

#include "core/accounts/site_import/imported_site.h"

#include <QByteArray>
#include <QString>

namespace tw {

// Where an ssh_config's names are resolved: "~" and %d are `home`, %u is `localUser`, and a
// relative Include names a file in `configFolder` (~/.ssh for the user's file).
struct SshConfigPlace {
    QString file; // the file read, named in the report's line references
    QString home;
    QString localUser;
    QString configFolder;
};

// How deep Include files may nest inside each other.
inline constexpr int kMaxSshIncludeDepth = 8;

// OpenSSH's client configuration as SFTP accounts: every pattern of a Host line without
// wildcards ("*", "?") or negation ("!") becomes one account named after it, with HostName,
// Port, User and IdentityFile (the first value wins, as ssh reads them: the Host blocks that
// match the name, in file order, and the lines before the first Host). Patterns with
// wildcards and Match blocks are reported as skipped. Keywords are read without regard to
// case, in "Key Value" and "Key=Value" forms, with quoted values and comments; Include is
// followed up to kMaxSshIncludeDepth files deep.
SiteFileRead ReadSshConfigHosts(const QByteArray& text, const SshConfigPlace& place);

} // namespace tw

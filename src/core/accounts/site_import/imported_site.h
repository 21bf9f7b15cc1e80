#pragma once

#include "core/accounts/account_record.h"

#include <QString>
#include <QStringList>

#include <vector>

namespace tw {

// One site of another client's list (a FileZilla site, an ssh_config host) as a reader found
// it: the account it makes, or why it cannot be imported, and what was left out on the way.
struct ImportedSite {
    QString source;       // the site as the other client names it: folder path and name, alias
    AccountRecord record; // Name is the wanted name, not yet cut or made unique
    QString skipReason;   // set: the site is not imported
    QStringList notes;    // what was left out or changed ("the comments were cut ...")

    bool skipped() const { return !skipReason.isEmpty(); }
};

// What a reader made of a whole file.
struct SiteFileRead {
    std::vector<ImportedSite> sites;
    // Set when the file ended badly (broken XML) or held more than was read; the sites read
    // before it are kept.
    QString problem;
    // Set when the file is not a list of this kind at all; nothing is imported.
    QString refusal;
};

// The most sites one file gives; the rest are reported, not read.
inline constexpr int kMaxImportedSites = 10000;

// The checks every imported record goes through, whatever its source: no host, a host, login
// or password longer than its field, or control characters in the name, host or login skip
// the site with a reason; a key file that does not fit is left out, folders and comments
// longer than their field are cut, each with a note. Call after the reader filled the record.
void CheckImportedFields(ImportedSite& site);

// True when `text` holds a C0 or C1 control character or DEL.
bool HasControlCharacters(const QString& text);

} // namespace tw

#include "core/accounts/site_import/imported_site.h"

#include "core/text/format.h"

namespace tw {

namespace {

// Skips the site when a text that must be whole does not fit or is unprintable.
bool checkWhole(ImportedSite& site, const QString& text, int limit, const QString& what) {
    if (HasControlCharacters(text)) {
        site.skipReason = QStringLiteral("the %1 holds control characters").arg(what);
        return false;
    }
    if (text.size() > limit) {
        site.skipReason =
            QStringLiteral("the %1 is longer than %2 characters").arg(what).arg(limit);
        return false;
    }
    return true;
}

void cut(ImportedSite& site, QString& text, int limit, const QString& what) {
    if (text.size() <= limit)
        return;
    text = CutText(text, limit);
    site.notes << QStringLiteral("the %1 was cut to %2 characters").arg(what).arg(limit);
}

} // namespace

bool HasControlCharacters(const QString& text) {
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u < 0x20 || (u >= 0x7f && u < 0xa0))
            return true;
    }
    return false;
}

void CheckImportedFields(ImportedSite& site) {
    if (site.skipped())
        return;
    AccountRecord& r = site.record;
    if (HasControlCharacters(r.Name)) {
        site.skipReason = QStringLiteral("the name holds control characters");
        return;
    }
    if (r.URL.isEmpty()) {
        site.skipReason = QStringLiteral("no host name");
        return;
    }
    if (!checkWhole(site, r.URL, kAccountUrlLimit, QStringLiteral("host name")) ||
        !checkWhole(site, r.Login, kAccountLoginLimit, QStringLiteral("user name")))
        return;
    if (r.Password.size() > kAccountPasswordLimit) {
        site.skipReason =
            QStringLiteral("the password is longer than %1 characters").arg(kAccountPasswordLimit);
        return;
    }
    // A cut path would name another file: a key file that does not fit is left out.
    if (HasControlCharacters(r.KeyFile)) {
        r.KeyFile.clear();
        site.notes << QStringLiteral("the key file's name holds control characters: left out");
    }
    if (r.KeyFile.size() > kAccountKeyFileLimit) {
        r.KeyFile.clear();
        site.notes << QStringLiteral("the key file's name is longer than %1 characters: left out")
                          .arg(kAccountKeyFileLimit);
    }
    if (HasControlCharacters(r.LocalPath)) {
        r.LocalPath.clear();
        site.notes << QStringLiteral("the local folder holds control characters: left out");
    }
    if (HasControlCharacters(r.RemotePath)) {
        r.RemotePath.clear();
        site.notes << QStringLiteral("the remote folder holds control characters: left out");
    }
    cut(site, r.LocalPath, kAccountPathLimit, QStringLiteral("local folder"));
    cut(site, r.RemotePath, kAccountPathLimit, QStringLiteral("remote folder"));
    cut(site, r.Comments, kAccountCommentsLimit, QStringLiteral("comments"));
}

} // namespace tw

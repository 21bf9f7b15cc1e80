#pragma once

#include <QString>

namespace tw {

// The MIME type given to the account export files.
inline constexpr char16_t kExportMimeType[] = u"application/x-tarnwick2000-export";

// Registers the export file type with the desktop: a shared-mime-info package
// "<dataHome>/mime/packages/tarnwick2000-<extension>.xml" naming files "*.<extension>" with
// `description` as their comment. The package is only rewritten when it differs, and then the
// desktop's MIME database is rebuilt (when update-mime-database exists).
// Returns true when the package is in place.
bool RegisterExportFileClass(const QString& dataHome, const QString& extension,
                             const QString& description);

// The package text for `extension` and `description`.
QByteArray ExportFileClassPackage(const QString& extension, const QString& description);

} // namespace tw

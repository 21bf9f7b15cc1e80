#pragma once

#include "core/accounts/site_import/site_merge.h"

#include <QString>

#include <optional>
#include <vector>

namespace tw {

// What the import of another client's sites asks: the file, then whether to go on once the
// report of what would be imported is shown. tw::ui::SiteImportDialogs implements it; tests
// answer from a script.
class SiteImportPort {
public:
    virtual ~SiteImportPort() = default;

    // An open-file dialog in the folder of `path`, proposing its file; nullopt on cancel.
    // `filter` is "Name|patterns|Name|patterns|" text.
    virtual std::optional<QString> askSiteFile(const QString& path, const QString& title,
                                               const QString& filter) = 0;
    // The report of `file`'s sites before anything changes; true when the user chose Import.
    // With `importCount` 0 only the report is shown.
    virtual bool confirmSiteImport(const QString& title, const QString& file,
                                   const std::vector<SiteImportRow>& rows, int importCount) = 0;
};

} // namespace tw

#pragma once

#include "core/accounts/site_import/imported_site.h"

#include <QString>

#include <vector>

namespace tw {

enum class SiteOutcome { Imported, Renamed, Skipped };

// One row of the import's report.
struct SiteImportRow {
    QString source;  // the site as the other client names it
    QString account; // the account's name in this program; empty when skipped
    SiteOutcome outcome = SiteOutcome::Skipped;
    QString notes; // why it was skipped or renamed, what was left out ("; " between)
};

// What an import will do: the report's rows and the records it adds, in order.
struct SiteImportPlan {
    std::vector<SiteImportRow> rows;
    std::vector<AccountRecord> added;
};

// Plans the import of `read` into `table` without changing it. Each site gets its name cut to
// kAccountNameLimit; a name already in the table or given to an earlier site (compared as
// CompareAccountsByName does) gets " (2)", " (3)", ... within the limit. Sites beyond
// kMaxAccounts are skipped; the file's problem, if any, is the last row (`fileName` its
// source).
SiteImportPlan PlanSiteImport(const std::vector<AccountRecord>& table, const SiteFileRead& read,
                              const QString& fileName);

// Adds the planned records at the end of `table`; returns their indices.
std::vector<int> ApplySiteImport(std::vector<AccountRecord>& table, const SiteImportPlan& plan);

} // namespace tw

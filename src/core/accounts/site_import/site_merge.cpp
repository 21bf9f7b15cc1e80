#include "core/accounts/site_import/site_merge.h"

#include "core/accounts/account_store.h"
#include "core/text/format.h"

#include <algorithm>

namespace tw {

namespace {

bool nameTaken(const QString& name, const std::vector<AccountRecord>& table,
               const std::vector<AccountRecord>& added) {
    AccountRecord probe;
    probe.Name = name;
    const auto same = [&](const AccountRecord& r) { return CompareAccountsByName(r, probe) == 0; };
    return std::any_of(table.begin(), table.end(), same) ||
           std::any_of(added.begin(), added.end(), same);
}

// The wanted name cut to the field, with the first free " (n)" suffix when it is taken.
QString freeName(const QString& wanted, const std::vector<AccountRecord>& table,
                 const std::vector<AccountRecord>& added) {
    const QString base = CutText(wanted, kAccountNameLimit).trimmed();
    if (!nameTaken(base, table, added))
        return base;
    for (int n = 2;; ++n) {
        const QString suffix = QStringLiteral(" (%1)").arg(n);
        const QString name =
            CutText(base, kAccountNameLimit - int(suffix.size())).trimmed() + suffix;
        if (!nameTaken(name, table, added))
            return name;
    }
}

} // namespace

SiteImportPlan PlanSiteImport(const std::vector<AccountRecord>& table, const SiteFileRead& read,
                              const QString& fileName) {
    SiteImportPlan plan;
    for (const ImportedSite& site : read.sites) {
        SiteImportRow row;
        row.source = site.source;
        QStringList notes;
        if (site.skipped()) {
            notes << site.skipReason;
        } else if (table.size() + plan.added.size() >= std::size_t(kMaxAccounts)) {
            notes << QStringLiteral("the account table is full");
        } else {
            AccountRecord record = site.record;
            QString wanted = record.Name.trimmed();
            if (wanted.isEmpty())
                wanted = record.URL;
            record.Name = freeName(wanted, table, plan.added);
            const QString cut = CutText(wanted, kAccountNameLimit).trimmed();
            if (record.Name != cut) {
                row.outcome = SiteOutcome::Renamed;
                notes << QStringLiteral("renamed: an account is already called \"%1\"").arg(cut);
            } else {
                row.outcome = SiteOutcome::Imported;
                if (cut != wanted)
                    notes << QStringLiteral("the name was cut to %1 characters")
                                 .arg(kAccountNameLimit);
            }
            row.account = record.Name;
            plan.added.push_back(std::move(record));
        }
        if (row.outcome != SiteOutcome::Skipped)
            notes << site.notes; // what a skipped site would have left out does not matter
        row.notes = notes.join(QStringLiteral("; "));
        plan.rows.push_back(std::move(row));
    }
    for (const QString& problem : {read.problem, read.refusal}) {
        if (problem.isEmpty())
            continue;
        SiteImportRow row;
        row.source = fileName;
        row.notes = problem;
        plan.rows.push_back(std::move(row));
    }
    return plan;
}

std::vector<int> ApplySiteImport(std::vector<AccountRecord>& table, const SiteImportPlan& plan) {
    std::vector<int> rows;
    for (const AccountRecord& record : plan.added) {
        if (table.size() >= std::size_t(kMaxAccounts))
            break;
        rows.push_back(int(table.size()));
        table.push_back(record);
    }
    return rows;
}

} // namespace tw

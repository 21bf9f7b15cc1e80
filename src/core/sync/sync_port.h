#pragma once

#include "queue/sync/sync_plan.h"

#include <QString>

#include <functional>
#include <optional>
#include <vector>

namespace tw {

// What the user chooses before a synchronisation: the dialog's fields.
struct SyncChoices {
    queue::sync::SyncDirection direction = queue::sync::SyncDirection::Upload;
    bool onlyNewer = false;
    bool onlyMissing = false;
    bool deleteExtra = false; // off until the user turns it on
    queue::sync::CompareRule rule = queue::sync::CompareRule::SizeAndTime;
    bool checksum = false;
    QString excludes; // glob patterns separated by ';'

    bool operator==(const SyncChoices&) const = default;
};

struct SyncOptionsRequest {
    QString localFolder; // the two panes' folders, shown
    QString remoteFolder;
    SyncChoices start; // the last run's choices, the account's excludes
};

// One row of the preview, its texts as shown.
struct SyncPreviewRow {
    QString action; // "Copy", "Replace", "Delete", "Skip", "Conflict"...
    QString name;   // the path below the two folders
    QString where;  // the side it writes to (or leaves alone): "Server", "Local"
    QString size;
    QString why;
    bool tickable = false; // Skip and Conflict rows never are
    bool ticked = false;
};

struct SyncPreviewRequest {
    QString localFolder;
    QString remoteFolder;
    std::vector<SyncPreviewRow> rows;
    // The summary of the rows as ticked ("12 to copy, 3 to replace, 1 conflict, 4.2 MB").
    std::function<QString(const std::vector<bool>& ticked)> summary;
};

// What Synchronise asks and shows beyond the UI port. Called on the UI thread.
class SyncPort {
public:
    virtual ~SyncPort() = default;
    // The options dialog; nullopt for Cancel.
    virtual std::optional<SyncChoices> askSyncOptions(const SyncOptionsRequest& request) = 0;
    // The preview; every row's tick as the user left it, or nullopt for Cancel.
    virtual std::optional<std::vector<bool>> askSyncPreview(const SyncPreviewRequest& request) = 0;
    // The window of the listing and the deletes, with a Stop button that calls `stop`.
    virtual void openSyncProgress(const QString& text, std::function<void()> stop) = 0;
    virtual void updateSyncProgress(const QString& text) = 0;
    virtual void closeSyncProgress() = 0;
};

} // namespace tw

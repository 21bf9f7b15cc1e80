#pragma once

#include "core/permissions/permission_bits.h"

#include <QString>

#include <functional>
#include <optional>

namespace tw {

// The question of the Permissions dialog.
struct PermissionsRequest {
    QString name;         // the row's name, or "3 items"
    ModeChoice start;     // what the boxes show first (undecided bits: the rows differ)
    bool folders = false; // a folder is among the rows: "Apply to everything inside" is offered
};

struct PermissionsAnswer {
    ModeChoice choice;
    bool recursive = false; // "Apply to everything inside"
    queue::ChmodScope scope = queue::ChmodScope::FilesAndFolders;
};

// What the permission flows ask and show beyond the UI port. Called on the UI thread.
class PermissionsPort {
public:
    virtual ~PermissionsPort() = default;
    // The Permissions dialog; nullopt for Cancel.
    virtual std::optional<PermissionsAnswer> askPermissions(const PermissionsRequest& request) = 0;
    // The window of a run inside folders, with a Stop button that calls `stop`.
    virtual void openRunProgress(const QString& text, std::function<void()> stop) = 0;
    // Its text (nothing when the user has closed it).
    virtual void updateRunProgress(const QString& text) = 0;
    virtual void closeRunProgress() = 0;
};

} // namespace tw

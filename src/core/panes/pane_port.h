#pragma once

#include "core/ui_port.h"

#include <QString>

#include <cstdint>
#include <optional>

namespace tw {

// Which of the two small name dialogs is asked.
enum class NameDialogKind { MakeDirectory, Rename };

// One question of the Make Directory (3000) or Rename (3100) dialog.
struct NameRequest {
    NameDialogKind kind = NameDialogKind::MakeDirectory;
    PaneSide side = PaneSide::Local;
    QString caption;       // " Make Local Directory", " Rename Remote File", ...
    QString folder;        // Make Directory: the pane's folder (control 101)
    QString currentName;   // Rename: the row's name (control 101)
    bool isFolder = false; // Rename: the row is a folder (folder icon)
    QString type;          // Rename: the row's type (its file-type icon)
    QString text;          // the text to put in the edit field (Rename: the current name,
                           // selected)
    bool retry = false;    // asked again after a message: keep the dialog where it was and
                           // select the whole text
};

// The answers of the Delete confirmation (3200).
enum class DeleteAnswer { Yes, YesToAll, No, Cancel };

// One question of the Delete confirmation.
struct DeleteRequest {
    PaneSide side = PaneSide::Local;
    QString caption;   // " Delete Local File", " Delete Remote Folder", ...
    QString question;  // "Are you sure you want to delete this file?"
    QString kindLabel; // "File" / "Folder"
    QString name;
    bool isFolder = false;
    QString type;
    bool multiple = false; // enables "Yes to All"
    QString note;          // the line under the name; empty: the Delete command's warning
};

// The folder browser.
struct FolderRequest {
    QString title;
    QString startPath;
};

// What the Properties dialog (3500) shows, every text ready to display.
struct PropertiesData {
    QString name;
    QString site;     // "FTP Site:"
    QString location; // "Location:"
    bool isFolder = false;
    QString type;     // the row's type (icon lookup)
    QString typeText; // "Folder" or the file type's description
    QString sizeText; // "1.50 K (1536 Bytes)"
    QString created;
    QString modified;
    QString accessed;
    std::uint32_t attributes = 0; // read-only, hidden, archive bits
    // Remote rows: what the listing tells of the Unix permissions, each text "Unknown" where
    // it tells nothing ("rwxr-xr-x (755)", owner, group; the server's rights in words, empty
    // when not listed). Local rows show none of them.
    bool showAccess = false;
    QString permissions;
    QString owner;
    QString group;
    QString rights;
};

// The questions the pane operations ask beyond the UI port. The main window implements it by
// opening the pane dialogs (modal, over the main window); tests answer from a script.
class PanePort {
public:
    virtual ~PanePort() = default;
    // Shows the name dialog and returns the typed text, or nullopt for Cancel.
    virtual std::optional<QString> askName(const NameRequest& request) = 0;
    // The name loop has ended; `succeeded`: closed by OK after a successful operation, so the
    // dialog's position is remembered.
    virtual void endNameDialog(NameDialogKind kind, bool succeeded) = 0;
    // The Delete confirmation; Yes, No and Yes to All remember its position.
    virtual DeleteAnswer askDelete(const DeleteRequest& request) = 0;
    // The folder browser; nullopt for Cancel.
    virtual std::optional<QString> askFolder(const FolderRequest& request) = 0;
    // The Properties dialog; true for OK.
    virtual bool showProperties(const PropertiesData& data) = 0;
};

} // namespace tw

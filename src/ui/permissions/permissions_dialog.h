#pragma once

#include "core/permissions/permissions_port.h"

#include <QDialog>

#include <array>

class QCheckBox;
class QLineEdit;
class QRadioButton;

namespace tw::ui {

// The Permissions dialog (" Permissions"): the rows' name, nine boxes (Owner, Group, Others ×
// Read, Write, Execute) and the octal box ("Octal:", three digits, "x" for a digit left as each
// row has it), kept in step both ways. A box the rows differ on starts partly checked and may
// return to that state, which leaves its bit as each row has it. For folders "Apply to
// everything inside" with "Files and folders", "Files only", "Folders only". Object names:
// "name", "octal", "bit<who><what>" (who 0-2 owner, group, others; what 0-2 read, write,
// execute), "recursive", "filesAndFolders", "filesOnly", "foldersOnly", "okButton",
// "cancelButton".
class PermissionsDialog : public QDialog {
    Q_OBJECT
public:
    explicit PermissionsDialog(const PermissionsRequest& request, QWidget* parent = nullptr);

    ModeChoice choice() const { return m_choice; }
    PermissionsAnswer answer() const;

private:
    void showChoice(bool updateOctal);
    void boxChanged(int who, int what);
    void octalEdited(const QString& text);

    ModeChoice m_choice;
    std::array<std::array<QCheckBox*, 3>, 3> m_boxes{};
    QLineEdit* m_octal = nullptr;
    QCheckBox* m_recursive = nullptr;
    QRadioButton* m_filesAndFolders = nullptr;
    QRadioButton* m_filesOnly = nullptr;
    QRadioButton* m_foldersOnly = nullptr;
    bool m_showing = false;
};

} // namespace tw::ui

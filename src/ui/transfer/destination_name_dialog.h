#pragma once

#include "core/transfer/transfer_port.h"

#include "ui/dialogs/asking_dialog.h"

#include <functional>

class QLabel;
class QLineEdit;

namespace tw::ui {

// The destination file name prompt (3300) of uploads and downloads: the icon of the file's
// type (control 100), the source folder (101), the file name (102), the destination folder
// (103) and two edit boxes in the same place, 104 ordinary and 105 turning everything typed
// into lower case; only one of them is shown. OK, Cancel and Help. Object names: "100"-"105",
// "okButton", "cancelButton", "helpButton". OK accepts whatever was typed; the caller
// validates and asks again with `retry`, which keeps the typed text and selects it; OK leaves
// the dialog open (see AskingDialog).
class DestinationNameDialog : public AskingDialog {
    Q_OBJECT
public:
    explicit DestinationNameDialog(QWidget* parent = nullptr, std::function<void(int)> help = {});

    void setRequest(const DestinationNameRequest& request);
    // The visible edit box's text, at most 256 characters.
    QString text() const;
    // The edit box the request shows (105 when lower case, else 104).
    QLineEdit* edit() const;

private:
    std::function<void(int)> m_help;
    bool m_lowercase = false;
    QLabel* m_icon = nullptr;
    QLabel* m_sourceFolder = nullptr;
    QLabel* m_fileName = nullptr;
    QLabel* m_destinationFolder = nullptr;
    QLabel* m_editLabel = nullptr;
    QLineEdit* m_plainEdit = nullptr;
    QLineEdit* m_lowerEdit = nullptr;
};

} // namespace tw::ui

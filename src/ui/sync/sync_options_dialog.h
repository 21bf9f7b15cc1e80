#pragma once

#include "core/sync/sync_port.h"

#include <QDialog>

class QCheckBox;
class QLineEdit;
class QRadioButton;

namespace tw::ui {

// The Synchronise dialog: the two folders, the direction, which files, the compare rule, the
// checksum and the exclude patterns; OK lists both folders and shows the preview.
class SyncOptionsDialog : public QDialog {
public:
    SyncOptionsDialog(const SyncOptionsRequest& request, QWidget* parent);

    SyncChoices choices() const;

private:
    QRadioButton* m_upload = nullptr;
    QRadioButton* m_download = nullptr;
    QRadioButton* m_both = nullptr;
    QCheckBox* m_onlyNewer = nullptr;
    QCheckBox* m_onlyMissing = nullptr;
    QCheckBox* m_deleteExtra = nullptr;
    QRadioButton* m_sizeAndTime = nullptr;
    QRadioButton* m_sizeOnly = nullptr;
    QRadioButton* m_timeOnly = nullptr;
    QCheckBox* m_checksum = nullptr;
    QLineEdit* m_excludes = nullptr;
};

} // namespace tw::ui

#pragma once

#include "core/accounts/accounts_sheet.h"

#include <QWidget>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QToolButton;

namespace tw::ui {

// The Startup page: the local and remote start folders, masks, sort keys and exclude lists, the
// port and passive mode of the current account.
class StartupPage : public QWidget {
    Q_OBJECT
public:
    StartupPage(AccountsSheet& sheet, const QString& browseTitle, QWidget* parent = nullptr);

    void show(const StartupView& view);
    StartupFields fields() const;

private:
    void onBrowse();

    AccountsSheet& m_sheet;
    QString m_browseTitle;
    QLabel* m_name = nullptr;
    QLineEdit* m_localPath = nullptr;
    QToolButton* m_browse = nullptr;
    QLineEdit* m_localMask = nullptr;
    QComboBox* m_localSort = nullptr;
    QLineEdit* m_localExclude = nullptr;
    QLineEdit* m_remotePath = nullptr;
    QLineEdit* m_remoteMask = nullptr;
    QComboBox* m_remoteSort = nullptr;
    QLineEdit* m_remoteExclude = nullptr;
    QLineEdit* m_port = nullptr;
    QCheckBox* m_passive = nullptr;
};

} // namespace tw::ui

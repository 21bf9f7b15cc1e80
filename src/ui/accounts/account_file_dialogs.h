#pragma once

#include "core/accounts/accounts_port.h"

class QWidget;

namespace tw::ui {

// The file dialogs of Export and Import over QFileDialog. Each dialog remembers the filter last
// chosen in it for the rest of the run.
class AccountFileDialogs : public AccountsPort {
public:
    explicit AccountFileDialogs(QWidget* owner) : m_owner(owner) {}

    std::optional<QString> askSaveFileName(const QString& path, const QString& title,
                                           const QString& filter,
                                           const QString& defaultExtension) override;
    std::optional<QString> askOpenFileName(const QString& path, const QString& title,
                                           const QString& filter) override;

    // "Name|*.a;*.b|All Files|*.*|" as QFileDialog filters ("Name (*.a *.b)").
    static QStringList ConvertFilter(const QString& filter);

private:
    QWidget* m_owner;
};

} // namespace tw::ui

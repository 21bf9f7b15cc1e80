#pragma once

#include "core/panes/pane_port.h"

#include <QDialog>

namespace tw::ui {

// The Properties dialog (3500, " Properties"): one row, read-only. Object names: "100" icon,
// "101" name, "102" FTP site, "103" location, "104" type, "105" size, "106"-"108" created,
// modified, accessed, "109"-"111" the Read-Only, Hidden and Archive boxes (disabled); for remote
// rows "112"-"114" permissions, owner and group, "115" the server's rights where listed;
// "okButton", "cancelButton".
class PropertiesDialog : public QDialog {
    Q_OBJECT
public:
    explicit PropertiesDialog(const PropertiesData& data, QWidget* parent = nullptr);
};

} // namespace tw::ui

#pragma once

#include "core/session/quick_connect.h"

#include <QWidget>

#include <functional>
#include <vector>

class QComboBox;
class QLineEdit;
class QPushButton;

namespace tw {
class Messages;
class SessionController;
class SettingsStore;
struct AppRuntime;
} // namespace tw

namespace tw::ui {

// The quick connect bar above the panes: Host (an editable list of the last sites), User,
// Password, Port, Connect and Save as account. Enter in any field connects; choosing a site
// from the list fills the fields. It connects through the session without an account and
// keeps the list in the settings.
class QuickConnectBar : public QWidget {
    Q_OBJECT
public:
    struct Hooks {
        // Ends the open session first (it may ask); false when it stays.
        std::function<bool()> disconnect;
        // The accounts sheet over `draft` (see SaveQuickAccount); true on OK.
        std::function<bool(AppState& draft)> runAccountsSheet;
        std::function<bool(const AppState&)> saveSettings;
    };

    QuickConnectBar(AppState& state, const AppRuntime& runtime, const Messages& messages,
                    SessionController& session, SettingsStore& store, Hooks hooks,
                    QWidget* parent = nullptr);

    QuickConnectFields fields() const;
    void setFields(const QuickConnectFields& fields);
    const std::vector<QuickConnectEntry>& history() const { return m_history; }
    // The bar's last control in the tab order.
    QWidget* lastInTabOrder() const;
    // Save as account follows the session and the host field.
    void updateState();

    // The bar's commands, as its buttons and Enter run them.
    void connectToSite();
    void saveAsAccount();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void showHistory();

    AppState& m_state;
    const AppRuntime& m_runtime;
    const Messages& m_messages;
    SessionController& m_session;
    SettingsStore& m_store;
    Hooks m_hooks;
    std::vector<QuickConnectEntry> m_history;
    QComboBox* m_host = nullptr;
    QLineEdit* m_user = nullptr;
    QLineEdit* m_password = nullptr;
    QLineEdit* m_port = nullptr;
    QPushButton* m_connect = nullptr;
    QPushButton* m_save = nullptr;
};

} // namespace tw::ui

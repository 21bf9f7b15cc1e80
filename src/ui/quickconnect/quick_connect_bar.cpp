#include "ui/quickconnect/quick_connect_bar.h"

#include "core/session/session_controller.h"
#include "core/state/app_runtime.h"
#include "core/text/messages.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace tw::ui {

namespace {

constexpr int kHostLabelId = 5120; // "H&ost:", "&User:", "Pass&word:", "Por&t:"
constexpr int kConnectId = 5124;   // "Co&nnect"
constexpr int kSaveId = 5125;      // "Save as &account..."
constexpr int kBarNameId = 5126;   // "Quick Connect"
// An address may carry a user, a password and a folder besides the host.
constexpr int kAddressLimit = 1024;

QString Plain(const QString& text) {
    return QString(text).remove(u'&');
}

} // namespace

QuickConnectBar::QuickConnectBar(AppState& state, const AppRuntime& runtime,
                                 const Messages& messages, SessionController& session,
                                 SettingsStore& store, Hooks hooks, QWidget* parent)
    : QWidget(parent), m_state(state), m_runtime(runtime), m_messages(messages), m_session(session),
      m_store(store), m_hooks(std::move(hooks)), m_history(LoadQuickHistory(store)) {
    setObjectName(QStringLiteral("quickConnect"));
    setAccessibleName(messages.LoadStringText(kBarNameId));
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(4, 0, 4, 0);
    layout->setSpacing(4);

    m_host = new QComboBox(this);
    m_host->setEditable(true);
    m_host->setInsertPolicy(QComboBox::NoInsert);
    m_host->setMaxVisibleItems(kQuickHistoryLimit);
    m_host->lineEdit()->setMaxLength(kAddressLimit);
    m_host->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    m_host->setMinimumContentsLength(6);
    m_user = new QLineEdit(this);
    m_user->setMaxLength(kAccountLoginLimit);
    m_password = new QLineEdit(this);
    m_password->setMaxLength(kAccountPasswordLimit);
    m_password->setEchoMode(QLineEdit::Password);
    m_port = new QLineEdit(this);
    m_port->setMaxLength(5);
    m_port->setFixedWidth(m_port->fontMetrics().horizontalAdvance(u"65535"_qs) + 12);
    for (QLineEdit* edit : {m_user, m_password})
        edit->setMinimumWidth(edit->fontMetrics().averageCharWidth() * 5);

    // Each field after its label, the label naming it for screen readers.
    const std::pair<QWidget*, const char*> fields[] = {
        {m_host, "host"}, {m_user, "user"}, {m_password, "password"}, {m_port, "port"}};
    int labelId = kHostLabelId;
    for (const auto& [field, name] : fields) {
        auto* label = new QLabel(messages.LoadStringText(labelId++), this);
        label->setBuddy(field);
        field->setObjectName(QString::fromLatin1(name));
        field->setAccessibleName(Plain(label->text()).chopped(1)); // without the colon
        if (field == m_host)
            m_host->lineEdit()->setAccessibleName(m_host->accessibleName());
        layout->addWidget(label);
        layout->addWidget(field, field == m_host ? 2 : field == m_port ? 0 : 1);
    }
    m_connect = new QPushButton(messages.LoadStringText(kConnectId), this);
    m_connect->setObjectName(QStringLiteral("connect"));
    m_connect->setAccessibleName(Plain(m_connect->text()));
    m_save = new QPushButton(messages.LoadStringText(kSaveId), this);
    m_save->setObjectName(QStringLiteral("saveAsAccount"));
    m_save->setAccessibleName(Plain(m_save->text()));
    layout->addWidget(m_connect);
    layout->addWidget(m_save);
    setTabOrder(m_host, m_user);
    setTabOrder(m_user, m_password);
    setTabOrder(m_password, m_port);
    setTabOrder(m_port, m_connect);
    setTabOrder(m_connect, m_save);

    connect(m_connect, &QPushButton::clicked, this, &QuickConnectBar::connectToSite);
    connect(m_save, &QPushButton::clicked, this, &QuickConnectBar::saveAsAccount);
    for (QLineEdit* edit : {m_host->lineEdit(), m_user, m_password, m_port}) {
        connect(edit, &QLineEdit::returnPressed, this, &QuickConnectBar::connectToSite);
        edit->installEventFilter(this);
    }
    // The editable combo box keeps the focus itself and hands keys to its line edit, so the
    // shortcut check reaches the box, not the line edit.
    m_host->installEventFilter(this);
    connect(m_host, &QComboBox::currentTextChanged, this, &QuickConnectBar::updateState);
    // A site chosen from the list fills every field; its password is never kept.
    connect(m_host, &QComboBox::activated, this, [this](int index) {
        if (index >= 0 && std::size_t(index) < m_history.size())
            setFields(QuickFieldsOf(m_history[std::size_t(index)]));
    });
    showHistory();
    updateState();
}

QuickConnectFields QuickConnectBar::fields() const {
    return {m_host->currentText(), m_user->text(), m_password->text(), m_port->text()};
}

void QuickConnectBar::setFields(const QuickConnectFields& fields) {
    m_host->setEditText(fields.host);
    m_user->setText(fields.user);
    m_password->setText(fields.password);
    m_port->setText(fields.port);
    updateState();
}

// Enter in a field connects: the window's Enter key (Edit the local file) must not take it.
bool QuickConnectBar::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::ShortcutOverride) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) &&
            (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
            event->accept();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

QWidget* QuickConnectBar::lastInTabOrder() const {
    return m_save;
}

void QuickConnectBar::showHistory() {
    const QString typed = m_host->currentText();
    m_host->clear();
    for (const QuickConnectEntry& entry : m_history)
        m_host->addItem(QuickHistoryText(entry));
    m_host->setCurrentIndex(-1);
    m_host->setEditText(typed);
}

void QuickConnectBar::updateState() {
    const bool quickSession = m_runtime.connected && m_session.quickAccount().has_value();
    m_save->setEnabled(quickSession || !m_host->currentText().trimmed().isEmpty());
}

void QuickConnectBar::connectToSite() {
    if (m_runtime.busy) {
        m_messages.Beep();
        return;
    }
    const QuickConnectFields typed = fields();
    // Fields that cannot connect never end the open session.
    if (!QuickConnectAccount(m_messages, typed))
        return;
    if (m_runtime.connected && (!m_hooks.disconnect || !m_hooks.disconnect()))
        return;
    if (StartQuickConnect(m_session, m_messages, typed, m_history)) {
        showHistory();
        SaveQuickHistory(m_store, m_history);
    }
    updateState();
}

void QuickConnectBar::saveAsAccount() {
    std::optional<AccountRecord> account;
    if (!m_host->currentText().trimmed().isEmpty())
        account = QuickConnectAccount(m_messages, fields());
    else if (m_runtime.connected && m_session.quickAccount())
        account = m_session.quickAccount();
    if (account)
        SaveQuickAccount(m_state, m_messages, *account, m_hooks.runAccountsSheet,
                         m_hooks.saveSettings);
}

} // namespace tw::ui

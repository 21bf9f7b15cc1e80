#include "ui/sync/sync_dialogs.h"

#include "core/text/string_table.h"
#include "ui/dialogs/control_names.h"
#include "ui/dialogs/dialog_placement.h"
#include "ui/dialogs/dialog_units.h"
#include "ui/sync/sync_options_dialog.h"
#include "ui/sync/sync_preview_dialog.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace tw::ui {

namespace {

constexpr int kCaption = 5863;
constexpr int kStop = 5925;

} // namespace

SyncDialogs::SyncDialogs(QWidget* owner) : m_owner(owner) {}

SyncDialogs::~SyncDialogs() {
    delete m_progress.data();
}

std::optional<SyncChoices> SyncDialogs::askSyncOptions(const SyncOptionsRequest& request) {
    SyncOptionsDialog dialog(request, m_owner);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.choices();
}

std::optional<std::vector<bool>> SyncDialogs::askSyncPreview(const SyncPreviewRequest& request) {
    SyncPreviewDialog dialog(request, m_owner);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.ticked();
}

void SyncDialogs::openSyncProgress(const QString& text, std::function<void()> stop) {
    closeSyncProgress();
    m_stop = std::move(stop);
    auto* window = new QDialog(m_owner);
    window->setObjectName(QStringLiteral("SyncProgress"));
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->setFont(DialogUnits::dialogFont());
    SetDialogIcon(window, 1000);
    window->setWindowTitle(LookupString(kCaption).value_or(QString()));
    const DialogUnits du(window->font());
    auto* label = new QLabel(window);
    label->setObjectName(QStringLiteral("progressText"));
    label->setTextFormat(Qt::PlainText);
    label->setMinimumWidth(du.x(180));
    auto* buttons = new QDialogButtonBox(window);
    auto* stopButton =
        buttons->addButton(LookupString(kStop).value_or(QString()), QDialogButtonBox::RejectRole);
    stopButton->setObjectName(QStringLiteral("stopButton"));
    // Stop, Escape and the close box all stop; the window goes when the thread has ended.
    QObject::connect(window, &QDialog::rejected, window, [this] {
        if (m_stop)
            m_stop();
    });
    QObject::connect(buttons, &QDialogButtonBox::rejected, window, &QDialog::reject);
    auto* layout = new QVBoxLayout(window);
    layout->setContentsMargins(du.x(7), du.y(7), du.x(7), du.y(7));
    layout->addWidget(label);
    layout->addWidget(buttons);
    m_progress = window;
    m_progressText = label;
    window->setModal(false);
    window->show();
    updateSyncProgress(text);
}

void SyncDialogs::updateSyncProgress(const QString& text) {
    if (!m_progress)
        return;
    m_progressText->setText(text);
    NameControlsByText(m_progress);
}

void SyncDialogs::closeSyncProgress() {
    m_stop = nullptr;
    if (m_progress) {
        QDialog* window = m_progress;
        m_progress = nullptr;
        window->deleteLater();
    }
}

} // namespace tw::ui

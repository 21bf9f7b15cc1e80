#include "ui/sync/sync_dialogs.h"

#include "core/text/string_table.h"
#include "ui/dialogs/stop_window.h"
#include "ui/sync/sync_options_dialog.h"
#include "ui/sync/sync_preview_dialog.h"

namespace tw::ui {

namespace {

constexpr int kCaption = 5863;
constexpr int kStop = 5925;

} // namespace

SyncDialogs::SyncDialogs(QWidget* owner) : m_owner(owner) {}

SyncDialogs::~SyncDialogs() = default;

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
    m_progress.open(m_owner,
                    {LookupString(kCaption).value_or(QString()),
                     LookupString(kStop).value_or(QString()), 180, QStringLiteral("SyncProgress")},
                    text, std::move(stop));
}

void SyncDialogs::updateSyncProgress(const QString& text) {
    m_progress.update(text);
}

void SyncDialogs::closeSyncProgress() {
    m_progress.close();
}

} // namespace tw::ui

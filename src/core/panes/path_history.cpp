#include "core/panes/path_history.h"

#include "core/panes/local_listing.h"
#include "core/settings/settings_store.h"
#include "core/state/app_state.h"
#include "core/text/format.h"
#include "core/text/messages.h"
#include "core/text/shown_text.h"
#include "ftp/display_text.h"

#include <QFile>

#include <algorithm>

namespace tw {

namespace {

const QString kHistoryKey = QStringLiteral("Folder History");
constexpr int kFolderLimit = 1023;
constexpr int kControlCharacterText = 5400;

QString historyKey(PaneSide side) {
    return kHistoryKey +
           (side == PaneSide::Local ? QStringLiteral("\\Local") : QStringLiteral("\\Remote"));
}

QString entryName(int index) {
    return FormatText(QStringLiteral("Folder-%02d"), {index + 1}, -1);
}

std::vector<QString> loadHistory(const SettingsStore& store, PaneSide side) {
    const QString key = historyKey(side);
    const int count = int(std::min<std::uint32_t>(
        store.ReadSettingNumber(key, QStringLiteral("Count"), 0), kPathHistoryLimit));
    std::vector<QString> history;
    // Oldest first, so that each one remembered moves the newer ones ahead of it.
    for (int i = count - 1; i >= 0; --i)
        RememberFolder(history,
                       store.ReadSettingString(key, entryName(i), QString(), kFolderLimit + 1));
    return history;
}

void saveHistory(SettingsStore& store, PaneSide side, const std::vector<QString>& history) {
    const QString key = historyKey(side);
    store.DeleteSettingsKey(key);
    if (history.empty())
        return;
    const int count = std::min(int(history.size()), kPathHistoryLimit);
    store.WriteSettingNumber(key, QStringLiteral("Count"), std::uint32_t(count));
    for (int i = 0; i < count; ++i)
        store.WriteSettingString(key, entryName(i), history[std::size_t(i)]);
}

} // namespace

void RememberFolder(std::vector<QString>& history, const QString& folder) {
    if (folder.isEmpty() || folder.size() > kFolderLimit || ContainsControlCharacter(folder))
        return;
    history.erase(std::remove(history.begin(), history.end(), folder), history.end());
    history.insert(history.begin(), folder);
    if (int(history.size()) > kPathHistoryLimit)
        history.resize(kPathHistoryLimit);
}

void LoadFolderHistories(const SettingsStore& store, AppState& state) {
    state.LocalFolderHistory = loadHistory(store, PaneSide::Local);
    state.RemoteFolderHistory = loadHistory(store, PaneSide::Remote);
}

void SaveFolderHistories(SettingsStore& store, const AppState& state) {
    saveHistory(store, PaneSide::Local, state.LocalFolderHistory);
    saveHistory(store, PaneSide::Remote, state.RemoteFolderHistory);
}

bool ContainsControlCharacter(const QString& text) {
    for (const char32_t c : text.toUcs4())
        if (ftp::IsControlCodePoint(c))
            return true;
    return false;
}

QString ExpandHomeFolder(const QString& typed, const QString& home) {
    if (typed == u"~")
        return home;
    if (typed.startsWith(u"~/"))
        return home + typed.mid(1);
    return typed;
}

bool AcceptTypedFolder(const Messages& messages, const QString& typed) {
    if (typed.isEmpty())
        return false;
    if (ContainsControlCharacter(typed)) {
        messages.ErrorBox(kControlCharacterText, {ShownText(typed, ftp::LineBreaks::Escape)});
        return false;
    }
    return true;
}

bool GoToLocalFolder(AppState& state, const Messages& messages, LocalSystem& system,
                     const QString& typed, const QString& home) {
    if (!AcceptTypedFolder(messages, typed))
        return false;
    ChangeLocalFolder(state, messages, QFile::encodeName(ExpandHomeFolder(typed, home)));
    ListLocalDirectory(state, messages, system);
    return true;
}

} // namespace tw

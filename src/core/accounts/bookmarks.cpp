#include "core/accounts/bookmarks.h"

#include "core/panes/path_history.h"
#include "core/settings/settings_store.h"
#include "core/state/app_state.h"
#include "core/text/format.h"
#include "core/text/messages.h"
#include "core/text/shown_text.h"

#include <algorithm>

namespace tw {

namespace {

QString bookmarksKey(const QString& accountKey) {
    return accountKey + QStringLiteral("\\Bookmarks");
}

QString entryName(int index) {
    return FormatText(QStringLiteral("Folder-%03d"), {index + 1}, -1);
}

bool acceptable(const QString& folder) {
    return !folder.isEmpty() && folder.size() <= kBookmarkPathLimit &&
           !ContainsControlCharacter(folder);
}

AccountRecord* record(AppState& state, int account) {
    if (account < 0 || account >= state.AccountCount())
        return nullptr;
    return &state.Accounts[std::size_t(account)];
}

constexpr int kAddedText = 5403;
constexpr int kAlreadyText = 5404;
constexpr int kFullText = 5405;
constexpr int kNoAccountText = 5406;
constexpr int kRefusedText = 5400;

} // namespace

BookmarkAdded AddBookmark(std::vector<QString>& bookmarks, const QString& folder) {
    if (!acceptable(folder))
        return BookmarkAdded::Refused;
    if (std::find(bookmarks.begin(), bookmarks.end(), folder) != bookmarks.end())
        return BookmarkAdded::AlreadyKept;
    if (int(bookmarks.size()) >= kMaxBookmarks)
        return BookmarkAdded::Full;
    bookmarks.push_back(folder);
    return BookmarkAdded::Added;
}

bool RemoveBookmark(std::vector<QString>& bookmarks, int index) {
    if (index < 0 || index >= int(bookmarks.size()))
        return false;
    bookmarks.erase(bookmarks.begin() + index);
    return true;
}

std::vector<QString> ReadBookmarks(const SettingsStore& store, const QString& accountKey) {
    const QString key = bookmarksKey(accountKey);
    const int count = int(std::min<std::uint32_t>(
        store.ReadSettingNumber(key, QStringLiteral("Count"), 0), std::uint32_t(kMaxBookmarks)));
    std::vector<QString> bookmarks;
    for (int i = 0; i < count; ++i)
        AddBookmark(bookmarks,
                    store.ReadSettingString(key, entryName(i), QString(), kBookmarkPathLimit + 1));
    return bookmarks;
}

void WriteBookmarks(SettingsStore& store, const QString& accountKey,
                    const std::vector<QString>& bookmarks) {
    const QString key = bookmarksKey(accountKey);
    store.DeleteSettingsKey(key);
    if (bookmarks.empty())
        return;
    const int count = std::min(int(bookmarks.size()), kMaxBookmarks);
    store.WriteSettingNumber(key, QStringLiteral("Count"), std::uint32_t(count));
    for (int i = 0; i < count; ++i)
        store.WriteSettingString(key, entryName(i), bookmarks[std::size_t(i)]);
}

bool AddCurrentBookmark(AppState& state, int accountIndex, const Messages& messages,
                        const SaveState& save) {
    AccountRecord* account = record(state, accountIndex);
    const QString folder = state.remote.path;
    if (!account) {
        messages.ShowStatus(kNoAccountText);
        messages.Beep();
        return false;
    }
    const QString shown = ShownText(folder, ftp::LineBreaks::Escape);
    switch (AddBookmark(account->Bookmarks, folder)) {
    case BookmarkAdded::Added:
        if (save)
            save(state);
        messages.ShowStatus(kAddedText, {shown});
        return true;
    case BookmarkAdded::AlreadyKept:
        messages.ShowStatus(kAlreadyText, {shown});
        break;
    case BookmarkAdded::Full:
        messages.ShowStatus(kFullText, {kMaxBookmarks});
        break;
    case BookmarkAdded::Refused:
        messages.ShowStatus(kRefusedText, {shown});
        break;
    }
    messages.Beep();
    return false;
}

std::optional<QString> ShowBookmarks(AppState& state, int accountIndex, const Messages& messages,
                                     BookmarksPort& port, const SaveState& save) {
    AccountRecord* account = record(state, accountIndex);
    if (!account) {
        messages.ShowStatus(kNoAccountText);
        messages.Beep();
        return std::nullopt;
    }
    const auto remove = [&](int row) {
        AccountRecord& a = state.Accounts[std::size_t(accountIndex)];
        if (RemoveBookmark(a.Bookmarks, row) && save)
            save(state);
        return a.Bookmarks;
    };
    const std::optional<int> chosen =
        port.chooseBookmark(account->Name, account->Bookmarks, remove);
    const AccountRecord& after = state.Accounts[std::size_t(accountIndex)];
    if (!chosen || *chosen < 0 || *chosen >= int(after.Bookmarks.size()))
        return std::nullopt;
    return after.Bookmarks[std::size_t(*chosen)];
}

const std::vector<QString>& AccountBookmarks(const AppState& state, int account) {
    static const std::vector<QString> none;
    if (account < 0 || account >= state.AccountCount())
        return none;
    return state.Accounts[std::size_t(account)].Bookmarks;
}

} // namespace tw

#pragma once

#include <QString>

#include <functional>
#include <optional>
#include <vector>

namespace tw {

class Messages;
class SettingsStore;
struct AppState;

// Folder bookmarks: remote folders kept per account (AccountRecord::Bookmarks). They are
// stored below the account's own key ("Accounts\Account-001\Bookmarks"), written and read with
// the record, so a rename, the load-time sort or a delete of the account takes them along.

inline constexpr int kMaxBookmarks = 50;
inline constexpr int kBookmarkPathLimit = 1023;

enum class BookmarkAdded { Added, AlreadyKept, Full, Refused };

// Appends `folder` to `bookmarks` unless it is there already, the list is full, or the folder
// is empty, too long or holds a control character.
BookmarkAdded AddBookmark(std::vector<QString>& bookmarks, const QString& folder);
// Removes row `index`; false when there is no such row.
bool RemoveBookmark(std::vector<QString>& bookmarks, int index);

// The bookmarks stored below `accountKey`; unreadable, empty or duplicated entries are dropped.
std::vector<QString> ReadBookmarks(const SettingsStore& store, const QString& accountKey);
// Replaces the bookmarks stored below `accountKey` (none left when `bookmarks` is empty).
void WriteBookmarks(SettingsStore& store, const QString& accountKey,
                    const std::vector<QString>& bookmarks);

using SaveState = std::function<bool(const AppState&)>;

// Remote > Add Bookmark: keeps the remote pane's folder for the session's account (`account`,
// an index into the table; -1 for a connection outside it, such as a quick connect), saves and
// says so in the status line. False when nothing was added.
bool AddCurrentBookmark(AppState& state, int account, const Messages& messages,
                        const SaveState& save);

// The bookmarks dialog: shows the rows of one account; `remove` takes a row out (stored at once)
// and returns the rows left. Returns the row to go to, or nothing (closed).
class BookmarksPort {
public:
    virtual ~BookmarksPort() = default;
    virtual std::optional<int>
    chooseBookmark(const QString& account, const std::vector<QString>& rows,
                   const std::function<std::vector<QString>(int)>& remove) = 0;
};

// Remote > Bookmarks: the bookmarks of account `account` in the dialog. Returns the folder
// chosen to go to. Without an account (-1) the status line says why and nothing is shown.
std::optional<QString> ShowBookmarks(AppState& state, int account, const Messages& messages,
                                     BookmarksPort& port, const SaveState& save);

// The bookmarks of account `account`, or none.
const std::vector<QString>& AccountBookmarks(const AppState& state, int account);

} // namespace tw

#pragma once

#include "core/panes/file_entry.h"

#include <QByteArray>
#include <QString>

#include <array>
#include <vector>

namespace tw {

enum class SortKey : int { Name = 0, Date = 1, Size = 2, Type = 3 };

// One pane: its folder, mask, exclude list, sort key and rows. A view row index is always an
// index into `entries`.
struct PaneState {
    QString site;    // remote pane: host the connection was opened to
    QString path;    // current folder (local: absolute path; remote: as the server reports it)
    QString mask;    // one wildcard pattern, at most 23 characters; empty = "*.*"
    QString exclude; // extensions separated by ';', ',' or ' '
    SortKey sortKey = SortKey::Name;
    bool hasListing = false; // false: the pane holds no listing (rows empty)
    std::vector<FileEntry> entries;
    // Rows of the listing left out because hidden names are not shown (Options::ShowHidden),
    // kept so that showing them needs no new listing. In no particular order.
    std::vector<FileEntry> heldHidden;

    // Local pane: the folder's bytes as the system returned them, kept when `path` cannot
    // represent them (a folder name that is not UTF-8). Empty otherwise.
    QByteArray rawPath;
    // The path label above the list ("Local: /home/user"), written by the listings.
    QString label;
    // The three column header texts, with the sort mark on the sorted column.
    std::array<QString, 3> headers;

    int count() const { return static_cast<int>(entries.size()); }
};

} // namespace tw

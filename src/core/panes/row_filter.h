#pragma once

#include "core/panes/file_entry.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <vector>

namespace tw {

// The filter box of a pane: which rows a typed text leaves visible, by name only, without a
// new listing and apart from the account's mask and exclude list. Case does not count. A text
// with '*' or '?' is a wildcard pattern for the whole name (the Windows rules of
// ftp::WildcardMatch: "*.*" is every name); any other text keeps the names containing it. The
// ".." row always stays; an empty text keeps every row.
class RowFilter {
public:
    explicit RowFilter(const QString& text = QString());

    bool isEmpty() const { return m_text.isEmpty(); }
    bool matches(const FileEntry& row) const;

private:
    QString m_text;       // case-folded
    QByteArray m_pattern; // the folded text in UTF-8, when it holds wildcards
    bool m_wildcards = false;
};

struct FilteredRows {
    std::vector<std::uint8_t> visible; // one per row: 1 shown, 0 hidden
    int matched = 0;                   // rows shown besides ".."
    // The text keeps no name at all (a note says so rather than an empty list alone).
    bool noMatch = false;
};

// Which of `rows` the filter text leaves visible.
FilteredRows FilterRows(const std::vector<FileEntry>& rows, const QString& text);

} // namespace tw

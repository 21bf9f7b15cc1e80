#include "core/panes/pane_sort.h"

#include "core/state/app_state.h"
#include "core/text/messages.h"

#include <QCollator>
#include <QCollatorSortKey>
#include <QHash>
#include <QLocale>

#include <algorithm>
#include <cstdint>
#include <numeric>
#include <optional>

namespace tw {

namespace {

QCollator MakeCollator() {
    // The C locale collates by code point and ignores the case setting: use English rules.
    QLocale locale;
    if (locale.language() == QLocale::C)
        locale = QLocale(QLocale::English, QLocale::UnitedStates);
    QCollator collator{locale};
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    collator.setNumericMode(false);
    return collator;
}

template <typename T>
int Sign(T a, T b) {
    return a < b ? -1 : (a > b ? 1 : 0);
}

int CompareSize(const FileEntry& a, const FileEntry& b, const SortOptions& o) {
    return o.largestFirst ? Sign(b.size, a.size) : Sign(a.size, b.size);
}

int CompareDate(const FileEntry& a, const FileEntry& b, const SortOptions& o) {
    return o.oldestFirst ? Sign(a.dateKey, b.dateKey) : Sign(b.dateKey, a.dateKey);
}

// A row's text with its collation key; empty texts carry no key.
struct TextKey {
    std::optional<QCollatorSortKey> key;
};

int CompareKeys(const TextKey& a, const TextKey& b) {
    if (!a.key && !b.key)
        return 0;
    if (!a.key)
        return 1;
    if (!b.key)
        return -1;
    return a.key->compare(*b.key);
}

} // namespace

SortOptions SortOptions::From(const Options& options) {
    return {options.FoldersLast != 0, options.DrivesLast != 0, options.OldestFirst != 0,
            options.LargestFirst != 0};
}

int CompareTextEmptyLast(const QString& a, const QString& b) {
    if (a.isEmpty() && b.isEmpty())
        return 0;
    if (a.isEmpty())
        return 1;
    if (b.isEmpty())
        return -1;
    static thread_local const QCollator collator = MakeCollator();
    const int r = collator.compare(a, b);
    return r < 0 ? -1 : (r > 0 ? 1 : 0);
}

int ComparePlacement(const FileEntry& a, const FileEntry& b, const SortOptions& o) {
    if (a.name == u"..")
        return -1;
    if (b.name == u"..")
        return 1;
    int r = o.drivesLast ? int(a.isDrive) - int(b.isDrive) : int(b.isDrive) - int(a.isDrive);
    if (r != 0)
        return r;
    r = o.foldersLast ? int(a.isFolder) - int(b.isFolder) : int(b.isFolder) - int(a.isFolder);
    return r;
}

int CompareEntries(const FileEntry& a, const FileEntry& b, SortKey key, const SortOptions& o) {
    int r = ComparePlacement(a, b, o);
    if (r != 0)
        return r;
    switch (key) {
    case SortKey::Name:
        return CompareTextEmptyLast(a.name, b.name);
    case SortKey::Date:
        if ((r = CompareDate(a, b, o)) != 0)
            return r;
        if ((r = CompareTextEmptyLast(a.name, b.name)) != 0)
            return r;
        return CompareTextEmptyLast(a.type, b.type);
    case SortKey::Size:
        if ((r = CompareSize(a, b, o)) != 0)
            return r;
        if ((r = CompareTextEmptyLast(a.name, b.name)) != 0)
            return r;
        return CompareTextEmptyLast(a.type, b.type);
    default:
        if ((r = CompareTextEmptyLast(a.type, b.type)) != 0)
            return r;
        return CompareTextEmptyLast(a.name, b.name);
    }
}

void SortEntries(std::vector<FileEntry>& entries, SortKey key, const SortOptions& o) {
    const std::size_t n = entries.size();
    if (n < 2)
        return;
    // Everything a comparison needs, packed per row so that the sort stays in cache: the
    // placement group, the date or size (already turned for the chosen direction), and
    // indexes of the name's and type's collation keys.
    struct SortRow {
        std::uint64_t value; // date key or size, ascending in the wanted order
        std::uint32_t index;
        std::uint32_t typeRank;
        std::uint8_t group; // 0 the ".." row, then drives / folders / files by the options
    };
    const QCollator collator = MakeCollator();
    std::vector<TextKey> names(n);
    std::vector<SortRow> rows(n);
    QHash<QString, std::uint32_t> typeIndex;
    std::vector<TextKey> typeKeys;
    for (std::size_t i = 0; i < n; ++i) {
        const FileEntry& e = entries[i];
        SortRow& r = rows[i];
        r.index = std::uint32_t(i);
        if (e.name == u"..") {
            r.group = 0;
        } else {
            const int drive = o.drivesLast ? int(e.isDrive) : int(!e.isDrive);
            const int folder = o.foldersLast ? int(e.isFolder) : int(!e.isFolder);
            r.group = std::uint8_t(1 + drive * 2 + folder);
        }
        if (key == SortKey::Date) {
            const auto k = static_cast<std::uint64_t>(e.dateKey);
            r.value = o.oldestFirst ? k : ~k;
        } else if (key == SortKey::Size) {
            r.value = o.largestFirst ? ~e.size : e.size;
        } else {
            r.value = 0;
        }
        if (!e.name.isEmpty())
            names[i].key = collator.sortKey(e.name);
        r.typeRank = 0;
        if (key != SortKey::Name) {
            auto it = typeIndex.constFind(e.type);
            if (it == typeIndex.constEnd()) {
                TextKey k;
                if (!e.type.isEmpty())
                    k.key = collator.sortKey(e.type);
                typeKeys.push_back(std::move(k));
                it = typeIndex.insert(e.type, std::uint32_t(typeKeys.size() - 1));
            }
            r.typeRank = *it;
        }
    }
    // Types repeat: order them once, so that rows compare type ranks as plain numbers.
    if (key != SortKey::Name) {
        std::vector<std::uint32_t> order(typeKeys.size());
        std::iota(order.begin(), order.end(), 0u);
        std::sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) {
            return CompareKeys(typeKeys[a], typeKeys[b]) < 0;
        });
        std::vector<std::uint32_t> rank(typeKeys.size());
        std::uint32_t next = 0;
        for (std::size_t i = 0; i < order.size(); ++i) {
            if (i > 0 && CompareKeys(typeKeys[order[i - 1]], typeKeys[order[i]]) != 0)
                ++next;
            rank[order[i]] = next;
        }
        for (SortRow& r : rows)
            r.typeRank = rank[r.typeRank];
    }
    auto less = [&](const SortRow& a, const SortRow& b) {
        if (a.group != b.group)
            return a.group < b.group;
        if (a.group == 0)
            return false; // two ".." rows: either may come first
        switch (key) {
        case SortKey::Name:
            return CompareKeys(names[a.index], names[b.index]) < 0;
        case SortKey::Date:
        case SortKey::Size: {
            if (a.value != b.value)
                return a.value < b.value;
            const int r = CompareKeys(names[a.index], names[b.index]);
            if (r != 0)
                return r < 0;
            return a.typeRank < b.typeRank;
        }
        default: {
            if (a.typeRank != b.typeRank)
                return a.typeRank < b.typeRank;
            return CompareKeys(names[a.index], names[b.index]) < 0;
        }
        }
    };
    std::sort(rows.begin(), rows.end(), less);
    std::vector<FileEntry> sorted;
    sorted.reserve(n);
    for (const SortRow& r : rows)
        sorted.push_back(std::move(entries[r.index]));
    entries.swap(sorted);
}

std::array<QString, 3> HeaderTexts(const Messages& messages, const std::array<QString, 3>& labels,
                                   SortKey key) {
    std::array<QString, 3> out;
    for (int i = 0; i < 3; ++i) {
        const QString& label = labels[std::size_t(i)];
        if (i == int(key))
            out[std::size_t(i)] =
                messages.FormatResource(i == 2 ? 3707 : 3708, {label}, kShortFormatLimit)
                    .value_or(label);
        else
            out[std::size_t(i)] = label;
    }
    return out;
}

bool SortAndShowPane(const Messages& messages, const AppState& state, PaneState& pane,
                     PaneSide side) {
    SortEntries(pane.entries, pane.sortKey, SortOptions::From(state.options));
    pane.headers = HeaderTexts(messages, state.ColumnLabels, pane.sortKey);
    messages.port().refreshPane(side);
    return true;
}

void SetPaneSortKey(const Messages& messages, const AppState& state, PaneState& pane, PaneSide side,
                    int key) {
    pane.sortKey = SortKey(key); // any other value sorts by type, without a header mark
    SortAndShowPane(messages, state, pane, side);
}

int GetFirstSelectedRow(const std::vector<int>& selection) {
    return selection.empty() ? -1 : *std::min_element(selection.begin(), selection.end());
}

} // namespace tw

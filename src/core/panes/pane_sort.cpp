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
    const QCollator collator = MakeCollator();
    std::vector<TextKey> names(n);
    for (std::size_t i = 0; i < n; ++i)
        if (!entries[i].name.isEmpty())
            names[i].key = collator.sortKey(entries[i].name);
    // Types repeat a lot: one key per distinct type.
    std::vector<int> typeRank;
    std::vector<TextKey> typeKeys;
    if (key != SortKey::Name) {
        QHash<QString, int> index;
        typeRank.resize(n);
        for (std::size_t i = 0; i < n; ++i) {
            const QString& type = entries[i].type;
            auto it = index.constFind(type);
            if (it == index.constEnd()) {
                TextKey k;
                if (!type.isEmpty())
                    k.key = collator.sortKey(type);
                typeKeys.push_back(std::move(k));
                it = index.insert(type, int(typeKeys.size()) - 1);
            }
            typeRank[i] = *it;
        }
    }
    auto typeCompare = [&](std::uint32_t a, std::uint32_t b) {
        return CompareKeys(typeKeys[std::size_t(typeRank[a])], typeKeys[std::size_t(typeRank[b])]);
    };
    auto less = [&](std::uint32_t ia, std::uint32_t ib) {
        const FileEntry& a = entries[ia];
        const FileEntry& b = entries[ib];
        int r = ComparePlacement(a, b, o);
        if (r == 0) {
            switch (key) {
            case SortKey::Name:
                r = CompareKeys(names[ia], names[ib]);
                break;
            case SortKey::Date:
            case SortKey::Size:
                r = key == SortKey::Date ? CompareDate(a, b, o) : CompareSize(a, b, o);
                if (r == 0)
                    r = CompareKeys(names[ia], names[ib]);
                if (r == 0)
                    r = typeCompare(ia, ib);
                break;
            default:
                r = typeCompare(ia, ib);
                if (r == 0)
                    r = CompareKeys(names[ia], names[ib]);
                break;
            }
        }
        return r < 0;
    };
    std::vector<std::uint32_t> order(n);
    std::iota(order.begin(), order.end(), 0u);
    std::sort(order.begin(), order.end(), less);
    std::vector<FileEntry> sorted;
    sorted.reserve(n);
    for (const std::uint32_t i : order)
        sorted.push_back(std::move(entries[i]));
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

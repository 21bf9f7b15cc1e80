#pragma once

// How a pane shows Compare Folders' mark of a row: a background tint, an emblem on the row's
// icon (so colour is not the only sign) and the accessible description a screen reader reads.

#include "core/panes/file_entry.h"

#include <QColor>
#include <QIcon>
#include <QPalette>
#include <QString>

#include <array>

namespace tw::ui {

// The tint of each mark on `palette`'s base colour: the mark's hue blended into Base, as
// strongly as the text colour keeps its contrast (kMinimumTextContrast at least, and the
// 4.5 of ordinary text where the palette has it). Invalid (no tint) for None, and where even
// the faintest blend would cost the text its contrast.
QColor CompareTint(CompareMark mark, const QPalette& palette);

// Every mark's tint for one palette, indexed by the mark's number.
using CompareTints = std::array<QColor, 6>;
CompareTints CompareTintsFor(const QPalette& palette);

// The row icon (image index 0-10, with the link emblem for links) with the mark's badge in
// its lower right corner: "+" only here, an arrow up for newer, down for older, "≠" for
// another size, "!" for a file against a folder. The plain row icon for None.
QIcon CompareRowIcon(int index, bool link, CompareMark mark);

// "Only in this folder", "Newer than the other side", ...; empty for None.
QString CompareDescription(CompareMark mark);

} // namespace tw::ui

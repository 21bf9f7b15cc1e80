#pragma once

class QLabel;
class QString;
class QWidget;

namespace tw::ui {

class DialogUnits;

// The place of an item on a page built from a dialog-unit layout.
struct PageItem {
    int x, y, cx, cy;
};

// A picture of the program (ProgramIcon `iconId`) in the item; a sunken one fills its frame,
// a plain one is drawn at most 32 pixels square.
QLabel* AddPicture(QWidget* page, const DialogUnits& du, int iconId, PageItem at, bool sunken);
// A static text named `id`, wrapped at the item's width. Plain text: an '&' is shown as it is,
// never taken for a mnemonic.
QLabel* AddStaticText(QWidget* page, const DialogUnits& du, int id, const QString& text,
                      PageItem at);
// The etched line across the right-hand part of a page at `y`.
void AddEtchedLine(QWidget* page, const DialogUnits& du, int y);

} // namespace tw::ui

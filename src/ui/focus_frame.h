#pragma once

class QAbstractItemView;

namespace tw::ui {

// Paints a focus frame just inside the viewport of a list that has the focus but no current
// row to show it on (an empty list), so that every stop of the tab order is visible. Call it
// from the view's paintEvent, after the view painted.
void PaintFocusFrameWhenNoCurrentRow(QAbstractItemView* view);

// Repaints the view's viewport whenever it gains or loses the focus, so that the frame above
// comes and goes with it.
void RepaintOnFocusChange(QAbstractItemView* view);

} // namespace tw::ui

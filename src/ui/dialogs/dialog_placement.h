#pragma once

#include "core/state/app_state.h"

#include <QPoint>
#include <QPushButton>
#include <QRect>
#include <QSize>
#include <QString>

#include <functional>
#include <optional>

class QDialog;
class QDialogButtonBox;
class QHBoxLayout;
class QLineEdit;
class QPushButton;
class QScreen;
class QWidget;

namespace tw::ui {

// Helpers every dialog uses: centring on a monitor, the remembered-position rule of the small
// dialogs, the dialog icon and edit fields with a length limit.
//
// Placement of a small dialog (before exec()):
//   PlaceDialog(&dialog, state.placement(Placement::RenameFile), state.options.SaveWindows);
// and when the dialog closes with one of its remembering buttons:
//   RememberDialogPosition(&dialog, state.placement(Placement::RenameFile));
//
// A remembered position is that of the window's client area (the window without the frame
// the window manager adds) in global (virtual desktop) coordinates, as the main window's is:
// saved and restored as the same thing, so a dialog opens where it was closed. A frame is not
// known before the window manager has decorated the window, so it cannot be restored.

// Distance from the right and bottom edges of the virtual screen that a remembered position
// keeps at least, so a dialog never opens out of reach.
inline constexpr int kPlacementEdgeMargin = 70;

// The screen whose area contains `rect`'s centre, else the one nearest to it; the primary
// screen when there is none.
QScreen* NearestScreen(const QRect& rect);

// The top-left corner that centres a frame of `frameSize` on `monitor`.
QPoint CenteredPosition(const QSize& frameSize, const QRect& monitor);

// Moves `window` (its frame), without resizing it, activating it or changing its stacking
// order: over the middle of its owner window (`owner`, else its parent's window) while that is
// shown and not minimised, kept inside the owner's monitor; else centred on the whole area of
// the monitor nearest to it.
void CenterWindowOnMonitor(QWidget* window, const QWidget* owner = nullptr);

// The top-left corner that centres a frame of `frameSize` over `ownerFrame`, moved as little
// as needed to lie inside `monitor` (its top-left corner inside when it is larger).
QPoint CenteredOverOwner(const QSize& frameSize, const QRect& ownerFrame, const QRect& monitor);

// Shows `window` in front and active: a minimised one at its normal size again.
void BringToFront(QWidget* window);

// The position a remembered placement opens at: its Left and Top, but no further right or down
// than kPlacementEdgeMargin inside the virtual screen's right and bottom edges, and not beyond
// its left or top edges.
QPoint ClampRememberedPosition(const WindowPlacement& placement, const QRect& virtualScreen);

// The placement rule of the small dialogs: centred over its owner (CenterWindowOnMonitor) when
// `saveWindows` is off or nothing was remembered yet, else moved (never resized) to the
// remembered position (MoveClientTo). An empty `virtualScreen` means the bounds of all screens.
void PlaceDialog(QWidget* dialog, const WindowPlacement& placement, bool saveWindows,
                 const QRect& virtualScreen = QRect());

// Stores the dialog's client rectangle into Left, Top, Width and Height (Show is kept).
void RememberDialogPosition(const QWidget* dialog, WindowPlacement& placement);

// Moves a top-level window, without resizing it, so that its client area starts at `position`:
// the place RememberDialogPosition took. Before the first show the window first takes the size
// it would open with.
void MoveClientTo(QWidget* window, const QPoint& position);

// The bounds of all screens together.
QRect VirtualScreenBounds();

// A push button of a dialog, named for tests, that does not become the default on focus (the
// dialog chooses its default button itself).
QPushButton* MakeDialogButton(QWidget* parent, const QString& text, const QString& objectName);

// The Yes / Yes to All / No / Cancel buttons of a question about one of several items, each
// answering `finish` with its own value of `Answer`; Yes to All is enabled only for several.
struct AnswerButtons {
    QPushButton* yes;
    QPushButton* yesToAll;
    QPushButton* no;
    QPushButton* cancel;
};
template <typename Answer, typename Finish>
AnswerButtons MakeAnswerButtons(QWidget* parent, bool multiple, Finish finish) {
    AnswerButtons b{
        MakeDialogButton(parent, QStringLiteral("&Yes"), QStringLiteral("yesButton")),
        MakeDialogButton(parent, QStringLiteral("Yes to &All"), QStringLiteral("yesToAllButton")),
        MakeDialogButton(parent, QStringLiteral("&No"), QStringLiteral("noButton")),
        MakeDialogButton(parent, QStringLiteral("Cancel"), QStringLiteral("cancelButton"))};
    b.yesToAll->setEnabled(multiple);
    const auto wire = [&](QPushButton* button, Answer answer) {
        QObject::connect(button, &QPushButton::clicked, parent,
                         [finish, answer] { finish(answer); });
    };
    wire(b.yes, Answer::Yes);
    wire(b.yesToAll, Answer::YesToAll);
    wire(b.no, Answer::No);
    wire(b.cancel, Answer::Cancel);
    return b;
}

// The OK (default) / Cancel row of a small dialog: OK accepts, Cancel rejects.
QDialogButtonBox* MakeOkCancelButtons(QDialog* dialog);

// The buttons of a trust question (a server certificate, an SSH host key), right-aligned in
// `row`: "Trust once", `alwaysText`, and "Cancel", the default, so Enter never trusts.
struct TrustButtons {
    QPushButton* once = nullptr;
    QPushButton* always = nullptr;
    QPushButton* cancel = nullptr;
    QHBoxLayout* row = nullptr;
};
TrustButtons MakeTrustButtons(QWidget* owner, const QString& alwaysText);

// The OK (default) / Cancel / Help row of a small dialog: OK accepts, Cancel rejects, Help
// calls `help` and leaves the dialog open.
QDialogButtonBox* MakeOkCancelHelpButtons(QDialog* dialog, std::function<void()> help);

// Sets the dialog's window icon from one of the program's icons (1000 for most dialogs).
void SetDialogIcon(QWidget* dialog, int iconId = 1000);

// Limits the field to `size` - 1 characters, then sets its text (cut to that limit).
void SetEditText(QLineEdit* edit, const QString& text, int size);
// The field's text, at most `size` - 1 characters.
QString GetEditText(const QLineEdit* edit, int size);
// Optionally replaces the text, selects characters 0 to 256 and gives the field the focus:
// used after a validation message so that the user can correct the entry.
void SelectEditText(QLineEdit* edit, const std::optional<QString>& text = std::nullopt);

} // namespace tw::ui

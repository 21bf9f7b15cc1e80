#include "ui/dialogs/dialog_placement.h"

#include "core/text/format.h"
#include "ui/dialogs/program_icons.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QWidget>

#include <algorithm>
#include <limits>

namespace tw::ui {

namespace {

// Squared distance from a point to a rectangle (0 inside).
long long distanceSquared(const QPoint& p, const QRect& r) {
    const long long dx =
        p.x() < r.left() ? r.left() - p.x() : (p.x() > r.right() ? p.x() - r.right() : 0);
    const long long dy =
        p.y() < r.top() ? r.top() - p.y() : (p.y() > r.bottom() ? p.y() - r.bottom() : 0);
    return dx * dx + dy * dy;
}

} // namespace

QRect VirtualScreenBounds() {
    QRect bounds;
    for (const QScreen* screen : QGuiApplication::screens())
        bounds = bounds.united(screen->geometry());
    return bounds;
}

QDialogButtonBox* MakeOkCancelButtons(QDialog* dialog) {
    auto* buttons = new QDialogButtonBox(Qt::Horizontal, dialog);
    auto* ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    ok->setObjectName(QStringLiteral("okButton"));
    ok->setDefault(true);
    auto* cancel = buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
    cancel->setObjectName(QStringLiteral("cancelButton"));
    QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    return buttons;
}

TrustButtons MakeTrustButtons(QWidget* owner, const QString& alwaysText) {
    TrustButtons b;
    b.once = new QPushButton(QStringLiteral("Trust &once"), owner);
    b.once->setObjectName(QStringLiteral("onceButton"));
    b.always = new QPushButton(alwaysText, owner);
    b.always->setObjectName(QStringLiteral("alwaysButton"));
    b.cancel = new QPushButton(QStringLiteral("Cancel"), owner);
    b.cancel->setObjectName(QStringLiteral("cancelButton"));
    b.once->setAutoDefault(false);
    b.always->setAutoDefault(false);
    b.cancel->setDefault(true);
    b.row = new QHBoxLayout;
    b.row->addStretch(1);
    b.row->addWidget(b.once);
    b.row->addWidget(b.always);
    b.row->addWidget(b.cancel);
    return b;
}

QDialogButtonBox* MakeOkCancelHelpButtons(QDialog* dialog, std::function<void()> help) {
    QDialogButtonBox* buttons = MakeOkCancelButtons(dialog);
    auto* helpButton = buttons->addButton(QStringLiteral("&Help"), QDialogButtonBox::HelpRole);
    helpButton->setObjectName(QStringLiteral("helpButton"));
    QObject::connect(helpButton, &QPushButton::clicked, dialog, std::move(help));
    return buttons;
}

QPushButton* MakeDialogButton(QWidget* parent, const QString& text, const QString& objectName) {
    auto* button = new QPushButton(text, parent);
    button->setObjectName(objectName);
    button->setAutoDefault(false);
    return button;
}

QScreen* NearestScreen(const QRect& rect) {
    const QPoint centre = rect.center();
    QScreen* best = QGuiApplication::primaryScreen();
    long long bestDistance = std::numeric_limits<long long>::max();
    for (QScreen* screen : QGuiApplication::screens()) {
        const long long d = distanceSquared(centre, screen->geometry());
        if (d < bestDistance) {
            bestDistance = d;
            best = screen;
        }
    }
    return best;
}

QPoint CenteredPosition(const QSize& frameSize, const QRect& monitor) {
    return {monitor.x() + (monitor.width() - frameSize.width()) / 2,
            monitor.y() + (monitor.height() - frameSize.height()) / 2};
}

void BringToFront(QWidget* window) {
    if (window->isMinimized())
        window->showNormal();
    else
        window->show();
    window->raise();
    window->activateWindow();
}

QPoint CenteredOverOwner(const QSize& frameSize, const QRect& ownerFrame, const QRect& monitor) {
    QPoint at(ownerFrame.x() + (ownerFrame.width() - frameSize.width()) / 2,
              ownerFrame.y() + (ownerFrame.height() - frameSize.height()) / 2);
    if (monitor.isValid()) {
        at.setX(std::max(std::min(at.x(), monitor.x() + monitor.width() - frameSize.width()),
                         monitor.x()));
        at.setY(std::max(std::min(at.y(), monitor.y() + monitor.height() - frameSize.height()),
                         monitor.y()));
    }
    return at;
}

void CenterWindowOnMonitor(QWidget* window, const QWidget* owner) {
    if (!window)
        return;
    if (!owner && window->parentWidget())
        owner = window->parentWidget()->window();
    // Before the first show the frame is not known yet: the client size stands in for it.
    const QSize frame = window->frameGeometry().size();
    if (owner && owner != window && owner->isVisible() && !owner->isMinimized()) {
        const QRect ownerFrame = owner->frameGeometry();
        const QScreen* screen = NearestScreen(ownerFrame);
        window->move(
            CenteredOverOwner(frame, ownerFrame, screen ? screen->availableGeometry() : QRect()));
        return;
    }
    QRect reference = window->frameGeometry();
    // A window not shown yet has no place of its own: it opens on its owner's monitor.
    if (!window->isVisible() && owner)
        reference = owner->frameGeometry();
    const QScreen* screen = NearestScreen(reference);
    if (!screen)
        return;
    window->move(CenteredPosition(frame, screen->geometry()));
}

QPoint ClampRememberedPosition(const WindowPlacement& placement, const QRect& virtualScreen) {
    int left = placement.Left;
    int top = placement.Top;
    if (virtualScreen.isValid()) {
        const int maxLeft = virtualScreen.x() + virtualScreen.width() - kPlacementEdgeMargin;
        const int maxTop = virtualScreen.y() + virtualScreen.height() - kPlacementEdgeMargin;
        left = std::max(std::min(left, maxLeft), virtualScreen.x());
        top = std::max(std::min(top, maxTop), virtualScreen.y());
    }
    return {left, top};
}

void PlaceDialog(QWidget* dialog, const WindowPlacement& placement, bool saveWindows,
                 const QRect& virtualScreen) {
    if (!dialog)
        return;
    if (!saveWindows || !placement.remembered()) {
        CenterWindowOnMonitor(dialog);
        return;
    }
    const QRect bounds = virtualScreen.isValid() ? virtualScreen : VirtualScreenBounds();
    MoveClientTo(dialog, ClampRememberedPosition(placement, bounds));
}

void MoveClientTo(QWidget* window, const QPoint& position) {
    if (!window)
        return;
    if (!window->testAttribute(Qt::WA_Resized))
        window->adjustSize(); // what the first show would do; the geometry below keeps it
    window->setGeometry(QRect(position, window->size()));
}

void RememberDialogPosition(const QWidget* dialog, WindowPlacement& placement) {
    if (!dialog)
        return;
    const QRect client = dialog->geometry();
    placement.Left = client.x();
    placement.Top = client.y();
    placement.Width = client.width();
    placement.Height = client.height();
}

void SetDialogIcon(QWidget* dialog, int iconId) {
    if (!dialog)
        return;
    const QIcon icon = ProgramIcon(iconId);
    if (!icon.isNull())
        dialog->setWindowIcon(icon);
}

void SetEditText(QLineEdit* edit, const QString& text, int size) {
    if (!edit)
        return;
    const int limit = std::max(0, size - 1);
    edit->setMaxLength(limit);
    edit->setText(CutText(text, limit));
}

QString GetEditText(const QLineEdit* edit, int size) {
    if (!edit)
        return {};
    return CutText(edit->text(), std::max(0, size - 1));
}

void SelectEditText(QLineEdit* edit, const std::optional<QString>& text) {
    if (!edit)
        return;
    if (text)
        edit->setText(*text);
    constexpr qsizetype kSelectionEnd = 256;
    edit->setSelection(0, static_cast<int>(std::min(kSelectionEnd, edit->text().size())));
    edit->setFocus(Qt::OtherFocusReason);
}

} // namespace tw::ui

#include "ui/transfer/progress_window.h"

#include "core/text/format.h"
#include "core/text/shown_text.h"
#include "ui/dialogs/dialog_placement.h"
#include "ui/dialogs/dialog_units.h"
#include "ui/dialogs/program_icons.h"
#include "ui/transfer/transfer_dialogs.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

namespace tw::ui {

namespace {
constexpr int kDefaultIcon = 1000;
constexpr int kTextLimit = 255;
} // namespace

ProgressWindow::ProgressWindow(std::function<void()> stop)
    : QWidget(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint),
      m_stop(std::move(stop)) {
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFont(DialogUnits::dialogFont());
    SetDialogIcon(this, kDefaultIcon);
    const DialogUnits du(font());

    m_icon = new QLabel(this);
    m_icon->setObjectName(QStringLiteral("100"));
    m_icon->setFixedSize(du.size(21, 20));
    m_icon->setAlignment(Qt::AlignCenter);
    m_text = new QLabel(this);
    m_text->setObjectName(QStringLiteral("101"));
    m_text->setTextFormat(Qt::PlainText);
    m_text->setFixedWidth(du.x(180));
    m_bar = new QProgressBar(this);
    m_bar->setObjectName(QStringLiteral("102"));
    m_bar->setTextVisible(false);
    m_bar->setAccessibleName(QStringLiteral("Progress"));
    m_bar->setFixedHeight(du.y(10));
    QPushButton* cancel =
        MakeDialogButton(this, QStringLiteral("Cancel"), QStringLiteral("cancelButton"));
    connect(cancel, &QPushButton::clicked, this, &ProgressWindow::requestStop);

    auto* top = new QHBoxLayout;
    top->setSpacing(du.x(6));
    top->addWidget(m_icon, 0, Qt::AlignTop);
    top->addWidget(m_text, 1);
    auto* bottom = new QHBoxLayout;
    bottom->addStretch(1);
    bottom->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(du.x(7), du.y(7), du.x(7), du.y(7));
    layout->setSpacing(du.y(6));
    layout->addLayout(top);
    layout->addWidget(m_bar);
    layout->addLayout(bottom);
    start(ProgressRequest{});
}

void ProgressWindow::start(const ProgressRequest& request) {
    setWindowTitle(request.caption.isEmpty() ? QStringLiteral(" Progress")
                                             : CutText(request.caption, kTextLimit));
    const int iconId = request.iconId == 0 ? kDefaultIcon : request.iconId;
    m_icon->setPixmap(ProgramIconPixmap(iconId, m_icon->size(), devicePixelRatioF()));
    setText(request.text);
    m_minimum = request.minimum;
    m_maximum = std::max(request.minimum, request.maximum);
    // An empty range would turn the bar into a busy indicator: one step stands in for it.
    m_bar->setRange(m_minimum, m_maximum > m_minimum ? m_maximum : m_minimum + 1);
    m_bar->setValue(m_minimum);
}

void ProgressWindow::setPosition(int position) {
    if (m_maximum == m_minimum)
        m_bar->setValue(position > m_maximum ? m_minimum + 1 : m_minimum);
    else
        m_bar->setValue(std::clamp(position, m_minimum, m_maximum));
}

void ProgressWindow::setText(const QString& text) {
    SetElidedText(m_text,
                  text.isEmpty() ? QStringLiteral("Underway ...")
                                 : CutText(ShownText(text, ftp::LineBreaks::Space), kTextLimit),
                  m_text->width());
}

void ProgressWindow::closeEvent(QCloseEvent* event) {
    // Only the transfer closes the window (by hiding or deleting it); the close box asks it
    // to stop.
    event->ignore();
    requestStop();
}

void ProgressWindow::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        requestStop();
        return;
    }
    QWidget::keyPressEvent(event);
}

void ProgressWindow::requestStop() {
    if (m_stop)
        m_stop();
}

} // namespace tw::ui

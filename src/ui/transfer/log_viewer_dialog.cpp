#include "ui/transfer/log_viewer_dialog.h"

#include "core/about/web_site.h"
#include "core/text/messages.h"
#include "core/transfer/log_viewer.h"
#include "ui/about/desktop_launcher.h"
#include "ui/dialogs/dialog_placement.h"
#include "ui/dialogs/dialog_units.h"
#include "ui/dialogs/program_icons.h"

#include <QCheckBox>
#include <QFrame>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QStringListModel>
#include <QTreeView>
#include <QUrl>

#include <algorithm>

namespace tw::ui {

namespace {

constexpr int kListColumnWidth = 1500; // pixels, so long lines scroll sideways

QFont ListFont() {
    QFont font(QStringLiteral("Lucida Console"));
    font.setPointSize(8);
    font.setStyleHint(QFont::Monospace);
    font.setFixedPitch(true);
    return font;
}

QLabel* Text(QWidget* parent, const QString& text, const QRect& geometry) {
    auto* label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    label->setAccessibleName(text);
    label->setGeometry(geometry);
    return label;
}

QPushButton* Button(QWidget* parent, const QString& text, const char* id, const QRect& geometry) {
    QPushButton* button = MakeDialogButton(parent, text, QString::fromLatin1(id));
    button->setAccessibleName(text);
    button->setGeometry(geometry);
    return button;
}

} // namespace

LogViewerDialog::LogViewerDialog(const LogViewerRequest& request, QWidget* parent)
    : QDialog(parent) {
    setFont(DialogUnits::dialogFont());
    SetDialogIcon(this, 1000);
    setWindowTitle(request.title);
    const DialogUnits du(font());
    setFixedSize(du.size(380, 199));

    auto* picture = new QFrame(this);
    picture->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    picture->setGeometry(du.rect(7, 7, 104, 159));

    auto* icon = new QLabel(this);
    icon->setGeometry(du.rect(125, 10, 20, 20));
    icon->setAlignment(Qt::AlignCenter);
    const int side = std::min(icon->width(), icon->height());
    icon->setPixmap(ProgramIconPixmap(1000, QSize(side, side), devicePixelRatioF()));

    Text(this, QStringLiteral("Use this window to view the program message log file."),
         du.rect(155, 10, 250, 8));
    QLabel* path = Text(this, request.pathLabel, du.rect(155, 20, 250, 8));
    path->setObjectName(QStringLiteral("100"));

    m_list = new QTreeView(this);
    m_list->setObjectName(QStringLiteral("101"));
    m_list->setAccessibleName(request.pathLabel);
    m_list->setGeometry(du.rect(120, 34, 250, 131));
    m_list->setFont(ListFont());
    m_list->setHeaderHidden(true);
    m_list->setRootIsDecorated(false);
    m_list->setItemsExpandable(false);
    m_list->setUniformRowHeights(true);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    m_list->setModel(new QStringListModel(request.lines, m_list));
    m_list->header()->setStretchLastSection(false);
    m_list->header()->resizeSection(0, kListColumnWidth);
    m_list->scrollToTop();

    auto* line = new QFrame(this);
    line->setFrameStyle(QFrame::HLine | QFrame::Sunken);
    line->setGeometry(du.rect(6, 172, 370, 1));

    const QString deleteText = QStringLiteral("Delete Log File");
    m_delete = new QCheckBox(deleteText, this);
    m_delete->setObjectName(QStringLiteral("102"));
    m_delete->setAccessibleName(deleteText);
    m_delete->setGeometry(du.rect(10, 181, 70, 10));
    m_delete->setChecked(false);

    QPushButton* ok = Button(this, QStringLiteral("OK"), "1", du.rect(200, 179, 50, 14));
    ok->setDefault(true);
    QPushButton* print = Button(this, QStringLiteral("Print"), "18", du.rect(260, 179, 50, 14));
    QPushButton* help = Button(this, QStringLiteral("Help"), "9", du.rect(320, 179, 50, 14));
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(print, &QPushButton::clicked, this, [callback = request.print] {
        if (callback)
            callback();
    });
    connect(help, &QPushButton::clicked, this, [callback = request.help] {
        if (callback)
            callback();
    });
    m_list->setFocus(Qt::OtherFocusReason);
}

bool LogViewerDialog::deleteLogFile() const {
    return m_delete->isChecked();
}

QPoint LogViewerPosition(const WindowPlacement& placement, const QRect& virtualScreen) {
    if (!virtualScreen.isValid())
        return {placement.Left, placement.Top};
    // 64-bit sums: remembered values are arbitrary 32-bit numbers.
    const auto fit = [](qint64 start, qint64 size, qint64 origin, qint64 extent) {
        start = std::min(start, origin + extent - size);
        return int(std::max(start, origin));
    };
    return {fit(placement.Left, placement.Width, virtualScreen.x(), virtualScreen.width()),
            fit(placement.Top, placement.Height, virtualScreen.y(), virtualScreen.height())};
}

void OpenWithDesktop(const Messages& messages, const QString& path) {
    OpenUrl(messages, std::make_shared<DesktopLauncher>(),
            QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded));
}

TransferLogViewer::TransferLogViewer(QWidget* owner, const AppState& state, AppGlobals& globals)
    : m_owner(owner), m_state(state), m_globals(globals) {}

LogViewerResult TransferLogViewer::showLogViewer(const LogViewerRequest& request) {
    LogViewerDialog dialog(request, m_owner);
    WindowPlacement& placement =
        m_globals.frameworkPlacements[std::size_t(FrameworkPlacement::LogViewer)];
    if (m_state.options.SaveWindows == 0 || !placement.remembered()) {
        CenterWindowOnMonitor(&dialog);
    } else {
        const QRect bounds =
            m_globals.virtualScreen.isValid() ? m_globals.virtualScreen : VirtualScreenBounds();
        MoveClientTo(&dialog, LogViewerPosition(placement, bounds));
    }
    const bool accepted = dialog.exec() == QDialog::Accepted;
    RememberDialogPosition(&dialog, placement);
    return {accepted, dialog.deleteLogFile()};
}

bool RunTransferLogViewer(QWidget* owner, AppState& state, AppGlobals& globals,
                          const Messages& messages, std::function<void(int)> help) {
    TransferLogViewer viewer(owner, state, globals);
    return ViewTransferLog(
        messages, globals, viewer,
        [&messages](const QString& path) { OpenWithDesktop(messages, path); }, help);
}

} // namespace tw::ui

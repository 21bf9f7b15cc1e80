#include "ui/panes/pane_tools.h"

#include "core/accounts/bookmarks.h"
#include "core/panes/path_history.h"
#include "core/panes/row_filter.h"
#include "core/state/app_state.h"
#include "ui/panes/pane_view.h"

#include <QApplication>
#include <QComboBox>
#include <QCompleter>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>

namespace tw::ui {

namespace {

const QString kBookmarkMark = QStringLiteral("\u2605 ");

bool isEnter(const QKeyEvent* key) {
    return key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
}

bool plainKey(const QKeyEvent* key) {
    const Qt::KeyboardModifiers mods = key->modifiers() & ~Qt::KeypadModifier;
    return mods == Qt::NoModifier && (isEnter(key) || key->key() == Qt::Key_Escape);
}

} // namespace

PaneTools::PaneTools(PaneSide side, QWidget* parent) : QWidget(parent) {
    const bool local = side == PaneSide::Local;
    setObjectName(local ? QStringLiteral("localTools") : QStringLiteral("remoteTools"));
    m_path = new QComboBox(this);
    m_path->setObjectName(local ? QStringLiteral("localFolderBox")
                                : QStringLiteral("remoteFolderBox"));
    m_path->setEditable(true);
    m_path->setInsertPolicy(QComboBox::NoInsert);
    m_path->setMaxVisibleItems(25);
    m_path->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    m_path->setMinimumContentsLength(8);
    m_path->setAccessibleName(local ? QStringLiteral("Local folder")
                                    : QStringLiteral("Remote folder"));
    m_path->lineEdit()->setAccessibleName(m_path->accessibleName());
    // Typing never completes itself into a folder Enter would then go to.
    m_path->completer()->setCompletionMode(QCompleter::PopupCompletion);
    m_path->lineEdit()->setPlaceholderText(QStringLiteral("Folder"));
    m_path->lineEdit()->installEventFilter(this);
    // The editable box keeps the focus itself and hands keys to its line edit: its keys are
    // seen on the box.
    m_path->installEventFilter(this);
    connect(m_path, &QComboBox::activated, this, [this](int row) {
        const QString folder = m_path->itemData(row).toString();
        if (folder.isEmpty())
            return;
        m_path->setEditText(folder);
        emit folderEntered(folder);
    });

    m_filter = new QLineEdit(this);
    m_filter->setObjectName(local ? QStringLiteral("localFilter") : QStringLiteral("remoteFilter"));
    m_filter->setAccessibleName(local ? QStringLiteral("Filter local files")
                                      : QStringLiteral("Filter remote files"));
    m_filter->setPlaceholderText(QStringLiteral("Filter names"));
    m_filter->setClearButtonEnabled(true);
    m_filter->installEventFilter(this);
    connect(m_filter, &QLineEdit::textChanged, this, &PaneTools::filterChanged);

    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(4);
    row->addWidget(m_path, 3);
    row->addWidget(m_filter, 2);
    setTabOrder(m_path, m_filter);
}

void PaneTools::showFolder(const QString& folder) {
    m_folder = folder;
    QLineEdit* edit = m_path->lineEdit();
    if (edit->hasFocus() && edit->isModified())
        return; // the user is typing a folder
    m_path->setEditText(folder);
}

void PaneTools::setChoices(const std::vector<QString>& history,
                           const std::vector<QString>& bookmarks) {
    QLineEdit* edit = m_path->lineEdit();
    const QString typed = edit->text();
    const bool modified = edit->isModified();
    const QSignalBlocker blocker(m_path);
    m_path->clear();
    for (const QString& folder : history)
        m_path->addItem(folder, folder);
    if (!bookmarks.empty() && !history.empty())
        m_path->insertSeparator(m_path->count());
    for (const QString& folder : bookmarks) {
        m_path->addItem(kBookmarkMark + folder, folder);
        const int at = m_path->count() - 1;
        m_path->setItemData(at, QStringLiteral("Bookmark %1").arg(folder), Qt::AccessibleTextRole);
        m_path->setItemData(at, QStringLiteral("Bookmark"), Qt::ToolTipRole);
    }
    m_path->setCurrentIndex(-1);
    edit->setText(typed);
    edit->setModified(modified);
}

void PaneTools::setNoMatch(bool noMatch, const QString& note) {
    if (noMatch == m_noMatch)
        return;
    m_noMatch = noMatch;
    // A border only: the theme's own text and base colours keep their contrast.
    m_filter->setStyleSheet(noMatch ? QStringLiteral("QLineEdit { border: 2px solid #e0433b; "
                                                     "border-radius: 3px; padding: 1px 2px; }")
                                    : QString());
    m_filter->setToolTip(noMatch ? note : QString());
    m_filter->setAccessibleDescription(noMatch ? note : QString());
}

bool PaneTools::eventFilter(QObject* watched, QEvent* event) {
    const bool pathEdit = watched == m_path->lineEdit() || watched == m_path;
    if (!pathEdit && watched != m_filter)
        return QWidget::eventFilter(watched, event);
    if (event->type() != QEvent::ShortcutOverride && event->type() != QEvent::KeyPress)
        return QWidget::eventFilter(watched, event);
    const auto* key = static_cast<QKeyEvent*>(event);
    if (!plainKey(key))
        return QWidget::eventFilter(watched, event);
    // Enter and Esc belong to the box, not to the window's commands (Edit, Stop).
    event->accept();
    if (event->type() == QEvent::ShortcutOverride)
        return true;
    if (pathEdit) {
        if (isEnter(key)) {
            m_path->lineEdit()->setModified(false);
            emit folderEntered(m_path->currentText());
        } else {
            m_path->setEditText(m_folder);
        }
    } else if (key->key() == Qt::Key_Escape) {
        m_filter->clear();
    }
    return true;
}

PaneToolsBinding::PaneToolsBinding(AppState& state, PaneView* localView, PaneView* remoteView,
                                   QWidget* toolsParent, FolderHandler goLocal,
                                   FolderHandler goRemote, std::function<QString()> noMatchNote,
                                   std::function<int()> bookmarkAccount)
    : QObject(toolsParent), m_state(state), m_views{localView, remoteView},
      m_noMatchNote(std::move(noMatchNote)), m_bookmarkAccount(std::move(bookmarkAccount)) {
    for (const PaneSide side : {PaneSide::Local, PaneSide::Remote}) {
        auto* tools = new PaneTools(side, toolsParent);
        m_tools[index(side)] = tools;
        connect(tools, &PaneTools::folderEntered, this,
                side == PaneSide::Local ? std::move(goLocal) : std::move(goRemote));
        connect(tools, &PaneTools::filterChanged, this, [this, side] { applyFilter(side); });
        connect(m_views[index(side)], &PaneView::reloaded, this,
                [this, side] { paneReloaded(side); });
    }
    orderTabsAfter(nullptr);
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) {
        for (const PaneSide side : {PaneSide::Local, PaneSide::Remote})
            if (now && (now == m_views[index(side)] || m_tools[index(side)]->isAncestorOf(now)))
                m_active = side;
    });
    refreshChoices();
    paneReloaded(PaneSide::Local);
    paneReloaded(PaneSide::Remote);
}

void PaneToolsBinding::orderTabsAfter(QWidget* first) {
    QWidget* order[] = {first,      m_tools[0]->pathBox(), m_tools[0]->filterBox(),
                        m_views[0], m_tools[1]->pathBox(), m_tools[1]->filterBox(),
                        m_views[1]};
    for (std::size_t i = first ? 0 : 1; i + 1 < std::size(order); ++i)
        QWidget::setTabOrder(order[i], order[i + 1]);
}

void PaneToolsBinding::focusPathBox() {
    QComboBox* box = tools(m_active)->pathBox();
    box->setFocus(Qt::ShortcutFocusReason);
    box->lineEdit()->selectAll();
}

void PaneToolsBinding::focusFilterBox() {
    QLineEdit* box = tools(m_active)->filterBox();
    box->setFocus(Qt::ShortcutFocusReason);
    box->selectAll();
}

void PaneToolsBinding::refreshChoices() {
    m_tools[0]->setChoices(m_state.LocalFolderHistory, {});
    m_tools[1]->setChoices(m_state.RemoteFolderHistory,
                           AccountBookmarks(m_state, m_bookmarkAccount ? m_bookmarkAccount() : -1));
}

void PaneToolsBinding::paneReloaded(PaneSide side) {
    const bool local = side == PaneSide::Local;
    const PaneState& pane = local ? m_state.local : m_state.remote;
    // The remote pane without a listing (not connected) has no folder to show.
    const QString folder = local || pane.hasListing ? pane.path : QString();
    PaneTools* tools = m_tools[index(side)];
    if (folder != m_listedFolder[index(side)]) {
        m_listedFolder[index(side)] = folder;
        if (!folder.isEmpty())
            RememberFolder(local ? m_state.LocalFolderHistory : m_state.RemoteFolderHistory,
                           folder);
        const QSignalBlocker blocker(tools->filterBox());
        tools->filterBox()->clear(); // a new folder starts unfiltered
    }
    refreshChoices(); // also the current account's bookmarks, which a connect may change
    tools->showFolder(folder);
    applyFilter(side);
}

void PaneToolsBinding::applyFilter(PaneSide side) {
    PaneView* view = m_views[index(side)];
    PaneTools* tools = m_tools[index(side)];
    const QString text = tools->filterBox()->text();
    if (text.trimmed().isEmpty()) {
        view->showRows({});
        tools->setNoMatch(false, QString());
        return;
    }
    const PaneState& pane = side == PaneSide::Local ? m_state.local : m_state.remote;
    const FilteredRows rows = FilterRows(pane.entries, text);
    view->showRows(rows.visible);
    tools->setNoMatch(rows.noMatch, m_noMatchNote ? m_noMatchNote() : QString());
}

} // namespace tw::ui

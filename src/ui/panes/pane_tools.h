#pragma once

#include "core/ui_port.h"

#include <QPointer>
#include <QString>
#include <QWidget>

#include <array>
#include <functional>
#include <vector>

class QComboBox;
class QLineEdit;

namespace tw {
struct AppState;
}

namespace tw::ui {

class PaneView;

// The row under a pane's path label: the path box (an editable drop-down with the folders the
// pane listed last and, on the remote side, the account's bookmarks) and the filter box.
class PaneTools : public QWidget {
    Q_OBJECT
public:
    explicit PaneTools(PaneSide side, QWidget* parent = nullptr);

    QComboBox* pathBox() const { return m_path; }
    QLineEdit* filterBox() const { return m_filter; }

    // The folder the pane shows now; kept while the user is editing the box.
    void showFolder(const QString& folder);
    // The drop-down: the history first, then the bookmarks, marked.
    void setChoices(const std::vector<QString>& history, const std::vector<QString>& bookmarks);
    // The filter keeps no name: the box is marked and its tooltip says so.
    void setNoMatch(bool noMatch, const QString& note);

signals:
    // Enter in the path box, or a folder chosen from its drop-down.
    void folderEntered(const QString& folder);
    void filterChanged(const QString& text);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QComboBox* m_path = nullptr;
    QLineEdit* m_filter = nullptr;
    QString m_folder;
    bool m_noMatch = false;
};

// Both panes' rows: keeps each path box on its pane's folder and its history after every
// listing, applies each filter to its list (again after every reload of the same folder; a
// new folder starts unfiltered), and knows the active pane (the one that last had the focus)
// for Go to Folder and Filter.
class PaneToolsBinding : public QObject {
    Q_OBJECT
public:
    using FolderHandler = std::function<void(const QString&)>;
    PaneToolsBinding(AppState& state, PaneView* localView, PaneView* remoteView,
                     QWidget* toolsParent, FolderHandler goLocal, FolderHandler goRemote,
                     std::function<QString()> noMatchNote, std::function<int()> bookmarkAccount);

    PaneTools* tools(PaneSide side) const { return m_tools[index(side)]; }
    PaneSide activeSide() const { return m_active; }
    // Go to Folder and Filter: the active pane's box takes the focus, its text selected.
    void focusPathBox();
    void focusFilterBox();
    // Tab order: after `first`, each pane's path box, filter and list, the local pane first.
    void orderTabsAfter(QWidget* first);
    // The bookmarks or the history changed: the drop-downs again.
    void refreshChoices();

private:
    static std::size_t index(PaneSide side) { return side == PaneSide::Local ? 0 : 1; }
    void paneReloaded(PaneSide side);
    void applyFilter(PaneSide side);

    AppState& m_state;
    std::array<PaneView*, 2> m_views{};
    std::array<PaneTools*, 2> m_tools{};
    std::array<QString, 2> m_listedFolder; // the folder each filter belongs to
    std::function<QString()> m_noMatchNote;
    std::function<int()> m_bookmarkAccount; // whose bookmarks the remote box lists, or -1
    PaneSide m_active = PaneSide::Local;
};

} // namespace tw::ui

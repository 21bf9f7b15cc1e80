#pragma once

#include <QDialog>
#include <QIcon>
#include <QString>

#include <functional>
#include <vector>

class QListWidget;
class QListWidgetItem;
class QPushButton;
class QWidget;

namespace tw::ui {

// One button the toolbar can hold: its command id, its text and its picture.
struct ToolbarButtonInfo {
    int id = 0;
    QString text;
    QIcon icon;
};

// The Customize Toolbar dialog. An arrangement is a list of command ids in toolbar order,
// 0 standing for a separator. The left list holds "Separator" (always available) and every
// button not on the toolbar, in table order; the right list the current arrangement.
//   "&Add ->"      puts the chosen available button after the chosen current one (at the end
//                  when none is chosen); a double click on an available button does the same;
//   "<- &Remove"   takes the chosen current button off (double click too);
//   "Move &Up" / "Move &Down" move it; "R&eset" brings back the standard arrangement;
//   "&Close" (or Escape) ends the dialog; "&Help" calls the help callback (hidden without one).
// Every change is applied at once: arrangementChanged() carries the new arrangement.
// Object names: "availableList", "currentList", "addButton", "removeButton", "moveUpButton",
// "moveDownButton", "resetButton", "closeButton", "helpButton".
class CustomizeToolbarDialog : public QDialog {
    Q_OBJECT
public:
    // Ids of `current` and `standard` that `buttons` does not name are dropped, and so is a
    // second occurrence of a button.
    CustomizeToolbarDialog(QWidget* owner, std::vector<ToolbarButtonInfo> buttons,
                           const std::vector<int>& current, std::vector<int> standard,
                           std::function<void()> help = {});

    std::vector<int> arrangement() const { return m_current; }
    // The ids listed as available, "Separator" (0) first.
    std::vector<int> available() const;

    QListWidget* availableList() const { return m_availableList; }
    QListWidget* currentList() const { return m_currentList; }

    // The button actions (also behind the push buttons).
    void addSelected();
    void removeSelected();
    void moveSelected(int delta);
    void reset();

signals:
    void arrangementChanged(const std::vector<int>& arrangement);

private:
    std::vector<int> sanitized(const std::vector<int>& ids) const;
    const ToolbarButtonInfo* find(int id) const;
    QListWidgetItem* makeItem(int id) const;
    void fillLists(int currentRow, int availableId);
    void updateButtons();
    void changed(int currentRow, int availableId);

    std::vector<ToolbarButtonInfo> m_buttons;
    std::vector<int> m_standard;
    std::vector<int> m_current;
    std::function<void()> m_help;

    QListWidget* m_availableList = nullptr;
    QListWidget* m_currentList = nullptr;
    QPushButton* m_add = nullptr;
    QPushButton* m_remove = nullptr;
    QPushButton* m_up = nullptr;
    QPushButton* m_down = nullptr;
};

// Runs the dialog modally and returns the arrangement it ends with. `applied`, when given,
// is called with every intermediate arrangement so the toolbar can follow the changes live.
std::vector<int> CustomizeToolbar(QWidget* owner, const std::vector<ToolbarButtonInfo>& buttons,
                                  const std::vector<int>& current, const std::vector<int>& standard,
                                  const std::function<void(const std::vector<int>&)>& applied = {},
                                  const std::function<void()>& help = {});

} // namespace tw::ui

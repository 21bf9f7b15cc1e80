#pragma once

#include "core/accounts/bookmarks.h"

#include <QDialog>

#include <functional>
#include <optional>
#include <vector>

class QListWidget;
class QPushButton;
class QLabel;

namespace tw::ui {

// Remote > Bookmarks: the account's bookmarked folders with Go To, Remove and Close.
class BookmarksDialog : public QDialog {
    Q_OBJECT
public:
    using Remove = std::function<std::vector<QString>(int)>;
    BookmarksDialog(const QString& account, const std::vector<QString>& rows, Remove remove,
                    QWidget* parent = nullptr);

    // The row Go To chose, once the dialog was accepted.
    std::optional<int> chosenRow() const { return m_chosen; }
    QListWidget* list() const { return m_list; }

private:
    void showRows(const std::vector<QString>& rows);
    void updateButtons();

    Remove m_remove;
    QListWidget* m_list = nullptr;
    QLabel* m_empty = nullptr;
    QPushButton* m_goTo = nullptr;
    QPushButton* m_removeButton = nullptr;
    std::optional<int> m_chosen;
};

// BookmarksPort over the dialog, modal to `parent`.
class BookmarksDialogPort : public BookmarksPort {
public:
    explicit BookmarksDialogPort(QWidget* parent) : m_parent(parent) {}
    std::optional<int>
    chooseBookmark(const QString& account, const std::vector<QString>& rows,
                   const std::function<std::vector<QString>(int)>& remove) override;

private:
    QWidget* m_parent;
};

} // namespace tw::ui

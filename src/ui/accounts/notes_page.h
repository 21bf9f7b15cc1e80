#pragma once

#include "core/accounts/accounts_sheet.h"

#include <QWidget>

class QLabel;
class QPlainTextEdit;

namespace tw::ui {

// The Notes page: free notes about the current account, at most 1023 characters as kept
// (each line break counts as two).
class NotesPage : public QWidget {
    Q_OBJECT
public:
    explicit NotesPage(QWidget* parent = nullptr);

    void show(const NotesView& view, bool enabled);
    // The notes as kept (lines end with CR LF).
    QString comments() const;

private:
    void enforceLimit();

    QLabel* m_name = nullptr;
    QPlainTextEdit* m_notes = nullptr;
};

} // namespace tw::ui

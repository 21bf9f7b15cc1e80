#include "ui/accounts/notes_page.h"

#include "core/accounts/account_export.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QSignalBlocker>
#include <QTextCursor>
#include <QVBoxLayout>

namespace tw::ui {

NotesPage::NotesPage(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("notesPage"));
    m_name = new QLabel(this);
    m_name->setObjectName(QStringLiteral("accountName"));
    QFont bold = m_name->font();
    bold.setBold(true);
    m_name->setFont(bold);
    m_notes = new QPlainTextEdit(this);
    m_notes->setObjectName(QStringLiteral("notesEdit"));
    m_notes->setTabChangesFocus(true);
    m_notes->setAccessibleName(QStringLiteral("Notes"));

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_name);
    layout->addWidget(m_notes, 1);

    connect(m_notes, &QPlainTextEdit::textChanged, this, &NotesPage::enforceLimit);
}

void NotesPage::show(const NotesView& view, bool enabled) {
    m_name->setText(view.name);
    const QSignalBlocker block(m_notes);
    m_notes->setPlainText(CommentsToNotes(view.comments));
    m_notes->setEnabled(enabled);
    m_name->setAccessibleName(view.name);
}

QString NotesPage::comments() const {
    return NotesToComments(m_notes->toPlainText());
}

void NotesPage::enforceLimit() {
    const QString kept = comments();
    const QString cut = CutComments(kept);
    if (cut.size() == kept.size())
        return;
    const QSignalBlocker block(m_notes);
    m_notes->setPlainText(CommentsToNotes(cut));
    m_notes->moveCursor(QTextCursor::End);
}

} // namespace tw::ui

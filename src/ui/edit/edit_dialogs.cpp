#include "ui/edit/edit_dialogs.h"

#include "core/edit/remote_edit_controller.h"
#include "core/text/shown_text.h"
#include "ui/edit/edit_question_dialog.h"
#include "ui/edit/edited_files_dialog.h"

namespace tw::ui {

EditDialogs::EditDialogs(QWidget* owner, const Messages& messages)
    : m_owner(owner), m_messages(messages) {}

EditDialogs::~EditDialogs() {
    delete m_dialog.data();
}

EditedFilesDialog* EditDialogs::editedFilesDialog() const {
    return m_dialog.data();
}

void EditDialogs::showEditedFiles() {
    if (!m_edits)
        return;
    if (!m_dialog)
        m_dialog = new EditedFilesDialog({[e = m_edits] { return e->files(); },
                                          [e = m_edits](int id) { e->uploadNow(id); },
                                          [e = m_edits](int id) { e->openAgain(id); },
                                          [e = m_edits](int id) { e->endEditing(id); }},
                                         m_messages, m_owner);
    m_dialog->refresh();
    m_dialog->show();
    m_dialog->raise();
    m_dialog->activateWindow();
}

UploadAnswer EditDialogs::askUpload(const QString& name, const QString& remotePath) {
    EditQuestionDialog dialog(
        QStringLiteral("Edit Remote File"),
        QStringLiteral("Upload the changed file back to the server?\n\n%1")
            .arg(ShownText(remotePath, ftp::LineBreaks::Escape)),
        {},
        {QStringLiteral("&Yes"), QStringLiteral("&No"), QStringLiteral("&Always for this file")}, 0,
        1, m_owner);
    dialog.setAccessibleDescription(name);
    dialog.exec();
    switch (dialog.answer()) {
    case 0:
        return UploadAnswer::Yes;
    case 2:
        return UploadAnswer::Always;
    default:
        return UploadAnswer::No;
    }
}

EditExitAnswer EditDialogs::askExit(const QStringList& names) {
    QStringList shown;
    for (const QString& name : names)
        shown << ShownText(name, ftp::LineBreaks::Escape);
    EditQuestionDialog dialog(
        QStringLiteral("Edited Files"),
        QStringLiteral("These edited files have changes that were not uploaded. Upload them "
                       "before the program ends?"),
        shown, {QStringLiteral("&Upload"), QStringLiteral("&Discard"), QStringLiteral("Cancel")}, 0,
        2, m_owner);
    dialog.exec();
    switch (dialog.answer()) {
    case 0:
        return EditExitAnswer::Upload;
    case 1:
        return EditExitAnswer::Discard;
    default:
        return EditExitAnswer::Cancel;
    }
}

void EditDialogs::editsChanged() {
    if (m_dialog)
        m_dialog->refresh();
}

} // namespace tw::ui

#include "ui/edit/edit_question_dialog.h"

#include "ui/dialogs/control_names.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

namespace tw::ui {

EditQuestionDialog::EditQuestionDialog(const QString& title, const QString& text,
                                       const QStringList& files, const QStringList& buttons,
                                       int defaultIndex, int cancelIndex, QWidget* owner)
    : QDialog(owner), m_answer(cancelIndex), m_cancel(cancelIndex) {
    setObjectName(QStringLiteral("EditQuestionDialog"));
    setWindowTitle(title);

    auto* icon = new QLabel(this);
    icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxQuestion).pixmap(32, 32));
    icon->setAlignment(Qt::AlignTop);
    m_text = new QLabel(text, this);
    m_text->setObjectName(QStringLiteral("questionText"));
    m_text->setTextFormat(Qt::PlainText);
    m_text->setWordWrap(true);
    m_text->setMinimumWidth(m_text->fontMetrics().horizontalAdvance(u'M') * 30);

    auto* top = new QHBoxLayout;
    top->addWidget(icon, 0, Qt::AlignTop);
    top->addWidget(m_text, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    if (!files.isEmpty()) {
        m_files = new QListWidget(this);
        m_files->setObjectName(QStringLiteral("fileList"));
        m_files->addItems(files);
        m_files->setAccessibleName(text);
        m_files->setMaximumHeight(m_files->fontMetrics().lineSpacing() * 8 + 8);
        layout->addWidget(m_files);
    }
    auto* row = new QHBoxLayout;
    row->addStretch(1);
    for (int i = 0; i < buttons.size(); ++i) {
        auto* button = new QPushButton(buttons[i], this);
        button->setObjectName(QStringLiteral("answer%1").arg(i));
        button->setAutoDefault(false);
        button->setDefault(i == defaultIndex);
        connect(button, &QPushButton::clicked, this, [this, i] {
            m_answer = i;
            accept();
        });
        row->addWidget(button);
        m_buttons.push_back(button);
    }
    layout->addLayout(row);
    NameControlsByText(this);
    setAccessibleName(windowTitle());
    if (defaultIndex >= 0 && defaultIndex < int(m_buttons.size()))
        m_buttons[std::size_t(defaultIndex)]->setFocus(Qt::OtherFocusReason);
}

void EditQuestionDialog::reject() {
    m_answer = m_cancel;
    QDialog::reject();
}

} // namespace tw::ui

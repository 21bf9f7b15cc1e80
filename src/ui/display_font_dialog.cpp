#include "ui/display_font_dialog.h"

#include "ui/dialogs/control_names.h"

#include <QColorDialog>
#include <QDialogButtonBox>
#include <QFontDialog>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

namespace tw::ui {

DisplayFontDialog::DisplayFontDialog(const QFont& font, const QColor& colour, QWidget* parent)
    : QDialog(parent), m_colour(colour.isValid() ? colour : QColor(Qt::black)) {
    setObjectName(QStringLiteral("DisplayFontDialog"));
    setWindowTitle(QStringLiteral("Font"));

    // The font dialog embedded as a plain widget, without its own buttons.
    m_fonts = new QFontDialog(font, this);
    m_fonts->setOptions(QFontDialog::NoButtons | QFontDialog::DontUseNativeDialog);
    m_fonts->setWindowFlags(Qt::Widget);
    m_fonts->setObjectName(QStringLiteral("fonts"));
    // The embedded chooser is a dialog of its own: Escape (or Enter in one of its lists) ends
    // it, which would only hide it. Its end ends this dialog the same way instead.
    connect(m_fonts, &QDialog::finished, this, [this](int result) {
        m_fonts->setVisible(true);
        done(result == QDialog::Accepted ? QDialog::Accepted : QDialog::Rejected);
    });
    m_fonts->installEventFilter(this);

    auto* colourLabel = new QLabel(QStringLiteral("&Color:"), this);
    m_colourButton = new QPushButton(this);
    m_colourButton->setObjectName(QStringLiteral("colour"));
    colourLabel->setBuddy(m_colourButton);
    connect(m_colourButton, &QPushButton::clicked, this, &DisplayFontDialog::chooseColour);
    showColour();

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("OK"));
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("okButton"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Cancel"));
    buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("cancelButton"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* colourRow = new QHBoxLayout;
    colourRow->addWidget(colourLabel);
    colourRow->addWidget(m_colourButton);
    colourRow->addStretch(1);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_fonts);
    layout->addLayout(colourRow);
    layout->addWidget(buttons);
    NameControlsByText(this);
}

bool DisplayFontDialog::eventFilter(QObject* watched, QEvent* event) {
    // Enter in the chooser's lists and edits means OK here, as anywhere else in the dialog.
    if (watched == m_fonts && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) &&
            (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
            accept();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

QFont DisplayFontDialog::selectedFont() const {
    return m_fonts->currentFont();
}

void DisplayFontDialog::chooseColour() {
    const QColor chosen = QColorDialog::getColor(m_colour, this);
    if (chosen.isValid()) {
        m_colour = chosen;
        showColour();
    }
}

void DisplayFontDialog::showColour() {
    QPixmap swatch(32, 14);
    swatch.fill(m_colour);
    m_colourButton->setIcon(QIcon(swatch));
    m_colourButton->setIconSize(swatch.size());
    m_colourButton->setText(m_colour.name());
    m_colourButton->setAccessibleName(m_colourButton->text());
}

} // namespace tw::ui

#include "ui/display_font_dialog.h"

#include <QColorDialog>
#include <QDialogButtonBox>
#include <QFontDialog>
#include <QHBoxLayout>
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

    auto* colourLabel = new QLabel(QStringLiteral("&Color:"), this);
    m_colourButton = new QPushButton(this);
    m_colourButton->setObjectName(QStringLiteral("colour"));
    colourLabel->setBuddy(m_colourButton);
    connect(m_colourButton, &QPushButton::clicked, this, &DisplayFontDialog::chooseColour);
    showColour();

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
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
}

} // namespace tw::ui

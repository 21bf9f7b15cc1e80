#pragma once

#include <QColor>
#include <QDialog>
#include <QFont>

class QFontDialog;
class QPushButton;

namespace tw::ui {

// The display font chooser: the font dialog's family, style and size lists together with a
// text colour, chosen in one dialog and returned together. Escape anywhere in it cancels the
// whole dialog, Enter accepts it.
class DisplayFontDialog : public QDialog {
    Q_OBJECT
public:
    DisplayFontDialog(const QFont& font, const QColor& colour, QWidget* parent = nullptr);

    QFont selectedFont() const;
    QColor selectedColour() const { return m_colour; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void chooseColour();
    void showColour();

    QFontDialog* m_fonts = nullptr;
    QPushButton* m_colourButton = nullptr;
    QColor m_colour;
};

} // namespace tw::ui

#pragma once

#include <QFont>
#include <QPoint>
#include <QRect>
#include <QSize>

namespace tw::ui {

// Converts dialog units to pixels, as dialog templates are laid out: one horizontal unit is a
// quarter of the font's average character width, one vertical unit an eighth of its character
// height. Dialogs built from template geometry create one of these from their font and place
// every control through it, so the given positions and sizes hold for any font size.
//
//   DialogUnits du;                        // the dialog font ("MS Sans Serif" 8 pt)
//   label->setGeometry(du.rect(37, 8, 185, 64));
class DialogUnits {
public:
    // The standard dialog font.
    DialogUnits();
    explicit DialogUnits(const QFont& font);

    // "MS Sans Serif" 8 pt, substituted by fontconfig with a sans-serif face.
    static QFont dialogFont();

    // Average character width and character height of the font, in pixels.
    int baseX() const { return m_baseX; }
    int baseY() const { return m_baseY; }
    const QFont& font() const { return m_font; }

    int x(int units) const;
    int y(int units) const;
    QPoint point(int x, int y) const;
    QSize size(int width, int height) const;
    QRect rect(int x, int y, int width, int height) const;

    // The conversion itself (a rounded multiply-then-divide), for any pair of base values.
    static int scale(int units, int base, int divisor);

private:
    QFont m_font;
    int m_baseX = 0;
    int m_baseY = 0;
};

} // namespace tw::ui

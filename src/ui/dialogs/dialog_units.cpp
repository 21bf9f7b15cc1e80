#include "ui/dialogs/dialog_units.h"

#include <QFontMetrics>

#include <algorithm>

namespace tw::ui {

namespace {
// The average width is measured over the 52 Latin letters, rounded to the nearest pixel,
// as the template engine of the original platform does; a single-character average would
// follow whatever glyph happens to be the font's "average" character.
const QString kAlphabet = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
} // namespace

QFont DialogUnits::dialogFont() {
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPointSize(8);
    font.setStyleHint(QFont::SansSerif);
    return font;
}

DialogUnits::DialogUnits() : DialogUnits(dialogFont()) {}

DialogUnits::DialogUnits(const QFont& font) : m_font(font) {
    const QFontMetrics metrics(font);
    const int width = metrics.horizontalAdvance(kAlphabet);
    m_baseX = std::max(1, (width / 26 + 1) / 2);
    m_baseY = std::max(1, metrics.height());
}

int DialogUnits::scale(int units, int base, int divisor) {
    // Rounded like MulDiv: half away from zero.
    const long long product = static_cast<long long>(units) * base;
    const long long half = divisor / 2;
    const long long result =
        product >= 0 ? (product + half) / divisor : -((-product + half) / divisor);
    return static_cast<int>(result);
}

int DialogUnits::x(int units) const {
    return scale(units, m_baseX, 4);
}

int DialogUnits::y(int units) const {
    return scale(units, m_baseY, 8);
}

QPoint DialogUnits::point(int x, int y) const {
    return {this->x(x), this->y(y)};
}

QSize DialogUnits::size(int width, int height) const {
    return {x(width), y(height)};
}

QRect DialogUnits::rect(int x, int y, int width, int height) const {
    return {point(x, y), size(width, height)};
}

} // namespace tw::ui

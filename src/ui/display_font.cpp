#include "ui/display_font.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QEvent>
#include <QFontInfo>
#include <QPalette>
#include <QWidget>

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace tw::ui {

namespace {

// LOGFONT pitch (low two bits) and family (high nibble).
constexpr std::uint8_t kFixedPitch = 0x01;
constexpr std::uint8_t kVariablePitch = 0x02;
constexpr std::uint8_t kFamilyRoman = 0x10;
constexpr std::uint8_t kFamilySwiss = 0x20;
constexpr std::uint8_t kFamilyModern = 0x30;
constexpr std::uint8_t kFamilyScript = 0x40;
constexpr std::uint8_t kFamilyDecorative = 0x50;

// Cell height includes the internal leading; take the character height as about 80 % of it.
int pixelSizeOf(std::int32_t height) {
    if (height < 0)
        return -height;
    return static_cast<int>(std::lround(height * 0.8));
}

// The relative luminance of an sRGB colour.
double luminance(const QColor& colour) {
    const QColor rgb = colour.toRgb();
    const auto channel = [](double c) {
        return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(rgb.redF()) + 0.7152 * channel(rgb.greenF()) +
           0.0722 * channel(rgb.blueF());
}

// Watches the application for palette changes.
class ThemeWatcher : public QObject {
public:
    ThemeWatcher(QObject* owner, std::function<void()> reapply)
        : QObject(owner), m_reapply(std::move(reapply)) {
        qApp->installEventFilter(this);
    }
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == qApp && event->type() == QEvent::ApplicationPaletteChange)
            m_reapply();
        return false;
    }

private:
    std::function<void()> m_reapply;
};

} // namespace

void OnThemePaletteChange(QObject* owner, std::function<void()> reapply) {
    new ThemeWatcher(owner, std::move(reapply));
}

double ContrastRatio(const QColor& a, const QColor& b) {
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor ReadableTextColour(const QColor& stored, const QColor& background, const QColor& themeText) {
    return ContrastRatio(stored, background) >= kMinimumTextContrast ? stored : themeText;
}

void ApplyDisplayFont(QWidget* widget, const QFont& font, const QColor& stored) {
    widget->setFont(font);
    // Lists and the log paint their text on the base colour, labels on the window colour.
    const bool onBase = qobject_cast<QAbstractScrollArea*>(widget) != nullptr;
    const QPalette theme = QApplication::palette(widget);
    const QColor colour =
        ReadableTextColour(stored, theme.color(onBase ? QPalette::Base : QPalette::Window),
                           theme.color(onBase ? QPalette::Text : QPalette::WindowText));
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Text, colour);
    palette.setColor(QPalette::WindowText, colour);
    widget->setPalette(palette);
}

QFont FontFromSetting(const FontSetting& s) {
    QFont font;
    if (!s.FaceName.isEmpty())
        font.setFamily(s.FaceName);
    if (s.Height != 0 && pixelSizeOf(s.Height) > 0)
        font.setPixelSize(pixelSizeOf(s.Height));
    if (s.Weight > 0)
        font.setWeight(static_cast<QFont::Weight>(std::clamp(s.Weight, 1, 1000)));
    font.setItalic(s.Italic != 0);
    font.setUnderline(s.Underline != 0);
    font.setStrikeOut(s.StrikeOut != 0);

    switch (s.PitchAndFamily & 0xF0) {
    case kFamilyRoman:
        font.setStyleHint(QFont::Serif);
        break;
    case kFamilySwiss:
        font.setStyleHint(QFont::SansSerif);
        break;
    case kFamilyModern:
        font.setStyleHint(QFont::TypeWriter);
        break;
    case kFamilyScript:
        font.setStyleHint(QFont::Cursive);
        break;
    case kFamilyDecorative:
        font.setStyleHint(QFont::Decorative);
        break;
    default:
        break;
    }
    if ((s.PitchAndFamily & 0x03) == kFixedPitch)
        font.setFixedPitch(true);
    return font;
}

QColor ColourFromSetting(const FontSetting& s) {
    return QColor(static_cast<int>(s.Colour & 0xFF), static_cast<int>((s.Colour >> 8) & 0xFF),
                  static_cast<int>((s.Colour >> 16) & 0xFF));
}

FontSetting SettingFromFont(const QFont& font, const QColor& colour, const FontSetting& previous) {
    FontSetting s = previous;
    s.FaceName = font.family();
    int pixels = font.pixelSize();
    if (pixels <= 0)
        pixels = QFontInfo(font).pixelSize();
    s.Height = -pixels;
    s.Width = 0;
    s.Weight = font.weight();
    s.Italic = font.italic() ? 1 : 0;
    s.Underline = font.underline() ? 1 : 0;
    s.StrikeOut = font.strikeOut() ? 1 : 0;

    std::uint8_t family = previous.PitchAndFamily & 0xF0;
    switch (font.styleHint()) {
    case QFont::Serif:
        family = kFamilyRoman;
        break;
    case QFont::SansSerif:
        family = kFamilySwiss;
        break;
    case QFont::TypeWriter:
    case QFont::Monospace:
        family = kFamilyModern;
        break;
    case QFont::Cursive:
        family = kFamilyScript;
        break;
    case QFont::Decorative:
        family = kFamilyDecorative;
        break;
    default:
        break;
    }
    const bool fixed = QFontInfo(font).fixedPitch();
    s.PitchAndFamily = static_cast<std::uint8_t>(family | (fixed ? kFixedPitch : kVariablePitch));

    const QColor rgb = colour.isValid() ? colour.toRgb() : QColor(Qt::black);
    s.Colour = static_cast<std::uint32_t>(rgb.red()) |
               (static_cast<std::uint32_t>(rgb.green()) << 8) |
               (static_cast<std::uint32_t>(rgb.blue()) << 16);
    return s;
}

} // namespace tw::ui

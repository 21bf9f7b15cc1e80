#pragma once

#include "core/state/app_state.h"

#include <QColor>
#include <QFont>

#include <functional>

class QObject;
class QWidget;

namespace tw::ui {

// The stored display font (LOGFONT members and a 0x00BBGGRR colour) and its Qt form.
// A negative height is the character height in pixels, a positive one the cell height;
// the weight uses the same 100-900 scale in both. Members Qt has no use for (character set,
// precisions, quality, escapement) are kept as they were stored.
QFont FontFromSetting(const FontSetting& setting);
QColor ColourFromSetting(const FontSetting& setting);

// The setting for a font chosen in the font dialog; `previous` supplies the members the
// dialog does not choose.
FontSetting SettingFromFont(const QFont& font, const QColor& colour, const FontSetting& previous);

// The contrast ratio of two colours by their relative luminance (as in WCAG): from 1 for equal
// colours to 21 for black on white.
double ContrastRatio(const QColor& a, const QColor& b);
// Below this ratio text is hard to read (the WCAG floor for large text).
inline constexpr double kMinimumTextContrast = 3.0;
// `stored` when it reads well on `background`, else `themeText`.
QColor ReadableTextColour(const QColor& stored, const QColor& background, const QColor& themeText);

// Gives a pane, label or log the display font and its colour. Where the stored colour has too
// little contrast against the background the widget paints on (a dark desktop theme with the
// default black), the theme's text colour is used instead. Call it again when the theme's
// palette changes.
void ApplyDisplayFont(QWidget* widget, const QFont& font, const QColor& stored);
// Calls `reapply` after every change of the application's palette (a switch of the desktop
// theme) for as long as `owner` lives.
void OnThemePaletteChange(QObject* owner, std::function<void()> reapply);

} // namespace tw::ui

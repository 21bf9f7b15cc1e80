#pragma once

#include "core/state/app_state.h"

#include <QColor>
#include <QFont>

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

} // namespace tw::ui

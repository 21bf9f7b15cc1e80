#pragma once

#include "core/state/app_state.h"

#include <QRect>
#include <QString>

#include <array>
#include <cstdint>
#include <vector>

namespace tw {

class Messages;
class SettingsStore;

// Reads every option, placement, column, font, sound, file type and the account table into
// `state`. Sets `globals.FirstStart` when the store holds no settings yet; then the first-start
// defaults are applied and saved at once. A file that cannot be read gives the defaults, and is
// not taken for a first start (no setup page, no save at once: only a later save replaces it).
// Also publishes Sounds, SaveWindows and LogTransfers into `globals`. Returns true.
bool LoadSettings(SettingsStore& store, AppState& state, AppGlobals& globals);

// Writes every value back (the program information first, the framework placements last),
// registers the export file type with the desktop when `globals.desktopDataHome` is set, and
// shows "Options saved" through `messages` when given. Returns false when the store could not
// be written; the old file is then left as it was and no status is shown.
bool SaveSettings(SettingsStore& store, const AppState& state, const AppGlobals& globals,
                  const Messages* messages = nullptr);

// The values a first start puts over the stored defaults (column widths, centred main window
// and options sheet, setup choices, sample accounts, ten file types); then saves.
bool ApplyFirstStartDefaults(SettingsStore& store, AppState& state, AppGlobals& globals,
                             const Messages* messages = nullptr);

// Pulls a window rectangle onto `screen` (no change when `screen` is empty).
WindowPlacement PullOntoScreen(WindowPlacement p, const QRect& screen);

WindowPlacement LoadWindowPlacement(const SettingsStore& store, const QString& key,
                                    const QRect& screen);
void SaveWindowPlacement(SettingsStore& store, const QString& key, const WindowPlacement& p);
std::array<std::int32_t, 3> LoadColumnWidths(const SettingsStore& store, const QString& key);
void SaveColumnWidths(SettingsStore& store, const QString& key,
                      const std::array<std::int32_t, 3>& widths);
// Empty labels come back as "File Name", "Date" and "Size".
std::array<QString, 3> LoadColumnLabels(const SettingsStore& store);
void SaveColumnLabels(SettingsStore& store, const std::array<QString, 3>& labels);
FontSetting LoadFontSetting(const SettingsStore& store);
void SaveFontSetting(SettingsStore& store, const FontSetting& font);
void LoadSoundSettings(const SettingsStore& store, AppState& state);
void SaveSoundSettings(SettingsStore& store, const AppState& state);
void LoadFileTypes(const SettingsStore& store, AppState& state);
void SaveFileTypes(SettingsStore& store, const AppState& state);
// The program information below the settings branch ("Abstract" and "Application").
void RegisterProgram(SettingsStore& store, const AppGlobals& globals);

// Stable sort of file-type rows by extension, without regard to case.
void SortFileTypes(std::vector<FileTypeAssociation>& rows);

// Key paths of the placements, in the order of Placement / FrameworkPlacement.
extern const std::array<QString, int(Placement::Count)> kPlacementKeys;
extern const std::array<QString, int(FrameworkPlacement::Count)> kFrameworkPlacementKeys;
// Event names of the warning sounds, in AlertKind order (also key and section names).
extern const std::array<QString, kAlertKindCount> kSoundEventNames;

// The version text written with the program information.
inline constexpr char16_t kRegisteredVersionText[] = u"v2.6";
inline constexpr std::int32_t kDefaultColumnWidth = 150;
inline constexpr int kExtLimit = 15;
inline constexpr int kCmdLimit = 255;
inline constexpr int kLabelLimit = 255;
inline constexpr int kFaceNameLimit = 31;

} // namespace tw

#pragma once

#include "core/secrets/password_port.h"
#include "core/setup/desktop_shortcuts.h"
#include "core/state/app_state.h"

#include <QPoint>
#include <QRect>
#include <QString>

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <vector>

namespace tw {

class Messages;

// The eight pages of the options sheet, in their order.
enum class OptionsPage : int {
    General = 0,
    Transfer,
    FileTypes,
    Sorting,
    Sounds,
    Passwords,
    Setup,
    Version
};
inline constexpr int kOptionsPageCount = 8;

// One check box of the General, Transfer or Sorting page, bound to one option flag. On the
// Transfer page the block-size combo sits between its second and third boxes.
struct OptionCheck {
    int controlId;
    const char16_t* text;
    std::uint32_t Options::*field;
};
std::span<const OptionCheck> OptionChecks(OptionsPage page); // empty for the other pages

// The block sizes of the Transfer page's combo, by BlockSize index.
inline constexpr std::array<int, 6> kBlockSizes{128, 256, 512, 1024, 2048, 4096};

// The Sounds page: the alert level and, per AlertKind, the check box and the wave file.
struct SoundsFields {
    int level = 0; // 0 Silent, 1 Simple Beeps, 2 Play Wave Files
    std::array<bool, kAlertKindCount> active{};
    std::array<QString, kAlertKindCount> waveFiles;
};
// Which of the Sounds page's controls are enabled: the check boxes while the level is not
// Silent, a kind's wave edit and browse button while the level is Play Wave Files and the
// kind is active.
struct SoundsEnabling {
    std::array<bool, kAlertKindCount> check{};
    std::array<bool, kAlertKindCount> wave{};
};
SoundsEnabling ComputeSoundsEnabling(int level, const std::array<bool, kAlertKindCount>& active);
// The kinds' names as the page and message 3501 name them ("Connection Success", ...).
QString AlertKindName(int kind);

// The File Types page's buttons.
struct FileTypeButtons {
    bool add = false;
    bool modify = false;
    bool remove = false;
    bool clone = false;
    bool sort = false;
};

// The Edit File Type dialog's fields, in the order they are validated.
enum class FileTypeField { Ext, Cmd };

// The Setup page's six boxes, in the order of SetupChoices.
struct SetupBox {
    bool enabled = false;
    bool checked = false;
};
using SetupBoxes = std::array<SetupBox, 6>;

// The options sheet's decisions, apart from any widget: every page reads and writes a working
// copy of the state, which replaces the edited parts of the real state only on OK
// (ShowOptionsSheet). Each method that validates shows its message and names the field to
// select; the sheet then stays on the page.
class OptionsSheet {
public:
    OptionsSheet(const AppState& state, const Messages& messages);

    const AppState& state() const { return m_state; }

    // A start page of kOptionsPageCount or more (or below 0) is the General page.
    static OptionsPage startPage(int index);
    // The sheet's caption, "Tarnwick 2000 Properties" (the properties-title form of 1000).
    QString caption() const;
    static int helpTopic(OptionsPage page);
    // On each page's activation: its status-bar text.
    void showPageStatus(OptionsPage page) const;
    // Where the sheet opens: nullopt to centre it (SaveWindows off in the copy), else the
    // remembered corner, at most 70 pixels short of the right and bottom edges of `screen`.
    std::optional<QPoint> position(const QRect& screen) const;
    // The sheet's frame, on leaving a page and on OK.
    void rememberPosition(const QRect& frame);

    // General, Transfer and Sorting: the boxes of OptionChecks(page), in order.
    std::vector<bool> flags(OptionsPage page) const;
    void storeFlags(OptionsPage page, const std::vector<bool>& checked);
    int blockSizeIndex() const;          // 0-5
    void storeBlockSizeIndex(int index); // out of range: ignored
    // The transfer queue's connections per server, 1 to kMaxConnections.
    int connections() const;
    void storeConnections(int count); // out of range: ignored

    // Sounds.
    SoundsFields soundsFields() const;
    // The level chosen in the combo (stored into the copy at once, as the enabling is).
    void storeAlertLevel(int level);
    // A click on a kind's check box: toggles Active in the copy; returns the new state.
    bool toggleSoundActive(int kind);
    // Before the browse dialog: the edit's text becomes the kind's wave file.
    void storeWaveFile(int kind, const QString& path);
    // Leaving the page and OK: stores the level, then each kind in order; the first active kind
    // without a file while the level is Play Wave Files shows 3501 and is returned (kinds after
    // it keep their values).
    std::optional<int> storeSounds(const SoundsFields& shown);

    // File Types. The rows in table order.
    const std::vector<FileTypeAssociation>& fileTypes() const { return m_state.FileTypes; }
    QString defaultEditor() const { return m_state.DefaultEditor; }
    FileTypeButtons fileTypeButtons(int selectedRow) const;
    // The record Add edits: extension "." and no program; Clone: the selected row's program.
    static FileTypeAssociation newFileType();
    std::optional<FileTypeAssociation> cloneOf(int row) const;
    // Appends a row; its index, or nullopt when the table is full.
    std::optional<int> appendFileType(const FileTypeAssociation& record);
    void replaceFileType(int row, const FileTypeAssociation& record);
    // Asks 3204 (Yes default); on Yes removes the row and returns the row to select then: the
    // same index, or the one before when the last row went (-1 when none is left).
    std::optional<int> removeFileType(int row);
    // Sorts by extension without regard to case, with the hourglass on.
    void sortFileTypes();
    // Before the browse dialog, and on leaving the page.
    void storeDefaultEditor(const QString& program);
    // Leaving the page and OK: false (3207 shown) when the default editor is empty.
    bool storeFileTypes(const QString& defaultEditor);

    // Passwords. The choice kept in the copy (a value out of range reads as NotChosen), and
    // the one the page shows selected: the keyring while nothing was chosen, since that is
    // where passwords go then.
    PasswordStoreChoice passwordStore() const;
    PasswordStoreChoice shownPasswordStore() const;
    // A choice the user made on the page, stored into the copy at once; NotChosen and values
    // out of range are ignored. Showing the page alone never stores anything, so NotChosen
    // stays until the user picks one.
    void storePasswordStore(PasswordStoreChoice choice);
    // The page's "Change Master Password..." button: shown when the caller gave a way to change
    // it (OptionsEffects::changeMasterPassword), enabled while `shown` is MasterPassword.
    bool canChangeMasterPassword() const { return bool(m_changeMasterPassword); }
    static bool changeMasterPasswordEnabled(PasswordStoreChoice shown);
    void changeMasterPassword() const;
    void setChangeMasterPassword(std::function<void()> change);

    // Setup: the boxes from which entries exist (`exists`) and the copy's requests: an existing
    // entry's create box is off and disabled, its remove box enabled and checked by its request;
    // a missing entry's the other way round.
    SetupBoxes setupBoxes(const std::function<bool(ShortcutPlace)>& exists) const;
    void storeSetup(const std::array<bool, 6>& checked);

private:
    AppState m_state;
    const Messages& m_messages;
    std::function<void()> m_changeMasterPassword;
};

// The Edit File Type dialog's caption: 3201 " Edit File Type" (modify) or 3202 " Create a New
// File Type".
QString EditFileTypeTitle(const Messages& messages, bool modify);
// OK of the Edit File Type dialog: the extension must begin with a period and not be "." alone
// (3205), the program must not be empty (3206); the message's caption is the dialog's title.
// Returns the field to select, nullopt when the record is valid.
std::optional<FileTypeField> ValidateFileType(const Messages& messages, bool modify,
                                              const FileTypeAssociation& record);

// What OK changes besides the state, and what a page may start while the sheet is open.
struct OptionsEffects {
    // TaskTray changed: the tray icon is removed, and added again when `on`.
    std::function<void(bool on)> setTrayIcon;
    // The Setup page's requests: create and delete the desktop entries (ApplySetupRequests).
    std::function<void(SetupChoices& requests)> applySetup;
    // Saves every setting.
    std::function<bool(const AppState& state)> save;
    // Repaints the main window, with the options it shows (tips) taken over.
    std::function<void()> repaint;
    // The Passwords page's "Change Master Password...": runs at once, over the open sheet
    // (the store's own flow asks the old and the new one). Unset: the page has no button.
    std::function<void()> changeMasterPassword;
};

// Commands 133, 440, 134, 995 and the setup start: runs the sheet (`run` shows it on `sheet`
// at its start page and returns true on OK). On OK, in order: message 1037 when the toolbar
// style changed; what the pages edit (options, sounds, file types, default editor, Setup
// requests, the sheet's position; the password store choice is one of the options) replaces
// those parts of `state`, the Edit File Type
// dialog's position written meanwhile into `state` is kept; the tray icon follows TaskTray;
// `globals` takes Sounds, SaveWindows and LogTransfers; the Setup requests are carried out;
// the settings are saved; the window is repainted. Cancel changes nothing but clearing the
// Setup requests, which live only as long as one sheet. Returns true on OK.
bool ShowOptionsSheet(AppState& state, AppGlobals& globals, const Messages& messages,
                      const std::function<bool(OptionsSheet& sheet)>& run,
                      const OptionsEffects& effects);

} // namespace tw

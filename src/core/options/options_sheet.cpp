#include "core/options/options_sheet.h"

#include "core/settings/settings.h"
#include "core/text/format.h"
#include "core/text/messages.h"

#include <algorithm>
#include <utility>

namespace tw {

namespace {

constexpr int kTitleId = 1000;
constexpr int kStyleChangedId = 1037;
constexpr int kEditFileTypeId = 3201;
constexpr int kCreateFileTypeId = 3202;
constexpr int kRemoveCaptionId = 3203;
constexpr int kRemoveQuestionId = 3204;
constexpr int kInvalidExtId = 3205;
constexpr int kProgramMissingId = 3206;
constexpr int kEditorMissingId = 3207;
constexpr int kSoundsCaptionId = 3500;
constexpr int kSoundFileMissingId = 3501;
constexpr int kEdgeMargin = 70;
constexpr int kWaveFileLimit = 255;
constexpr int kPlayWaveFiles = 2;
constexpr std::uint32_t kDefaultBlockSize = 2;

constexpr OptionCheck kGeneralChecks[] = {
    {110, u"&Place Program Icon in the Taskbar Tray", &Options::TaskTray},
    {120, u"&Minimize Program to an Icon at Startup", &Options::Minimize},
    {130, u"&Confirm Program Exit", &Options::Confirm},
    {140, u"&Display Accounts by Frequency of Visits", &Options::Frequency},
    {150, u"&Show Tool Ribbon Tips", &Options::Tips},
    {160, u"&Use Flat Toolbar Style", &Options::FlatStyle},
    {170, u"&Retain Window Sizes and Positions", &Options::SaveWindows},
    {200, u"&Warning Sounds with Dialog Boxes", &Options::Sounds},
    {210, u"Move Deleted Local Files to the &Trash", &Options::UseTrash},
};

constexpr OptionCheck kTransferChecks[] = {
    {101, u"&Refresh Folders After Transfers", &Options::Refresh},
    {104, u"&Show Transfer Progress Window", &Options::Progress},
    {102, u"&Compare Timestamps Before Transfers", &Options::Timestamp},
    {105, u"&Prompt for Destination File Names", &Options::Prompt},
    {106, u"&Force Lowercase Remote File Names", &Options::Lowercase},
    {103, u"&Log All File Transfers", &Options::LogTransfers},
    {108, u"&Keep File Dates", &Options::KeepFileDates},
    {110, u"&Accept encrypted downloads whose end the server did not confirm",
     &Options::AcceptUnconfirmedTlsEnd},
};

constexpr OptionCheck kSortingChecks[] = {
    {104, u"Display &Drives at the End of the List", &Options::DrivesLast},
    {103, u"Display &Folders at the End of the List", &Options::FoldersLast},
    {101, u"Display &Oldest Files First in the List", &Options::OldestFirst},
    {102, u"Display &Largest Files First in the List", &Options::LargestFirst},
};

struct PageInfo {
    int helpTopic;
    int statusId;
};
constexpr PageInfo kPages[kOptionsPageCount] = {
    {100, 133}, {102, 452}, {104, 487}, {106, 440}, {108, 476}, {110, 478}, {200, 134}, {800, 999},
};

// The places in the order of the Setup page's box pairs (and of SetupChoices).
constexpr ShortcutPlace kSetupPlaces[] = {ShortcutPlace::StartMenu, ShortcutPlace::Desktop,
                                          ShortcutPlace::Startup};

std::array<std::uint32_t*, 6> setupFlags(SetupChoices& s) {
    return {&s.CreateStartMenu, &s.RemoveStartMenu, &s.CreateDesktop,
            &s.RemoveDesktop,   &s.CreateStartup,   &s.RemoveStartup};
}

bool validKind(int kind) {
    return kind >= 0 && kind < kAlertKindCount;
}

int alertLevelOf(const Options& o) {
    return o.AlertLevel <= std::uint32_t(kPlayWaveFiles) ? int(o.AlertLevel) : 1;
}

FileTypeAssociation limited(const FileTypeAssociation& record) {
    return {CutText(record.Ext, kExtLimit), CutText(record.Cmd, kCmdLimit)};
}

} // namespace

std::span<const OptionCheck> OptionChecks(OptionsPage page) {
    switch (page) {
    case OptionsPage::General:
        return kGeneralChecks;
    case OptionsPage::Transfer:
        return kTransferChecks;
    case OptionsPage::Sorting:
        return kSortingChecks;
    default:
        return {};
    }
}

SoundsEnabling ComputeSoundsEnabling(int level, const std::array<bool, kAlertKindCount>& active) {
    SoundsEnabling e;
    for (std::size_t k = 0; k < std::size_t(kAlertKindCount); ++k) {
        e.check[k] = level != 0;
        e.wave[k] = level == kPlayWaveFiles && active[k];
    }
    return e;
}

QString AlertKindName(int kind) {
    return validKind(kind) ? kSoundEventNames[std::size_t(kind)] : QString();
}

OptionsSheet::OptionsSheet(const AppState& state, const Messages& messages)
    : m_state(state), m_messages(messages) {}

OptionsPage OptionsSheet::startPage(int index) {
    return index >= 0 && index < kOptionsPageCount ? static_cast<OptionsPage>(index)
                                                   : OptionsPage::General;
}

QString OptionsSheet::caption() const {
    return m_messages.LoadStringText(kTitleId) + QStringLiteral(" Properties");
}

int OptionsSheet::helpTopic(OptionsPage page) {
    return kPages[std::size_t(startPage(int(page)))].helpTopic;
}

void OptionsSheet::showPageStatus(OptionsPage page) const {
    m_messages.ShowStatus(kPages[std::size_t(startPage(int(page)))].statusId);
}

std::optional<QPoint> OptionsSheet::position(const QRect& screen) const {
    const WindowPlacement& p = m_state.placement(Placement::Options);
    if (!m_state.options.SaveWindows || !p.remembered())
        return std::nullopt;
    QPoint at(p.Left, p.Top);
    if (!screen.isEmpty()) {
        at.setX(std::min(at.x(), screen.x() + screen.width() - kEdgeMargin));
        at.setY(std::min(at.y(), screen.y() + screen.height() - kEdgeMargin));
    }
    return at;
}

void OptionsSheet::rememberPosition(const QRect& frame) {
    WindowPlacement& p = m_state.placement(Placement::Options);
    p.Top = frame.y();
    p.Left = frame.x();
    p.Height = frame.height();
    p.Width = frame.width();
}

std::vector<bool> OptionsSheet::flags(OptionsPage page) const {
    std::vector<bool> checked;
    for (const OptionCheck& c : OptionChecks(page))
        checked.push_back(m_state.options.*c.field != 0);
    return checked;
}

void OptionsSheet::storeFlags(OptionsPage page, const std::vector<bool>& checked) {
    const std::span<const OptionCheck> checks = OptionChecks(page);
    const std::size_t n = std::min(checks.size(), checked.size());
    for (std::size_t i = 0; i < n; ++i)
        m_state.options.*checks[i].field = checked[i] ? 1 : 0;
}

int OptionsSheet::blockSizeIndex() const {
    const std::uint32_t index = m_state.options.BlockSize;
    return int(index < kBlockSizes.size() ? index : kDefaultBlockSize);
}

void OptionsSheet::storeBlockSizeIndex(int index) {
    if (index >= 0 && std::size_t(index) < kBlockSizes.size())
        m_state.options.BlockSize = std::uint32_t(index);
}

int OptionsSheet::connections() const {
    const std::uint32_t count = m_state.options.Connections;
    return int(count >= 1 && count <= kMaxConnections ? count : kDefaultConnections);
}

void OptionsSheet::storeConnections(int count) {
    if (count >= 1 && std::uint32_t(count) <= kMaxConnections)
        m_state.options.Connections = std::uint32_t(count);
}

SoundsFields OptionsSheet::soundsFields() const {
    SoundsFields f;
    f.level = alertLevelOf(m_state.options);
    for (std::size_t k = 0; k < std::size_t(kAlertKindCount); ++k) {
        f.active[k] = m_state.sounds[k].Active != 0;
        f.waveFiles[k] = m_state.sounds[k].WaveFile;
    }
    return f;
}

void OptionsSheet::storeAlertLevel(int level) {
    if (level >= 0 && level <= kPlayWaveFiles)
        m_state.options.AlertLevel = std::uint32_t(level);
}

bool OptionsSheet::toggleSoundActive(int kind) {
    if (!validKind(kind))
        return false;
    SoundSetting& s = m_state.sounds[std::size_t(kind)];
    s.Active = s.Active ? 0 : 1;
    return s.Active != 0;
}

void OptionsSheet::storeWaveFile(int kind, const QString& path) {
    if (validKind(kind))
        m_state.sounds[std::size_t(kind)].WaveFile = CutText(path, kWaveFileLimit);
}

std::optional<int> OptionsSheet::storeSounds(const SoundsFields& shown) {
    storeAlertLevel(shown.level);
    const bool playsFiles = alertLevelOf(m_state.options) == kPlayWaveFiles;
    for (int kind = 0; kind < kAlertKindCount; ++kind) {
        SoundSetting& s = m_state.sounds[std::size_t(kind)];
        s.Active = shown.active[std::size_t(kind)] ? 1 : 0;
        s.WaveFile = CutText(shown.waveFiles[std::size_t(kind)], kWaveFileLimit);
        if (playsFiles && s.Active && s.WaveFile.isEmpty()) {
            m_messages.InfoBox(kSoundsCaptionId, kSoundFileMissingId, {AlertKindName(kind)});
            return kind;
        }
    }
    return std::nullopt;
}

FileTypeButtons OptionsSheet::fileTypeButtons(int selectedRow) const {
    const int count = static_cast<int>(m_state.FileTypes.size());
    const bool selected = selectedRow >= 0 && selectedRow < count;
    const bool room = count < kMaxFileTypes;
    return {.add = room,
            .modify = selected,
            .remove = selected,
            .clone = selected && room,
            .sort = count > 1};
}

FileTypeAssociation OptionsSheet::newFileType() {
    return {QStringLiteral("."), QString()};
}

std::optional<FileTypeAssociation> OptionsSheet::cloneOf(int row) const {
    if (row < 0 || row >= static_cast<int>(m_state.FileTypes.size()))
        return std::nullopt;
    FileTypeAssociation record = newFileType();
    record.Cmd = m_state.FileTypes[std::size_t(row)].Cmd;
    return record;
}

std::optional<int> OptionsSheet::appendFileType(const FileTypeAssociation& record) {
    if (m_state.FileTypes.size() >= std::size_t(kMaxFileTypes))
        return std::nullopt;
    m_state.FileTypes.push_back(limited(record));
    return static_cast<int>(m_state.FileTypes.size()) - 1;
}

void OptionsSheet::replaceFileType(int row, const FileTypeAssociation& record) {
    if (row >= 0 && row < static_cast<int>(m_state.FileTypes.size()))
        m_state.FileTypes[std::size_t(row)] = limited(record);
}

std::optional<int> OptionsSheet::removeFileType(int row) {
    const int count = static_cast<int>(m_state.FileTypes.size());
    if (row < 0 || row >= count)
        return std::nullopt;
    const FileTypeAssociation& t = m_state.FileTypes[std::size_t(row)];
    if (!m_messages.YesNoBox(true, kRemoveCaptionId, kRemoveQuestionId, {t.Ext, t.Cmd}))
        return std::nullopt;
    m_state.FileTypes.erase(m_state.FileTypes.begin() + row);
    return std::min(row, count - 2);
}

void OptionsSheet::sortFileTypes() {
    ScopedWaitCursor wait(m_messages);
    SortFileTypes(m_state.FileTypes);
}

void OptionsSheet::storeDefaultEditor(const QString& program) {
    m_state.DefaultEditor = CutText(program, kCmdLimit);
}

bool OptionsSheet::storeFileTypes(const QString& defaultEditor) {
    storeDefaultEditor(defaultEditor);
    if (!m_state.DefaultEditor.isEmpty())
        return true;
    m_messages.InfoBox(kEditFileTypeId, kEditorMissingId);
    return false;
}

PasswordStoreChoice OptionsSheet::passwordStore() const {
    const std::uint32_t stored = m_state.options.PasswordStore;
    return stored <= std::uint32_t(PasswordStoreChoice::DoNotSave)
               ? static_cast<PasswordStoreChoice>(stored)
               : PasswordStoreChoice::NotChosen;
}

PasswordStoreChoice OptionsSheet::shownPasswordStore() const {
    const PasswordStoreChoice stored = passwordStore();
    return stored == PasswordStoreChoice::NotChosen ? PasswordStoreChoice::Keyring : stored;
}

void OptionsSheet::storePasswordStore(PasswordStoreChoice choice) {
    switch (choice) {
    case PasswordStoreChoice::Keyring:
    case PasswordStoreChoice::MasterPassword:
    case PasswordStoreChoice::DoNotSave:
        m_state.options.PasswordStore = std::uint32_t(choice);
        break;
    case PasswordStoreChoice::NotChosen:
        break;
    }
}

bool OptionsSheet::changeMasterPasswordEnabled(PasswordStoreChoice shown) {
    return shown == PasswordStoreChoice::MasterPassword;
}

void OptionsSheet::changeMasterPassword() const {
    if (m_changeMasterPassword)
        m_changeMasterPassword();
}

void OptionsSheet::setChangeMasterPassword(std::function<void()> change) {
    m_changeMasterPassword = std::move(change);
}

SetupBoxes OptionsSheet::setupBoxes(const std::function<bool(ShortcutPlace)>& exists) const {
    SetupChoices requests = m_state.setup;
    const std::array<std::uint32_t*, 6> flag = setupFlags(requests);
    SetupBoxes boxes;
    for (std::size_t i = 0; i < std::size(kSetupPlaces); ++i) {
        SetupBox& create = boxes[2 * i];
        SetupBox& remove = boxes[2 * i + 1];
        if (exists && exists(kSetupPlaces[i])) {
            create = {false, false};
            remove = {true, *flag[2 * i + 1] != 0};
        } else {
            create = {true, *flag[2 * i] != 0};
            remove = {false, false};
        }
    }
    return boxes;
}

void OptionsSheet::storeSetup(const std::array<bool, 6>& checked) {
    const std::array<std::uint32_t*, 6> flag = setupFlags(m_state.setup);
    for (std::size_t i = 0; i < flag.size(); ++i)
        *flag[i] = checked[i] ? 1 : 0;
}

QString EditFileTypeTitle(const Messages& messages, bool modify) {
    return messages.LoadStringResource(modify ? kEditFileTypeId : kCreateFileTypeId)
        .value_or(QString());
}

std::optional<FileTypeField> ValidateFileType(const Messages& messages, bool modify,
                                              const FileTypeAssociation& record) {
    const int caption = modify ? kEditFileTypeId : kCreateFileTypeId;
    if (!record.Ext.startsWith(u'.') || record.Ext == QStringLiteral(".")) {
        messages.InfoBox(caption, kInvalidExtId);
        return FileTypeField::Ext;
    }
    if (record.Cmd.isEmpty()) {
        messages.InfoBox(caption, kProgramMissingId);
        return FileTypeField::Cmd;
    }
    return std::nullopt;
}

bool ShowOptionsSheet(AppState& state, AppGlobals& globals, const Messages& messages,
                      const std::function<bool(OptionsSheet& sheet)>& run,
                      const OptionsEffects& effects) {
    OptionsSheet sheet(state, messages);
    sheet.setChangeMasterPassword(effects.changeMasterPassword);
    if (!run || !run(sheet)) {
        state.setup = {};
        return false;
    }
    const AppState& edited = sheet.state();

    if (state.options.FlatStyle != edited.options.FlatStyle)
        messages.InfoBox(kTitleId, kStyleChangedId);

    // Only what the pages edit goes back: a listing that ended while the sheet was open, the
    // accounts and everything else must not be undone. The Edit File Type dialog writes its
    // position straight into the live state, so that placement stays as it is there too.
    const bool trayChanged = state.options.TaskTray != edited.options.TaskTray;
    state.options = edited.options;
    state.sounds = edited.sounds;
    state.DefaultEditor = edited.DefaultEditor;
    state.FileTypes = edited.FileTypes;
    state.setup = edited.setup;
    state.placement(Placement::Options) = edited.placement(Placement::Options);

    if (trayChanged && effects.setTrayIcon)
        effects.setTrayIcon(state.options.TaskTray != 0);

    globals.soundsWithDialogs = state.options.Sounds != 0;
    globals.fixedPositionOff = state.options.SaveWindows == 0;
    globals.transferLogging = state.options.LogTransfers != 0;

    if (effects.applySetup)
        effects.applySetup(state.setup);
    state.setup = {};

    if (effects.save)
        effects.save(state);
    if (effects.repaint)
        effects.repaint();
    return true;
}

} // namespace tw

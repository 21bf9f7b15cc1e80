#pragma once

#include "core/state/app_state.h"

#include <QByteArray>
#include <QString>

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <vector>

namespace tw {

// The number that marks a file as an account export file.
inline constexpr std::uint32_t kExportSignature = 0x5B3D0C71;
// Import files larger than this are not export files of this program (256 accounts with every
// field full take well under 2 MB).
inline constexpr qint64 kMaxImportFileSize = 16 * 1024 * 1024;

// "Comments" on one line: each line feed becomes '|', carriage returns are dropped.
QString CommentsToLine(const QString& comments);
// Back from one line: each '|' becomes CR LF.
QString LineToComments(const QString& line);
// Cuts notes to the field's 1023 characters, never between a surrogate pair or a CR LF.
QString CutComments(const QString& comments);

// Which passwords an export file holds: the ones known in this run and those read back from
// their store (`kept`, SecretId -> password), or none, every "Password" left empty.
struct ExportPasswords {
    bool include = true;
    std::map<QString, QString> kept;
};

// The whole export file for `state`: header, sections, banners and the trailer naming `path`.
QByteArray BuildExportFile(const AppState& state, const QString& path, const QString& createdOn,
                           const ExportPasswords& passwords = {});

// What an import file holds, read and checked in full before anything is replaced.
struct ImportData {
    std::vector<AccountRecord> accounts;
    std::vector<FileTypeAssociation> fileTypes;
    QString defaultEditor;
    std::uint32_t alertLevel = 1;
    std::array<SoundSetting, kAlertKindCount> sounds{};
};

enum class ImportProblem {
    None,
    BadSignature, // missing "Tarnwick 2000" section or a wrong signature
    Damaged,      // a count that is not a number, announced sections missing, no end line
};

struct ImportParse {
    std::optional<ImportData> data;
    ImportProblem problem = ImportProblem::None;
};

// Reads an export file's bytes. Missing keys take their defaults (a missing "Anonymous" makes
// the account anonymous); texts are cut to their fields; counts above 256 read as 256; numbers
// that are missing, not numbers or out of their range take the field's default.
ImportParse ParseImportFile(const QByteArray& bytes);

// Replaces accounts, file types, the default editor and the warning sounds with `data`.
// Exclude lists start empty; CurrentAccount stays unless it no longer points at an account
// (then the first account, or -1 when there is none).
void ApplyImport(AppState& state, ImportData data);

} // namespace tw

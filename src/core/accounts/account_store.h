#pragma once

#include "core/accounts/account_record.h"

#include <QByteArray>
#include <QString>

#include <vector>

namespace tw {

class SettingsStore;
struct AppState;

// The account table in the settings store: key "Accounts" with "Count", "Current" and
// "Export", and one key "Accounts\Account-%03d" per row (row 1 = the first record).
//
// Cases the stored data can leave open are read as follows:
// - a "Count" above 256 reads as 256 (the rows beyond are never read, and the next save
//   deletes their keys); a negative count reads as 0;
// - a "Current" outside the table is clamped to the nearest row; with no accounts the current
//   index is -1;
// - the current account follows its record through the load-time sort, so the account that was
//   current when the table was saved is still current after the reordering.
bool LoadAccounts(const SettingsStore& store, AppState& state);
// Saved passwords are not in the store: "Password Store" and "Secret Id" say where each is
// (core/secrets/password_keeper.h). A "Save Password" account of an older version, without
// them, has its scrambled "Password" read (PasswordPlace::Scrambled) and written back unchanged
// until a store takes it.
// Writes the table in its current order and deletes the keys of rows that no longer exist.
bool SaveAccounts(SettingsStore& store, const AppState& state);

// The fixed amount every byte of a saved password is raised by (modulo 256).
inline constexpr int kPasswordShift = 0x35;
// Size of the stored "Comments" value, in bytes, terminator included.
inline constexpr int kCommentsBytes = 1024;

// The password as stored: every byte of its UTF-8 form raised by kPasswordShift, kept as a text
// of one character per byte (code 0-255).
QString ScramblePassword(const QString& password);
// The inverse of ScramblePassword; the result is cut to the password field (63 characters).
QString UnscramblePassword(const QString& stored);
void WriteScrambledString(SettingsStore& store, const QString& key, const QString& value,
                          const QString& text);
// The unscrambled text, or `defaultText` when the value cannot be read.
QString ReadScrambledString(const SettingsStore& store, const QString& key, const QString& value,
                            const QString& defaultText, int maxChars);

// "Comments" as stored: the UTF-8 text (cut at a character boundary to 1023 bytes) followed by
// zero bytes up to exactly 1024 bytes.
QByteArray EncodeComments(const QString& comments);
// The text before the first zero byte; an empty or unreadable value gives the empty text.
QString DecodeComments(const QByteArray& data);

// Negative, zero or positive like strcmp: names compared without regard to case, locale-aware.
int CompareAccountsByName(const AccountRecord& a, const AccountRecord& b);
// More visits first; equal counts are ordered by name.
int CompareAccountsByVisits(const AccountRecord& a, const AccountRecord& b);

// The four accounts a first start offers (anonymous, port 21, passive, no host yet).
std::vector<AccountRecord> SampleAccounts();

// The key of a row, 1-based: "Accounts\Account-001".
QString AccountKey(int row);

} // namespace tw

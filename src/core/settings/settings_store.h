#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <memory>

class QSettings;

namespace tw {

// The one persistent store: an INI file through QSettings. Key paths are written with '\' or
// '/' between their parts ("Options\Transfer"); values are read with a default and never fail.
// The file is created readable by its owner only (it holds scrambled passwords) and every save
// replaces it atomically.
class SettingsStore {
public:
    // The user's store (organization "Quellwork", application "Tarnwick 2000"), or the file
    // named by the TARNWICK2000_SETTINGS environment variable when it is set.
    SettingsStore();
    // A store on the given INI file (tests, the demo profile).
    explicit SettingsStore(const QString& filePath);
    ~SettingsStore();
    SettingsStore(const SettingsStore&) = delete;
    SettingsStore& operator=(const SettingsStore&) = delete;

    QString fileName() const;

    std::uint32_t ReadSettingNumber(const QString& key, const QString& value,
                                    std::uint32_t defaultValue) const;
    // Any nonzero stored number reads as 1.
    std::uint32_t ReadSettingFlag(const QString& key, const QString& value,
                                  std::uint32_t defaultValue) const;
    QString ReadSettingString(const QString& key, const QString& value, const QString& defaultValue,
                              int maxChars = 255) const;
    QByteArray ReadSettingBinary(const QString& key, const QString& value) const;

    void WriteSettingNumber(const QString& key, const QString& value, std::uint32_t number);
    // A signed 32-bit number (positions, sizes), kept readable as "-10" in the file; it reads
    // back through ReadSettingNumber as the same 32 bits.
    void WriteSettingSigned(const QString& key, const QString& value, std::int32_t number);
    void WriteSettingFlag(const QString& key, const QString& value, std::uint32_t flag);
    void WriteSettingString(const QString& key, const QString& value, const QString& text);
    void WriteSettingBinary(const QString& key, const QString& value, const QByteArray& data);

    bool SettingsKeyExists(const QString& key) const; // "" = the whole branch
    // True when the file exists but could not be read (no permission, not a file): every read
    // then gives its default.
    bool isUnreadable() const;
    bool ValueExists(const QString& key, const QString& value) const;
    void DeleteSettingsKey(const QString& key); // the key with everything below it
    QStringList SubKeys(const QString& key) const;

    // Writes pending changes to disk; false when the file could not be written whole, in
    // which case the previous file is left in place.
    bool Sync();

private:
    static QString path(const QString& key, const QString& value);
    void restrictPermissions();
    bool writtenFileMatches() const;

    std::unique_ptr<QSettings> m_settings;
};

} // namespace tw

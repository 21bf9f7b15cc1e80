#include "core/settings/settings_store.h"

#include "core/text/format.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>

#include <atomic>
#include <cstdio>
#include <unistd.h>

namespace tw {

namespace {

QString defaultStorePath() {
    const QByteArray overridePath = qgetenv("TARNWICK2000_SETTINGS");
    if (!overridePath.isEmpty())
        return QString::fromLocal8Bit(overridePath);
    QSettings probe(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Quellwork"),
                    QStringLiteral("Tarnwick 2000"));
    return probe.fileName();
}

QString normalizeKey(const QString& key) {
    QString k = key;
    k.replace(u'\\', u'/');
    while (k.startsWith(u'/'))
        k.remove(0, 1);
    while (k.endsWith(u'/'))
        k.chop(1);
    return k;
}

} // namespace

SettingsStore::SettingsStore() : SettingsStore(defaultStorePath()) {}

SettingsStore::SettingsStore(const QString& filePath)
    : m_settings(std::make_unique<QSettings>(filePath, QSettings::IniFormat)) {
    m_settings->setAtomicSyncRequired(true);
}

SettingsStore::~SettingsStore() {
    Sync();
}

QString SettingsStore::fileName() const {
    return m_settings->fileName();
}

QString SettingsStore::path(const QString& key, const QString& value) {
    const QString k = normalizeKey(key);
    return k.isEmpty() ? value : k + u'/' + value;
}

std::uint32_t SettingsStore::ReadSettingNumber(const QString& key, const QString& value,
                                               std::uint32_t defaultValue) const {
    const QVariant v = m_settings->value(path(key, value));
    if (!v.isValid())
        return defaultValue;
    bool ok = false;
    const qlonglong n = v.toString().trimmed().toLongLong(&ok, 0);
    if (!ok)
        return defaultValue;
    return static_cast<std::uint32_t>(n); // a DWORD keeps its low 32 bits
}

std::uint32_t SettingsStore::ReadSettingFlag(const QString& key, const QString& value,
                                             std::uint32_t defaultValue) const {
    return ReadSettingNumber(key, value, defaultValue) != 0 ? 1u : 0u;
}

QString SettingsStore::ReadSettingString(const QString& key, const QString& value,
                                         const QString& defaultValue, int maxChars) const {
    const QVariant v = m_settings->value(path(key, value));
    if (!v.isValid())
        return CutText(defaultValue, maxChars);
    if (v.typeId() == QMetaType::QStringList) // an unquoted text with commas
        return CutText(v.toStringList().join(QStringLiteral(", ")), maxChars);
    return CutText(v.toString(), maxChars);
}

QByteArray SettingsStore::ReadSettingBinary(const QString& key, const QString& value) const {
    const QVariant v = m_settings->value(path(key, value));
    if (!v.isValid())
        return {};
    return v.toByteArray();
}

void SettingsStore::WriteSettingNumber(const QString& key, const QString& value,
                                       std::uint32_t number) {
    m_settings->setValue(path(key, value), static_cast<qulonglong>(number));
}

void SettingsStore::WriteSettingSigned(const QString& key, const QString& value,
                                       std::int32_t number) {
    m_settings->setValue(path(key, value), static_cast<qlonglong>(number));
}

void SettingsStore::WriteSettingFlag(const QString& key, const QString& value, std::uint32_t flag) {
    WriteSettingNumber(key, value, flag != 0 ? 1u : 0u);
}

void SettingsStore::WriteSettingString(const QString& key, const QString& value,
                                       const QString& text) {
    m_settings->setValue(path(key, value), text);
}

void SettingsStore::WriteSettingBinary(const QString& key, const QString& value,
                                       const QByteArray& data) {
    m_settings->setValue(path(key, value), data);
}

bool SettingsStore::SettingsKeyExists(const QString& key) const {
    const QString k = normalizeKey(key);
    if (k.isEmpty())
        return QFileInfo::exists(fileName()) && !m_settings->allKeys().isEmpty();
    m_settings->beginGroup(k);
    const bool exists = !m_settings->allKeys().isEmpty();
    m_settings->endGroup();
    return exists;
}

bool SettingsStore::isUnreadable() const {
    const QFileInfo info(fileName());
    if (!info.exists())
        return false;
    if (!info.isFile())
        return true;
    QFile probe(info.absoluteFilePath());
    return !probe.open(QIODevice::ReadOnly) || m_settings->status() == QSettings::AccessError;
}

bool SettingsStore::ValueExists(const QString& key, const QString& value) const {
    return m_settings->contains(path(key, value));
}

void SettingsStore::DeleteSettingsKey(const QString& key) {
    const QString k = normalizeKey(key);
    if (k.isEmpty())
        m_settings->clear();
    else
        m_settings->remove(k);
}

QStringList SettingsStore::SubKeys(const QString& key) const {
    const QString k = normalizeKey(key);
    if (!k.isEmpty())
        m_settings->beginGroup(k);
    QStringList groups = m_settings->childGroups();
    if (!k.isEmpty())
        m_settings->endGroup();
    return groups;
}

void SettingsStore::restrictPermissions() {
    const QString file = fileName();
    if (QFileInfo(file).isFile())
        QFile::setPermissions(file, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}

bool SettingsStore::writtenFileMatches() const {
    if (!QFileInfo(fileName()).isFile())
        return false;
    // QSettings shares one parsed copy per file name, so the file is read back under a name of
    // its own (a hard link) to see what is really on disk.
    static std::atomic<int> counter{0};
    const QString checkName = fileName() + QStringLiteral(".check-%1-%2")
                                               .arg(QCoreApplication::applicationPid())
                                               .arg(counter.fetch_add(1));
    const QByteArray check = QFile::encodeName(checkName);
    if (::link(QFile::encodeName(fileName()).constData(), check.constData()) != 0)
        return m_settings->status() == QSettings::NoError; // no hard links here: trust the writer
    const bool same = [&] {
        const QSettings written(checkName, QSettings::IniFormat);
        if (written.status() != QSettings::NoError)
            return false;
        QStringList expected = m_settings->allKeys();
        QStringList found = written.allKeys();
        if (expected.size() != found.size())
            return false;
        expected.sort();
        found.sort();
        if (expected != found)
            return false;
        for (const QString& key : expected) {
            const QVariant mine = m_settings->value(key);
            const QVariant disk = written.value(key);
            const bool binary =
                mine.typeId() == QMetaType::QByteArray || disk.typeId() == QMetaType::QByteArray;
            if (binary ? mine.toByteArray() != disk.toByteArray()
                       : mine.toString() != disk.toString())
                return false;
        }
        return true;
    }();
    ::unlink(check.constData());
    return same;
}

bool SettingsStore::Sync() {
    const QString file = fileName();
    const QFileInfo info(file);
    if (!info.exists()) {
        // Create the file empty with owner-only rights first: the atomic save keeps them.
        QDir().mkpath(info.absolutePath());
        QFile f(file);
        if (f.open(QIODevice::WriteOnly, QFileDevice::ReadOwner | QFileDevice::WriteOwner))
            f.close();
    }
    restrictPermissions();

    // QSettings replaces the file through a temporary file, but it commits that file even when
    // writing it failed half-way (disk full, quota). So the old file is kept under a second
    // name (a hard link: no copy, no space needed) until the new one has been read back and
    // found whole; otherwise the old one is put back.
    const QByteArray target = QFile::encodeName(file);
    const QByteArray backup = QFile::encodeName(file + QStringLiteral(".previous"));
    ::unlink(backup.constData());
    const bool haveBackup = ::link(target.constData(), backup.constData()) == 0;

    m_settings->sync();
    const bool ok = writtenFileMatches();
    if (haveBackup) {
        // When nothing was written both names are one file and the rename does nothing.
        if (!ok)
            std::rename(backup.constData(), target.constData());
        ::unlink(backup.constData());
    }
    restrictPermissions();
    return ok;
}

} // namespace tw

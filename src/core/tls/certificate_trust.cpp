#include "core/tls/certificate_trust.h"

#include "core/settings/settings_store.h"
#include "ftp/tls_types.h"

namespace tw {

namespace {

const QString kCertificates = QStringLiteral("Certificates");
constexpr int kFingerprintChars = 95; // 32 bytes as "AB:" less the last colon

} // namespace

CertificateTrust::CertificateTrust(SettingsStore* store) : m_store(store) {}

QString CertificateTrust::Key(const QString& host, int port) {
    QString h = host.trimmed().toLower();
    if (h.startsWith(u'[') && h.endsWith(u']'))
        h = h.mid(1, h.size() - 2);
    if (h.isEmpty() || h.contains(u'/') || h.contains(u'\\') || port <= 0 || port > 65535)
        return {};
    if (h.contains(u':'))
        h = u'[' + h + u']';
    return h + u':' + QString::number(port);
}

std::optional<std::string> CertificateTrust::remembered(const QString& host, int port) const {
    const QString key = Key(host, port);
    if (key.isEmpty())
        return std::nullopt;
    std::lock_guard lock(m_mutex);
    if (!m_store) {
        const auto it = m_memory.find(key);
        return it == m_memory.end() ? std::nullopt : std::optional(it->second);
    }
    if (!m_store->ValueExists(kCertificates, key))
        return std::nullopt;
    return ftp::NormalizeFingerprint(
        m_store->ReadSettingString(kCertificates, key, QString(), kFingerprintChars).toStdString());
}

bool CertificateTrust::remember(const QString& host, int port, const std::string& fingerprint) {
    const QString key = Key(host, port);
    const std::optional<std::string> fp = ftp::NormalizeFingerprint(fingerprint);
    if (key.isEmpty() || !fp)
        return false;
    std::lock_guard lock(m_mutex);
    if (!m_store) {
        m_memory[key] = *fp;
        return true;
    }
    m_store->WriteSettingString(kCertificates, key, QString::fromStdString(*fp));
    return m_store->Sync();
}

void CertificateTrust::forget(const QString& host, int port) {
    const QString key = Key(host, port);
    if (key.isEmpty())
        return;
    std::lock_guard lock(m_mutex);
    m_once.erase(key);
    if (!m_store) {
        m_memory.erase(key);
        return;
    }
    m_store->DeleteSettingsKey(kCertificates + u'\\' + key);
    m_store->Sync();
}

void CertificateTrust::trustOnce(const QString& host, int port, const std::string& fingerprint) {
    const QString key = Key(host, port);
    const std::optional<std::string> fp = ftp::NormalizeFingerprint(fingerprint);
    if (key.isEmpty() || !fp)
        return;
    std::lock_guard lock(m_mutex);
    m_once[key].insert(*fp);
}

std::vector<std::string> CertificateTrust::trustedOnce(const QString& host, int port) const {
    std::lock_guard lock(m_mutex);
    const auto it = m_once.find(Key(host, port));
    if (it == m_once.end())
        return {};
    return {it->second.begin(), it->second.end()};
}

} // namespace tw

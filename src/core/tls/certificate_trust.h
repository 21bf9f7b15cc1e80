#pragma once

#include <QString>

#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace tw {

class SettingsStore;

// The server certificates the user chose to trust, by SHA-256 fingerprint ("AB:CD:..") per host
// and port. "Always" is remembered in the settings (key "Certificates", one value per
// "host:port"); "once" lasts while the program runs. Without a settings store (tests, the demo)
// remembered fingerprints live in memory too. Safe to call from any thread, but the settings
// store itself belongs to the UI thread: callers remember and forget there.
class CertificateTrust {
public:
    explicit CertificateTrust(SettingsStore* store = nullptr);

    // The settings value name of a server: the host in lower case ("[...]" around an IPv6
    // address), ':', the port. Empty for a host that cannot be a value name (none, or one
    // with '/' or '\').
    static QString Key(const QString& host, int port);

    // The fingerprint remembered for the server, normalized; nullopt when none is (or the
    // stored text is no fingerprint).
    std::optional<std::string> remembered(const QString& host, int port) const;
    // Remembers `fingerprint` for the server, replacing the one before, and saves the settings.
    // False when the fingerprint or the host is not usable or the settings cannot be written.
    bool remember(const QString& host, int port, const std::string& fingerprint);
    void forget(const QString& host, int port);

    // Trusts `fingerprint` for the server until the program ends.
    void trustOnce(const QString& host, int port, const std::string& fingerprint);
    // The fingerprints trusted once for the server.
    std::vector<std::string> trustedOnce(const QString& host, int port) const;

private:
    SettingsStore* m_store;
    mutable std::mutex m_mutex;
    std::map<QString, std::string> m_memory; // remembered, when there is no store
    std::map<QString, std::set<std::string>> m_once;
};

} // namespace tw

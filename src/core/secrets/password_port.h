#pragma once

#include <QString>

#include <cstdint>
#include <optional>

namespace tw {

// Where saved passwords and key passphrases are kept (Options "Passwords\Store").
enum class PasswordStoreChoice : std::uint32_t {
    NotChosen = 0,      // the desktop keyring when there is one; asked when there is none
    Keyring = 1,        // the desktop's Secret Service
    MasterPassword = 2, // the program's own file, encrypted with a key from a master password
    DoNotSave = 3,      // nothing is kept between runs; a missing password is asked at connect
};

// The answer to "there is no keyring: what now?".
enum class StoreFallback { MasterPassword, DoNotSave, Cancel };

struct StoreFallbackRequest {
    QString reason;  // why the keyring cannot be used (the Secret Service's own words)
    int waiting = 0; // passwords that are waiting to be kept
};

struct MasterPasswordRequest {
    enum class Mode { Create, Unlock };
    Mode mode = Mode::Unlock;
    int attempt = 1;    // 1 to kMasterPasswordAttempts
    bool wrong = false; // the previous try was wrong
};

inline constexpr int kMasterPasswordAttempts = 3;

// A password the store could not give, asked at connect.
struct PasswordRequest {
    QString account; // the account's name
    QString user;
    QString host;
    QString reason; // why it is asked (empty: no password is kept for this account)
    bool offerSave = true;
};

struct PasswordAnswer {
    QString password;
    bool save = false;
};

enum class ExportPasswordsAnswer { WithPasswords, WithoutPasswords, Cancel };

// The questions of the password store. Any method may be called from a worker thread; each
// blocks its caller until the UI thread has answered.
class PasswordPort {
public:
    virtual ~PasswordPort() = default;
    virtual StoreFallback chooseFallback(const StoreFallbackRequest&) = 0;
    // The master password, or nothing when cancelled. Create asks for it twice and returns
    // it only when both agree.
    virtual std::optional<QString> askMasterPassword(const MasterPasswordRequest&) = 0;
    virtual std::optional<PasswordAnswer> askPassword(const PasswordRequest&) = 0;
    // `count` accounts hold a password that would be written into the file in plain text.
    virtual ExportPasswordsAnswer askExportPasswords(int count) = 0;
};

} // namespace tw

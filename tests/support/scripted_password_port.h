#pragma once

#include "core/secrets/password_port.h"

#include <deque>
#include <mutex>
#include <optional>
#include <vector>

namespace tw::test {

// The password store's questions answered from a script, recorded.
class ScriptedPasswordPort final : public PasswordPort {
public:
    StoreFallback fallback = StoreFallback::Cancel;
    std::deque<std::optional<QString>> masters; // Create and Unlock answers, in order
    std::optional<PasswordAnswer> password;
    ExportPasswordsAnswer exportAnswer = ExportPasswordsAnswer::WithPasswords;
    std::vector<StoreFallbackRequest> fallbacks;
    std::vector<MasterPasswordRequest> masterRequests;
    std::vector<PasswordRequest> passwordRequests;

    StoreFallback chooseFallback(const StoreFallbackRequest& r) override {
        const std::lock_guard lock(m_mutex);
        fallbacks.push_back(r);
        return fallback;
    }
    std::optional<QString> askMasterPassword(const MasterPasswordRequest& r) override {
        const std::lock_guard lock(m_mutex);
        masterRequests.push_back(r);
        if (masters.empty())
            return std::nullopt;
        std::optional<QString> answer = masters.front();
        masters.pop_front();
        return answer;
    }
    std::optional<PasswordAnswer> askPassword(const PasswordRequest& r) override {
        const std::lock_guard lock(m_mutex);
        passwordRequests.push_back(r);
        return password;
    }
    ExportPasswordsAnswer askExportPasswords(int) override { return exportAnswer; }

private:
    std::mutex m_mutex;
};

} // namespace tw::test

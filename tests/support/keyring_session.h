#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <sys/types.h>

namespace tw::test {

// A D-Bus session bus of the test's own (dbus-daemon on a socket in a temporary folder) with a
// gnome-keyring-daemon serving the Secret Service on it, its login keyring created and unlocked
// with kPassword. The test process's DBUS_SESSION_BUS_ADDRESS, HOME and XDG folders point into
// the temporary folder while the session lives, so nothing reaches the user's own bus or
// keyring: start it before the process makes its first D-Bus connection. GLib keeps that
// connection for the whole process, so there is one session per process: a second start() is
// refused with a reason (ctest runs each case in a process of its own).
// Every process runs in a process group of its own, ended with the session.
class KeyringSession {
public:
    static constexpr const char* kPassword = "keyring-secret";
    static constexpr const char* kLoginCollection = "/org/freedesktop/secrets/collection/login";

    // Null, with the reason in `why`, when the bus or the keyring cannot run here.
    static std::unique_ptr<KeyringSession> start(std::string& why);
    ~KeyringSession();
    KeyringSession(const KeyringSession&) = delete;
    KeyringSession& operator=(const KeyringSession&) = delete;

    const std::string& busAddress() const { return m_address; }
    const std::filesystem::path& folder() const { return m_dir; }

    // Locks the login collection through the service's Lock method. There is no prompter on
    // this bus, so the service cannot unlock it again: it stays locked.
    bool lock(std::string& why) const;
    // Ends the keyring daemon (the service disappears from the bus, which stays).
    void stop();
    // Stops the daemon's process (SIGSTOP) so that calls to the service wait for an answer,
    // and lets it go on (SIGCONT).
    void freeze() const;
    void thaw() const;
    // Starts the daemon again on the same keyring files, unlocked.
    bool restart(std::string& why);

    // Runs a program (secret-tool, dbus-send) on this session; its standard output (and its
    // error output after it with `withErrors`: secret-tool search prints attributes there), or
    // nullopt when it could not run or exited with a failure.
    std::optional<std::string> run(const std::vector<std::string>& argv,
                                   bool withErrors = false) const;

private:
    KeyringSession() = default;
    bool startKeyring(std::string& why);
    bool serviceOnBus() const;

    std::filesystem::path m_dir;
    std::string m_address;
    pid_t m_bus = -1;
    pid_t m_keyring = -1;
    std::vector<std::pair<std::string, std::optional<std::string>>> m_savedEnvironment;
};

} // namespace tw::test

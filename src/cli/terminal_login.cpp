#include "cli/terminal_login.h"

#include "ftp/display_text.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <map>
#include <memory>
#include <mutex>
#include <termios.h>
#include <unistd.h>

namespace tw::cli {

namespace {

// Overwrites a secret before its memory is released (a plain assignment may be optimised away).
void wipe(std::string& secret) {
    volatile char* p = secret.data();
    for (std::size_t i = 0; i < secret.size(); ++i)
        p[i] = 0;
    secret.clear();
}

class PassphraseCache {
public:
    ~PassphraseCache() {
        for (auto& [file, secret] : m_answers)
            wipe(secret);
    }
    std::optional<std::string> get(const std::string& keyFile) {
        std::lock_guard lock(m_mutex);
        if (const auto known = m_answers.find(keyFile); known != m_answers.end())
            return known->second;
        std::optional<std::string> answer;
        if (const char* env = std::getenv("TARNWICK_FTP_PASSPHRASE"))
            answer = std::string(env);
        else
            answer = ReadHiddenLine("Passphrase for key " + tw::ftp::DisplayText(keyFile) + ": ");
        if (answer)
            m_answers[keyFile] = *answer;
        return answer;
    }

private:
    std::mutex m_mutex; // the queue's connections log in on threads of their own
    std::map<std::string, std::string> m_answers;
};

std::string hostName(const tw::ftp::HostKeyInfo& key) {
    const std::string host = tw::ftp::DisplayText(key.host);
    return key.port == tw::ftp::kSftpPort ? host : "[" + host + "]:" + std::to_string(key.port);
}

// A word for the shell: single quotes unless the text is plain.
std::string shellWord(const std::string& text) {
    bool plain = !text.empty();
    for (const char c : text)
        plain = plain && (std::isalnum(static_cast<unsigned char>(c)) || c == '/' || c == '.' ||
                          c == '_' || c == '-' || c == ':' || c == '[' || c == ']');
    if (plain)
        return text;
    std::string out = "'";
    for (const char c : text)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

} // namespace

std::optional<std::string> ReadHiddenLine(const std::string& prompt) {
    const int tty = ::open("/dev/tty", O_RDWR | O_CLOEXEC);
    if (tty < 0)
        return std::nullopt;
    [[maybe_unused]] auto w = ::write(tty, prompt.data(), prompt.size());
    termios old{};
    const bool haveTerm = ::tcgetattr(tty, &old) == 0;
    if (haveTerm) {
        termios quiet = old;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        ::tcsetattr(tty, TCSAFLUSH, &quiet);
    }
    std::string line;
    char c = 0;
    while (::read(tty, &c, 1) == 1 && c != '\n' && c != '\r' && line.size() < 4096)
        line += c;
    if (haveTerm)
        ::tcsetattr(tty, TCSAFLUSH, &old);
    w = ::write(tty, "\n", 1);
    ::close(tty);
    return line;
}

std::function<std::optional<std::string>(const std::string&)> PassphraseSource() {
    auto cache = std::make_shared<PassphraseCache>();
    return [cache](const std::string& keyFile) { return cache->get(keyFile); };
}

void PrintRejectedHostKey(const tw::ftp::HostKeyInfo& key) {
    const std::string host = hostName(key);
    const std::string file = tw::ftp::DisplayText(key.knownHostsFile);
    const std::string type = tw::ftp::DisplayText(key.type);
    if (key.changed) {
        std::fprintf(stderr,
                     "@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@\n"
                     "@    WARNING: REMOTE HOST IDENTIFICATION HAS CHANGED!     @\n"
                     "@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@\n"
                     "The host key of %s is not the one known_hosts holds for it. Someone may be\n"
                     "intercepting the connection (a man-in-the-middle attack), or the server's\n"
                     "key was replaced. The connection was refused.\n"
                     "  offered key:  %s %s\n"
                     "  known key:    %s\n"
                     "  known_hosts:  %s\n"
                     "If you know the server's key was replaced, remove the old one with\n"
                     "  ssh-keygen -R %s -f %s\n"
                     "and connect again (--accept-new-host-key then adds the new one).\n",
                     host.c_str(), type.c_str(), key.fingerprint.c_str(),
                     key.knownFingerprint.empty() ? "-" : key.knownFingerprint.c_str(),
                     file.c_str(), shellWord(host).c_str(), shellWord(file).c_str());
        return;
    }
    std::fprintf(stderr,
                 "The host key of %s is not known (known_hosts: %s).\n"
                 "  key type:     %s\n"
                 "  fingerprint:  %s\n"
                 "If this is the server's key, connect again with --accept-new-host-key to\n"
                 "accept it and add it to the known_hosts file.\n",
                 host.c_str(), file.c_str(), type.c_str(), key.fingerprint.c_str());
}

} // namespace tw::cli

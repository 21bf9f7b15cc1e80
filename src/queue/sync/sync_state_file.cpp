// The last synchronisation's state of one folder pair on disk: a text file, one line per file
//
//   tarnwick-sync-state 1
//   <path>\t<size>\t<local time>\t<remote time>
//   ...
//   end <number of files>
//
// with '\\', TAB, LF and CR in a path written as "\\\\", "\\t", "\\n" and "\\r", so any byte
// of a name survives. The closing line tells a cut file from a complete one.

#include "queue/sync/sync_run.h"

#include "queue/queue_paths.h"

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace tw::queue::sync {

namespace {

constexpr std::string_view kHeader = "tarnwick-sync-state 1";
constexpr std::string_view kEnd = "end ";
// Bounds of what a state file may hold: far beyond any real tree, short of exhausting memory.
constexpr std::uint64_t kMaxFileBytes = std::uint64_t(256) << 20;
constexpr std::size_t kMaxLineBytes = 64 * 1024;

std::uint64_t fnv1a(std::uint64_t h, std::string_view bytes) {
    for (const char c : bytes)
        h = (h ^ static_cast<unsigned char>(c)) * 1099511628211ULL;
    return h;
}

void escapeInto(std::string& out, std::string_view path) {
    for (const char c : path) {
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        default:
            out += c;
        }
    }
}

bool unescape(std::string_view text, std::string& out) {
    out.clear();
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            out += text[i];
            continue;
        }
        if (++i == text.size())
            return false;
        switch (text[i]) {
        case '\\':
            out += '\\';
            break;
        case 't':
            out += '\t';
            break;
        case 'n':
            out += '\n';
            break;
        case 'r':
            out += '\r';
            break;
        default:
            return false;
        }
    }
    return true;
}

template <typename Number>
bool number(std::string_view text, Number& value) {
    const char* end = text.data() + text.size();
    const auto [at, ec] = std::from_chars(text.data(), end, value);
    return ec == std::errc() && at == end && !text.empty();
}

// One line "path\tsize\tlocal\tremote".
bool parseEntry(std::string_view line, std::string& path, SyncedFile& file) {
    std::string_view fields[4];
    for (int i = 0; i < 3; ++i) {
        const auto tab = line.find('\t');
        if (tab == std::string_view::npos)
            return false;
        fields[i] = line.substr(0, tab);
        line.remove_prefix(tab + 1);
    }
    fields[3] = line;
    return unescape(fields[0], path) && !path.empty() && number(fields[1], file.size) &&
           number(fields[2], file.localTime) && number(fields[3], file.remoteTime);
}

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

} // namespace

std::string SyncStatePath(const std::string& folder, const std::string& account,
                          const std::string& localRoot, const std::string& remoteRoot) {
    // NUL between the parts, so that no two triples give the same bytes.
    std::uint64_t h = 1469598103934665603ULL;
    h = fnv1a(h, account);
    h = fnv1a(h, std::string_view("\0", 1));
    h = fnv1a(h, localRoot);
    h = fnv1a(h, std::string_view("\0", 1));
    h = fnv1a(h, remoteRoot);
    char name[32];
    std::snprintf(name, sizeof name, "%016llx.sync", static_cast<unsigned long long>(h));
    return JoinPath(folder, name);
}

bool LoadSyncState(const std::string& file, SyncState& state, std::string& error) {
    state.clear();
    error.clear();
    std::unique_ptr<std::FILE, FileCloser> in(std::fopen(file.c_str(), "rbe"));
    if (!in) {
        if (errno == ENOENT)
            return true;
        error = "cannot open " + file + ": " + std::strerror(errno);
        return false;
    }
    struct stat st {};
    if (::fstat(::fileno(in.get()), &st) != 0 || !S_ISREG(st.st_mode) ||
        std::uint64_t(st.st_size) > kMaxFileBytes) {
        error = file + " is not a state file of a usable size";
        return false;
    }
    const auto damaged = [&](std::size_t line, const char* why) {
        state.clear();
        error = file + ", line " + std::to_string(line) + ": " + why;
        return false;
    };
    std::string line;
    std::string path;
    std::size_t lineNumber = 0;
    bool ended = false;
    std::uint64_t told = 0;
    int c = 0;
    for (;;) {
        line.clear();
        while ((c = getc_unlocked(in.get())) != EOF && c != '\n') {
            if (line.size() >= kMaxLineBytes)
                return damaged(lineNumber + 1, "a line is too long");
            line += char(c);
        }
        if (c == EOF && line.empty())
            break;
        ++lineNumber;
        if (c == EOF)
            return damaged(lineNumber, "the last line is cut short");
        if (ended)
            return damaged(lineNumber, "text after the end");
        if (lineNumber == 1) {
            if (line != kHeader)
                return damaged(lineNumber, "not a synchronisation state");
            continue;
        }
        if (line.rfind(kEnd, 0) == 0) {
            if (!number(std::string_view(line).substr(kEnd.size()), told))
                return damaged(lineNumber, "an unreadable end");
            ended = true;
            continue;
        }
        SyncedFile entry;
        if (!parseEntry(line, path, entry))
            return damaged(lineNumber, "an unreadable entry");
        if (!state.emplace(path, entry).second)
            return damaged(lineNumber, "a path listed twice");
    }
    if (std::ferror(in.get()))
        return damaged(lineNumber, std::strerror(errno));
    if (lineNumber == 0)
        return damaged(1, "the file is empty");
    if (!ended)
        return damaged(lineNumber, "the file is cut short");
    if (told != state.size())
        return damaged(lineNumber, "the number of files does not match");
    return true;
}

bool SaveSyncState(const std::string& file, const SyncState& state, std::string& error) {
    error.clear();
    const std::string folder = ParentPath(file);
    std::error_code ec;
    if (!folder.empty())
        std::filesystem::create_directories(folder, ec);
    std::string temp = file + ".XXXXXX";
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC); // mode 0600
    if (fd < 0) {
        error = "cannot write " + file + ": " + std::strerror(errno);
        return false;
    }
    std::string text;
    text.reserve(64 + state.size() * 64);
    text += kHeader;
    text += '\n';
    for (const auto& [path, f] : state) {
        escapeInto(text, path);
        text += '\t' + std::to_string(f.size) + '\t' + std::to_string(f.localTime) + '\t' +
                std::to_string(f.remoteTime) + '\n';
    }
    text += std::string(kEnd) + std::to_string(state.size()) + '\n';
    std::size_t written = 0;
    while (written < text.size()) {
        const ssize_t n = ::write(fd, text.data() + written, text.size() - written);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        written += std::size_t(n);
    }
    const int saved = errno;
    const bool ok = written == text.size() && ::fsync(fd) == 0;
    ::close(fd);
    if (!ok || ::rename(temp.c_str(), file.c_str()) != 0) {
        error = "cannot write " + file + ": " + std::strerror(ok ? errno : saved);
        ::unlink(temp.c_str());
        return false;
    }
    return true;
}

} // namespace tw::queue::sync

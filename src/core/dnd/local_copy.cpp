#include "core/dnd/local_copy.h"

#include <cerrno>
#include <filesystem>
#include <system_error>

namespace tw {

namespace fs = std::filesystem;

namespace {

fs::path toPath(const QByteArray& bytes) {
    return fs::path(std::string(bytes.constData(), std::size_t(bytes.size())));
}

QByteArray toBytes(const fs::path& path) {
    const std::string& s = path.native();
    return QByteArray(s.data(), qsizetype(s.size()));
}

class Copier {
public:
    Copier(const std::atomic<bool>& stop, LocalCopyOutcome& out) : m_stop(stop), m_out(out) {}

    void copy(const fs::path& source, const fs::path& destination) {
        if (m_stop) {
            m_out.stopped = true;
            return;
        }
        std::error_code ec;
        const fs::file_status status = fs::symlink_status(source, ec);
        if (ec)
            return fail(source, ec);
        if (fs::is_directory(status))
            return copyFolder(source, destination);
        if (fs::exists(fs::symlink_status(destination, ec))) {
            m_out.existing.push_back(toBytes(destination));
            return;
        }
        if (fs::is_symlink(status)) {
            fs::copy_symlink(source, destination, ec);
        } else if (fs::is_regular_file(status)) {
            fs::copy_file(source, destination, fs::copy_options::none, ec);
            if (!ec) {
                const auto time = fs::last_write_time(source, ec);
                if (!ec)
                    fs::last_write_time(destination, time, ec);
                ec.clear(); // a date that cannot be set does not undo the copy
            } else if (ec != std::errc::file_exists) {
                std::error_code ignored;
                fs::remove(destination, ignored);
            }
        } else {
            ec = std::make_error_code(std::errc::operation_not_supported); // a device, a pipe
        }
        if (ec == std::errc::file_exists) {
            m_out.existing.push_back(toBytes(destination));
            return;
        }
        if (ec)
            return fail(source, ec);
        ++m_out.copied;
    }

private:
    void copyFolder(const fs::path& source, const fs::path& destination) {
        std::error_code ec;
        const fs::file_status there = fs::symlink_status(destination, ec);
        if (fs::exists(there) && !fs::is_directory(there)) {
            m_out.existing.push_back(toBytes(destination));
            return;
        }
        if (!fs::exists(there)) {
            fs::create_directory(destination, source, ec);
            if (ec)
                return fail(source, ec);
        }
        fs::directory_iterator it(source, ec);
        if (ec)
            return fail(source, ec);
        for (const fs::directory_entry& entry : it) {
            copy(entry.path(), destination / entry.path().filename());
            if (m_out.stopped)
                return;
        }
    }

    void fail(const fs::path& source, const std::error_code& ec) {
        m_out.failed.push_back({toBytes(source), ec.value()});
    }

    const std::atomic<bool>& m_stop;
    LocalCopyOutcome& m_out;
};

// The absolute, normalised form of a path with its links resolved where it exists.
fs::path canonicalOrSelf(const fs::path& path) {
    std::error_code ec;
    fs::path out = fs::weakly_canonical(path, ec);
    return ec ? path.lexically_normal() : out;
}

} // namespace

std::optional<QByteArray> FolderIntoItself(const std::vector<QByteArray>& sources,
                                           const QByteArray& folder) {
    const fs::path target = canonicalOrSelf(toPath(folder));
    for (const QByteArray& source : sources) {
        std::error_code ec;
        if (!fs::is_directory(fs::symlink_status(toPath(source), ec)))
            continue;
        const fs::path from = canonicalOrSelf(toPath(source));
        // `target` is `from` or lies below it.
        auto a = from.begin();
        auto b = target.begin();
        for (; a != from.end() && b != target.end() && *a == *b; ++a, ++b) {
        }
        if (a == from.end() || (std::next(a) == from.end() && a->empty()))
            return source;
    }
    return std::nullopt;
}

LocalCopyOutcome CopyIntoFolder(const std::vector<QByteArray>& sources, const QByteArray& folder,
                                const std::atomic<bool>& stop) {
    LocalCopyOutcome out;
    Copier copier(stop, out);
    const fs::path into = toPath(folder);
    for (const QByteArray& source : sources) {
        const fs::path from = toPath(source);
        copier.copy(from, into / from.filename());
        if (out.stopped)
            break;
    }
    return out;
}

LocalCopyJob::~LocalCopyJob() {
    stop();
    wait();
}

bool LocalCopyJob::start(std::vector<QByteArray> sources, QByteArray folder,
                         std::function<void(LocalCopyOutcome)> done) {
    if (m_running)
        return false;
    wait();
    m_stop = false;
    m_running = true;
    m_thread = std::thread(
        [this, sources = std::move(sources), folder = std::move(folder), done = std::move(done)] {
            LocalCopyOutcome outcome = CopyIntoFolder(sources, folder, m_stop);
            m_running = false;
            done(std::move(outcome));
        });
    return true;
}

void LocalCopyJob::wait() {
    if (m_thread.joinable())
        m_thread.join();
}

} // namespace tw

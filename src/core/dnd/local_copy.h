#pragma once

#include <QByteArray>

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <thread>
#include <vector>

namespace tw {

// What a copy into a local folder did.
struct LocalCopyOutcome {
    struct Failure {
        QByteArray path; // the source
        int error = 0;   // errno
    };
    std::int64_t copied = 0;          // files (and links) copied
    std::vector<QByteArray> existing; // destination names that were there already: not copied
    std::vector<Failure> failed;
    bool stopped = false;
};

// The first source that is the folder itself or one of the folders above it (a folder cannot
// go into itself), or nothing.
std::optional<QByteArray> FolderIntoItself(const std::vector<QByteArray>& sources,
                                           const QByteArray& folder);

// Copies files and folders (with everything in them) into `folder`. A name that exists is
// never replaced: a file is reported as existing, a folder is merged into. Links are copied
// as links, never followed. Each file keeps its modification time and permissions. A file
// cut short is removed. `stop` is checked between files.
LocalCopyOutcome CopyIntoFolder(const std::vector<QByteArray>& sources, const QByteArray& folder,
                                const std::atomic<bool>& stop);

// One copy at a time on a thread of its own; `done` is called on that thread at its end.
// Destroying the job stops the copy and waits for the thread.
class LocalCopyJob {
public:
    LocalCopyJob() = default;
    LocalCopyJob(const LocalCopyJob&) = delete;
    LocalCopyJob& operator=(const LocalCopyJob&) = delete;
    ~LocalCopyJob();

    // False while a copy runs.
    bool start(std::vector<QByteArray> sources, QByteArray folder,
               std::function<void(LocalCopyOutcome)> done);
    bool running() const { return m_running; }
    void stop() { m_stop = true; }
    void wait();

private:
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_running{false};
};

} // namespace tw

#pragma once

#include <string>

namespace tw::ftp {

// The local file a download writes: an unnamed file in the destination's folder that takes the
// destination's name only in commit(), replacing an earlier file of that name in one step.
// Until then, and when it is dropped, the destination is untouched, and a killed run leaves
// nothing that could be taken for the file.
//
// The unnamed file gets a name through /proc/self/fd. Where it cannot (no unnamed files on the
// file system, /proc not mounted, linking refused), a hidden ".tw-part-*" file beside the
// destination is used instead: a commit whose link step fails copies the unnamed file into
// one, and every later open() of the process starts with a named file at once.
class ReplacingFile {
public:
    // Gives the open unnamed file `fd` the name `path`: 0 or an errno value.
    using LinkFunction = int (*)(int fd, const char* path);

    ReplacingFile() = default;
    ~ReplacingFile() { discard(); }
    ReplacingFile(const ReplacingFile&) = delete;
    ReplacingFile& operator=(const ReplacingFile&) = delete;

    // Creates the file that will become `destination`; 0 or an errno value. A replaced file's
    // permission bits are kept.
    int open(const std::string& destination);
    int fd() const { return m_fd; }
    // 0 or an errno value (the file is then dropped).
    int commit();
    void discard();

    // Replaces the link step (tests: one that fails as without /proc); nullptr restores it.
    // Either way the process tries unnamed files again.
    static void setLinkFunction(LinkFunction function);

private:
    std::string tempName(int attempt) const;
    int createNamed();
    int linkUnnamed();
    int copyToNamed();

    std::string m_folder;
    std::string m_destination;
    std::string m_tempName; // the name the file has until commit(), when it has one
    int m_fd = -1;
};

} // namespace tw::ftp

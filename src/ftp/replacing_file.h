#pragma once

#include <string>

namespace tw::ftp {

// The local file a download writes: an unnamed file in the destination's folder (a hidden
// ".tw-part-*" file where the file system has no unnamed files) that takes the destination's
// name only in commit(), replacing an earlier file of that name in one step. Until then, and
// when it is dropped, the destination is untouched, and a killed run leaves nothing that could
// be taken for the file.
class ReplacingFile {
public:
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

private:
    std::string tempName(int attempt) const;
    int createNamed();

    std::string m_folder;
    std::string m_destination;
    std::string m_tempName; // the name the file has until commit(), when it has one
    int m_fd = -1;
};

} // namespace tw::ftp

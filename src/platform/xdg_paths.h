#pragma once

#include <QString>

namespace tw::platform {

// The folders the program keeps its files in (XDG base directories).
struct XdgPaths {
    // The program's data folder (transfer log, its HTML page), created on demand.
    static QString dataFolder();
    // The user's documents folder (default place of the account export file).
    static QString documentsFolder();
    // The user's home folder.
    static QString homeFolder();
};

} // namespace tw::platform

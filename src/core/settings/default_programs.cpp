#include "core/settings/default_programs.h"

#include <QStandardPaths>

namespace tw {

QString DefaultOpenProgram() {
    const char* const candidates[] = {"xdg-open", "kde-open", "kde-open5", "exo-open",
                                      "gnome-open"};
    for (const char* name : candidates) {
        const QString program = QString::fromLatin1(name);
        if (!QStandardPaths::findExecutable(program).isEmpty())
            return program;
    }
    return QStringLiteral("xdg-open");
}

std::vector<FileTypeAssociation> DefaultFileTypes(const QString& program) {
    const char* const extensions[] = {".doc", ".gif", ".htm", ".html", ".jpeg",
                                      ".jpg", ".log", ".twx", ".reg",  ".txt"};
    std::vector<FileTypeAssociation> rows;
    for (const char* ext : extensions)
        rows.push_back({QString::fromLatin1(ext), program});
    return rows;
}

} // namespace tw

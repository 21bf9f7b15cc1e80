#pragma once

#include <QString>
#include <QStringList>

namespace tw {

enum class UploadAnswer { Yes, No, Always };
enum class EditExitAnswer { Upload, Discard, Cancel };

// The questions of editing remote files in place and the list of edited files. Called on the
// user-interface thread only.
class EditPort {
public:
    virtual ~EditPort() = default;
    // A saved copy differs from what the server has: upload it? ("Always for this file"
    // uploads this file's later saves without asking.)
    virtual UploadAnswer askUpload(const QString& name, const QString& remotePath) = 0;
    // At exit: these edited files have changes that were not uploaded.
    virtual EditExitAnswer askExit(const QStringList& names) = 0;
    // The edited files or their states changed: a list that shows them follows.
    virtual void editsChanged() = 0;
};

} // namespace tw

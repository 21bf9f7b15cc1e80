#include "core/edit/copy_stamp.h"

#include <QCryptographicHash>
#include <QFile>

#include <sys/stat.h>

namespace tw {

QByteArray FileSha256(const QByteArray& path) {
    QFile file(QFile::decodeName(path));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!hash.addData(&file))
        return {};
    return hash.result();
}

CopyStamp ReadCopyStamp(const QByteArray& path, const CopyStamp& previous) {
    CopyStamp stamp;
    struct stat st {};
    if (::stat(path.constData(), &st) != 0 || !S_ISREG(st.st_mode))
        return stamp;
    stamp.exists = true;
    stamp.inode = std::uint64_t(st.st_ino);
    stamp.size = std::int64_t(st.st_size);
    stamp.modifiedNs = std::int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    stamp.sha256 = stamp.sameMetadata(previous) && !previous.sha256.isEmpty() ? previous.sha256
                                                                              : FileSha256(path);
    return stamp;
}

} // namespace tw

#include "core/panes/local_paths.h"

#include <QFile>

#include <cerrno>
#include <climits>
#include <unistd.h>
#include <vector>

namespace tw {

QString JoinLocalPath(const QString& folder, const QString& name) {
    if (folder.endsWith(u'/'))
        return folder + name;
    return folder + u'/' + name;
}

QByteArray JoinLocalPath(const QByteArray& folder, const QByteArray& name) {
    if (folder.endsWith('/'))
        return folder + name;
    return folder + '/' + name;
}

QByteArray LocalPathBytes(const PaneState& pane) {
    if (!pane.rawPath.isEmpty() && QFile::decodeName(pane.rawPath) == pane.path)
        return pane.rawPath;
    return QFile::encodeName(pane.path);
}

QByteArray EntryNameBytes(const FileEntry& entry) {
    if (!entry.findData.rawName.empty())
        return QByteArray(entry.findData.rawName.data(), qsizetype(entry.findData.rawName.size()));
    return QFile::encodeName(entry.name);
}

QByteArray LocalEntryBytes(const PaneState& pane, const FileEntry& entry) {
    if (entry.isDrive)
        return EntryNameBytes(entry);
    return JoinLocalPath(LocalPathBytes(pane), EntryNameBytes(entry));
}

void SetLocalPathFromBytes(PaneState& pane, const QByteArray& bytes) {
    pane.path = QFile::decodeName(bytes);
    pane.rawPath =
        DecodesCleanly(bytes.constData(), std::size_t(bytes.size())) ? QByteArray() : bytes;
}

bool DecodesCleanly(const char* bytes, std::size_t length) {
    bool ascii = true;
    for (std::size_t i = 0; i < length && ascii; ++i)
        ascii = static_cast<unsigned char>(bytes[i]) < 0x80;
    if (ascii)
        return true;
    const QByteArray raw = QByteArray::fromRawData(bytes, qsizetype(length));
    return QFile::encodeName(QFile::decodeName(raw)) == raw;
}

QByteArray CurrentFolderBytes() {
    std::vector<char> buffer(PATH_MAX + 1);
    for (;;) {
        if (::getcwd(buffer.data(), buffer.size()))
            return QByteArray(buffer.data());
        if (errno != ERANGE || buffer.size() > (1u << 20))
            return {};
        buffer.resize(buffer.size() * 2);
    }
}

} // namespace tw

#include "core/panes/size_text.h"

#include "ftp/size_text.h"

#include <QLocale>

namespace tw {

QString ReadableSizeText(std::uint64_t bytes) {
    return QString::fromStdString(ftp::ReadableSize(bytes, ftp::SizeUnits::Decimal));
}

QString ExactSizeText(std::uint64_t bytes) {
    return QLocale().toString(qulonglong(bytes)) + (bytes == 1 ? u" byte"_qs : u" bytes"_qs);
}

QString PaneSizeText(const FileEntry& row, bool readable) {
    if (!readable)
        return row.sizeText();
    if (row.isDrive || row.isFolder)
        return {};
    return ReadableSizeText(row.size);
}

QString PaneExactSizeText(const FileEntry& row) {
    if (row.isDrive || row.isFolder)
        return {};
    return ExactSizeText(row.size);
}

} // namespace tw

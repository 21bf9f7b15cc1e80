#include "core/panes/row_filter.h"

#include "ftp/wildcard.h"

#include <string_view>

namespace tw {

RowFilter::RowFilter(const QString& text) : m_text(text.trimmed().toCaseFolded()) {
    m_wildcards = m_text.contains(u'*') || m_text.contains(u'?');
    if (m_wildcards)
        m_pattern = m_text.toUtf8();
}

bool RowFilter::matches(const FileEntry& row) const {
    if (row.isParent || m_text.isEmpty())
        return true;
    if (!m_wildcards)
        return row.name.contains(m_text, Qt::CaseInsensitive);
    // Folded first: the matcher ignores the case of ASCII letters only.
    const QByteArray name = row.name.toCaseFolded().toUtf8();
    return ftp::WildcardMatch(
        std::string_view(m_pattern.constData(), std::size_t(m_pattern.size())),
        std::string_view(name.constData(), std::size_t(name.size())));
}

FilteredRows FilterRows(const std::vector<FileEntry>& rows, const QString& text) {
    const RowFilter filter(text);
    FilteredRows out;
    out.visible.resize(rows.size(), 1);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const bool shown = filter.matches(rows[i]);
        out.visible[i] = shown ? 1 : 0;
        if (shown && !rows[i].isParent)
            ++out.matched;
    }
    out.noMatch = !filter.isEmpty() && out.matched == 0;
    return out;
}

} // namespace tw

#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>

#include <optional>
#include <utility>
#include <vector>

namespace tw {

// A tolerant reader of INI-style text, as a private-profile reader sees it: section and key
// names compare without regard to case, blanks around names and values are ignored, lines may
// end with CR LF, LF or CR (the last one may have no end), lines starting with ';' are comments,
// lines without '=' are ignored. The first section of a name and the first key of a name in it
// win. A value ends at a NUL character. Text is UTF-8 (with or without a byte-order mark),
// UTF-16 with a byte-order mark, or else read as Windows-1252.
class IniReader {
public:
    explicit IniReader(const QByteArray& data);

    bool hasSection(const QString& section) const;
    std::optional<QString> value(const QString& section, const QString& key) const;
    // The last line that is neither empty nor blank (for the end-of-file check).
    QString lastLine() const { return m_lastLine; }

    // Decodes a file's bytes as described above.
    static QString decode(const QByteArray& data);

private:
    struct Section {
        QHash<QString, QString> values; // lower-case key -> value
    };
    std::vector<Section> m_sections;
    QHash<QString, int> m_index; // lower-case name -> first section of that name
    QString m_lastLine;
};

} // namespace tw

#include "core/accounts/ini_reader.h"

#include <QStringDecoder>

#include <array>

namespace tw {

namespace {

// Windows-1252 characters 0x80-0x9F (0 where the code page has none: those keep Latin-1).
constexpr std::array<char16_t, 32> kCp1252High = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

QString fromCp1252(const QByteArray& data) {
    QString text(data.size(), Qt::Uninitialized);
    QChar* out = text.data();
    for (const char c : data) {
        const auto byte = static_cast<unsigned char>(c);
        char16_t unit = byte;
        if (byte >= 0x80 && byte <= 0x9F && kCp1252High[byte - 0x80] != 0)
            unit = kCp1252High[byte - 0x80];
        *out++ = QChar(unit);
    }
    return text;
}

} // namespace

QString IniReader::decode(const QByteArray& data) {
    if (data.startsWith("\xFF\xFE") || data.startsWith("\xFE\xFF")) {
        QStringDecoder decoder(data.startsWith("\xFF\xFE") ? QStringConverter::Utf16LE
                                                           : QStringConverter::Utf16BE,
                               QStringConverter::Flag::ConvertInitialBom);
        return decoder.decode(data.mid(2));
    }
    QByteArray bytes = data;
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes.remove(0, 3);
    QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    QString text = utf8.decode(bytes);
    if (!utf8.hasError())
        return text;
    return fromCp1252(bytes);
}

IniReader::IniReader(const QByteArray& data) {
    const QString text = decode(data);
    int current = -1;
    qsizetype start = 0;
    const qsizetype size = text.size();
    while (start <= size) {
        qsizetype end = start;
        while (end < size && text[end] != u'\n' && text[end] != u'\r')
            ++end;
        QString line = text.mid(start, end - start);
        if (end < size && text[end] == u'\r' && end + 1 < size && text[end + 1] == u'\n')
            ++end;
        start = end + 1;

        const QString trimmed = line.trimmed();
        if (trimmed.isEmpty())
            continue;
        m_lastLine = trimmed;
        if (trimmed.startsWith(u';'))
            continue;
        if (trimmed.startsWith(u'[')) {
            QString name = trimmed.mid(1);
            const qsizetype close = name.indexOf(u']');
            if (close >= 0)
                name.truncate(close);
            name = name.trimmed().toLower();
            const auto found = m_index.constFind(name);
            if (found != m_index.constEnd()) {
                current = found.value();
            } else {
                current = static_cast<int>(m_sections.size());
                m_sections.emplace_back();
                m_index.insert(name, current);
            }
            continue;
        }
        const qsizetype eq = line.indexOf(u'=');
        if (eq < 0 || current < 0)
            continue;
        const QString key = line.left(eq).trimmed().toLower();
        if (key.isEmpty())
            continue;
        QString value = line.mid(eq + 1);
        const qsizetype nul = value.indexOf(QChar(u'\0'));
        if (nul >= 0)
            value.truncate(nul);
        Section& section = m_sections[std::size_t(current)];
        if (!section.values.contains(key))
            section.values.insert(key, value.trimmed());
    }
}

bool IniReader::hasSection(const QString& section) const {
    return m_index.contains(section.trimmed().toLower());
}

std::optional<QString> IniReader::value(const QString& section, const QString& key) const {
    const auto found = m_index.constFind(section.trimmed().toLower());
    if (found == m_index.constEnd())
        return std::nullopt;
    const Section& s = m_sections[std::size_t(found.value())];
    const auto v = s.values.constFind(key.trimmed().toLower());
    if (v == s.values.constEnd())
        return std::nullopt;
    return v.value();
}

} // namespace tw

#include "core/accounts/ini_writer.h"

namespace tw {

namespace {

bool isSectionHeader(const QString& line) {
    return line.trimmed().startsWith(u'[');
}

QString sectionName(const QString& line) {
    QString t = line.trimmed().mid(1);
    const qsizetype close = t.indexOf(u']');
    if (close >= 0)
        t.truncate(close);
    return t.trimmed();
}

QString keyOf(const QString& line) {
    const qsizetype eq = line.indexOf(u'=');
    if (eq < 0)
        return {};
    return line.left(eq).trimmed();
}

QString oneLine(QString value) {
    value.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
    value.replace(u'\r', u' ');
    value.replace(u'\n', u' ');
    return value;
}

} // namespace

void IniWriter::appendLine(const QString& line) {
    const int index = static_cast<int>(m_lines.size());
    m_lines.push_back(line);
    if (isSectionHeader(line)) {
        const QString name = sectionName(line).toLower();
        if (!m_sections.contains(name))
            m_sections.insert(name, index);
    }
}

void IniWriter::appendRaw(const QString& text) {
    QString pending = m_partial + text;
    m_partial.clear();
    qsizetype start = 0;
    for (;;) {
        const qsizetype end = pending.indexOf(u'\n', start);
        if (end < 0)
            break;
        QString line = pending.mid(start, end - start);
        if (line.endsWith(u'\r'))
            line.chop(1);
        appendLine(line);
        start = end + 1;
    }
    m_partial = pending.mid(start);
}

int IniWriter::sectionEnd(int sectionLine) const {
    int i = sectionLine + 1;
    while (i < static_cast<int>(m_lines.size()) && !isSectionHeader(m_lines[std::size_t(i)]))
        ++i;
    return i;
}

int IniWriter::findKey(int sectionLine, const QString& key) const {
    const int end = sectionEnd(sectionLine);
    for (int i = sectionLine + 1; i < end; ++i) {
        const QString& line = m_lines[std::size_t(i)];
        if (line.trimmed().startsWith(u';'))
            continue;
        if (keyOf(line).compare(key, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

void IniWriter::insertLine(int at, const QString& line) {
    m_lines.insert(m_lines.begin() + at, line);
    for (auto it = m_sections.begin(); it != m_sections.end(); ++it)
        if (it.value() >= at)
            ++it.value();
}

void IniWriter::writeString(const QString& section, const QString& key, const QString& value) {
    const QString keyLine = key + u'=' + oneLine(value);
    const auto found = m_sections.constFind(section.trimmed().toLower());
    if (found == m_sections.constEnd() || !m_partial.isEmpty()) {
        if (found == m_sections.constEnd()) {
            // A new section goes at the end, separated from what is there by one blank line.
            if (!m_partial.isEmpty())
                appendRaw(QStringLiteral("\n"));
            if (!m_lines.empty() && !m_lines.back().trimmed().isEmpty())
                appendLine(QString());
            appendLine(u'[' + section + u']');
            appendLine(keyLine);
            return;
        }
        appendRaw(QStringLiteral("\n"));
    }
    const int header = found.value();
    const int existing = findKey(header, key);
    if (existing >= 0) {
        m_lines[std::size_t(existing)] = keyLine;
        return;
    }
    // After the last key line of the section (blank and comment lines that follow stay below).
    int last = header;
    const int end = sectionEnd(header);
    for (int i = header + 1; i < end; ++i)
        if (!keyOf(m_lines[std::size_t(i)]).isEmpty() &&
            !m_lines[std::size_t(i)].trimmed().startsWith(u';'))
            last = i;
    insertLine(last + 1, keyLine);
}

QByteArray IniWriter::toBytes() const {
    QString text;
    qsizetype size = m_partial.size();
    for (const QString& line : m_lines)
        size += line.size() + 2;
    text.reserve(size);
    for (const QString& line : m_lines) {
        text += line;
        text += QStringLiteral("\r\n");
    }
    text += m_partial;
    return text.toUtf8();
}

} // namespace tw

#pragma once

#include <QHash>
#include <QString>

#include <vector>

namespace tw {

// Builds an INI-style text the way a private-profile writer edits a file: a key written into a
// section that does not exist yet appends that section at the end of the text (after one blank
// line, unless the text already ends with one); a key that exists is replaced in place; a new key
// goes after the last key line of its section. Section and key names compare without regard to
// case. Raw text (comments, banners, line ends) can be appended between the sections, as a
// program that alternates stream writes and private-profile writes on the same file would.
// Lines end with "\r\n" in the output.
class IniWriter {
public:
    // Appends raw text; "\n" marks a line end.
    void appendRaw(const QString& text);
    // Sets `key` in `section` to `value`. Line breaks inside the value become blanks, so a value
    // can never start a line of its own.
    void writeString(const QString& section, const QString& key, const QString& value);

    // The whole text, UTF-8, with "\r\n" line ends.
    QByteArray toBytes() const;

private:
    void appendLine(const QString& line);
    int findKey(int sectionLine, const QString& key) const;
    int sectionEnd(int sectionLine) const;
    void insertLine(int at, const QString& line);

    std::vector<QString> m_lines;   // complete lines, without their ends
    QString m_partial;              // an unterminated last line
    QHash<QString, int> m_sections; // lower-case name -> line of its first header
};

} // namespace tw

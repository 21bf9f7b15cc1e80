#include "core/text/shown_text.h"

namespace tw {

namespace {

// True when DisplayText would change the text; a lone surrogate counts (it is no character).
bool needsShowing(const QString& text, ftp::LineBreaks breaks) {
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < text.size() &&
            QChar::isLowSurrogate(text[i + 1].unicode())) {
            ++i; // no control lies outside the first plane
            continue;
        }
        if (QChar::isSurrogate(c))
            return true;
        if ((c == u'\r' || c == u'\n') && breaks != ftp::LineBreaks::Escape) {
            if (breaks == ftp::LineBreaks::Space || c == u'\r')
                return true;
            continue; // a '\n' stays
        }
        if (ftp::IsControlCodePoint(c))
            return true;
    }
    return false;
}

} // namespace

QString ShownText(const QString& text, ftp::LineBreaks breaks) {
    if (!needsShowing(text, breaks))
        return text;
    // A lone surrogate becomes '?' in UTF-8; everything else goes through unchanged.
    const QByteArray utf8 = text.toUtf8();
    const std::string shown =
        ftp::DisplayText(std::string_view(utf8.constData(), std::size_t(utf8.size())), breaks);
    return QString::fromUtf8(shown.data(), qsizetype(shown.size()));
}

} // namespace tw

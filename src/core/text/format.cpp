#include "core/text/format.h"

#include <algorithm>
#include <cstdio>
#include <string>

namespace tw {

long long FmtArg::toSigned() const {
    if (auto* v = std::get_if<long long>(&m_value))
        return *v;
    if (auto* v = std::get_if<unsigned long long>(&m_value))
        return static_cast<long long>(*v);
    if (auto* v = std::get_if<double>(&m_value))
        return static_cast<long long>(*v);
    return std::get<QString>(m_value).toLongLong();
}

unsigned long long FmtArg::toUnsigned() const {
    if (auto* v = std::get_if<unsigned long long>(&m_value))
        return *v;
    if (auto* v = std::get_if<long long>(&m_value))
        return static_cast<unsigned long long>(*v);
    if (auto* v = std::get_if<double>(&m_value))
        return static_cast<unsigned long long>(*v);
    return std::get<QString>(m_value).toULongLong();
}

double FmtArg::toDouble() const {
    if (auto* v = std::get_if<double>(&m_value))
        return *v;
    if (auto* v = std::get_if<long long>(&m_value))
        return static_cast<double>(*v);
    if (auto* v = std::get_if<unsigned long long>(&m_value))
        return static_cast<double>(*v);
    return std::get<QString>(m_value).toDouble();
}

QString FmtArg::toText() const {
    if (auto* v = std::get_if<QString>(&m_value))
        return *v;
    if (auto* v = std::get_if<long long>(&m_value))
        return QString::number(*v);
    if (auto* v = std::get_if<unsigned long long>(&m_value))
        return QString::number(*v);
    return QString::number(std::get<double>(m_value));
}

QString CutText(const QString& text, int limit) {
    if (limit < 0 || text.size() <= limit)
        return text;
    qsizetype n = limit;
    if (n > 0 && text.at(n - 1).isHighSurrogate())
        --n;
    return text.left(n);
}

QString TruncateAtLineBreak(const QString& text) {
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == u'\r' || c == u'\n')
            return text.left(i);
    }
    return text;
}

namespace {

struct Directive {
    bool leftAlign = false;
    bool zeroPad = false;
    bool plus = false;
    bool space = false;
    bool alternate = false;
    int width = -1;
    int precision = -1;
    enum class Length { Default, Short, Char, Long, LongLong } length = Length::Default;
};

QString pad(QString body, const Directive& d) {
    if (d.width > 0 && body.size() < d.width) {
        const auto fill = QString(d.width - body.size(), u' ');
        body = d.leftAlign ? body + fill : fill + body;
    }
    return body;
}

// Numbers go through snprintf so every flag behaves exactly as in C.
QString formatNumber(const Directive& d, char conversion, const FmtArg& arg) {
    std::string cformat = "%";
    if (d.leftAlign)
        cformat += '-';
    if (d.zeroPad)
        cformat += '0';
    if (d.plus)
        cformat += '+';
    if (d.space)
        cformat += ' ';
    if (d.alternate)
        cformat += '#';
    if (d.width >= 0)
        cformat += std::to_string(d.width);
    if (d.precision >= 0)
        cformat += '.' + std::to_string(d.precision);
    char buffer[128];
    int n = 0;
    switch (conversion) {
    case 'd':
    case 'i': {
        long long v = arg.toSigned();
        if (d.length == Directive::Length::Short)
            v = static_cast<short>(v);
        else if (d.length == Directive::Length::Char)
            v = static_cast<signed char>(v);
        else if (d.length == Directive::Length::Default || d.length == Directive::Length::Long)
            v = static_cast<int>(v); // the 32-bit int of the original texts
        cformat += "lld";
        n = std::snprintf(buffer, sizeof buffer, cformat.c_str(), v);
        break;
    }
    case 'u':
    case 'x':
    case 'X':
    case 'o': {
        unsigned long long v = arg.toUnsigned();
        if (d.length == Directive::Length::Short)
            v = static_cast<unsigned short>(v);
        else if (d.length == Directive::Length::Char)
            v = static_cast<unsigned char>(v);
        else if (d.length == Directive::Length::Default || d.length == Directive::Length::Long)
            v = static_cast<unsigned int>(v);
        cformat += "ll";
        cformat += conversion;
        n = std::snprintf(buffer, sizeof buffer, cformat.c_str(), v);
        break;
    }
    default: { // e E f F g G
        cformat += conversion;
        n = std::snprintf(buffer, sizeof buffer, cformat.c_str(), arg.toDouble());
        break;
    }
    }
    if (n < 0)
        return {};
    return QString::fromLatin1(buffer, std::min<int>(n, int(sizeof buffer) - 1));
}

} // namespace

QString FormatText(const QString& format, FmtArgs args, int limit) {
    QString out;
    out.reserve(format.size() + 16);
    auto next = args.begin();
    const FmtArg empty{QString()};
    auto take = [&]() -> const FmtArg& { return next != args.end() ? *next++ : empty; };

    const qsizetype size = format.size();
    qsizetype i = 0;
    while (i < size) {
        const QChar c = format.at(i);
        if (c != u'%') {
            out += c;
            ++i;
            continue;
        }
        const qsizetype start = i++;
        if (i < size && format.at(i) == u'%') {
            out += u'%';
            ++i;
            continue;
        }
        Directive d;
        for (; i < size; ++i) {
            const QChar f = format.at(i);
            if (f == u'-')
                d.leftAlign = true;
            else if (f == u'0')
                d.zeroPad = true;
            else if (f == u'+')
                d.plus = true;
            else if (f == u' ')
                d.space = true;
            else if (f == u'#')
                d.alternate = true;
            else
                break;
        }
        auto readNumber = [&]() {
            int v = 0;
            bool any = false;
            while (i < size && format.at(i).isDigit()) {
                v = std::min(v * 10 + format.at(i).digitValue(), 4096);
                ++i;
                any = true;
            }
            return any ? v : -1;
        };
        if (i < size && format.at(i) == u'*') {
            d.width = static_cast<int>(take().toSigned());
            if (d.width < 0) {
                d.leftAlign = true;
                d.width = -d.width;
            }
            d.width = std::min(d.width, 4096);
            ++i;
        } else {
            d.width = readNumber();
        }
        if (i < size && format.at(i) == u'.') {
            ++i;
            if (i < size && format.at(i) == u'*') {
                d.precision = std::clamp(static_cast<int>(take().toSigned()), 0, 4096);
                ++i;
            } else {
                d.precision = std::max(readNumber(), 0);
            }
        }
        // Length modifiers.
        if (format.mid(i, 3) == u"I64") {
            d.length = Directive::Length::LongLong;
            i += 3;
        } else if (format.mid(i, 2) == u"ll") {
            d.length = Directive::Length::LongLong;
            i += 2;
        } else if (format.mid(i, 2) == u"hh") {
            d.length = Directive::Length::Char;
            i += 2;
        } else if (i < size && format.at(i) == u'h') {
            d.length = Directive::Length::Short;
            ++i;
        } else if (i < size && (format.at(i) == u'l' || format.at(i) == u'L')) {
            d.length = Directive::Length::Long;
            ++i;
        } else if (i < size && (format.at(i) == u'z' || format.at(i) == u'j' || format.at(i) == u't')) {
            d.length = Directive::Length::LongLong;
            ++i;
        }
        if (i >= size) {
            out += format.mid(start); // an unfinished directive is shown as it stands
            break;
        }
        const char16_t conv = format.at(i).unicode();
        ++i;
        switch (conv) {
        case u's':
        case u'S': {
            QString text = take().toText();
            if (d.precision >= 0)
                text = CutText(text, d.precision);
            out += pad(text, d);
            break;
        }
        case u'c': {
            const auto code = static_cast<char32_t>(take().toUnsigned() & 0x10FFFF);
            out += pad(code ? QString::fromUcs4(&code, 1) : QString(), d);
            break;
        }
        case u'd':
        case u'i':
        case u'u':
        case u'x':
        case u'X':
        case u'o':
        case u'e':
        case u'E':
        case u'f':
        case u'F':
        case u'g':
        case u'G':
            out += formatNumber(d, static_cast<char>(conv), take());
            break;
        case u'p': {
            Directive hex = d;
            hex.zeroPad = true;
            hex.width = 8;
            out += formatNumber(hex, 'X', take());
            break;
        }
        default:
            out += format.mid(start, i - start); // unknown directive: shown literally
            break;
        }
        if (limit >= 0 && out.size() > limit)
            break;
    }
    return CutText(out, limit);
}

} // namespace tw

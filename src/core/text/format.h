#pragma once

#include <QString>

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <type_traits>
#include <variant>

namespace tw {

// One argument of a printf-style text. Integers keep their signedness so "%u" of a
// negative number and "%d" of a large unsigned one print as C would.
class FmtArg {
public:
    template <typename T>
        requires(std::is_integral_v<T> && std::is_signed_v<T> && !std::is_same_v<T, char>)
    FmtArg(T v) : m_value(static_cast<long long>(v)) {}
    template <typename T>
        requires(std::is_integral_v<T> && std::is_unsigned_v<T> && !std::is_same_v<T, bool>)
    FmtArg(T v) : m_value(static_cast<unsigned long long>(v)) {}
    FmtArg(bool v) : m_value(static_cast<long long>(v ? 1 : 0)) {}
    FmtArg(char c) : m_value(static_cast<long long>(static_cast<unsigned char>(c))) {}
    FmtArg(double v) : m_value(v) {}
    FmtArg(const QString& s) : m_value(s) {}
    FmtArg(QLatin1StringView s) : m_value(QString(s)) {}
    FmtArg(const char* s) : m_value(QString::fromUtf8(s)) {}
    FmtArg(const std::string& s) : m_value(QString::fromStdString(s)) {}
    FmtArg(std::string_view s) : m_value(QString::fromUtf8(s.data(), qsizetype(s.size()))) {}

    long long toSigned() const;
    unsigned long long toUnsigned() const;
    double toDouble() const;
    QString toText() const;

private:
    std::variant<long long, unsigned long long, double, QString> m_value;
};

using FmtArgs = std::initializer_list<FmtArg>;

// Text limits of the message helpers, in characters.
inline constexpr int kFetchedTextLimit = 255;
inline constexpr int kShortFormatLimit = 255;
inline constexpr int kResourceFormatLimit = 511;
inline constexpr int kMessageLimit = 1023;

// Formats `format` with the printf directives %d %i %u %x %X %o %c %s %f %e %g %p %%
// (flags, width, precision and the length modifiers h l ll I64 z are accepted).
// Arguments are inserted once and never scanned again, so a percent sign inside an
// argument is shown as it is. Missing arguments format as 0 or an empty text.
// The result is cut to `limit` characters (never inside a surrogate pair); limit < 0: no cut.
QString FormatText(const QString& format, FmtArgs args, int limit = kMessageLimit);

// Cuts `text` to at most `limit` characters without splitting a surrogate pair.
QString CutText(const QString& text, int limit);

// The text up to its first carriage return or line feed.
QString TruncateAtLineBreak(const QString& text);

} // namespace tw

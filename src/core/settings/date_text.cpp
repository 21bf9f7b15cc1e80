#include "core/settings/date_text.h"

#include <QRegularExpression>

namespace tw {

namespace {

// The locale's short time format with any seconds field (and the separator before it) removed.
QString timeFormatWithoutSeconds(const QLocale& locale) {
    QString format = locale.timeFormat(QLocale::ShortFormat);
    static const QRegularExpression seconds(QStringLiteral("[^hHmaApP\\s]?ss?(\\.z+)?"));
    format.remove(seconds);
    return format.trimmed();
}

} // namespace

QString FormatTimeText(const QDateTime& time, const QLocale& locale) {
    return locale.toString(time.time(), timeFormatWithoutSeconds(locale));
}

QString FormatDateText(const QDateTime& time, bool longFormat, const QLocale& locale) {
    return locale.toString(time.date(), longFormat ? QLocale::LongFormat : QLocale::ShortFormat);
}

QString FormatDateTimeText(const QDateTime& time, const QLocale& locale) {
    const QDateTime t = time.isValid() ? time : QDateTime::currentDateTime();
    return FormatDateText(t, true, locale) + QStringLiteral("  ") + FormatTimeText(t, locale);
}

} // namespace tw

#pragma once

#include <QDateTime>
#include <QLocale>
#include <QString>

namespace tw {

// The locale's time of day without seconds.
QString FormatTimeText(const QDateTime& time, const QLocale& locale = QLocale::system());
// The locale's long or short date.
QString FormatDateText(const QDateTime& time, bool longFormat,
                       const QLocale& locale = QLocale::system());
// Long date, two blanks, time without seconds; an invalid time means now.
QString FormatDateTimeText(const QDateTime& time = QDateTime(),
                           const QLocale& locale = QLocale::system());

} // namespace tw

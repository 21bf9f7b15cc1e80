#include "core/panes/entry_format.h"

#include "core/text/format.h"
#include "core/text/string_table.h"

#include <QHash>

#include <array>
#include <ctime>
#include <optional>

namespace tw {

namespace {

constexpr std::array<const char16_t*, 12> kMonths = {
    u"Jan", u"Feb", u"Mar", u"Apr", u"May", u"Jun", u"Jul", u"Aug", u"Sep", u"Oct", u"Nov", u"Dec"};

// Length of a full date text ("07-Dec-2026 - 23:15:56").
constexpr qsizetype kFullDateLength = 22;

// The extension lists of the icon classes 3 to 9, string ids 4600-4606.
const std::array<QString, 7>& ExtensionLists() {
    static const std::array<QString, 7> lists = [] {
        std::array<QString, 7> out;
        for (int i = 0; i < 7; ++i)
            out[std::size_t(i)] = LookupString(4600 + i).value_or(QString()).toLower();
        return out;
    }();
    return lists;
}

// The decimal value at `pos` as C's atoi reads it: blanks, a sign, digits. Past the end: 0.
int DecimalAt(QStringView text, qsizetype pos) {
    qsizetype i = pos;
    while (i < text.size() && (text[i] == u' ' || text[i] == u'\t'))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == u'-' || text[i] == u'+')) {
        negative = text[i] == u'-';
        ++i;
    }
    long long value = 0;
    while (i < text.size() && text[i] >= u'0' && text[i] <= u'9' && value < 1000000000LL) {
        value = value * 10 + (text[i].unicode() - u'0');
        ++i;
    }
    return static_cast<int>(negative ? -value : value);
}

// Index 0-11 of the three letters at position 3; unknown letters count as January.
int MonthAt(QStringView text) {
    if (text.size() < 6)
        return 0;
    const QStringView letters = text.mid(3, 3);
    for (int m = 0; m < 12; ++m)
        if (letters.compare(QStringView(kMonths[std::size_t(m)]), Qt::CaseInsensitive) == 0)
            return m;
    return 0;
}

} // namespace

namespace {

// Days since 1970-01-01 to a civil date (proleptic Gregorian).
void CivilFromDays(std::int64_t z, std::int64_t& y, unsigned& m, unsigned& d) {
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const auto doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    y = static_cast<std::int64_t>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    if (m <= 2)
        ++y;
}

std::int64_t FloorDiv(std::int64_t a, std::int64_t b) {
    return a / b - ((a % b != 0) && ((a < 0) != (b < 0)) ? 1 : 0);
}

// The local UTC offset that holds for a whole UTC day, when it does not change within it.
std::optional<long> DayOffset(std::int64_t day) {
    // A listing's times cluster on few days: remember the last ones asked.
    struct Cached {
        bool valid = false;
        std::int64_t day = 0;
        std::optional<long> offset;
    };
    static thread_local std::array<Cached, 8> cache{};
    static thread_local std::size_t next = 0;
    // A new time zone (tzset after TZ changed) makes every remembered offset void.
    static thread_local const char* zoneName = nullptr;
    static thread_local long zoneOffset = 0;
    if (zoneName != tzname[0] || zoneOffset != timezone) {
        cache = {};
        zoneName = tzname[0];
        zoneOffset = timezone;
    }
    for (const Cached& c : cache)
        if (c.valid && c.day == day)
            return c.offset;
    std::optional<long> offset;
    std::tm first{}, last{};
    const std::time_t t0 = static_cast<std::time_t>(day * 86400);
    const std::time_t t1 = t0 + 86399;
    if (localtime_r(&t0, &first) && localtime_r(&t1, &last) && first.tm_gmtoff == last.tm_gmtoff)
        offset = first.tm_gmtoff;
    cache[next] = {true, day, offset};
    next = (next + 1) % cache.size();
    return offset;
}

std::int64_t PackKey(std::int64_t year, unsigned month, unsigned day, unsigned hour,
                     unsigned minute, unsigned second) {
    if (year < 1)
        return 0;
    return ((((year * 100 + month) * 100 + day) * 100 + hour) * 100 + minute) * 100 + second;
}

} // namespace

std::int64_t LocalDateKey(std::int64_t utcSeconds) {
    if (utcSeconds == 0)
        return 0;
    // The zone's rules are asked once per day of the listing; a day with a change of offset
    // (daylight saving) goes through the C library for every time.
    if (const std::optional<long> offset = DayOffset(FloorDiv(utcSeconds, 86400))) {
        const std::int64_t local = utcSeconds + *offset;
        const std::int64_t days = FloorDiv(local, 86400);
        const auto secs = static_cast<unsigned>(local - days * 86400);
        std::int64_t y = 0;
        unsigned m = 0, d = 0;
        CivilFromDays(days, y, m, d);
        return PackKey(y, m, d, secs / 3600, secs / 60 % 60, secs % 60);
    }
    const std::time_t t = static_cast<std::time_t>(utcSeconds);
    std::tm tm{};
    if (!localtime_r(&t, &tm))
        return 0;
    return PackKey(std::int64_t(tm.tm_year) + 1900, unsigned(tm.tm_mon + 1), unsigned(tm.tm_mday),
                   unsigned(tm.tm_hour), unsigned(tm.tm_min), unsigned(tm.tm_sec));
}

QString DateTextFromKey(std::int64_t key) {
    if (key <= 0)
        return {};
    const auto second = unsigned(key % 100);
    const auto minute = unsigned(key / 100 % 100);
    const auto hour = unsigned(key / 10000 % 100);
    const auto day = unsigned(key / 1000000 % 100);
    const auto month = unsigned(key / 100000000 % 100);
    const auto year = static_cast<unsigned long long>(key / 10000000000LL);
    const QString monthName =
        month >= 1 && month <= 12 ? QString::fromUtf16(kMonths[month - 1]) : QString();
    return FormatText(QStringLiteral("%02u-%s-%04u - %02u:%02u:%02u"),
                      {day, monthName, year, hour, minute, second}, 63);
}

QString FormatFileTime(const FindData& data) {
    return DateTextFromKey(LocalDateKey(data.lastWriteTime));
}

QString FormatSizeText(const FindData& data) {
    return QString::number(data.size);
}

QString FileEntry::dateText() const {
    return isDrive ? QString() : DateTextFromKey(dateKey);
}

QString FileEntry::sizeText() const {
    if (isDrive)
        return {};
    return QString::number(isFolder ? 0 : size);
}

QString GetExtension(QStringView name) {
    const qsizetype dot = name.lastIndexOf(u'.');
    if (dot < 0)
        return {};
    return name.mid(dot).toString();
}

bool IsExcluded(QStringView exclude, QStringView name) {
    if (exclude.isEmpty())
        return false;
    const qsizetype dot = name.lastIndexOf(u'.');
    if (dot < 0)
        return false;
    const QStringView extension = name.mid(dot);
    qsizetype start = 0;
    for (qsizetype i = 0; i <= exclude.size(); ++i) {
        if (i < exclude.size() && exclude[i] != u';' && exclude[i] != u',' && exclude[i] != u' ')
            continue;
        const QStringView token = exclude.mid(start, i - start);
        if (!token.isEmpty() && token.compare(extension, Qt::CaseInsensitive) == 0)
            return true;
        start = i + 1;
    }
    return false;
}

void ClassifyEntryIcon(FileEntry& entry) {
    if (entry.isParent) {
        entry.icon = int(PaneIcon::Parent);
        return;
    }
    if (entry.isDrive) {
        entry.icon = int(PaneIcon::Drive);
        return;
    }
    if (entry.isFolder) {
        entry.icon = int(PaneIcon::Folder);
        return;
    }
    if (entry.type.isEmpty()) {
        entry.icon = int(PaneIcon::Other);
        return;
    }
    // Types repeat a lot in a listing: remember the class of each one seen.
    static thread_local QHash<QString, int> known;
    if (const auto it = known.constFind(entry.type); it != known.constEnd()) {
        entry.icon = *it;
        return;
    }
    const QString type = entry.type.toLower();
    int icon = int(PaneIcon::Other);
    const auto& lists = ExtensionLists();
    for (std::size_t i = 0; i < lists.size(); ++i) {
        if (lists[i].contains(type)) {
            icon = int(PaneIcon::Text) + int(i);
            break;
        }
    }
    if (known.size() < 4096)
        known.insert(entry.type, icon);
    entry.icon = icon;
}

void CompleteEntry(FileEntry& entry) {
    entry.isParent = entry.name == u"..";
    entry.type =
        entry.isDrive ? QString() : CutText(GetExtension(entry.name).toLower(), kTypeLimit);
    entry.dateKey = entry.isDrive ? 0 : LocalDateKey(entry.findData.lastWriteTime);
    entry.size = entry.isFolder || entry.isDrive ? 0 : entry.findData.size;
    ClassifyEntryIcon(entry);
}

QString LowerExtension(QStringView name) {
    const qsizetype dot = name.lastIndexOf(u'.');
    if (dot < 0)
        return {};
    QString out = CutText(name.mid(dot).toString(), kTypeLimit);
    for (QChar& c : out) {
        if (c.unicode() >= 0x80)
            return out.toLower();
        if (c.unicode() >= u'A' && c.unicode() <= u'Z')
            c = QChar(c.unicode() + 32);
    }
    return out;
}

int CompareDateText(QStringView a, QStringView b) {
    struct Fields {
        int v[6] = {};
    };
    const bool withTime = a.size() >= kFullDateLength;
    auto read = [withTime](QStringView t) {
        Fields f;
        f.v[0] = DecimalAt(t, 7);
        f.v[1] = MonthAt(t);
        f.v[2] = DecimalAt(t, 0);
        if (withTime) {
            f.v[3] = DecimalAt(t, 14);
            f.v[4] = DecimalAt(t, 17);
            f.v[5] = DecimalAt(t, 20);
        }
        return f;
    };
    const Fields fa = read(a);
    const Fields fb = read(b);
    for (int i = 0; i < 6; ++i)
        if (fa.v[i] != fb.v[i])
            return fa.v[i] - fb.v[i];
    return 0;
}

} // namespace tw

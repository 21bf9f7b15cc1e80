// Month names in the languages "ls" is run in, and dates with Chinese, Japanese and Korean
// year / month / day markers.
#include "ftp/listing/listing_text.h"

#include <bit>
#include <cstring>

namespace tw::ftp::listing {

namespace {

struct MonthName {
    std::string_view folded;
    int month;
};

// Every month name, abbreviated as glibc's "ls" prints it under the locale and in full, in
// English, German, French, Spanish, Italian, Dutch, Swedish and Russian; the names with
// letters beyond ASCII in UTF-8 and in their legacy encoding (ISO-8859-1 / Windows-1252 for
// German and French; Windows-1251 and KOI8-R for Russian), folded as fold() folds them.
// Generated once by a script from the names and Python's codecs, which also checked that no
// folded name stands for two months ("mar" is March and "mai" May in every language that
// writes them). Russian has the genitive "ls" prints ("15 янв", "мая"), the nominative "май",
// the older "февр" / "сент" / "нояб", and the full genitive and nominative names. Swedish
// has both glibc's older "mar" / "jun" / "jul" and newer "mars" / "juni" / "juli". French
// "jui" (June or July in old abbreviations) is left out.
constexpr MonthName kMonthNames[] = {
    {"abr", 4},
    {"abril", 4},
    {"ago", 8},
    {"agosto", 8},
    {"ao\xc3\xbb", 8},  // fr aoû utf-8
    {"ao\xc3\xbbt", 8}, // fr août utf-8
    {"ao\xfb", 8},      // fr aoû latin-1
    {"ao\xfbt", 8},     // fr août latin-1
    {"apr", 4},
    {"april", 4},
    {"aprile", 4},
    {"aug", 8},
    {"august", 8},
    {"augusti", 8},
    {"augustus", 8},
    {"avr", 4},
    {"avril", 4},
    {"dec", 12},
    {"december", 12},
    {"dez", 12},
    {"dezember", 12},
    {"dic", 12},
    {"dicembre", 12},
    {"diciembre", 12},
    {"d\xc3\xa9"
     "c",
     12}, // fr déc utf-8
    {"d\xc3\xa9"
     "cembre",
     12}, // fr décembre utf-8
    {"d\xe9"
     "c",
     12}, // fr déc latin-1
    {"d\xe9"
     "cembre",
     12}, // fr décembre latin-1
    {"ene", 1},
    {"enero", 1},
    {"feb", 2},
    {"febbraio", 2},
    {"febrero", 2},
    {"februar", 2},
    {"februari", 2},
    {"february", 2},
    {"f\xc3\xa9v", 2},     // fr fév utf-8
    {"f\xc3\xa9vr", 2},    // fr févr utf-8
    {"f\xc3\xa9vrier", 2}, // fr février utf-8
    {"f\xe9v", 2},         // fr fév latin-1
    {"f\xe9vr", 2},        // fr févr latin-1
    {"f\xe9vrier", 2},     // fr février latin-1
    {"gen", 1},
    {"gennaio", 1},
    {"giu", 6},
    {"giugno", 6},
    {"jan", 1},
    {"januar", 1},
    {"januari", 1},
    {"january", 1},
    {"janv", 1},
    {"janvier", 1},
    {"juil", 7},
    {"juillet", 7},
    {"juin", 6},
    {"jul", 7},
    {"juli", 7},
    {"julio", 7},
    {"july", 7},
    {"jun", 6},
    {"june", 6},
    {"juni", 6},
    {"junio", 6},
    {"lug", 7},
    {"luglio", 7},
    {"maart", 3},
    {"mag", 5},
    {"maggio", 5},
    {"mai", 5},
    {"maj", 5},
    {"mar", 3},
    {"march", 3},
    {"mars", 3},
    {"marzo", 3},
    {"may", 5},
    {"mayo", 5},
    {"mei", 5},
    {"mrt", 3},
    {"mrz", 3},
    {"m\xc3\xa4r", 3},  // de mär utf-8
    {"m\xc3\xa4rz", 3}, // de märz utf-8
    {"m\xe4r", 3},      // de mär latin-1
    {"m\xe4rz", 3},     // de märz latin-1
    {"nov", 11},
    {"november", 11},
    {"novembre", 11},
    {"noviembre", 11},
    {"oct", 10},
    {"october", 10},
    {"octobre", 10},
    {"octubre", 10},
    {"okt", 10},
    {"oktober", 10},
    {"ott", 10},
    {"ottobre", 10},
    {"sep", 9},
    {"sept", 9},
    {"september", 9},
    {"septembre", 9},
    {"septiembre", 9},
    {"set", 9},
    {"setiembre", 9},
    {"settembre", 9},
    {"\xd0\xb0\xd0\xb2\xd0\xb3", 8},                                  // ru авг utf-8
    {"\xd0\xb0\xd0\xb2\xd0\xb3\xd1\x83\xd1\x81\xd1\x82", 8},          // ru август utf-8
    {"\xd0\xb0\xd0\xb2\xd0\xb3\xd1\x83\xd1\x81\xd1\x82\xd0\xb0", 8},  // ru августа utf-8
    {"\xd0\xb0\xd0\xbf\xd1\x80", 4},                                  // ru апр utf-8
    {"\xd0\xb0\xd0\xbf\xd1\x80\xd0\xb5\xd0\xbb\xd1\x8c", 4},          // ru апрель utf-8
    {"\xd0\xb0\xd0\xbf\xd1\x80\xd0\xb5\xd0\xbb\xd1\x8f", 4},          // ru апреля utf-8
    {"\xd0\xb4\xd0\xb5\xd0\xba", 12},                                 // ru дек utf-8
    {"\xd0\xb4\xd0\xb5\xd0\xba\xd0\xb0\xd0\xb1\xd1\x80\xd1\x8c", 12}, // ru декабрь utf-8
    {"\xd0\xb4\xd0\xb5\xd0\xba\xd0\xb0\xd0\xb1\xd1\x80\xd1\x8f", 12}, // ru декабря utf-8
    {"\xd0\xb8\xd1\x8e\xd0\xbb", 7},                                  // ru июл utf-8
    {"\xd0\xb8\xd1\x8e\xd0\xbb\xd1\x8c", 7},                          // ru июль utf-8
    {"\xd0\xb8\xd1\x8e\xd0\xbb\xd1\x8f", 7},                          // ru июля utf-8
    {"\xd0\xb8\xd1\x8e\xd0\xbd", 6},                                  // ru июн utf-8
    {"\xd0\xb8\xd1\x8e\xd0\xbd\xd1\x8c", 6},                          // ru июнь utf-8
    {"\xd0\xb8\xd1\x8e\xd0\xbd\xd1\x8f", 6},                          // ru июня utf-8
    {"\xd0\xbc\xd0\xb0\xd0\xb9", 5},                                  // ru май utf-8
    {"\xd0\xbc\xd0\xb0\xd1\x80", 3},                                  // ru мар utf-8
    {"\xd0\xbc\xd0\xb0\xd1\x80\xd1\x82", 3},                          // ru март utf-8
    {"\xd0\xbc\xd0\xb0\xd1\x80\xd1\x82\xd0\xb0", 3},                  // ru марта utf-8
    {"\xd0\xbc\xd0\xb0\xd1\x8f", 5},                                  // ru мая utf-8
    {"\xd0\xbd\xd0\xbe\xd1\x8f", 11},                                 // ru ноя utf-8
    {"\xd0\xbd\xd0\xbe\xd1\x8f\xd0\xb1", 11},                         // ru нояб utf-8
    {"\xd0\xbd\xd0\xbe\xd1\x8f\xd0\xb1\xd1\x80\xd1\x8c", 11},         // ru ноябрь utf-8
    {"\xd0\xbd\xd0\xbe\xd1\x8f\xd0\xb1\xd1\x80\xd1\x8f", 11},         // ru ноября utf-8
    {"\xd0\xbe\xd0\xba\xd1\x82", 10},                                 // ru окт utf-8
    {"\xd0\xbe\xd0\xba\xd1\x82\xd1\x8f\xd0\xb1\xd1\x80\xd1\x8c", 10}, // ru октябрь utf-8
    {"\xd0\xbe\xd0\xba\xd1\x82\xd1\x8f\xd0\xb1\xd1\x80\xd1\x8f", 10}, // ru октября utf-8
    {"\xd1\x81\xd0\xb5\xd0\xbd", 9},                                  // ru сен utf-8
    {"\xd1\x81\xd0\xb5\xd0\xbd\xd1\x82", 9},                          // ru сент utf-8
    {"\xd1\x81\xd0\xb5\xd0\xbd\xd1\x82\xd1\x8f\xd0\xb1\xd1\x80\xd1\x8c", 9}, // ru сентябрь utf-8
    {"\xd1\x81\xd0\xb5\xd0\xbd\xd1\x82\xd1\x8f\xd0\xb1\xd1\x80\xd1\x8f", 9}, // ru сентября utf-8
    {"\xd1\x84\xd0\xb5\xd0\xb2", 2},                                         // ru фев utf-8
    {"\xd1\x84\xd0\xb5\xd0\xb2\xd1\x80", 2},                                 // ru февр utf-8
    {"\xd1\x84\xd0\xb5\xd0\xb2\xd1\x80\xd0\xb0\xd0\xbb\xd1\x8c", 2}, // ru февраль utf-8
    {"\xd1\x84\xd0\xb5\xd0\xb2\xd1\x80\xd0\xb0\xd0\xbb\xd1\x8f", 2}, // ru февраля utf-8
    {"\xd1\x8f\xd0\xbd\xd0\xb2", 1},                                 // ru янв utf-8
    {"\xd1\x8f\xd0\xbd\xd0\xb2\xd0\xb0\xd1\x80\xd1\x8c", 1},         // ru январь utf-8
    {"\xd1\x8f\xd0\xbd\xd0\xb2\xd0\xb0\xd1\x80\xd1\x8f", 1},         // ru января utf-8
    {"\xe0\xe2\xe3", 8},                                             // ru авг cp1251
    {"\xe0\xe2\xe3\xf3\xf1\xf2", 8},                                 // ru август cp1251
    {"\xe0\xe2\xe3\xf3\xf1\xf2\xe0", 8},                             // ru августа cp1251
    {"\xe0\xef\xf0", 4},                                             // ru апр cp1251
    {"\xe0\xef\xf0\xe5\xeb\xfc", 4},                                 // ru апрель cp1251
    {"\xe0\xef\xf0\xe5\xeb\xff", 4},                                 // ru апреля cp1251
    {"\xe1\xf0\xf2", 4},                                             // ru апр koi8-r
    {"\xe1\xf0\xf2\xe5\xec\xf1", 4},                                 // ru апреля koi8-r
    {"\xe1\xf0\xf2\xe5\xec\xf8", 4},                                 // ru апрель koi8-r
    {"\xe1\xf7\xe7", 8},                                             // ru авг koi8-r
    {"\xe1\xf7\xe7\xf5\xf3\xf4", 8},                                 // ru август koi8-r
    {"\xe1\xf7\xe7\xf5\xf3\xf4\xe1", 8},                             // ru августа koi8-r
    {"\xe4\xe5\xea", 12},                                            // ru дек cp1251
    {"\xe4\xe5\xea\xe0\xe1\xf0\xfc", 12},                            // ru декабрь cp1251
    {"\xe4\xe5\xea\xe0\xe1\xf0\xff", 12},                            // ru декабря cp1251
    {"\xe4\xe5\xeb", 12},                                            // ru дек koi8-r
    {"\xe4\xe5\xeb\xe1\xe2\xf2\xf1", 12},                            // ru декабря koi8-r
    {"\xe4\xe5\xeb\xe1\xe2\xf2\xf8", 12},                            // ru декабрь koi8-r
    {"\xe6\xe5\xf7", 2},                                             // ru фев koi8-r
    {"\xe6\xe5\xf7\xf2", 2},                                         // ru февр koi8-r
    {"\xe6\xe5\xf7\xf2\xe1\xec\xf1", 2},                             // ru февраля koi8-r
    {"\xe6\xe5\xf7\xf2\xe1\xec\xf8", 2},                             // ru февраль koi8-r
    {"\xe8\xfe\xeb", 7},                                             // ru июл cp1251
    {"\xe8\xfe\xeb\xfc", 7},                                         // ru июль cp1251
    {"\xe8\xfe\xeb\xff", 7},                                         // ru июля cp1251
    {"\xe8\xfe\xed", 6},                                             // ru июн cp1251
    {"\xe8\xfe\xed\xfc", 6},                                         // ru июнь cp1251
    {"\xe8\xfe\xed\xff", 6},                                         // ru июня cp1251
    {"\xe9\xe0\xec", 7},                                             // ru июл koi8-r
    {"\xe9\xe0\xec\xf1", 7},                                         // ru июля koi8-r
    {"\xe9\xe0\xec\xf8", 7},                                         // ru июль koi8-r
    {"\xe9\xe0\xee", 6},                                             // ru июн koi8-r
    {"\xe9\xe0\xee\xf1", 6},                                         // ru июня koi8-r
    {"\xe9\xe0\xee\xf8", 6},                                         // ru июнь koi8-r
    {"\xec\xe0\xe9", 5},                                             // ru май cp1251
    {"\xec\xe0\xf0", 3},                                             // ru мар cp1251
    {"\xec\xe0\xf0\xf2", 3},                                         // ru март cp1251
    {"\xec\xe0\xf0\xf2\xe0", 3},                                     // ru марта cp1251
    {"\xec\xe0\xff", 5},                                             // ru мая cp1251
    {"\xed\xe1\xea", 5},                                             // ru май koi8-r
    {"\xed\xe1\xf1", 5},                                             // ru мая koi8-r
    {"\xed\xe1\xf2", 3},                                             // ru мар koi8-r
    {"\xed\xe1\xf2\xf4", 3},                                         // ru март koi8-r
    {"\xed\xe1\xf2\xf4\xe1", 3},                                     // ru марта koi8-r
    {"\xed\xee\xff", 11},                                            // ru ноя cp1251
    {"\xed\xee\xff\xe1", 11},                                        // ru нояб cp1251
    {"\xed\xee\xff\xe1\xf0\xfc", 11},                                // ru ноябрь cp1251
    {"\xed\xee\xff\xe1\xf0\xff", 11},                                // ru ноября cp1251
    {"\xee\xea\xf2", 10},                                            // ru окт cp1251
    {"\xee\xea\xf2\xff\xe1\xf0\xfc", 10},                            // ru октябрь cp1251
    {"\xee\xea\xf2\xff\xe1\xf0\xff", 10},                            // ru октября cp1251
    {"\xee\xef\xf1", 11},                                            // ru ноя koi8-r
    {"\xee\xef\xf1\xe2", 11},                                        // ru нояб koi8-r
    {"\xee\xef\xf1\xe2\xf2\xf1", 11},                                // ru ноября koi8-r
    {"\xee\xef\xf1\xe2\xf2\xf8", 11},                                // ru ноябрь koi8-r
    {"\xef\xeb\xf4", 10},                                            // ru окт koi8-r
    {"\xef\xeb\xf4\xf1\xe2\xf2\xf1", 10},                            // ru октября koi8-r
    {"\xef\xeb\xf4\xf1\xe2\xf2\xf8", 10},                            // ru октябрь koi8-r
    {"\xf1\xe5\xed", 9},                                             // ru сен cp1251
    {"\xf1\xe5\xed\xf2", 9},                                         // ru сент cp1251
    {"\xf1\xe5\xed\xf2\xff\xe1\xf0\xfc", 9},                         // ru сентябрь cp1251
    {"\xf1\xe5\xed\xf2\xff\xe1\xf0\xff", 9},                         // ru сентября cp1251
    {"\xf1\xee\xf7", 1},                                             // ru янв koi8-r
    {"\xf1\xee\xf7\xe1\xf2\xf1", 1},                                 // ru января koi8-r
    {"\xf1\xee\xf7\xe1\xf2\xf8", 1},                                 // ru январь koi8-r
    {"\xf3\xe5\xee", 9},                                             // ru сен koi8-r
    {"\xf3\xe5\xee\xf4", 9},                                         // ru сент koi8-r
    {"\xf3\xe5\xee\xf4\xf1\xe2\xf2\xf1", 9},                         // ru сентября koi8-r
    {"\xf3\xe5\xee\xf4\xf1\xe2\xf2\xf8", 9},                         // ru сентябрь koi8-r
    {"\xf4\xe5\xe2", 2},                                             // ru фев cp1251
    {"\xf4\xe5\xe2\xf0", 2},                                         // ru февр cp1251
    {"\xf4\xe5\xe2\xf0\xe0\xeb\xfc", 2},                             // ru февраль cp1251
    {"\xf4\xe5\xe2\xf0\xe0\xeb\xff", 2},                             // ru февраля cp1251
    {"\xff\xed\xe2", 1},                                             // ru янв cp1251
    {"\xff\xed\xe2\xe0\xf0\xfc", 1},                                 // ru январь cp1251
    {"\xff\xed\xe2\xe0\xf0\xff", 1},                                 // ru января cp1251
};

constexpr std::size_t kMinName = 3;
constexpr std::size_t kMaxName = 16; // "сентября" in UTF-8

// The first bytes a month name can start with, in any case: refuses "root", "user", "wheel"
// without folding them.
constexpr std::array<bool, 256> kFirstBytes = [] {
    std::array<bool, 256> first{};
    for (const MonthName& m : kMonthNames) {
        const auto b = static_cast<unsigned char>(m.folded[0]);
        first[b] = true;
        if (b >= 'a' && b <= 'z')
            first[b - 'a' + 'A'] = true;
        if (b == 0xD1 || b == 0xD0) // UTF-8 Cyrillic: А-Я and а-п start with D0, р-я with D1
            first[0xD0] = first[0xD1] = true;
        if (b >= 0xE0) // a single-byte letter, folded up from C0-DF
            first[b - 0x20] = true;
    }
    return first;
}();

// A folded name as two little-endian numbers, its bytes padded with zeros (no name holds a
// zero byte), as memcpy reads them on little-endian machines.
struct PackedName {
    std::uint64_t high = 0;
    std::uint64_t low = 0;
};

constexpr PackedName pack(std::string_view s) {
    PackedName p;
    for (std::size_t i = 0; i < kMaxName; ++i) {
        const std::uint64_t b = i < s.size() ? static_cast<unsigned char>(s[i]) : 0;
        (i < 8 ? p.high : p.low) |= b << (8 * (i % 8));
    }
    return p;
}

// An open-addressed hash table of the packed names: one or two probes find a name or refuse
// a word.
constexpr std::size_t kSlots = 1024;

constexpr std::size_t slotOf(const PackedName& p) {
    return static_cast<std::size_t>(
               ((p.high * 0x9E3779B97F4A7C15ull) ^ (p.low * 0xC2B2AE3D27D4EB4Full)) >> 54) %
           kSlots;
}

struct Slot {
    PackedName name;
    int month = 0; // 0: empty
};

constexpr auto kSlotTable = [] {
    std::array<Slot, kSlots> table{};
    for (const MonthName& m : kMonthNames) {
        const PackedName p = pack(m.folded);
        std::size_t i = slotOf(p);
        while (table[i].month != 0)
            i = (i + 1) % kSlots;
        table[i] = Slot{p, m.month};
    }
    return table;
}();

// Lower case for the letters of month names: ASCII; the UTF-8 upper-case letters of Latin-1
// (C3 80-9E) and Cyrillic А-Я (D0 90-AF); any other single byte C0-DF up by 0x20 (upper case
// in ISO-8859-1 and Windows-1251, lower case in KOI8-R, whose names are kept folded the same
// way). A byte C2-DF followed by a continuation byte is taken as a UTF-8 pair; the legacy
// names never hold one, since all their letters beyond ASCII are C0-FF.
void fold(std::string_view s, char* out) {
    std::size_t n = 0;
    for (std::size_t i = 0; i < s.size(); ++i) {
        auto c = static_cast<unsigned char>(s[i]);
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<unsigned char>(c + 0x20);
        } else if (c >= 0xC2 && c <= 0xDF && i + 1 < s.size() &&
                   (static_cast<unsigned char>(s[i + 1]) & 0xC0) == 0x80) {
            auto d = static_cast<unsigned char>(s[++i]);
            if (c == 0xC3 && d <= 0x9E && d != 0x97) {
                d = static_cast<unsigned char>(d + 0x20);
            } else if (c == 0xD0 && d >= 0x90 && d <= 0x9F) {
                d = static_cast<unsigned char>(d + 0x20);
            } else if (c == 0xD0 && d >= 0xA0 && d <= 0xAF) {
                c = 0xD1;
                d = static_cast<unsigned char>(d - 0x20);
            }
            out[n++] = static_cast<char>(c);
            c = d;
        } else if (c >= 0xC0 && c <= 0xDF) {
            c = static_cast<unsigned char>(c + 0x20);
        }
        out[n++] = static_cast<char>(c);
    }
}

} // namespace

int MonthFromName(std::string_view s) {
    while (!s.empty() && (s.back() == '.' || s.back() == ','))
        s.remove_suffix(1);
    if (s.size() < kMinName || s.size() > kMaxName ||
        !kFirstBytes[static_cast<unsigned char>(s[0])])
        return 0;
    std::array<char, kMaxName> buffer{};
    fold(s, buffer.data());
    PackedName key;
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(&key.high, buffer.data(), 8);
        std::memcpy(&key.low, buffer.data() + 8, 8);
    } else {
        key = pack(std::string_view(buffer.data(), kMaxName));
    }
    for (std::size_t i = slotOf(key); kSlotTable[i].month != 0; i = (i + 1) % kSlots)
        if (kSlotTable[i].name.high == key.high && kSlotTable[i].name.low == key.low)
            return kSlotTable[i].month;
    return 0;
}

namespace {

enum class Marker { None, Year, Month, Day };

// The year / month / day characters 年月日 (Chinese and Japanese; Korean hanja) and 년월일
// (Hangul) in UTF-8, Shift_JIS, EUC-JP, GBK, Big5 and EUC-KR, as iconv encodes them. No byte
// sequence is a marker of two kinds, nor a two-byte marker the start of a UTF-8 one of
// another kind.
struct MarkerBytes {
    std::string_view bytes;
    Marker marker;
};
constexpr MarkerBytes kMarkers[] = {
    {"\xe5\xb9\xb4", Marker::Year},  // 年 UTF-8
    {"\xeb\x85\x84", Marker::Year},  // 년 UTF-8
    {"\xe6\x9c\x88", Marker::Month}, // 月 UTF-8
    {"\xec\x9b\x94", Marker::Month}, // 월 UTF-8
    {"\xe6\x97\xa5", Marker::Day},   // 日 UTF-8
    {"\xec\x9d\xbc", Marker::Day},   // 일 UTF-8
    {"\x94\x4e", Marker::Year},      // 年 Shift_JIS
    {"\x8c\x8e", Marker::Month},     // 月 Shift_JIS
    {"\x93\xfa", Marker::Day},       // 日 Shift_JIS
    {"\xc7\xaf", Marker::Year},      // 年 EUC-JP
    {"\xb7\xee", Marker::Month},     // 月 EUC-JP
    {"\xc6\xfc", Marker::Day},       // 日 EUC-JP
    {"\xc4\xea", Marker::Year},      // 年 GBK
    {"\xd4\xc2", Marker::Month},     // 月 GBK
    {"\xc8\xd5", Marker::Day},       // 日 GBK
    {"\xa6\x7e", Marker::Year},      // 年 Big5
    {"\xa4\xeb", Marker::Month},     // 月 Big5
    {"\xa4\xe9", Marker::Day},       // 日 Big5
    {"\xb3\xe2", Marker::Year},      // 년 EUC-KR
    {"\xbf\xf9", Marker::Month},     // 월 EUC-KR
    {"\xc0\xcf", Marker::Day},       // 일 EUC-KR
    {"\xd2\xb4", Marker::Year},      // 年 EUC-KR
    {"\xea\xc5", Marker::Month},     // 月 EUC-KR
    {"\xec\xed", Marker::Day},       // 日 EUC-KR
};

// The marker at the start of `s`, and its length.
Marker markerAt(std::string_view s, std::size_t& length) {
    for (const MarkerBytes& m : kMarkers) {
        if (s.substr(0, m.bytes.size()) == m.bytes) {
            length = m.bytes.size();
            return m.marker;
        }
    }
    return Marker::None;
}

// The year, month and day one word gives: "2024年", "1月", "1月15日", "2024年1月15日", or a
// bare day ("15") when the month came before. Each part must follow the one before it.
bool readDateWord(std::string_view word, int& year, int& month, int& day) {
    std::size_t pos = 0;
    bool any = false;
    while (pos < word.size()) {
        std::size_t digits = pos;
        while (digits < word.size() && IsDigit(word[digits]))
            ++digits;
        int value = 0;
        if (digits == pos || digits - pos > 4 || !ParseInt(word.substr(pos, digits - pos), value))
            return false;
        std::size_t length = 0;
        const Marker marker = digits < word.size()
                                  ? markerAt(word.substr(digits), length)
                                  : (month > 0 && day < 0 ? Marker::Day : Marker::None);
        switch (marker) {
        case Marker::Year:
            if (year >= 0 || month >= 0 || digits - pos != 4)
                return false;
            year = value;
            break;
        case Marker::Month:
            if (month >= 0 || value < 1 || value > 12)
                return false;
            month = value;
            break;
        case Marker::Day:
            if (month < 0 || day >= 0 || value < 1 || value > 31 || digits - pos > 2)
                return false;
            day = value;
            break;
        case Marker::None:
            return false;
        }
        pos = digits + length;
        any = true;
    }
    return any;
}

// "2003年" / "2003년": a year with its marker after the month and day ("4月 18日 2003年").
bool readTrailingYear(std::string_view word, int& year) {
    std::size_t length = 0;
    return word.size() > 4 && ParseInt(word.substr(0, 4), year) &&
           markerAt(word.substr(4), length) == Marker::Year && 4 + length == word.size();
}

} // namespace

bool ParseAsianDate(const std::string_view* tokens, std::size_t count, std::int64_t now,
                    std::size_t& used, std::int64_t& when) {
    int year = -1, month = -1, day = -1;
    std::size_t n = 0;
    // At most three words hold the year, month and day ("2009년 12월 21일").
    while (n < count && n < 3 && day < 0 && readDateWord(tokens[n], year, month, day))
        ++n;
    if (day < 0)
        return false;
    int hour = 0, minute = 0, second = 0;
    const bool clock = n < count && ParseClock(tokens[n], hour, minute, second);
    if (year < 0) {
        // " 1月 15 12:34" and "12月 21  2009": a time or a year follows.
        if (clock) {
            when = ResolveYearless(month, day, hour, minute, now);
            used = n + 1;
            return when != 0;
        }
        // "12月 21  2009" and "4月 18日 2003年".
        if (n >= count || !((tokens[n].size() == 4 && ParseInt(tokens[n], year)) ||
                            readTrailingYear(tokens[n], year)))
            return false;
        ++n;
    } else if (clock) {
        ++n;
    }
    const CivilTime t{year, month, day, hour, minute, second};
    if (!IsValid(t))
        return false;
    when = TimeOf(t);
    used = n;
    return true;
}

} // namespace tw::ftp::listing

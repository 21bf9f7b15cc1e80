#include "core/commands/command_table.h"
#include "core/commands/toolbar_layout.h"
#include "core/text/format.h"
#include "core/text/string_table.h"
#include "core/text/string_table_data.h"
#include "ftp/ftp_error.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <span>
#include <string>
#include <vector>

using namespace tw;

namespace {

constexpr int kBuiltinFirst = 60000;
constexpr int kBuiltinLast = 60135;
constexpr int kFtpFirst = 12001;
constexpr int kFtpLast = 12174;
// The engine's own numbers (FTP over TLS, a short download) follow the range.
constexpr int kTlsFirst = 12180;
constexpr int kTlsLast = 12193;
// SSH and SFTP.
constexpr int kSshFirst = 12200;
constexpr int kSshLast = 12218;
bool isEngineId(int id) {
    return (id >= kFtpFirst && id <= kFtpLast) || (id >= kTlsFirst && id <= kTlsLast) ||
           (id >= kSshFirst && id <= kSshLast);
}
constexpr int kFtpTextLimit = 1023;

QString text(int id) {
    return LookupString(id).value_or(u"<missing>"_qs);
}

std::vector<strings::StringEntry> allEntries() {
    std::vector<strings::StringEntry> all;
    for (auto table :
         {strings::ProgramStrings(), strings::BuiltinStrings(), strings::FtpErrorStrings()})
        all.insert(all.end(), table.begin(), table.end());
    return all;
}

// The conversions of the printf directives in `format`, one letter each ("i" counts as "d");
// "%%" is skipped. `valid` turns false at a directive the formatter does not understand.
std::string conversions(const QString& format, bool* valid = nullptr) {
    static const QString kFlags = u"-+ #0"_qs;
    static const QString kKinds = u"diuxXocsfegEGp"_qs;
    std::string result;
    if (valid)
        *valid = true;
    for (qsizetype i = 0; i < format.size(); ++i) {
        if (format[i] != u'%')
            continue;
        qsizetype j = i + 1;
        while (j < format.size() && kFlags.contains(format[j]))
            ++j;
        while (j < format.size() && (format[j].isDigit() || format[j] == u'*'))
            ++j;
        if (j < format.size() && format[j] == u'.') {
            ++j;
            while (j < format.size() && format[j].isDigit())
                ++j;
        }
        if (format.mid(j, 3) == u"I64"_qs)
            j += 3;
        while (j < format.size() && (format[j] == u'h' || format[j] == u'l' || format[j] == u'z'))
            ++j;
        if (j < format.size() && format[j] == u'%' && j == i + 1) {
            i = j;
            continue;
        }
        if (j >= format.size() || !kKinds.contains(format[j])) {
            if (valid)
                *valid = false;
            continue;
        }
        result += format[j] == u'i' ? 'd' : static_cast<char>(format[j].unicode());
        i = j;
    }
    return result;
}

} // namespace

TEST(StringTable, TablesHoldEachIdOnceInTheirOwnRange) {
    // The merged lookup would hide a second entry of an id, so count the raw tables.
    const auto all = allEntries();
    std::set<int> ids;
    for (const auto& e : all)
        ids.insert(e.id);
    EXPECT_EQ(ids.size(), all.size()) << "an id appears in more than one entry";
    EXPECT_EQ(StringTableIds().size(), all.size());

    for (const auto& e : strings::BuiltinStrings())
        EXPECT_TRUE(e.id >= kBuiltinFirst && e.id <= kBuiltinLast) << e.id;
    for (const auto& e : strings::FtpErrorStrings())
        EXPECT_TRUE(isEngineId(e.id)) << e.id;
    for (const auto& e : strings::ProgramStrings()) {
        EXPECT_FALSE(e.id >= kBuiltinFirst && e.id <= kBuiltinLast) << e.id;
        EXPECT_FALSE(isEngineId(e.id)) << e.id;
    }

    // Each file is kept in ascending order for its readers.
    const auto ascending = [](std::span<const strings::StringEntry> table) {
        return std::is_sorted(table.begin(), table.end(),
                              [](const auto& a, const auto& b) { return a.id < b.id; });
    };
    EXPECT_TRUE(ascending(strings::ProgramStrings()));
    EXPECT_TRUE(ascending(strings::BuiltinStrings()));
    EXPECT_TRUE(ascending(strings::FtpErrorStrings()));
}

TEST(StringTable, EveryBuiltinIdYieldsAText) {
    for (int id = kBuiltinFirst; id <= kBuiltinLast; ++id) {
        const auto t = LookupString(id);
        ASSERT_TRUE(t.has_value()) << id;
        EXPECT_FALSE(t->isEmpty()) << id;
    }
    EXPECT_FALSE(LookupString(kBuiltinFirst - 1).has_value());
    EXPECT_FALSE(LookupString(kBuiltinLast + 1).has_value());
    EXPECT_FALSE(LookupString(0).has_value());
    EXPECT_FALSE(LookupString(-1).has_value());
}

TEST(StringTable, FtpErrorNumbersWithoutEntriesAndBlankEntries) {
    std::vector<int> unused = {12035, 12051};
    for (int id = 12058; id <= 12109; ++id)
        unused.push_back(id);
    for (int id : unused)
        EXPECT_FALSE(LookupString(id).has_value()) << id;
    EXPECT_FALSE(LookupString(kFtpFirst - 1).has_value());
    EXPECT_FALSE(LookupString(kFtpLast + 1).has_value());

    for (int id : {12056, 12057, 12173}) {
        const auto t = LookupString(id);
        ASSERT_TRUE(t.has_value()) << id;
        EXPECT_FALSE(t->isEmpty()) << id;
        EXPECT_TRUE(t->trimmed().isEmpty()) << id;
    }
}

TEST(StringTable, EveryErrorTheEngineProducesHasAFullOneLineText) {
    const std::string unknown(ftp::ErrorDescription(-12345));
    int produced = 0;
    for (int code = kFtpFirst; code <= kTlsLast; ++code) {
        if (std::string(ftp::ErrorDescription(code)) == unknown)
            continue;
        ++produced;
        const auto t = LookupString(code);
        ASSERT_TRUE(t.has_value()) << code;
        EXPECT_FALSE(t->trimmed().isEmpty()) << code;
    }
    EXPECT_GT(produced, 0);

    // An error report shows the text up to its first line break, so none may hold one.
    for (const auto& e : strings::FtpErrorStrings()) {
        const QString t = QString::fromUtf16(e.text);
        EXPECT_EQ(TruncateAtLineBreak(t), t) << e.id;
        EXPECT_LE(t.size(), kFtpTextLimit) << e.id;
        EXPECT_TRUE(conversions(t).empty()) << e.id;
    }
}

TEST(StringTable, TextsFitTheFetchLimitAndUseRealControlCharacters) {
    for (const auto& e : allEntries()) {
        if (e.id >= kFtpFirst && e.id <= kFtpLast)
            continue;
        const QString t = QString::fromUtf16(e.text);
        EXPECT_LE(t.size(), kFetchedTextLimit) << e.id;
        // "\r" and "\t" must be the characters themselves, not an escaped backslash.
        EXPECT_FALSE(t.contains(u"\\r"_qs) || t.contains(u"\\t"_qs) || t.contains(u"\\n"_qs))
            << e.id;
        bool valid = false;
        conversions(t, &valid);
        EXPECT_TRUE(valid) << e.id << ": " << t.toStdString();
    }
    EXPECT_TRUE(text(60002).startsWith(u'\r'));
    EXPECT_TRUE(text(60053).contains(u'\t'));
}

TEST(StringTable, DirectivesMatchTheArgumentsCallersPass) {
    struct Case {
        int id;
        const char* kinds;
    };
    const Case cases[] = {
        // log lines
        {4401, "sd"},
        {4403, "sd"},
        {4406, "s"},
        {4407, "s"},
        {4408, "s"},
        {4409, "ds"},
        {4410, "s"},
        {4411, "s"},
        {4412, "sss"},
        {4413, "ds"},
        {4414, "sssss"},
        {4415, "sds"},
        {4416, "ss"},
        {4417, "s"},
        {4418, "s"},
        {4419, "usu"},
        {4420, "ususu"},
        {4421, "usususu"},
        // status lines
        {4000, "s"},
        {4001, "suu"},
        {4002, "s"},
        {4003, "suu"},
        // messages and dialog texts
        {3103, "s"},
        {3104, "s"},
        {3108, "s"},
        {3109, "s"},
        {3118, "ss"},
        {3119, "ss"},
        {3204, "ss"},
        {3306, "s"},
        {3307, "u"},
        {3401, "ss"},
        {3501, "s"},
        {3653, "s"},
        {3654, "s"},
        {3662, "us"},
        {3709, "su"},
        {3802, "s"},
        {3902, "s"},
        {4102, "ss"},
        // window texts and path joins
        {1001, "s"},
        {9002, "s"},
        {9004, "s"},
        {3700, "ss"},
        {3701, "ss"},
        {3702, "ss"},
        {3704, "ss"},
        {3705, "s"},
        {3706, "u"},
        {3707, "s"},
        {3708, "s"},
        // framework messages
        {60001, "sdd"},
        {60002, "d"},
        {60003, "sd"},
        {60004, "sd"},
        {60005, "dd"},
        {60008, "sd"},
        {60009, "sd"},
        {60010, "sud"},
        {60011, "sd"},
        {60012, "sud"},
        {60013, "sud"},
        {60021, "s"},
        {60027, "sd"},
        {60101, "sd"},
        {60104, "ud"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(conversions(text(c.id)), c.kinds) << c.id << ": " << text(c.id).toStdString();

    // Texts shown as they are: captions, labels, fixed lines and questions.
    const int plain[] = {1000, 1002, 1019, 1020, 1021, 1022, 1023, 1024, 1025,  1030, 1031,
                         1032, 1033, 1034, 1037, 3100, 3101, 3102, 3105, 3106,  3107, 3110,
                         3111, 3112, 3113, 3114, 3115, 3116, 3117, 3200, 3201,  3202, 3203,
                         3205, 3206, 3207, 3300, 3301, 3302, 3303, 3304, 3305,  3308, 3309,
                         3320, 3321, 3400, 3500, 3600, 3651, 3652, 3660, 3661,  3800, 3801,
                         3900, 3901, 4100, 4101, 4400, 4402, 4404, 4405, 60000, 60066};
    for (int id : plain)
        EXPECT_EQ(conversions(text(id)), "") << id;
}

TEST(StringTable, PathFormatsJoinAsThePlatformDoes) {
    // Local paths join with '/', or without a separator when the folder ends in one.
    EXPECT_EQ(FormatText(text(3702), {u"/home/ann"_qs, u"a.txt"_qs}), u"/home/ann/a.txt"_qs);
    EXPECT_EQ(FormatText(text(3701), {u"/"_qs, u"*.*"_qs}), u"/*.*"_qs);
    EXPECT_EQ(FormatText(text(3705), {u"/media/usb"_qs}), u"/media/usb/"_qs);
    EXPECT_EQ(FormatText(text(3700), {u"/home/ann"_qs, u"my file.txt"_qs}),
              u"\"/home/ann/my file.txt\""_qs);
    // Remote paths always join with '/', even at the root.
    EXPECT_EQ(FormatText(text(3704), {u"/"_qs, u"pub"_qs}), u"//pub"_qs);
    // The transfer log line joins folder and name with '/'.
    EXPECT_EQ(FormatText(text(4414), {u"T"_qs, u"/l"_qs, u"a"_qs, u"/r"_qs, u"b"_qs}),
              u"T - /l/a => /r/b"_qs);
}

TEST(StringTable, EveryCommandHasHelpAndEveryButtonHasText) {
    const auto& commands = CommandTable();
    ASSERT_FALSE(commands.empty());
    for (const auto& c : commands) {
        const auto help = LookupString(c.helpStringId());
        ASSERT_TRUE(help.has_value()) << c.value();
        EXPECT_FALSE(help->trimmed().isEmpty()) << c.value();
        // Shown by the menu help line without arguments.
        EXPECT_EQ(conversions(*help), "") << c.value();
        if (c.hasButton()) {
            const auto button = LookupString(c.buttonTextId());
            ASSERT_TRUE(button.has_value()) << c.value();
            EXPECT_FALSE(button->trimmed().isEmpty()) << c.value();
            EXPECT_EQ(conversions(*button), "") << c.value();
        }
    }
    for (const auto& slot : ToolbarButtons())
        EXPECT_TRUE(LookupString(toInt(slot.id) + 1000).has_value()) << toInt(slot.id);
    EXPECT_FALSE(ToolbarButtons().empty());

    // Status texts of the sheet pages that are no commands.
    for (int id : {103, 273, 420, 452, 476, 487})
        EXPECT_FALSE(text(id).trimmed().isEmpty()) << id;
}

TEST(StringTable, IconClassListsMatchLowerCasedExtensions) {
    // The row's type is lower-cased and searched as a substring: a capital in a list could
    // never match, and every list starts with an extension's period.
    for (int id = 4600; id <= 4606; ++id) {
        const QString list = text(id);
        EXPECT_TRUE(list.startsWith(u'.')) << id;
        EXPECT_EQ(list, list.toLower()) << id;
    }
}

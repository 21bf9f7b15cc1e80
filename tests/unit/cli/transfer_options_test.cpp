#include "cli/command_line.h"

#include <gtest/gtest.h>

#include <functional>
#include <optional>

#include <string>
#include <vector>

using namespace tw::cli;

namespace {

struct Case {
    std::vector<std::string> args;
    std::string error; // empty: accepted
    bool recursive = false;
    int parallel = 2;
    bool resume = false;
    bool reverse = false;
    std::size_t arguments = 0;
};

} // namespace

// The options of the copying commands, their limits, and where they do not belong.
TEST(CliTransferOptions, ParsedOrRefused) {
    const std::vector<Case> cases = {
        {{"get", "ftp://h/a"}, "", false, 2, false, false, 1},
        {{"get", "-r", "-P", "4", "ftp://h/d", "local"}, "", true, 4, false, false, 2},
        {{"get", "--parallel=10", "--continue", "ftp://h/a", "ftp://h/b", "dir"},
         "",
         false,
         10,
         true,
         false,
         3},
        {{"put", "-c", "-r", "a", "b", "ftp://h/up/"}, "", true, 2, true, false, 3},
        {{"mirror", "ftp://h/site", "copy"}, "", false, 2, false, false, 2},
        {{"mirror", "--reverse", "-P", "1", "site", "ftp://h/site"}, "", false, 1, false, true, 2},
        {{"get", "-P", "0", "ftp://h/a"}, "invalid value for -P: 0 (1 to 10 connections)"},
        {{"get", "-P", "11", "ftp://h/a"}, "invalid value for -P: 11 (1 to 10 connections)"},
        {{"get", "ftp://h/a", "-P"}, "-P needs a number of connections"},
        {{"mirror", "-r", "ftp://h/a", "b"}, "-r applies to get and put"},
        {{"get", "--reverse", "ftp://h/a"}, "--reverse applies to mirror only"},
        {{"ls", "--continue", "ftp://h/"}, "--continue applies to get, put and mirror"},
        {{"rm", "-P", "3", "ftp://h/a"}, "-P applies to get, put and mirror"},
        {{"mirror", "ftp://h/a"}, "wrong number of arguments for mirror"},
        {{"put", "ftp://h/a"}, "wrong number of arguments for put"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.args));
        CommandLine line;
        std::string error;
        const bool ok = ParseCommandLine(c.args, line, error);
        EXPECT_EQ(error, c.error);
        ASSERT_EQ(ok, c.error.empty());
        if (!ok)
            continue;
        EXPECT_EQ(line.recursive, c.recursive);
        EXPECT_EQ(line.parallel, c.parallel);
        EXPECT_EQ(line.resume, c.resume);
        EXPECT_EQ(line.reverse, c.reverse);
        EXPECT_EQ(line.arguments.size(), c.arguments);
    }
    EXPECT_NE(UsageText().find("mirror --reverse LOCALDIR URL"), std::string::npos);
}

// mirror's compare and delete options: what each sets, and where they are refused.
TEST(CliMirrorOptions, ParsedOrRefused) {
    struct MirrorCase {
        std::vector<std::string> args;
        std::string error;
        std::function<bool(const CommandLine&)> holds;
    };
    const std::vector<MirrorCase> cases = {
        {{"mirror", "-n", "--delete", "ftp://h/a", "b"},
         "",
         [](const CommandLine& l) { return l.dryRun && l.deleteExtra && !l.deleteAll; }},
        {{"mirror", "--delete-all", "--only-newer", "--only-missing", "ftp://h/a", "b"},
         "",
         [](const CommandLine& l) {
             return l.deleteExtra && l.deleteAll && l.onlyNewer && l.onlyMissing;
         }},
        {{"mirror", "--exclude", "*.bak", "--exclude=cache/*", "--checksum", "ftp://h/a", "b"},
         "",
         [](const CommandLine& l) {
             return l.excludes == std::vector<std::string>{"*.bak", "cache/*"} && l.checksum;
         }},
        {{"mirror", "--time-offset", "-2h", "--size-only", "ftp://h/a", "b"},
         "",
         [](const CommandLine& l) { return l.timeOffset == -7200 && l.sizeOnly; }},
        {{"mirror", "--time-offset=+30m", "--time-only", "ftp://h/a", "b"},
         "",
         [](const CommandLine& l) { return l.timeOffset == 1800 && l.timeOnly; }},
        {{"mirror", "--size-only", "--time-only", "ftp://h/a", "b"},
         "--size-only and --time-only contradict each other",
         {}},
        {{"mirror", "--time-offset", "2d", "ftp://h/a", "b"},
         "invalid value for --time-offset: 2d (seconds, or hours and minutes as +2h, -30m; at "
         "most a week)",
         {}},
        {{"mirror", "--exclude", "", "ftp://h/a", "b"}, "--exclude needs a pattern", {}},
        {{"get", "--dry-run", "ftp://h/a"}, "--dry-run applies to mirror only", {}},
        {{"put", "--exclude=*.o", "a", "ftp://h/"}, "--exclude applies to mirror only", {}},
    };
    for (const MirrorCase& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.args));
        CommandLine line;
        std::string error;
        const bool ok = ParseCommandLine(c.args, line, error);
        EXPECT_EQ(error, c.error);
        ASSERT_EQ(ok, c.error.empty());
        if (ok) {
            EXPECT_TRUE(c.holds(line));
        }
    }
    struct Offset {
        std::string text;
        std::optional<std::int64_t> seconds;
    };
    const std::vector<Offset> offsets = {
        {"3600", 3600},      {"+2h", 7200}, {"-30m", -1800},  {"-90s", -90}, {"0", 0},
        {"168h", 7 * 86400}, {"169h", {}},  {"", {}},         {"+", {}},     {"h", {}},
        {"1.5h", {}},        {"--1", {}},   {"99999999", {}},
    };
    for (const Offset& o : offsets)
        EXPECT_EQ(ParseTimeOffset(o.text), o.seconds) << o.text;
}

#include "core/permissions/permission_bits.h"

#include <gtest/gtest.h>

using namespace tw;

namespace {

// The nine boxes as "rwx" letters, "." for a partly checked box, "-" for an empty one.
QString boxes(const ModeChoice& c) {
    QString out;
    for (int who = 0; who < 3; ++who)
        for (int what = 0; what < 3; ++what)
            switch (StateOf(c, PermissionBit(who, what))) {
            case BitState::Set:
                out += QStringLiteral("rwx")[what];
                break;
            case BitState::Clear:
                out += u'-';
                break;
            case BitState::Mixed:
                out += u'.';
                break;
            }
    return out;
}

} // namespace

// Octal text, boxes and the choice agree both ways; undecided digits are "x".
TEST(PermissionBits, OctalTextAndBoxesAgree) {
    struct Row {
        const char* octal;
        ModeChoice choice;
        const char* boxes;
    };
    const Row rows[] = {
        {"755", {0755, 0777}, "rwxr-xr-x"}, {"000", {0, 0777}, "---------"},
        {"777", {0777, 0777}, "rwxrwxrwx"}, {"6x4", {0604, 0707}, "rw-...r--"},
        {"xxx", {0, 0}, "........."},
    };
    for (const Row& r : rows) {
        const QString octal = QString::fromLatin1(r.octal);
        EXPECT_EQ(OctalText(r.choice), octal);
        EXPECT_EQ(boxes(r.choice), QString::fromLatin1(r.boxes)) << r.octal;
        const std::optional<ModeChoice> parsed = ParseOctalText(octal);
        ASSERT_TRUE(parsed) << r.octal;
        EXPECT_EQ(*parsed, r.choice) << r.octal;
    }
    for (const char* bad : {"", "75", "7555", "758", "7-5", "abc"})
        EXPECT_FALSE(ParseOctalText(QString::fromLatin1(bad))) << bad;
    // A box turned on, off and back to partly checked.
    ModeChoice c{0, 0};
    c = WithBit(c, PermissionBit(0, 0), BitState::Set);
    c = WithBit(c, PermissionBit(2, 2), BitState::Clear);
    EXPECT_EQ(boxes(c), u"r.......-"_qs);
    c = WithBit(c, PermissionBit(0, 0), BitState::Mixed);
    EXPECT_EQ(boxes(c), u"........-"_qs);
}

// Rows with different modes leave the bits they differ on undecided; a row without a mode adds
// nothing. Applying keeps undecided bits and the special bits of each entry.
TEST(PermissionBits, MergeAndApply) {
    using M = std::optional<std::uint16_t>;
    struct Merge {
        std::vector<M> modes;
        ModeChoice common;
    };
    const Merge merges[] = {
        {{0644}, {0644, 0777}},
        {{0644, 0600}, {0600, 0733}},
        {{0755, std::nullopt, 04755}, {0755, 0777}},
        {{std::nullopt}, {0, 0}},
        {{}, {0, 0}},
    };
    for (const Merge& m : merges)
        EXPECT_EQ(CommonChoice(m.modes), m.common);

    struct Apply {
        ModeChoice choice;
        M mode;
        M result;
    };
    const Apply applies[] = {
        {{0600, 0777}, 0644, 0600},
        {{0600, 0777}, std::nullopt, 0600}, // every bit decided: the mode is not needed
        {{0020, 0024}, 0644, 0660},         // group write on, others' read off
        {{0020, 0024}, std::nullopt, std::nullopt},
        {{0700, 0777}, 04755, 04700}, // set-user bit kept
    };
    for (const Apply& a : applies)
        EXPECT_EQ(a.choice.applyTo(a.mode), a.result);
}

TEST(PermissionBits, TextsOfModesAndRights) {
    struct Row {
        std::uint16_t mode;
        const char* text;
    };
    const Row rows[] = {{0755, "rwxr-xr-x (755)"},
                        {0640, "rw-r----- (640)"},
                        {04755, "rwsr-xr-x (4755)"},
                        {07644, "rwSr-Sr-T (7644)"},
                        {01777, "rwxrwxrwt (1777)"}};
    for (const Row& r : rows)
        EXPECT_EQ(ModeWithOctalText(r.mode), QString::fromLatin1(r.text));
    EXPECT_EQ(RightsText(0), QString());
    EXPECT_EQ(RightsText(tw::ftp::RightBit('r') | tw::ftp::RightBit('w') | tw::ftp::RightBit('d')),
              u"read, write, delete"_qs);
}

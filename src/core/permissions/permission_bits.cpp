#include "core/permissions/permission_bits.h"

#include "ftp/dir_entry.h"

#include <QStringList>

namespace tw {

BitState StateOf(const ModeChoice& choice, std::uint16_t bit) {
    if (!(choice.known & bit))
        return BitState::Mixed;
    return (choice.bits & bit) ? BitState::Set : BitState::Clear;
}

ModeChoice WithBit(ModeChoice choice, std::uint16_t bit, BitState state) {
    choice.known =
        std::uint16_t(state == BitState::Mixed ? choice.known & ~bit : choice.known | bit);
    choice.bits = std::uint16_t(state == BitState::Set ? choice.bits | bit : choice.bits & ~bit);
    return choice;
}

ModeChoice CommonChoice(const std::vector<std::optional<std::uint16_t>>& modes) {
    ModeChoice choice;
    bool first = true;
    for (const auto& mode : modes) {
        if (!mode)
            continue;
        const std::uint16_t bits = *mode & 0777;
        if (first) {
            choice = {bits, 0777};
            first = false;
            continue;
        }
        choice.known = std::uint16_t(choice.known & ~(choice.bits ^ bits));
        choice.bits &= choice.known;
    }
    return choice;
}

QString OctalText(const ModeChoice& choice) {
    QString text;
    for (int who = 0; who < 3; ++who) {
        const int shift = 6 - who * 3;
        if (((choice.known >> shift) & 7) != 7)
            text += u'x';
        else
            text += QChar(u'0' + ((choice.bits >> shift) & 7));
    }
    return text;
}

std::optional<ModeChoice> ParseOctalText(const QString& text) {
    if (text.size() != 3)
        return std::nullopt;
    ModeChoice choice;
    for (int who = 0; who < 3; ++who) {
        const QChar c = text[who];
        const int shift = 6 - who * 3;
        if (c == u'x' || c == u'X')
            continue;
        if (c < u'0' || c > u'7')
            return std::nullopt;
        choice.bits |= std::uint16_t((c.unicode() - u'0') << shift);
        choice.known |= std::uint16_t(7 << shift);
    }
    return choice;
}

QString ModeText(std::uint16_t mode) {
    QString text(9, u'-');
    const char16_t letters[] = {u'r', u'w', u'x'};
    for (int i = 0; i < 9; ++i)
        if (mode & (0400u >> i))
            text[i] = letters[i % 3];
    const auto special = [&](int at, std::uint16_t bit, char16_t withX, char16_t withoutX) {
        if (mode & bit)
            text[at] = text[at] == u'x' ? withX : withoutX;
    };
    special(2, 04000, u's', u'S');
    special(5, 02000, u's', u'S');
    special(8, 01000, u't', u'T');
    return text;
}

QString ModeWithOctalText(std::uint16_t mode) {
    const int digits = (mode & 07000) ? 4 : 3;
    return ModeText(mode) + u" ("_qs +
           QString::number(mode & 07777, 8).rightJustified(digits, u'0') + u')';
}

QString RightsText(std::uint16_t rights) {
    struct Word {
        char letter;
        const char16_t* text;
    };
    static constexpr Word words[] = {
        {'r', u"read"},         {'w', u"write"},
        {'a', u"append"},       {'d', u"delete"},
        {'f', u"rename"},       {'l', u"list"},
        {'e', u"enter"},        {'c', u"create files"},
        {'m', u"make folders"}, {'p', u"delete contents"},
    };
    QStringList out;
    for (const Word& w : words)
        if (rights & ftp::RightBit(w.letter))
            out << QString::fromUtf16(w.text);
    return out.join(u", "_qs);
}

} // namespace tw

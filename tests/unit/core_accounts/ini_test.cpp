#include "core/accounts/ini_reader.h"
#include "core/accounts/ini_writer.h"

#include <gtest/gtest.h>

using namespace tw;

namespace {

QByteArray crlf(const char* text) {
    return QByteArray(text).replace("\n", "\r\n");
}

} // namespace

TEST(IniWriter, NewSectionsAreAppendedAfterOneBlankLine) {
    IniWriter ini;
    ini.appendRaw(QStringLiteral("; head\n"));
    ini.writeString(u"One"_qs, u"a"_qs, u"1"_qs);
    ini.writeString(u"One"_qs, u"b"_qs, u"2"_qs);
    ini.appendRaw(QStringLiteral("\n"));
    ini.writeString(u"Two"_qs, u"c"_qs, u"3"_qs); // text already ends with a blank line
    EXPECT_EQ(ini.toBytes(), crlf("; head\n\n[One]\na=1\nb=2\n\n[Two]\nc=3\n"));
}

TEST(IniWriter, ExistingKeysAreReplacedAndNewKeysJoinTheirSection) {
    IniWriter ini;
    ini.writeString(u"One"_qs, u"a"_qs, u"1"_qs);
    ini.appendRaw(QStringLiteral("; between\n"));
    ini.writeString(u"Two"_qs, u"c"_qs, u"3"_qs);
    ini.writeString(u"ONE"_qs, u"A"_qs, u"9"_qs); // same key, other case: replaced in place
    ini.writeString(u"one"_qs, u"b"_qs, u"2"_qs); // new key: after the section's last key
    ini.writeString(u"Two"_qs, u"d"_qs, u"4"_qs); // the later section still found after the insert
    EXPECT_EQ(ini.toBytes(), crlf("[One]\nA=9\nb=2\n; between\n\n[Two]\nc=3\nd=4\n"));
}

TEST(IniWriter, ValuesStayOnOneLineAndAnUnterminatedLineIsClosed) {
    IniWriter ini;
    ini.appendRaw(QStringLiteral("; no end"));
    ini.writeString(u"S"_qs, u"k"_qs, u"x\r\ny\nz"_qs);
    EXPECT_EQ(ini.toBytes(), crlf("; no end\n\n[S]\nk=x y z\n"));
}

TEST(IniReader, NamesIgnoreCaseAndBlanksAroundValuesAreDropped) {
    const IniReader ini("[Section One]\r\n  Some Key  =  some value  \r\n;x=comment\r\n"
                        "no equals sign\r\n[other]\r\nk=\r\n");
    EXPECT_EQ(ini.value(u"section one"_qs, u"SOME KEY"_qs), u"some value"_qs);
    EXPECT_EQ(ini.value(u"OTHER"_qs, u"k"_qs), QString());
    EXPECT_FALSE(ini.value(u"Section One"_qs, u";x"_qs));
    EXPECT_FALSE(ini.value(u"Section One"_qs, u"no equals sign"_qs));
    EXPECT_FALSE(ini.value(u"missing"_qs, u"k"_qs));
    EXPECT_TRUE(ini.hasSection(u"Other"_qs));
}

TEST(IniReader, AcceptsEveryLineEndAndNoFinalOne) {
    for (const QByteArray& text :
         {QByteArray("[s]\na=1\nb=2"), QByteArray("[s]\r\na=1\r\nb=2"), QByteArray("[s]\ra=1\rb=2"),
          QByteArray("[s]\r\na=1\nb=2\r\n")}) {
        const IniReader ini(text);
        EXPECT_EQ(ini.value(u"s"_qs, u"a"_qs), u"1"_qs) << text.constData();
        EXPECT_EQ(ini.value(u"s"_qs, u"b"_qs), u"2"_qs) << text.constData();
    }
}

TEST(IniReader, FirstSectionAndFirstKeyWinAndTheLastLineIsKept) {
    const IniReader ini("[s]\na=first\na=second\n[S]\na=third\nb=late\n\n; end of x  \n\n");
    EXPECT_EQ(ini.value(u"s"_qs, u"a"_qs), u"first"_qs);
    EXPECT_EQ(ini.value(u"s"_qs, u"b"_qs), u"late"_qs);
    EXPECT_EQ(ini.lastLine(), u"; end of x"_qs);
}

TEST(IniReader, DecodesUtf8Utf16AndWindows1252) {
    EXPECT_EQ(IniReader("\xEF\xBB\xBF[s]\nk=J\xC3\xB6rg").value(u"s"_qs, u"k"_qs), u"Jörg"_qs);
    EXPECT_EQ(IniReader("[s]\nk=J\xF6rg \x80").value(u"s"_qs, u"k"_qs), u"Jörg €"_qs);
    const QString utf16Text = u"[s]\r\nk=Jörg\r\n"_qs;
    QByteArray utf16("\xFF\xFE");
    for (const QChar c : utf16Text) {
        utf16.append(char(c.unicode() & 0xFF));
        utf16.append(char(c.unicode() >> 8));
    }
    EXPECT_EQ(IniReader(utf16).value(u"s"_qs, u"k"_qs), u"Jörg"_qs);
}

TEST(IniReader, AValueEndsAtANulAndGarbageDoesNotCrash) {
    EXPECT_EQ(IniReader(QByteArray("[s]\nk=ab\0cd\n", 12)).value(u"s"_qs, u"k"_qs), u"ab"_qs);
    QByteArray garbage;
    for (int i = 0; i < 100000; ++i)
        garbage.append(char((i * 7919 + 13) % 256));
    const IniReader ini(garbage);
    EXPECT_FALSE(ini.value(u"Tarnwick 2000"_qs, u"Signature"_qs).has_value());
}

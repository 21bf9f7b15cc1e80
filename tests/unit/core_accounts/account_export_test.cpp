#include "core/accounts/account_export.h"

#include <QFile>

#include <gtest/gtest.h>

using namespace tw;

namespace {

QByteArray readData(const char* name) {
    QFile file(QStringLiteral(TW_SOURCE_DIR "/tests/unit/core_accounts/data/") +
               QString::fromUtf8(name));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << name;
    return file.readAll();
}

// The state the golden file was written from.
AppState goldenState() {
    AppState s;
    AccountRecord a;
    a.Name = u"Archive Mirror"_qs;
    a.URL = u"ftp.example.org"_qs;
    a.IP = u"192.0.2.10"_qs;
    a.Anonymous = true;
    a.LocalPath = u"/home/user/Downloads"_qs;
    a.LocalMask = u"*.*"_qs;
    a.LocalSort = 1;
    a.LocalExclude = u"*.o"_qs; // not carried by the file
    a.RemotePath = u"/pub/mirror"_qs;
    a.RemoteMask = u"*.tar.gz"_qs;
    a.RemoteSort = 2;
    a.RemoteExclude = u"CVS"_qs;
    a.Passive = true;
    a.RemotePort = 21;
    a.Encryption = ftp::TlsMode::Implicit;
    a.Visits = 17;
    a.Comments = u"First line\r\nSecond line"_qs;
    AccountRecord b;
    b.Name = u"Büro Server"_qs;
    b.IP = u"198.51.100.7"_qs;
    b.UseIP = true;
    b.Login = u"jörg"_qs;
    b.Password = u"s3cr%t|x"_qs; // typed this run, not saved: still exported in plain text
    b.RemotePath = u"/"_qs;
    b.RemoteMask = u"*"_qs;
    b.RemoteSort = 3;
    b.RemotePort = 2121;
    b.Protocol = ftp::Protocol::Sftp;
    b.Visits = 4294967295u;
    s.Accounts = {a, b};
    s.CurrentAccount = 1;
    s.FileTypes = {{u".log"_qs, u"/usr/bin/less"_qs}, {u".txt"_qs, u"NotePad.exe"_qs}};
    s.DefaultEditor = u"/usr/bin/gedit"_qs;
    s.options.AlertLevel = 2;
    s.sounds = {SoundSetting{1, u"/usr/share/sounds/connected.wav"_qs}, SoundSetting{0, {}},
                SoundSetting{1, {}}, SoundSetting{1, u"/tmp/a b.wav"_qs},
                SoundSetting{0, u"/usr/share/sounds/error.wav"_qs}};
    return s;
}

const QString kPath = u"/home/user/Documents/Tarnwick 2000 Accounts.twx"_qs;

QByteArray exportOf(const AppState& s) {
    return BuildExportFile(s, kPath, u"Tuesday, 8 December 2026  17:55"_qs);
}

// A minimal sound export file with the given account sections; `count` as written.
QByteArray fileWith(const QByteArray& count, const QByteArray& sections,
                    const QByteArray& signature = "0x5B3D0C71") {
    return "[Tarnwick 2000]\r\nSignature=" + signature + "\r\n[Accounts]\r\nCount=" + count +
           "\r\n" + sections + "\r\n; end of x.twx\r\n";
}

} // namespace

TEST(AccountExport, WritesTheGoldenFileByteForByte) {
    QByteArray expected = readData("golden_export.twx");
    expected.replace("@PATH@", kPath.toUtf8());
    const QByteArray actual = exportOf(goldenState());
    EXPECT_EQ(actual, expected) << actual.constData();
}

TEST(AccountExport, EveryLineEndsWithCrLf) {
    const QByteArray bytes = exportOf(goldenState());
    EXPECT_EQ(bytes.count('\n'), bytes.count("\r\n"));
    EXPECT_TRUE(bytes.endsWith("\r\n"));
}

TEST(AccountExport, CommentsTravelOnOneLine) {
    EXPECT_EQ(CommentsToLine(u"one\r\ntwo\r\n\r\nfour"_qs), u"one|two||four"_qs);
    EXPECT_EQ(CommentsToLine(u"lf only\nand a lone \r"_qs), u"lf only|and a lone "_qs);
    EXPECT_EQ(LineToComments(u"one|two||four"_qs), u"one\r\ntwo\r\n\r\nfour"_qs);
}

TEST(AccountExport, RoundTripKeepsEveryCarriedField) {
    const AppState original = goldenState();
    const ImportParse parsed = ParseImportFile(exportOf(original));
    ASSERT_TRUE(parsed.data);
    ASSERT_EQ(parsed.data->accounts.size(), 2u);
    for (std::size_t i = 0; i < 2; ++i) {
        AccountRecord expected = original.Accounts[i];
        expected.LocalExclude.clear();
        expected.RemoteExclude.clear();
        EXPECT_EQ(parsed.data->accounts[i], expected) << i;
    }
    EXPECT_EQ(parsed.data->accounts[0].Comments, u"First line\r\nSecond line"_qs);
    EXPECT_EQ(parsed.data->fileTypes, original.FileTypes);
    EXPECT_EQ(parsed.data->defaultEditor, original.DefaultEditor);
    EXPECT_EQ(parsed.data->alertLevel, 2u);
    EXPECT_EQ(parsed.data->sounds, original.sounds);
}

TEST(AccountImport, ApplyReplacesTablesAndClearsExcludeLists) {
    AppState state = goldenState();
    state.Accounts.resize(10);
    for (auto& a : state.Accounts) {
        a.LocalExclude = u"old*"_qs;
        a.RemoteExclude = u"old*"_qs;
    }
    state.CurrentAccount = 7;
    ImportParse parsed = ParseImportFile(exportOf(goldenState()));
    ASSERT_TRUE(parsed.data);
    ApplyImport(state, *parsed.data);
    ASSERT_EQ(state.AccountCount(), 2);
    for (const auto& a : state.Accounts) {
        EXPECT_TRUE(a.LocalExclude.isEmpty());
        EXPECT_TRUE(a.RemoteExclude.isEmpty());
    }
    EXPECT_EQ(state.CurrentAccount, 0); // pointed past the new table

    state.CurrentAccount = 1;
    ApplyImport(state, *parsed.data);
    EXPECT_EQ(state.CurrentAccount, 1); // still valid: kept
    ApplyImport(state, ImportData{});
    EXPECT_EQ(state.CurrentAccount, -1);
    EXPECT_TRUE(state.FileTypes.empty());
}

TEST(AccountImport, SignatureCheck) {
    EXPECT_TRUE(ParseImportFile(fileWith("0", "", "0x5b3d0c71")).data);
    EXPECT_TRUE(ParseImportFile(fileWith("0", "", " 5B3D0C71 ")).data); // no prefix: still base 16
    EXPECT_EQ(ParseImportFile(fileWith("0", "", "0x5B3D0C72")).problem,
              ImportProblem::BadSignature);
    EXPECT_EQ(ParseImportFile(fileWith("0", "", "0x15B3D0C71")).problem,
              ImportProblem::BadSignature);
    EXPECT_EQ(ParseImportFile(fileWith("0", "", "")).problem, ImportProblem::BadSignature);
    EXPECT_EQ(ParseImportFile("[Accounts]\r\nCount=0\r\n; end of x\r\n").problem,
              ImportProblem::BadSignature);
    EXPECT_EQ(ParseImportFile(QByteArray()).problem, ImportProblem::BadSignature);
}

TEST(AccountImport, MissingKeysTakeTheirDefaults) {
    const ImportParse parsed = ParseImportFile(fileWith("1", "[Account-001]\r\nName=Only\r\n"));
    ASSERT_TRUE(parsed.data);
    const AccountRecord& a = parsed.data->accounts.at(0);
    EXPECT_EQ(a.Name, u"Only"_qs);
    EXPECT_TRUE(a.Anonymous);
    EXPECT_TRUE(a.Passive);
    EXPECT_FALSE(a.UseIP);
    EXPECT_FALSE(a.SavePassword);
    EXPECT_EQ(a.RemotePort, 21u);
    EXPECT_EQ(a.Visits, 0u);
    EXPECT_TRUE(a.Comments.isEmpty());
    EXPECT_TRUE(parsed.data->fileTypes.empty());
    EXPECT_EQ(parsed.data->defaultEditor, u"NotePad.exe"_qs);
    EXPECT_EQ(parsed.data->alertLevel, 1u);
    for (const SoundSetting& s : parsed.data->sounds) {
        EXPECT_EQ(s.Active, 1u);
        EXPECT_TRUE(s.WaveFile.isEmpty());
    }
}

// A file without the key (every file written before encryption existed) keeps plain FTP; a
// number no mode has (a newer program's) must not weaken the connection.
TEST(AccountImport, EncryptionIsReadAsItsModeAndNeverWeaker) {
    const struct {
        QByteArray line;
        ftp::TlsMode mode;
    } cases[] = {
        {"", ftp::TlsMode::Plain},
        {"Encryption=0\r\n", ftp::TlsMode::Plain},
        {"Encryption=1\r\n", ftp::TlsMode::ExplicitIfAvailable},
        {"Encryption=2\r\n", ftp::TlsMode::ExplicitRequired},
        {"Encryption= 3 \r\n", ftp::TlsMode::Implicit},
        {"Encryption=4\r\n", ftp::TlsMode::ExplicitRequired},
        {"Encryption=-1\r\n", ftp::TlsMode::ExplicitRequired},
        {"Encryption=99999999999\r\n", ftp::TlsMode::ExplicitRequired},
        {"Encryption=tls\r\n", ftp::TlsMode::ExplicitRequired},
    };
    for (const auto& c : cases) {
        const ImportParse parsed =
            ParseImportFile(fileWith("1", "[Account-001]\r\nName=Only\r\n" + c.line));
        ASSERT_TRUE(parsed.data) << c.line.constData();
        EXPECT_EQ(parsed.data->accounts.at(0).Encryption, c.mode) << c.line.constData();
    }
}

TEST(AccountImport, ReadsAFileWrittenWithWindowsConventions) {
    const ImportParse parsed = ParseImportFile(readData("windows_export.twx"));
    ASSERT_TRUE(parsed.data) << int(parsed.problem);
    ASSERT_EQ(parsed.data->accounts.size(), 2u);
    const AccountRecord& a = parsed.data->accounts[0];
    EXPECT_EQ(a.Name, u"Café € Files"_qs);
    EXPECT_EQ(a.URL, u"ftp.example.net"_qs);
    EXPECT_EQ(a.Login, u"guest"_qs);
    EXPECT_EQ(a.Password, u"päss"_qs);
    EXPECT_FALSE(a.Anonymous);
    EXPECT_EQ(a.LocalPath, u"C:\\Downloads\\Café"_qs);
    EXPECT_EQ(a.RemotePort, 990u);
    EXPECT_EQ(a.Comments, u"Line one\r\nLine two\r\n"_qs);
    EXPECT_EQ(parsed.data->accounts[1].Name, u"Bare"_qs);
    EXPECT_TRUE(parsed.data->accounts[1].Anonymous);
    ASSERT_EQ(parsed.data->fileTypes.size(), 1u);
    EXPECT_EQ(parsed.data->fileTypes[0].Ext, u".TXT"_qs);
    EXPECT_EQ(parsed.data->alertLevel, 0u);
    EXPECT_EQ(parsed.data->sounds[4].Active, 0u);
    EXPECT_EQ(parsed.data->sounds[4].WaveFile, u"C:\\Windows\\Media\\chord.wav"_qs);
    EXPECT_EQ(parsed.data->sounds[0].Active, 1u);
}

TEST(AccountImport, CountsAreClampedOrRefused) {
    QByteArray many;
    for (int i = 1; i <= 300; ++i)
        many += QByteArray("[Account-") + QByteArray::number(i).rightJustified(3, '0') +
                "]\r\nName=n" + QByteArray::number(i) + "\r\n";
    const ImportParse clamped = ParseImportFile(fileWith("300", many));
    ASSERT_TRUE(clamped.data);
    ASSERT_EQ(clamped.data->accounts.size(), 256u);
    EXPECT_EQ(clamped.data->accounts.back().Name, u"n256"_qs);

    EXPECT_EQ(ParseImportFile(fileWith("-1", "")).problem, ImportProblem::Damaged);
    EXPECT_EQ(ParseImportFile(fileWith("two", "")).problem, ImportProblem::Damaged);
    EXPECT_EQ(ParseImportFile(fileWith("99999999999999999999999", "")).problem,
              ImportProblem::Damaged);
    // Announced but missing rows: the file was cut short.
    EXPECT_EQ(ParseImportFile(fileWith("2", "[Account-001]\r\nName=a\r\n")).problem,
              ImportProblem::Damaged);
}

TEST(AccountImport, ATruncatedFileIsRefused) {
    const QByteArray whole = exportOf(goldenState());
    ASSERT_TRUE(ParseImportFile(whole).data);
    // Cut anywhere before the end line, even inside the last section's keys.
    for (const qsizetype cut : {whole.size() / 2, whole.indexOf("Comments=First"),
                                whole.indexOf("WAV File=/usr/share/sounds/error")}) {
        EXPECT_EQ(ParseImportFile(whole.left(cut)).problem, ImportProblem::Damaged) << cut;
    }
    // Cut inside the signature: not recognised at all.
    EXPECT_FALSE(ParseImportFile(whole.left(whole.indexOf("0C71"))).data);
}

TEST(AccountImport, NumbersOutOfRangeTakeDefaults) {
    const ImportParse parsed = ParseImportFile(fileWith(
        "1", "[Account-001]\r\nLocal Sort=9\r\nRemote Sort=-1\r\nPort=70000\r\nVisits=-3\r\n"
             "Passive=abc\r\nAnonymous=7\r\nUse IP=x\r\n[Sounds]\r\nAlert Level=5\r\n"));
    ASSERT_TRUE(parsed.data);
    const AccountRecord& a = parsed.data->accounts.at(0);
    EXPECT_EQ(a.LocalSort, 0);
    EXPECT_EQ(a.RemoteSort, 0);
    EXPECT_EQ(a.RemotePort, 21u);
    EXPECT_EQ(a.Visits, 0u);
    EXPECT_TRUE(a.Passive);
    EXPECT_TRUE(a.Anonymous); // any nonzero number is on
    EXPECT_FALSE(a.UseIP);
    EXPECT_EQ(parsed.data->alertLevel, 1u);
}

TEST(AccountImport, OverlongTextsAreCutAtCharacterBoundaries) {
    const QByteArray longName = QString(60, QChar(u'é')).toUtf8();
    // 47 characters of the name field: the 47th is the first half of an emoji pair.
    const QByteArray emojiName = QByteArray(46, 'n') + "\xF0\x9F\x98\x80" + "tail";
    QByteArray notes;
    for (int i = 0; i < 600; ++i)
        notes += "a|";
    const ImportParse parsed = ParseImportFile(fileWith(
        "2", "[Account-001]\r\nName=" + longName + "\r\nComments=" + notes + "\r\nLocal Mask=" +
                 QByteArray(100, '*') + "\r\n[Account-002]\r\nName=" + emojiName + "\r\n"));
    ASSERT_TRUE(parsed.data);
    const AccountRecord& a = parsed.data->accounts.at(0);
    EXPECT_EQ(a.Name, QString(47, QChar(u'é')));
    EXPECT_EQ(a.LocalMask.size(), 23);
    EXPECT_LE(a.Comments.size(), 1023);
    EXPECT_FALSE(a.Comments.endsWith(u'\r')); // a line break is never cut in two
    EXPECT_TRUE(a.Comments.startsWith(u"a\r\na\r\n"_qs));
    EXPECT_EQ(parsed.data->accounts.at(1).Name, QString(46, u'n'));
}

TEST(AccountImport, CutCommentsKeepsShortTextAndDropsAHalfLineBreak) {
    EXPECT_EQ(CutComments(u"short\r\n"_qs), u"short\r\n"_qs);
    const QString exact = QString(1022, u'x') + u"\r\nmore"_qs;
    EXPECT_EQ(CutComments(exact), QString(1022, u'x'));
}

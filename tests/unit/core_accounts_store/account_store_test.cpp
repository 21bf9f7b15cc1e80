#include "core/accounts/account_store.h"
#include "core/settings/settings_store.h"
#include "core/state/app_state.h"

#include <QSettings>
#include <QTemporaryDir>

#include <QRegularExpression>

#include <gtest/gtest.h>

#include <memory>

using namespace tw;

namespace {

struct AccountStoreTest : ::testing::Test {
    QTemporaryDir dir;
    QString file = dir.filePath(u"accounts.conf"_qs);

    void save(const AppState& state) {
        SettingsStore store(file);
        SaveAccounts(store, state);
        ASSERT_TRUE(store.Sync());
    }
    AppState load(bool byVisits = false) {
        AppState state;
        state.options.Frequency = byVisits ? 1 : 0;
        const SettingsStore store(file);
        EXPECT_TRUE(LoadAccounts(store, state));
        return state;
    }
    QVariant raw(const QString& key) const {
        QSettings s(file, QSettings::IniFormat);
        return s.value(key);
    }
    void plant(const QString& key, const QVariant& value) {
        QSettings s(file, QSettings::IniFormat);
        s.setValue(key, value);
    }
    QStringList rowKeys() const {
        QSettings s(file, QSettings::IniFormat);
        s.beginGroup(u"Accounts"_qs);
        QStringList rows = s.childGroups();
        rows.sort();
        return rows;
    }
};

AccountRecord account(const QString& name, std::uint32_t visits = 0) {
    AccountRecord a;
    a.Name = name;
    a.Visits = visits;
    a.Passive = true;
    return a;
}

AppState table(std::initializer_list<AccountRecord> rows, int current = 0) {
    AppState s;
    s.Accounts = rows;
    s.CurrentAccount = current;
    return s;
}

QStringList names(const AppState& s) {
    QStringList n;
    for (const AccountRecord& a : s.Accounts)
        n << a.Name;
    return n;
}

QStringList rowNames(int from, int to) {
    QStringList rows;
    for (int i = from; i <= to; ++i)
        rows << u"Account-%1"_qs.arg(i, 3, 10, QChar(u'0'));
    return rows;
}

} // namespace

TEST(PasswordScrambling, EveryByteIsRaisedAndWrapsBack) {
    const QString passwords[] = {
        u"abc"_qs,
        QString(),
        u"pässwörd"_qs,
        u"дом"_qs,
        u"ˇ"_qs /* CB 87: CB raised wraps to 0 */,
        u"💾x"_qs,
        QString(63, u'z'),
    };
    for (const QString& p : passwords) {
        const QString stored = ScramblePassword(p);
        const QByteArray bytes = p.toUtf8();
        ASSERT_EQ(stored.size(), bytes.size());
        for (qsizetype i = 0; i < bytes.size(); ++i)
            EXPECT_EQ(stored.at(i).unicode(),
                      (static_cast<unsigned char>(bytes[i]) + kPasswordShift) % 256);
        EXPECT_EQ(UnscramblePassword(stored), p);
    }
    EXPECT_NE(ScramblePassword(u"abc"_qs), u"abc"_qs);
}

// A password is never written readable: a kept one leaves its marker, a typed one nothing
// until a store takes it; only an older version's scrambled value is written back as it was
// read, wrapped bytes included, so that nothing is lost before it is moved.
TEST_F(AccountStoreTest, PasswordsLeaveOnlyMarkersAndAnOlderScrambledValueSurvivesUntilMoved) {
    AccountRecord older = account(u"older"_qs);
    older.SavePassword = true;
    older.Password = u"ˇдé\t 1"_qs; // bytes that wrap to 0 and to control characters
    older.Kept = PasswordPlace::Scrambled;
    AccountRecord kept = account(u"kept"_qs);
    kept.SavePassword = true;
    kept.Password = u"read this run"_qs;
    kept.Kept = PasswordPlace::Keyring;
    kept.SecretId = u"id-1"_qs;
    AccountRecord typed = account(u"typed"_qs);
    typed.SavePassword = true;
    typed.Password = u"not kept yet"_qs;
    AccountRecord plain = account(u"plain"_qs);
    plain.Password = u"forgotten"_qs;
    plain.Login = u"login"_qs;
    save(table({older, kept, typed, plain}));

    EXPECT_EQ(raw(u"Accounts/Account-001/Password"_qs).toString(),
              ScramblePassword(older.Password));
    for (int row = 2; row <= 4; ++row)
        EXPECT_EQ(raw(u"Accounts/Account-00%1/Password"_qs.arg(row)).toString(), QString());
    EXPECT_EQ(raw(u"Accounts/Account-002/Password Store"_qs).toInt(), 1);
    EXPECT_EQ(raw(u"Accounts/Account-003/Password Store"_qs).toInt(), 0);

    const AppState loaded = load(); // sorted: kept, older, plain, typed
    ASSERT_EQ(loaded.AccountCount(), 4);
    EXPECT_EQ(loaded.Accounts[1].Password, older.Password);
    EXPECT_EQ(loaded.Accounts[1].Kept, PasswordPlace::Scrambled);
    EXPECT_EQ(loaded.Accounts[0].Password, QString());
    EXPECT_EQ(loaded.Accounts[0].Kept, PasswordPlace::Keyring);
    EXPECT_EQ(loaded.Accounts[0].SecretId, u"id-1"_qs);
    EXPECT_EQ(loaded.Accounts[2].Password, QString());
    EXPECT_EQ(loaded.Accounts[2].Login, u"login"_qs);
    EXPECT_EQ(loaded.Accounts[3].Password, QString());
    EXPECT_EQ(loaded.Accounts[3].Kept, PasswordPlace::None);
}

// Every mode round-trips as its number; a row saved before encryption existed (no value) stays
// plain, and a number no mode has reads as the strict explicit mode, never weaker.
TEST_F(AccountStoreTest, EncryptionIsStoredAsItsNumberAndNeverReadWeaker) {
    using ftp::TlsMode;
    for (const TlsMode mode : {TlsMode::Plain, TlsMode::ExplicitIfAvailable,
                               TlsMode::ExplicitRequired, TlsMode::Implicit}) {
        AccountRecord a = account(u"Site"_qs);
        a.Encryption = mode;
        save(table({a}));
        EXPECT_EQ(raw(u"Accounts/Account-001/Encryption"_qs).toString(),
                  QString::number(int(mode)));
        EXPECT_EQ(load().Accounts.at(0), a);
    }
    const struct {
        QVariant stored; // invalid: no value
        TlsMode mode;
    } cases[] = {
        {QVariant(), TlsMode::Plain},
        {QVariant(u"4"_qs), TlsMode::ExplicitRequired},
        {QVariant(u"4294967295"_qs), TlsMode::ExplicitRequired},
        {QVariant(u"1"_qs), TlsMode::ExplicitIfAvailable},
    };
    for (const auto& c : cases) {
        save(table({account(u"Site"_qs)}));
        {
            QSettings s(file, QSettings::IniFormat);
            s.remove(u"Accounts/Account-001/Encryption"_qs);
            if (c.stored.isValid())
                s.setValue(u"Accounts/Account-001/Encryption"_qs, c.stored);
        }
        EXPECT_EQ(load().Accounts.at(0).Encryption, c.mode) << c.stored.toString().toStdString();
    }
    // The first start's samples are new accounts.
    for (const AccountRecord& sample : SampleAccounts())
        EXPECT_EQ(sample.Encryption, TlsMode::ExplicitIfAvailable);
}

// The protocol, key file and agent choice round-trip; a record written before they existed
// (or by a newer program with another protocol number) reads as FTP with the agent on.
TEST_F(AccountStoreTest, ProtocolKeyFileAndAgentRoundTripAndOlderRecordsReadAsFtp) {
    AccountRecord sftp = account(u"Shell"_qs);
    sftp.Protocol = ftp::Protocol::Sftp;
    sftp.RemotePort = 22;
    sftp.KeyFile = u"/home/amy/.ssh/id_ed25519"_qs;
    sftp.UseAgent = false;
    AccountRecord plain = account(u"Archive"_qs);
    save(table({plain, sftp}));
    EXPECT_EQ(raw(u"Accounts/Account-002/Protocol"_qs).toString(), u"1"_qs);
    EXPECT_EQ(raw(u"Accounts/Account-002/Key File"_qs).toString(), sftp.KeyFile);
    EXPECT_EQ(raw(u"Accounts/Account-002/Use Agent"_qs).toString(), u"0"_qs);
    const AppState back = load();
    ASSERT_EQ(back.Accounts.size(), 2u);
    EXPECT_EQ(back.Accounts[0], plain);
    EXPECT_EQ(back.Accounts[1], sftp);

    const struct {
        QVariant protocol; // invalid: no value
        ftp::Protocol read;
    } cases[] = {
        {QVariant(), ftp::Protocol::Ftp},
        {QVariant(u"7"_qs), ftp::Protocol::Ftp},
        {QVariant(u"junk"_qs), ftp::Protocol::Ftp},
        {QVariant(u"1"_qs), ftp::Protocol::Sftp},
    };
    for (const auto& c : cases) {
        save(table({sftp}));
        {
            QSettings s(file, QSettings::IniFormat);
            for (const char* name : {"Protocol", "Key File", "Use Agent"})
                s.remove(u"Accounts/Account-001/"_qs + QLatin1String(name));
            if (c.protocol.isValid())
                s.setValue(u"Accounts/Account-001/Protocol"_qs, c.protocol);
        }
        const AccountRecord read = load().Accounts.at(0);
        SCOPED_TRACE(c.protocol.toString().toStdString());
        EXPECT_EQ(read.Protocol, c.read);
        EXPECT_TRUE(read.KeyFile.isEmpty());
        EXPECT_TRUE(read.UseAgent);
    }
}

TEST_F(AccountStoreTest, CommentsAlwaysOccupy1024BytesOfBinary) {
    AccountRecord shortNote = account(u"a"_qs);
    shortNote.Comments = u"first line\r\nsecond line"_qs;
    AccountRecord empty = account(u"b"_qs);
    AccountRecord longNote = account(u"c"_qs);
    longNote.Comments = QString(600, u'ä'); // 1200 bytes of UTF-8: cut at a character boundary
    save(table({shortNote, empty, longNote}));

    for (int row = 1; row <= 3; ++row) {
        const QVariant v = raw(u"Accounts/Account-%1/Comments"_qs.arg(row, 3, 10, QChar(u'0')));
        ASSERT_EQ(v.typeId(), QMetaType::QByteArray);
        EXPECT_EQ(v.toByteArray().size(), kCommentsBytes);
    }
    const QByteArray stored = raw(u"Accounts/Account-001/Comments"_qs).toByteArray();
    EXPECT_TRUE(stored.startsWith(shortNote.Comments.toUtf8()));
    EXPECT_EQ(stored.count('\0'), kCommentsBytes - shortNote.Comments.toUtf8().size());

    const AppState loaded = load();
    EXPECT_EQ(loaded.Accounts[0].Comments, shortNote.Comments);
    EXPECT_EQ(loaded.Accounts[1].Comments, QString());
    EXPECT_EQ(loaded.Accounts[2].Comments, QString(511, u'ä'));
}

TEST(CommentsEncoding, ReadsTolerateMissingShortAndOversizedValues) {
    EXPECT_EQ(DecodeComments(QByteArray()), QString());
    EXPECT_EQ(DecodeComments(QByteArray("abc")), u"abc"_qs);
    EXPECT_EQ(DecodeComments(QByteArray(5000, 'x')).size(), kCommentsBytes - 1);
    QByteArray withNul("before\0after", 12);
    EXPECT_EQ(DecodeComments(withNul), u"before"_qs);
    EXPECT_EQ(EncodeComments(QString(2000, u'€')).size(), kCommentsBytes);
}

TEST_F(AccountStoreTest, LoadOrdersByNameOrByVisits) {
    save(table({account(u"b"_qs, 3), account(u"C"_qs, 10), account(u"a"_qs, 10)}));
    EXPECT_EQ(names(load(true)), (QStringList{u"a"_qs, u"C"_qs, u"b"_qs}));
    EXPECT_EQ(names(load(false)), (QStringList{u"a"_qs, u"b"_qs, u"C"_qs}));
    // The table is written in its in-memory order, unsorted.
    EXPECT_EQ(raw(u"Accounts/Account-001/Name"_qs).toString(), u"b"_qs);
}

TEST_F(AccountStoreTest, CurrentAccountFollowsItsRecordThroughTheSort) {
    save(table({account(u"zeta"_qs), account(u"alpha"_qs), account(u"mu"_qs)}, 0));
    const AppState loaded = load();
    ASSERT_EQ(loaded.CurrentAccount, 2);
    EXPECT_EQ(loaded.Accounts[2].Name, u"zeta"_qs);
}

TEST_F(AccountStoreTest, CurrentOutOfRangeIsClamped) {
    save(table({account(u"a"_qs), account(u"b"_qs), account(u"c"_qs)}));
    plant(u"Accounts/Current"_qs, 9);
    EXPECT_EQ(load().CurrentAccount, 2);
    plant(u"Accounts/Current"_qs, -4);
    EXPECT_EQ(load().CurrentAccount, 0);
    plant(u"Accounts/Current"_qs, u"garbage"_qs);
    EXPECT_EQ(load().CurrentAccount, 0);

    save(table({}, -1));
    EXPECT_EQ(load().CurrentAccount, -1);
}

TEST_F(AccountStoreTest, RemovedRowsLeaveNoKeys) {
    AppState eight;
    for (int i = 0; i < 8; ++i)
        eight.Accounts.push_back(account(u"n%1"_qs.arg(i)));
    save(eight);
    ASSERT_EQ(rowKeys(), rowNames(1, 8));

    eight.Accounts.resize(5);
    save(eight);
    EXPECT_EQ(rowKeys(), rowNames(1, 5));
    EXPECT_FALSE(raw(u"Accounts/Account-006/Name"_qs).isValid());
    EXPECT_FALSE(raw(u"Accounts/Account-008/Comments"_qs).isValid());

    save(table({}, -1));
    EXPECT_TRUE(rowKeys().isEmpty());
    EXPECT_EQ(raw(u"Accounts/Count"_qs).toInt(), 0);
}

TEST_F(AccountStoreTest, CountAboveTheTableReadsTheFirst256) {
    {
        QSettings s(file, QSettings::IniFormat);
        s.setValue(u"Accounts/Count"_qs, 300);
        for (int i = 1; i <= 300; ++i)
            s.setValue(u"Accounts/Account-%1/Name"_qs.arg(i, 3, 10, QChar(u'0')),
                       u"acc%1"_qs.arg(i, 3, 10, QChar(u'0')));
    }
    const AppState loaded = load();
    ASSERT_EQ(loaded.AccountCount(), kMaxAccounts);
    EXPECT_EQ(loaded.Accounts.back().Name, u"acc256"_qs);

    save(loaded);
    EXPECT_EQ(raw(u"Accounts/Count"_qs).toInt(), 256);
    EXPECT_EQ(rowKeys(), rowNames(1, 256));

    plant(u"Accounts/Count"_qs, -1);
    EXPECT_EQ(load().AccountCount(), 0);
}

TEST_F(AccountStoreTest, MissingRowsAndValuesReadAsDefaults) {
    plant(u"Accounts/Count"_qs, 2);
    plant(u"Accounts/Account-001/Name"_qs, u"only a name"_qs);
    const AppState loaded = load();
    ASSERT_EQ(loaded.AccountCount(), 2);
    for (const AccountRecord& a : loaded.Accounts) {
        EXPECT_TRUE(a.Passive);
        EXPECT_EQ(a.RemotePort, 21u);
        EXPECT_FALSE(a.Anonymous);
        EXPECT_EQ(a.Comments, QString());
    }
    EXPECT_EQ(loaded.Accounts[0].Name, QString()); // the missing row sorts first
    EXPECT_EQ(loaded.Accounts[1].Name, u"only a name"_qs);
}

TEST_F(AccountStoreTest, EveryFieldRoundTripsAndOverlongTextsAreCut) {
    AccountRecord a;
    a.Name = u"Full"_qs;
    a.URL = u"ftp.example.net"_qs;
    a.IP = u"192.0.2.7"_qs;
    a.UseIP = true;
    a.Anonymous = false;
    a.Login = u"user"_qs;
    a.SavePassword = true;
    a.Kept = PasswordPlace::Vault;
    a.SecretId = u"0b6e3f0a-58c1-4c3e-8f2d-7a9e1b2c3d4e"_qs;
    a.Passive = false;
    a.RemotePort = 2121;
    a.LocalPath = u"/home/u/site"_qs;
    a.LocalMask = u"*.html"_qs;
    a.LocalSort = 3;
    a.LocalExclude = u"bak;tmp"_qs;
    a.RemotePath = u"/pub/www"_qs;
    a.RemoteMask = u"*.*"_qs;
    a.RemoteSort = 2;
    a.RemoteExclude = u"log"_qs;
    a.Visits = 4000000000u;
    a.Comments = u"notes"_qs;
    AppState s = table({a});
    s.ExportPath = u"/home/u/Documents/x.twx"_qs;
    save(s);
    const AppState loaded = load();
    ASSERT_EQ(loaded.AccountCount(), 1);
    EXPECT_EQ(loaded.Accounts[0], a);
    EXPECT_EQ(loaded.ExportPath, s.ExportPath);

    AccountRecord big = account(QString(100, u'n'));
    big.RemoteMask = QString(40, u'*');
    big.Password = QString(100, u'p');
    big.SavePassword = true;
    big.Kept = PasswordPlace::Scrambled;
    save(table({big}));
    const AccountRecord back = load().Accounts.at(0);
    EXPECT_EQ(back.Name.size(), kAccountNameLimit);
    EXPECT_EQ(back.RemoteMask.size(), kAccountMaskLimit);
    EXPECT_EQ(back.Password.size(), kAccountPasswordLimit);
}

TEST(SampleAccounts, FourAnonymousPassiveAccountsWithTheirSitesAddresses) {
    const auto samples = SampleAccounts();
    ASSERT_EQ(samples.size(), 4u);
    EXPECT_EQ(samples[0].Name, u"Lucas Arts"_qs);
    EXPECT_EQ(samples[1].Name, u"Microsoft Corporation"_qs);
    EXPECT_EQ(samples[2].Name, u"NASA Images"_qs);
    EXPECT_EQ(samples[3].Name, u"Wiley & Sons Publishing"_qs);
    for (const AccountRecord& a : samples) {
        // A bare host name: what Connect passes on as it is.
        static const QRegularExpression hostName(u"^[a-z0-9-]+(\\.[a-z0-9-]+)+$"_qs);
        EXPECT_TRUE(hostName.match(a.URL).hasMatch()) << a.URL.toStdString();
        EXPECT_FALSE(a.UseIP);
        EXPECT_TRUE(a.Anonymous);
        EXPECT_TRUE(a.Passive);
        EXPECT_EQ(a.RemotePort, 21u);
        EXPECT_EQ(a.Visits, 0u);
        EXPECT_TRUE(a.Login.isEmpty());
    }
}

// The SQLite access layer and the Windows-1250 converter at the storage boundary.
#include "storage/Cp1250.h"
#include "storage/CppSQLite3.h"
#include "storage/SqlText.h"

#include <QTemporaryDir>
#include <QtTest>

#include <iconv.h>

class TestSqliteLayer : public QObject
{
    Q_OBJECT
private:
    QTemporaryDir m_dir;
    QString path(const char* name) const { return m_dir.filePath(QString::fromLatin1(name)); }

private Q_SLOTS:
    void codeNames_data();
    void codeNames();
    void everyCodeSqliteKnowsHasAName();
    void exceptionText();
    void reasonsInPolish_data();
    void reasonsInPolish();
    void emptySelectReadsNullDefaults();
    void columnIndexIsCaseSensitive();
    void hasTableOnlyForTables();
    void hasTableWithLongAndQuotedNames();
    void updateMatchingNothingReturnsZero();
    void openingMissingFileCreatesIt();
    void closedConnectionAndReleasedCursorThrow();
    void cursorTransferKeepsOneOwner();
    void codecMatchesIconvForEveryByte();
    void codecRefusesForeignCharacters();
    void quotesNeverEndALiteral();
};

void TestSqliteLayer::codeNames_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("name");
    QTest::newRow("ok") << 0 << "SQLITE_OK";
    QTest::newRow("error") << 1 << "SQLITE_ERROR";
    QTest::newRow("busy") << 5 << "SQLITE_BUSY";
    QTest::newRow("readonly") << 8 << "SQLITE_READONLY";
    QTest::newRow("notadb") << 26 << "SQLITE_NOTADB";
    QTest::newRow("warning") << 28 << "SQLITE_WARNING";
    QTest::newRow("row") << 100 << "SQLITE_ROW";
    QTest::newRow("done") << 101 << "SQLITE_DONE";
    QTest::newRow("layer") << 1000 << "CPPSQLITE_ERROR";
    QTest::newRow("extended busy") << (5 | (1 << 8)) << "UNKNOWN_ERROR";
}

void TestSqliteLayer::codeNames()
{
    QFETCH(int, code);
    QFETCH(QString, name);
    QCOMPARE(QString::fromLatin1(CppSQLite3Exception::codeName(code)), name);
}

void TestSqliteLayer::everyCodeSqliteKnowsHasAName()
{
    for (int code = 0; code < 256; ++code)
        if (QByteArray(sqlite3_errstr(code)) != "unknown error")
            QVERIFY2(QByteArray(CppSQLite3Exception::codeName(code)) != "UNKNOWN_ERROR",
                     sqlite3_errstr(code));
}

void TestSqliteLayer::reasonsInPolish_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("reason");
    QTest::newRow("not a database") << SQLITE_NOTADB
                                    << "plik nie jest rejestrem ani innym plikiem danych programu";
    QTest::newRow("damaged") << SQLITE_CORRUPT << "plik jest uszkodzony";
    QTest::newRow("damaged index (extended)") << SQLITE_CORRUPT_INDEX << "plik jest uszkodzony";
    QTest::newRow("disk full") << SQLITE_FULL << "brak miejsca na dysku";
    QTest::newRow("busy") << SQLITE_BUSY << "plik jest zablokowany przez inny program";
    QTest::newRow("busy snapshot (extended)")
        << SQLITE_BUSY_SNAPSHOT << "plik jest zablokowany przez inny program";
    QTest::newRow("locked") << SQLITE_LOCKED << "plik jest zablokowany przez inny program";
    QTest::newRow("write error (extended)") << SQLITE_IOERR_WRITE << "błąd odczytu lub zapisu dysku";
    QTest::newRow("read-only") << SQLITE_READONLY << "plik jest tylko do odczytu";
    QTest::newRow("cannot open") << SQLITE_CANTOPEN << "nie można otworzyć pliku";
    QTest::newRow("no such table") << SQLITE_ERROR << "plik nie ma budowy, której program oczekuje";
    QTest::newRow("layer's own") << CPPSQLITE_ERROR << "plik nie ma budowy, której program oczekuje";
    QTest::newRow("unknown") << 999 << "wewnętrzny błąd bazy danych";
}

void TestSqliteLayer::reasonsInPolish()
{
    QFETCH(int, code);
    QFETCH(QString, reason);
    QCOMPARE(SqlText::reason(code), reason);
    // The user is told the reason; the code's name stays for the log.
    MessageBuffer buf;
    QVERIFY(!SqlText::fail(buf, CppSQLite3Exception(code, "raw English text"),
                           QStringLiteral("SQL exception: "), QString()));
    QCOMPARE(buf.text(), QStringLiteral("Przyczyna: ") + reason + QLatin1Char('.'));
}

void TestSqliteLayer::exceptionText()
{
    const CppSQLite3Exception e(1000, "Database not open");
    QCOMPARE(QByteArray(e.text()), QByteArray("CPPSQLITE_ERROR[1000]: Database not open"));
    const CppSQLite3Exception copy(e);
    QCOMPARE(QByteArray(copy.text()), QByteArray(e.text()));
    QCOMPARE(QByteArray(CppSQLite3Exception(1, nullptr).text()), QByteArray("SQLITE_ERROR[1]: "));
}

void TestSqliteLayer::emptySelectReadsNullDefaults()
{
    CppSQLite3DB db;
    db.openFile(path("empty.db"));
    db.runStatement("create table t( name TEXT, int_value INTEGER )");
    CppSQLite3Query q = db.runQuery("select * from t where name='x'");
    QVERIFY(q.atEnd());
    QCOMPARE(q.intOf("int_value", 7), 7);
    QCOMPARE(QByteArray(q.textOf("name", "none")), QByteArray("none"));
    q.release();
    db.closeFile();
}

void TestSqliteLayer::columnIndexIsCaseSensitive()
{
    CppSQLite3DB db;
    db.openFile(path("case.db"));
    CppSQLite3Query q = db.runQuery("select 1 as name");
    QCOMPARE(q.columnIndex("name"), 0);
    try {
        q.columnIndex("Name");
        QFAIL("Name must not find name");
    } catch (const CppSQLite3Exception& e) {
        QCOMPARE(e.code(), CPPSQLITE_ERROR);
        QVERIFY(QByteArray(e.text()).endsWith("Invalid field name requested"));
    }
    QVERIFY_THROWS_EXCEPTION(CppSQLite3Exception, q.typeAt(1));
    QVERIFY_THROWS_EXCEPTION(CppSQLite3Exception, q.typeAt(-1));
}

void TestSqliteLayer::hasTableOnlyForTables()
{
    CppSQLite3DB db;
    db.openFile(path("tables.db"));
    db.runStatement("create table a( x ); create view v as select * from a;");
    QVERIFY(db.hasTable("a"));
    QVERIFY(!db.hasTable("v"));
    QVERIFY(!db.hasTable("missing"));
}

void TestSqliteLayer::hasTableWithLongAndQuotedNames()
{
    CppSQLite3DB db;
    db.openFile(path("long.db"));
    const QByteArray longName(400, 'x');
    db.runStatement("create table `" + longName + "`( x )");
    db.runStatement("create table `O'Neil`( x )");
    QVERIFY(db.hasTable(longName));
    QVERIFY(!db.hasTable(QByteArray(401, 'x')));
    QVERIFY(db.hasTable("O'Neil"));
    QVERIFY(!db.hasTable("x' or '1'='1"));
}

void TestSqliteLayer::updateMatchingNothingReturnsZero()
{
    CppSQLite3DB db;
    db.openFile(path("update.db"));
    db.runStatement("create table s( name TEXT, v INTEGER ); insert into s values('a', 1);");
    QCOMPARE(db.runStatement("update s set v=2 where name='zzz'"), 0);
    QCOMPARE(db.runStatement("update s set v=1 where name='a'"), 1); // an unchanged value still counts
    QCOMPARE(db.runScalarInt("select v from s"), 1);
    QVERIFY_THROWS_EXCEPTION(CppSQLite3Exception, db.runScalarInt("select v from s where 0"));
}

void TestSqliteLayer::openingMissingFileCreatesIt()
{
    const QString p = path("created.db");
    QVERIFY(!QFile::exists(p));
    CppSQLite3DB db;
    db.openFile(p);
    db.closeFile();
    QVERIFY(QFile::exists(p));
    QCOMPARE(db.busyWait(), 60000);
}

void TestSqliteLayer::closedConnectionAndReleasedCursorThrow()
{
    CppSQLite3DB db;
    try {
        db.runStatement("select 1");
        QFAIL("a closed connection must refuse statements");
    } catch (const CppSQLite3Exception& e) {
        QVERIFY(QByteArray(e.text()).endsWith("Database not open"));
    }
    db.openFile(path("released.db"));
    CppSQLite3Query q = db.runQuery("select 1");
    q.release();
    try {
        q.atEnd();
        QFAIL("a released cursor has no statement");
    } catch (const CppSQLite3Exception& e) {
        QVERIFY(QByteArray(e.text()).endsWith("Null Virtual Machine pointer"));
    }
    q.release(); // nothing to release any more
    try {
        db.runStatement("select * from nowhere");
        QFAIL("a bad statement must throw");
    } catch (const CppSQLite3Exception& e) {
        QCOMPARE(e.code(), 1);
    }
}

void TestSqliteLayer::cursorTransferKeepsOneOwner()
{
    CppSQLite3DB db;
    db.openFile(path("transfer.db"));
    db.runStatement("create table t( x ); insert into t values(1),(2);");
    CppSQLite3Query a = db.runQuery("select x from t");
    CppSQLite3Query b;
    b = std::move(a);
    QVERIFY_THROWS_EXCEPTION(CppSQLite3Exception, a.atEnd());
    QCOMPARE(b.intAt(0), 1);
    b.next();
    QCOMPARE(b.intAt(0), 2);
    b.next();
    QVERIFY(b.atEnd());
    b.release();
    db.closeFile(); // succeeds only when no statement is left open
    QVERIFY(!db.isOpen());
}

void TestSqliteLayer::codecMatchesIconvForEveryByte()
{
    iconv_t cd = iconv_open("UTF-8", "CP1250");
    QVERIFY(cd != iconv_t(-1));
    for (int b = 1; b < 256; ++b) {
        char in[1] = {char(b)};
        char out[8] = {};
        char* inp = in;
        char* outp = out;
        size_t inLeft = 1, outLeft = sizeof out;
        const bool defined = iconv(cd, &inp, &inLeft, &outp, &outLeft) != size_t(-1);
        const QString ours = Cp1250::decode(QByteArray(1, char(b)));
        QCOMPARE(ours.size(), 1);
        if (defined)
            QCOMPARE(ours, QString::fromUtf8(out));
        else
            QCOMPARE(int(ours.at(0).unicode()), b); // unassigned bytes survive as C1 controls
        QByteArray back;
        QVERIFY(Cp1250::encode(ours, back));
        QCOMPARE(back, QByteArray(1, char(b)));
    }
    iconv_close(cd);
    QByteArray bytes;
    QVERIFY(Cp1250::encode(QStringLiteral("Zażółć gęślą jaźń ĄĆĘŁŃÓŚŹŻ"), bytes));
    QCOMPARE(
        bytes,
        QByteArray("Za\xbf\xf3\xb3\xe6 g\xea\x9c\x6c\xb9 ja\x9f\xf1 \xa5\xc6\xca\xa3\xd1\xd3\x8c\x8f\xaf"));
}

void TestSqliteLayer::codecRefusesForeignCharacters()
{
    QByteArray out = "unchanged";
    QString bad;
    QVERIFY(!Cp1250::encode(QStringLiteral("Ärger ok, but 日本"), out, &bad));
    QCOMPARE(bad, QStringLiteral("日"));
    QCOMPARE(out, QByteArray("unchanged"));
    QVERIFY(!Cp1250::encode(QString::fromUtf8("emoji \xF0\x9F\x98\x80"), out, &bad));
    QCOMPARE(bad, QString::fromUtf8("\xF0\x9F\x98\x80"));
    QVERIFY(Cp1250::refusalMessage(bad).contains(QStringLiteral("U+1F600")));
    QCOMPARE(Cp1250::encodeLossy(QStringLiteral("a日b")), QByteArray("a?b"));
    try {
        SqlText::bytes(QStringLiteral("insert into t values('€ and ∑')"));
        QFAIL("∑ has no byte in Windows-1250");
    } catch (const StorageTextError& e) {
        QVERIFY(e.message().contains(QStringLiteral("\u201E∑\u201D")));
    }
}

void TestSqliteLayer::quotesNeverEndALiteral()
{
    CppSQLite3DB db;
    db.openFile(path("quotes.db"));
    db.runStatement("create table t( v TEXT )");
    const QString nasty = QStringLiteral("O'Neil'); drop table t; --''");
    db.runStatement(SqlText::bytes(QStringLiteral("insert into t values('") + strFunSqlEscape(nasty) +
                                   QStringLiteral("')")));
    CppSQLite3Query q = db.runQuery("select v from t");
    QCOMPARE(SqlText::text(q.textAt(0)), nasty);
    q.release();
    QCOMPARE(SqlText::ident(QStringLiteral("a`b")), QStringLiteral("a``b"));
}

QTEST_GUILESS_MAIN(TestSqliteLayer)
#include "tst_sqlite_layer.moc"

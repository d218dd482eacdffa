// Class lists as offices meet them: hostile files refused within their limits, cells
// that must not become formulas, the header names and date forms of e-registers, and
// the export read back into the same pupils.
#include "documents/BirthDate.h"
#include "documents/Pesel.h"
#include "documents/StudentFields.h"
#include "documents/StudentImport.h"
#include "documents/TFDaneUcznia.h"
#include "documents/TFImportUczniow.h"
#include "storage/CsvText.h"
#include "tests/support/TestEnvironment.h"

#include <QCheckBox>
#include <QTableView>
#include <QtTest>

using StudentImport::Column;

namespace {

// 1 September 2025, noon.
QDateTime today()
{
    return QDateTime(QDate(2025, 9, 1), QTime(12, 0), Qt::UTC);
}

// A whole PESEL of a pupil born on `date` (2000s), the serial `serial`.
QString peselOf(const QDate& date, int serial)
{
    const QString ten = QStringLiteral("%1%2%3%4")
                            .arg(date.year() % 100, 2, 10, QLatin1Char('0'))
                            .arg(date.month() + 20, 2, 10, QLatin1Char('0'))
                            .arg(date.day(), 2, 10, QLatin1Char('0'))
                            .arg(serial % 10000, 4, 10, QLatin1Char('0'));
    static constexpr int Weights[10] = {1, 3, 7, 9, 1, 3, 7, 9, 1, 3};
    int sum = 0;
    for (int k = 0; k < 10; ++k)
        sum += Weights[k] * (ten.at(k).unicode() - u'0');
    return ten + QString::number((10 - sum % 10) % 10);
}

// The rows of the student form for one pupil.
FieldRowList pupil(const QString& surname, const QString& firstName, const QString& pesel, const QString& day,
                   const QString& year, const QString& sex = QStringLiteral("kobieta"))
{
    const QString s = StudentFields::Section;
    return {{s, StudentFields::FirstName, firstName},
            {s, StudentFields::BirthDay, day},
            {s, StudentFields::Sex, sex},
            {s, StudentFields::BirthYear, year},
            {s, StudentFields::Town, QString()},
            {s, StudentFields::Province, QString()},
            {s, StudentFields::Surname, surname},
            {s, StudentFields::Pesel, pesel},
            {s, StudentFields::RegisterNumber, QString()}};
}

// The list read back as the import window reads it.
QList<StudentImport::Row> importOf(const QByteArray& bytes, StudentImport::Source& source)
{
    const QString text = CsvText::decode(bytes, CsvText::detectEncoding(bytes));
    if (StudentImport::read(text, CsvText::detectSeparator(text), source) != StudentImport::Problem::None)
        return {};
    return StudentImport::evaluate(source, StudentImport::mappingOf(source), {});
}

QString value(const StudentImport::Row& row, const QString& field)
{
    const QString given = row.given.value(field);
    return given.isEmpty() ? row.fromPesel.value(field) : given;
}

} // namespace

class TestClassLists : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void readerEdges();
    void hostileLists_data();
    void hostileLists();
    void formulaCells_data();
    void formulaCells();
    void importedBlanksNeverMakeFormulas_data();
    void importedBlanksNeverMakeFormulas();
    void eRegisterShapes_data();
    void eRegisterShapes();
    void dateForms_data();
    void dateForms();
    void exportThenImportGivesSamePupils();
    void leadingZeroOffered();
};

void TestClassLists::readerEdges()
{
    // The separator comes from the header line alone, however many commas follow.
    QCOMPARE(CsvText::detectSeparator(QStringLiteral("Nazwisko;Imię;PESEL\r\nNowak,Anna,1,2,3,4,5\r\n")),
             QLatin1Char(';'));
    QCOMPARE(CsvText::detectSeparator(QStringLiteral("Nazwisko\tImię\r\n;;;;;;\r\n")), QLatin1Char('\t'));
    // One stray control character does not make a list binary; many do.
    const QByteArray list = "Nazwisko;Imi\xC4\x99\r\n" + QByteArray("Nowak;Anna\r\n").repeated(20);
    QVERIFY(!CsvText::looksBinary(QByteArray(list).insert(20, '\x01')));
    QVERIFY(CsvText::looksBinary(list + QByteArray("\x01\x02").repeated(10)));
    // Blanks at both ends of a cell travel inside quotes and come back.
    const QStringList cells{QStringLiteral(" Nowak "), QStringLiteral("\tAnna\t"), QStringLiteral("x")};
    const QString line = CsvText::formatRecord(cells, QLatin1Char(';'));
    QCOMPARE(line, QStringLiteral("\" Nowak \";\"\tAnna\t\";x\r\n"));
    QCOMPARE(CsvText::parse(line, QLatin1Char(';')).first().fields, cells);
    // Of two columns of the same name the first counts; the other is named as left out.
    StudentImport::Source source;
    QCOMPARE(StudentImport::read(QStringLiteral("Nazwisko;Imię;Nazwisko\r\nNowak;Anna;Kowal\r\n"),
                                 QLatin1Char(';'), source),
             StudentImport::Problem::None);
    QCOMPARE(StudentImport::mappingOf(source),
             (QList<Column>{Column::Surname, Column::FirstName, Column::Skip}));
    const QList<StudentImport::Row> rows =
        StudentImport::evaluate(source, StudentImport::mappingOf(source), {});
    QCOMPARE(rows.first().given.value(StudentFields::Surname), QStringLiteral("Nowak"));
}

void TestClassLists::hostileLists_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("refusal"); // empty: the list is shown
    QTest::addColumn<int>("rows");        // rows counted when shown
    QTest::addColumn<QString>("lastError");

    const QString file = QStringLiteral("Nie można wczytać listy uczniów z pliku:\nlista.csv\n");
    QTest::newRow("100,000 columns in the header")
        << "Nazwisko" + QByteArray(";Imię").repeated(100000) + "\r\nNowak;Anna\r\n"
        << file + "Plik ma więcej niż 200 kolumn (wiersz 1)." << 0 << QString();
    QTest::newRow("a line of 1,000,000 separators")
        << "Nazwisko;Imię\r\n" + QByteArray(1000000, ';')
        << file + "Plik ma więcej niż 200 kolumn (wiersz 2)." << 0 << QString();
    QTest::newRow("a field of 2,000 characters")
        << "Nazwisko;Imię\r\nNowak;Anna\r\n\"" + QByteArray(2000, 'x') + "\";Anna\r\n"
        << file + "Pole pliku ma więcej niż 1000 znaków (wiersz 3)." << 0 << QString();
    QTest::newRow("a line of 25,000 characters")
        << "Nazwisko;Imię\r\n" + (QByteArray(180, 'x') + ';').repeated(140) + "\r\n"
        << file + "Wiersz pliku ma więcej niż 20\u00A0000 znaków (wiersz 2)." << 0 << QString();
    QTest::newRow("60,000 rows") << "Nazwisko;Imię;PESEL\r\n" + QByteArray("Nowak;Anna;1\r\n").repeated(60000)
                                 << file + "Plik ma więcej niż 50\u00A0000 wierszy." << 0 << QString();
    QTest::newRow("1,200,000 empty fields")
        << "Nazwisko" + QByteArray(59, ';') + "\r\n" + (QByteArray(59, ';') + "x\r\n").repeated(20000)
        << file + "Plik ma więcej niż 1\u00A0000\u00A0000 pól we wszystkich wierszach razem." << 0
        << QString();
    QTest::newRow("9 MB") << QByteArray(9 * 1024 * 1024, 'x')
                          << file + "Plik jest większy niż 8 MB, a lista uczniów nigdy nie jest tak duża."
                          << 0 << QString();
    QTest::newRow("20,000 rows of one PESEL")
        << "Nazwisko;Imię;PESEL\r\n" + QByteArray("Nowak;Anna;08231401249\r\n").repeated(20000) << QString()
        << 20000 << "ten sam numer PESEL co w wierszu 2";
    QTest::newRow("no header, 30 columns of 5 characters")
        << (QByteArray("aaaaa;").repeated(29) + "aaaaa\r\n").repeated(40) << QString() << 40
        << "brak nazwiska; brak imienia; bez numeru PESEL, jak wiersz 1: w rejestrze może być tylko jeden "
           "uczeń bez numeru PESEL";
}

void TestClassLists::hostileLists()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, refusal);
    QFETCH(int, rows);
    QFETCH(QString, lastError);

    TFImportUczniow window;
    const bool shown = window.setFile(QStringLiteral("lista.csv"), bytes, {});
    QCOMPARE(window.problem(), refusal);
    QCOMPARE(shown, refusal.isEmpty());
    if (!shown) {
        // Nothing of a refused file is kept.
        QCOMPARE(window.source().records.size(), 0);
        return;
    }
    QCOMPARE(window.rows().size(), rows);
    // Each row names at most one other: the messages grow with the rows, not their square.
    qsizetype messages = 0;
    for (const StudentImport::Row& row : window.rows())
        messages += row.errors.size();
    QVERIFY2(messages <= 150 * rows, qPrintable(QString::number(messages)));
    QCOMPARE(window.rows().last().errors, lastError);
    // The preview shows a bounded part; the summary counts them all.
    auto* table = window.findChild<QTableView*>(QStringLiteral("PodgladTableView"));
    QCOMPARE(table->model()->rowCount(), std::min(rows, 5000));
}

void TestClassLists::formulaCells_data()
{
    QTest::addColumn<QString>("surname");
    QTest::addColumn<QByteArray>("cell"); // as the export writes it

    QTest::newRow("=") << "=HYPERLINK(\"http://x\",\"a\")"
                       << QByteArray("\"'=HYPERLINK(\"\"http://x\"\",\"\"a\"\")\"");
    QTest::newRow("+") << "+cmd|' /C calc'!A0" << QByteArray("'+cmd|' /C calc'!A0");
    QTest::newRow("-") << "-2+3" << QByteArray("'-2+3");
    QTest::newRow("@") << "@SUM(1)" << QByteArray("'@SUM(1)");
    QTest::newRow("tab") << "\t=1+1" << QByteArray("'\t=1+1");
    QTest::newRow("CR") << "\r=1+1" << QByteArray("\"'\r=1+1\"");
    QTest::newRow("apostrophe before a name") << "'Neil" << QByteArray("'Neil");
    QTest::newRow("apostrophe inside") << "O'Neil" << QByteArray("O'Neil");
    QTest::newRow("hyphen inside") << "Nowak-Kowalska" << QByteArray("Nowak-Kowalska");
}

void TestClassLists::formulaCells()
{
    QFETCH(QString, surname);
    QFETCH(QByteArray, cell);

    const QByteArray bytes = StudentImport::exportText(
        {pupil(surname, QStringLiteral("@Anna"), QStringLiteral("08231401249"), QString(), QString())});
    QVERIFY2(bytes.contains("\r\n" + cell + ";'@Anna;08231401249;"), bytes.constData());
    // No cell of the file begins a formula.
    const QString text = CsvText::decode(bytes, CsvText::Encoding::Utf8);
    for (const CsvText::Record& record : CsvText::parse(text, QLatin1Char(';')))
        for (const QString& field : record.fields)
            QVERIFY2(!CsvText::startsFormula(field), qPrintable(field));
    // Read back, the pupil is the same.
    StudentImport::Source source;
    const QList<StudentImport::Row> rows = importOf(bytes, source);
    QCOMPARE(rows.size(), 1);
    QCOMPARE(rows.first().given.value(StudentFields::Surname), surname);
    QCOMPARE(rows.first().given.value(StudentFields::FirstName), QStringLiteral("@Anna"));
}

void TestClassLists::importedBlanksNeverMakeFormulas_data()
{
    QTest::addColumn<QByteArray>("cell");
    QTest::addColumn<QString>("surname");

    QTest::newRow("tab before =") << QByteArray("\"\t=1+1\"") << " =1+1";
    QTest::newRow("blanks before @") << QByteArray("  @SUM(1)") << " @SUM(1)";
    QTest::newRow("blanks round a name") << QByteArray("\"  Nowak \"") << "Nowak";
    QTest::newRow("apostrophe before a name stays") << QByteArray("'Neil") << "'Neil";
}

void TestClassLists::importedBlanksNeverMakeFormulas()
{
    QFETCH(QByteArray, cell);
    QFETCH(QString, surname);
    StudentImport::Source source;
    const QList<StudentImport::Row> rows =
        importOf("Nazwisko;Imię;PESEL\r\n" + cell + ";Anna;08231401249\r\n", source);
    QCOMPARE(rows.size(), 1);
    QCOMPARE(rows.first().given.value(StudentFields::Surname), surname);
}

void TestClassLists::eRegisterShapes_data()
{
    QTest::addColumn<QByteArray>("list");
    // Surname, first name, birth day, year, sex, town as stored.
    QTest::addColumn<QStringList>("stored");
    QTest::addColumn<QString>("unknown"); // columns the window names as not read

    QTest::newRow("abbreviated, slashed date, two names")
        << QByteArray("Lp.;Nazwisko;Imiona;Data ur.;Miejsce ur.;Płeć;Klasa\r\n"
                      "1;Nowak;Anna Maria;08/06/2009;Radom;K;1a\r\n")
        << QStringList{"Nowak", "Anna Maria", "8 czerwca", "2009 r.", "kobieta", "Radom"} << "";
    QTest::newRow("second name apart, year first with dots")
        << QByteArray("Nazwisko;Imię;Drugie imię;Data urodzenia;Miejsce urodzenia;Plec\r\n"
                      "Lis;Jan;Paweł;2010.11.15;Kraków;M\r\n")
        << QStringList{"Lis", "Jan Paweł", "15 listopada", "2010 r.", "mężczyzna", "Kraków"} << "";
    QTest::newRow("Roman month, PESEL gives the sex")
        << QByteArray("Nazwisko;Imię;PESEL;Data ur.;Oddział;Nr w dzienniku\r\n"
                      "Żak;Ola;11242201245;22 IV 2011;2b;7\r\n")
        << QStringList{"Żak", "Ola", "22 kwietnia", "2011 r.", "kobieta", ""} << "";
    QTest::newRow("two-digit year decided by the PESEL")
        << QByteArray("Nazwisko;Imię;PESEL;Data urodzenia\r\nKot;Ewa;12290101242;01.09.12\r\n")
        << QStringList{"Kot", "Ewa", "1 września", "2012 r.", "kobieta", ""} << "";
    QTest::newRow("two-digit year by plausible age, columns not known")
        << QByteArray("Lp.;NAZWISKO UCZNIA;Imie;Dt. ur.;plec;Woj.;Telefon;Uwagi\r\n"
                      "1;Mazur;Ida;03.05.09;k;;600100200;\r\n")
        << QStringList{"Mazur", "Ida", "3 maja", "2009 r.", "kobieta", ""}
        << "\u201ETelefon\u201D, \u201EUwagi\u201D";
    QTest::newRow("date the PESEL overrides")
        << QByteArray("Nazwisko;Imię;PESEL;Data ur.\r\nWróbel;Iga;08231401249;2008-02-30\r\n")
        << QStringList{"Wróbel", "Iga", "14 marca", "2008 r.", "kobieta", ""} << "";
}

void TestClassLists::eRegisterShapes()
{
    QFETCH(QByteArray, list);
    QFETCH(QStringList, stored);
    QFETCH(QString, unknown);
    const FixedClock clock(today());

    StudentImport::Source source;
    const QList<StudentImport::Row> rows = importOf(list, source);
    QCOMPARE(rows.size(), 1);
    const StudentImport::Row& row = rows.first();
    QVERIFY2(row.state == StudentImport::State::Add, qPrintable(row.errors));
    QCOMPARE(QStringList({value(row, StudentFields::Surname), value(row, StudentFields::FirstName),
                          value(row, StudentFields::BirthDay), value(row, StudentFields::BirthYear),
                          value(row, StudentFields::Sex), value(row, StudentFields::Town)}),
             stored);
    QCOMPARE(StudentImport::unknownColumns(source, StudentImport::mappingOf(source)), unknown);
}

void TestClassLists::dateForms_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QDate>("peselDate");
    QTest::addColumn<int>("parsed");
    QTest::addColumn<QDate>("date");

    const int date = int(BirthDate::Parsed::Date);
    const int none = int(BirthDate::Parsed::NoDate);
    const int impossible = int(BirthDate::Parsed::Impossible);
    QTest::newRow("d.m.rrrr") << "8.6.2009" << QDate() << date << QDate(2009, 6, 8);
    QTest::newRow("rrrr-mm-dd") << "2009-06-08" << QDate() << date << QDate(2009, 6, 8);
    QTest::newRow("Roman month, dots, small") << "22.iv.2011" << QDate() << date << QDate(2011, 4, 22);
    QTest::newRow("two digits: not in the future") << "01.09.25" << QDate() << date << QDate(2025, 9, 1);
    QTest::newRow("two digits: the century before") << "02.09.30" << QDate() << date << QDate(1930, 9, 2);
    QTest::newRow("two digits: the PESEL's century")
        << "01.09.12" << QDate(1912, 9, 1) << date << QDate(1912, 9, 1);
    QTest::newRow("two digits: another PESEL year")
        << "01.09.12" << QDate(2013, 9, 1) << date << QDate(2012, 9, 1);
    QTest::newRow("30 February") << "30.02.2008" << QDate() << impossible << QDate();
    QTest::newRow("Roman XIII") << "14 XIII 2008" << QDate() << none << QDate();
    QTest::newRow("mixed separators") << "14.03-2008" << QDate() << none << QDate();
}

void TestClassLists::dateForms()
{
    QFETCH(QString, text);
    QFETCH(QDate, peselDate);
    QFETCH(int, parsed);
    QFETCH(QDate, date);
    const FixedClock clock(today());
    QDate found;
    QCOMPARE(int(BirthDate::parse(text, found, peselDate)), parsed);
    QCOMPARE(found, date);
}

void TestClassLists::exportThenImportGivesSamePupils()
{
    // Pupils as the form takes them: the birth day and year typed in every form an
    // office uses, and names a spreadsheet would take for formulas.
    const QString months[] = {"I", "II", "III", "IV", "V", "VI", "VII", "VIII", "IX", "X", "XI", "XII"};
    QList<FieldRowList> pupils;
    QList<QDate> dates;
    for (int i = 0; i < 120; ++i) {
        const QDate date = QDate(2005, 1, 1).addDays(i * 37);
        QString day;
        QString year;
        switch (i % 6) {
        case 0:
            day = BirthDate::dayText(date), year = BirthDate::yearText(date.year());
            break;
        case 1:
            day = date.toString(QStringLiteral("dd.MM.yyyy")), year = BirthDate::yearText(date.year());
            break;
        case 2:
            day = QStringLiteral("%1 %2 %3").arg(date.day()).arg(months[date.month() - 1]).arg(date.year());
            break;
        case 3:
            day = date.toString(Qt::ISODate), year = QString::number(date.year());
            break;
        case 4:
            day = QStringLiteral("%1 %2").arg(date.day()).arg(months[date.month() - 1]);
            year = QString::number(date.year()) + QStringLiteral("r.");
            break;
        case 5:
            day = date.toString(QStringLiteral("d/M/yyyy"));
            break;
        }
        const QString surname =
            i % 5 == 0 ? QStringLiteral("=Nowak%1").arg(i) : QStringLiteral("Nowak-%1").arg(i);
        pupils << pupil(surname, i % 7 == 0 ? QStringLiteral("-Anna") : QStringLiteral("Anna Maria"),
                        peselOf(date, i), day, year,
                        i % 2 ? QStringLiteral("mężczyzna") : QStringLiteral("kobieta"));
        dates << date;
    }
    StudentImport::Source source;
    const QList<StudentImport::Row> rows = importOf(StudentImport::exportText(pupils), source);
    QCOMPARE(rows.size(), pupils.size());
    FieldRowList blank;
    TFDaneUcznia form;
    form.CollectFields(blank);
    for (qsizetype i = 0; i < rows.size(); ++i) {
        QVERIFY2(rows.at(i).state == StudentImport::State::Add, qPrintable(rows.at(i).errors));
        QHash<QString, QString> after;
        for (const FieldRow& r : StudentImport::rowsOf(rows.at(i), blank, {}))
            after.insert(r.compName, r.value);
        for (const FieldRow& r : pupils.at(i))
            if (r.compName != StudentFields::BirthDay && r.compName != StudentFields::BirthYear)
                QCOMPARE(after.value(r.compName), r.value);
        // The birth date is the same day, in the form's own words.
        QCOMPARE(after.value(StudentFields::BirthDay), BirthDate::dayText(dates.at(i)));
        QCOMPARE(after.value(StudentFields::BirthYear), BirthDate::yearText(dates.at(i).year()));
    }
}

void TestClassLists::leadingZeroOffered()
{
    // A spreadsheet read "08231401249" as a number.
    const QByteArray list = "Nazwisko;Imię;PESEL;Płeć\r\nNowak;Anna;8231401249;K\r\nLis;Ewa;1234567890;K\r\n";
    TFImportUczniow window;
    QVERIFY(window.setFile(QStringLiteral("lista.csv"), list, {}));
    QCOMPARE(window.rows().first().zeroOffered, QStringLiteral("08231401249"));
    QVERIFY(window.rows().first().errors.contains(QStringLiteral("brak wiodącego zera?")));
    // Ten digits that no zero makes whole are named, not offered.
    QCOMPARE(window.rows().last().zeroOffered, QString());
    QCOMPARE(window.rows().last().notes, QStringList{QStringLiteral("numer PESEL ma 10 cyfr zamiast 11")});
    QCOMPARE(window.rowsToStore().size(), 1);
    QCOMPARE(window.rowsToStore().first().tableName, QStringLiteral("PESEL1234567890"));

    auto* zero = window.findChild<QCheckBox*>(QStringLiteral("ZeroCheckBox"));
    QVERIFY(!zero->isHidden());
    zero->setChecked(true);
    QCOMPARE(window.rowsToStore().size(), 2);
    QCOMPARE(window.rowsToStore().first().tableName, QStringLiteral("PESEL08231401249"));
    QCOMPARE(window.rowsToStore().first().given.value(StudentFields::Pesel), QStringLiteral("08231401249"));
    QCOMPARE(window.rowsToStore().first().fromPesel.value(StudentFields::BirthDay),
             QStringLiteral("14 marca"));
}

QTEST_MAIN(TestClassLists)
#include "tst_class_lists.moc"

// Class lists in CSV: the reader, the PESEL decoder, the state of every row, the
// window "Import uczniów", and an import into a register that is then saved.
#include "app/Program.h"
#include "app/TFGlowna.h"
#include "documents/Pesel.h"
#include "documents/StudentImport.h"
#include "documents/TFDaneUcznia.h"
#include "documents/TFImportUczniow.h"
#include "documents/TFPotwierdzeniePrzyjUcznia.h"
#include "documents/TFZawiadomieniePrzek.h"
#include "storage/CsvText.h"
#include "storage/DataFolder.h"
#include "storage/Templates.h"
#include "tests/support/FileSizeLimit.h"
#include "tests/support/Modal.h"
#include "tests/support/ProgramFixture.h"
#include "tests/support/RawFile.h"
#include "tests/support/ScriptedPrompts.h"
#include "tests/support/TestEnvironment.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QProgressDialog>
#include <QPushButton>
#include <QTableView>
#include <QTimer>
#include <QTreeWidget>
#include <QtTest>

#include <functional>
#include <memory>

#include <sys/stat.h>

namespace {

const QByteArray Header = "Lp.;Nazwisko;Imiona;PESEL;Data urodzenia;Miejsce urodzenia;Województwo;Płeć\r\n";

// Records as "a|b" joined by " / ", with the line each starts on and a '!' when a
// quote was left open.
QString shown(const QList<CsvText::Record>& records)
{
    QStringList out;
    for (const CsvText::Record& r : records)
        out << QString::number(r.line) + QLatin1Char(':') + r.fields.join(QLatin1Char('|')) +
                   (r.unterminated ? QStringLiteral("!") : QString());
    return out.join(QStringLiteral(" / "));
}

} // namespace

class TestStudentImport : public QObject, ProgramFixture
{
    Q_OBJECT

    QString workingCopy() { return strFunGetTmpFilePath(env->buf); }
    // A register that holds one student, Lis Ewa, shown in the tree.
    bool registerWithLisEwa()
    {
        if (iFunCheckIsStudentExists(env->buf, workingCopy(), QStringLiteral("x"), true) != 0 ||
            !bFunStoreStudents(
                env->buf, workingCopy(),
                {{QStringLiteral("PESEL08270104628"),
                  {{"DANE UCZNIA", "Nazwisko_DATA_EDIT", "Lis"}, {"DANE UCZNIA", "Imie_DATA_EDIT", "Ewa"}}}}))
            return false;
        return main()->vFunRefreshStudentList();
    }
    QString file(const QString& name, const QByteArray& bytes)
    {
        const QString path = env->root() + QLatin1Char('/') + name;
        RawFile::write(path, bytes);
        return path;
    }
    QStringList tree()
    {
        QStringList out;
        for (int i = 0; i < main()->treeView()->topLevelItemCount(); ++i)
            out << main()->treeView()->topLevelItem(i)->text(0);
        return out;
    }
    // A stored value of the working copy, as its bytes.
    QByteArray stored(const QString& path, const QByteArray& table, const QByteArray& id,
                      const QByteArray& comp)
    {
        const QList<QByteArray> values = RawSql::column(
            path, "select value from `" + table + "` where id = '" + id + "' and comp_name = '" + comp + "'");
        return values.size() == 1 ? values.first()
                                  : QByteArray("<" + QByteArray::number(values.size()) + " rows>");
    }
    // Imports `csv` through the menu command; `drive` works the window before Importuj.
    void importFile(const QString& path, std::function<void(TFImportUczniow*)> drive = {})
    {
        prompts->files.enqueue(path);
        whenModal([drive](QWidget* modal) {
            auto* window = qobject_cast<TFImportUczniow*>(modal);
            QVERIFY(window);
            if (drive)
                drive(window);
            window->findChild<QPushButton*>(QStringLiteral("ImportujButton"))->click();
        });
        main()->Importujuczniow1Click();
    }

private Q_SLOTS:
    void init()
    {
        prepare();
        QVERIFY(startProgram());
        prompts->clear();
    }
    void cleanup() { closeProgram(); }

    void csvReader_data();
    void csvReader();
    void encodingAndSeparator_data();
    void encodingAndSeparator();
    void peselDecoder_data();
    void peselDecoder();
    void rowStates_data();
    void rowStates();
    void filesWithoutStudents_data();
    void filesWithoutStudents();
    void mappingAndEncodingChosenInWindow();
    void importIntoRegisterAndSave();
    void replacingKeepsDocuments();
    void exportImportsBackToSameStudents();
    void largeListAsksFirst();
    void sexAskedOnce_data();
    void sexAskedOnce();
    void stoppedOrFailedImportLeavesRegister_data();
    void stoppedOrFailedImportLeavesRegister();
    void notAListRefusedAtOnce_data();
    void notAListRefusedAtOnce();
    void previewIsOneTabStop();
};

void TestStudentImport::csvReader_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("separator");
    QTest::addColumn<QString>("records");

    QTest::newRow("Windows line ends") << "a;b\r\nc;d\r\n"
                                       << ";"
                                       << "1:a|b / 2:c|d";
    QTest::newRow("Unix line ends, no last one") << "a;b\nc;d"
                                                 << ";"
                                                 << "1:a|b / 2:c|d";
    QTest::newRow("lone CR") << "a\rb"
                             << ";"
                             << "1:a / 2:b";
    QTest::newRow("separator inside quotes") << "\"Kowalska; Anna\";x"
                                             << ";"
                                             << "1:Kowalska; Anna|x";
    QTest::newRow("doubled quote") << "\"Szkoła \"\"Orląt\"\"\",1"
                                   << ","
                                   << "1:Szkoła \"Orląt\"|1";
    QTest::newRow("line break inside quotes") << "\"ul. Długa 1\r\nKraków\";x\r\nb;c"
                                              << ";"
                                              << "1:ul. Długa 1\r\nKraków|x / 3:b|c";
    QTest::newRow("empty fields and empty line") << ";;\r\n\r\nx"
                                                 << ";"
                                                 << "1:|| / 2: / 3:x";
    QTest::newRow("quote inside an unquoted field") << "O\"Neil;x"
                                                    << ";"
                                                    << "1:O\"Neil|x";
    QTest::newRow("tab") << "a\tb;c"
                         << "\t"
                         << "1:a|b;c";
    QTest::newRow("quote left open") << "a;\"b\nc"
                                     << ";"
                                     << "1:a|b\nc!";
}

void TestStudentImport::csvReader()
{
    QFETCH(QString, text);
    QFETCH(QString, separator);
    QFETCH(QString, records);
    QCOMPARE(shown(CsvText::parse(text, separator.front())), records);
    // What the export writes reads back the same.
    QStringList fields{"ul. Długa 1\r\nKraków", "O\"Neil", "a;b", " blank", ""};
    QCOMPARE(CsvText::parse(CsvText::formatRecord(fields, QLatin1Char(';')), QLatin1Char(';')).first().fields,
             fields);
}

void TestStudentImport::encodingAndSeparator_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("encoding");
    QTest::addColumn<QString>("separator");
    QTest::addColumn<QString>("text");

    QTest::newRow("UTF-8 with BOM") << QByteArray("\xEF\xBB\xBFImi\xC4\x99;Nazwisko")
                                    << int(CsvText::Encoding::Utf8) << ";"
                                    << "Imię;Nazwisko";
    QTest::newRow("UTF-8") << QByteArray("\xC5\x81ukasz,\xC5\xBB"
                                         "ak,x;y")
                           << int(CsvText::Encoding::Utf8) << ","
                           << "Łukasz,Żak,x;y";
    QTest::newRow("Windows-1250") << QByteArray("\xA3ukasz\t\xAF"
                                                "ak")
                                  << int(CsvText::Encoding::Windows1250) << "\t"
                                  << "Łukasz\tŻak";
    QTest::newRow("separators in quotes do not count")
        << QByteArray("\"a,b,c\";d") << int(CsvText::Encoding::Utf8) << ";"
        << "\"a,b,c\";d";
}

void TestStudentImport::encodingAndSeparator()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, encoding);
    QFETCH(QString, separator);
    QFETCH(QString, text);
    QCOMPARE(int(CsvText::detectEncoding(bytes)), encoding);
    const QString decoded = CsvText::decode(bytes, CsvText::Encoding(encoding));
    QCOMPARE(decoded, text);
    QCOMPARE(CsvText::detectSeparator(decoded), separator.front());
    QVERIFY(!CsvText::looksBinary(bytes));
}

void TestStudentImport::peselDecoder_data()
{
    QTest::addColumn<QString>("pesel");
    QTest::addColumn<bool>("checkDigitOk");
    QTest::addColumn<QDate>("date"); // null: the date does not exist
    QTest::addColumn<bool>("male");
    QTest::addColumn<bool>("future"); // after 1 September 2025

    QTest::newRow("1800s: month + 80") << "82810101238" << true << QDate(1882, 1, 1) << true << false;
    QTest::newRow("1900s") << "08031401236" << true << QDate(1908, 3, 14) << true << false;
    QTest::newRow("2000s: month + 20") << "08231401249" << true << QDate(2008, 3, 14) << false << false;
    QTest::newRow("2100s: month + 40") << "02412900008" << true << QDate(2102, 1, 29) << false << true;
    QTest::newRow("2200s: month + 60") << "00612900000" << true << QDate(2200, 1, 29) << false << true;
    QTest::newRow("29 February of a leap year")
        << "08222900128" << true << QDate(2008, 2, 29) << false << false;
    QTest::newRow("wrong check digit") << "08231401233" << false << QDate(2008, 3, 14) << true << false;
    QTest::newRow("29 February of 1909") << "09022900129" << true << QDate() << false << false;
    QTest::newRow("month 13") << "05330112306" << true << QDate() << false << false;
    QTest::newRow("today") << "25290100005" << true << QDate(2025, 9, 1) << false << false;
    QTest::newRow("tomorrow") << "25290200002" << true << QDate(2025, 9, 2) << false << true;
}

void TestStudentImport::peselDecoder()
{
    QFETCH(QString, pesel);
    QFETCH(bool, checkDigitOk);
    QFETCH(QDate, date);
    QFETCH(bool, male);
    QFETCH(bool, future);
    const FixedClock clock(QDateTime(QDate(2025, 9, 1), QTime(21, 0), Qt::UTC));
    const Pesel::Decoded d = Pesel::decode(pesel);
    QVERIFY(d.elevenDigits);
    QCOMPARE(d.checkDigitOk, checkDigitOk);
    QCOMPARE(d.dateOk, date.isValid());
    QCOMPARE(d.birthDate, date);
    QCOMPARE(d.male, male);
    QCOMPARE(d.inFuture, future);
    QCOMPARE(d.valid(), checkDigitOk && date.isValid() && !future);
    QCOMPARE(Pesel::faults(pesel).isEmpty(), d.valid());
    for (const QString& other : {pesel.left(10), pesel + QLatin1Char('1'), pesel.left(10) + QLatin1Char('X')})
        QVERIFY(!Pesel::decode(other).elevenDigits);
}

void TestStudentImport::rowStates_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QString>("state");
    // What the student form's rows get: surname, first name, birth day, year, sex.
    QTest::addColumn<QStringList>("values");

    QTest::newRow("PESEL gives date and sex; every first name")
        << QByteArray("1;Wiśniewska;Zofia Maria;08231401249;;Kraków;małopolskie;") << "do dodania"
        << QStringList{"Wiśniewska", "Zofia Maria", "14 marca", "2008 r.", "kobieta"};
    QTest::newRow("ISO date, apostrophe and hyphen, small first letter")
        << QByteArray("2;o'Connor-Żak;łucja;;2008-07-01;;;K") << "do dodania"
        << QStringList{"O'Connor-Żak", "łucja", "1 lipca", "2008 r.", "kobieta"};
    QTest::newRow("dotted date, no leading zero kept")
        << QByteArray("3;Nowak;Jan;;01.03.2009;;;m") << "do dodania"
        << QStringList{"Nowak", "Jan", "1 marca", "2009 r.", "mężczyzna"};
    QTest::newRow("date with hyphens disagrees with the PESEL")
        << QByteArray("4;Lis;Ewa;08231401249;15-03-2008;;;kobieta")
        << "do dodania (uwaga: według numeru PESEL data urodzenia to: 14 marca 2008 r.)"
        << QStringList{"Lis", "Ewa", "15 marca", "2008 r.", "kobieta"};
    QTest::newRow("wrong check digit is stored, with a note")
        << QByteArray("5;Lis;Ewa;08231401233;;;;K")
        << "do dodania (uwaga: cyfra kontrolna numeru PESEL się nie zgadza)"
        << QStringList{"Lis", "Ewa", "", "", "kobieta"};
    QTest::newRow("no surname") << QByteArray("6;;Kacper;08100605525;;;;") << "brak nazwiska"
                                << QStringList();
    QTest::newRow("PESEL with a blank")
        << QByteArray("7;Lis;Ewa;0823 1401249;;;;K")
        << "numer PESEL nie jest prawidłowy lub zawiera nie dozwolone znaki" << QStringList();
    QTest::newRow("emoji") << QByteArray("8;Lis;Ewa \xF0\x9F\x98\x80;;;;;K")
                           << "znak \u201E\U0001F600\u201D nie istnieje w kodowaniu Windows-1250"
                           << QStringList();
    QTest::newRow("Cyrillic") << QByteArray("9;Lis;\xD0\x90\xD0\xBD\xD0\xBD\xD0\xB0;;;;;K")
                              << "znak \u201E\u0410\u201D nie istnieje w kodowaniu Windows-1250"
                              << QStringList();
    QTest::newRow("date that does not exist")
        << QByteArray("10;Lis;Ewa;;31.02.2008;;;K") << "data urodzenia \u201E31.02.2008\u201D nie istnieje"
        << QStringList();
    QTest::newRow("no sex anywhere") << QByteArray("11;Lis;Ewa;;;;;")
                                     << "do dodania (uwaga: brak płci (zostanie zapytana przy imporcie))"
                                     << QStringList{"Lis", "Ewa", "", "", ""};
    QTest::newRow("ten digits: leading zero offered")
        << QByteArray("16;Lis;Ewa;8231401249;;;;K")
        << "numer PESEL 8231401249 ma 10 cyfr: brak wiodącego zera? Poprawny byłby 08231401249"
        << QStringList();
    QTest::newRow("PESEL in the future")
        << QByteArray("17;Lis;Ewa;30210101231;;;;K")
        << "do dodania (uwaga: numer PESEL zawiera datę urodzenia z przyszłości (01.01.2030))"
        << QStringList{"Lis", "Ewa", "", "", "kobieta"};
    QTest::newRow("a date the list spoils, the PESEL gives")
        << QByteArray("18;Lis;Ewa;08231401249;14.13.2008;;;")
        << "do dodania (uwaga: data urodzenia \u201E14.13.2008\u201D nie istnieje: przyjęto datę z numeru "
           "PESEL)"
        << QStringList{"Lis", "Ewa", "14 marca", "2008 r.", "kobieta"};
    QTest::newRow("more fields than the header")
        << QByteArray("12;Lis;Ewa;;;;;K;x") << "liczba pól w wierszu (9) różni się od liczby kolumn (8)"
        << QStringList();
    QTest::newRow("fewer fields than the header") << QByteArray("13;Lis;Ewa")
                                                  << "liczba pól w wierszu (3) różni się od liczby kolumn "
                                                     "(8) (uwaga: brak płci (zostanie zapytana przy "
                                                     "imporcie))"
                                                  << QStringList();
    QTest::newRow("line break in a name")
        << QByteArray("15;\"Lis\r\nNowak\";Ewa;;;;;K") << "pole \u201ENazwisko\u201D zawiera podział wiersza"
        << QStringList();
    QTest::newRow("already in the register")
        << QByteArray("14;Lis;Ewa;08270104628;;;;") << "już jest w rejestrze"
        << QStringList{"Lis", "Ewa", "1 lipca", "2008 r.", "kobieta"};
}

void TestStudentImport::rowStates()
{
    QFETCH(QByteArray, line);
    QFETCH(QString, state);
    QFETCH(QStringList, values);
    const FixedClock clock(QDateTime(QDate(2025, 9, 1), QTime(12, 0), Qt::UTC));

    StudentImport::Source source;
    QCOMPARE(StudentImport::read(QString::fromUtf8(Header + line), QLatin1Char(';'), source),
             StudentImport::Problem::None);
    const QList<StudentImport::Row> rows = StudentImport::evaluate(source, StudentImport::mappingOf(source),
                                                                   {QStringLiteral("PESEL08270104628")});
    QCOMPARE(rows.size(), 1);
    const StudentImport::Row& row = rows.first();
    QCOMPARE(row.stateText(false) + (row.notes.isEmpty()
                                         ? QString()
                                         : QStringLiteral(" (uwaga: ") + row.notes.join(u';') + u')'),
             state);
    if (values.isEmpty())
        return;
    FieldRowList blank;
    TFDaneUcznia form;
    form.CollectFields(blank);
    const FieldRowList stored = StudentImport::rowsOf(row, blank, {});
    QHash<QString, QString> v;
    for (const FieldRow& r : stored)
        v.insert(r.compName, r.value);
    QCOMPARE(QStringList({v.value("Nazwisko_DATA_EDIT"), v.value("Imie_DATA_EDIT"),
                          v.value("UrodzonyDnia_DATA_EDIT"), v.value("UrodzonyRok_DATA_COMBOBOX"),
                          v.value("Plec_DATA_COMBOBOX")}),
             values);
}

void TestStudentImport::filesWithoutStudents_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("message");
    QTest::newRow("empty") << QByteArray() << "Plik jest pusty: nie ma w nim żadnego ucznia.";
    QTest::newRow("blank lines") << QByteArray("\r\n ; \r\n")
                                 << "Plik jest pusty: nie ma w nim żadnego ucznia.";
    QTest::newRow("header only") << Header
                                 << "Plik zawiera tylko wiersz nagłówka: nie ma w nim żadnego ucznia.";
    QTest::newRow("binary") << QByteArray("\x89PNG\r\n\x1A\n\0\0\0\rIHDR", 16)
                            << "Plik nie jest plikiem tekstowym CSV (zawiera dane binarne).";
}

void TestStudentImport::filesWithoutStudents()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, message);
    const QString path = file(QStringLiteral("lista.csv"), bytes);
    prompts->files.enqueue(path);
    main()->Importujuczniow1Click();
    QCOMPARE(prompts->texts(), QStringList{message});
    QCOMPARE(prompts->shown.last().caption, QStringLiteral("Import uczniów"));
    QCOMPARE(prompts->shown.last().icon, Prompts::Icon::Warning);
    QCOMPARE(prompts->shown.first().filter, QStringLiteral("Pliki CSV (*.csv *.txt)|*.csv;*.txt"));
    QVERIFY(!QFile::exists(workingCopy()));
    QVERIFY(!main()->unsavedChanges());
}

void TestStudentImport::mappingAndEncodingChosenInWindow()
{
    // No header the window knows: every column is left out until the user maps it.
    TFImportUczniow window;
    QVERIFY(
        window.setFile(QStringLiteral("lista.csv"), "Kowalski,Jan,M,a\r\n\xA3uczak,\xA3ucja,K,b\r\n", {}));
    QCOMPARE(window.source().header, (QStringList{"Kolumna 1", "Kolumna 2", "Kolumna 3", "Kolumna 4"}));
    QCOMPARE(window.rows().size(), 2);
    // Two students without a number would be one table.
    QCOMPARE(window.rows().at(0).errors,
             QStringLiteral("brak nazwiska; brak imienia; bez numeru PESEL, jak wiersz 2: w rejestrze "
                            "może być tylko jeden uczeń bez numeru PESEL"));
    window.setColumn(3, StudentImport::Column::Pesel);
    window.setColumn(0, StudentImport::Column::Surname);
    window.setColumn(1, StudentImport::Column::Surname); // a meaning belongs to one column
    window.setColumn(0, StudentImport::Column::FirstName);
    window.setColumn(2, StudentImport::Column::Sex);
    QCOMPARE(window.mapping(),
             (QList<StudentImport::Column>{StudentImport::Column::FirstName, StudentImport::Column::Surname,
                                           StudentImport::Column::Sex, StudentImport::Column::Pesel}));
    QCOMPARE(window.rowsToStore().size(), 2);
    QCOMPARE(window.rows().at(1).given.value("Nazwisko_DATA_EDIT"), QStringLiteral("Łucja"));
    const QList<QComboBox*> lists =
        window.findChildren<QComboBox*>(QRegularExpression(QStringLiteral("^KolumnaComboBox")));
    QCOMPARE(lists.size(), 4);
    QCOMPARE(lists.at(1)->currentText(), QStringLiteral("Nazwisko"));
    QVERIFY(!lists.at(1)->accessibleName().isEmpty());

    // The bytes were Windows-1250; read as UTF-8 they do not decode, and the window says so.
    auto* encoding = window.findChild<QComboBox*>(QStringLiteral("KodowanieComboBox"));
    QCOMPARE(encoding->currentText(), QStringLiteral("Windows-1250"));
    window.setEncoding(CsvText::Encoding::Utf8);
    QCOMPARE(encoding->currentText(), QStringLiteral("UTF-8"));
    QVERIFY(!window.findChild<QLabel*>(QStringLiteral("KodowanieUwagaLabel"))->text().isEmpty());
    QVERIFY(window.source().records.at(1).fields.at(0).contains(QChar(0xFFFD)));
}

void TestStudentImport::importIntoRegisterAndSave()
{
    // A register that holds Lis Ewa already.
    const QByteArray list = Header + "1;Wiśniewska;Zofia Maria;08231401249;;Kraków;małopolskie;\r\n"
                                     "2;Lis;Ewa;08270104628;;;;\r\n"
                                     "3;;Kacper;08100605525;;;;M\r\n"
                                     "4;Żak;Ola;08301123482;11.10.2008;;;K\r\n"
                                     "5;Żak;Ola;08301123482;11.10.2008;;;K\r\n";
    QVERIFY(registerWithLisEwa());
    const QString path = file(QStringLiteral("klasa 1a.csv"), list);
    // "Anuluj" changes nothing.
    const QByteArray before = RawFile::bytes(workingCopy());
    prompts->files.enqueue(path);
    whenModal(
        [](QWidget* window) { window->findChild<QPushButton*>(QStringLiteral("AnulujButton"))->click(); });
    main()->Importujuczniow1Click();
    QCOMPARE(RawFile::bytes(workingCopy()), before);
    QVERIFY(!main()->unsavedChanges());

    importFile(path, [&path](TFImportUczniow* window) {
        QStringList states;
        for (const StudentImport::Row& row : window->rows())
            states << row.stateText(window->replaceExisting());
        QCOMPARE(states,
                 (QStringList{"do dodania", "już jest w rejestrze", "brak nazwiska",
                              "ten sam numer PESEL co w wierszu 6", "ten sam numer PESEL co w wierszu 5"}));
        QVERIFY(!window->findChild<QCheckBox*>(QStringLiteral("ZastapCheckBox"))->isChecked());
        // The rows to look at, on their own.
        auto* table = window->findChild<QTableView*>(QStringLiteral("PodgladTableView"));
        QCOMPARE(table->model()->rowCount(), 5);
        window->findChild<QCheckBox*>(QStringLiteral("TylkoUwagiCheckBox"))->setChecked(true);
        QCOMPARE(table->model()->rowCount(), 4);
        // What the window shows is stored, whatever became of the file.
        QVERIFY(QFile::remove(path));
    });
    QCOMPARE(
        prompts->texts().last(),
        QStringLiteral("Wczytano uczniów: 1 (nowych: 1, zastąpionych: 0).\nWierszy z błędami, których nie "
                       "wczytano: 3."));
    QCOMPARE(tree(), (QStringList{"Lis Ewa", "Wiśniewska Zofia Maria"}));
    QVERIFY(main()->unsavedChanges());
    QStringList towns;
    QVERIFY(bFunStudentDataLoadCityList(env->buf, towns));
    QVERIFY(towns.contains(QStringLiteral("Kraków")));

    // Saved, the file holds the student as the form stores one, in Windows-1250.
    const QString saved = env->root() + QStringLiteral("/rejestr.sqdoc");
    prompts->files.enqueue(saved);
    main()->Zapiszjako1Click();
    FieldRowList formRows;
    w->daneUcznia->CollectFields(formRows);
    w->zawiadomienie->CollectFields(formRows);
    w->potwierdzenie->CollectFields(formRows);
    const QList<QList<QByteArray>> rows =
        RawSql::rows(saved, "select id, comp_name, value from `PESEL08231401249`");
    QCOMPARE(rows.size(), formRows.size());
    for (qsizetype i = 0; i < rows.size(); ++i)
        QCOMPARE(rows.at(i).at(1), formRows.at(i).compName.toLatin1());
    QCOMPARE(stored(saved, "PESEL08231401249", "DANE UCZNIA", "Nazwisko_DATA_EDIT"),
             QByteArray("Wi\x9Cniewska"));
    QCOMPARE(stored(saved, "PESEL08231401249", "DANE UCZNIA", "UrodzonyWoj_DATA_COMBOBOX"),
             QByteArray("ma\xB3opolskie"));
    QCOMPARE(stored(saved, "PESEL08231401249", "DANE UCZNIA", "UrodzonyDnia_DATA_EDIT"),
             QByteArray("14 marca"));
    QCOMPARE(stored(saved, "PESEL08231401249", "DANE UCZNIA", "Plec_DATA_COMBOBOX"), QByteArray("kobieta"));
    QCOMPARE(RawSql::column(saved, "select count(*) from `PESEL08231401249` where value <> ''"),
             QList<QByteArray>{"8"});
    QCOMPARE(RawSql::column(saved, "select count(*) from `PESEL08270104628`"), QList<QByteArray>{"2"});
}

void TestStudentImport::replacingKeepsDocuments()
{
    QCOMPARE(iFunCheckIsStudentExists(env->buf, workingCopy(), QStringLiteral("x"), true), 0);
    QVERIFY(
        bFunStoreStudents(env->buf, workingCopy(),
                          {{QStringLiteral("PESEL08270104628"),
                            {{"DANE UCZNIA", "Nazwisko_DATA_EDIT", "Lis"},
                             {"DANE UCZNIA", "UrodzonyMiasto_DATA_COMBOBOX", "Radom"},
                             {"ZAWIADOMIENIE_O_PRZEKAZANIU", "ZMIENNA_Ucz_STR1_DATA_EDIT", "LO nr 2"}}}}));
    main()->vFunRefreshStudentList();
    importFile(file(QStringLiteral("lista.csv"), Header + "1;Lis-Nowak;Ewa;08270104628;;;;\r\n"),
               [](TFImportUczniow* window) {
                   window->findChild<QCheckBox*>(QStringLiteral("ZastapCheckBox"))->setChecked(true);
                   QCOMPARE(window->rowsToStore().size(), 1);
               });
    const QString wc = workingCopy();
    QCOMPARE(stored(wc, "PESEL08270104628", "DANE UCZNIA", "Nazwisko_DATA_EDIT"), QByteArray("Lis-Nowak"));
    QCOMPARE(stored(wc, "PESEL08270104628", "DANE UCZNIA", "UrodzonyMiasto_DATA_COMBOBOX"),
             QByteArray("Radom"));
    QCOMPARE(stored(wc, "PESEL08270104628", "DANE UCZNIA", "UrodzonyDnia_DATA_EDIT"), QByteArray("1 lipca"));
    QCOMPARE(stored(wc, "PESEL08270104628", "ZAWIADOMIENIE_O_PRZEKAZANIU", "ZMIENNA_Ucz_STR1_DATA_EDIT"),
             QByteArray("LO nr 2"));
    QCOMPARE(tree(), QStringList{"Lis-Nowak Ewa"});
}

void TestStudentImport::exportImportsBackToSameStudents()
{
    importFile(file(QStringLiteral("lista.csv"), Header +
                                                     "1;Wiśniewska;Zofia;08231401249;;Kraków;małopolskie;\r\n"
                                                     "2;\"Kowalski; Jan\";Jan;09210509875;2008-07-01;;;M\r\n"
                                                     "3;Nowak;Anna;;;;;K\r\n"));
    QCOMPARE(tree().size(), 3);
    // A folder that is not there: said in words, nothing written.
    prompts->files.enqueue(env->root() + QStringLiteral("/brak/eksport.csv"));
    main()->Eksportujliste1Click();
    QVERIFY(prompts->texts().last().endsWith(
        QStringLiteral("\nKatalog docelowy nie istnieje.\nLista uczniów nie została zapisana.")));
    const QString csv = env->root() + QStringLiteral("/eksport.csv");
    prompts->files.enqueue(csv);
    main()->Eksportujliste1Click();
    const QByteArray bytes = RawFile::bytes(csv);
    QVERIFY(bytes.startsWith("\xEF\xBB\xBFNazwisko;Imi\xC4\x99;PESEL;Data urodzenia;"));
    QVERIFY(bytes.contains("\r\n\"Kowalski; Jan\";Jan;09210509875;2008-07-01;"));
    QList<FieldRowList> before;
    QStringList tables;
    for (const StudentListEntry& s : main()->students())
        tables << s.tableName;
    QVERIFY(bFunLoadStudentTables(env->buf, workingCopy(), tables, before));

    main()->NowyPlikToolButtonClick(); // not saved
    QVERIFY(tree().isEmpty());
    importFile(csv);
    QList<FieldRowList> after;
    QVERIFY(bFunLoadStudentTables(env->buf, workingCopy(), tables, after));
    QCOMPARE(after, before);
}

void TestStudentImport::largeListAsksFirst()
{
    QByteArray list = Header;
    for (int i = 0; i < 5001; ++i)
        list += QByteArray::number(i) + ";Nowak;Anna;A" + QByteArray::number(i) + ";;;;K\r\n";
    importFile(file(QStringLiteral("gmina.csv"), list)); // the question is answered No
    QCOMPARE(prompts->shown.last().text,
             QStringLiteral(
                 "Do wczytania jest 5001 uczniów. Zapisanie tylu uczniów naraz może potrwać wiele "
                 "minut, a rejestr z tyloma uczniami działa wolniej.\nCzy mimo to wczytać wszystkich ?"));
    QCOMPARE(prompts->shown.last().defaultAnswer, Prompts::Answer::No);
    QVERIFY(!QFile::exists(workingCopy()));
}

void TestStudentImport::sexAskedOnce_data()
{
    QTest::addColumn<int>("answer");
    QTest::addColumn<QStringList>("tree");
    QTest::addColumn<QByteArray>("sex"); // stored for Nowak Anna

    const QStringList all{"Lis Jan", "Nowak Anna", "Żak Ola"};
    QTest::newRow("kobieta") << 0 << all << QByteArray("kobieta");
    QTest::newRow("mężczyzna") << 1 << all
                               << QByteArray("m\xEA\xBF"
                                             "czyzna");
    QTest::newRow("left out") << 2 << QStringList{"Żak Ola"} << QByteArray("<0 rows>");
    QTest::newRow("Anuluj") << 3 << QStringList() << QByteArray();
}

void TestStudentImport::sexAskedOnce()
{
    QFETCH(int, answer);
    QFETCH(QStringList, tree);
    QFETCH(QByteArray, sex);
    // Two pupils give no sex and no PESEL to take it from; the third has a PESEL.
    const QString path = file(QStringLiteral("lista.csv"), "Nazwisko;Imię;PESEL;Płeć\r\nNowak;Anna;A1;\r\n"
                                                           "Lis;Jan;A2;\r\n\xC5\xBB"
                                                           "ak;Ola;08231401249;\r\n");
    prompts->choices.enqueue(answer);
    importFile(path);
    QCOMPARE(prompts->shown.first().kind, ShownBox::Kind::OpenFile);
    const ShownBox& question = prompts->shown.at(1);
    QCOMPARE(question.text,
             QStringLiteral("Uczniowie bez płci i bez numeru PESEL, z którego można ją odczytać: 2 "
                            "(wiersze: 2, 3).\nJaką płeć im wpisać ?"));
    QCOMPARE(question.choices, (QStringList{"kobieta", "mężczyzna", "Pomiń tych uczniów", "Anuluj"}));
    QCOMPARE(question.defaultChoice, 3);
    // Asked once for all of them.
    QCOMPARE(std::count_if(prompts->shown.cbegin(), prompts->shown.cend(),
                           [](const ShownBox& box) { return box.kind == ShownBox::Kind::Choice; }),
             1);
    QCOMPARE(this->tree(), tree);
    if (sex.isEmpty()) {
        QVERIFY(!QFile::exists(workingCopy()));
        return;
    }
    QCOMPARE(stored(workingCopy(), "PESELA1", "DANE UCZNIA", "Plec_DATA_COMBOBOX"), sex);
    QCOMPARE(stored(workingCopy(), "PESEL08231401249", "DANE UCZNIA", "Plec_DATA_COMBOBOX"),
             QByteArray("kobieta"));
}

void TestStudentImport::stoppedOrFailedImportLeavesRegister_data()
{
    QTest::addColumn<bool>("stop");
    QTest::addColumn<QString>("message");
    QTest::newRow("Anuluj while storing")
        << true << "Import został przerwany: żaden uczeń nie został zapisany.";
    QTest::newRow("the disk fills") << false << "Błąd zapisu danych.\n\nŻaden uczeń nie został zapisany.\n\n";
}

void TestStudentImport::stoppedOrFailedImportLeavesRegister()
{
    QFETCH(bool, stop);
    QFETCH(QString, message);
    QVERIFY(registerWithLisEwa());
    const QByteArray before = RawFile::bytes(workingCopy());
    // A list long enough to show its progress from the start.
    QByteArray list = Header;
    for (int i = 0; i < 300; ++i)
        list += QByteArray::number(i) + ";Nowak;Anna;A" + QByteArray::number(i) + ";;;;K\r\n";
    std::unique_ptr<FileSizeLimit> diskFull;
    importFile(file(QStringLiteral("szkola.csv"), list), [&](TFImportUczniow* window) {
        if (!stop) {
            diskFull = std::make_unique<FileSizeLimit>(before.size() + 16 * 1024);
            return;
        }
        QTimer::singleShot(0, window, [window] {
            auto* progress = window->findChild<QProgressDialog*>();
            QVERIFY(progress);
            QVERIFY(progress->isVisible());
            QCOMPARE(progress->labelText(), QStringLiteral("Zapisywanie uczniów w rejestrze…"));
            progress->cancel();
        });
    });
    diskFull.reset();
    QVERIFY2(prompts->texts().last().startsWith(message), qPrintable(prompts->texts().last()));
    QCOMPARE(RawFile::bytes(workingCopy()), before);
    QVERIFY(!QFile::exists(workingCopy() + QStringLiteral("-journal")));
    QCOMPARE(tree(), QStringList{"Lis Ewa"});
    QVERIFY(!main()->unsavedChanges());
}

void TestStudentImport::notAListRefusedAtOnce_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("reason");
    QTest::newRow("FIFO") << "fifo"
                          << "Nie można odczytać pliku:\n%1\nTo nie jest plik.";
    QTest::newRow("folder") << "folder"
                            << "Nie można odczytać pliku:\n%1\nTo nie jest plik.";
    QTest::newRow("9 MB")
        << "large"
        << "Nie można wczytać listy uczniów z pliku:\n%1\nPlik jest większy niż 8 MB, a lista "
           "uczniów nigdy nie jest tak duża.";
}

void TestStudentImport::notAListRefusedAtOnce()
{
    QFETCH(QString, kind);
    QFETCH(QString, reason);
    const QString path = env->root() + QStringLiteral("/lista.csv");
    if (kind == QLatin1String("fifo"))
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    else if (kind == QLatin1String("folder"))
        QVERIFY(QDir().mkpath(path));
    else
        QVERIFY(QFile(path).open(QIODevice::WriteOnly) && QFile::resize(path, 9 * 1024 * 1024));
    // A pipe opened for reading would wait here for a writer that never comes.
    prompts->files.enqueue(path);
    main()->Importujuczniow1Click();
    QCOMPARE(prompts->texts(), QStringList{reason.arg(path)});
    QVERIFY(!QFile::exists(workingCopy()));
}

void TestStudentImport::previewIsOneTabStop()
{
    TFImportUczniow window;
    QVERIFY(window.setFile(QStringLiteral("lista.csv"), Header + "1;Nowak;Anna;08231401249;;;;\r\n", {}));
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    auto* table = window.findChild<QTableView*>(QStringLiteral("PodgladTableView"));
    auto* current = window.findChild<QComboBox*>(QStringLiteral("BiezacaKolumnaComboBox"));
    table->setFocus();
    table->setCurrentIndex(table->model()->index(0, 3)); // "Nazwisko"
    // The arrows move inside the table, and the list below follows the column.
    QTest::keyClick(table, Qt::Key_Right);
    QCOMPARE(table->currentIndex().column(), 4);
    QCOMPARE(current->currentText(), QStringLiteral("Imiona"));
    QVERIFY(current->accessibleDescription().contains(QStringLiteral("Imiona")));
    // The keyboard's way to a column's meaning is the list below; the lists above are for the mouse.
    current->setFocus();
    QTest::keyClick(current, Qt::Key_Down);
    QCOMPARE(window.mapping().at(2), StudentImport::Column::Pesel);
    QCOMPARE(window.mapping().at(3), StudentImport::Column::Skip);
    // Tab leaves the table at once, for the list below it.
    table->setFocus();
    QTest::keyClick(table, Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), current);
    for (QComboBox* list :
         window.findChildren<QComboBox*>(QRegularExpression(QStringLiteral("^KolumnaComboBox"))))
        QCOMPARE(list->focusPolicy(), Qt::ClickFocus);
    QCOMPARE(window.findChild<QLabel*>(QStringLiteral("KolumnyLabel"))->buddy(), table);
    QCOMPARE(window.findChild<QLabel*>(QStringLiteral("BiezacaKolumnaLabel"))->buddy(), current);
}

QTEST_MAIN(TestStudentImport)
#include "tst_student_import.moc"

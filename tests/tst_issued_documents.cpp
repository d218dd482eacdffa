// The book of issued documents: the "L. dz." number proposed and printed, one record per
// issue kept with the pupil, the PDF/A copy beside the register, the transfer case, and
// two desks joined without losing an issue.
#include "app/TFGlowna.h"
#include "documents/DocumentFile.h"
#include "documents/IssuedDocuments.h"
#include "documents/TFDaneSzkoly.h"
#include "documents/TFDaneUcznia.h"
#include "platform/RegisterLock.h"
#include "printing/IssueArchive.h"
#include "printing/TFRejestrWydanych.h"
#include "storage/Cp1250.h"
#include "storage/DataPaths.h"
#include "storage/Templates.h"
#include "tests/support/Modal.h"
#include "tests/support/ProgramFixture.h"
#include "tests/support/RawFile.h"
#include "tests/support/TestEnvironment.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTableWidget>
#include <QTreeWidget>
#include <QtTest>

using Issued::Record;

namespace {

Record issued(const QString& number, const QString& when, const QString& table = QStringLiteral("PESEL1"),
              int document = 0)
{
    Record r;
    r.key = QStringLiteral("WYDANIE_") + number + when;
    r.number = number;
    r.issuedAt = QDateTime::fromString(when, Qt::ISODate);
    r.tableName = table;
    r.document = document;
    r.changedAt = r.issuedAt;
    return r;
}

QByteArray quoted(const QString& text)
{
    QByteArray bytes;
    Cp1250::encode(text, bytes);
    return "'" + bytes.replace('\'', "''") + "'";
}

// Two pupils with the 34 rows' first ones a reader needs.
void writeRegister(const QString& path)
{
    QByteArray sql = "begin;";
    const std::pair<const char*, const char*> pupils[] = {{"08222112345", "Kowalski"},
                                                          {"08230254321", "Żak"}};
    for (const auto& [pesel, surname] : pupils) {
        const QByteArray table = QByteArray("`PESEL") + pesel + "`";
        sql += "create table " + table + "( id TEXT, comp_name TEXT, value TEXT );";
        const std::pair<const char*, QString> rows[] = {
            {"DANE UCZNIA', 'Nazwisko_DATA_EDIT", QString::fromUtf8(surname)},
            {"DANE UCZNIA', 'Imie_DATA_EDIT", QStringLiteral("Jan")},
            {"DANE UCZNIA', 'NrPesel_DATA_EDIT", QString::fromLatin1(pesel)},
            {"ZAWIADOMIENIE_O_PRZEKAZANIU', 'ZMIENNA_Ucz_STR1_DATA_EDIT",
             QStringLiteral("Liceum nr 2 w Łodzi")},
        };
        for (const auto& [where, value] : rows)
            sql += "insert into " + table + " values('" + where + "', " + quoted(value) + ");";
    }
    RawSql::exec(path, sql + "commit;");
}

QString run(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.start(program, arguments);
    process.waitForFinished(30000);
    return QString::fromUtf8(process.readAllStandardOutput());
}

} // namespace

class TestIssuedDocuments : public QObject, ProgramFixture
{
    Q_OBJECT

    QString doc;
    QString archiveDir() { return env->root() + QStringLiteral("/klasa – wydane dokumenty"); }
    QList<Record> records()
    {
        QList<Record> out;
        MessageBuffer buf;
        Issued::bFunLoadIssues(buf, strFunGetTmpFilePath(buf), main()->students(), out);
        return out;
    }
    void selectNotice(int pupil)
    {
        QTreeWidgetItem* student = main()->treeView()->topLevelItem(pupil);
        for (int i = 0; i < student->childCount(); ++i)
            if (student->child(i)->text(0) == TFGlowna::kTransferNotice)
                main()->treeView()->setCurrentItem(student->child(i));
        main()->TreeViewClick();
    }
    // "Drukuj" into a PDF file; `number` typed over the proposal unless empty. The
    // proposal shown is returned.
    // Unless `leaveCopies`, the PDF/A copies written meanwhile are waited for.
    QString printNotice(const QString& pdf, const QString& number = QString(), bool duplicate = false,
                        bool leaveCopies = false)
    {
        QString proposed;
        prompts->files.enqueue(pdf);
        whenModal([&](QWidget* dialog) {
            auto* printers = dialog->findChild<QComboBox*>(QStringLiteral("DrukarkiComboBox"));
            printers->setCurrentIndex(printers->count() - 1);
            auto* edit = dialog->findChild<QLineEdit*>(QStringLiteral("NumerLDzEdit"));
            proposed = edit->isVisibleTo(dialog) ? edit->text() : QStringLiteral("(hidden)");
            if (!number.isEmpty())
                edit->setText(number);
            dialog->findChild<QCheckBox*>(QStringLiteral("DuplikatCheckBox"))->setChecked(duplicate);
            dialog->findChild<QPushButton*>(QStringLiteral("DrukujButton"))->click();
        });
        main()->DrukujToolButtonClick();
        if (!leaveCopies)
            IssueDesk::finishCopies();
        return proposed;
    }

private Q_SLOTS:
    void init()
    {
        prepare();
        doc = env->root() + QStringLiteral("/klasa.sqdoc");
        writeRegister(doc);
    }
    void cleanup() { closeProgram(); }

    void numberProposal_data();
    void numberProposal();
    void patternCheck_data();
    void patternCheck();
    void caseTransitions_data();
    void caseTransitions();
    void recordsRideWithThePupilAndReadersSkipThem();
    void twoDesksIssuingAtOnceKeepBoth();
    void printedIssueIsNumberedRecordedAndArchivedAsPdfA();
    void cancelledPrintRecordsNothing();
    void copyOutcomeCompletesTheRecord_data();
    void copyOutcomeCompletesTheRecord();
    void registerListFiltersAndExports();
    void openCaseIsFollowedUntilClosed();
    void templateRefusesABadPattern();
    void readOnlyRegisterTellsBeforePrinting();
};

void TestIssuedDocuments::numberProposal_data()
{
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QStringList>("existing"); // "number@ISO time"
    QTest::addColumn<int>("year");
    QTest::addColumn<QString>("expected");
    const QString p = QStringLiteral("SP12.4340.{nr}.{rok}");
    QTest::newRow("plain, empty book") << QString() << QStringList() << 2026 << QStringLiteral("1");
    QTest::newRow("plain numbers count on")
        << QString()
        << QStringList{QStringLiteral("7@2026-03-01T10:00:00"), QStringLiteral("3@2026-01-01T10:00:00")}
        << 2026 << QStringLiteral("8");
    QTest::newRow("pattern, highest of the year")
        << p
        << QStringList{QStringLiteral("SP12.4340.4.2026@2026-02-01T10:00:00"),
                       QStringLiteral("SP12.4340.11.2026@2026-05-01T10:00:00")}
        << 2026 << QStringLiteral("SP12.4340.12.2026");
    QTest::newRow("a new year starts at one")
        << p << QStringList{QStringLiteral("SP12.4340.40.2025@2025-12-31T23:59:00")} << 2026
        << QStringLiteral("SP12.4340.1.2026");
    QTest::newRow("last year's late numbers do not count")
        << p
        << QStringList{QStringLiteral("SP12.4340.40.2025@2025-12-31T23:59:00"),
                       QStringLiteral("SP12.4340.1.2026@2026-01-02T08:00:00")}
        << 2026 << QStringLiteral("SP12.4340.2.2026");
    QTest::newRow("typed numbers off the pattern are passed over")
        << p
        << QStringList{QStringLiteral("ręcznie 99@2026-02-01T10:00:00"),
                       QStringLiteral("SP12.4340.2.2026@2026-02-02T10:00:00")}
        << 2026 << QStringLiteral("SP12.4340.3.2026");
    QTest::newRow("year first") << QStringLiteral("{rok}-{nr}")
                                << QStringList{QStringLiteral("2026-5@2026-02-01T10:00:00")} << 2026
                                << QStringLiteral("2026-6");
}

void TestIssuedDocuments::numberProposal()
{
    QFETCH(QString, pattern);
    QFETCH(QStringList, existing);
    QFETCH(int, year);
    QList<Record> book;
    for (const QString& e : std::as_const(existing))
        book << issued(e.section(u'@', 0, 0), e.section(u'@', 1));
    QFETCH(QString, expected);
    QCOMPARE(Issued::numberFor(pattern, Issued::nextNr(pattern, year, book), year), expected);
}

void TestIssuedDocuments::patternCheck_data()
{
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QString>("complaint"); // a word of the message; empty: accepted
    QTest::newRow("empty: plain numbers") << QString() << QString();
    QTest::newRow("usual") << QStringLiteral("SP12.4340.{nr}.{rok}") << QString();
    QTest::newRow("no {nr}") << QStringLiteral("SP12.4340.{rok}") << QStringLiteral("{nr}");
    QTest::newRow("slash") << QStringLiteral("SP12/{nr}/{rok}") << QStringLiteral("\"/\"");
    QTest::newRow("colon") << QStringLiteral("SP:{nr}") << QStringLiteral("\":\"");
    QTest::newRow("41 characters") << QStringLiteral("{nr}") + QString(37, u'x') << QStringLiteral("40");
    QTest::newRow("40 characters") << QStringLiteral("{nr}") + QString(36, u'x') << QString();
}

void TestIssuedDocuments::patternCheck()
{
    QFETCH(QString, pattern);
    QFETCH(QString, complaint);
    const QString message = Issued::checkPattern(pattern);
    QCOMPARE(message.isEmpty(), complaint.isEmpty());
    QVERIFY2(message.contains(complaint), qPrintable(message));
}

void TestIssuedDocuments::caseTransitions_data()
{
    QTest::addColumn<QStringList>("steps"); // "c:<date>" confirmation, "s:<date>" sent
    QTest::addColumn<int>("state");
    QTest::addColumn<int>("failures");
    QTest::newRow("notice opens a case")
        << QStringList() << int(Issued::CaseState::AwaitingConfirmation) << 0;
    QTest::newRow("confirmed") << QStringList{QStringLiteral("c:2026-03-05")}
                               << int(Issued::CaseState::SendRecords) << 0;
    QTest::newRow("confirmation before the notice")
        << QStringList{QStringLiteral("c:2026-02-28")} << int(Issued::CaseState::AwaitingConfirmation) << 1;
    QTest::newRow("sent before confirmed")
        << QStringList{QStringLiteral("s:2026-03-05")} << int(Issued::CaseState::AwaitingConfirmation) << 1;
    QTest::newRow("closed") << QStringList{QStringLiteral("c:2026-03-05"), QStringLiteral("s:2026-03-06")}
                            << int(Issued::CaseState::Closed) << 0;
    QTest::newRow("sent before the confirmation date")
        << QStringList{QStringLiteral("c:2026-03-05"), QStringLiteral("s:2026-03-04")}
        << int(Issued::CaseState::SendRecords) << 1;
    QTest::newRow("confirmed twice") << QStringList{QStringLiteral("c:2026-03-05"),
                                                    QStringLiteral("c:2026-03-06")}
                                     << int(Issued::CaseState::SendRecords) << 1;
}

void TestIssuedDocuments::caseTransitions()
{
    QFETCH(QStringList, steps);
    QFETCH(int, state);
    QFETCH(int, failures);
    Record r = issued(QStringLiteral("5"), QStringLiteral("2026-03-01T09:00:00"));
    r.state = Issued::CaseState::AwaitingConfirmation;
    int failed = 0;
    for (const QString& step : std::as_const(steps)) {
        const QDate on = QDate::fromString(step.mid(2), Qt::ISODate);
        const Record before = r;
        QString error;
        const bool ok = step.startsWith(u'c')
                            ? Issued::noteConfirmation(r, on, QStringLiteral("12/2026"), {}, error)
                            : Issued::noteSent(r, on, error);
        if (!ok) {
            ++failed;
            QVERIFY(!error.isEmpty());
            QCOMPARE(Issued::toRow(r), Issued::toRow(before)); // a refused step changes nothing
        }
    }
    QCOMPARE(int(r.state), state);
    QCOMPARE(failed, failures);
    // The state survives the stored row.
    Record back;
    QVERIFY(Issued::fromRow(Issued::toRow(r), back));
    QCOMPARE(int(back.state), state);
    QCOMPARE(back.confirmedOn, r.confirmedOn);
}

// A record is a row of the pupil's own table: stored and read back whole (line breaks,
// backslashes, apostrophes, Polish letters), kept when the pupil is saved again, and
// passed over by the readers of the 34 form rows and by the student list.
void TestIssuedDocuments::recordsRideWithThePupilAndReadersSkipThem()
{
    MessageBuffer buf;
    Record r = issued(QStringLiteral("SP12.4340.1.2026"), QStringLiteral("2026-03-01T09:00:00"),
                      QStringLiteral("PESEL08222112345"));
    r.school = QStringLiteral("Liceum \"Orła\" w O'Brien\\nowe\nmiasto");
    r.fields.insert(QStringLiteral("ZMIENNA_Ucz_STR1_DATA_EDIT"), QStringLiteral("Łódź, ul. Ćmy 2"));
    r.state = Issued::CaseState::AwaitingConfirmation;
    QVERIFY2(Issued::bFunStoreIssues(buf, doc, {r}), qPrintable(buf.text()));

    QList<StudentListEntry> students;
    QVERIFY(bFunGetStudentsList(buf, doc, students));
    QCOMPARE(students.size(), 2);
    QList<Record> back;
    QVERIFY(Issued::bFunLoadIssues(buf, doc, students, back));
    QCOMPARE(back.size(), 1);
    QCOMPARE(back.at(0).school, r.school);
    QCOMPARE(back.at(0).fields, r.fields);
    QCOMPARE(back.at(0).pupil, QStringLiteral("Kowalski Jan"));

    // The form rows are what they were, and the record row is one row of its own section.
    FieldRowList rows;
    QVERIFY(bFunLoadCertData(buf, doc, QStringLiteral("PESEL08222112345"), rows));
    QCOMPARE(rows.size(), 5);
    QCOMPARE(std::count_if(rows.cbegin(), rows.cend(),
                           [](const FieldRow& f) { return f.id == Issued::SectionId; }),
             1);

    // Saved again from the forms under a new PESEL: the record moves with the pupil.
    QVERIFY(startProgram(doc));
    main()->treeView()->setCurrentItem(main()->treeView()->topLevelItem(0));
    main()->TreeViewClick();
    w->daneUcznia->findChild<QLineEdit*>(QStringLiteral("NrPesel_DATA_EDIT"))
        ->setText(QStringLiteral("08222199999"));
    QVERIFY(main()->bFunSaveStudent(QStringLiteral("PESEL08222112345")));
    const QList<Record> moved = records();
    QCOMPARE(moved.size(), 1);
    QCOMPARE(moved.at(0).tableName, QStringLiteral("PESEL08222199999"));
    QCOMPARE(moved.at(0).number, r.number);
}

// Two desks issue at the same moment from one base: the same number to two pupils, and a
// second issue to a pupil whose data the other desk changed. Whichever side the user
// keeps, every issue is there after the join, and the later one carries a note.
void TestIssuedDocuments::twoDesksIssuingAtOnceKeepBoth()
{
    MessageBuffer buf;
    const QString base = env->root() + QStringLiteral("/base.sqdoc");
    const QString theirs = env->root() + QStringLiteral("/theirs.sqdoc");
    QVERIFY(QFile::copy(doc, base));
    QVERIFY(QFile::copy(doc, theirs));
    // Mine: number 5 to Kowalski.
    QVERIFY(Issued::bFunStoreIssues(buf, doc,
                                    {issued(QStringLiteral("5"), QStringLiteral("2026-03-01T09:00:00"),
                                            QStringLiteral("PESEL08222112345"))}));
    // Theirs: number 5 to Żak a minute later, and number 6 to Kowalski.
    QVERIFY(Issued::bFunStoreIssues(buf, theirs,
                                    {issued(QStringLiteral("5"), QStringLiteral("2026-03-01T09:01:00"),
                                            QStringLiteral("PESEL08230254321")),
                                     issued(QStringLiteral("6"), QStringLiteral("2026-03-01T09:02:00"),
                                            QStringLiteral("PESEL08222112345"))}));
    for (const MergeChoice choice : {MergeChoice::Mine, MergeChoice::Theirs}) {
        const QString merged = env->root() + QStringLiteral("/merged%1.sqdoc").arg(int(choice));
        QVERIFY(QFile::copy(doc, merged));
        RegisterMergePlan plan;
        QStringList repeats;
        int asked = 0;
        RegisterMergeContext context;
        context.base = base;
        context.theirs = theirs;
        context.merged = merged;
        context.decide = [&](MergeQuestion, const QString&) {
            ++asked;
            return choice;
        };
        QVERIFY2(Issued::bFunMergeKeepingIssues(buf, context, plan, repeats), qPrintable(buf.text()));
        QCOMPARE(asked, 1); // Kowalski changed on both desks
        QList<StudentListEntry> students;
        QVERIFY(bFunGetStudentsList(buf, merged, students));
        QList<Record> all;
        QVERIFY(Issued::bFunLoadIssues(buf, merged, students, all));
        QStringList seen;
        for (const Record& r : std::as_const(all))
            seen << r.number + u'@' + r.tableName.right(5) +
                        (r.note.isEmpty() ? QString() : QStringLiteral(" noted"));
        seen.sort();
        QCOMPARE(seen, (QStringList{QStringLiteral("5@12345"), QStringLiteral("5@54321 noted"),
                                    QStringLiteral("6@12345")}));
        QCOMPARE(repeats.size(), 1);
        QVERIFY2(repeats.at(0).contains(QStringLiteral("Numer 5")), qPrintable(repeats.at(0)));
    }
}

// The secretary prints a transfer notice into a PDF: the proposed number follows the
// template's pattern, stands on the sheet beside "L. dz.", is recorded once with the
// case opened, and a PDF/A copy lies beside the register. A reprint keeps the number
// and records a second issue; a number already used is asked about first.
void TestIssuedDocuments::printedIssueIsNumberedRecordedAndArchivedAsPdfA()
{
    FixedClock clock(QDateTime(QDate(2026, 3, 2), QTime(10, 0), QTimeZone::utc()));
    QVERIFY(startProgram(doc));
    QVERIFY(bFunSqlTemplateWriteData(
        env->buf, strFunGetTemplatesFilePath(env->buf), QStringLiteral("school_data"),
        {{QStringLiteral("DANE SZKOLY"), Issued::PatternField, QStringLiteral("SP12.4340.{nr}.{rok}")}}));
    selectNotice(0);
    const QString pdf = env->root() + QStringLiteral("/wydruk.pdf");
    prompts->choices.enqueue(0); // print fields cut at their boxes, if any
    QCOMPARE(printNotice(pdf), QStringLiteral("SP12.4340.1.2026"));
    QList<Record> book = records();
    QCOMPARE(book.size(), 1);
    const Record first = book.at(0);
    QCOMPARE(first.number, QStringLiteral("SP12.4340.1.2026"));
    QCOMPARE(first.state, Issued::CaseState::AwaitingConfirmation);
    QCOMPARE(first.school, QStringLiteral("Liceum nr 2 w Łodzi"));
    QCOMPARE(first.login, QStringLiteral("sekretariat"));
    QVERIFY(first.toPdf && first.destination == pdf);
    QVERIFY(main()->unsavedChanges());
    QVERIFY(run(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")}).contains(first.number));
    main()->TreeViewClick(); // the tree tells what was issued
    QVERIFY(main()->treeView()->currentItem()->toolTip(0).contains(first.number));

    // The copy: PDF/A-1b by its own metadata, every font embedded, the number on the page.
    QVERIFY2(QFileInfo(first.archive).absolutePath() == archiveDir(), qPrintable(first.archive));
    QFile copy(first.archive);
    QVERIFY(copy.open(QIODevice::ReadOnly));
    const QByteArray bytes = copy.readAll();
    QVERIFY(bytes.contains("<pdfaid:part>1</pdfaid:part>") || bytes.contains("pdfaid:part=\"1\""));
    const QStringList fonts =
        run(QStringLiteral("pdffonts"), {first.archive}).split(u'\n', Qt::SkipEmptyParts);
    QVERIFY2(fonts.size() > 2, qPrintable(fonts.join(u'\n'))); // the header and at least one font
    for (const QString& line : fonts.mid(2))
        QVERIFY2(line.contains(QStringLiteral(" yes ")), qPrintable(line));
    const QString info = run(QStringLiteral("pdfinfo"), {first.archive});
    QVERIFY2(info.contains(first.number) && info.contains(QStringLiteral("Kowalski Jan")), qPrintable(info));
    QVERIFY(run(QStringLiteral("pdftotext"), {first.archive, QStringLiteral("-")}).contains(first.number));

    // The reprint proposes the same number, adds "Duplikat" and keeps the first copy.
    const QByteArray firstCopy = bytes;
    prompts->choices.enqueue(0);
    prompts->answers.enqueue(Prompts::Answer::Yes); // the PDF file is replaced
    QCOMPARE(printNotice(pdf, QString(), true), first.number);
    book = records();
    QCOMPARE(book.size(), 2);
    QCOMPARE(book.at(1).number, first.number);
    QVERIFY(book.at(1).duplicate);
    QCOMPARE(book.at(1).state, Issued::CaseState::None);
    QVERIFY(book.at(1).archive != first.archive);
    QVERIFY(run(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")})
                .contains(QStringLiteral("Duplikat, 02.03.2026")));
    QFile again(first.archive);
    QVERIFY(again.open(QIODevice::ReadOnly));
    QCOMPARE(again.readAll(), firstCopy);

    // Another pupil: the next number; typing the used one asks, and "Nie" prints nothing.
    selectNotice(1);
    prompts->clear();
    prompts->choices.enqueue(0);
    QCOMPARE(printNotice(pdf, first.number), QStringLiteral("SP12.4340.2.2026"));
    QCOMPARE(records().size(), 2);
    QVERIFY2(prompts->texts().join(u'|').contains(
                 QStringLiteral("Numer L. dz. SP12.4340.1.2026 został już użyty")),
             qPrintable(prompts->texts().join(u'|')));
}

// A print whose file name is cancelled, or a dialog closed with "Anuluj", leaves no record.
void TestIssuedDocuments::cancelledPrintRecordsNothing()
{
    QVERIFY(startProgram(doc));
    selectNotice(0);
    prompts->choices.enqueue(0);
    printNotice(QString()); // the file dialog cancelled
    whenModal(
        [](QWidget* dialog) { dialog->findChild<QPushButton*>(QStringLiteral("AnulujButton"))->click(); });
    main()->DrukujToolButtonClick();
    QCOMPARE(records().size(), 0);
    QVERIFY(!QDir(archiveDir()).exists());
    QVERIFY(!main()->unsavedChanges());
}

// The copy is written after the window is back: until then the record is kept and
// says that the copy is not there; once written the record names it. A folder that
// cannot be made: the document is printed, the user is told, and the record keeps the
// reason. A save waits for the copies.
void TestIssuedDocuments::copyOutcomeCompletesTheRecord_data()
{
    QTest::addColumn<bool>("writable");
    QTest::newRow("written") << true;
    QTest::newRow("folder cannot be made") << false;
}

void TestIssuedDocuments::copyOutcomeCompletesTheRecord()
{
    QFETCH(bool, writable);
    QVERIFY(startProgram(doc));
    if (!writable)
        RawFile::write(archiveDir(), "a file where the folder should be");
    selectNotice(0);
    const QString pdf = env->root() + QStringLiteral("/wydruk.pdf");
    prompts->choices.enqueue(0);
    const QString told = QStringLiteral("Kopia PDF/A wydanego dokumentu nie została zapisana");
    printNotice(pdf, QString(), false, true);
    QVERIFY(QFile::exists(pdf));
    QList<Record> book = records();
    QCOMPARE(book.size(), 1);
    if (IssueDesk::copiesPending() > 0) { // the copy is still being written
        QVERIFY(book.at(0).archive.isEmpty());
        QCOMPARE(book.at(0).archiveNote, QStringLiteral("Kopia PDF/A nie została jeszcze zapisana."));
        QVERIFY(!prompts->texts().join(u'|').contains(told));
    }
    QVERIFY(main()->bFunSaveCommand());
    QCOMPARE(IssueDesk::copiesPending(), 0);
    book = records();
    QCOMPARE(book.size(), 1);
    QCOMPARE(book.at(0).archive.isEmpty(), !writable);
    QCOMPARE(book.at(0).archiveNote.isEmpty(), writable);
    QCOMPARE(QFile::exists(book.at(0).archive), writable);
    QCOMPARE(prompts->texts().join(u'|').contains(told), !writable);
    // The completed record went into the saved register, not only into the working copy.
    QList<Record> saved;
    MessageBuffer buf;
    QVERIFY(Issued::bFunLoadIssues(buf, doc, main()->students(), saved));
    QCOMPARE(saved.size(), 1);
    QCOMPARE(saved.at(0).archive, book.at(0).archive);
}

// The register list: filters combine, and the CSV holds what the list shows.
void TestIssuedDocuments::registerListFiltersAndExports()
{
    QList<Record> book;
    const char* pupils[] = {"Kowalski Jan", "Żak Łukasz", "Nowak Ewa"};
    for (int i = 0; i < 9; ++i) {
        Record r = issued(QString::number(i + 1), QStringLiteral("%1-03-01T09:00:00").arg(2025 + i % 2),
                          QStringLiteral("PESEL%1").arg(i % 3), i % 2);
        r.pupil = QString::fromUtf8(pupils[i % 3]);
        book << r;
    }
    TFRejestrWydanych window;
    window.setRecords(book);
    QCOMPARE(window.shownRecords().size(), 9);
    window.findChild<QLineEdit*>(QStringLiteral("UczenEdit"))->setText(QStringLiteral("żak"));
    QCOMPARE(window.shownRecords().size(), 3);
    auto* years = window.findChild<QComboBox*>(QStringLiteral("RokComboBox"));
    years->setCurrentIndex(years->findText(QStringLiteral("2026")));
    const QList<Record> shown = window.shownRecords();
    QCOMPARE(shown.size(), 2); // Żak's issues are 2, 5 and 8; 5 is of 2025
    QCOMPARE(shown.at(0).number + shown.at(1).number, QStringLiteral("28"));
    const QByteArray csv = TFRejestrWydanych::csvOf(shown);
    QVERIFY(csv.startsWith("\xEF\xBB\xBFL. dz.;Data wydania;"));
    QCOMPARE(csv.count("\r\n"), 3);
    QVERIFY(csv.contains(QStringLiteral("Żak Łukasz").toUtf8()));
}

// The case of a transfer notice: listed with its age, a confirmation dated before the
// notice refused, then "wysłać kartę..." until the sending is noted; the opening of the
// register mentions the cases waiting longer than 14 days.
void TestIssuedDocuments::openCaseIsFollowedUntilClosed()
{
    MessageBuffer buf;
    Record notice = issued(QStringLiteral("7"), QStringLiteral("2026-03-01T09:00:00"),
                           QStringLiteral("PESEL08222112345"));
    notice.state = Issued::CaseState::AwaitingConfirmation;
    Record confirmation = issued(QStringLiteral("8"), QStringLiteral("2026-03-01T09:00:00"),
                                 QStringLiteral("PESEL08230254321"), 1);
    QVERIFY(Issued::bFunStoreIssues(buf, doc, {notice, confirmation}));
    FixedClock clock(QDateTime(QDate(2026, 3, 20), QTime(10, 0), QTimeZone::utc()));
    QVERIFY(startProgram(doc));
    const QLabel* note = main()->findChild<QLabel*>(QStringLiteral("StatusBarNote"));
    QVERIFY2(note->text().contains(QStringLiteral("Sprawy w toku czekające dłużej niż 14 dni: 1")),
             qPrintable(note->text()));

    prompts->inputs << QStringLiteral("28.02.2026") << QString()                    // before the notice
                    << QStringLiteral("05.03.2026") << QStringLiteral("PP.12/2026") // confirmed
                    << QStringLiteral("06.03.2026");                                // sent
    whenModal([this](QWidget* window) {
        auto* table = window->findChild<QTableWidget*>(QStringLiteral("SprawyTable"));
        QCOMPARE(table->rowCount(), 1); // the confirmation opens no case
        QCOMPARE(table->item(0, 5)->text(), QStringLiteral("19"));
        table->setCurrentCell(0, 0);
        auto* confirmed = window->findChild<QPushButton*>(QStringLiteral("PotwierdzenieButton"));
        confirmed->click();
        QCOMPARE(table->item(0, 4)->text(), QStringLiteral("oczekuje na potwierdzenie"));
        confirmed->click();
        QCOMPARE(table->item(0, 4)->text(), QStringLiteral("wysłać kartę zdrowia i arkusz ocen"));
        window->findChild<QPushButton*>(QStringLiteral("WyslanoButton"))->click();
        QCOMPARE(table->rowCount(), 0);
    });
    main()->Sprawywtoku1Click();
    QVERIFY2(prompts->texts().join(u'|').contains(QStringLiteral("jest wcześniejsza niż data zawiadomienia")),
             qPrintable(prompts->texts().join(u'|')));
    const QList<Record> book = records();
    const auto closed =
        std::find_if(book.cbegin(), book.cend(), [](const Record& r) { return r.number == u"7"; });
    QVERIFY(closed != book.cend());
    QCOMPARE(closed->state, Issued::CaseState::Closed);
    QCOMPARE(closed->confirmationNumber, QStringLiteral("PP.12/2026"));
    QCOMPARE(closed->sentOn, QDate(2026, 3, 6));
    QVERIFY(main()->unsavedChanges());
}

// The template form keeps the form open on a pattern without {nr} and stores nothing;
// a good pattern is stored and proposed at the next print.
void TestIssuedDocuments::templateRefusesABadPattern()
{
    QVERIFY(startProgram(doc));
    TFDaneSzkoly* form = w->daneSzkoly;
    form->show();
    auto* pattern = form->findChild<QLineEdit*>(Issued::PatternField);
    auto* ok = form->findChild<QPushButton*>(QStringLiteral("OKButton"));
    FieldRowList stored;
    for (const QString& typed : {QStringLiteral("SP12.{rok}"), QStringLiteral("SP12.{nr}.{rok}")}) {
        pattern->setText(typed);
        ok->click();
        QVERIFY(bFunSqlTemplateReadData(env->buf, strFunGetTemplatesFilePath(env->buf),
                                        TFDaneSzkoly::TemplateName, stored));
        const bool kept = std::any_of(stored.cbegin(), stored.cend(), [&typed](const FieldRow& r) {
            return r.compName == Issued::PatternField && r.value == typed;
        });
        QCOMPARE(kept, typed.contains(QStringLiteral("{nr}")));
        QCOMPARE(form->isVisible(), !kept);
    }
    QCOMPARE(prompts->texts(), QStringList{Issued::checkPattern(QStringLiteral("SP12.{rok}"))});
    QVERIFY(!form->isVisible());
    QCOMPARE(IssueDesk::pattern(env->buf), QStringLiteral("SP12.{nr}.{rok}"));
}

// A register open read-only keeps no record: the user is told before the dialog, and
// "Anuluj" there prints nothing.
void TestIssuedDocuments::readOnlyRegisterTellsBeforePrinting()
{
    RawFile::write(RegisterLock::lockPath(doc), QByteArray()); // held by someone unknown
    prompts->choices.enqueue(0);                               // "Otwórz tylko do odczytu"
    QVERIFY(startProgram(doc));
    QVERIFY(main()->readOnly());
    selectNotice(0);
    const QString pdf = env->root() + QStringLiteral("/wydruk.pdf");
    prompts->clear();
    prompts->choices.enqueue(1);     // "Anuluj"
    main()->DrukujToolButtonClick(); // no dialog comes up
    QCOMPARE(prompts->shown.size(), 1);
    QVERIFY2(prompts->shown.at(0).text.contains(QStringLiteral("tylko do odczytu")),
             qPrintable(prompts->shown.at(0).text));
    QCOMPARE(prompts->shown.at(0).choices,
             (QStringList{QStringLiteral("Drukuj bez zapisu"), QStringLiteral("Anuluj")}));

    prompts->choices << 0 << 0; // "Drukuj bez zapisu", and fields cut at their boxes if any
    QCOMPARE(printNotice(pdf), QStringLiteral("(hidden)"));
    QVERIFY(QFile::exists(pdf));
    QCOMPARE(records().size(), 0);
    QVERIFY(!QDir(archiveDir()).exists());
}

QTEST_MAIN(TestIssuedDocuments)
#include "tst_issued_documents.moc"

// The student data form: its checks on OK, the duplicate question, what it hands to
// the save, the place-name dictionaries and its binding.
#include "documents/DocumentFile.h"
#include "documents/StudentSaver.h"
#include "documents/TFDaneUcznia.h"
#include "storage/DataFolder.h"
#include "storage/Templates.h"
#include "tests/support/ScriptedPrompts.h"
#include "tests/support/TestEnvironment.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

#include <memory>

namespace {

// Records every save with the student form's rows at that moment.
class RecordingSaver : public StudentSaver
{
public:
    explicit RecordingSaver(const TFDaneUcznia* form) : form(form) {}

    bool bFunSaveStudent(const QString& previousTableName) override
    {
        previous << previousTableName;
        FieldRowList rows;
        form->CollectFields(rows);
        stored << rows;
        return result;
    }
    // The student form stores students only.
    bool bFunSaveDocument() override { return false; }
    QString storedValue(const QString& compName) const
    {
        for (const FieldRow& row : stored.constLast())
            if (row.compName == compName)
                return row.value;
        return QStringLiteral("<missing>");
    }

    const TFDaneUcznia* form;
    bool result = true;
    QStringList previous;
    QList<FieldRowList> stored;
};

const QString DuplicateQuestion =
    QStringLiteral("Uczeń o tym numerze PESEL już istnieje, czy chcesz nadpisać dane tego ucznia ?");
const QString PeselMessage =
    QStringLiteral("Numer PESEL nie jest prawidłowy lub zawiera nie dozwolone znaki");

} // namespace

class TestStudentForm : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TestEnvironment> m_env;
    std::unique_ptr<ScriptedPrompts> m_prompts;
    std::unique_ptr<TFDaneUcznia> m_form;
    std::unique_ptr<RecordingSaver> m_saver;

    template <typename T = QWidget> T* field(const char* name) const
    {
        T* found = m_form->findChild<T*>(QString::fromLatin1(name));
        if (!found)
            qFatal("no component %s", name);
        return found;
    }
    QLineEdit* edit(const char* name) const { return field<QLineEdit>(name); }
    QComboBox* combo(const char* name) const { return field<QComboBox>(name); }

    QString workingCopy() const
    {
        MessageBuffer scratch;
        return strFunGetTmpFilePath(scratch);
    }
    void addStudentTable(const QString& table)
    {
        RawSql::exec(workingCopy(),
                     "create table `" + table.toLatin1() + "`( id TEXT, comp_name TEXT, value TEXT )");
    }
    QList<QByteArray> tables() const
    {
        return RawSql::column(workingCopy(),
                              "select name from sqlite_master where type = 'table' order by name");
    }
    // A student that passes every check.
    void typeValidStudent(const QString& pesel = QStringLiteral("08231401249"))
    {
        edit("Nazwisko_DATA_EDIT")->setText(QStringLiteral("Nowak"));
        edit("Imie_DATA_EDIT")->setText(QStringLiteral("Anna"));
        combo("Plec_DATA_COMBOBOX")->setCurrentIndex(0);
        edit("NrPesel_DATA_EDIT")->setText(pesel);
    }
    void showForm()
    {
        m_form->show();
        m_prompts->clear();
    }

private Q_SLOTS:
    void init();
    void cleanup();

    void captionsAndItems();
    void requiredFields_data();
    void requiredFields();
    void peselCheck_data();
    void peselCheck();
    void peselFaultAsksFirst_data();
    void peselFaultAsksFirst();
    void peselWarningAndFillIn_data();
    void peselWarningAndFillIn();
    void capitals_data();
    void capitals();
    void newStudent_data();
    void newStudent();
    void duplicateCheckFailure();
    void editMode_data();
    void editMode();
    void failedSaveKeepsFormOpen();
    void cancelStoresNothing();
    void typedPlaceNamesReachDictionaries();
    void placeListsSortedAndKeepStandingText_data();
    void placeListsSortedAndKeepStandingText();
    void dictionaryLoadFailure();
    void clearEmptiesEveryField();
    void fillFieldsSex_data();
    void fillFieldsSex();
    void fillFieldsAppliesOwnRowsOnly();
    void collectYieldsNineRowsInComponentOrder();
    void typingLimits_data();
    void typingLimits();
    void labelsNameTheirFields();
    void tabOrder();
};

void TestStudentForm::init()
{
    m_env = std::make_unique<TestEnvironment>();
    QVERIFY(m_env->installDataFolder());
    m_prompts = std::make_unique<ScriptedPrompts>();
    m_form = std::make_unique<TFDaneUcznia>();
    m_saver = std::make_unique<RecordingSaver>(m_form.get());
    m_form->setStudentSaver(m_saver.get());
}

void TestStudentForm::cleanup()
{
    m_form.reset();
    m_saver.reset();
    m_prompts.reset();
    m_env.reset();
}

void TestStudentForm::captionsAndItems()
{
    QCOMPARE(m_form->windowTitle(), QStringLiteral("Dane ucznia"));
    QCOMPARE(field<QPushButton>("OKButton")->text(), QStringLiteral("OK"));
    QCOMPARE(field<QPushButton>("AnulujButton")->text(), QStringLiteral("Anuluj"));
    QVERIFY(field<QPushButton>("OKButton")->isDefault());

    QComboBox* sex = combo("Plec_DATA_COMBOBOX");
    QVERIFY(!sex->isEditable());
    QCOMPARE(sex->count(), 2);
    QCOMPARE(sex->itemText(0), QStringLiteral("kobieta"));
    QCOMPARE(sex->itemText(1), QStringLiteral("mężczyzna"));
    QCOMPARE(sex->currentIndex(), -1);

    // The years of birth of today's pupils, from the year of the showing; a standing
    // year stays in the box.
    FixedClock clock(QDateTime(QDate(2025, 1, 1), QTime(0, 30)).toUTC());
    QComboBox* year = combo("UrodzonyRok_DATA_COMBOBOX");
    QVERIFY(year->isEditable());
    year->setEditText(QStringLiteral("1990 r."));
    showForm();
    QStringList years;
    for (int i = 0; i < year->count(); ++i)
        years << year->itemText(i);
    QCOMPARE(years.size(), 16);
    QCOMPARE(years.first(), QStringLiteral("2004 r."));
    QCOMPARE(years.last(), QStringLiteral("2019 r."));
    QCOMPARE(year->currentText(), QStringLiteral("1990 r."));
    QVERIFY(combo("UrodzonyMiasto_DATA_COMBOBOX")->isEditable());
    QVERIFY(combo("UrodzonyWoj_DATA_COMBOBOX")->isEditable());
}

void TestStudentForm::requiredFields_data()
{
    QTest::addColumn<QString>("surname");
    QTest::addColumn<QString>("firstName");
    QTest::addColumn<int>("sex");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("focused");

    QTest::newRow("all empty") << ""
                               << "" << -1 << "Nazwisko ucznia jest wymagane"
                               << "Nazwisko_DATA_EDIT";
    QTest::newRow("only first name") << ""
                                     << "Anna" << 0 << "Nazwisko ucznia jest wymagane"
                                     << "Nazwisko_DATA_EDIT";
    QTest::newRow("no first name") << "Nowak"
                                   << "" << -1 << "Imię ucznia jest wymagane"
                                   << "Imie_DATA_EDIT";
    QTest::newRow("no sex") << "Nowak"
                            << "Anna" << -1 << "Płeć ucznia jest wymagana"
                            << "Plec_DATA_COMBOBOX";
    QTest::newRow("blanks are text") << " "
                                     << " " << -1 << "Płeć ucznia jest wymagana"
                                     << "Plec_DATA_COMBOBOX";
}

void TestStudentForm::requiredFields()
{
    QFETCH(QString, surname);
    QFETCH(QString, firstName);
    QFETCH(int, sex);
    QFETCH(QString, message);
    QFETCH(QString, focused);

    showForm();
    edit("NrDziennika_DATA_EDIT")->setFocus();
    edit("Nazwisko_DATA_EDIT")->setText(surname);
    edit("Imie_DATA_EDIT")->setText(firstName);
    combo("Plec_DATA_COMBOBOX")->setCurrentIndex(sex);
    m_form->OKButtonClick();

    QCOMPARE(m_prompts->shown.size(), 1);
    const ShownBox& box = m_prompts->shown.first();
    QCOMPARE(box.text, message);
    QCOMPARE(box.caption, QStringLiteral("Brak danych"));
    QCOMPARE(box.icon, Prompts::Icon::Warning);
    QCOMPARE(box.buttons, Prompts::Buttons::Ok);
    QCOMPARE(m_form->focusWidget()->objectName(), focused);
    QVERIFY(m_saver->previous.isEmpty());
    QVERIFY(m_form->isVisible());
}

void TestStudentForm::peselCheck_data()
{
    QTest::addColumn<QString>("pesel");
    QTest::addColumn<bool>("accepted");

    QTest::newRow("whole PESEL") << "08231401249" << true;
    QTest::newRow("empty") << "" << true;
    QTest::newRow("blank") << "12345 678901" << false;
    QTest::newRow("trailing blank") << "12345678901 " << false;
    QTest::newRow("Polish letter") << "1234567890ł" << false;
    QTest::newRow("hyphen") << "123-456" << false;
    QTest::newRow("apostrophe") << "12'34" << false;
    QTest::newRow("non-ASCII digit") << QStringLiteral("12\u0663") << false;
    QTest::newRow("fullwidth letter") << QStringLiteral("\uFF21") << false;
}

void TestStudentForm::peselCheck()
{
    QFETCH(QString, pesel);
    QFETCH(bool, accepted);

    showForm();
    typeValidStudent(pesel);
    m_form->OKButtonClick();

    if (accepted) {
        QCOMPARE(m_prompts->texts(), QStringList());
        QCOMPARE(m_saver->previous.size(), 1);
        QCOMPARE(m_saver->storedValue("NrPesel_DATA_EDIT"), pesel);
        QCOMPARE(m_form->result(), int(QDialog::Accepted));
        QVERIFY(!m_form->isVisible());
    } else {
        QCOMPARE(m_prompts->texts(), QStringList{PeselMessage});
        QCOMPARE(m_prompts->shown.first().caption, QStringLiteral("Brak danych"));
        QCOMPARE(m_prompts->shown.first().icon, Prompts::Icon::Warning);
        QCOMPARE(m_form->focusWidget(), edit("NrPesel_DATA_EDIT"));
        QVERIFY(m_saver->previous.isEmpty());
        QVERIFY(m_form->isVisible());
    }
}

void TestStudentForm::peselFaultAsksFirst_data()
{
    QTest::addColumn<QString>("pesel");
    QTest::addColumn<QString>("fault");

    QTest::newRow("10 digits") << "0823140124"
                               << "numer PESEL ma 10 cyfr zamiast 11";
    QTest::newRow("12 digits") << "082314012491"
                               << "numer PESEL ma 12 cyfr zamiast 11";
    QTest::newRow("3 digits") << "082"
                              << "numer PESEL ma 3 cyfry zamiast 11";
    QTest::newRow("letters") << "AbcXYZ09"
                             << "numer PESEL zawiera znaki inne niż cyfry";
    QTest::newRow("thirty characters")
        << QString(30, QLatin1Char('9')) << "numer PESEL ma 30 cyfr zamiast 11";
    QTest::newRow("check digit") << "08231401248"
                                 << "cyfra kontrolna numeru PESEL się nie zgadza";
    QTest::newRow("30 February 2002") << "02223001239"
                                      << "numer PESEL zawiera datę urodzenia, która nie istnieje";
    // Today is 1 September 2025.
    QTest::newRow("2030") << "30210101231"
                          << "numer PESEL zawiera datę urodzenia z przyszłości (01.01.2030)";
    QTest::newRow("2101") << "01420101238"
                          << "numer PESEL zawiera datę urodzenia z przyszłości (01.02.2101)";
    QTest::newRow("tomorrow") << "25290200002"
                              << "numer PESEL zawiera datę urodzenia z przyszłości (02.09.2025)";
}

void TestStudentForm::peselFaultAsksFirst()
{
    QFETCH(QString, pesel);
    QFETCH(QString, fault);
    const FixedClock clock(QDateTime(QDate(2025, 9, 1), QTime(12, 0), Qt::UTC));

    for (const Prompts::Answer answer : {Prompts::Answer::No, Prompts::Answer::Yes}) {
        showForm();
        typeValidStudent(QString());
        // Typed key by key: every character is taken, the twelfth digit too.
        QTest::keyClicks(edit("NrPesel_DATA_EDIT"), pesel);
        QCOMPARE(edit("NrPesel_DATA_EDIT")->text(), pesel);
        m_prompts->answers.enqueue(answer);
        m_form->OKButtonClick();
        QCOMPARE(m_prompts->texts(), QStringList{QStringLiteral("Numer PESEL nie jest prawidłowy: ") + fault +
                                                 QStringLiteral(".\nCzy mimo to zapisać ucznia ?")});
        QCOMPARE(m_prompts->shown.first().icon, Prompts::Icon::Warning);
        QCOMPARE(m_prompts->shown.first().defaultAnswer, Prompts::Answer::No);
        // The line under the field keeps naming the fault.
        QVERIFY(field<QLabel>("NrPeselUwagaLabel")->text().contains(fault));
        if (answer == Prompts::Answer::No) {
            QVERIFY(m_saver->previous.isEmpty());
            QVERIFY(m_form->isVisible());
            QCOMPARE(m_form->focusWidget(), edit("NrPesel_DATA_EDIT"));
        } else {
            QCOMPARE(m_saver->storedValue("NrPesel_DATA_EDIT"), pesel);
        }
    }
}

void TestStudentForm::peselWarningAndFillIn_data()
{
    QTest::addColumn<QString>("pesel");
    QTest::addColumn<bool>("typed");
    QTest::addColumn<QStringList>("before"); // birth day, year, sex
    QTest::addColumn<QStringList>("after");
    QTest::addColumn<QString>("warning");
    QTest::addColumn<bool>("asks"); // OK asks before storing

    const QStringList empty{"", "", ""};
    QTest::newRow("valid number fills the empty fields")
        << "08231401249" << true << empty << QStringList{"14 marca", "2008 r.", "kobieta"} << "" << false;
    QTest::newRow("1800s") << "82810101238" << true << empty
                           << QStringList{"1 stycznia", "1882 r.", "mężczyzna"} << "" << false;
    QTest::newRow("typed fields are kept and compared")
        << "08231401232" << true << QStringList{"15 marca", "2008 r.", "kobieta"}
        << QStringList{"15 marca", "2008 r.", "kobieta"}
        << "Uwaga: według numeru PESEL data urodzenia to: 14 marca 2008 r.; według numeru PESEL płeć to: "
           "mężczyzna."
        << false;
    QTest::newRow("year alone disagrees")
        << "08231401232" << true << QStringList{"", "2007 r.", ""}
        << QStringList{"14 marca", "2007 r.", "mężczyzna"}
        << "Uwaga: według numeru PESEL data urodzenia to: 14 marca 2008 r." << false;
    QTest::newRow("wrong check digit") << "08231401233" << true << empty << empty
                                       << "Uwaga: cyfra kontrolna numeru PESEL się nie zgadza." << true;
    QTest::newRow("day that does not exist")
        << "09022900129" << true << empty << empty
        << "Uwaga: numer PESEL zawiera datę urodzenia, która nie istnieje." << true;
    QTest::newRow("ten digits fill nothing")
        << "0823140124" << true << empty << empty << "Uwaga: numer PESEL ma 10 cyfr zamiast 11." << true;
    QTest::newRow("loaded number is checked, fills nothing")
        << "08231401249" << false << QStringList{"", "", "mężczyzna"} << QStringList{"", "", "mężczyzna"}
        << "Uwaga: według numeru PESEL płeć to: kobieta." << false;
}

void TestStudentForm::peselWarningAndFillIn()
{
    QFETCH(QString, pesel);
    QFETCH(bool, typed);
    QFETCH(QStringList, before);
    QFETCH(QStringList, after);
    QFETCH(QString, warning);
    QFETCH(bool, asks);

    showForm();
    edit("Nazwisko_DATA_EDIT")->setText(QStringLiteral("Nowak"));
    edit("Imie_DATA_EDIT")->setText(QStringLiteral("Anna"));
    edit("UrodzonyDnia_DATA_EDIT")->setText(before.at(0));
    combo("UrodzonyRok_DATA_COMBOBOX")->setEditText(before.at(1));
    combo("Plec_DATA_COMBOBOX")->setCurrentIndex(combo("Plec_DATA_COMBOBOX")->findText(before.at(2)));
    if (typed)
        QTest::keyClicks(edit("NrPesel_DATA_EDIT"), pesel);
    else
        edit("NrPesel_DATA_EDIT")->setText(pesel);

    QCOMPARE(QStringList({edit("UrodzonyDnia_DATA_EDIT")->text(),
                          combo("UrodzonyRok_DATA_COMBOBOX")->currentText(),
                          combo("Plec_DATA_COMBOBOX")->currentText()}),
             after);
    auto* label = field<QLabel>("NrPeselUwagaLabel");
    QCOMPARE(label->text(), warning);
    // Read out with the field, beside which it stands.
    QCOMPARE(edit("NrPesel_DATA_EDIT")->accessibleDescription(), warning);
    QCOMPARE(label->accessibleName(), warning);
    QVERIFY(label->geometry().top() >= edit("NrPesel_DATA_EDIT")->geometry().bottom());
    QVERIFY(label->geometry().bottom() < field("OKButton")->geometry().top());

    // A disagreement asks nothing; a PESEL that is not whole is stored once the user agrees.
    if (combo("Plec_DATA_COMBOBOX")->currentIndex() < 0)
        combo("Plec_DATA_COMBOBOX")->setCurrentIndex(0);
    m_prompts->answers.enqueue(Prompts::Answer::Yes);
    m_form->OKButtonClick();
    QCOMPARE(m_prompts->shown.size(), asks ? 1 : 0);
    QCOMPARE(m_saver->storedValue("NrPesel_DATA_EDIT"), pesel);
    QCOMPARE(m_saver->storedValue("UrodzonyDnia_DATA_EDIT"), after.at(0));
}

void TestStudentForm::capitals_data()
{
    QTest::addColumn<QString>("firstName");
    QTest::addColumn<QString>("surname");
    QTest::addColumn<QString>("storedFirstName");
    QTest::addColumn<QString>("storedSurname");

    QTest::newRow("a to z capitalised") << "anna"
                                        << "nowak"
                                        << "Anna"
                                        << "Nowak";
    QTest::newRow("z and a edges") << "zofia"
                                   << "adamska"
                                   << "Zofia"
                                   << "Adamska";
    QTest::newRow("rest untouched") << "aNNA"
                                    << "o'neil"
                                    << "ANNA"
                                    << "O'neil";
    QTest::newRow("diacritics stay") << "łukasz"
                                     << "żak"
                                     << "łukasz"
                                     << "żak";
    QTest::newRow("capitals stay") << "Ewa"
                                   << "Lis"
                                   << "Ewa"
                                   << "Lis";
    QTest::newRow("leading blank stays") << " ala"
                                         << "1kot"
                                         << " ala"
                                         << "1kot";
}

void TestStudentForm::capitals()
{
    QFETCH(QString, firstName);
    QFETCH(QString, surname);
    QFETCH(QString, storedFirstName);
    QFETCH(QString, storedSurname);

    showForm();
    typeValidStudent();
    edit("Imie_DATA_EDIT")->setText(firstName);
    edit("Nazwisko_DATA_EDIT")->setText(surname);
    m_form->OKButtonClick();

    QCOMPARE(m_saver->previous.size(), 1);
    QCOMPARE(m_saver->storedValue("Imie_DATA_EDIT"), storedFirstName);
    QCOMPARE(m_saver->storedValue("Nazwisko_DATA_EDIT"), storedSurname);
    QCOMPARE(edit("Imie_DATA_EDIT")->text(), storedFirstName);
    QCOMPARE(edit("Nazwisko_DATA_EDIT")->text(), storedSurname);
}

void TestStudentForm::newStudent_data()
{
    QTest::addColumn<QString>("pesel");
    QTest::addColumn<QList<Prompts::Answer>>("answers");
    QTest::addColumn<bool>("asked");
    QTest::addColumn<bool>("saved");

    using A = Prompts::Answer;
    QTest::newRow("new PESEL") << "82810101238" << QList<A>{} << false << true;
    QTest::newRow("stored PESEL, Yes") << "08231401249" << QList<A>{A::Yes} << true << true;
    QTest::newRow("stored PESEL, No") << "08231401249" << QList<A>{A::No} << true << false;
    QTest::newRow("empty PESEL, none stored") << "" << QList<A>{} << false << true;
}

void TestStudentForm::newStudent()
{
    QFETCH(QString, pesel);
    QFETCH(QList<Prompts::Answer>, answers);
    QFETCH(bool, asked);
    QFETCH(bool, saved);

    addStudentTable(QStringLiteral("PESEL08231401249"));
    const QList<QByteArray> before = tables();
    showForm();
    m_form->EditMode = false;
    typeValidStudent(pesel);
    for (Prompts::Answer answer : answers)
        m_prompts->answers.enqueue(answer);
    m_form->OKButtonClick();

    if (asked) {
        QCOMPARE(m_prompts->shown.size(), 1);
        QCOMPARE(m_prompts->shown.first().text, DuplicateQuestion);
        QCOMPARE(m_prompts->shown.first().caption, QStringLiteral("Zapis"));
        QCOMPARE(m_prompts->shown.first().icon, Prompts::Icon::Warning);
        QCOMPARE(m_prompts->shown.first().buttons, Prompts::Buttons::YesNo);
        QCOMPARE(m_prompts->shown.first().defaultAnswer, Prompts::Answer::No);
    } else {
        QVERIFY(m_prompts->shown.isEmpty());
    }
    if (saved) {
        // A new student replaces no previous table.
        QCOMPARE(m_saver->previous.size(), 1);
        QVERIFY(m_saver->previous.first().isEmpty());
        QVERIFY(!m_form->isVisible());
        QCOMPARE(m_form->result(), int(QDialog::Accepted));
    } else {
        QVERIFY(m_saver->previous.isEmpty());
        QVERIFY(m_form->isVisible());
        QCOMPARE(edit("NrPesel_DATA_EDIT")->text(), pesel);
    }
    // The form itself never writes student tables.
    QCOMPARE(tables(), before);
}

void TestStudentForm::duplicateCheckFailure()
{
    // A folder where the working copy should be cannot be opened as a database.
    QVERIFY(QDir().mkpath(workingCopy()));
    MessageBuffer expected;
    QCOMPARE(iFunCheckIsStudentExists(expected, workingCopy(), QStringLiteral("PESEL08231401249"), true), -1);

    showForm();
    typeValidStudent();
    m_form->OKButtonClick();

    QCOMPARE(m_prompts->shown.size(), 1);
    const ShownBox& box = m_prompts->shown.first();
    QCOMPARE(box.text, QStringLiteral("Błąd zapisu danych.\n\n") + expected.text());
    QVERIFY(!expected.text().isEmpty());
    QCOMPARE(box.caption, QStringLiteral("Błąd"));
    QCOMPARE(box.icon, Prompts::Icon::Error);
    QCOMPARE(box.buttons, Prompts::Buttons::Ok);
    QVERIFY(m_saver->previous.isEmpty());
    QVERIFY(m_form->isVisible());
}

void TestStudentForm::editMode_data()
{
    QTest::addColumn<QString>("pesel");
    QTest::addColumn<QList<Prompts::Answer>>("answers");
    QTest::addColumn<bool>("asked");
    QTest::addColumn<bool>("saved");

    using A = Prompts::Answer;
    QTest::newRow("PESEL kept") << "08270104628" << QList<A>{} << false << true;
    QTest::newRow("PESEL changed to a free one") << "08301123482" << QList<A>{} << false << true;
    QTest::newRow("onto another student, Yes") << "08100605525" << QList<A>{A::Yes} << true << true;
    QTest::newRow("onto another student, No") << "08100605525" << QList<A>{A::No} << true << false;
}

void TestStudentForm::editMode()
{
    QFETCH(QString, pesel);
    QFETCH(QList<Prompts::Answer>, answers);
    QFETCH(bool, asked);
    QFETCH(bool, saved);

    addStudentTable(QStringLiteral("PESEL08270104628"));
    addStudentTable(QStringLiteral("PESEL08100605525"));
    RawSql::exec(workingCopy(),
                 "insert into PESEL08100605525 values('DANE UCZNIA', 'Nazwisko_DATA_EDIT', 'Adamska');"
                 "insert into PESEL08100605525 values('DANE UCZNIA', 'Imie_DATA_EDIT', 'Ola');");
    showForm();
    m_form->EditMode = true;
    m_form->OldTableName = QStringLiteral("PESEL08270104628");
    typeValidStudent(pesel);
    for (Prompts::Answer answer : answers)
        m_prompts->answers.enqueue(answer);
    m_form->OKButtonClick();

    // The question names the student who would be replaced; Enter answers No.
    QCOMPARE(m_prompts->texts(),
             asked ? QStringList{QStringLiteral("Uczeń o tym numerze PESEL już istnieje:\nAdamska Ola\n"
                                                "Czy chcesz nadpisać dane tego ucznia ?")}
                   : QStringList{});
    if (asked)
        QCOMPARE(m_prompts->shown.first().defaultAnswer, Prompts::Answer::No);
    if (saved) {
        // The save replaces the old table together with writing the new one.
        QCOMPARE(m_saver->previous, QStringList{QStringLiteral("PESEL08270104628")});
        QCOMPARE(m_saver->storedValue("NrPesel_DATA_EDIT"), pesel);
        QVERIFY(!m_form->isVisible());
    } else {
        QVERIFY(m_saver->previous.isEmpty());
        QVERIFY(m_form->isVisible());
    }
    // Neither the edited student nor the other one is dropped by the form.
    QCOMPARE(tables(), (QList<QByteArray>{"PESEL08100605525", "PESEL08270104628"}));
}

void TestStudentForm::failedSaveKeepsFormOpen()
{
    m_saver->result = false;
    showForm();
    typeValidStudent();
    edit("NrDziennika_DATA_EDIT")->setText(QStringLiteral("17"));
    m_form->OKButtonClick();

    QCOMPARE(m_saver->previous.size(), 1);
    // The save shows its own message; the form adds none.
    QVERIFY(m_prompts->shown.isEmpty());
    QVERIFY(m_form->isVisible());
    QCOMPARE(edit("Nazwisko_DATA_EDIT")->text(), QStringLiteral("Nowak"));
    QCOMPARE(edit("NrDziennika_DATA_EDIT")->text(), QStringLiteral("17"));

    // A second try may succeed.
    m_saver->result = true;
    m_form->OKButtonClick();
    QCOMPARE(m_saver->previous.size(), 2);
    QVERIFY(!m_form->isVisible());
}

void TestStudentForm::cancelStoresNothing()
{
    showForm();
    typeValidStudent();
    QTest::mouseClick(field<QPushButton>("AnulujButton"), Qt::LeftButton);
    QVERIFY(!m_form->isVisible());
    QCOMPARE(m_form->result(), int(QDialog::Rejected));
    QVERIFY(m_saver->previous.isEmpty());
    QCOMPARE(edit("Nazwisko_DATA_EDIT")->text(), QStringLiteral("Nowak"));
}

void TestStudentForm::typedPlaceNamesReachDictionaries()
{
    showForm();
    QVERIFY(combo("UrodzonyMiasto_DATA_COMBOBOX")->findText(QStringLiteral("Zakopane")) < 0);
    combo("UrodzonyMiasto_DATA_COMBOBOX")->setEditText(QStringLiteral("Zakopane"));
    combo("UrodzonyWoj_DATA_COMBOBOX")->setEditText(QStringLiteral("zagraniczne"));
    m_form->OKButtonClick(); // fails: no surname
    QCOMPARE(m_prompts->texts(), QStringList{QStringLiteral("Nazwisko ucznia jest wymagane")});
    m_form->hide();

    combo("UrodzonyMiasto_DATA_COMBOBOX")->setEditText(QString());
    m_form->show();
    QVERIFY(combo("UrodzonyMiasto_DATA_COMBOBOX")->findText(QStringLiteral("Zakopane")) >= 0);
    QVERIFY(combo("UrodzonyWoj_DATA_COMBOBOX")->findText(QStringLiteral("zagraniczne")) >= 0);
}

void TestStudentForm::placeListsSortedAndKeepStandingText_data()
{
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("earlier");
    QTest::addColumn<QString>("later");

    QTest::newRow("L before Ł") << "UrodzonyMiasto_DATA_COMBOBOX"
                                << "Lublin"
                                << "Łomża";
    QTest::newRow("o before ó") << "UrodzonyMiasto_DATA_COMBOBOX"
                                << "Łomża"
                                << "Łódź";
    QTest::newRow("Ł before M") << "UrodzonyMiasto_DATA_COMBOBOX"
                                << "Łódź"
                                << "Mielec";
    QTest::newRow("Z before Ż") << "UrodzonyMiasto_DATA_COMBOBOX"
                                << "Zgierz"
                                << "Żory";
    QTest::newRow("S before Ś") << "UrodzonyMiasto_DATA_COMBOBOX"
                                << "Szczecin"
                                << "Świdnica";
    QTest::newRow("Ś before T") << "UrodzonyMiasto_DATA_COMBOBOX"
                                << "Świętochłowice"
                                << "Tarnobrzeg";
    QTest::newRow("ł before m") << "UrodzonyWoj_DATA_COMBOBOX"
                                << "łódzkie"
                                << "małopolskie";
    QTest::newRow("ś before w") << "UrodzonyWoj_DATA_COMBOBOX"
                                << "świętokrzyskie"
                                << "warmińsko-mazurskie";
}

void TestStudentForm::placeListsSortedAndKeepStandingText()
{
    QFETCH(QString, box);
    QFETCH(QString, earlier);
    QFETCH(QString, later);

    QComboBox* list = combo(box.toLatin1().constData());
    list->setEditText(QStringLiteral("Nieznane"));
    showForm();
    QVERIFY(list->count() > 10);
    QVERIFY(list->findText(earlier) >= 0);
    QVERIFY(list->findText(later) >= 0);
    QVERIFY(list->findText(earlier) < list->findText(later));
    QCOMPARE(list->currentText(), QStringLiteral("Nieznane"));

    // A second showing replaces the items and still keeps the text standing in the box.
    m_form->hide();
    list->setCurrentIndex(list->findText(later));
    const int count = list->count();
    m_form->show();
    QCOMPARE(list->count(), count);
    QCOMPARE(list->currentText(), later);
}

void TestStudentForm::dictionaryLoadFailure()
{
    showForm();
    QComboBox* towns = combo("UrodzonyMiasto_DATA_COMBOBOX");
    QComboBox* provinces = combo("UrodzonyWoj_DATA_COMBOBOX");
    const int townCount = towns->count();
    const int provinceCount = provinces->count();
    QVERIFY(townCount > 0 && provinceCount > 0);
    m_form->hide();

    QVERIFY(QFile::remove(m_env->dataFile(QStringLiteral("ustawienia.sqset"))));
    MessageBuffer townFailure;
    MessageBuffer provinceFailure;
    QStringList scratch;
    QVERIFY(!bFunStudentDataLoadCityList(townFailure, scratch));
    QVERIFY(!bFunStudentDataLoadProvinceList(provinceFailure, scratch));

    m_form->show();
    QCOMPARE(m_prompts->texts(),
             QStringList({QStringLiteral("Błąd podczas próby wczytania listy miast.\n") + townFailure.text(),
                          QStringLiteral("Błąd podczas próby wczytania listy województw.\n") +
                              provinceFailure.text()}));
    for (const ShownBox& box : std::as_const(m_prompts->shown)) {
        QCOMPARE(box.caption, QStringLiteral("Błąd"));
        QCOMPARE(box.icon, Prompts::Icon::Error);
        QCOMPARE(box.buttons, Prompts::Buttons::Ok);
    }
    QCOMPARE(towns->count(), townCount);
    QCOMPARE(provinces->count(), provinceCount);
}

void TestStudentForm::clearEmptiesEveryField()
{
    typeValidStudent();
    edit("UrodzonyDnia_DATA_EDIT")->setText(QStringLiteral("5 maja"));
    edit("NrDziennika_DATA_EDIT")->setText(QStringLiteral("12"));
    combo("UrodzonyRok_DATA_COMBOBOX")->setCurrentIndex(2);
    combo("UrodzonyMiasto_DATA_COMBOBOX")->setEditText(QStringLiteral("Zakopane"));
    combo("UrodzonyWoj_DATA_COMBOBOX")->setEditText(QStringLiteral("małopolskie"));

    m_form->ClearFields();

    for (const char* name : {"Imie_DATA_EDIT", "UrodzonyDnia_DATA_EDIT", "Nazwisko_DATA_EDIT",
                             "NrPesel_DATA_EDIT", "NrDziennika_DATA_EDIT"})
        QVERIFY2(edit(name)->text().isEmpty(), name);
    QCOMPARE(combo("Plec_DATA_COMBOBOX")->currentIndex(), -1);
    // A new pupil starts with nothing of the one before, birth year and places included.
    for (const char* name :
         {"UrodzonyRok_DATA_COMBOBOX", "UrodzonyMiasto_DATA_COMBOBOX", "UrodzonyWoj_DATA_COMBOBOX"})
        QVERIFY2(combo(name)->currentText().isEmpty(), name);
}

void TestStudentForm::fillFieldsSex_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<int>("index");

    QTest::newRow("mężczyzna") << "mężczyzna" << 1;
    QTest::newRow("kobieta") << "kobieta" << 0;
    QTest::newRow("empty") << "" << 0;
    QTest::newRow("capital M") << "Mężczyzna" << 0;
    QTest::newRow("without diacritic") << "mezczyzna" << 0;
    QTest::newRow("trailing blank") << "mężczyzna " << 0;
}

void TestStudentForm::fillFieldsSex()
{
    QFETCH(QString, stored);
    QFETCH(int, index);

    // The previous student's choice must not survive.
    combo("Plec_DATA_COMBOBOX")->setCurrentIndex(index == 1 ? 0 : 1);
    m_form->FillFields({{TFDaneUcznia::SectionId, QStringLiteral("Plec_DATA_COMBOBOX"), stored}});
    QCOMPARE(combo("Plec_DATA_COMBOBOX")->currentIndex(), index);
}

void TestStudentForm::fillFieldsAppliesOwnRowsOnly()
{
    typeValidStudent();
    edit("NrDziennika_DATA_EDIT")->setText(QStringLiteral("old"));
    combo("UrodzonyMiasto_DATA_COMBOBOX")->setEditText(QStringLiteral("Kraków"));
    const QString longSurname(60, QLatin1Char('x'));

    m_form->FillFields({
        {TFDaneUcznia::SectionId, QStringLiteral("Nazwisko_DATA_EDIT"), longSurname},
        {QStringLiteral("ZAWIADOMIENIE_O_PRZEKAZANIU"), QStringLiteral("Imie_DATA_EDIT"),
         QStringLiteral("obcy")},
        {TFDaneUcznia::SectionId, QStringLiteral("Brakujacy_DATA_EDIT"), QStringLiteral("nic")},
        {TFDaneUcznia::SectionId, QStringLiteral("UrodzonyRok_DATA_COMBOBOX"), QStringLiteral("1987 r.")},
        {TFDaneUcznia::SectionId, QStringLiteral("NrPesel_DATA_EDIT"), QStringLiteral("1")},
        {TFDaneUcznia::SectionId, QStringLiteral("NrPesel_DATA_EDIT"), QStringLiteral("2")},
    });

    // Loading is not cut by the typing limit.
    QCOMPARE(edit("Nazwisko_DATA_EDIT")->text(), longSurname);
    // Rows of other forms are not applied.
    QCOMPARE(edit("Imie_DATA_EDIT")->text(), QString());
    // Missing rows leave their fields empty.
    QCOMPARE(edit("NrDziennika_DATA_EDIT")->text(), QString());
    QCOMPARE(combo("Plec_DATA_COMBOBOX")->currentIndex(), -1);
    QCOMPARE(combo("UrodzonyMiasto_DATA_COMBOBOX")->currentText(), QString());
    // A year outside the list is taken as typed text; of two rows the later one wins.
    QCOMPARE(combo("UrodzonyRok_DATA_COMBOBOX")->currentText(), QStringLiteral("1987 r."));
    QCOMPARE(edit("NrPesel_DATA_EDIT")->text(), QStringLiteral("2"));
}

void TestStudentForm::collectYieldsNineRowsInComponentOrder()
{
    const FieldRowList loaded = {
        {TFDaneUcznia::SectionId, QStringLiteral("Imie_DATA_EDIT"), QStringLiteral("Anna")},
        {TFDaneUcznia::SectionId, QStringLiteral("UrodzonyDnia_DATA_EDIT"), QStringLiteral("5 maja")},
        {TFDaneUcznia::SectionId, QStringLiteral("Plec_DATA_COMBOBOX"), QStringLiteral("mężczyzna")},
        {TFDaneUcznia::SectionId, QStringLiteral("UrodzonyRok_DATA_COMBOBOX"), QStringLiteral("1998 r.")},
        {TFDaneUcznia::SectionId, QStringLiteral("UrodzonyMiasto_DATA_COMBOBOX"), QStringLiteral("Łódź")},
        {TFDaneUcznia::SectionId, QStringLiteral("UrodzonyWoj_DATA_COMBOBOX"), QStringLiteral("łódzkie")},
        {TFDaneUcznia::SectionId, QStringLiteral("Nazwisko_DATA_EDIT"), QStringLiteral("O'Neil")},
        {TFDaneUcznia::SectionId, QStringLiteral("NrPesel_DATA_EDIT"), QStringLiteral("98010112345")},
        {TFDaneUcznia::SectionId, QStringLiteral("NrDziennika_DATA_EDIT"), QStringLiteral("7/2015")},
    };
    // Stored in another order: the rows come back in component order.
    FieldRowList shuffled = loaded;
    std::reverse(shuffled.begin(), shuffled.end());
    m_form->FillFields(shuffled);

    FieldRowList rows{{QStringLiteral("X"), QStringLiteral("kept"), QString()}};
    m_form->CollectFields(rows);
    QCOMPARE(rows.size(), 10);
    QCOMPARE(rows.first().compName, QStringLiteral("kept"));
    QCOMPARE(rows.mid(1), loaded);

    // With no sex chosen the row is written empty.
    m_form->ClearFields();
    rows.clear();
    m_form->CollectFields(rows);
    QCOMPARE(rows.size(), 9);
    QCOMPARE(rows.at(2).compName, QStringLiteral("Plec_DATA_COMBOBOX"));
    QCOMPARE(rows.at(2).value, QString());
}

void TestStudentForm::typingLimits_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("limit");

    QTest::newRow("first name") << "Imie_DATA_EDIT" << 48;
    QTest::newRow("birth day") << "UrodzonyDnia_DATA_EDIT" << 46;
    QTest::newRow("surname") << "Nazwisko_DATA_EDIT" << 48;
    QTest::newRow("PESEL") << "NrPesel_DATA_EDIT" << 30;
    QTest::newRow("number on the certificate") << "NrDziennika_DATA_EDIT" << 48;
}

void TestStudentForm::typingLimits()
{
    QFETCH(QString, name);
    QFETCH(int, limit);

    QLineEdit* field = edit(name.toLatin1().constData());
    QTest::keyClicks(field, QString(limit + 5, QLatin1Char('7')));
    QCOMPARE(field->text(), QString(limit, QLatin1Char('7')));

    // A longer loaded text stays whole and cannot grow by typing.
    m_form->FillFields({{TFDaneUcznia::SectionId, name, QString(limit + 10, QLatin1Char('5'))}});
    QCOMPARE(field->text().size(), limit + 10);
    field->end(false);
    QTest::keyClicks(field, QStringLiteral("12"));
    QCOMPARE(field->text(), QString(limit + 10, QLatin1Char('5')));
    QTest::keyClick(field, Qt::Key_Backspace);
    QCOMPARE(field->text().size(), limit + 9);
}

void TestStudentForm::labelsNameTheirFields()
{
    const QList<std::pair<const char*, QString>> expected = {
        {"Imie_DATA_EDIT", QStringLiteral("imię")},
        {"UrodzonyDnia_DATA_EDIT", QStringLiteral("urodzony dnia")},
        {"Plec_DATA_COMBOBOX", QStringLiteral("płeć")},
        {"UrodzonyRok_DATA_COMBOBOX", QStringLiteral("urodzony w roku")},
        {"UrodzonyMiasto_DATA_COMBOBOX", QStringLiteral("urodzony w (miasto)")},
        {"UrodzonyWoj_DATA_COMBOBOX", QStringLiteral("urodzony (województwo)")},
        {"Nazwisko_DATA_EDIT", QStringLiteral("nazwisko")},
        {"NrPesel_DATA_EDIT", QStringLiteral("numer PESEL")},
        {"NrDziennika_DATA_EDIT", QStringLiteral("nr ucznia na świadectwie")},
    };
    QSet<QChar> mnemonics;
    for (const auto& [name, caption] : expected) {
        QWidget* target = field(name);
        QCOMPARE(target->accessibleName(), caption);
        QLabel* label = nullptr;
        for (QLabel* candidate : m_form->findChildren<QLabel*>())
            if (candidate->buddy() == target)
                label = candidate;
        QVERIFY2(label, name);
        QString shown = label->text();
        const qsizetype amp = shown.indexOf(QLatin1Char('&'));
        QVERIFY2(amp >= 0, name);
        // Every mnemonic reaches one field only.
        const QChar key = shown.at(amp + 1).toLower();
        QVERIFY2(!mnemonics.contains(key), name);
        mnemonics.insert(key);
        QCOMPARE(shown.remove(QLatin1Char('&')), caption);
    }
}

void TestStudentForm::tabOrder()
{
    const QStringList expected = {"Nazwisko_DATA_EDIT",
                                  "Imie_DATA_EDIT",
                                  "Plec_DATA_COMBOBOX",
                                  "UrodzonyDnia_DATA_EDIT",
                                  "UrodzonyRok_DATA_COMBOBOX",
                                  "UrodzonyMiasto_DATA_COMBOBOX",
                                  "UrodzonyWoj_DATA_COMBOBOX",
                                  "NrDziennika_DATA_EDIT",
                                  "NrPesel_DATA_EDIT",
                                  "OKButton",
                                  "AnulujButton"};
    m_form->show();
    QVERIFY(QTest::qWaitForWindowActive(m_form.get()));
    edit("Nazwisko_DATA_EDIT")->setFocus();
    QStringList visited;
    for (int i = 0; i < expected.size(); ++i) {
        QWidget* focused = QApplication::focusWidget();
        QVERIFY(focused);
        // An editable combo box may hand the focus to its line edit.
        while (focused && focused->objectName().isEmpty())
            focused = focused->parentWidget();
        visited << focused->objectName();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    QCOMPARE(visited, expected);
    // The next showing starts at the surname again, wherever the last one ended.
    edit("NrPesel_DATA_EDIT")->setFocus();
    m_form->hide();
    m_form->show();
    QVERIFY(QTest::qWaitForWindowActive(m_form.get()));
    QCOMPARE(m_form->focusWidget(), field("Nazwisko_DATA_EDIT"));
}

QTEST_MAIN(TestStudentForm)
#include "tst_student_form.moc"

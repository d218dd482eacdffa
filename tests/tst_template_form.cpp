// The school data template form: what it proposes, what it stores and keeps, when the
// main window offers it, and how it reads with the keyboard.
#include "app/Program.h"
#include "app/TFGlowna.h"
#include "documents/TFDaneSzkoly.h"
#include "storage/DataPaths.h"
#include "storage/SettingsStore.h"
#include "storage/Templates.h"
#include "tests/support/ScriptedPrompts.h"
#include "tests/support/TestEnvironment.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

#include <ctime>

namespace {

// The stored rows' order: the edits in the form's component order.
const QStringList StoredOrder = {
    "ZMIENNA_SzkolaWoj_DATA_EDIT",       "ZMIENNA_SzkolaWE_DATA_EDIT",
    "ZMIENNA_SzkolaMiasto_DATA_EDIT",    "ZMIENNA_RokSzkolny2_DATA_EDIT",
    "ZMIENNA_RokSzkolny1_DATA_EDIT",     "ZMIENNA_PrzedUz3_DATA_EDIT",
    "ZMIENNA_PrzedUz2_DATA_EDIT",        "ZMIENNA_PrzedUz1_DATA_EDIT",
    "ZMIENNA_Przedmiot4_STR1_DATA_EDIT", "ZMIENNA_Przedmiot3_STR1_DATA_EDIT",
    "ZMIENNA_Przedmiot2_STR1_DATA_EDIT", "ZMIENNA_Przedmiot1_STR1_DATA_EDIT",
    "ZMIENNA_PromocjaDoKlasy_DATA_EDIT", "ZMIENNA_ObowiazkoweEdu3_DATA_EDIT",
    "ZMIENNA_ObowiazkoweEdu2_DATA_EDIT", "ZMIENNA_ObowiazkoweEdu1_DATA_EDIT",
    "ZMIENNA_NrLiceum_DATA_EDIT",        "ZMIENNA_MiejscowoscRok_DATA_EDIT",
    "ZMIENNA_MiejscowoscDnia_DATA_EDIT", "ZMIENNA_Miejscowosc_DATA_EDIT",
    "ZMIENNA_LiceumImienia2_DATA_EDIT",  "ZMIENNA_LiceumImienia1_DATA_EDIT",
    "ZMIENNA_Liceum2_DATA_EDIT",         "ZMIENNA_Liceum1_DATA_EDIT",
    "ZMIENNA_Klasa_DATA_EDIT",           "ZMIENNA_JObcy2_DATA_EDIT",
    "ZMIENNA_JObcy1_DATA_EDIT",          "ZMIENNA_DodatkoweEdu3_DATA_EDIT",
    "ZMIENNA_DodatkoweEdu2_DATA_EDIT",   "ZMIENNA_DodatkoweEdu1_DATA_EDIT",
};

// The order a user meets the fields in with Tab, as they stand on the page.
const QStringList TabOrder = {
    "ZMIENNA_RokSzkolny1_DATA_EDIT",
    "ZMIENNA_RokSzkolny2_DATA_EDIT",
    "ZMIENNA_Klasa_DATA_EDIT",
    "ZMIENNA_Liceum1_DATA_EDIT",
    "ZMIENNA_Liceum2_DATA_EDIT",
    "ZMIENNA_NrLiceum_DATA_EDIT",
    "ZMIENNA_LiceumImienia1_DATA_EDIT",
    "ZMIENNA_LiceumImienia2_DATA_EDIT",
    "ZMIENNA_SzkolaWE_DATA_EDIT",
    "ZMIENNA_SzkolaMiasto_DATA_EDIT",
    "ZMIENNA_SzkolaWoj_DATA_EDIT",
    "ZMIENNA_Przedmiot1_STR1_DATA_EDIT",
    "ZMIENNA_Przedmiot2_STR1_DATA_EDIT",
    "ZMIENNA_Przedmiot3_STR1_DATA_EDIT",
    "ZMIENNA_Przedmiot4_STR1_DATA_EDIT",
    "ZMIENNA_PromocjaDoKlasy_DATA_EDIT",
    "ZMIENNA_Miejscowosc_DATA_EDIT",
    "ZMIENNA_MiejscowoscDnia_DATA_EDIT",
    "ZMIENNA_MiejscowoscRok_DATA_EDIT",
    "ZMIENNA_JObcy1_DATA_EDIT",
    "ZMIENNA_JObcy2_DATA_EDIT",
    "ZMIENNA_ObowiazkoweEdu1_DATA_EDIT",
    "ZMIENNA_ObowiazkoweEdu2_DATA_EDIT",
    "ZMIENNA_ObowiazkoweEdu3_DATA_EDIT",
    "ZMIENNA_DodatkoweEdu1_DATA_EDIT",
    "ZMIENNA_DodatkoweEdu2_DATA_EDIT",
    "ZMIENNA_DodatkoweEdu3_DATA_EDIT",
    "ZMIENNA_PrzedUz1_DATA_EDIT",
    "ZMIENNA_PrzedUz2_DATA_EDIT",
    "ZMIENNA_PrzedUz3_DATA_EDIT",
    "OKButton",
    "AnulujButton",
};

const QString FirstYear = QStringLiteral("ZMIENNA_RokSzkolny1_DATA_EDIT");
const QString SecondYear = QStringLiteral("ZMIENNA_RokSzkolny2_DATA_EDIT");
const QString SchoolName = QStringLiteral("ZMIENNA_Liceum1_DATA_EDIT");

int offerSetting()
{
    MessageBuffer buf;
    int value = -1;
    bFunSqlGetSettingsValue(buf, QStringLiteral("create_school_data_template"), value);
    return value;
}

} // namespace

class TestTemplateForm : public QObject
{
    Q_OBJECT
private:
    std::unique_ptr<TestEnvironment> env;
    std::unique_ptr<ScriptedPrompts> prompts;
    std::unique_ptr<TFDaneSzkoly> form;
    QString templates() { return strFunGetTemplatesFilePath(env->buf); }
    QLineEdit* edit(const QString& name) { return form->findChild<QLineEdit*>(name); }
    void store(const FieldRowList& rows)
    {
        QVERIFY(bFunSqlTemplateWriteData(env->buf, templates(), TFDaneSzkoly::TemplateName, rows));
    }

private Q_SLOTS:
    void initTestCase()
    {
        // Local time is a day ahead of UTC around New Year's Eve here.
        qputenv("TZ", "Pacific/Kiritimati");
        tzset();
    }
    void init()
    {
        env = std::make_unique<TestEnvironment>();
        QVERIFY(env->installDataFolder());
        prompts = std::make_unique<ScriptedPrompts>();
        form = std::make_unique<TFDaneSzkoly>();
        form->setMessageBuffer(&env->buf);
    }
    void cleanup()
    {
        Clock::install(nullptr);
        form.reset();
        prompts.reset();
        env.reset();
    }

    void schoolYearProposal_data();
    void schoolYearProposal();
    void closingTheForm_data();
    void closingTheForm();
    void olderTemplateWithUnknownNames();
    void offeredUntilShownOnce();
    void pageReadsWithTheKeyboard();
};

void TestTemplateForm::schoolYearProposal_data()
{
    QTest::addColumn<QDateTime>("now");
    QTest::addColumn<QString>("stored1");
    QTest::addColumn<QString>("stored2");
    QTest::addColumn<QString>("shown1");
    QTest::addColumn<QString>("shown2");
    const QDateTime march(QDate(2015, 3, 10), QTime(10, 0), Qt::UTC);
    QTest::newRow("before September") << march << ""
                                      << ""
                                      << "2014"
                                      << "2015";
    QTest::newRow("after September") << QDateTime(QDate(2015, 10, 1), QTime(10, 0), Qt::UTC) << ""
                                     << ""
                                     << "2014"
                                     << "2015";
    QTest::newRow("New Year's Eve in UTC") << QDateTime(QDate(2015, 12, 31), QTime(23, 30), Qt::UTC) << ""
                                           << ""
                                           << "2014"
                                           << "2015";
    QTest::newRow("stored year kept") << march << "2010"
                                      << "2011"
                                      << "2010"
                                      << "2011";
}

void TestTemplateForm::schoolYearProposal()
{
    QFETCH(QDateTime, now);
    QFETCH(QString, stored1);
    QFETCH(QString, stored2);
    QFETCH(QString, shown1);
    QFETCH(QString, shown2);
    if (!stored1.isEmpty())
        store(
            {{TFDaneSzkoly::SectionId, FirstYear, stored1}, {TFDaneSzkoly::SectionId, SecondYear, stored2}});
    FixedClock clock(now);
    Clock::install(&clock);
    form->show();
    QCOMPARE(edit(FirstYear)->text(), shown1);
    QCOMPARE(edit(SecondYear)->text(), shown2);
    QCOMPARE(edit(SchoolName)->text(), QString());
    QVERIFY(prompts->shown.isEmpty());
}

void TestTemplateForm::closingTheForm_data()
{
    QTest::addColumn<QString>("button"); // empty: the Escape key
    QTest::addColumn<bool>("stored");
    QTest::newRow("OK") << "OKButton" << true;
    QTest::newRow("Anuluj") << "AnulujButton" << false;
    QTest::newRow("Escape") << "" << false;
}

void TestTemplateForm::closingTheForm()
{
    QFETCH(QString, button);
    QFETCH(bool, stored);
    store({{TFDaneSzkoly::SectionId, SchoolName, QStringLiteral("I Liceum")}});
    const QList<QList<QByteArray>> before =
        RawSql::rows(templates(), "select id, comp_name, value from school_data");
    form->show();
    QCOMPARE(edit(SchoolName)->text(), QStringLiteral("I Liceum"));
    const QString typed = QStringLiteral("Liceum im. Króla Jana III 'Sobieskiego'");
    edit(SchoolName)->setText(typed);
    if (button.isEmpty())
        QTest::keyClick(edit(SchoolName), Qt::Key_Escape);
    else
        form->findChild<QPushButton*>(button)->click();
    QVERIFY(!form->isVisible());

    const QList<QList<QByteArray>> after =
        RawSql::rows(templates(), "select id, comp_name, value from school_data");
    if (stored) {
        QCOMPARE(after.size(), StoredOrder.size());
        for (qsizetype i = 0; i < after.size(); ++i) {
            QCOMPARE(after[i][0], QByteArray("DANE SZKOLY"));
            QCOMPARE(QString::fromLatin1(after[i][1]), StoredOrder[i]);
        }
        QCOMPARE(RawSql::column(templates(),
                                "select value from school_data where comp_name='ZMIENNA_Liceum1_DATA_EDIT'"),
                 QList<QByteArray>{"Liceum im. Kr\xf3la Jana III 'Sobieskiego'"}); // Windows-1250 bytes
    } else {
        QCOMPARE(after, before);
    }
    form->show();
    QCOMPARE(edit(SchoolName)->text(), stored ? typed : QStringLiteral("I Liceum"));
}

void TestTemplateForm::olderTemplateWithUnknownNames()
{
    RawSql::exec(templates(),
                 "create table `school_data`( id TEXT, comp_name TEXT, value TEXT );"
                 "insert into school_data values('DANE SZKOLY', 'ZMIENNA_Dyrektor_DATA_EDIT', 'Nowak');"
                 "insert into school_data values('SZKOLA', 'ZMIENNA_Liceum1_DATA_EDIT', 'II LO');"
                 "insert into school_data values('DANE SZKOLY', 'KlasaLabel', 'zmieniony napis');"
                 "insert into school_data values(NULL, 'ZMIENNA_Klasa_DATA_EDIT', NULL);");
    form->show();
    QVERIFY(prompts->shown.isEmpty());
    QCOMPARE(edit(SchoolName)->text(), QStringLiteral("II LO"));
    QCOMPARE(edit(QStringLiteral("ZMIENNA_Klasa_DATA_EDIT"))->text(), QString());
    QCOMPARE(form->findChild<QLabel*>(QStringLiteral("KlasaLabel"))->text(), QStringLiteral("do klasy"));
    form->OKButtonClick();
    const QList<QByteArray> names = RawSql::column(templates(), "select comp_name from school_data");
    QCOMPARE(names.size(), StoredOrder.size());
    QVERIFY(!names.contains("ZMIENNA_Dyrektor_DATA_EDIT"));
}

void TestTemplateForm::offeredUntilShownOnce()
{
    ProgramWindows w;
    QVERIFY(bFunStartProgram(w, QString()));
    const QString offer = QStringLiteral("Szablon danych szkoły nie został jeszcze utworzony.\n"
                                         "Czy chcesz utworzyć szablon teraz ?");
    const QString noDocument = QStringLiteral("Nie wybrano świadectwa z listy");
    QCOMPARE(offerSetting(), 1);

    prompts->answers.enqueue(Prompts::Answer::No);
    w.glowna->EdytujSwiadectwoToolButtonClick();
    QCOMPARE(prompts->texts(), (QStringList{offer, noDocument}));
    QCOMPARE(offerSetting(), 1);

    prompts->clear();
    prompts->answers.enqueue(Prompts::Answer::Yes);
    QString shownForm;
    QTimer::singleShot(0, [&shownForm] {
        auto* modal = qobject_cast<TFDaneSzkoly*>(QApplication::activeModalWidget());
        QVERIFY(modal);
        shownForm = modal->windowTitle();
        modal->findChild<QPushButton*>(QStringLiteral("AnulujButton"))->click();
    });
    w.glowna->EdytujSwiadectwoToolButtonClick();
    QCOMPARE(shownForm, QStringLiteral("Szablon danych"));
    QCOMPARE(prompts->texts(), (QStringList{offer, noDocument}));
    QCOMPARE(offerSetting(), 0); // shown once, even though cancelled

    prompts->clear();
    w.glowna->EdytujSwiadectwoToolButtonClick();
    QCOMPARE(prompts->texts(), QStringList{noDocument});
    w.glowna->setCloseWithoutQuestions(true);
}

void TestTemplateForm::pageReadsWithTheKeyboard()
{
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    QWidget* page = edit(FirstYear)->parentWidget();
    const QList<QWidget*> onPage = page->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
    QSet<QString> accessibleNames;
    for (QWidget* a : onPage) {
        QVERIFY2(page->rect().contains(a->geometry()), qPrintable(a->objectName()));
        for (QWidget* b : onPage)
            QVERIFY2(a == b || !a->geometry().intersects(b->geometry()),
                     qPrintable(a->objectName() + QStringLiteral(" over ") + b->objectName()));
        if (qobject_cast<QLineEdit*>(a))
            accessibleNames.insert(a->accessibleName());
    }
    QVERIFY(!accessibleNames.contains(QString()));
    QCOMPARE(accessibleNames.size(), StoredOrder.size()); // each field says what it is

    QStringList visited;
    QCOMPARE(QApplication::focusWidget(), edit(FirstYear));
    for (qsizetype i = 0; i < TabOrder.size(); ++i) {
        visited << QApplication::focusWidget()->objectName();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    QCOMPARE(visited, TabOrder);
    QCOMPARE(QApplication::focusWidget()->objectName(), TabOrder.first()); // round again
}

QTEST_MAIN(TestTemplateForm)
#include "tst_template_form.moc"

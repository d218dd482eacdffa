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

const QString FirstYear = QStringLiteral("ZMIENNA_RokSzkolny1_DATA_EDIT");
const QString SecondYear = QStringLiteral("ZMIENNA_RokSzkolny2_DATA_EDIT");
const QString SchoolName = QStringLiteral("ZMIENNA_Liceum1_DATA_EDIT");

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
    QList<QList<QByteArray>> stored() { return RawSql::rows(templates(), "select * from school_data"); }

private Q_SLOTS:
    void initTestCase()
    {
        // Local time is a day ahead of UTC here: 31 August in UTC is already 1 September.
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
        form.reset();
        prompts.reset();
        env.reset();
    }

    void schoolYearProposal_data()
    {
        QTest::addColumn<QDateTime>("now"); // local time
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("shown");
        const auto at = [](int year, int month, int day, int hour = 10) {
            return QDateTime(QDate(year, month, day), QTime(hour, 0));
        };
        QTest::newRow("August") << at(2026, 8, 31, 23) << ""
                                << "2025/2026";
        QTest::newRow("September, still August in UTC") << at(2026, 9, 1, 0) << ""
                                                        << "2026/2027";
        QTest::newRow("December") << at(2026, 12, 9) << ""
                                  << "2026/2027";
        QTest::newRow("January") << at(2027, 1, 2) << ""
                                 << "2026/2027";
        QTest::newRow("stored year kept") << at(2026, 3, 10) << "2010/2011"
                                          << "2010/2011";
    }
    void schoolYearProposal()
    {
        QFETCH(QDateTime, now);
        QFETCH(QString, stored);
        QFETCH(QString, shown);
        if (!stored.isEmpty()) {
            const QStringList years = stored.split(QLatin1Char('/'));
            QVERIFY(bFunSqlTemplateWriteData(env->buf, templates(), TFDaneSzkoly::TemplateName,
                                             {{TFDaneSzkoly::SectionId, FirstYear, years[0]},
                                              {TFDaneSzkoly::SectionId, SecondYear, years[1]}}));
        }
        FixedClock clock(now.toUTC());
        form->show();
        QCOMPARE(edit(FirstYear)->text() + QLatin1Char('/') + edit(SecondYear)->text(), shown);
        QCOMPARE(edit(SchoolName)->text(), QString());
        QVERIFY(prompts->shown.isEmpty());
    }

    void closingTheForm_data()
    {
        QTest::addColumn<QString>("button");
        QTest::newRow("OK stores") << "OKButton";
        QTest::newRow("Anuluj keeps the stored template") << "AnulujButton";
    }
    void closingTheForm()
    {
        QFETCH(QString, button);
        // A template of an older version: names this form lacks, another id, a label's name.
        RawSql::exec(templates(),
                     "create table `school_data`( id TEXT, comp_name TEXT, value TEXT );"
                     "insert into school_data values('DANE SZKOLY', 'ZMIENNA_Dyrektor_DATA_EDIT', 'X');"
                     "insert into school_data values('SZKOLA', 'ZMIENNA_Liceum1_DATA_EDIT', 'II LO');"
                     "insert into school_data values('DANE SZKOLY', 'KlasaLabel', 'zmieniony');");
        const auto before = stored();
        form->show();
        QVERIFY(prompts->shown.isEmpty());
        QCOMPARE(edit(SchoolName)->text(), QStringLiteral("II LO"));
        QCOMPARE(form->findChild<QLabel*>(QStringLiteral("KlasaLabel"))->text(), QStringLiteral("do klasy"));
        const QString typed = QStringLiteral("Liceum im. Króla Jana III 'Sobieskiego'");
        edit(SchoolName)->setText(typed);
        form->findChild<QPushButton*>(button)->click();
        QVERIFY(!form->isVisible());

        const bool ok = button == QLatin1String("OKButton");
        const auto rows = stored();
        if (ok) { // the form's 31 fields, nothing else
            QCOMPARE(rows.size(), 31);
            QVERIFY(
                std::all_of(rows.begin(), rows.end(), [](const auto& r) { return r[0] == "DANE SZKOLY"; }));
            QVERIFY(rows.contains({"DANE SZKOLY", SchoolName.toLatin1(),
                                   "Liceum im. Kr\xf3la Jana III 'Sobieskiego'"})); // Windows-1250
        } else {
            QCOMPARE(rows, before);
        }
        form->show();
        QCOMPARE(edit(SchoolName)->text(), ok ? typed : QStringLiteral("II LO"));
    }

    void offeredUntilShownOnce()
    {
        ProgramWindows w;
        QVERIFY(bFunStartProgram(w, QString()));
        const QString offer = QStringLiteral("Szablon danych szkoły nie został jeszcze utworzony.\n"
                                             "Czy chcesz utworzyć szablon teraz ?");
        const QString noDocument = QStringLiteral("Nie wybrano świadectwa z listy");
        auto offerSetting = [this] {
            int value = -1;
            bFunSqlGetSettingsValue(env->buf, QStringLiteral("create_school_data_template"), value);
            return value;
        };
        QString shownForm;
        for (const Prompts::Answer answer : {Prompts::Answer::No, Prompts::Answer::Yes}) {
            prompts->clear();
            prompts->answers.enqueue(answer);
            QTimer::singleShot(0, [&shownForm] {
                if (auto* modal = qobject_cast<TFDaneSzkoly*>(QApplication::activeModalWidget())) {
                    shownForm = modal->windowTitle();
                    modal->AnulujButtonClick();
                }
            });
            w.glowna->EdytujSwiadectwoToolButtonClick();
            QCOMPARE(prompts->texts(), (QStringList{offer, noDocument}));
            QCOMPARE(offerSetting(),
                     answer == Prompts::Answer::No ? 1 : 0); // shown once, even though cancelled
        }
        QCOMPARE(shownForm, QStringLiteral("Szablon danych"));
        prompts->clear();
        w.glowna->EdytujSwiadectwoToolButtonClick();
        QCOMPARE(prompts->texts(), QStringList{noDocument});
        w.glowna->setCloseWithoutQuestions(true);
    }

    void pageReadsWithTheKeyboard()
    {
        form->show();
        QVERIFY(QTest::qWaitForWindowActive(form.get()));
        QWidget* page = edit(FirstYear)->parentWidget();
        const QList<QWidget*> onPage = page->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
        for (QWidget* a : onPage) {
            if (a->isHidden()) // a label for assistive technology only
                continue;
            QVERIFY2(page->rect().contains(a->geometry()), qPrintable(a->objectName()));
            for (QWidget* b : onPage)
                QVERIFY2(a == b || b->isHidden() || !a->geometry().intersects(b->geometry()),
                         qPrintable(a->objectName()));
            QVERIFY(!qobject_cast<QLineEdit*>(a) || !a->accessibleName().isEmpty());
        }
        // Down the page, left to right.
        QStringList expected;
        for (const QString& base :
             QStringLiteral(
                 "RokSzkolny1 RokSzkolny2 Klasa Liceum1 Liceum2 NrLiceum LiceumImienia1 LiceumImienia2 "
                 "SzkolaWE SzkolaMiasto SzkolaWoj Przedmiot1_STR1 Przedmiot2_STR1 Przedmiot3_STR1 "
                 "Przedmiot4_STR1 PromocjaDoKlasy Miejscowosc MiejscowoscDnia MiejscowoscRok JObcy1 "
                 "JObcy2 ObowiazkoweEdu1 ObowiazkoweEdu2 ObowiazkoweEdu3 DodatkoweEdu1 DodatkoweEdu2 "
                 "DodatkoweEdu3 PrzedUz1 PrzedUz2 PrzedUz3 WzorNumeru")
                 .split(QLatin1Char(' ')))
            expected << QStringLiteral("ZMIENNA_%1_DATA_EDIT").arg(base);
        expected << QStringLiteral("OKButton") << QStringLiteral("AnulujButton") << FirstYear;
        QStringList visited{QApplication::focusWidget()->objectName()};
        while (visited.size() < expected.size()) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            visited << QApplication::focusWidget()->objectName();
        }
        QCOMPARE(visited, expected);
    }
};

QTEST_MAIN(TestTemplateForm)
#include "tst_template_form.moc"

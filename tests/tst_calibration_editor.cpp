// The calibration editor and the calibration file commands: what the editor offers,
// what it stores and redraws, and what the export and import write or refuse.
#include "app/Program.h"
#include "app/TFGlowna.h"
#include "printing/TFKalibracja.h"
#include "storage/DataPaths.h"
#include "tests/support/RawFile.h"
#include "tests/support/RunningProgram.h"
#include "tests/support/TestEnvironment.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTimer>
#include <QTreeWidget>
#include <QtTest>

namespace {

const QByteArray kTransfer = "zawiadomienie_o_przekazaniu";
const QByteArray kAdmission = "potwierdzenie_przyjecia_ucznia";
const QByteArray kValidRow = "('ZMIENNA_Ucz_STR1_DATA_EDIT', 87, 557, 600, 585, 'Arial', 14, 1, 0, 0, 0, 0)";

// Both calibration tables with the given rows ("(…), (…)"; "" leaves a table empty).
QByteArray calibrationSql(const QByteArray& transferRows, const QByteArray& admissionRows)
{
    QByteArray sql;
    for (const auto& [key, rows] :
         {std::pair{kTransfer, transferRows}, std::pair{kAdmission, admissionRows}}) {
        sql += RawSql::createCalibrationTable(key);
        if (!rows.isEmpty())
            sql += "insert into `" + key + "` values " + rows + ";";
    }
    return sql;
}

// Every object of both documents, as stored.
QList<QList<QByteArray>> allObjects(const QString& path)
{
    return RawSql::rows(path, "select * from `" + kTransfer + "`") +
           RawSql::rows(path, "select * from `" + kAdmission + "`");
}

} // namespace

class TestCalibrationEditor : public QObject
{
    Q_OBJECT
private:
    std::unique_ptr<RunningProgram> p;
    TFKalibracja* editor() const { return p->w.kalibracja; }
    QString calibFile() { return strFunGetCalibFilePath(p->env.buf, false); }
    template <typename T> T* child(const char* name) const
    {
        T* widget = editor()->findChild<T*>(QString::fromLatin1(name));
        [&] { QVERIFY2(widget, name); }();
        return widget;
    }
    // Opens the editor the way the menu does, without waiting for it to close.
    void open(TFKalibracja::Mode mode, const QByteArray& key = kTransfer)
    {
        p->w.glowna->setHighlightMode(true);
        editor()->setMode(mode);
        editor()->show();
        auto* types = child<QComboBox>("TypSwiadectwaComboBox");
        types->setCurrentIndex(types->findText(QString::fromLatin1(key)));
    }
    QList<QByteArray> stored(const QByteArray& key, const QByteArray& name)
    {
        const auto rows =
            RawSql::rows(calibFile(), "select x1, y1, x2, y2 from `" + key + "` where name='" + name + "'");
        return rows.isEmpty() ? QList<QByteArray>() : rows.first();
    }

private Q_SLOTS:
    void init()
    {
        p = std::make_unique<RunningProgram>();
        QVERIFY(p->start());
    }
    void cleanup()
    {
        editor()->hide();
        p.reset();
    }

    void objectLists_data()
    {
        QTest::addColumn<QByteArray>("key");
        QTest::addColumn<bool>("advanced");
        for (const QByteArray& key : {kTransfer, kAdmission}) {
            QTest::newRow(key + " basic") << key << false;
            QTest::newRow(key + " advanced") << key << true;
        }
    }
    // Opened from its menu item: the caption, the place at the left of the screen and the
    // objects of the mode.
    void objectLists()
    {
        QFETCH(QByteArray, key);
        QFETCH(bool, advanced);
        QStringList offered;
        QString caption;
        int left = -1;
        QTimer::singleShot(0, [&] {
            QCOMPARE(QApplication::activeModalWidget(), editor());
            caption = editor()->windowTitle();
            left = editor()->frameGeometry().left();
            auto* types = child<QComboBox>("TypSwiadectwaComboBox");
            types->setCurrentIndex(types->findText(QString::fromLatin1(key)));
            auto* objects = child<QComboBox>("VariableComboBox");
            for (int i = 0; i < objects->count(); ++i)
                offered << objects->itemText(i);
            child<QPushButton>("CloseButton")->click();
        });
        p->w.glowna
            ->findChild<QAction*>(advanced ? "Ustawieniaczcionki1" : "Formatowaniewiadectwapodstawowe1")
            ->trigger();
        QVERIFY(!editor()->isVisible());
        QCOMPARE(caption, advanced ? QStringLiteral("Formatowanie zaawansowane")
                                   : QStringLiteral("Formatowanie podstawowe"));
        QCOMPARE(left, p->w.glowna->screen()->availableGeometry().left() + 5);
        QStringList expected;
        const QByteArray where = advanced ? "" : " where name like '%ZMIENNA%'";
        for (const QByteArray& name : RawSql::column(calibFile(), "select name from `" + key + "`" + where))
            expected << QString::fromLatin1(name);
        QCOMPARE(offered, expected);
        QVERIFY(p->prompts.shown.isEmpty());
    }

    // Closing reads the student list again once: a working copy that cannot be read is
    // reported once, not a second time after the editor has gone.
    void closingReadsTheStudentListOnce()
    {
        QVERIFY(RawFile::write(strFunGetTmpFilePath(p->env.buf), "to nie jest baza danych uczniów"));
        QTimer::singleShot(0, [&] { child<QPushButton>("CloseButton")->click(); });
        p->w.glowna->findChild<QAction*>("Formatowaniewiadectwapodstawowe1")->trigger();
        QCOMPARE(
            p->prompts.texts().filter(QStringLiteral("Błąd podczas próby wczytania listy uczniów")).size(),
            1);
    }

    // Closed, the editor leaves the document that was selected drawn again, from the top.
    void closingRedrawsTheSelectedDocument()
    {
        const QString doc = p->env.root() + QStringLiteral("/klasa.sqdoc");
        RawSql::exec(doc, "create table PESEL1( id TEXT, comp_name TEXT, value TEXT );"
                          "insert into PESEL1 values('DANE UCZNIA', 'Nazwisko_DATA_EDIT', 'Nowak');"
                          "insert into PESEL1 values('DANE UCZNIA', 'Imie_DATA_EDIT', 'Jan');");
        TFGlowna* main = p->w.glowna.get();
        QVERIFY(main->bFunWczytajPlikSwiadectw(doc));
        main->treeView()->setCurrentItem(main->treeView()->topLevelItem(0)->child(0));
        const auto* image = main->findChild<QLabel*>(QStringLiteral("Image1"));
        const QImage before = image->pixmap().toImage();
        QTimer::singleShot(0, [&] {
            auto* objects = child<QComboBox>("VariableComboBox");
            objects->setCurrentIndex(objects->count() - 1); // the preview follows it down
            child<QPushButton>("CloseButton")->click();
        });
        main->findChild<QAction*>("Formatowaniewiadectwapodstawowe1")->trigger();
        QCOMPARE(main->selectedDocumentCaption(), TFGlowna::kTransferNotice);
        QCOMPARE(main->scrollBox()->verticalScrollBar()->value(), 0);
        QCOMPARE(image->pixmap().toImage(), before);
        QVERIFY(p->prompts.shown.isEmpty());
    }

    // The font size buttons change the edit only; nothing is stored before "Zastosuj".
    void fontSizeButtons_data()
    {
        QTest::addColumn<QByteArray>("button");
        QTest::addColumn<int>("size");
        QTest::addColumn<int>("expected");
        QTest::newRow("larger") << QByteArray("UpFontSizeSpeedButton") << 14 << 15;
        QTest::newRow("smaller") << QByteArray("DownFontSizeSpeedButton") << 14 << 13;
        QTest::newRow("smaller past 0") << QByteArray("DownFontSizeSpeedButton") << 0 << -1;
    }
    void fontSizeButtons()
    {
        QFETCH(QByteArray, button);
        QFETCH(int, size);
        QFETCH(int, expected);
        RawSql::exec(calibFile(), "update `" + kTransfer + "` set font_size=" + QByteArray::number(size));
        open(TFKalibracja::Mode::Basic);
        const QByteArray before = RawFile::bytes(calibFile());
        QCOMPARE(child<QLineEdit>("FontSizeEdit")->text().toInt(), size);
        child<QAbstractButton>(button.constData())->click();
        QCOMPARE(child<QLineEdit>("FontSizeEdit")->text().toInt(), expected);
        QCOMPARE(RawFile::bytes(calibFile()), before);
    }

    void arrowKeysStoreAndRedraw_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<QList<QByteArray>>("expected"); // x1, y1, x2, y2
        QTest::newRow("up") << int(Qt::Key_Up) << QList<QByteArray>{"300", "99", "400", "119"};
        QTest::newRow("down") << int(Qt::Key_Down) << QList<QByteArray>{"300", "101", "400", "121"};
        QTest::newRow("left") << int(Qt::Key_Left) << QList<QByteArray>{"299", "100", "399", "120"};
        QTest::newRow("right") << int(Qt::Key_Right) << QList<QByteArray>{"301", "100", "401", "120"};
    }
    void arrowKeysStoreAndRedraw()
    {
        QFETCH(int, key);
        QFETCH(QList<QByteArray>, expected);
        const QByteArray name = "ZMIENNA_PESEL_STR1_DATA_EDIT";
        RawSql::exec(calibFile(), "update `" + kTransfer +
                                      "` set x1=300, y1=100, x2=400, y2=120 where name='" + name + "'");
        open(TFKalibracja::Mode::Basic);
        auto* objects = child<QComboBox>("VariableComboBox");
        objects->setCurrentIndex(objects->findText(QString::fromLatin1(name)));
        QTest::keyClick(child<QLineEdit>("X1Edit"), Qt::Key(key));
        QCOMPARE(stored(kTransfer, name), expected);
        QCOMPARE(child<QLineEdit>("Y1Edit")->text().toLatin1(), expected.at(1));
        // The preview was drawn again from the stored box.
        const auto drawn =
            std::find_if(p->w.glowna->calibEntries().begin(), p->w.glowna->calibEntries().end(),
                         [&](const CalibEntry& e) { return e.name == QString::fromLatin1(name); });
        QVERIFY(drawn != p->w.glowna->calibEntries().end());
        QCOMPARE(QByteArray::number(drawn->y2), expected.at(3));
        QCOMPARE(QByteArray::number(drawn->x1), expected.at(0));
        QVERIFY(p->prompts.shown.isEmpty());
    }

    void applyWithEmptyNameReportsTheStore()
    {
        RawSql::exec(calibFile(), "delete from `" + kAdmission + "` where name like '%ZMIENNA%'");
        const QByteArray before = RawFile::bytes(calibFile());
        open(TFKalibracja::Mode::Basic, kAdmission);
        QCOMPARE(child<QComboBox>("VariableComboBox")->count(), 0);
        child<QPushButton>("SaveButton")->click();
        QCOMPARE(p->prompts.texts().size(), 1);
        const QString text = p->prompts.shown.first().text;
        QVERIFY2(text.startsWith(QStringLiteral("Błąd podczas próby zapisania danych kalibracji.\n\n"
                                                "Błąd aktualizacji wpisu kalibracji.\n\nupdate `")) &&
                     text.endsWith(QStringLiteral("where `name`=''")),
                 qPrintable(text));
        QCOMPARE(RawFile::bytes(calibFile()), before);
    }

    void restoreAsksAndAlwaysReloads_data()
    {
        QTest::addColumn<Prompts::Answer>("answer");
        QTest::newRow("no") << Prompts::Answer::No;
        QTest::newRow("yes") << Prompts::Answer::Yes;
    }
    void restoreAsksAndAlwaysReloads()
    {
        QFETCH(Prompts::Answer, answer);
        open(TFKalibracja::Mode::Advanced);
        const QString first = child<QComboBox>("VariableComboBox")->currentText();
        const QByteArray installed = RawFile::bytes(strFunGetCalibFilePath(p->env.buf, true));
        const QByteArray installedX1 = stored(kTransfer, first.toLatin1()).at(0);
        RawSql::exec(calibFile(),
                     "update `" + kTransfer + "` set x1=777 where name='" + first.toLatin1() + "'");
        p->prompts.answers.enqueue(answer);
        child<QPushButton>("PrzywrocUstawieniaButton")->click();
        QCOMPARE(p->prompts.shown.size(), 1);
        QCOMPARE(p->prompts.shown.first().text,
                 QStringLiteral("Czy na pewno chcesz przywrócić oryginalne ustawienia ?"));
        QCOMPARE(p->prompts.shown.first().caption, QStringLiteral("Przywracanie"));
        QCOMPARE(p->prompts.shown.first().icon, Prompts::Icon::None);
        const bool yes = answer == Prompts::Answer::Yes;
        QCOMPARE(child<QLineEdit>("X1Edit")->text().toLatin1(), yes ? installedX1 : QByteArray("777"));
        QCOMPARE(RawFile::bytes(calibFile()) == installed, yes);
    }

    // Export is a byte copy; importing it brings back every object as it was exported.
    void exportThenImportRestoresTheCalibration()
    {
        const QString exported = p->env.root() + QStringLiteral("/moja_kalibracja.sqset");
        const QByteArray before = RawFile::bytes(calibFile());
        const auto objects = [this] { return allObjects(calibFile()); };
        const auto exportedObjects = objects();
        QVERIFY(RawFile::write(exported, "stara kalibracja"));
        // An existing file is replaced only when the user says so.
        for (const Prompts::Answer answer : {Prompts::Answer::No, Prompts::Answer::Yes}) {
            p->prompts.files.enqueue(exported);
            p->prompts.answers.enqueue(answer);
            p->w.glowna->EksportujPlikKalibracji();
            QCOMPARE(p->prompts.texts().last(),
                     QStringLiteral("Wybrany plik już istnieje.\nCzy chcesz zastąpić istniejący plik ?"));
            QCOMPARE(RawFile::bytes(exported), answer == Prompts::Answer::Yes ? before : "stara kalibracja");
        }
        RawSql::exec(calibFile(), "update `" + kTransfer + "` set x1=x1+5");
        QVERIFY(objects() != exportedObjects);
        p->prompts.clear();
        p->prompts.files.enqueue(exported);
        p->w.glowna->ImportujPlikKalibracji();
        QCOMPARE(p->prompts.texts(), QStringList());
        QCOMPARE(objects(), exportedObjects);
        QCOMPARE(RawFile::bytes(exported), before);
    }

    // Only the objects arrive, in tables made as the installed file makes them.
    void importTakesOnlyTheObjects()
    {
        const QString chosen = p->env.root() + QStringLiteral("/obca.sqset");
        RawSql::exec(chosen,
                     "pragma journal_mode=WAL;" + calibrationSql(kValidRow, kValidRow) +
                         "create trigger `t` after update on `" + kTransfer + "` begin delete from `" +
                         kAdmission + "`; end; create view `v` as select * from `" + kTransfer +
                         "`; create index `i` on `" + kAdmission + "`(`name`); create table `inna`(a);");
        p->prompts.files.enqueue(chosen);
        p->w.glowna->ImportujPlikKalibracji();
        QCOMPARE(p->prompts.texts(), QStringList());
        QCOMPARE(RawSql::rows(calibFile(), "select type, name from sqlite_master"),
                 (QList<QList<QByteArray>>{{"table", kTransfer}, {"table", kAdmission}}));
        QCOMPARE(allObjects(calibFile()), allObjects(chosen));
        QCOMPARE(int(RawFile::bytes(calibFile()).at(18)), 1); // a rollback journal, not a log
        const QString installed = p->env.programDir() + QStringLiteral("/dokumenty_kalibracja.sqset");
        for (const QByteArray& key : {kTransfer, kAdmission})
            QCOMPARE(RawSql::rows(calibFile(), "pragma table_info(`" + key + "`)"),
                     RawSql::rows(installed, "pragma table_info(`" + key + "`)"));
    }

    void badCalibrationFilesAreRefused_data()
    {
        QTest::addColumn<bool>("import");
        QTest::addColumn<QString>("file");   // the chosen file; "=" is the calibration file itself
        QTest::addColumn<QByteArray>("sql"); // written into the chosen file; "" leaves it to `bytes`
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("expected");
        const QByteArray both =
            RawSql::createCalibrationTable(kTransfer) + RawSql::createCalibrationTable(kAdmission);
        QTest::newRow("text file") << true << "notatki.sqset" << QByteArray() << QByteArray("Lista zakupów\n")
                                   << "nie jest plikiem kalibracji: plik nie jest bazą danych SQLite.";
        QTest::newRow("one table")
            << true << "pol.sqset" << RawSql::createCalibrationTable(kTransfer) << QByteArray()
            << "nie jest plikiem kalibracji: brak tablicy \"potwierdzenie_przyjecia_ucznia\".";
        QTest::newRow("column missing")
            << true << "stary.sqset"
            << QByteArray("create table `zawiadomienie_o_przekazaniu`(name, x1, y1, x2, y2, font_name, "
                          "font_size);") +
                   RawSql::createCalibrationTable(kAdmission)
            << QByteArray() << "w tablicy \"zawiadomienie_o_przekazaniu\" brak kolumny \"font_align\".";
        QTest::newRow("import of itself")
            << true << "=" << QByteArray() << QByteArray() << "nie można go skopiować na samego siebie.";
        QTest::newRow("export onto itself")
            << false << "=" << QByteArray() << QByteArray() << "nie można go skopiować na samego siebie.";
        QTest::newRow("read-only export target") << false << "tylko_odczyt.sqset" << both << QByteArray()
                                                 << "\nKod błędu: 13\n\nDane nie zostały zapisane.";

        // One refused object beside valid ones, or a table that cannot be taken.
        const QByteArray valid = kValidRow;
        const QString transfer = QStringLiteral("w tablicy \"zawiadomienie_o_przekazaniu\" obiekt ");
        const QString admission = QStringLiteral("w tablicy \"potwierdzenie_przyjecia_ucznia\" obiekt ");
        const auto refused = [&](const char* tag, const QByteArray& transferRows,
                                 const QByteArray& admissionRows, const QString& reason) {
            QTest::newRow(tag) << true << "obca.sqset" << calibrationSql(transferRows, admissionRows)
                               << QByteArray()
                               << "nie jest plikiem kalibracji: " + reason +
                                      ".\n\nObecne ustawienia kalibracji pozostały bez zmian.";
        };
        refused("name NULL", valid + ", (NULL, 1, 2, 3, 4, 'Arial', 14, 0, 0, 0, 0, 0)", valid,
                transfer + "nr 2 nie ma nazwy");
        refused("name empty", valid, "('', 1, 2, 3, 4, 'Arial', 14, 0, 0, 0, 0, 0)",
                admission + "nr 1 nie ma nazwy");
        refused("x1 NULL", "('A', NULL, 2, 3, 4, 'Arial', 14, 0, 0, 0, 0, 0)", valid,
                transfer + "\"A\" nie ma wartości w kolumnie \"x1\"");
        refused("y2 text", valid, "('B', 1, 2, 3, 'dol', 'Arial', 14, 0, 0, 0, 0, 0)",
                admission + "\"B\" ma w kolumnie \"y2\" wartość \"dol\", która nie jest liczbą całkowitą");
        refused("x2 fraction", "('A', 1, 2, 3.5, 4, 'Arial', 14, 0, 0, 0, 0, 0)", valid,
                transfer + "\"A\" ma w kolumnie \"x2\" wartość \"3.5\", która nie jest liczbą całkowitą");
        refused("font size NULL", "('A', 1, 2, 3, 4, 'Arial', NULL, 0, 0, 0, 0, 0)", valid,
                transfer + "\"A\" nie ma wartości w kolumnie \"font_size\"");
        refused("font size text", "('A', 1, 2, 3, 4, 'Arial', 'duza', 0, 0, 0, 0, 0)", valid,
                transfer +
                    "\"A\" ma w kolumnie \"font_size\" wartość \"duza\", która nie jest liczbą całkowitą");
        refused(
            "style text", "('A', 1, 2, 3, 4, 'Arial', 14, 0, 'tak', 0, 0, 0)", valid,
            transfer +
                "\"A\" ma w kolumnie \"font_style_bold\" wartość \"tak\", która nie jest liczbą całkowitą");
        refused("x2 too far right", "('A', 1, 2, 20001, 4, 'Arial', 14, 0, 0, 0, 0, 0)", valid,
                transfer + "\"A\" ma w kolumnie \"x2\" wartość 20001 spoza zakresu od -20000 do 20000");
        refused("huge y1", valid, "('B', 1, -99999999999, 3, 4, 'Arial', 14, 0, 0, 0, 0, 0)",
                admission +
                    "\"B\" ma w kolumnie \"y1\" wartość -99999999999 spoza zakresu od -20000 do 20000");
        refused("font size 0", "('A', 1, 2, 3, 4, 'Arial', 0, 0, 0, 0, 0, 0)", valid,
                transfer + "\"A\" ma w kolumnie \"font_size\" wartość 0 spoza zakresu od 1 do 200");
        refused("font size 201", "('A', 1, 2, 3, 4, 'Arial', 201, 0, 0, 0, 0, 0)", valid,
                transfer + "\"A\" ma w kolumnie \"font_size\" wartość 201 spoza zakresu od 1 do 200");
        refused("alignment 99", "('A', 1, 2, 3, 4, 'Arial', 14, 99, 0, 0, 0, 0)", valid,
                transfer + "\"A\" ma w kolumnie \"font_align\" wartość 99 spoza zakresu od 0 do 3");
        refused("italic 2", valid, "('B', 1, 2, 3, 4, 'Arial', 14, 0, 0, 2, 0, 0)",
                admission + "\"B\" ma w kolumnie \"font_style_italic\" wartość 2 spoza zakresu od 0 do 1");
        refused("blob cell", "('A', x'3132', 2, 3, 4, 'Arial', 14, 0, 0, 0, 0, 0)", valid,
                transfer + "\"A\" ma w kolumnie \"x1\" wartość \"12\", która nie jest liczbą całkowitą");
        refused("font name of 100 characters",
                "('A', 1, 2, 3, 4, '" + QByteArray(100, 'f') + "', 14, 0, 0, 0, 0, 0)", valid,
                transfer + "\"A\" ma nazwę czcionki dłuższą niż 99 znaków");
        refused("font name with a line break",
                "('A', 1, 2, 3, 4, 'Arial' || char(10) || 'x', 14, 0, 0, 0, 0, 0)", valid,
                transfer + "\"A\" ma w nazwie czcionki znak, którego nazwy czcionek nie zawierają");
        refused("font name of blanks", "('A', 1, 2, 3, 4, '   ', 14, 0, 0, 0, 0, 0)", valid,
                transfer + "\"A\" nie ma nazwy czcionki");
        refused("name of blanks", valid, "('   ', 1, 2, 3, 4, 'Arial', 14, 0, 0, 0, 0, 0)",
                admission + "nr 1 nie ma nazwy");
        refused("name with an escape character", valid,
                "('B' || char(27) || '[2J', 1, 2, 3, 4, 'Arial', 14, 0, 0, 0, 0, 0)",
                admission + "\"B?[2J\" ma w nazwie znak sterujący");
        refused("same object twice", valid + ", " + valid, valid,
                transfer + "\"ZMIENNA_Ucz_STR1_DATA_EDIT\" występuje więcej niż raz");
        QTest::newRow("digits kept as text")
            << true << "tekst.sqset"
            << calibrationSql(valid, "").replace("create table `" + kAdmission + "`", "create table `x`") +
                   "create table `" + kAdmission +
                   "`(name, x1, y1, x2, y2, font_name, font_size, font_align, font_style_bold, "
                   "font_style_italic, font_style_underline, font_style_strike);"
                   "insert into `" +
                   kAdmission + "` values ('B', '1', 2, 3, 4, 'Arial', 14, 0, 0, 0, 0, 0);"
            << QByteArray()
            << admission + "\"B\" ma w kolumnie \"x1\" wartość \"1\" zapisaną jako tekst, a nie jako liczbę "
                           "całkowitą";
        refused("empty table", valid, "",
                "tablica \"potwierdzenie_przyjecia_ucznia\" nie zawiera żadnego obiektu");
        QByteArray many = valid;
        for (int i = 0; i < 1000; ++i)
            many +=
                ", ('ZMIENNA_" + QByteArray::number(i) + "', 87, 557, 600, 585, 'Arial', 14, 1, 0, 0, 0, 0)";
        refused("1001 objects", many, valid,
                "tablica \"zawiadomienie_o_przekazaniu\" zawiera ponad 1000 obiektów");
        refused("value of 70 kB",
                "('" + QByteArray(70000, 'n') + "', 1, 2, 3, 4, 'Arial', 14, 0, 0, 0, 0, 0)", valid,
                "plik zawiera wartość dłuższą niż 64 kB");
        QTest::newRow("view for a table")
            << true << "widok.sqset"
            << calibrationSql(valid, valid).replace("create table `" + kAdmission, "create table `x") +
                   "create view `" + kAdmission + "` as select * from `x`;"
            << QByteArray() << "brak tablicy \"potwierdzenie_przyjecia_ucznia\"";
        QTest::newRow("50 MB") << true << "duzy.sqset" << QByteArray() << QByteArray(50 << 20, 'k')
                               << "plik ma 50 MB, a plik kalibracji ma najwyżej 4 MB";
    }
    void badCalibrationFilesAreRefused()
    {
        QFETCH(bool, import);
        QFETCH(QString, file);
        QFETCH(QByteArray, sql);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, expected);
        const QString chosen =
            file == QLatin1String("=") ? calibFile() : p->env.root() + QLatin1Char('/') + file;
        if (!sql.isEmpty())
            RawSql::exec(chosen, sql);
        if (!bytes.isEmpty())
            QVERIFY(RawFile::write(chosen, bytes));
        if (!import && chosen != calibFile())
            QVERIFY(QFile::setPermissions(chosen, QFileDevice::ReadOwner));
        const QByteArray calibration = RawFile::bytes(calibFile());
        const QByteArray chosenBytes = RawFile::bytes(chosen);
        p->prompts.files.enqueue(chosen);
        if (import)
            p->w.glowna->ImportujPlikKalibracji();
        else
            p->w.glowna->EksportujPlikKalibracji();
        const QString fun =
            import ? QStringLiteral("ImportujPlikKalibracji()") : QStringLiteral("EksportujPlikKalibracji()");
        QCOMPARE(p->prompts.texts().size(), 1);
        const ShownBox& box = p->prompts.shown.last();
        QVERIFY2(box.text.startsWith(QStringLiteral("Funkcja: ") + fun + QStringLiteral("\n\n")),
                 qPrintable(box.text));
        QVERIFY2(box.text.contains(expected), qPrintable(box.text));
        QCOMPARE(box.caption, QStringLiteral("Atrybuty"));
        QCOMPARE(box.icon, Prompts::Icon::Warning);
        QCOMPARE(RawFile::bytes(calibFile()), calibration);
        QCOMPARE(RawFile::bytes(chosen), chosenBytes);
        QCOMPARE(
            QDir(p->env.dataDir()).entryList(QDir::Hidden | QDir::Files).filter(QStringLiteral(".import")),
            QStringList());
    }

    void nonIntegerIsRefusedBeforeWriting_data()
    {
        QTest::addColumn<QByteArray>("field");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("arrowKey"); // an arrow key in X1Edit instead of "Zastosuj"
        QTest::addColumn<QString>("named");
        QTest::newRow("x1 letters") << QByteArray("X1Edit") << "12a" << false << "X1 (lewa krawędź)";
        QTest::newRow("y2 fraction") << QByteArray("Y2Edit") << "1.5" << false << "Y2 (dolna krawędź)";
        QTest::newRow("y1 arrow key") << QByteArray("Y1Edit") << "sto" << true << "Y1 (górna krawędź)";
    }
    void nonIntegerIsRefusedBeforeWriting()
    {
        QFETCH(QByteArray, field);
        QFETCH(QString, text);
        QFETCH(bool, arrowKey);
        QFETCH(QString, named);
        open(TFKalibracja::Mode::Basic);
        const QByteArray before = RawFile::bytes(calibFile());
        child<QLineEdit>(field.constData())->setText(text);
        if (arrowKey)
            QTest::keyClick(child<QLineEdit>("X1Edit"), Qt::Key_Down);
        else
            child<QPushButton>("SaveButton")->click();
        QCOMPARE(p->prompts.texts().size(), 1);
        QCOMPARE(p->prompts.shown.last().text,
                 QStringLiteral("Pole \"") + named + QStringLiteral("\" nie zawiera liczby całkowitej: \"") +
                     text + QStringLiteral("\".\n\nPopraw wartość; ustawienia nie zostały zapisane."));
        QCOMPARE(p->prompts.shown.last().icon, Prompts::Icon::Warning);
        QCOMPARE(RawFile::bytes(calibFile()), before);
        QCOMPARE(child<QLineEdit>(field.constData())->text(), text);
    }
};

QTEST_MAIN(TestCalibrationEditor)
#include "tst_calibration_editor.moc"

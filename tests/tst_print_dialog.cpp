// The print dialog: where the page lands on the sheet, the nudge buttons, the margin
// profile commands, printing into a PDF file and through a real CUPS queue.
#include "platform/CupsPrinters.h"
#include "platform/DesktopOpen.h"
#include "printing/TFDrukuj.h"
#include "printing/TFDrukujSheet.h"
#include "storage/EventLog.h"
#include "tests/support/ScriptedPrompts.h"
#include "tests/support/TestEnvironment.h"

#include <pwd.h>
#include <unistd.h>

#include <QAbstractButton>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QString Word = QStringLiteral("MELVOKSTRONA");
constexpr QPoint WordAt(442, 600); // page units, top-left of the word's line

QPicture testPage()
{
    QPicture page;
    QPainter painter(&page);
    QFont font(QStringLiteral("Liberation Serif"));
    font.setPixelSize(20);
    painter.setFont(font);
    painter.drawText(QRect(WordAt, QSize(300, 40)), Qt::AlignLeft | Qt::AlignTop, Word);
    painter.drawRect(0, 0, DrukujSheet::PageWidth - 1, DrukujSheet::PageHeight - 1);
    painter.end();
    return page;
}

QString run(const QString& program, const QStringList& args)
{
    QProcess process;
    process.start(program, args);
    process.waitForFinished(30000);
    return QString::fromUtf8(process.readAllStandardOutput());
}

// The word's box on the PDF's first page, in points.
QRectF wordBox(const QString& pdf, const QString& word)
{
    const QString html = run(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), pdf, QStringLiteral("-")});
    const QRegularExpression re(QStringLiteral("xMin=\"([\\d.]+)\" yMin=\"([\\d.]+)\" xMax=\"([\\d.]+)\" "
                                               "yMax=\"([\\d.]+)\">") +
                                word + QStringLiteral("<"));
    const QRegularExpressionMatch m = re.match(html);
    if (!m.hasMatch())
        return QRectF();
    return QRectF(QPointF(m.captured(1).toDouble(), m.captured(2).toDouble()),
                  QPointF(m.captured(3).toDouble(), m.captured(4).toDouble()));
}

bool isA4(const QString& pdf)
{
    return run(QStringLiteral("pdfinfo"), {pdf}).contains(QStringLiteral("(A4)"));
}

double points(double mm)
{
    return mm * 72.0 / 25.4;
}

// Where the word lands with the profile "Domyślne" (10..200 mm across, 7..289 mm down), points.
QPointF expectedWordAt()
{
    return {points(10 + WordAt.x() * 190.0 / DrukujSheet::PageWidth),
            points(7 + WordAt.y() * 282.0 / DrukujSheet::PageHeight)};
}

// Dark pixels of the first page rasterised at 72 dpi (one pixel a point) inside `area`.
int inkIn(const QString& pdf, const QRect& area)
{
    QTemporaryDir dir;
    const QString base = dir.filePath(QStringLiteral("page"));
    run(QStringLiteral("pdftoppm"), {QStringLiteral("-r"), QStringLiteral("72"), QStringLiteral("-gray"),
                                     QStringLiteral("-singlefile"), pdf, base});
    const QImage page(base + QStringLiteral(".pgm"));
    int dark = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            dark += page.valid(x, y) && qGray(page.pixel(x, y)) < 128;
    return dark;
}

// The folder cups-pdf writes the jobs of this user into, from its configuration.
QStringList cupsPdfFolders()
{
    const QString home = QString::fromLocal8Bit(getpwuid(getuid())->pw_dir);
    QStringList folders;
    QFile conf(QStringLiteral("/etc/cups/cups-pdf.conf"));
    if (conf.open(QIODevice::ReadOnly)) {
        for (const QByteArray& line : conf.readAll().split('\n')) {
            const QString text = QString::fromLocal8Bit(line).trimmed();
            if (text.startsWith(QStringLiteral("Out ")))
                folders << text.mid(4).trimmed().replace(QStringLiteral("${HOME}"), home);
        }
    }
    folders << home + QStringLiteral("/PDF") << QStringLiteral("/var/spool/cups-pdf/ANONYMOUS");
    return folders;
}

QString findJobFile(const QString& title)
{
    for (const QString& folder : cupsPdfFolders()) {
        const QStringList found =
            QDir(folder).entryList({title + QStringLiteral("*.pdf")}, QDir::Files, QDir::Time);
        if (!found.isEmpty())
            return folder + QLatin1Char('/') + found.constFirst();
    }
    return QString();
}

} // namespace

class TestPrintDialog : public QObject
{
    Q_OBJECT
private:
    QTemporaryDir m_cupsOptions;
    TestEnvironment* m_env = nullptr;
    ScriptedPrompts* m_prompts = nullptr;
    TFDrukuj* m_dialog = nullptr;

    template<typename T>
    T* child(const char* name)
    {
        T* found = m_dialog->findChild<T*>(QString::fromLatin1(name));
        if (!found)
            qWarning("no control %s", name);
        return found;
    }
    QComboBox* combo(const char* name) { return child<QComboBox>(name); }
    void click(const char* name) { child<QAbstractButton>(name)->click(); }
    QList<int> edits(int page)
    {
        QList<int> out;
        for (const char* edge : {"Lewy", "Gorny", "Prawy", "Dolny"})
            out << child<QLineEdit>(qPrintable(QStringLiteral("Strona%1%2Edit").arg(page).arg(edge)))
                       ->text()
                       .toInt();
        return out;
    }
    void setEdits(int page, const QList<int>& values)
    {
        const char* edges[] = {"Lewy", "Gorny", "Prawy", "Dolny"};
        for (int i = 0; i < 4; ++i)
            child<QLineEdit>(qPrintable(QStringLiteral("Strona%1%2Edit").arg(page).arg(edges[i])))
                ->setText(QString::number(values.at(i)));
    }
    void choosePrinter(const QString& name)
    {
        QComboBox* printers = combo("DrukarkiComboBox");
        const int index = printers->findText(name);
        QVERIFY2(index >= 0, qPrintable(name));
        printers->setCurrentIndex(index);
    }

private Q_SLOTS:
    void initTestCase()
    {
        // Printer options the dialog stores go to a folder of the test, not the machine's.
        qputenv("CUPS_SERVERROOT", m_cupsOptions.path().toLocal8Bit());
        qputenv("HOME", m_cupsOptions.path().toLocal8Bit());
    }
    void init()
    {
        m_env = new TestEnvironment;
        QVERIFY(m_env->installDataFolder());
        m_prompts = new ScriptedPrompts;
        m_dialog = new TFDrukuj(m_env->buf);
        m_dialog->setPage(testPage(), 1, QStringLiteral("Kowalski Jan - Zawiadomienie"));
        m_dialog->show();
    }
    void cleanup()
    {
        delete m_dialog;
        delete m_prompts;
        delete m_env;
        DesktopOpen::intercept({});
    }

    void deviceRectangle_data()
    {
        QTest::addColumn<int>("dpi");
        QTest::addColumn<QPoint>("offset");
        QTest::addColumn<QRect>("expected");
        QTest::newRow("600 dpi") << 600 << QPoint(0, 0) << QRect(QPoint(236, 236), QPoint(4724, 6779));
        QTest::newRow("300 dpi, printable area inset") << 300 << QPoint(50, 70)
                                                       << QRect(QPoint(68, 48), QPoint(2312, 3319));
    }
    void deviceRectangle()
    {
        QFETCH(int, dpi);
        QFETCH(QPoint, offset);
        QFETCH(QRect, expected);
        const QRect rect = DrukujSheet::deviceRect({10, 10, 200, 287}, dpi, dpi, offset.x(), offset.y());
        // Edge to edge: the page covers right - left and bottom - top pixels.
        QCOMPARE(QRect(rect.topLeft(), rect.topLeft() + QPoint(rect.width(), rect.height())), expected);
    }

    void nudgeGuards_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<int>("page");
        QTest::addColumn<QList<int>>("before"); // left, top, right, bottom
        QTest::addColumn<QList<int>>("after");
        using L = QList<int>;
        QTest::newRow("up at top 1") << "SpeedButton1" << 1 << L{5, 1, 100, 250} << L{5, 1, 100, 250};
        QTest::newRow("up") << "SpeedButton1" << 1 << L{5, 2, 100, 250} << L{5, 1, 100, 249};
        QTest::newRow("down") << "SpeedButton3" << 1 << L{5, 1, 100, 250} << L{5, 2, 100, 251};
        QTest::newRow("left, right at 1 stays") << "SpeedButton2" << 1 << L{5, 9, 1, 9} << L{4, 9, 1, 9};
        QTest::newRow("left at left 1") << "SpeedButton2" << 1 << L{1, 9, 50, 9} << L{1, 9, 50, 9};
        QTest::newRow("right") << "SpeedButton4" << 1 << L{1, 9, 1, 9} << L{2, 9, 2, 9};
        QTest::newRow("page 2 up at 1") << "SpeedButton5" << 2 << L{5, 1, 9, 9} << L{5, 1, 9, 9};
        QTest::newRow("page 2 left, right unguarded") << "SpeedButton6" << 2 << L{5, 9, 1, 9} << L{4, 9, 0, 9};
        QTest::newRow("page 2 down") << "SpeedButton7" << 2 << L{5, 9, 1, 9} << L{5, 10, 1, 10};
        QTest::newRow("page 2 right") << "SpeedButton8" << 2 << L{5, 9, 1, 9} << L{6, 9, 2, 9};
        QTest::newRow("wider at left 1") << "SpeedButton9" << 1 << L{1, 9, 50, 9} << L{1, 9, 50, 9};
        QTest::newRow("wider") << "SpeedButton9" << 1 << L{2, 9, 50, 9} << L{1, 9, 51, 9};
        QTest::newRow("narrower at right 1") << "SpeedButton10" << 1 << L{2, 9, 1, 9} << L{2, 9, 1, 9};
        QTest::newRow("narrower") << "SpeedButton10" << 1 << L{2, 9, 5, 9} << L{3, 9, 4, 9};
        QTest::newRow("taller at top 1") << "SpeedButton11" << 1 << L{2, 1, 5, 9} << L{2, 1, 5, 9};
        QTest::newRow("shorter, bottom at 1 stays") << "SpeedButton12" << 1 << L{2, 4, 5, 1} << L{2, 5, 5, 1};
        QTest::newRow("page 2 wider at 1") << "SpeedButton13" << 2 << L{1, 4, 5, 1} << L{1, 4, 5, 1};
        QTest::newRow("page 2 narrower unguarded") << "SpeedButton14" << 2 << L{1, 4, 1, 1} << L{2, 4, 0, 1};
        QTest::newRow("page 2 shorter unguarded") << "SpeedButton15" << 2 << L{1, 4, 1, 1} << L{1, 5, 1, 0};
        QTest::newRow("page 2 taller at 1") << "SpeedButton16" << 2 << L{1, 1, 1, 7} << L{1, 1, 1, 7};
    }
    void nudgeGuards()
    {
        QFETCH(QString, button);
        QFETCH(int, page);
        QFETCH(QList<int>, before);
        QFETCH(QList<int>, after);
        const int other = 3 - page;
        setEdits(page, before);
        setEdits(other, {7, 7, 7, 7});
        click(qPrintable(button));
        QCOMPARE(edits(page), after);
        QCOMPARE(edits(other), QList<int>({7, 7, 7, 7}));
    }

    void keyboardAndNames()
    {
        const QStringList order = {
            "DrukarkiComboBox", "BitBtn1",      "DuplexComboBox", "cbRotateSecondPage", "MarginesyComboBox",
            "SaveNewButton",    "DeleteButton", "ResetButton",    "SpeedButton1",       "SpeedButton2",
            "SpeedButton4",     "SpeedButton3", "SpeedButton5",   "SpeedButton6",       "SpeedButton8",
            "SpeedButton7",     "SpeedButton9", "SpeedButton10",  "SpeedButton11",      "SpeedButton12",
            "SpeedButton13",    "SpeedButton14", "SpeedButton16", "SpeedButton15",      "PomocButton",
            "DrukujButton",     "AnulujButton"};
        QStringList chain;
        QWidget* w = child<QWidget>("DrukarkiComboBox");
        do {
            if (w->focusPolicy() & Qt::TabFocus)
                chain << w->objectName();
            w = w->nextInFocusChain();
        } while (w != child<QWidget>("DrukarkiComboBox"));
        QCOMPARE(chain, order);
        for (const QString& name : order) {
            auto* control = child<QWidget>(qPrintable(name));
            auto* button = qobject_cast<QAbstractButton*>(control);
            QVERIFY2(!control->accessibleName().isEmpty() || (button && !button->text().isEmpty()),
                     qPrintable(name));
        }
        for (const char* name : {"DrukarkiComboBox", "DuplexComboBox", "MarginesyComboBox"}) {
            const auto labels = m_dialog->findChildren<QLabel*>();
            QVERIFY2(std::any_of(labels.begin(), labels.end(),
                                 [&](QLabel* l) { return l->buddy() == child<QWidget>(name); }),
                     name);
        }
    }

    void profileCommands()
    {
        QComboBox* profiles = combo("MarginesyComboBox");
        QCOMPARE(profiles->count(), 2);
        QCOMPARE(edits(1), QList<int>({10, 7, 200, 289}));
        click("SpeedButton4");

        m_prompts->inputs << QStringLiteral("Domyślne") << QStringLiteral("domyślne");
        click("SaveNewButton");
        QCOMPARE(m_prompts->shown.last().caption, QStringLiteral("Duplikat"));
        QCOMPARE(m_prompts->shown.last().text, QStringLiteral("Ustawienia pod tą nazwą już istnieją"));
        QCOMPARE(profiles->count(), 2);
        click("SaveNewButton");
        const ShownBox& input = m_prompts->shown.last();
        QCOMPARE(input.caption + u'|' + input.text + u'|' + input.initialName,
                 QStringLiteral("Nazwa|Proszę podać nazwę ustawień|nowa nazwa"));
        QCOMPARE(profiles->count(), 3);
        // Reloading chose the first profile again; the saved one keeps the nudged values.
        QCOMPARE(edits(1), QList<int>({10, 7, 200, 289}));
        profiles->setCurrentIndex(2);
        QCOMPARE(edits(1), QList<int>({11, 7, 201, 289}));

        m_prompts->answers << Prompts::Answer::Yes << Prompts::Answer::Yes;
        click("DeleteButton");
        QCOMPARE(m_prompts->shown.last().text, QStringLiteral("Czy na pewno chcesz skasować ustawienia: domyślne ?"));
        QCOMPARE(m_prompts->shown.last().caption, QStringLiteral("Kasowanie"));
        QCOMPARE(profiles->count(), 2);
        profiles->setCurrentIndex(0);
        click("DeleteButton");
        QCOMPARE(profiles->count(), 1);
        m_prompts->answers << Prompts::Answer::Yes;
        click("ResetButton");
        QCOMPARE(m_prompts->shown.last().text, QStringLiteral("Czy na pewno chcesz przywrócić oryginalne ustawienia ?"));
        QCOMPARE(m_prompts->shown.last().caption, QStringLiteral("Przywracanie"));
        QCOMPARE(profiles->itemText(0), QStringLiteral("Domyślne"));
        QCOMPARE(profiles->count(), 2);
        QCOMPARE(m_prompts->texts().size(), 4); // the questions and the duplicate warning only
    }

    void printIntoPdf()
    {
        choosePrinter(TFDrukuj::pdfChoice());
        QVERIFY(!combo("DuplexComboBox")->isEnabled());
        QCOMPARE(combo("DuplexComboBox")->currentText(), QStringLiteral("Wyłączony"));
        const QString file = m_env->root() + QStringLiteral("/wydruk");
        m_prompts->files << file;
        click("DrukujButton");
        const ShownBox& save = m_prompts->shown.constFirst();
        QCOMPARE(save.caption, QStringLiteral("Zapisz jako PDF"));
        QCOMPARE(Prompts::qtFilter(save.filter), QStringLiteral("PDF (*.pdf)"));
        QCOMPARE(save.initialName, QStringLiteral("Kowalski Jan - Zawiadomienie.pdf"));
        QCOMPARE(m_prompts->shown.size(), 1);
        QVERIFY(!m_dialog->isVisible());

        const QString pdf = file + QStringLiteral(".pdf");
        QVERIFY(isA4(pdf));
        // The profile "Domyślne" puts the page at 10..200 mm across and 7..289 mm down.
        const QRectF box = wordBox(pdf, Word);
        QVERIFY2(!box.isNull(), "the word is not on the page");
        const double x = expectedWordAt().x();
        const double y = expectedWordAt().y();
        QVERIFY2(qAbs(box.left() - x) < 1.5 && qAbs(box.top() - y) < 2.0,
                 qPrintable(QStringLiteral("at %1, %2 instead of %3, %4").arg(box.left()).arg(box.top()).arg(x).arg(y)));
        // 20 units high on the page: 20 * 282 / 1314 mm, give or take the font's leading.
        QVERIFY(qAbs(box.height() - points(20 * 282.0 / 1314)) < 2.0);
    }

    void cancellingPrintsNothing()
    {
        choosePrinter(TFDrukuj::pdfChoice());
        click("DrukujButton"); // the file dialog is cancelled
        QVERIFY(m_dialog->isVisible());
        click("AnulujButton");
        QVERIFY(!m_dialog->isVisible());
        QCOMPARE(QDir(m_env->root()).entryList({QStringLiteral("*.pdf")}), QStringList());
    }

    void vanishedPrinter()
    {
        // Listed when the dialog opened, gone (or the server stopped) by the time it is chosen.
        const QString name = QStringLiteral("DrukarkaWycofana");
        combo("DrukarkiComboBox")->insertItem(0, name);
        choosePrinter(name);
        QVERIFY(!combo("DuplexComboBox")->isEnabled());
        QCOMPARE(m_prompts->shown.size(), 1);
        QVERIFY2(m_prompts->shown.last().text.startsWith(
                     QStringLiteral("Błąd otwarcia ustawień drukarki.\nOpenPrinter() error code: ")),
                 qPrintable(m_prompts->shown.last().text));
        QCOMPARE(m_prompts->shown.last().caption, QStringLiteral("Błąd"));
        MessageBuffer scratch;
        QList<LogEntry> logs;
        QVERIFY(bFunSqlGetLogsData(scratch, logs));
        QCOMPARE(logs.last().fun, QStringLiteral("vFunUstawDrukarke()"));

        click("DrukujButton");
        QCOMPARE(m_prompts->texts().last(), QStringLiteral("Drukarka \"DrukarkaWycofana\" jest niedostępna."));
        QVERIFY(!m_dialog->isVisible());
    }

    void helpOpensTheManual()
    {
        QUrl opened;
        DesktopOpen::intercept([&](const QUrl& url) {
            opened = url;
            return true;
        });
        click("PomocButton");
        QCOMPARE(opened, QUrl::fromLocalFile(m_env->programDir() + QStringLiteral("/Zoravavivo.html")));
    }

    // The queues that build.sh sets up on the cups-pdf backend, one without and one with
    // a duplexer.
    void printThroughCups_data()
    {
        QTest::addColumn<QString>("queue");
        QTest::addColumn<bool>("duplex");
        QTest::newRow("no duplex") << "MelvokPDF" << false;
        QTest::newRow("duplex") << "MelvokDuplex" << true;
    }
    void printThroughCups()
    {
        QFETCH(QString, queue);
        QFETCH(bool, duplex);
        if (!CupsPrinters::printers().contains(queue))
            QSKIP(qPrintable(QStringLiteral("CUPS queue %1 not reachable (./build.sh test sets it up); "
                                            "printing through CUPS not tested")
                                 .arg(queue)));
        const QString title = QStringLiteral("melvok-%1-%2").arg(queue).arg(QCoreApplication::applicationPid());
        m_dialog->setPage(testPage(), 1, title + QStringLiteral(".pdf"));
        choosePrinter(queue);
        QComboBox* duplexBox = combo("DuplexComboBox");
        QCOMPARE(duplexBox->isEnabled(), duplex);
        QCOMPARE(child<QWidget>("cbRotateSecondPage")->isEnabled(), duplex);
        if (duplex)
            duplexBox->setCurrentIndex(2);
        else
            QCOMPARE(duplexBox->currentText(), QStringLiteral("Wyłączony"));
        click("DrukujButton");
        QCOMPARE(m_prompts->texts(), QStringList());
        QVERIFY(!m_dialog->isVisible());
        if (duplex) {
            QFile options(m_cupsOptions.path() + QStringLiteral("/.cups/lpoptions"));
            if (!options.exists())
                options.setFileName(m_cupsOptions.path() + QStringLiteral("/lpoptions"));
            QVERIFY(options.open(QIODevice::ReadOnly));
            const QString stored = QString::fromUtf8(options.readAll());
            QVERIFY2(stored.contains(QStringLiteral("Dest ") + queue) &&
                         stored.contains(QStringLiteral("sides=two-sided-short-edge")),
                     qPrintable(stored));
        }
        QString pdf;
        QTRY_VERIFY2_WITH_TIMEOUT(!(pdf = findJobFile(title)).isEmpty(),
                                  qPrintable(QStringLiteral("no job %1 in %2").arg(title, cupsPdfFolders().join(", "))),
                                  90000);
        QTRY_VERIFY_WITH_TIMEOUT(isA4(pdf), 30000);
        // The spooler's PDF keeps no text; the word's ink is where the dialog put it,
        // whatever border the queue's driver keeps.
        const QPoint at = expectedWordAt().toPoint();
        QVERIFY(inkIn(pdf, QRect(at, QSize(60, 10))) > 20);
        QCOMPARE(inkIn(pdf, QRect(at - QPoint(0, 30), QSize(60, 14))), 0);
        QFile::remove(pdf);
    }
};

QTEST_MAIN(TestPrintDialog)
#include "tst_print_dialog.moc"

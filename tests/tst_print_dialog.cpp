// The print dialog: where the page lands on the sheet, the nudge buttons, the margin
// profile commands, printing into a PDF file and through real CUPS queues.
#include "platform/CupsPrinters.h"
#include "printing/TFDrukuj.h"
#include "printing/TFDrukujSheet.h"
#include "prompts/PolishToolkit.h"
#include "storage/EventLog.h"
#include "tests/support/FileSizeLimit.h"
#include "tests/support/RawFile.h"
#include "tests/support/RecordingDesktop.h"
#include "tests/support/ScriptedPrompts.h"
#include "tests/support/TestEnvironment.h"

#include <climits>
#include <pwd.h>
#include <unistd.h>

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QLabel>
#include <QPainter>
#include <QPrintDialog>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <qtestspontaneevent.h>

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
    return page;
}

QString run(const QString& program, const QStringList& args)
{
    QProcess process;
    process.start(program, args);
    process.waitForFinished(30000);
    return QString::fromUtf8(process.readAllStandardOutput());
}

// With the profile "Domyślne" the page covers 10..200 mm across and 7..289 mm down.
QPointF expectedWordAt()
{
    return QPointF(10 + WordAt.x() * 190.0 / DrukujSheet::PageWidth,
                   7 + WordAt.y() * 282.0 / DrukujSheet::PageHeight) *
           (72 / 25.4);
}

// The word's top-left corner on the first page, in points, from the PDF's text.
QPointF wordPosition(const QString& pdf)
{
    const QRegularExpressionMatch m =
        QRegularExpression(QStringLiteral("xMin=\"([\\d.]+)\" yMin=\"([\\d.]+)\"[^>]*>") + Word)
            .match(run(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), pdf, QStringLiteral("-")}));
    return m.hasMatch() ? QPointF(m.captured(1).toDouble(), m.captured(2).toDouble()) : QPointF(-1, -1);
}

// Dark pixels inside `area` of the first page rasterised at one pixel a point.
int inkIn(const QString& pdf, const QRect& area)
{
    QTemporaryDir dir;
    run(QStringLiteral("pdftoppm"), {QStringLiteral("-r"), QStringLiteral("72"), QStringLiteral("-gray"),
                                     QStringLiteral("-singlefile"), pdf, dir.filePath(QStringLiteral("p"))});
    const QImage page(dir.filePath(QStringLiteral("p.pgm")));
    int dark = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            dark += page.valid(x, y) && qGray(page.pixel(x, y)) < 128;
    return dark;
}

bool isA4(const QString& pdf)
{
    return run(QStringLiteral("pdfinfo"), {pdf}).contains(QStringLiteral("(A4)"));
}

// The job's file in the "Out" folder of cups-pdf's configuration (the printing user's
// ${HOME}/PDF as installed).
QString cupsPdfJob(const QString& title)
{
    const QString home = QString::fromLocal8Bit(getpwuid(getuid())->pw_dir);
    QStringList folders{home + QStringLiteral("/PDF"), QStringLiteral("/var/spool/cups-pdf/ANONYMOUS")};
    QFile conf(QStringLiteral("/etc/cups/cups-pdf.conf"));
    if (conf.open(QIODevice::ReadOnly))
        for (const QString& line : QString::fromLocal8Bit(conf.readAll()).split(QLatin1Char('\n')))
            if (line.startsWith(QStringLiteral("Out ")))
                folders.prepend(line.mid(4).trimmed().replace(QStringLiteral("${HOME}"), home));
    for (const QString& folder : folders)
        for (const QString& name : QDir(folder).entryList({title + QStringLiteral("*.pdf")}, QDir::Files))
            return folder + QLatin1Char('/') + name;
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

    template <typename T = QWidget> T* child(const QString& name) { return m_dialog->findChild<T*>(name); }
    QComboBox* combo(const char* name) { return child<QComboBox>(QString::fromLatin1(name)); }
    void click(const QString& name) { child<QAbstractButton>(name)->click(); }
    QSpinBox* edit(int page, int edge)
    {
        const char* edges[] = {"Lewy", "Gorny", "Prawy", "Dolny"};
        return child<QSpinBox>(QStringLiteral("Strona%1%2Edit").arg(page).arg(edges[edge]));
    }
    QList<int> edits(int page)
    {
        QList<int> out;
        for (int e = 0; e < 4; ++e)
            out << edit(page, e)->value();
        return out;
    }
    void choosePrinter(const QString& name)
    {
        combo("DrukarkiComboBox")->setCurrentIndex(combo("DrukarkiComboBox")->findText(name));
        QCOMPARE(combo("DrukarkiComboBox")->currentText(), name);
    }

private Q_SLOTS:
    void initTestCase()
    {
        // The printer options the dialog stores go to a folder of the test.
        qputenv("CUPS_SERVERROOT", m_cupsOptions.path().toLocal8Bit());
        qputenv("HOME", m_cupsOptions.path().toLocal8Bit());
        bFunUsePolishToolkit();
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
    }

    void deviceRectangle_data()
    {
        QTest::addColumn<QList<int>>("edges"); // left, top, right, bottom
        QTest::addColumn<int>("dpi");
        QTest::addColumn<QPoint>("offset");
        QTest::addColumn<QRect>("expected");
        const QList<int> a4{10, 10, 200, 287};
        QTest::newRow("600 dpi") << a4 << 600 << QPoint(0, 0) << QRect(QPoint(236, 236), QPoint(4724, 6779));
        QTest::newRow("300 dpi, inset")
            << a4 << 300 << QPoint(50, 70) << QRect(QPoint(68, 48), QPoint(2312, 3319));
        // A damaged profile: the page lies ten metres off, without wrapping round.
        QTest::newRow("huge edges") << QList<int>{INT_MIN, 10, INT_MAX, 287} << 1200 << QPoint(0, 0)
                                    << QRect(QPoint(-472440, 472), QPoint(472440, 13559));
    }
    void deviceRectangle()
    {
        QFETCH(QList<int>, edges);
        QFETCH(int, dpi);
        QFETCH(QPoint, offset);
        QFETCH(QRect, expected);
        const DrukujSheet::Edges mm{edges.at(0), edges.at(1), edges.at(2), edges.at(3)};
        const QRect rect = DrukujSheet::deviceRect(mm, dpi, dpi, offset.x(), offset.y());
        // Edge to edge: the page covers right - left by bottom - top pixels.
        QCOMPARE(QRect(rect.topLeft(), rect.topLeft() + QPoint(rect.width(), rect.height())), expected);
    }

    void nudgeGuards_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<int>("page");
        QTest::addColumn<QList<int>>("before"); // left, top, right, bottom
        QTest::addColumn<QList<int>>("after");
        using L = QList<int>;
        QTest::newRow("up, top at 1") << "SpeedButton1" << 1 << L{5, 1, 100, 250} << L{5, 1, 100, 250};
        QTest::newRow("up") << "SpeedButton1" << 1 << L{5, 2, 100, 250} << L{5, 1, 100, 249};
        QTest::newRow("left, right at 1 stays") << "SpeedButton2" << 1 << L{5, 9, 1, 9} << L{4, 9, 1, 9};
        QTest::newRow("left, left at 1") << "SpeedButton2" << 1 << L{1, 9, 50, 9} << L{1, 9, 50, 9};
        QTest::newRow("page 2 left, right goes on") << "SpeedButton6" << 2 << L{5, 9, 1, 9} << L{4, 9, 0, 9};
        QTest::newRow("page 2 down") << "SpeedButton7" << 2 << L{5, 9, 1, 9} << L{5, 10, 1, 10};
        QTest::newRow("wider, left at 1") << "SpeedButton9" << 1 << L{1, 9, 50, 9} << L{1, 9, 50, 9};
        QTest::newRow("narrower, right at 1") << "SpeedButton10" << 1 << L{2, 9, 1, 9} << L{2, 9, 1, 9};
        QTest::newRow("narrower") << "SpeedButton10" << 1 << L{2, 9, 5, 9} << L{3, 9, 4, 9};
        QTest::newRow("shorter, bottom at 1 stays") << "SpeedButton12" << 1 << L{2, 4, 5, 1} << L{2, 5, 5, 1};
        QTest::newRow("page 2 narrower") << "SpeedButton14" << 2 << L{1, 4, 1, 1} << L{2, 4, 0, 1};
        QTest::newRow("page 2 taller, top at 1") << "SpeedButton16" << 2 << L{1, 1, 1, 7} << L{1, 1, 1, 7};
        QTest::newRow("down") << "SpeedButton3" << 1 << L{5, 9, 1, 9} << L{5, 10, 1, 10};
        QTest::newRow("page 2 right") << "SpeedButton8" << 2 << L{5, 9, 1, 9} << L{6, 9, 2, 9};
        QTest::newRow("taller") << "SpeedButton11" << 1 << L{5, 9, 1, 9} << L{5, 8, 1, 10};
        QTest::newRow("taller, top at 1") << "SpeedButton11" << 1 << L{5, 1, 1, 9} << L{5, 1, 1, 9};
        QTest::newRow("page 2 wider") << "SpeedButton13" << 2 << L{5, 9, 1, 9} << L{4, 9, 2, 9};
        QTest::newRow("page 2 wider, left at 1") << "SpeedButton13" << 2 << L{1, 9, 1, 9} << L{1, 9, 1, 9};
        QTest::newRow("page 2 shorter") << "SpeedButton15" << 2 << L{5, 9, 1, 1} << L{5, 10, 1, 0};
        QTest::newRow("right at the largest value")
            << "SpeedButton4" << 1 << L{5, 9, INT_MAX, 9} << L{6, 9, INT_MAX, 9};
        QTest::newRow("top at the smallest value")
            << "SpeedButton5" << 2 << L{5, INT_MIN, 1, 9} << L{5, INT_MIN, 1, 8};
    }
    void nudgeGuards()
    {
        QFETCH(QString, button);
        QFETCH(int, page);
        QFETCH(QList<int>, before);
        QFETCH(QList<int>, after);
        for (int e = 0; e < 4; ++e) {
            edit(page, e)->setValue(before.at(e));
            edit(3 - page, e)->setValue(7);
        }
        click(button);
        QCOMPARE(edits(page), after);
        QCOMPARE(edits(3 - page), QList<int>({7, 7, 7, 7}));
    }

    void keyboardAndNames()
    {
        QStringList order{"DrukarkiComboBox",  "BitBtn1",       "DuplexComboBox", "cbRotateSecondPage",
                          "MarginesyComboBox", "SaveNewButton", "DeleteButton",   "ResetButton"};
        // Each page's four margins, then the arrows that move the page.
        for (int page : {1, 2}) {
            for (const char* edge : {"Lewy", "Gorny", "Prawy", "Dolny"})
                order << QStringLiteral("Strona%1%2Edit").arg(page).arg(QLatin1String(edge));
            for (int n :
                 page == 1 ? std::initializer_list<int>{1, 2, 4, 3} : std::initializer_list<int>{5, 6, 8, 7})
                order << QStringLiteral("SpeedButton%1").arg(n);
        }
        for (int n : {9, 10, 11, 12, 13, 14, 16, 15})
            order << QStringLiteral("SpeedButton%1").arg(n);
        order << "PomocButton"
              << "NumerLDzEdit"
              << "DuplikatCheckBox"
              << "DrukujButton"
              << "AnulujButton";
        QStringList chain;
        QWidget* w = child(order.constFirst());
        do {
            // The edit inside a spin box is the spin box's.
            if ((w->focusPolicy() & Qt::TabFocus) && !qobject_cast<QSpinBox*>(w->parentWidget())) {
                chain << w->objectName();
                auto* button = qobject_cast<QAbstractButton*>(w);
                QVERIFY2(!w->accessibleName().isEmpty() || (button && !button->text().isEmpty()),
                         qPrintable(w->objectName()));
            }
            w = w->nextInFocusChain();
        } while (w != child(order.constFirst()));
        QCOMPARE(chain, order);
        QList<QWidget*> buddies;
        for (QLabel* label : m_dialog->findChildren<QLabel*>())
            buddies << label->buddy();
        for (const char* name :
             {"DrukarkiComboBox", "DuplexComboBox", "MarginesyComboBox", "Strona2DolnyEdit"})
            QVERIFY2(buddies.contains(child(QString::fromLatin1(name))), name);
        // A margin is stepped by the arrow keys as well as typed.
        edit(1, 1)->setValue(5);
        QTest::keyClick(edit(1, 1), Qt::Key_Up);
        QCOMPARE(edit(1, 1)->value(), 6);
    }

    // Restored by the desktop the dialog keeps the nudged positions; opened again it
    // starts from the first profile.
    void nudgesLastUntilTheNextOpening()
    {
        QShowEvent restored;
        QSpontaneKeyEvent::setSpontaneous(&restored);
        click(QStringLiteral("SpeedButton4"));
        QCoreApplication::instance()->notify(m_dialog, &restored); // as the desktop delivers it
        QCOMPARE(edits(1), QList<int>({11, 7, 201, 289}));
        m_dialog->hide();
        m_dialog->show();
        QCOMPARE(edits(1), QList<int>({10, 7, 200, 289}));
    }

    void profileCommands()
    {
        QComboBox* profiles = combo("MarginesyComboBox");
        QCOMPARE(profiles->count(), 2);
        QCOMPARE(edits(1), QList<int>({10, 7, 200, 289}));
        click(QStringLiteral("SpeedButton4"));

        m_prompts->inputs << QStringLiteral("Domyślne") << QStringLiteral("domyślne");
        click(QStringLiteral("SaveNewButton"));
        QCOMPARE(m_prompts->shown.last().caption + u'|' + m_prompts->shown.last().text,
                 QStringLiteral("Duplikat|Ustawienia pod tą nazwą już istnieją"));
        click(QStringLiteral("SaveNewButton"));
        const ShownBox& input = m_prompts->shown.last();
        QCOMPARE(input.caption + u'|' + input.text + u'|' + input.initialName,
                 QStringLiteral("Nazwa|Proszę podać nazwę ustawień|nowa nazwa"));
        QCOMPARE(profiles->count(), 3);
        // Reloading chose the first profile again; the new one keeps the nudged values.
        QCOMPARE(edits(1), QList<int>({10, 7, 200, 289}));
        profiles->setCurrentIndex(2);
        QCOMPARE(edits(1), QList<int>({11, 7, 201, 289}));

        m_prompts->answers << Prompts::Answer::Yes << Prompts::Answer::Yes << Prompts::Answer::Yes;
        click(QStringLiteral("DeleteButton"));
        QCOMPARE(m_prompts->shown.last().caption + u'|' + m_prompts->shown.last().text,
                 QStringLiteral("Kasowanie|Czy na pewno chcesz skasować ustawienia: domyślne ?"));
        click(QStringLiteral("DeleteButton"));
        QCOMPARE(profiles->count(), 1);
        click(QStringLiteral("ResetButton"));
        QCOMPARE(m_prompts->shown.last().caption + u'|' + m_prompts->shown.last().text,
                 QStringLiteral("Przywracanie|Czy na pewno chcesz przywrócić oryginalne ustawienia ?"));
        QCOMPARE(profiles->itemText(0), QStringLiteral("Domyślne"));
        QCOMPARE(profiles->count(), 2);
        QCOMPARE(m_prompts->texts().size(), 4); // the questions and the duplicate warning only
    }

    void printIntoPdf()
    {
        choosePrinter(TFDrukuj::pdfChoice());
        QVERIFY(!combo("DuplexComboBox")->isEnabled());
        QCOMPARE(combo("DuplexComboBox")->currentText(), QStringLiteral("Wyłączony"));
        QVERIFY(!child(QStringLiteral("BitBtn1"))->isEnabled()); // a file has no printer to set up
        m_prompts->files << m_env->root() + QStringLiteral("/wydruk");
        click(QStringLiteral("DrukujButton"));
        QCOMPARE(m_prompts->shown.size(), 1);
        const ShownBox& save = m_prompts->shown.constFirst();
        QCOMPARE(save.caption + u'|' + Prompts::qtFilter(save.filter) + u'|' + save.initialName,
                 QStringLiteral("Zapisz jako PDF|PDF (*.pdf)|Kowalski Jan - Zawiadomienie.pdf"));
        QVERIFY(!m_dialog->isVisible());

        const QString pdf = m_env->root() + QStringLiteral("/wydruk.pdf");
        QVERIFY(isA4(pdf));
        QVERIFY(run(QStringLiteral("pdfinfo"), {pdf})
                    .contains(QRegularExpression(QStringLiteral("Title: +Kowalski Jan - Zawiadomienie\n"))));
        const QPointF at = wordPosition(pdf);
        QVERIFY2((at - expectedWordAt()).manhattanLength() < 2.0,
                 qPrintable(QStringLiteral("at %1, %2").arg(at.x()).arg(at.y())));
    }

    void cancellingPrintsNothing()
    {
        choosePrinter(TFDrukuj::pdfChoice());
        click(QStringLiteral("DrukujButton")); // the file dialog is cancelled
        QVERIFY(m_dialog->isVisible());
        click(QStringLiteral("AnulujButton"));
        QVERIFY(!m_dialog->isVisible());
        QCOMPARE(QDir(m_env->root()).entryList({QStringLiteral("*.pdf")}), QStringList());
    }

    // Cut fields are named before any paper is used; "Anuluj" leaves everything as it was.
    void cutFieldsAreNamedFirst_data()
    {
        QTest::addColumn<bool>("printAnyway");
        QTest::newRow("print anyway") << true;
        QTest::newRow("cancel") << false;
    }
    void cutFieldsAreNamedFirst()
    {
        QFETCH(bool, printAnyway);
        m_dialog->setClippedFields({QStringLiteral("PESEL: „0530121234567890…”")});
        choosePrinter(TFDrukuj::pdfChoice());
        m_prompts->choices << (printAnyway ? 0 : 1);
        m_prompts->files << m_env->root() + QStringLiteral("/wydruk.pdf");
        click(QStringLiteral("DrukujButton"));
        const ShownBox& warning = m_prompts->shown.constFirst();
        QCOMPARE(warning.text,
                 QStringLiteral("Niektóre pola nie mieszczą się w wyznaczonym miejscu i zostaną "
                                "obcięte:\nPESEL: „0530121234567890…”"));
        QCOMPARE(warning.choices, QStringList({QStringLiteral("Drukuj mimo to"), QStringLiteral("Anuluj")}));
        QCOMPARE(warning.defaultChoice, 1); // Enter uses no paper
        QCOMPARE(warning.icon, Prompts::Icon::Warning);
        QCOMPARE(m_prompts->shown.size(), printAnyway ? 2 : 1); // then the file name, or nothing
        QCOMPARE(QFile::exists(m_env->root() + QStringLiteral("/wydruk.pdf")), printAnyway);
        QCOMPARE(m_dialog->isVisible(), !printAnyway);
    }

    // The page is drawn again for the profile chosen when "Drukuj" is pressed, and the
    // cut fields named are those of that drawing.
    void pageIsFittedForTheChosenProfile_data()
    {
        QTest::addColumn<QString>("profile");
        QTest::addColumn<int>("wider"); // clicks on "wider"
        QTest::addColumn<QList<int>>("edges");
        QTest::newRow("Domyślne") << QStringLiteral("Domyślne") << 0 << QList<int>{10, 7, 200, 289};
        QTest::newRow("Wąskie marginesy")
            << QStringLiteral("Wąskie marginesy") << 0 << QList<int>{8, 5, 202, 293};
        QTest::newRow("widened by hand") << QStringLiteral("Domyślne") << 3 << QList<int>{7, 7, 203, 289};
    }
    void pageIsFittedForTheChosenProfile()
    {
        QFETCH(QString, profile);
        QFETCH(int, wider);
        QFETCH(QList<int>, edges);
        // The page is 885 x 1314 units at 96 to the inch; its text shrinks as the more
        // reduced of its two directions.
        const qreal scale =
            qMin((edges[2] - edges[0]) / (885 * 25.4 / 96), (edges[3] - edges[1]) / (1314 * 25.4 / 96));
        combo("MarginesyComboBox")->setCurrentText(profile);
        for (int i = 0; i < wider; ++i)
            click(QStringLiteral("SpeedButton9"));
        QCOMPARE(edits(1), edges);
        m_dialog->setClippedFields({QStringLiteral("stare")});
        QList<qreal> drawnFor;
        m_dialog->setPageRedraw([&drawnFor](qreal paperScale, QPicture&, QStringList& clipped) {
            drawnFor << paperScale;
            clipped = {QStringLiteral("Powód przekazania: „zmiana miejsca zamieszkania…”")};
        });
        choosePrinter(TFDrukuj::pdfChoice());
        m_prompts->choices << 1;
        click(QStringLiteral("DrukujButton"));
        QCOMPARE(drawnFor.size(), 1);
        QVERIFY2(qAbs(drawnFor.first() - scale) < 1e-9, qPrintable(QString::number(drawnFor.first())));
        QCOMPARE(m_prompts->texts(),
                 QStringList(QStringLiteral("Niektóre pola nie mieszczą się w wyznaczonym miejscu i zostaną "
                                            "obcięte:\nPowód przekazania: „zmiana miejsca zamieszkania…”")));
        m_dialog->setPageRedraw(nullptr);
    }

    // A PDF that cannot be written whole is not written at all; the file it was to
    // replace stays as it was.
    void fullDiskLeavesNoBrokenPdf()
    {
        // A page that makes a PDF far larger than the event log: an image of noise.
        QImage noise(300, 300, QImage::Format_RGB32);
        QRandomGenerator::global()->fillRange(reinterpret_cast<quint32*>(noise.bits()), 300 * 300);
        QPicture page;
        QPainter(&page).drawImage(QPoint(100, 100), noise);
        m_dialog->setPage(page, 1, QStringLiteral("Kowalski Jan - Zawiadomienie"));
        QTemporaryDir folder;
        const QString pdf = folder.filePath(QStringLiteral("stary.pdf"));
        QVERIFY(RawFile::write(pdf, "%PDF-1.4 poprzedni wydruk"));
        choosePrinter(TFDrukuj::pdfChoice());
        m_prompts->files << pdf;
        m_prompts->answers << Prompts::Answer::Yes; // replace it
        {
            FileSizeLimit full(32 * 1024);
            click(QStringLiteral("DrukujButton"));
        }
        QCOMPARE(m_prompts->texts().last(), QStringLiteral("Błąd podczas zapisywania pliku PDF:\n") + pdf +
                                                QStringLiteral("\nPlik przekroczył dopuszczalny rozmiar."));
        QCOMPARE(lastLoggedFunction(), QStringLiteral("DrukujButtonClick()"));
        QCOMPARE(RawFile::bytes(pdf), QByteArray("%PDF-1.4 poprzedni wydruk"));
        QCOMPARE(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden),
                 QStringList(QStringLiteral("stary.pdf")));
    }

    void vanishedPrinter()
    {
        // Listed when the dialog opened, gone (or the server stopped) when it is chosen.
        combo("DrukarkiComboBox")->insertItem(0, QStringLiteral("Wycofana"));
        choosePrinter(QStringLiteral("Wycofana"));
        QVERIFY(!combo("DuplexComboBox")->isEnabled());
        QCOMPARE(m_prompts->texts().size(), 1);
        QVERIFY(m_prompts->texts().last().startsWith(
            QStringLiteral("Błąd otwarcia ustawień drukarki.\nOpenPrinter() error code: ")));
        MessageBuffer scratch;
        QList<LogEntry> logs;
        QVERIFY(bFunSqlGetLogsData(scratch, logs));
        QCOMPARE(logs.last().fun, QStringLiteral("vFunUstawDrukarke()"));
        click(QStringLiteral("DrukujButton"));
        QCOMPARE(m_prompts->texts().last(), QStringLiteral("Drukarka „Wycofana” jest niedostępna."));
        QCOMPARE(lastLoggedFunction(), QStringLiteral("DrukujButtonClick()"));
    }

    void helpOpensTheManual()
    {
        RecordingDesktop desktop;
        click(QStringLiteral("PomocButton"));
        QCOMPARE(desktop.opened,
                 QList<QUrl>{QUrl::fromLocalFile(m_env->programDir() + QStringLiteral("/Zoravavivo.html"))});
    }

    // The queues that build.sh sets up on the cups-pdf backend, one without and one with
    // a duplexer.
    void printThroughCups_data()
    {
        QTest::addColumn<QString>("queue");
        QTest::addColumn<bool>("duplex");
        QTest::addColumn<int>("copies");   // chosen in the set-up dialog; 1: not opened
        QTest::addColumn<int>("students"); // 0: one document, else a batch of that many pages
        QTest::newRow("no duplex") << "MelvokPDF" << false << 1 << 0;
        QTest::newRow("duplex") << "MelvokDuplex" << true << 1 << 0;
        QTest::newRow("two copies set up") << "MelvokPDF" << false << 2 << 0;
        // Each student on a sheet of its own: the first one's back stays empty.
        QTest::newRow("two students, duplex") << "MelvokDuplex" << true << 1 << 2;
    }
    void printThroughCups()
    {
        QFETCH(QString, queue);
        QFETCH(bool, duplex);
        QFETCH(int, copies);
        QFETCH(int, students);
        if (!CupsPrinters::printers().contains(queue))
            QSKIP(qPrintable(QStringLiteral("CUPS queue %1 not reachable (./build.sh test sets it up): "
                                            "printing through CUPS not tested")
                                 .arg(queue)));
        const QString title =
            QStringLiteral("melvok-%1-%2").arg(queue).arg(QCoreApplication::applicationPid());
        if (students > 0)
            m_dialog->setBatch(
                students,
                [](int) {
                    return BatchPage{[](QPainter& painter, const QRectF& onSheet) {
                                         PageRenderer::stretch(painter, testPage(), onSheet);
                                     },
                                     {},
                                     {}};
                },
                title + QStringLiteral(".pdf"));
        else
            m_dialog->setPage(testPage(), 1, title + QStringLiteral(".pdf"));
        choosePrinter(queue);
        QCOMPARE(combo("DuplexComboBox")->isEnabled(), duplex);
        QCOMPARE(child(QStringLiteral("cbRotateSecondPage"))->isEnabled(), duplex);
        combo("DuplexComboBox")->setCurrentIndex(duplex ? 2 : 0);
        if (copies > 1) {
            // The set-up dialog sets up and prints nothing; its choices go with the job.
            QStringList texts;
            QTimer::singleShot(0, [&] {
                auto* setUp = qobject_cast<QPrintDialog*>(QApplication::activeModalWidget());
                QVERIFY(setUp);
                QDialogButtonBox* buttons = setUp->findChild<QDialogButtonBox*>();
                texts << buttons->button(QDialogButtonBox::Ok)->text()
                      << setUp->findChild<QRadioButton*>(QStringLiteral("pagesRadioButton"))->text();
                setUp->findChild<QSpinBox*>(QStringLiteral("copies"))->setValue(copies);
                buttons->button(QDialogButtonBox::Ok)->click();
            });
            click(QStringLiteral("BitBtn1"));
            QCOMPARE(texts, QStringList({QStringLiteral("OK"), QStringLiteral("Strony")}));
            QCOMPARE(combo("DrukarkiComboBox")->currentText(), queue);
        }
        click(QStringLiteral("DrukujButton"));
        QCOMPARE(m_prompts->texts(), QStringList());
        if (duplex) {
            QFile options(m_cupsOptions.filePath(QStringLiteral(".cups/lpoptions")));
            if (!options.exists())
                options.setFileName(m_cupsOptions.filePath(QStringLiteral("lpoptions")));
            QVERIFY(options.open(QIODevice::ReadOnly));
            QVERIFY(QString::fromUtf8(options.readAll())
                        .contains(QRegularExpression(QStringLiteral("Dest ") + queue +
                                                     QStringLiteral(" .*sides=two-sided-short-edge"))));
        }
        QString pdf;
        QTRY_VERIFY_WITH_TIMEOUT(!(pdf = cupsPdfJob(title)).isEmpty(), 90000);
        QTRY_VERIFY_WITH_TIMEOUT(isA4(pdf), 30000);
        QVERIFY(run(QStringLiteral("pdfinfo"), {pdf})
                    .contains(QRegularExpression(
                        QStringLiteral("Pages: +%1\n").arg(students > 0 ? 2 * students - 1 : copies))));
        // The spooler's PDF keeps no text: the word's ink is where the dialog put it,
        // whatever border the queue's driver keeps.
        const QPoint at = expectedWordAt().toPoint();
        QVERIFY(inkIn(pdf, QRect(at, QSize(60, 10))) > 20);
        QCOMPARE(inkIn(pdf, QRect(at - QPoint(0, 30), QSize(60, 14))), 0);
        QFile::remove(pdf);
    }
};

QTEST_MAIN(TestPrintDialog)
#include "tst_print_dialog.moc"

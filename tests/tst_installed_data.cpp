// What the installation ships: the calibration of both documents, the preview
// background and the two marks, and their way into the user's data folder.
#include "documents/IssuedDocuments.h"
#include "documents/TFDaneUcznia.h"
#include "documents/TFPotwierdzeniePrzyjUcznia.h"
#include "documents/TFZawiadomieniePrzek.h"
#include "printing/EmfMark.h"
#include "tests/support/TestEnvironment.h"

#include <QFile>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

#include <memory>

namespace {

const QString Installed = QStringLiteral(MELVOK_PROGRAM_DIR);
const QString Calibration = Installed + QStringLiteral("/dokumenty_kalibracja.sqset");
const QStringList Marks = {QStringLiteral("GRAFIKA: ORZELEK"), QStringLiteral("GRAFIKA: PIECZATKA")};
constexpr int PageWidth = 885;
constexpr int PageHeight = 1314;

struct Row {
    QString name;
    QRect box;
    QFont font;
    int size; // points
};

QList<Row> calibration(const QString& table)
{
    QList<Row> rows;
    const auto raw =
        RawSql::rows(Calibration, "select `name`, `x1`, `y1`, `x2`, `y2`, `font_name`, `font_size`, "
                                  "`font_style_bold`, `font_style_italic` from `" +
                                      table.toLatin1() + "`");
    for (const auto& r : raw) {
        QFont font(QString::fromLatin1(r.at(5)));
        font.setPixelSize(qRound(r.at(6).toInt() * 96 / 72.0));
        font.setBold(r.at(7).toInt() != 0);
        font.setItalic(r.at(8).toInt() != 0);
        rows << Row{QString::fromLatin1(r.at(0)),
                    QRect(QPoint(r.at(1).toInt(), r.at(2).toInt()), QPoint(r.at(3).toInt(), r.at(4).toInt())),
                    font, r.at(6).toInt()};
    }
    return rows;
}

bool isPrintedText(const QString& name)
{
    return name.contains(QLatin1String("_STR1_DATA_LABEL")) ||
           name.contains(QLatin1String("_STR1_DATA_EDIT")) ||
           name.contains(QLatin1String("_STR1_DATA_COMBOBOX"));
}

// Where a text really lands: from the top the font's height and a quarter of its size
// above the bottom edge, down to the bottom edge.
QRect drawnBox(const Row& row)
{
    const QFontMetrics metrics(row.font);
    return QRect(
        QPoint(row.box.left(), row.box.bottom() - metrics.ascent() - metrics.descent() - row.size / 4),
        row.box.bottomRight());
}

// The picture painted into a white image; the box of the image that is not white.
QRect inkedArea(const QImage& image)
{
    QRect area;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qGray(image.pixel(x, y)) < 200)
                area |= QRect(x, y, 1, 1);
    return area;
}

} // namespace

class TestInstalledData : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void documents_data();
    void rowsMatchTheFormComponents_data() { documents_data(); }
    void rowsMatchTheFormComponents();
    void printedPageKeepsTextsApart_data() { documents_data(); }
    void printedPageKeepsTextsApart();
    void backgroundCarriesTheMarksOfBothDocuments();
    void marksAreVectorPictures_data();
    void marksAreVectorPictures();
    void damagedMarkIsRefused_data();
    void damagedMarkIsRefused();
    void startUpCheckInstallsTheDocumentFiles();

private:
    std::unique_ptr<TFDaneUcznia> m_student;
    std::unique_ptr<DocumentForm> m_transfer;
    std::unique_ptr<DocumentForm> m_admission;
};

void TestInstalledData::initTestCase()
{
    m_student = std::make_unique<TFDaneUcznia>();
    m_transfer = std::make_unique<TFZawiadomieniePrzek>(m_student.get());
    m_admission = std::make_unique<TFPotwierdzeniePrzyjUcznia>(m_student.get());
    m_transfer->FillSampleValues();
    m_admission->FillSampleValues();
}

void TestInstalledData::documents_data()
{
    QTest::addColumn<QString>("table");
    QTest::addColumn<DocumentForm*>("form");
    QTest::newRow("transfer notice") << "zawiadomienie_o_przekazaniu" << m_transfer.get();
    QTest::newRow("admission confirmation") << "potwierdzenie_przyjecia_ucznia" << m_admission.get();
}

void TestInstalledData::rowsMatchTheFormComponents()
{
    QFETCH(QString, table);
    QFETCH(DocumentForm*, form);
    const QList<QByteArray> columns =
        RawSql::column(Calibration, "select `name` from pragma_table_info('" + table.toLatin1() + "')");
    QCOMPARE(columns, (QList<QByteArray>{"name", "x1", "y1", "x2", "y2", "font_name", "font_size",
                                         "font_align", "font_style_bold", "font_style_italic",
                                         "font_style_underline", "font_style_strike"}));
    QStringList names;
    for (const Row& row : calibration(table)) {
        names << row.name;
        if (Marks.contains(row.name) || row.name.contains(QLatin1String("_STR1_LINIA_Z_KROPEK")))
            continue;
        // The number of the issue and the reprint's mark come with the print, not from the form.
        if (row.name == Issued::NumberField || row.name == Issued::DuplicateField)
            continue;
        QVERIFY2(isPrintedText(row.name) && form->component(row.name), qPrintable(row.name));
    }
    for (const QString& mark : Marks)
        QVERIFY2(names.contains(mark), qPrintable(mark));
    for (const QWidget* component : form->components())
        if (isPrintedText(component->objectName()))
            QVERIFY2(names.contains(component->objectName()), qPrintable(component->objectName()));
}

void TestInstalledData::printedPageKeepsTextsApart()
{
    QFETCH(QString, table);
    QFETCH(DocumentForm*, form);
    const QRect page(0, 0, PageWidth, PageHeight);
    QList<std::pair<QString, QRect>> drawn;
    for (const Row& row : calibration(table)) {
        QVERIFY2(row.box.isValid() && page.contains(row.box), qPrintable(row.name));
        if (Marks.contains(row.name)) {
            drawn.append({row.name, row.box});
        } else if (isPrintedText(row.name)) {
            // The caption, or the sample value of a field, fits its box.
            const int width = QFontMetrics(row.font).horizontalAdvance(form->componentText(row.name));
            QVERIFY2(width <= row.box.width(),
                     qPrintable(row.name + QStringLiteral(" is %1 wide").arg(width)));
            QVERIFY2(page.contains(drawnBox(row)), qPrintable(row.name));
            drawn.append({row.name, drawnBox(row)});
        }
    }
    for (qsizetype i = 0; i < drawn.size(); ++i)
        for (qsizetype k = i + 1; k < drawn.size(); ++k)
            QVERIFY2(!drawn[i].second.intersects(drawn[k].second),
                     qPrintable(drawn[i].first + QStringLiteral(" overlaps ") + drawn[k].first));
}

void TestInstalledData::backgroundCarriesTheMarksOfBothDocuments()
{
    const QImage background(Installed + QStringLiteral("/grafika/a4_prw.bmp"));
    QVERIFY(background.width() >= 958 && background.height() >= 1389);
    // The page is stretched into (74, 74)-(957, 1388); the sheet itself is white.
    const QRect sheet(74, 74, 883, 1314);
    QCOMPARE(background.pixelColor(sheet.left() + 2, sheet.bottom() - 2), QColor(Qt::white));
    QVERIFY(background.pixelColor(10, 10) != QColor(Qt::white));
    const auto toImage = [&](const QRect& box) {
        return QRect(sheet.left() + box.left() * sheet.width() / PageWidth, sheet.top() + box.top(),
                     box.width() * sheet.width() / PageWidth, box.height());
    };
    const QList<Row> transfer = calibration(QStringLiteral("zawiadomienie_o_przekazaniu"));
    const QList<Row> admission = calibration(QStringLiteral("potwierdzenie_przyjecia_ucznia"));
    for (const QString& mark : Marks) {
        const auto box = [&](const QList<Row>& rows) {
            return std::find_if(rows.begin(), rows.end(), [&](const Row& r) { return r.name == mark; })->box;
        };
        // One background serves both documents, so the marks stand at one place in both.
        QCOMPARE(box(admission), box(transfer));
        const QRect inked = inkedArea(background.copy(toImage(box(transfer)).adjusted(-8, -8, 8, 8)));
        QVERIFY2(inked.width() > box(transfer).width() / 2 && inked.height() > box(transfer).height() / 2,
                 qPrintable(mark));
    }
}

void TestInstalledData::marksAreVectorPictures_data()
{
    QTest::addColumn<QString>("file");
    QTest::newRow("emblem") << "orzel.emf";
    QTest::newRow("stamp place") << "m_p.emf";
}

void TestInstalledData::marksAreVectorPictures()
{
    QFETCH(QString, file);
    QByteArray svg;
    QString error;
    QVERIFY2(bFunLoadEmfMark(Installed + QStringLiteral("/grafika/") + file, svg, error), qPrintable(error));
    QVERIFY(QSvgRenderer(svg).isValid());
    QVERIFY(svg.contains("<path"));
    // Stretched into its box, the mark fills most of it and leaves the rest of the page alone.
    QImage page(300, 300, QImage::Format_RGB32);
    page.fill(Qt::white);
    const QRect box(100, 60, 120, 180);
    QPainter painter(&page);
    vFunPaintEmfMark(painter, svg, box);
    painter.end();
    const QRect inked = inkedArea(page);
    QVERIFY2(box.adjusted(-2, -2, 2, 2).contains(inked), qPrintable(QStringLiteral("%1,%2 %3x%4")
                                                                        .arg(inked.x())
                                                                        .arg(inked.y())
                                                                        .arg(inked.width())
                                                                        .arg(inked.height())));
    QVERIFY(inked.width() > box.width() * 3 / 4 && inked.height() > box.height() * 3 / 4);
}

void TestInstalledData::damagedMarkIsRefused_data()
{
    QFile emblem(Installed + QStringLiteral("/grafika/orzel.emf"));
    QVERIFY(emblem.open(QIODevice::ReadOnly));
    const QByteArray good = emblem.readAll();
    QByteArray wrongSignature = good;
    wrongSignature[40] = 'X';
    QByteArray recordPastTheEnd = good;
    qToLittleEndian<quint32>(0x7ffffff0, recordPastTheEnd.data() + good.size() - 16);
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("special"); // what lies at the path instead of written bytes
    QTest::newRow("missing") << QByteArray() << QString();
    QTest::newRow("empty") << QByteArray("") << QString();
    QTest::newRow("cut after the header") << good.left(200) << QString();
    QTest::newRow("cut before the end record") << good.left(good.size() - 20) << QString();
    QTest::newRow("garbage") << QByteArray(4096, '\x5a') << QString();
    QTest::newRow("not an enhanced metafile") << wrongSignature << QString();
    QTest::newRow("record running past the end") << recordPastTheEnd << QString();
    QTest::newRow("link to an endless device") << QByteArray() << QStringLiteral("/dev/zero");
    QTest::newRow("a gigabyte") << QByteArray() << QStringLiteral("huge");
}

void TestInstalledData::damagedMarkIsRefused()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, special);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("orzel.emf"));
    if (!bytes.isNull()) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
    }
    if (special == QLatin1String("huge")) {
        QFile file(path); // sparse: nothing is written
        QVERIFY(file.open(QIODevice::WriteOnly) && file.resize(qint64(1) << 30));
    } else if (!special.isEmpty()) {
        QVERIFY(QFile::link(special, path));
    }
    QByteArray svg = "left over";
    QString error;
    QVERIFY(!bFunLoadEmfMark(path, svg, error));
    QVERIFY(svg.isEmpty());
    QVERIFY2(error.contains(path), qPrintable(error));
}

void TestInstalledData::startUpCheckInstallsTheDocumentFiles()
{
    TestEnvironment env;
    QVERIFY2(env.installDataFolder(), qPrintable(env.buf.text()));
    for (const char* name :
         {"dokumenty_kalibracja.sqset", "grafika/a4_prw.bmp", "grafika/orzel.emf", "grafika/m_p.emf"}) {
        QFile installed(Installed + QLatin1Char('/') + QLatin1String(name));
        QFile copy(env.dataFile(QLatin1String(name)));
        QVERIFY2(installed.open(QIODevice::ReadOnly) && copy.open(QIODevice::ReadOnly), name);
        QVERIFY2(copy.readAll() == installed.readAll(), name);
    }
}

QTEST_MAIN(TestInstalledData)
#include "tst_installed_data.moc"

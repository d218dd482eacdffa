// The transfer notice and admission confirmation forms, and the name-driven binding
// they share with the student form.
#include "documents/FormBinding.h"
#include "documents/StudentSaver.h"
#include "documents/TFDaneUcznia.h"
#include "documents/TFPotwierdzeniePrzyjUcznia.h"
#include "documents/TFZawiadomieniePrzek.h"
#include "tests/support/ScriptedPrompts.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QTabWidget>
#include <QtTest>

#include <memory>

namespace {

class CountingSaver : public StudentSaver
{
public:
    bool bFunSaveStudent(const QString& previousTableName) override
    {
        previous << previousTableName;
        return result;
    }
    bool bFunSaveDocument() override
    {
        ++documentSaves;
        return result;
    }
    bool result = true;
    QStringList previous;
    int documentSaves = 0;
};

enum class Doc { Transfer, Admission };

struct Sample {
    QString name;
    QString value;
};

// Component order and sample values of each document, as stored and as shown by the
// calibration editor.
const QList<Sample> TransferFields = {
    {"ZMIENNA_Miejscowosc_STR1_DATA_EDIT", "miejscowość"},
    {"ZMIENNA_Ucz_STR1_DATA_EDIT", "szkoła XYZ"},
    {"ZMIENNA_Zamieszkaly_STR1_DATA_EDIT", "miejsce zamieszkania"},
    {"ZMIENNA_ImieNazwisko_STR1_DATA_EDIT", "imię i nazwisko"},
    {"ZMIENNA_Urodz_STR1_DATA_EDIT", "urodz"},
    {"ZMIENNA_MiejscowoscDnia_STR1_DATA_EDIT", "1 stycznia"},
    {"ZMIENNA_MiejscowoscRok_STR1_DATA_EDIT", "2015"},
    {"ZMIENNA_PrzekazujeDzien_STR1_DATA_EDIT", "1 stycznia"},
    {"ZMIENNA_PESEL_STR1_DATA_EDIT", "123456789"},
    {"ZMIENNA_PrzekazujeRok_STR1_DATA_EDIT", "2015"},
    {"ZMIENNA_UrodzDnia_STR1_DATA_EDIT", "1 stycznia"},
    {"ZMIENNA_UrodzRok_STR1_DATA_EDIT", "1980"},
    {"ZMIENNA_UczenBylPrzyjety_STR1_DATA_EDIT", "przyjęty"},
    {"ZMIENNA_PowodPrzekazania_STR1_DATA_EDIT", "przekazano"},
};
const QList<Sample> AdmissionFields = {
    {"ZMIENNA_Miejscowosc_STR1_DATA_EDIT", "miejscowość"},
    {"ZMIENNA_Ucz_STR1_DATA_EDIT", "ucz"},
    {"ZMIENNA_ImieNazwisko_STR1_DATA_EDIT", "imię i nazwisko"},
    {"ZMIENNA_MiejscowoscDnia_STR1_DATA_EDIT", "1 stycznia"},
    {"ZMIENNA_MiejscowoscRok_STR1_DATA_EDIT", "2015"},
    {"ZMIENNA_PotwierdzamPrzyjecie_STR1_DATA_EDIT", "1 stycznia"},
    {"ZMIENNA_PESEL_STR1_DATA_EDIT", "123456789"},
    {"ZMIENNA_PotwierdzamPrzyjecieRok_STR1_DATA_EDIT", "2015"},
    {"ZMIENNA_UrodzDnia_STR1_DATA_EDIT", "1 stycznia"},
    {"ZMIENNA_UrodzRok_STR1_DATA_EDIT", "1980"},
    {"ZMIENNA_Klasy_STR1_DATA_EDIT", "klasa"},
};

const QStringList CopiedFields = {"ZMIENNA_ImieNazwisko_STR1_DATA_EDIT", "ZMIENNA_UrodzDnia_STR1_DATA_EDIT",
                                  "ZMIENNA_UrodzRok_STR1_DATA_EDIT", "ZMIENNA_PESEL_STR1_DATA_EDIT"};

} // namespace

Q_DECLARE_METATYPE(Doc)

class TestDocumentForms : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<ScriptedPrompts> m_prompts;
    std::unique_ptr<TFDaneUcznia> m_student;
    std::unique_ptr<TFZawiadomieniePrzek> m_transfer;
    std::unique_ptr<TFPotwierdzeniePrzyjUcznia> m_admission;

    DocumentForm* form(Doc doc) const
    {
        return doc == Doc::Transfer ? static_cast<DocumentForm*>(m_transfer.get()) : m_admission.get();
    }
    static const QList<Sample>& fields(Doc doc)
    {
        return doc == Doc::Transfer ? TransferFields : AdmissionFields;
    }
    static QLineEdit* edit(DocumentForm* f, const QString& name)
    {
        auto* found = f->findChild<QLineEdit*>(name);
        if (!found)
            qFatal("no edit %s", qPrintable(name));
        return found;
    }
    static void addDocs()
    {
        QTest::addColumn<Doc>("doc");
        QTest::newRow("transfer notice") << Doc::Transfer;
        QTest::newRow("admission confirmation") << Doc::Admission;
    }
    void loadStudent(const QString& firstName, const QString& surname, const QString& day,
                     const QString& year, const QString& pesel)
    {
        const QString id = TFDaneUcznia::SectionId;
        m_student->FillFields({{id, "Imie_DATA_EDIT", firstName},
                               {id, "Nazwisko_DATA_EDIT", surname},
                               {id, "UrodzonyDnia_DATA_EDIT", day},
                               {id, "UrodzonyRok_DATA_COMBOBOX", year},
                               {id, "NrPesel_DATA_EDIT", pesel}});
    }

private Q_SLOTS:
    void init();
    void cleanup();

    void captionsAndFrame_data();
    void captionsAndFrame();
    void collectYieldsRowsInComponentOrder_data();
    void collectYieldsRowsInComponentOrder();
    void clearEmptiesVariableFieldsOnly_data();
    void clearEmptiesVariableFieldsOnly();
    void fillCopiesStudentValuesOverStoredRows_data();
    void fillCopiesStudentValuesOverStoredRows();
    void fillAfterNewStudentShowsOnlyCopiedValues();
    void yearFieldsTypingLimit_data();
    void yearFieldsTypingLimit();
    void copiedFieldsAreReadOnly_data();
    void copiedFieldsAreReadOnly();
    void okSavesAndClosesOnlyOnSuccess_data();
    void okSavesAndClosesOnlyOnSuccess();
    void cancelStoresNothing();
    void showingFitsScreenHeight();
    void pageLabels_data();
    void pageLabels();
    void everyEditHasAccessibleName_data();
    void everyEditHasAccessibleName();
    void tabOrder_data();
    void tabOrder();
    void tabKeyWalksEveryField_data();
    void tabKeyWalksEveryField();

    void bindingTokens();
    void bindingComponentValues();
};

void TestDocumentForms::init()
{
    m_prompts = std::make_unique<ScriptedPrompts>();
    m_student = std::make_unique<TFDaneUcznia>();
    m_transfer = std::make_unique<TFZawiadomieniePrzek>(m_student.get());
    m_admission = std::make_unique<TFPotwierdzeniePrzyjUcznia>(m_student.get());
}

void TestDocumentForms::cleanup()
{
    m_transfer.reset();
    m_admission.reset();
    m_student.reset();
    m_prompts.reset();
}

void TestDocumentForms::captionsAndFrame_data()
{
    QTest::addColumn<Doc>("doc");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("section");
    QTest::newRow("transfer notice") << Doc::Transfer << "Zawiadomienie o przekazaniu ucznia"
                                     << "ZAWIADOMIENIE_O_PRZEKAZANIU";
    QTest::newRow("admission confirmation") << Doc::Admission << "Potwierdzenie przyjęcia ucznia"
                                            << "POTWIERDZENIE_PRZYJECIA_UCZNIA";
}

void TestDocumentForms::captionsAndFrame()
{
    QFETCH(Doc, doc);
    QFETCH(QString, caption);
    QFETCH(QString, section);
    DocumentForm* f = form(doc);

    QCOMPARE(f->windowTitle(), caption);
    QCOMPARE(f->sectionId(), section);
    QCOMPARE(f->size(), QSize(745, 727));
    const auto tabs = f->findChildren<QTabWidget*>();
    QCOMPARE(tabs.size(), 1);
    QCOMPARE(tabs.first()->count(), 1);
    QCOMPARE(tabs.first()->tabText(0), QStringLiteral("Strona 1"));
    QVERIFY(qobject_cast<QScrollArea*>(tabs.first()->widget(0)));

    auto* ok = f->findChild<QPushButton*>("OKButton");
    auto* cancel = f->findChild<QPushButton*>("CancelButton");
    QVERIFY(ok && cancel);
    QCOMPARE(ok->text(), QStringLiteral("OK"));
    QCOMPARE(cancel->text(), QStringLiteral("Anuluj"));
    QCOMPARE(ok->parentWidget(), cancel->parentWidget());
    QCOMPARE(ok->parentWidget()->height(), 41);
}

void TestDocumentForms::collectYieldsRowsInComponentOrder_data()
{
    addDocs();
}

void TestDocumentForms::collectYieldsRowsInComponentOrder()
{
    QFETCH(Doc, doc);
    DocumentForm* f = form(doc);

    f->FillSampleValues();
    FieldRowList rows;
    f->CollectFields(rows);

    const QList<Sample>& expected = fields(doc);
    QCOMPARE(rows.size(), doc == Doc::Transfer ? 14 : 11);
    QCOMPARE(rows.size(), expected.size());
    for (qsizetype i = 0; i < rows.size(); ++i) {
        QCOMPARE(rows.at(i).id, f->sectionId());
        QCOMPARE(rows.at(i).compName, expected.at(i).name);
        QCOMPARE(rows.at(i).value, expected.at(i).value);
    }

    // The three forms together make the 34 rows of a student.
    FieldRowList all;
    m_student->CollectFields(all);
    m_transfer->CollectFields(all);
    m_admission->CollectFields(all);
    QCOMPARE(all.size(), 34);
}

void TestDocumentForms::clearEmptiesVariableFieldsOnly_data()
{
    addDocs();
}

void TestDocumentForms::clearEmptiesVariableFieldsOnly()
{
    QFETCH(Doc, doc);
    DocumentForm* f = form(doc);
    QMap<QString, QString> captions;
    for (QLabel* label : f->findChildren<QLabel*>())
        captions.insert(label->objectName(), label->text());

    f->FillSampleValues();
    f->ClearFields();

    FieldRowList rows;
    f->CollectFields(rows);
    for (const FieldRow& row : rows)
        QVERIFY2(row.value.isEmpty(), qPrintable(row.compName));
    for (QLabel* label : f->findChildren<QLabel*>())
        QCOMPARE(label->text(), captions.value(label->objectName()));
}

void TestDocumentForms::fillCopiesStudentValuesOverStoredRows_data()
{
    addDocs();
}

void TestDocumentForms::fillCopiesStudentValuesOverStoredRows()
{
    QFETCH(Doc, doc);
    DocumentForm* f = form(doc);
    const QString longPesel(30, QLatin1Char('8'));
    loadStudent("Anna", "Nowak", "5 maja", "2001 r.", longPesel);

    const QString section = f->sectionId();
    const QString other =
        doc == Doc::Transfer ? TFPotwierdzeniePrzyjUcznia::SectionId : TFZawiadomieniePrzek::SectionId;
    f->FillSampleValues(); // the previous contents must not survive
    f->FillFields({
        {section, "ZMIENNA_ImieNazwisko_STR1_DATA_EDIT", "Stara Nazwa"},
        {section, "ZMIENNA_PESEL_STR1_DATA_EDIT", "999"},
        {section, "ZMIENNA_UrodzRok_STR1_DATA_EDIT", "1900"},
        {section, "ZMIENNA_Miejscowosc_STR1_DATA_EDIT", "Kraków"},
        {section, "ZMIENNA_MiejscowoscRok_STR1_DATA_EDIT", "2016 r. szkolnego"},
        {other, "ZMIENNA_Ucz_STR1_DATA_EDIT", "z innego dokumentu"},
        {section, "ZMIENNA_Nieznane_STR1_DATA_EDIT", "pominięte"},
        {section, "STALY_PESEL_STR1_DATA_LABEL", "nie dla etykiet"},
    });

    QCOMPARE(f->componentText("ZMIENNA_ImieNazwisko_STR1_DATA_EDIT"), QStringLiteral("Nowak Anna"));
    QCOMPARE(f->componentText("ZMIENNA_UrodzDnia_STR1_DATA_EDIT"), QStringLiteral("5 maja"));
    QCOMPARE(f->componentText("ZMIENNA_UrodzRok_STR1_DATA_EDIT"), QStringLiteral("2001 r."));
    QCOMPARE(f->componentText("ZMIENNA_PESEL_STR1_DATA_EDIT"), longPesel);
    QCOMPARE(f->componentText("ZMIENNA_Miejscowosc_STR1_DATA_EDIT"), QStringLiteral("Kraków"));
    // Loaded text is not cut to the four characters the user can type.
    QCOMPARE(f->componentText("ZMIENNA_MiejscowoscRok_STR1_DATA_EDIT"), QStringLiteral("2016 r. szkolnego"));
    QCOMPARE(f->componentText("ZMIENNA_Ucz_STR1_DATA_EDIT"), QString());
    QCOMPARE(f->componentText("ZMIENNA_MiejscowoscDnia_STR1_DATA_EDIT"), QString());
    QCOMPARE(f->componentText("STALY_PESEL_STR1_DATA_LABEL"), QStringLiteral("PESEL"));
}

void TestDocumentForms::fillAfterNewStudentShowsOnlyCopiedValues()
{
    loadStudent("Jan", "Kowalski", "1 marca", "1999 r.", "99030112345");
    m_student->ClearFields();
    m_transfer->FillSampleValues();
    m_transfer->FillFields({});
    FieldRowList rows;
    m_transfer->CollectFields(rows);
    for (const FieldRow& row : rows) {
        if (row.compName == "ZMIENNA_ImieNazwisko_STR1_DATA_EDIT")
            QCOMPARE(row.value, QStringLiteral(" ")); // surname, blank, first name: both empty
        else
            QVERIFY2(row.value.isEmpty(), qPrintable(row.compName));
    }
}

void TestDocumentForms::yearFieldsTypingLimit_data()
{
    QTest::addColumn<Doc>("doc");
    QTest::addColumn<QString>("name");
    QTest::newRow("transfer: year of issue") << Doc::Transfer << "ZMIENNA_MiejscowoscRok_STR1_DATA_EDIT";
    QTest::newRow("transfer: year of transfer") << Doc::Transfer << "ZMIENNA_PrzekazujeRok_STR1_DATA_EDIT";
    QTest::newRow("admission: year of issue") << Doc::Admission << "ZMIENNA_MiejscowoscRok_STR1_DATA_EDIT";
    QTest::newRow("admission: year of admission")
        << Doc::Admission << "ZMIENNA_PotwierdzamPrzyjecieRok_STR1_DATA_EDIT";
}

void TestDocumentForms::yearFieldsTypingLimit()
{
    QFETCH(Doc, doc);
    QFETCH(QString, name);
    DocumentForm* f = form(doc);
    QLineEdit* year = edit(f, name);

    QTest::keyClicks(year, QStringLiteral("20155"));
    QCOMPARE(year->text(), QStringLiteral("2015"));

    f->FillFields({{f->sectionId(), name, QStringLiteral("2015/2016")}});
    QCOMPARE(year->text(), QStringLiteral("2015/2016"));
    year->end(false);
    QTest::keyClicks(year, QStringLiteral("7"));
    QCOMPARE(year->text(), QStringLiteral("2015/2016"));

    // Deleting brings the limit back down to four characters.
    year->selectAll();
    QTest::keyClick(year, Qt::Key_Delete);
    QTest::keyClicks(year, QStringLiteral("199912"));
    QCOMPARE(year->text(), QStringLiteral("1999"));
}

void TestDocumentForms::copiedFieldsAreReadOnly_data()
{
    addDocs();
}

void TestDocumentForms::copiedFieldsAreReadOnly()
{
    QFETCH(Doc, doc);
    DocumentForm* f = form(doc);
    for (const Sample& field : fields(doc)) {
        QLineEdit* e = edit(f, field.name);
        const bool copied = CopiedFields.contains(field.name);
        QVERIFY2(e->isReadOnly() == copied, qPrintable(field.name));
        // Only read, yet reached by Tab like every other field.
        QVERIFY2(e->focusPolicy() & Qt::TabFocus, qPrintable(field.name));
    }
    // The sample values fill the read-only fields too.
    f->FillSampleValues();
    // Typing after a click on a copied field changes no field at all.
    f->show();
    QVERIFY(QTest::qWaitForWindowActive(f));
    QStringList before;
    for (const Sample& field : fields(doc))
        before << edit(f, field.name)->text();
    for (const QString& name : CopiedFields) {
        QTest::mouseClick(edit(f, name), Qt::LeftButton);
        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("QQ"));
    }
    QStringList after;
    for (const Sample& field : fields(doc))
        after << edit(f, field.name)->text();
    QCOMPARE(after, before);
    f->hide();
    // They are read before printing: as dark as a typed text, not greyed out.
    const auto darkest = [](QWidget* w) {
        const QImage image = w->grab().toImage();
        int gray = 255;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                gray = std::min(gray, qGray(image.pixel(x, y)));
        return gray;
    };
    QCOMPARE(darkest(edit(f, "ZMIENNA_PESEL_STR1_DATA_EDIT")),
             darkest(edit(f, "ZMIENNA_Miejscowosc_STR1_DATA_EDIT")));
    QCOMPARE(f->componentText("ZMIENNA_PESEL_STR1_DATA_EDIT"), QStringLiteral("123456789"));
    QCOMPARE(f->componentText("ZMIENNA_ImieNazwisko_STR1_DATA_EDIT"), QStringLiteral("imię i nazwisko"));
}

void TestDocumentForms::okSavesAndClosesOnlyOnSuccess_data()
{
    QTest::addColumn<Doc>("doc");
    QTest::addColumn<bool>("stored");
    QTest::newRow("transfer, stored") << Doc::Transfer << true;
    QTest::newRow("transfer, failed") << Doc::Transfer << false;
    QTest::newRow("admission, stored") << Doc::Admission << true;
    QTest::newRow("admission, failed") << Doc::Admission << false;
}

void TestDocumentForms::okSavesAndClosesOnlyOnSuccess()
{
    QFETCH(Doc, doc);
    QFETCH(bool, stored);
    DocumentForm* f = form(doc);
    CountingSaver saver;
    saver.result = stored;
    f->setStudentSaver(&saver);
    f->show();
    edit(f, "ZMIENNA_Miejscowosc_STR1_DATA_EDIT")->setText(QStringLiteral("Gdańsk"));

    QTest::mouseClick(f->findChild<QPushButton*>("OKButton"), Qt::LeftButton);

    // A document is stored under its student's table, never by the student form's PESEL.
    QCOMPARE(saver.documentSaves, 1);
    QVERIFY(saver.previous.isEmpty());
    QCOMPARE(f->isVisible(), !stored);
    if (stored)
        QCOMPARE(f->result(), int(QDialog::Accepted));
    QCOMPARE(f->componentText("ZMIENNA_Miejscowosc_STR1_DATA_EDIT"), QStringLiteral("Gdańsk"));
    QVERIFY(m_prompts->shown.isEmpty());
}

void TestDocumentForms::cancelStoresNothing()
{
    CountingSaver saver;
    m_admission->setStudentSaver(&saver);
    m_admission->show();
    QTest::mouseClick(m_admission->findChild<QPushButton*>("CancelButton"), Qt::LeftButton);
    QVERIFY(!m_admission->isVisible());
    QCOMPARE(m_admission->result(), int(QDialog::Rejected));
    QCOMPARE(saver.documentSaves, 0);
}

void TestDocumentForms::showingFitsScreenHeight()
{
    m_transfer->show();
    const QRect screen = m_transfer->screen()->geometry();
    // The whole window, title bar included, is 50 pixels shorter than the screen.
    QCOMPARE(m_transfer->frameGeometry().height(), screen.height() - 50);
    QCOMPARE(m_transfer->width(), 745);
    QVERIFY((m_transfer->frameGeometry().center() - screen.center()).manhattanLength() <= 2);
}

void TestDocumentForms::pageLabels_data()
{
    QTest::addColumn<Doc>("doc");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<int>("pixelSize");
    QTest::addColumn<QPoint>("position");

    QTest::newRow("transfer: stamp") << Doc::Transfer << "STALY_PodluznaPieczatkaSzkoly_STR1_DATA_LABEL"
                                     << "Podłużna pieczątka szkoły" << 11 << QPoint(36, 25);
    QTest::newRow("transfer: title") << Doc::Transfer << "STALY_ZawiadomienieOPrzekazaniu_STR1_DATA_LABEL"
                                     << "ZAWIADOMIENIE O PRZEKAZANIU UCZNIA" << 29 << QPoint(62, 99);
    QTest::newRow("transfer: trailing blank")
        << Doc::Transfer << "STALY_UczenBylPrzyjety_STR1_DATA_LABEL"
        << "Uczeń ten był przyjęty do klasy pierwszej w roku szkolnym " << 16 << QPoint(37, 329);
    QTest::newRow("transfer: dots") << Doc::Transfer << "Label11" << QString(39, QLatin1Char('.')) << 16
                                    << QPoint(511, 523);
    QTest::newRow("admission: title")
        << Doc::Admission << "STALY_PotwierdzeniePrzyjeciaUcznia_STR1_DATA_LABEL"
        << "POTWIERDZENIE PRZYJĘCIA UCZNIA" << 29 << QPoint(102, 99);
    QTest::newRow("admission: birth") << Doc::Admission << "STALY_UrodzDnia_STR1_DATA_LABEL"
                                      << "urodz. dnia" << 16 << QPoint(37, 232);
    QTest::newRow("admission: dots") << Doc::Admission << "Label11" << QString(39, QLatin1Char('.')) << 16
                                     << QPoint(527, 355);
}

void TestDocumentForms::pageLabels()
{
    QFETCH(Doc, doc);
    QFETCH(QString, name);
    QFETCH(QString, caption);
    QFETCH(int, pixelSize);
    QFETCH(QPoint, position);
    DocumentForm* f = form(doc);

    auto* label = qobject_cast<QLabel*>(f->component(name));
    QVERIFY(label);
    QCOMPARE(label->text(), caption);
    QCOMPARE(label->font().pixelSize(), pixelSize);
    QCOMPARE(label->font().families().value(0), QStringLiteral("Liberation Serif"));
    QCOMPARE(label->pos(), position);
    QVERIFY(!FormBinding::isBound(name));

    // The director's font is matched to a 20-pixel character cell.
    auto* director = qobject_cast<QLabel*>(f->component("STALY_Dyrektor_STR1_DATA_LABEL"));
    QVERIFY(director);
    QCOMPARE(director->text(), QStringLiteral("Dyrektor"));
    QVERIFY(QFontMetrics(director->font()).height() <= 20);
    QVERIFY(director->font().pixelSize() >= 14);
}

void TestDocumentForms::everyEditHasAccessibleName_data()
{
    addDocs();
}

void TestDocumentForms::everyEditHasAccessibleName()
{
    QFETCH(Doc, doc);
    DocumentForm* f = form(doc);
    const auto edits = f->findChildren<QLineEdit*>();
    QCOMPARE(edits.size(), fields(doc).size());
    for (const QLineEdit* e : edits)
        QVERIFY2(!e->accessibleName().trimmed().isEmpty(), qPrintable(e->objectName()));
    QCOMPARE(edit(f, "ZMIENNA_PESEL_STR1_DATA_EDIT")->accessibleName(), QStringLiteral("PESEL"));
}

void TestDocumentForms::tabOrder_data()
{
    QTest::addColumn<Doc>("doc");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("transfer notice") << Doc::Transfer
                                     << QStringList{"ZMIENNA_Miejscowosc_STR1_DATA_EDIT",
                                                    "ZMIENNA_MiejscowoscDnia_STR1_DATA_EDIT",
                                                    "ZMIENNA_MiejscowoscRok_STR1_DATA_EDIT",
                                                    "ZMIENNA_PrzekazujeDzien_STR1_DATA_EDIT",
                                                    "ZMIENNA_PrzekazujeRok_STR1_DATA_EDIT",
                                                    "ZMIENNA_ImieNazwisko_STR1_DATA_EDIT",
                                                    "ZMIENNA_Zamieszkaly_STR1_DATA_EDIT",
                                                    "ZMIENNA_Urodz_STR1_DATA_EDIT",
                                                    "ZMIENNA_UrodzDnia_STR1_DATA_EDIT",
                                                    "ZMIENNA_UrodzRok_STR1_DATA_EDIT",
                                                    "ZMIENNA_PESEL_STR1_DATA_EDIT",
                                                    "ZMIENNA_Ucz_STR1_DATA_EDIT",
                                                    "ZMIENNA_UczenBylPrzyjety_STR1_DATA_EDIT",
                                                    "ZMIENNA_PowodPrzekazania_STR1_DATA_EDIT",
                                                    "OKButton",
                                                    "CancelButton"};
    QTest::newRow("admission confirmation") << Doc::Admission
                                            << QStringList{"ZMIENNA_Miejscowosc_STR1_DATA_EDIT",
                                                           "ZMIENNA_MiejscowoscDnia_STR1_DATA_EDIT",
                                                           "ZMIENNA_MiejscowoscRok_STR1_DATA_EDIT",
                                                           "ZMIENNA_PotwierdzamPrzyjecie_STR1_DATA_EDIT",
                                                           "ZMIENNA_PotwierdzamPrzyjecieRok_STR1_DATA_EDIT",
                                                           "ZMIENNA_ImieNazwisko_STR1_DATA_EDIT",
                                                           "ZMIENNA_UrodzDnia_STR1_DATA_EDIT",
                                                           "ZMIENNA_UrodzRok_STR1_DATA_EDIT",
                                                           "ZMIENNA_PESEL_STR1_DATA_EDIT",
                                                           "ZMIENNA_Ucz_STR1_DATA_EDIT",
                                                           "ZMIENNA_Klasy_STR1_DATA_EDIT",
                                                           "OKButton",
                                                           "CancelButton"};
}

void TestDocumentForms::tabOrder()
{
    QFETCH(Doc, doc);
    QFETCH(QStringList, expected);
    DocumentForm* f = form(doc);

    // The copied fields are only read, and Tab reaches them too: a screen reader reads
    // the whole document.
    const QStringList focusable = expected;

    // The focus chain, read from the first field once round, names the fields in the
    // tab order.
    QWidget* first = f->findChild<QWidget*>(expected.first());
    QStringList chain;
    QWidget* w = first;
    do {
        if (focusable.contains(w->objectName()) && !chain.contains(w->objectName()))
            chain << w->objectName();
        w = w->nextInFocusChain();
    } while (w && w != first);
    QCOMPARE(chain, focusable);

    // Tab walks them in that order.
    f->show();
    QVERIFY(QTest::qWaitForWindowActive(f));
    first->setFocus();
    QStringList visited;
    for (qsizetype i = 0; i < focusable.size(); ++i) {
        visited << QApplication::focusWidget()->objectName();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    QCOMPARE(visited, focusable);
}

void TestDocumentForms::bindingTokens()
{
    // Tokens are substring tests anywhere in the name, each tested on its own.
    QWidget parent;
    auto* prefixed = new QLineEdit(&parent);
    prefixed->setObjectName("X_DATA_EDITY");
    prefixed->setText("a");
    auto* both = new QLineEdit(&parent);
    both->setObjectName("Dziwne_DATA_EDIT_DATA_MEMO");
    both->setText("b");
    auto* label = new QLabel("c", &parent);
    label->setObjectName("STALY_X_STR1_DATA_LABEL");
    auto* plain = new QLineEdit(&parent);
    plain->setObjectName("Edit1");
    const QList<QWidget*> components{prefixed, both, label, plain};

    FieldRowList rows;
    FormBinding::collect(components, "S", rows);
    QCOMPARE(rows, (FieldRowList{{"S", "X_DATA_EDITY", "a"},
                                 {"S", "Dziwne_DATA_EDIT_DATA_MEMO", "b"},
                                 {"S", "Dziwne_DATA_EDIT_DATA_MEMO", "b"}}));

    QCOMPARE(FormBinding::find(components, "Edit1"), plain);
    QCOMPARE(FormBinding::find(components, "edit1"), nullptr);
}

void TestDocumentForms::bindingComponentValues()
{
    QWidget parent;
    auto* memo = new QPlainTextEdit(&parent);
    FormBinding::setText(memo, "pierwsza\r\ndruga");
    QCOMPARE(memo->toPlainText(), QStringLiteral("pierwsza\ndruga"));
    QCOMPARE(FormBinding::text(memo), QStringLiteral("pierwsza\r\ndruga"));

    auto* pick = new QComboBox(&parent);
    pick->addItems({"kobieta", "mężczyzna"});
    FormBinding::setText(pick, "mężczyzna");
    QCOMPARE(pick->currentIndex(), 1);
    FormBinding::setText(pick, "nieznana");
    QCOMPARE(pick->currentIndex(), -1);
    QCOMPARE(FormBinding::text(pick), QString());

    auto* free = new QComboBox(&parent);
    free->setEditable(true);
    free->addItems({"1996 r.", "1997 r."});
    FormBinding::setText(free, "1997 r.");
    QCOMPARE(free->currentIndex(), 1);
    FormBinding::setText(free, "1990 r.");
    QCOMPARE(free->currentIndex(), -1);
    QCOMPARE(FormBinding::text(free), QStringLiteral("1990 r."));
    FormBinding::setText(free, QString());
    QCOMPARE(FormBinding::text(free), QString());
}

void TestDocumentForms::tabKeyWalksEveryField_data()
{
    addDocs();
}

// The Tab key itself, in the shown form, goes from field to field in page order, the
// fields only read included, and never gets stuck on the page's frame.
void TestDocumentForms::tabKeyWalksEveryField()
{
    QFETCH(Doc, doc);
    DocumentForm* f = form(doc);
    f->show();
    QVERIFY(QTest::qWaitForWindowExposed(f));
    QStringList expected;
    for (const Sample& sample : fields(doc))
        expected << sample.name;
    QWidget* first = edit(f, expected.first());
    first->setFocus();
    QStringList visited{QApplication::focusWidget()->objectName()};
    for (qsizetype i = 1; i < expected.size(); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        visited << QApplication::focusWidget()->objectName();
    }
    QCOMPARE(visited.size(), expected.size());
    for (const QString& name : expected)
        QVERIFY2(visited.contains(name), qPrintable(name + QStringLiteral(" is never reached by Tab")));
    f->hide();
}

QTEST_MAIN(TestDocumentForms)
#include "tst_document_forms.moc"

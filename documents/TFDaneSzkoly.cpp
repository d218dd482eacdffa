#include "documents/TFDaneSzkoly.h"

#include "documents/DocumentForm.h"
#include "documents/FormBinding.h"
#include "documents/IssuedDocuments.h"
#include "documents/PageDialog.h"
#include "platform/Clock.h"
#include "prompts/Prompts.h"
#include "storage/DataPaths.h"
#include "storage/SettingsStore.h"
#include "storage/Templates.h"

#include <QPainter>
#include <QPushButton>
#include <QShowEvent>

namespace {

constexpr int ClientWidth = 672;
constexpr int ClientHeight = 685;
constexpr int PageWidth = 643;
constexpr int PageHeight = 700;

const QString FirstYearField = QStringLiteral("ZMIENNA_RokSzkolny1_DATA_EDIT");
const QString SecondYearField = QStringLiteral("ZMIENNA_RokSzkolny2_DATA_EDIT");

// Wording of the page in the serif face of the printed form; `field` is the edit the
// text stands beside.
constexpr ComponentEntry words(const char* name, const char* caption, int left, int top, const char* field,
                               int pixelSize = 15)
{
    ComponentEntry entry = PageTable::text(name, caption, left, top + 2, pixelSize);
    entry.buddy = field;
    return entry;
}

// `role` is the field's accessible name; `limit` the most the user can type.
constexpr ComponentEntry field(const char* name, const char* role, int left, int top, int width, int tab,
                               int limit)
{
    ComponentEntry entry =
        PageTable::field(name, role, left, top, width, tab, PageTable::Entry::Free, nullptr);
    entry.limit = limit;
    return entry;
}

// The page from the top down; the edits, in the order of the stored rows, follow the wording.
constexpr ComponentEntry Page[] = {
    words("RokSzkolnyLabel", "uczęszczała/uczęszczał w roku szkolnym", 30, 24,
          "ZMIENNA_RokSzkolny1_DATA_EDIT"),
    words("RokSzkolnyKreskaLabel", "/", 340, 24, "ZMIENNA_RokSzkolny2_DATA_EDIT"),
    words("KlasaLabel", "do klasy", 410, 24, "ZMIENNA_Klasa_DATA_EDIT"),
    words("NazwaLiceumLabel", "( nazwa liceum ogólnokształcącego )", 235, 106, "ZMIENNA_Liceum1_DATA_EDIT",
          11),
    words("NrLiceumLabel", "nr", 30, 130, "ZMIENNA_NrLiceum_DATA_EDIT"),
    words("LiceumImieniaLabel", "im.", 30, 158, "ZMIENNA_LiceumImienia1_DATA_EDIT"),
    words("SzkolaWLabel", "w", 30, 218, "ZMIENNA_SzkolaWE_DATA_EDIT"),
    words("SzkolaWojLabel", "woj.", 370, 218, "ZMIENNA_SzkolaWoj_DATA_EDIT"),
    words("PrzedmiotyLabel", "i realizował(a) przedmioty:", 30, 252, "ZMIENNA_Przedmiot1_STR1_DATA_EDIT"),
    words("ZakresLabel", "ujęte w podstawie programowej w zakresie rozszerzonym.", 30, 330, nullptr),
    words("PromocjaLabel", "otrzymała/otrzymał promocję do klasy", 30, 362,
          "ZMIENNA_PromocjaDoKlasy_DATA_EDIT"),
    words("MiejscowoscDniaLabel", "dnia", 298, 398, "ZMIENNA_MiejscowoscDnia_DATA_EDIT"),
    words("MiejscowoscRokLabel", "r", 578, 398, "ZMIENNA_MiejscowoscRok_DATA_EDIT"),
    words("MiejscowoscLabel", "(miejscowość)", 125, 420, "ZMIENNA_Miejscowosc_DATA_EDIT", 11),
    words("JObcy1Label", "język", 30, 446, "ZMIENNA_JObcy1_DATA_EDIT"),
    words("JObcy2Label", "język", 330, 446, "ZMIENNA_JObcy2_DATA_EDIT"),
    words("ObowiazkoweLabel", "Obowiązkowe zajęcia edukacyjne:", 30, 480,
          "ZMIENNA_ObowiazkoweEdu1_DATA_EDIT"),
    words("DodatkoweLabel", "Dodatkowe zajęcia edukacyjne:", 330, 480, "ZMIENNA_DodatkoweEdu1_DATA_EDIT"),
    words("PrzedUzLabel", "Przedmioty uzupełniające", 30, 586, "ZMIENNA_PrzedUz1_DATA_EDIT"),
    words("WzorNumeruLabel", "Wzór numeru L. dz. ({nr} – kolejny numer, {rok})", 330, 586,
          "ZMIENNA_WzorNumeru_DATA_EDIT", 13),

    field("ZMIENNA_SzkolaWoj_DATA_EDIT", "województwo szkoły", 405, 218, 205, 11, 32),
    field("ZMIENNA_SzkolaWE_DATA_EDIT", "w (końcówka przyimka)", 46, 218, 32, 9, 30),
    field("ZMIENNA_SzkolaMiasto_DATA_EDIT", "miejscowość szkoły", 84, 218, 276, 10, 30),
    field("ZMIENNA_RokSzkolny2_DATA_EDIT", "rok szkolny, drugi rok", 350, 24, 50, 2, 4),
    field("ZMIENNA_RokSzkolny1_DATA_EDIT", "rok szkolny, pierwszy rok", 284, 24, 50, 1, 4),
    field("ZMIENNA_PrzedUz3_DATA_EDIT", "przedmioty uzupełniające, wiersz 3", 30, 656, 285, 30, 40),
    field("ZMIENNA_PrzedUz2_DATA_EDIT", "przedmioty uzupełniające, wiersz 2", 30, 632, 285, 29, 40),
    field("ZMIENNA_PrzedUz1_DATA_EDIT", "przedmioty uzupełniające, wiersz 1", 30, 608, 285, 28, 40),
    field("ZMIENNA_Przedmiot4_STR1_DATA_EDIT", "przedmiot 4", 330, 300, 280, 15, 31),
    field("ZMIENNA_Przedmiot3_STR1_DATA_EDIT", "przedmiot 3", 30, 300, 285, 14, 32),
    field("ZMIENNA_Przedmiot2_STR1_DATA_EDIT", "przedmiot 2", 330, 274, 280, 13, 31),
    field("ZMIENNA_Przedmiot1_STR1_DATA_EDIT", "przedmiot 1", 30, 274, 285, 12, 32),
    field("ZMIENNA_PromocjaDoKlasy_DATA_EDIT", "promocja do klasy", 300, 362, 310, 16, 32),
    field("ZMIENNA_ObowiazkoweEdu3_DATA_EDIT", "obowiązkowe zajęcia edukacyjne, wiersz 3", 30, 550, 285, 24,
          40),
    field("ZMIENNA_ObowiazkoweEdu2_DATA_EDIT", "obowiązkowe zajęcia edukacyjne, wiersz 2", 30, 526, 285, 23,
          40),
    field("ZMIENNA_ObowiazkoweEdu1_DATA_EDIT", "obowiązkowe zajęcia edukacyjne, wiersz 1", 30, 502, 285, 22,
          40),
    field("ZMIENNA_NrLiceum_DATA_EDIT", "numer liceum", 60, 130, 550, 6, 57),
    field("ZMIENNA_MiejscowoscRok_DATA_EDIT", "data wystawienia, rok", 522, 398, 50, 19, 4),
    field("ZMIENNA_MiejscowoscDnia_DATA_EDIT", "data wystawienia, dzień i miesiąc", 334, 398, 180, 18, 20),
    field("ZMIENNA_Miejscowosc_DATA_EDIT", "miejscowość wystawienia", 30, 398, 260, 17, 34),
    field("ZMIENNA_LiceumImienia2_DATA_EDIT", "imię patrona, wiersz 2", 60, 186, 550, 8, 57),
    field("ZMIENNA_LiceumImienia1_DATA_EDIT", "imię patrona, wiersz 1", 60, 158, 550, 7, 57),
    field("ZMIENNA_Liceum2_DATA_EDIT", "nazwa liceum, wiersz 2", 30, 84, 580, 5, 72),
    field("ZMIENNA_Liceum1_DATA_EDIT", "nazwa liceum, wiersz 1", 30, 58, 580, 4, 64),
    field("ZMIENNA_Klasa_DATA_EDIT", "do klasy", 468, 24, 142, 3, 18),
    field("ZMIENNA_JObcy2_DATA_EDIT", "język obcy 2", 375, 446, 235, 21, 35),
    field("ZMIENNA_JObcy1_DATA_EDIT", "język obcy 1", 75, 446, 240, 20, 35),
    field("ZMIENNA_DodatkoweEdu3_DATA_EDIT", "dodatkowe zajęcia edukacyjne, wiersz 3", 330, 550, 280, 27, 40),
    field("ZMIENNA_DodatkoweEdu2_DATA_EDIT", "dodatkowe zajęcia edukacyjne, wiersz 2", 330, 526, 280, 26, 40),
    field("ZMIENNA_DodatkoweEdu1_DATA_EDIT", "dodatkowe zajęcia edukacyjne, wiersz 1", 330, 502, 280, 25, 40),
    field("ZMIENNA_WzorNumeru_DATA_EDIT", "wzór numeru L. dz.", 330, 608, 280, 31, Issued::PatternLimit),
};

// After the last field of the page in the tab order.
constexpr ComponentEntry Panel[] = {
    PageDialog::button("OKButton", "OK", 486, 32),
    PageDialog::button("AnulujButton", "Anuluj", 576, 33),
};

// The blank template page: white paper with a dotted line under every place where a
// value is written.
QPixmap pagePicture()
{
    QPixmap page(PageWidth, PageHeight);
    page.fill(Qt::white);
    QPainter painter(&page);
    painter.setPen(QPen(Qt::black, 1, Qt::DotLine));
    for (const ComponentEntry& entry : Page) {
        if (entry.kind != ComponentKind::Edit)
            continue;
        const int y = entry.top + entry.height + 1;
        painter.drawLine(entry.left, y, entry.left + entry.width, y);
    }
    return page;
}

} // namespace

TFDaneSzkoly::TFDaneSzkoly(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("FDaneSzkoly"));
    setWindowTitle(QStringLiteral("Szablon danych"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setFixedSize(ClientWidth, ClientHeight);

    const PageDialog::Parts parts = PageDialog::build(this, QStringLiteral("Szablon danych szkoły"),
                                                      {PageWidth, PageHeight}, pagePicture(), Page, Panel);
    m_components = FormTable::widgets(parts.page);
    m_firstField = FormBinding::find(m_components, FirstYearField);
    connect(qobject_cast<QPushButton*>(parts.buttons.at(0).widget), &QPushButton::clicked, this,
            &TFDaneSzkoly::OKButtonClick);
    connect(qobject_cast<QPushButton*>(parts.buttons.at(1).widget), &QPushButton::clicked, this,
            &TFDaneSzkoly::AnulujButtonClick);
}

QString TFDaneSzkoly::fieldText(const QString& compName) const
{
    const QWidget* found = FormBinding::find(m_components, compName);
    return found ? FormBinding::text(found) : QString();
}

void TFDaneSzkoly::FormShow()
{
    // The school year under way on the date of the showing, read before anything else
    // can take time: it starts on 1 September, so up to August it began the year before.
    // The date is the user's own: a school year starts at midnight in the school's
    // time zone, not at Greenwich.
    const QDate today = Clock::instance().nowLocal().date();
    const int firstYear = today.month() >= 9 ? today.year() : today.year() - 1;
    FormBinding::clear(m_components, {FormBinding::EditToken});

    FieldRowList rows;
    if (bFunSqlTemplateReadData(*m_buf, strFunGetTemplatesFilePath(*m_buf), TemplateName, rows)) {
        // Rows are matched by name alone; names this form does not have (a template
        // from an older version) are passed over, and only edits take values.
        for (const FieldRow& row : std::as_const(rows)) {
            if (!row.compName.contains(FormBinding::EditToken))
                continue;
            if (QWidget* edit = FormBinding::find(m_components, row.compName))
                FormBinding::setText(edit, row.value);
        }
    } else {
        Prompts::instance().error(this, QStringLiteral("Błąd podczas odczytu danych.\n\n") + m_buf->text());
    }

    // A stored school year stays; an empty one is proposed from the date.
    for (const auto& [name, value] :
         {std::pair{FirstYearField, firstYear}, std::pair{SecondYearField, firstYear + 1}}) {
        QWidget* edit = FormBinding::find(m_components, name);
        if (FormBinding::text(edit).isEmpty())
            FormBinding::setText(edit, QString::number(value));
    }

    // Shown once is offered once: a failed write is logged by the settings store.
    bFunSqlSettingWriteValue(*m_buf, QStringLiteral("create_school_data_template"), 0);
    if (m_firstField)
        m_firstField->setFocus();
}

void TFDaneSzkoly::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

void TFDaneSzkoly::OKButtonClick()
{
    // The pattern becomes part of the names of the documents' copies.
    if (const QString problem = Issued::checkPattern(fieldText(Issued::PatternField).trimmed());
        !problem.isEmpty()) {
        Prompts::instance().message(this, problem, QStringLiteral("Szablon danych"), Prompts::Icon::Warning,
                                    Prompts::Buttons::Ok);
        if (QWidget* edit = FormBinding::find(m_components, Issued::PatternField))
            edit->setFocus();
        return;
    }
    FieldRowList rows;
    FormBinding::collect(m_components, SectionId, rows);
    if (!bFunSqlTemplateWriteData(*m_buf, strFunGetTemplatesFilePath(*m_buf), TemplateName, rows))
        Prompts::instance().error(this, QStringLiteral("Błąd podczas próby zapisania danych do pliku.\n\n") +
                                            m_buf->text());
    accept();
}

void TFDaneSzkoly::AnulujButtonClick()
{
    reject();
}

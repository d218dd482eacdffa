#include "documents/TFDaneUcznia.h"

#include "documents/BirthDate.h"
#include "documents/DocumentFile.h"
#include "documents/FormBinding.h"
#include "documents/Pesel.h"
#include "documents/StudentFields.h"
#include "documents/StudentSaver.h"
#include "platform/Clock.h"
#include "prompts/Prompts.h"
#include "storage/DataFolder.h"
#include "storage/Templates.h"

#include <QCollator>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>

#include <algorithm>

namespace {

const QString& FirstNameField = StudentFields::FirstName;
const QString& BirthDayField = StudentFields::BirthDay;
const QString& SexField = StudentFields::Sex;
const QString& BirthYearField = StudentFields::BirthYear;
const QString& TownField = StudentFields::Town;
const QString& ProvinceField = StudentFields::Province;
const QString& SurnameField = StudentFields::Surname;
const QString& PeselField = StudentFields::Pesel;
const QString PeselWarningLabel = QStringLiteral("NrPeselUwagaLabel");
const QString Male = QStringLiteral("mężczyzna");

constexpr int LabelLeft = 16;
constexpr int FieldLeft = 200;
constexpr int FieldWidth = 250;
// One line per field, top to bottom in tab order.
constexpr int lineTop(int tab)
{
    return 16 + 32 * (tab - 1);
}

// The label of a field, on the left of the field's line.
constexpr ComponentEntry caption(const char* name, const char* text, int tab, const char* field)
{
    return {.name = name,
            .kind = ComponentKind::Label,
            .text = text,
            .left = LabelLeft,
            .top = lineTop(tab) + 4,
            .buddy = field};
}

constexpr ComponentEntry edit(const char* name, int tab, int limit)
{
    return {.name = name,
            .kind = ComponentKind::Edit,
            .left = FieldLeft,
            .top = lineTop(tab),
            .width = FieldWidth,
            .tab = tab,
            .limit = limit};
}

constexpr ComponentEntry list(const char* name, ComponentKind kind, int tab, const char* items = nullptr)
{
    return {.name = name,
            .kind = kind,
            .left = FieldLeft,
            .top = lineTop(tab),
            .width = FieldWidth,
            .tab = tab,
            .items = items};
}

constexpr ComponentEntry button(const char* name, const char* text, int left, int tab)
{
    return {.name = name,
            .kind = ComponentKind::Button,
            .text = text,
            .left = left,
            .top = lineTop(11) + 8,
            .width = 85,
            .height = 27,
            .tab = tab};
}

// What the PESEL says against the other fields, under the PESEL's line, across the form.
constexpr ComponentEntry warning(const char* name, int line)
{
    return {.name = name,
            .kind = ComponentKind::Label,
            .left = LabelLeft,
            .top = lineTop(line) - 4,
            .width = FieldLeft + FieldWidth - LabelLeft,
            .height = 40};
}

// Each field follows the label that names it; the fields alone are the component order
// of the stored rows.
constexpr ComponentEntry Layout[] = {
    caption("ImieLabel", "&imię", 2, "Imie_DATA_EDIT"),
    edit("Imie_DATA_EDIT", 2, StudentFields::NameLimit),
    caption("UrodzonyDniaLabel", "urodzony &dnia", 4, "UrodzonyDnia_DATA_EDIT"),
    edit("UrodzonyDnia_DATA_EDIT", 4, StudentFields::BirthDayLimit),
    caption("PlecLabel", "&płeć", 3, "Plec_DATA_COMBOBOX"),
    list("Plec_DATA_COMBOBOX", ComponentKind::PickList, 3, "kobieta|mężczyzna"),
    caption("UrodzonyRokLabel", "urodzony w &roku", 5, "UrodzonyRok_DATA_COMBOBOX"),
    // The years of birth of today's pupils, filled on every showing.
    list("UrodzonyRok_DATA_COMBOBOX", ComponentKind::ComboBox, 5),
    caption("UrodzonyMiastoLabel", "urodzony w (&miasto)", 6, "UrodzonyMiasto_DATA_COMBOBOX"),
    list("UrodzonyMiasto_DATA_COMBOBOX", ComponentKind::SortedComboBox, 6),
    caption("UrodzonyWojLabel", "urodzony (&województwo)", 7, "UrodzonyWoj_DATA_COMBOBOX"),
    list("UrodzonyWoj_DATA_COMBOBOX", ComponentKind::SortedComboBox, 7),
    caption("NazwiskoLabel", "&nazwisko", 1, "Nazwisko_DATA_EDIT"),
    edit("Nazwisko_DATA_EDIT", 1, StudentFields::NameLimit),
    caption("NrPeselLabel", "numer P&ESEL", 9, "NrPesel_DATA_EDIT"),
    edit("NrPesel_DATA_EDIT", 9, StudentFields::PeselLimit),
    warning("NrPeselUwagaLabel", 10),
    caption("NrDziennikaLabel", "nr &ucznia na świadectwie", 8, "NrDziennika_DATA_EDIT"),
    edit("NrDziennika_DATA_EDIT", 8, StudentFields::NameLimit),
    button("OKButton", "OK", 270, 10),
    button("AnulujButton", "Anuluj", 365, 11),
};

constexpr int FormWidth = 470;
constexpr int FormHeight = lineTop(11) + 8 + 27 + 16;

// The years of birth of pupils from six to twenty-one, oldest first, as "2008 r.".
QStringList birthYears()
{
    const int now = Clock::instance().nowLocal().date().year();
    QStringList years;
    for (int year = now - 21; year <= now - 6; ++year)
        years << BirthDate::yearText(year);
    return years;
}

// Town and province lists read in Polish alphabetical order, Ł after L.
void sortPolish(QStringList& names)
{
    QCollator collator(QLocale(QLocale::Polish, QLocale::Poland));
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::stable_sort(names.begin(), names.end(), collator);
}

} // namespace

TFDaneUcznia::TFDaneUcznia(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("FDaneUcznia"));
    setWindowTitle(QStringLiteral("Dane ucznia"));
    setWindowFlag(Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(FormWidth, FormHeight);

    const QList<BuiltComponent> built = FormTable::build(this, Layout);
    FormTable::applyTabOrder(built);
    m_components = FormTable::widgets(built);

    fillBirthYears();
    auto* warningLabel = qobject_cast<QLabel*>(component(PeselWarningLabel));
    warningLabel->setWordWrap(true);
    warningLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    QPalette palette = warningLabel->palette();
    palette.setColor(QPalette::WindowText, QColor(160, 0, 0));
    warningLabel->setPalette(palette);
    auto* pesel = qobject_cast<QLineEdit*>(component(PeselField));
    // Only a number the user types fills the other fields; a loaded one is only checked.
    connect(pesel, &QLineEdit::textEdited, this, &TFDaneUcznia::fillFromPesel);
    connect(pesel, &QLineEdit::textChanged, this, &TFDaneUcznia::checkPesel);
    connect(qobject_cast<QLineEdit*>(component(BirthDayField)), &QLineEdit::textChanged, this,
            &TFDaneUcznia::checkPesel);
    connect(qobject_cast<QComboBox*>(component(BirthYearField)), &QComboBox::editTextChanged, this,
            &TFDaneUcznia::checkPesel);
    connect(qobject_cast<QComboBox*>(component(SexField)), &QComboBox::currentIndexChanged, this,
            &TFDaneUcznia::checkPesel);

    auto* ok = qobject_cast<QPushButton*>(component(QStringLiteral("OKButton")));
    auto* cancel = qobject_cast<QPushButton*>(component(QStringLiteral("AnulujButton")));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &TFDaneUcznia::OKButtonClick);
    connect(cancel, &QPushButton::clicked, this, &TFDaneUcznia::AnulujButtonClick);
}

QWidget* TFDaneUcznia::component(const QString& name) const
{
    return FormBinding::find(m_components, name);
}

QString TFDaneUcznia::fieldText(const QString& compName) const
{
    const QWidget* field = component(compName);
    return field ? FormBinding::text(field) : QString();
}

void TFDaneUcznia::CollectFields(FieldRowList& rows) const
{
    FormBinding::collect(m_components, SectionId, rows);
}

void TFDaneUcznia::ClearFields()
{
    FormBinding::clear(m_components, {FormBinding::EditToken, FormBinding::ComboToken});
}

void TFDaneUcznia::FillFields(const FieldRowList& rows)
{
    ClearFields();
    for (const FieldRow& row : rows) {
        if (row.id != SectionId)
            continue;
        QWidget* field = component(row.compName);
        if (!field)
            continue;
        if (row.compName.contains(FormBinding::EditToken) || row.compName.contains(FormBinding::MemoToken))
            FormBinding::setText(field, row.value);
        if (row.compName.contains(FormBinding::ComboToken)) {
            auto* combo = qobject_cast<QComboBox*>(field);
            if (combo && row.compName.contains(SexField))
                combo->setCurrentIndex(row.value == Male ? 1 : 0);
            else
                FormBinding::setText(field, row.value);
        }
    }
}

void TFDaneUcznia::fillBirthYears()
{
    auto* combo = qobject_cast<QComboBox*>(component(BirthYearField));
    const QString standing = combo->currentText();
    const QSignalBlocker blocker(combo);
    combo->clear();
    combo->addItems(birthYears());
    FormBinding::setText(combo, standing);
}

void TFDaneUcznia::fillFromPesel()
{
    const Pesel::Decoded pesel = Pesel::decode(fieldText(PeselField));
    if (pesel.valid()) {
        if (fieldText(BirthDayField).isEmpty())
            FormBinding::setText(component(BirthDayField), BirthDate::dayText(pesel.birthDate));
        if (fieldText(BirthYearField).isEmpty())
            FormBinding::setText(component(BirthYearField), BirthDate::yearText(pesel.birthDate.year()));
        auto* sex = qobject_cast<QComboBox*>(component(SexField));
        if (sex->currentIndex() < 0)
            sex->setCurrentIndex(pesel.male ? 1 : 0);
    }
    checkPesel();
}

void TFDaneUcznia::checkPesel()
{
    const QStringList warnings = Pesel::warnings(fieldText(PeselField), fieldText(BirthDayField),
                                                 fieldText(BirthYearField), fieldText(SexField));
    QString text;
    if (!warnings.isEmpty()) {
        text = QStringLiteral("Uwaga: ") + warnings.join(QStringLiteral("; "));
        if (!text.endsWith(QLatin1Char('.')))
            text += QLatin1Char('.');
    }
    auto* label = qobject_cast<QLabel*>(component(PeselWarningLabel));
    if (label->text() == text)
        return;
    label->setText(text);
    label->setAccessibleName(text);
    // A screen reader reads the warning with the field, and hears when it changes.
    component(PeselField)->setAccessibleDescription(text);
}

void TFDaneUcznia::FormShow()
{
    fillBirthYears();
    struct Dictionary {
        const QString& field;
        bool (*load)(MessageBuffer&, QStringList&);
        QString failure;
    };
    const Dictionary dictionaries[] = {
        {TownField, bFunStudentDataLoadCityList,
         QStringLiteral("Błąd podczas próby wczytania listy miast.\n")},
        {ProvinceField, bFunStudentDataLoadProvinceList,
         QStringLiteral("Błąd podczas próby wczytania listy województw.\n")},
    };
    for (const Dictionary& dictionary : dictionaries) {
        auto* combo = qobject_cast<QComboBox*>(component(dictionary.field));
        QStringList names;
        if (!dictionary.load(*m_buf, names)) {
            // The list keeps the items it held.
            Prompts::instance().error(this, dictionary.failure + m_buf->text());
            continue;
        }
        sortPolish(names);
        const QString standing = combo->currentText();
        combo->clear();
        combo->addItems(names);
        FormBinding::setText(combo, standing);
    }
    // Typing starts at the surname on every showing, not where the last one ended.
    component(SurnameField)->setFocus();
}

void TFDaneUcznia::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

bool TFDaneUcznia::requireFilled(const QString& compName, const QString& message)
{
    if (!fieldText(compName).isEmpty())
        return true;
    Prompts::instance().message(this, message, QStringLiteral("Brak danych"), Prompts::Icon::Warning,
                                Prompts::Buttons::Ok);
    component(compName)->setFocus();
    return false;
}

void TFDaneUcznia::OKButtonClick()
{
    // The dictionaries learn the typed place names whatever the checks below decide.
    bFunStudentDataAddCity(*m_buf, fieldText(TownField));
    bFunStudentDataAddProvince(*m_buf, fieldText(ProvinceField));

    if (!requireFilled(SurnameField, QStringLiteral("Nazwisko ucznia jest wymagane")) ||
        !requireFilled(FirstNameField, QStringLiteral("Imię ucznia jest wymagane")))
        return;
    auto* sex = qobject_cast<QComboBox*>(component(SexField));
    if (sex->currentIndex() < 0) {
        Prompts::instance().message(this, QStringLiteral("Płeć ucznia jest wymagana"),
                                    QStringLiteral("Brak danych"), Prompts::Icon::Warning,
                                    Prompts::Buttons::Ok);
        sex->setFocus();
        return;
    }

    // The PESEL becomes part of a table name, which is never escaped.
    if (!StudentFields::peselCharactersAllowed(fieldText(PeselField))) {
        Prompts::instance().message(
            this, QStringLiteral("Numer PESEL nie jest prawidłowy lub zawiera nie dozwolone znaki"),
            QStringLiteral("Brak danych"), Prompts::Icon::Warning, Prompts::Buttons::Ok);
        component(PeselField)->setFocus();
        return;
    }

    // A PESEL that is not whole is stored only when the user says so; the line under the
    // field keeps naming the fault.
    if (const QStringList faults = Pesel::faults(fieldText(PeselField)); !faults.isEmpty()) {
        if (!Prompts::instance().askYesNo(
                this,
                QStringLiteral("Numer PESEL nie jest prawidłowy: ") + faults.join(QStringLiteral("; ")) +
                    QStringLiteral(".\nCzy mimo to zapisać ucznia ?"),
                QStringLiteral("Dane ucznia"), Prompts::Icon::Warning, Prompts::Answer::No)) {
            component(PeselField)->setFocus();
            return;
        }
    }

    for (const QString& name : {FirstNameField, SurnameField}) {
        const QString text = fieldText(name);
        if (const QString capital = StudentFields::withCapital(text); capital != text)
            FormBinding::setText(component(name), capital);
    }

    if (saveStudent())
        accept();
}

QString TFDaneUcznia::overwriteQuestion(const QString& path, const QString& tableName) const
{
    if (!EditMode)
        return QStringLiteral(
            "Uczeń o tym numerze PESEL już istnieje, czy chcesz nadpisać dane tego ucznia ?");
    // An edited student moving onto another one's PESEL: the question names the
    // student whose data would be replaced, as the list shows it.
    QString name = tableName;
    QList<StudentListEntry> students;
    MessageBuffer quiet; // an unreadable list leaves the table name in the question
    if (bFunGetStudentsList(quiet, path, students))
        for (const StudentListEntry& student : std::as_const(students))
            if (student.tableName == tableName)
                name = student.displayName;
    return QStringLiteral("Uczeń o tym numerze PESEL już istnieje:\n") + name +
           QStringLiteral("\nCzy chcesz nadpisać dane tego ucznia ?");
}

bool TFDaneUcznia::saveStudent()
{
    const QString tableName = StudentFields::tableName(fieldText(PeselField));
    // Storing under a table that another student holds replaces that student, so it
    // is asked first; an edited student keeping its PESEL replaces only itself.
    if (!EditMode || tableName != OldTableName) {
        const QString path = strFunGetTmpFilePath(*m_buf);
        switch (iFunCheckIsStudentExists(*m_buf, path, tableName, true)) {
        case 0:
            break;
        case 1:
            // Overwriting is never the answer Enter gives.
            if (!Prompts::instance().askYesNo(this, overwriteQuestion(path, tableName),
                                              QStringLiteral("Zapis"), Prompts::Icon::Warning,
                                              Prompts::Answer::No))
                return false;
            break;
        default:
            Prompts::instance().error(this, QStringLiteral("Błąd zapisu danych.\n\n") + m_buf->text());
            return false;
        }
    }
    if (!m_saver)
        return false;
    // The saver drops the previous table and writes the new one together, so a failed
    // save leaves the edited student as it was.
    return m_saver->bFunSaveStudent(EditMode ? OldTableName : QString());
}

void TFDaneUcznia::AnulujButtonClick()
{
    reject();
}

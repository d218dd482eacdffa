#include "documents/StudentImport.h"

#include "documents/BirthDate.h"
#include "documents/Pesel.h"
#include "documents/StudentFields.h"
#include "storage/Cp1250.h"

#include <QRegularExpression>

namespace StudentImport {

namespace {

struct ColumnInfo {
    Column column;
    const char* caption;
    const char* names; // header names after plainName(), separated by '|'
};

const ColumnInfo Columns[] = {
    {Column::Skip, "pomiń", ""},
    {Column::Surname, "Nazwisko", "nazwisko"},
    {Column::FirstName, "Imię", "imie"},
    {Column::FirstNames, "Imiona (pierwsze imię)", "imiona"},
    {Column::Pesel, "PESEL", "pesel|nr pesel|numer pesel"},
    {Column::BirthDate, "Data urodzenia", "data urodzenia"},
    {Column::Town, "Miejsce urodzenia", "miejsce urodzenia|miejscowosc urodzenia"},
    {Column::Province, "Województwo", "wojewodztwo|wojewodztwo urodzenia"},
    {Column::Sex, "Płeć", "plec"},
    {Column::RegisterNumber, "Nr w dzienniku", "nr w dzienniku|numer w dzienniku"},
};

QString caption(Column column)
{
    return QString::fromUtf8(Columns[int(column)].caption);
}

// Lower case, Polish letters as their plain ones, single blanks.
QString plainName(const QString& text)
{
    static const QString from = QStringLiteral("ąćęłńóśźż");
    static const QString to = QStringLiteral("acelnoszz");
    QString out = text.toLower().simplified();
    for (QChar& c : out)
        if (const qsizetype i = from.indexOf(c); i >= 0)
            c = to.at(i);
    while (out.endsWith(QLatin1Char(':')) || out.endsWith(QLatin1Char('.')))
        out.chop(1);
    return out;
}

// "kobieta", "mężczyzna", or empty for a text that names neither.
QString sexOf(const QString& text)
{
    const QString plain = plainName(text);
    for (const char* w : {"k", "kobieta", "z", "zenska", "dziewczyna", "dziewczynka"})
        if (plain == QLatin1String(w))
            return Pesel::sexText(false);
    for (const char* m : {"m", "mezczyzna", "meska", "chlopiec"})
        if (plain == QLatin1String(m))
            return Pesel::sexText(true);
    return QString();
}

const QRegularExpression& blanks()
{
    static const QRegularExpression re(QStringLiteral("\\s+"));
    return re;
}

QString quoted(const QString& text)
{
    return QStringLiteral("\u201E") + text + QStringLiteral("\u201D");
}

// The file's text of one field, with the problems that keep it out of the register.
void checkText(const QString& value, Column column, QStringList& errors)
{
    if (value.contains(QLatin1Char('\n')) || value.contains(QLatin1Char('\r')))
        errors << QStringLiteral("pole %1 zawiera podział wiersza").arg(quoted(caption(column)));
    QByteArray encoded;
    QString bad;
    if (!Cp1250::encode(value, encoded, &bad)) {
        const QString error =
            QStringLiteral("znak %1 nie istnieje w kodowaniu Windows-1250").arg(quoted(bad));
        if (!errors.contains(error))
            errors << error;
    }
}

void checkLength(const QString& value, int limit, const char* what, QStringList& errors)
{
    if (value.size() > limit)
        errors << QStringLiteral("%1 ma więcej niż %2 znaków").arg(QString::fromUtf8(what)).arg(limit);
}

// The birth date of the file: a whole date, a day and month alone, or a year alone.
void takeBirthDate(const QString& value, Row& row, QStringList& errors)
{
    QDate date;
    switch (BirthDate::parse(value, date)) {
    case BirthDate::Parsed::Date:
        row.given.insert(StudentFields::BirthDay, BirthDate::dayText(date));
        row.given.insert(StudentFields::BirthYear, BirthDate::yearText(date.year()));
        return;
    case BirthDate::Parsed::Impossible:
        errors << QStringLiteral("data urodzenia %1 nie istnieje").arg(quoted(value));
        return;
    case BirthDate::Parsed::NoDate:
        break;
    }
    int day = 0;
    int month = 0;
    // Any day of a leap year is a day of some year.
    if (BirthDate::parseDayText(value, day, month) && QDate::isValid(2000, month, day)) {
        row.given.insert(StudentFields::BirthDay, BirthDate::dayText(QDate(2000, month, day)));
        return;
    }
    if (const int year = BirthDate::parseYearText(value); year != 0) {
        row.given.insert(StudentFields::BirthYear, BirthDate::yearText(year));
        return;
    }
    errors << QStringLiteral("data urodzenia %1 nie ma postaci 2008-03-14, 14.03.2008 ani 14-03-2008")
                  .arg(quoted(value));
}

Row evaluateRecord(const CsvText::Record& record, int columnCount, const QList<Column>& mapping)
{
    Row row;
    row.line = record.line;
    QStringList errors;
    if (record.unterminated)
        errors << QStringLiteral("cudzysłów otwarty w tym wierszu nie jest zamknięty do końca pliku");
    if (record.fields.size() != columnCount)
        errors << QStringLiteral("liczba pól w wierszu (%1) różni się od liczby kolumn (%2)")
                      .arg(record.fields.size())
                      .arg(columnCount);

    // The file's text for each meaning; empty where no column has it.
    struct Values {
        QString text[std::size(Columns)];
        const QString& value(Column c) const { return text[int(c)]; }
        bool contains(Column c) const { return !text[int(c)].isEmpty(); }
    } values;
    const qsizetype n = std::min<qsizetype>(record.fields.size(), mapping.size());
    for (qsizetype i = 0; i < n; ++i) {
        const Column column = mapping.at(i);
        if (column == Column::Skip)
            continue;
        const QString value = record.fields.at(i).trimmed();
        if (value.isEmpty())
            continue;
        checkText(value, column, errors);
        values.text[int(column)] = value;
    }

    QString surname = StudentFields::withCapital(values.value(Column::Surname));
    if (surname.isEmpty())
        errors << QStringLiteral("brak nazwiska");
    checkLength(surname, StudentFields::NameLimit, "nazwisko", errors);

    QString firstName = values.value(Column::FirstName);
    if (firstName.isEmpty())
        firstName = values.value(Column::FirstNames).section(blanks(), 0, 0);
    firstName = StudentFields::withCapital(firstName);
    if (firstName.isEmpty())
        errors << QStringLiteral("brak imienia");
    checkLength(firstName, StudentFields::NameLimit, "imię", errors);

    const QString pesel = values.value(Column::Pesel);
    if (!StudentFields::peselCharactersAllowed(pesel) || pesel.size() > StudentFields::PeselLimit)
        errors << QStringLiteral("numer PESEL nie jest prawidłowy lub zawiera nie dozwolone znaki");
    row.tableName = StudentFields::tableName(pesel);

    const auto give = [&row](const QString& field, const QString& value) {
        if (!value.isEmpty())
            row.given.insert(field, value);
    };
    give(StudentFields::Surname, surname);
    give(StudentFields::FirstName, firstName);
    give(StudentFields::Pesel, pesel);
    give(StudentFields::Town, values.value(Column::Town));
    give(StudentFields::Province, values.value(Column::Province));
    const QString registerNumber = values.value(Column::RegisterNumber);
    checkLength(registerNumber, StudentFields::NameLimit, "nr w dzienniku", errors);
    give(StudentFields::RegisterNumber, registerNumber);

    if (values.contains(Column::BirthDate))
        takeBirthDate(values.value(Column::BirthDate), row, errors);
    if (values.contains(Column::Sex)) {
        const QString sex = sexOf(values.value(Column::Sex));
        if (sex.isEmpty())
            errors << QStringLiteral("płeć %1 nie jest rozpoznana (kobieta lub mężczyzna)")
                          .arg(quoted(values.value(Column::Sex)));
        give(StudentFields::Sex, sex);
    }

    const Pesel::Decoded decoded = Pesel::decode(pesel);
    if (decoded.valid()) {
        row.fromPesel.insert(StudentFields::BirthDay, BirthDate::dayText(decoded.birthDate));
        row.fromPesel.insert(StudentFields::BirthYear, BirthDate::yearText(decoded.birthDate.year()));
        row.fromPesel.insert(StudentFields::Sex, Pesel::sexText(decoded.male));
    }
    if (!values.contains(Column::Sex) && !row.fromPesel.contains(StudentFields::Sex))
        errors << QStringLiteral("brak płci");
    row.notes =
        Pesel::warnings(pesel, row.given.value(StudentFields::BirthDay),
                        row.given.value(StudentFields::BirthYear), row.given.value(StudentFields::Sex));
    row.errors = errors.join(QStringLiteral("; "));
    row.state = errors.isEmpty() ? State::Add : State::Error;
    return row;
}

} // namespace

namespace {

const QString* const FormFields[] = {
    &StudentFields::FirstName, &StudentFields::BirthDay, &StudentFields::Sex,
    &StudentFields::BirthYear, &StudentFields::Town,     &StudentFields::Province,
    &StudentFields::Surname,   &StudentFields::Pesel,    &StudentFields::RegisterNumber};

int fieldIndex(const QString& field)
{
    for (int i = 0; i < 9; ++i)
        if (*FormFields[i] == field)
            return i;
    return -1;
}

} // namespace

QString FieldValues::value(const QString& field) const
{
    const int i = fieldIndex(field);
    return i < 0 ? QString() : m_values[i];
}

void FieldValues::insert(const QString& field, const QString& value)
{
    if (const int i = fieldIndex(field); i >= 0)
        m_values[i] = value;
}

QStringList columnCaptions()
{
    QStringList out;
    for (const ColumnInfo& info : Columns)
        out << QString::fromUtf8(info.caption);
    return out;
}

Column columnOfHeader(const QString& header)
{
    const QString plain = plainName(header);
    if (plain.isEmpty())
        return Column::Skip;
    for (const ColumnInfo& info : Columns)
        if (QString::fromLatin1(info.names).split(QLatin1Char('|')).contains(plain))
            return info.column;
    return Column::Skip;
}

Problem read(const QString& text, QChar separator, Source& source)
{
    source = Source();
    if (text.trimmed().isEmpty())
        return Problem::Empty;
    QList<CsvText::Record> records = CsvText::parse(text, separator);
    const auto blank = [](const CsvText::Record& r) {
        return std::all_of(r.fields.cbegin(), r.fields.cend(),
                           [](const QString& f) { return f.trimmed().isEmpty(); });
    };
    // Blank lines before the header are no header.
    qsizetype first = 0;
    while (first < records.size() && blank(records.at(first)))
        ++first;
    if (first == records.size())
        return Problem::Empty;
    const CsvText::Record& top = records.at(first);
    source.hasHeader = std::any_of(top.fields.cbegin(), top.fields.cend(),
                                   [](const QString& f) { return columnOfHeader(f) != Column::Skip; });
    if (source.hasHeader) {
        for (const QString& name : top.fields)
            source.header << name.trimmed();
        ++first;
    } else {
        for (qsizetype i = 0; i < top.fields.size(); ++i)
            source.header << QStringLiteral("Kolumna %1").arg(i + 1);
    }
    source.records.reserve(records.size() - first);
    for (qsizetype i = first; i < records.size(); ++i) {
        if (blank(records.at(i)))
            ++source.blankRecords;
        else
            source.records.append(std::move(records[i]));
    }
    if (source.records.isEmpty())
        return source.hasHeader ? Problem::HeaderOnly : Problem::Empty;
    return Problem::None;
}

QString problemText(Problem problem)
{
    switch (problem) {
    case Problem::Empty:
        return QStringLiteral("Plik jest pusty: nie ma w nim żadnego ucznia.");
    case Problem::Binary:
        return QStringLiteral("Plik nie jest plikiem tekstowym CSV (zawiera dane binarne).");
    case Problem::HeaderOnly:
        return QStringLiteral("Plik zawiera tylko wiersz nagłówka: nie ma w nim żadnego ucznia.");
    case Problem::None:
        break;
    }
    return QString();
}

QList<Column> mappingOf(const Source& source)
{
    QList<Column> mapping;
    QSet<Column> taken;
    for (const QString& name : source.header) {
        Column column = source.hasHeader ? columnOfHeader(name) : Column::Skip;
        // The first of two columns with the same name counts; the other is left out.
        if (taken.contains(column))
            column = Column::Skip;
        if (column != Column::Skip)
            taken.insert(column);
        mapping << column;
    }
    return mapping;
}

QString Row::stateText(bool replace) const
{
    switch (state) {
    case State::Add:
        return QStringLiteral("do dodania");
    case State::InRegister:
        return replace ? QStringLiteral("już jest w rejestrze – dane zostaną zastąpione")
                       : QStringLiteral("już jest w rejestrze");
    case State::Error:
        break;
    }
    return errors;
}

QList<Row> evaluate(const Source& source, const QList<Column>& mapping, const QSet<QString>& registerTables)
{
    QList<Row> rows;
    rows.reserve(source.records.size());
    QList<qsizetype> byTable; // rows of a storable number, sorted by table below
    byTable.reserve(source.records.size());
    const int columns = int(source.header.size());
    for (const CsvText::Record& record : source.records) {
        Row row = evaluateRecord(record, columns, mapping);
        if (StudentFields::peselCharactersAllowed(row.given.value(StudentFields::Pesel)))
            byTable.append(rows.size());
        rows.append(std::move(row));
    }
    std::stable_sort(byTable.begin(), byTable.end(), [&rows](qsizetype a, qsizetype b) {
        return rows.at(a).tableName < rows.at(b).tableName;
    });
    // Two rows of the same number are one table: neither is taken, the user decides.
    for (qsizetype start = 0; start < byTable.size();) {
        qsizetype end = start + 1;
        while (end < byTable.size() &&
               rows.at(byTable.at(end)).tableName == rows.at(byTable.at(start)).tableName)
            ++end;
        const QList<qsizetype> same = byTable.mid(start, end - start);
        start = end;
        if (same.size() < 2)
            continue;
        const QString table = rows.at(same.first()).tableName;
        for (const qsizetype i : same) {
            QStringList others;
            for (const qsizetype j : same)
                if (j != i)
                    others << QString::number(rows.at(j).line);
            Row& row = rows[i];
            const QString lines = others.join(QStringLiteral(", "));
            const QString error =
                table == StudentFields::tableName(QString())
                    ? QStringLiteral(
                          "bez numeru PESEL, jak wiersz %1: w rejestrze może być tylko jeden uczeń bez "
                          "numeru PESEL")
                          .arg(lines)
                    : QStringLiteral("ten sam numer PESEL co w wierszu %1").arg(lines);
            row.errors = row.errors.isEmpty() ? error : row.errors + QStringLiteral("; ") + error;
            row.state = State::Error;
        }
    }
    for (Row& row : rows)
        if (row.state == State::Add && registerTables.contains(row.tableName))
            row.state = State::InRegister;
    return rows;
}

FieldRowList rowsOf(const Row& row, const FieldRowList& blank, const FieldRowList& stored)
{
    const QString section = StudentFields::Section;
    QHash<QString, QString> storedValues;
    for (const FieldRow& r : stored)
        if (r.id == section)
            storedValues.insert(r.compName, r.value);

    FieldRowList out;
    out.reserve(blank.size() + stored.size());
    QSet<QString> formFields;
    for (const FieldRow& r : blank) {
        if (r.id != section)
            continue;
        formFields.insert(r.compName);
        QString value = row.given.value(r.compName);
        if (value.isEmpty())
            value = storedValues.value(r.compName);
        if (value.isEmpty())
            value = row.fromPesel.value(r.compName);
        out.append({r.id, r.compName, value});
    }
    // A new student's documents are empty; a replaced one keeps the stored ones, and any
    // row the form does not know.
    for (const FieldRow& r : stored.isEmpty() ? blank : stored)
        if (r.id != section || !formFields.contains(r.compName))
            out.append(r);
    return out;
}

QByteArray exportText(const QList<FieldRowList>& students)
{
    const QChar separator = QLatin1Char(';');
    QStringList header;
    for (const Column column : {Column::Surname, Column::FirstName, Column::Pesel, Column::BirthDate,
                                Column::Town, Column::Province, Column::Sex, Column::RegisterNumber})
        header << caption(column);
    QString text = CsvText::formatRecord(header, separator);
    for (const FieldRowList& rows : students) {
        QHash<QString, QString> v;
        for (const FieldRow& r : rows)
            if (r.id == StudentFields::Section)
                v.insert(r.compName, r.value);
        const QString dayText = v.value(StudentFields::BirthDay);
        const QString yearText = v.value(StudentFields::BirthYear);
        // A date in the form's own words travels as a date; any other text as it stands,
        // since the import reads the day or the year alone just as well.
        int day = 0;
        int month = 0;
        const int year = BirthDate::parseYearText(yearText);
        const bool dayCanonical = BirthDate::parseDayText(dayText, day, month) &&
                                  QDate::isValid(2000, month, day) &&
                                  BirthDate::dayText(QDate(2000, month, day)) == dayText;
        const bool yearCanonical = year != 0 && BirthDate::yearText(year) == yearText;
        QString date;
        if (dayCanonical && yearCanonical && QDate::isValid(year, month, day))
            date = QDate(year, month, day).toString(Qt::ISODate);
        else
            date = QStringList({dayText, yearText}).join(QLatin1Char(' ')).trimmed();
        text += CsvText::formatRecord({v.value(StudentFields::Surname), v.value(StudentFields::FirstName),
                                       v.value(StudentFields::Pesel), date, v.value(StudentFields::Town),
                                       v.value(StudentFields::Province), v.value(StudentFields::Sex),
                                       v.value(StudentFields::RegisterNumber)},
                                      separator);
    }
    return QByteArray("\xEF\xBB\xBF") + text.toUtf8();
}

} // namespace StudentImport

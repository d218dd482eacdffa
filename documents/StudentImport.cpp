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

// The names e-registers and spreadsheets give each column, after plainName().
const ColumnInfo Columns[] = {
    {Column::Skip, "pomiń", ""},
    {Column::Surname, "Nazwisko", "nazwisko|nazwisko ucznia|nazwiska"},
    {Column::FirstName, "Imię", "imie|imie ucznia|pierwsze imie|imie 1|imie pierwsze"},
    {Column::FirstNames, "Imiona", "imiona|imiona ucznia"},
    {Column::Pesel, "PESEL", "pesel|nr pesel|numer pesel|pesel ucznia"},
    {Column::BirthDate, "Data urodzenia",
     "data urodzenia|data ur|data urodz|dt urodzenia|dt ur|urodzony|urodzona|urodzony(a)|data urodzenia "
     "ucznia"},
    {Column::Town, "Miejsce urodzenia",
     "miejsce urodzenia|miejscowosc urodzenia|miejsce ur|miejsce urodz|m urodzenia|m-ce urodzenia|m-ce "
     "ur|miasto urodzenia|miejscowosc ur"},
    {Column::Province, "Województwo",
     "wojewodztwo|wojewodztwo urodzenia|woj|woj urodzenia|wojewodztwo ur|woj ur"},
    {Column::Sex, "Płeć", "plec|plec ucznia|k/m"},
    {Column::RegisterNumber, "Nr w dzienniku",
     "nr w dzienniku|numer w dzienniku|nr dziennika|nr z dziennika|nr ucznia|numer ucznia|nr ucznia na "
     "swiadectwie"},
    {Column::SecondName, "Drugie imię", "drugie imie|imie drugie|imie 2|ii imie"},
    {Column::ClassName, "Klasa (nie jest zapisywana)", "klasa|oddzial|klasa/oddzial|oddzial/klasa|kl"},
};

// Columns a list often has that the import leaves out on purpose.
const char* const IgnoredNames = "lp|l p|nr|nr kolejny|liczba porzadkowa";

QString caption(Column column)
{
    return QString::fromUtf8(Columns[int(column)].caption);
}

// Lower case, Polish letters as their plain ones, full stops and colons left out, single
// blanks.
QString plainName(const QString& text)
{
    static const QString from = QStringLiteral("ąćęłńóśźż");
    static const QString to = QStringLiteral("acelnoszz");
    // The full stops of abbreviations are blanks: "Data ur." and "m.urodzenia" alike.
    QString out = text.toLower();
    for (QChar& c : out) {
        if (const qsizetype i = from.indexOf(c); i >= 0)
            c = to.at(i);
        else if (c == u'.' || c == u':')
            c = u' ';
    }
    return out.simplified();
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

// The file's text of a cell. The apostrophe the export puts before a text a spreadsheet
// would take for a formula comes off, and the text stays as it was written; any other
// text loses the blanks at its ends, but blanks before a formula character stay as one
// blank, so that "\t=1+1" never becomes a formula.
QString cellValue(const QString& raw)
{
    const QString cell = CsvText::unformula(raw);
    if (cell.size() < raw.size()) {
        qsizetype end = cell.size();
        while (end > 0 && cell.at(end - 1).isSpace() && cell.at(end - 1) != u'\t' &&
               cell.at(end - 1) != u'\r')
            --end;
        return cell.left(end);
    }
    const QString trimmed = cell.trimmed();
    if (!trimmed.isEmpty() && cell.front().isSpace() && CsvText::startsFormula(trimmed))
        return QLatin1Char(' ') + trimmed;
    return trimmed;
}

// The birth date of the file: a whole date, a day and month alone, or a year alone.
void takeBirthDate(const QString& value, const QDate& peselDate, Row& row, QStringList& errors)
{
    QDate date;
    switch (BirthDate::parse(value, date, peselDate)) {
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
    errors << QStringLiteral(
                  "data urodzenia %1 nie ma postaci 2008-03-14, 14.03.2008, 14/03/2008 ani 14 III 2008")
                  .arg(quoted(value));
}

Row evaluateRecord(const CsvText::Record& record, int columnCount, const QList<Column>& mapping,
                   const Options& options)
{
    Row row;
    row.line = record.line;
    QStringList errors;
    QStringList notes;
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
        if (column == Column::Skip || column == Column::ClassName)
            continue;
        const QString value = cellValue(record.fields.at(i));
        if (value.isEmpty())
            continue;
        checkText(value, column, errors);
        values.text[int(column)] = value;
    }

    QString surname = StudentFields::withCapital(values.value(Column::Surname));
    if (surname.isEmpty())
        errors << QStringLiteral("brak nazwiska");
    checkLength(surname, StudentFields::NameLimit, "nazwisko", errors);

    // Every first name the file gives: "Imiona" whole, "Imię" and "Drugie imię" together.
    QString firstName = values.value(Column::FirstName);
    if (firstName.isEmpty())
        firstName = values.value(Column::FirstNames);
    if (values.contains(Column::SecondName))
        firstName =
            QStringList({firstName, values.value(Column::SecondName)}).join(QLatin1Char(' ')).trimmed();
    firstName = StudentFields::withCapital(firstName);
    if (firstName.isEmpty())
        errors << QStringLiteral("brak imienia");
    checkLength(firstName, StudentFields::NameLimit, "imię", errors);

    QString pesel = values.value(Column::Pesel);
    // A spreadsheet that took the number for a number dropped its leading zero.
    if (const QString whole = Pesel::withLeadingZero(pesel); !whole.isEmpty()) {
        if (options.addLeadingZero) {
            notes << QStringLiteral("dopisano wiodące zero numeru PESEL (w pliku: %1)").arg(pesel);
            pesel = whole;
        } else {
            row.zeroOffered = whole;
            errors << QStringLiteral("numer PESEL %1 ma 10 cyfr: brak wiodącego zera? Poprawny byłby %2")
                          .arg(pesel, whole);
        }
    }
    const bool peselStorable =
        StudentFields::peselCharactersAllowed(pesel) && pesel.size() <= StudentFields::PeselLimit;
    if (!peselStorable)
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

    const Pesel::Decoded decoded = Pesel::decode(pesel);
    if (decoded.valid()) {
        row.fromPesel.insert(StudentFields::BirthDay, BirthDate::dayText(decoded.birthDate));
        row.fromPesel.insert(StudentFields::BirthYear, BirthDate::yearText(decoded.birthDate.year()));
        row.fromPesel.insert(StudentFields::Sex, Pesel::sexText(decoded.male));
    }
    if (values.contains(Column::BirthDate)) {
        QStringList dateErrors;
        takeBirthDate(values.value(Column::BirthDate), decoded.dateOk ? decoded.birthDate : QDate(), row,
                      dateErrors);
        // A date the PESEL gives makes a date the list spoils no reason to refuse the pupil.
        if (!dateErrors.isEmpty() && decoded.valid())
            notes << dateErrors.first() + QStringLiteral(": przyjęto datę z numeru PESEL");
        else
            errors << dateErrors;
    }
    if (values.contains(Column::Sex)) {
        const QString sex = sexOf(values.value(Column::Sex));
        if (sex.isEmpty())
            errors << QStringLiteral("płeć %1 nie jest rozpoznana (kobieta lub mężczyzna)")
                          .arg(quoted(values.value(Column::Sex)));
        give(StudentFields::Sex, sex);
    }
    if (!values.contains(Column::Sex) && !row.fromPesel.contains(StudentFields::Sex)) {
        if (!options.sexForMissing.isEmpty()) {
            give(StudentFields::Sex, options.sexForMissing);
            notes << QStringLiteral("płeć wybrana przy imporcie");
        } else {
            row.needsSex = true;
        }
    }
    if (row.zeroOffered.isEmpty() && peselStorable)
        notes << Pesel::warnings(pesel, row.given.value(StudentFields::BirthDay),
                                 row.given.value(StudentFields::BirthYear),
                                 row.given.value(StudentFields::Sex));
    if (row.needsSex)
        notes << QStringLiteral("brak płci (zostanie zapytana przy imporcie)");
    row.notes = notes;
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

bool ignoredHeader(const QString& header)
{
    const QString plain = plainName(header);
    return plain.isEmpty() || QString::fromLatin1(IgnoredNames).split(QLatin1Char('|')).contains(plain);
}

Problem read(const QString& text, QChar separator, Source& source)
{
    source = Source();
    if (text.trimmed().isEmpty())
        return Problem::Empty;
    CsvText::Breach breach = CsvText::Breach::None;
    QList<CsvText::Record> records = CsvText::parse(text, separator, ListLimits, breach, source.problemLine);
    switch (breach) {
    case CsvText::Breach::None:
        break;
    case CsvText::Breach::FieldsPerRecord:
        return Problem::TooManyColumns;
    case CsvText::Breach::CharsPerField:
        return Problem::FieldTooLong;
    case CsvText::Breach::CharsPerRecord:
        return Problem::LineTooLong;
    case CsvText::Breach::Records:
        return Problem::TooManyRows;
    case CsvText::Breach::Fields:
        return Problem::TooManyFields;
    }
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

namespace {

// A number as Polish print writes it: "1000", "20 000", "1 000 000".
QString grouped(qsizetype n)
{
    QString digits = QString::number(n);
    if (digits.size() > 4)
        for (qsizetype i = digits.size() - 3; i > 0; i -= 3)
            digits.insert(i, QChar(0x00A0));
    return digits;
}

} // namespace

QString problemText(Problem problem, const QString& path, int line)
{
    const QString file = QStringLiteral("Nie można wczytać listy uczniów z pliku:\n") + path + u'\n';
    const QString where = QStringLiteral(" (wiersz %1)").arg(line);
    switch (problem) {
    case Problem::TooLarge:
        return file + QStringLiteral("Plik jest większy niż %1 MB, a lista uczniów nigdy nie jest tak duża.")
                          .arg(LargestFile / (1024 * 1024));
    case Problem::TooManyColumns:
        return file + QStringLiteral("Plik ma więcej niż %1 kolumn%2.")
                          .arg(grouped(ListLimits.fieldsPerRecord), where);
    case Problem::FieldTooLong:
        return file + QStringLiteral("Pole pliku ma więcej niż %1 znaków%2.")
                          .arg(grouped(ListLimits.charsPerField), where);
    case Problem::LineTooLong:
        return file + QStringLiteral("Wiersz pliku ma więcej niż %1 znaków%2.")
                          .arg(grouped(ListLimits.charsPerRecord), where);
    case Problem::TooManyRows:
        return file + QStringLiteral("Plik ma więcej niż %1 wierszy.").arg(grouped(ListLimits.records));
    case Problem::TooManyFields:
        return file + QStringLiteral("Plik ma więcej niż %1 pól we wszystkich wierszach razem.")
                          .arg(grouped(ListLimits.fields));
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

QString unknownColumns(const Source& source, const QList<Column>& mapping)
{
    if (!source.hasHeader)
        return QString();
    QStringList out;
    for (qsizetype i = 0; i < source.header.size() && i < mapping.size(); ++i)
        if (mapping.at(i) == Column::Skip && !ignoredHeader(source.header.at(i)) &&
            columnOfHeader(source.header.at(i)) == Column::Skip)
            out << quoted(source.header.at(i));
    return out.join(QStringLiteral(", "));
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

QList<Row> evaluate(const Source& source, const QList<Column>& mapping, const QSet<QString>& registerTables,
                    const Options& options)
{
    QList<Row> rows;
    rows.reserve(source.records.size());
    QList<qsizetype> byTable; // rows of a storable number, sorted by table below
    byTable.reserve(source.records.size());
    const int columns = int(source.header.size());
    for (const CsvText::Record& record : source.records) {
        Row row = evaluateRecord(record, columns, mapping, options);
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
        // Each row names one other: the first names the second, the others the first, so
        // that twenty thousand copies of one number cost twenty thousand short messages.
        for (const qsizetype i : same) {
            Row& row = rows[i];
            const QString lines =
                QString::number(rows.at(i == same.first() ? same.at(1) : same.first()).line);
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
        QStringList cells{
            v.value(StudentFields::Surname),
            v.value(StudentFields::FirstName),
            v.value(StudentFields::Pesel),
            BirthDate::listText(v.value(StudentFields::BirthDay), v.value(StudentFields::BirthYear)),
            v.value(StudentFields::Town),
            v.value(StudentFields::Province),
            v.value(StudentFields::Sex),
            v.value(StudentFields::RegisterNumber)};
        for (QString& cell : cells)
            cell = CsvText::formulaSafe(cell);
        text += CsvText::formatRecord(cells, separator);
    }
    return QByteArray("\xEF\xBB\xBF") + text.toUtf8();
}

} // namespace StudentImport

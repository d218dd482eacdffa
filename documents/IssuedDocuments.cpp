#include "documents/IssuedDocuments.h"

#include "documents/DocumentFile.h"
#include "storage/Cp1250.h"
#include "storage/CppSQLite3.h"

#include <QByteArrayMatcher>
#include <QFile>
#include <QHash>
#include <QRegularExpression>

#include <algorithm>
#include <cstring>

namespace Issued {

namespace {

const QString kFieldPrefix = QStringLiteral("pole.");
// A record row stays within what the Windows version's readers hold in one value.
constexpr int kFieldLimit = 160;
constexpr int kRowLimit = 2000;

QString escaped(const QString& text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        if (c == u'\\')
            out += QStringLiteral("\\\\");
        else if (c == u'\n')
            out += QStringLiteral("\\n");
        else if (c == u'\r')
            out += QStringLiteral("\\r");
        else
            out += c;
    }
    return out;
}

QString unescaped(QStringView text)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'\\' && i + 1 < text.size()) {
            const QChar next = text[++i];
            out += next == u'n' ? QChar(u'\n') : next == u'r' ? QChar(u'\r') : next;
        } else {
            out += text[i];
        }
    }
    return out;
}

QString dateText(const QDate& date)
{
    return date.isValid() ? date.toString(Qt::ISODate) : QString();
}

QString timeText(const QDateTime& time)
{
    return time.isValid() ? time.toString(Qt::ISODate) : QString();
}

int stateCode(CaseState state)
{
    return int(state);
}

// The pattern as a regular expression that reads {nr} back out of a number.
QRegularExpression patternReader(const QString& pattern)
{
    QString effective = pattern.isEmpty() ? QStringLiteral("{nr}") : pattern;
    QString expression = QRegularExpression::escape(effective);
    expression.replace(QRegularExpression::escape(QStringLiteral("{nr}")), QStringLiteral("(?<nr>\\d{1,9})"));
    expression.replace(QRegularExpression::escape(QStringLiteral("{rok}")), QStringLiteral("\\d{4}"));
    return QRegularExpression(QRegularExpression::anchoredPattern(expression));
}

} // namespace

QString caseStateText(CaseState state)
{
    switch (state) {
    case CaseState::AwaitingConfirmation:
        return QStringLiteral("oczekuje na potwierdzenie");
    case CaseState::SendRecords:
        return QStringLiteral("wysłać kartę zdrowia i arkusz ocen");
    case CaseState::Closed:
        return QStringLiteral("zamknięta");
    case CaseState::None:
        break;
    }
    return QString();
}

QString documentName(int document)
{
    return document == 0 ? QStringLiteral("Zawiadomienie o przekazaniu")
                         : QStringLiteral("Potwierdzenie przyjęcia ucznia");
}

FieldRow toRow(const Record& r)
{
    QStringList lines{
        QStringLiteral("numer=") + escaped(r.number),
        QStringLiteral("dokument=%1").arg(r.document),
        QStringLiteral("wydano=") + timeText(r.issuedAt),
        QStringLiteral("miejsce=") + escaped(r.place.left(kFieldLimit)),
        QStringLiteral("szkola=") + escaped(r.school.left(kFieldLimit)),
        QStringLiteral("login=") + escaped(r.login),
        QStringLiteral("osoba=") + escaped(r.fullName.left(kFieldLimit)),
        QStringLiteral("cel=") + (r.toPdf ? QStringLiteral("pdf") : QStringLiteral("drukarka")),
        QStringLiteral("dokad=") + escaped(r.destination.left(kFieldLimit)),
        QStringLiteral("kopia=") + escaped(r.archive),
        QStringLiteral("kopia_uwaga=") + escaped(r.archiveNote.left(kFieldLimit)),
        QStringLiteral("duplikat=%1").arg(r.duplicate ? 1 : 0),
        QStringLiteral("uwaga=") + escaped(r.note.left(kFieldLimit)),
        QStringLiteral("sprawa=%1").arg(stateCode(r.state)),
        QStringLiteral("potwierdzono=") + dateText(r.confirmedOn),
        QStringLiteral("potwierdzenie_nr=") + escaped(r.confirmationNumber.left(kFieldLimit)),
        QStringLiteral("skan=") + escaped(r.confirmationScan),
        QStringLiteral("wyslano=") + dateText(r.sentOn),
        QStringLiteral("zmiana=") + timeText(r.changedAt),
    };
    // The texts as printed, as many as the row holds.
    qsizetype size = lines.join(QLatin1Char('\n')).size();
    for (auto it = r.fields.cbegin(); it != r.fields.cend(); ++it) {
        const QString line =
            kFieldPrefix + it.key() + QLatin1Char('=') + escaped(it.value().left(kFieldLimit));
        if (size + line.size() + 1 > kRowLimit)
            break;
        lines << line;
        size += line.size() + 1;
    }
    // A name of the desk's user or printer outside the code page must not lose the record.
    return {SectionId, r.key, Cp1250::decode(Cp1250::encodeLossy(lines.join(QLatin1Char('\n'))))};
}

bool fromRow(const FieldRow& row, Record& r)
{
    if (row.id != SectionId || row.compName.isEmpty())
        return false;
    r = Record();
    r.key = row.compName;
    QHash<QString, QString> values;
    for (const QString& line : row.value.split(QLatin1Char('\n'))) {
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq <= 0)
            continue;
        const QString name = line.left(eq);
        const QString value = unescaped(QStringView(line).mid(eq + 1));
        if (name.startsWith(kFieldPrefix))
            r.fields.insert(name.mid(kFieldPrefix.size()), value);
        else
            values.insert(name, value);
    }
    r.number = values.value(QStringLiteral("numer"));
    r.document = values.value(QStringLiteral("dokument")).toInt() == 1 ? 1 : 0;
    r.issuedAt = QDateTime::fromString(values.value(QStringLiteral("wydano")), Qt::ISODate);
    r.place = values.value(QStringLiteral("miejsce"));
    r.school = values.value(QStringLiteral("szkola"));
    r.login = values.value(QStringLiteral("login"));
    r.fullName = values.value(QStringLiteral("osoba"));
    r.toPdf = values.value(QStringLiteral("cel")) == QStringLiteral("pdf");
    r.destination = values.value(QStringLiteral("dokad"));
    r.archive = values.value(QStringLiteral("kopia"));
    r.archiveNote = values.value(QStringLiteral("kopia_uwaga"));
    r.duplicate = values.value(QStringLiteral("duplikat")) == QStringLiteral("1");
    r.note = values.value(QStringLiteral("uwaga"));
    const int state = values.value(QStringLiteral("sprawa")).toInt();
    r.state = state >= 0 && state <= int(CaseState::Closed) ? CaseState(state) : CaseState::None;
    r.confirmedOn = QDate::fromString(values.value(QStringLiteral("potwierdzono")), Qt::ISODate);
    r.confirmationNumber = values.value(QStringLiteral("potwierdzenie_nr"));
    r.confirmationScan = values.value(QStringLiteral("skan"));
    r.sentOn = QDate::fromString(values.value(QStringLiteral("wyslano")), Qt::ISODate);
    r.changedAt = QDateTime::fromString(values.value(QStringLiteral("zmiana")), Qt::ISODate);
    return true;
}

QList<Record> recordsOf(const FieldRowList& rows, const QString& tableName, const QString& pupil)
{
    QList<Record> out;
    Record record;
    for (const FieldRow& row : rows) {
        if (!fromRow(row, record))
            continue;
        record.tableName = tableName;
        record.pupil = pupil;
        // Of two rows with the same key the later one wins, as with the form rows.
        auto same =
            std::find_if(out.begin(), out.end(), [&](const Record& r) { return r.key == record.key; });
        if (same != out.end())
            *same = record;
        else
            out << record;
    }
    return out;
}

void putRecord(FieldRowList& rows, const Record& record)
{
    const FieldRow row = toRow(record);
    for (FieldRow& existing : rows) {
        if (existing.id == SectionId && existing.compName == record.key) {
            existing = row;
            return;
        }
    }
    rows << row;
}

void carryRecords(const FieldRowList& from, FieldRowList& into)
{
    for (const FieldRow& row : from)
        if (row.id == SectionId)
            into << row;
}

QString checkPattern(const QString& pattern)
{
    if (pattern.isEmpty())
        return QString();
    if (pattern.size() > PatternLimit)
        return QStringLiteral("Wzór numeru L. dz. może mieć najwyżej %1 znaków.").arg(PatternLimit);
    if (!pattern.contains(QStringLiteral("{nr}")))
        return QStringLiteral("Wzór numeru L. dz. musi zawierać {nr} – miejsce kolejnego numeru.");
    static const QString kForbidden = QStringLiteral("/\\:*?\"<>|");
    for (const QChar c : pattern)
        if (kForbidden.contains(c) || c.unicode() < 32)
            return QStringLiteral("Wzór numeru L. dz. nie może zawierać znaku \"%1\": numer jest częścią "
                                  "nazwy pliku kopii dokumentu.")
                .arg(c.unicode() < 32 ? QStringLiteral(" ") : QString(c));
    return QString();
}

QString numberFor(const QString& pattern, int nr, int year)
{
    if (pattern.isEmpty())
        return QString::number(nr);
    QString out = pattern;
    out.replace(QStringLiteral("{nr}"), QString::number(nr));
    out.replace(QStringLiteral("{rok}"), QString::number(year));
    return out;
}

int nextNr(const QString& pattern, int year, const QList<Record>& records)
{
    const QRegularExpression reader = patternReader(pattern);
    int highest = 0;
    for (const Record& r : records) {
        if (r.issuedAt.date().year() != year)
            continue;
        const QRegularExpressionMatch m = reader.match(r.number);
        if (m.hasMatch())
            highest = std::max(highest, m.captured(QStringLiteral("nr")).toInt());
    }
    return highest + 1;
}

bool numberTaken(const QString& number, const QList<Record>& records, const QString& tableName, int document)
{
    const QString wanted = number.trimmed();
    return std::any_of(records.cbegin(), records.cend(), [&](const Record& r) {
        return r.number.trimmed() == wanted && !(r.tableName == tableName && r.document == document);
    });
}

const Record* lastIssue(const QList<Record>& records, const QString& tableName, int document)
{
    const Record* last = nullptr;
    for (const Record& r : records)
        if (r.tableName == tableName && r.document == document && !r.duplicate &&
            (!last || r.issuedAt >= last->issuedAt))
            last = &r;
    return last;
}

bool noteConfirmation(Record& record, const QDate& on, const QString& number, const QString& scan,
                      QString& error)
{
    if (record.state != CaseState::AwaitingConfirmation) {
        error = QStringLiteral("Ta sprawa nie oczekuje na potwierdzenie przyjęcia.");
        return false;
    }
    if (!on.isValid() || on < record.issuedAt.date()) {
        error = QStringLiteral("Data potwierdzenia (%1) jest wcześniejsza niż data zawiadomienia (%2).")
                    .arg(on.toString(QStringLiteral("dd.MM.yyyy")),
                         record.issuedAt.date().toString(QStringLiteral("dd.MM.yyyy")));
        return false;
    }
    record.confirmedOn = on;
    record.confirmationNumber = number.trimmed();
    record.confirmationScan = scan;
    record.state = CaseState::SendRecords;
    return true;
}

bool noteSent(Record& record, const QDate& on, QString& error)
{
    if (record.state != CaseState::SendRecords) {
        error = QStringLiteral("Najpierw trzeba odnotować potwierdzenie przyjęcia ucznia.");
        return false;
    }
    if (!on.isValid() || on < record.confirmedOn) {
        error = QStringLiteral("Data wysłania jest wcześniejsza niż data potwierdzenia przyjęcia.");
        return false;
    }
    record.sentOn = on;
    record.state = CaseState::Closed;
    return true;
}

int caseAge(const Record& record, const QDate& today)
{
    const QDate since = record.state == CaseState::SendRecords ? record.confirmedOn : record.issuedAt.date();
    return since.isValid() ? int(since.daysTo(today)) : 0;
}

bool bFunLoadIssues(MessageBuffer& buf, const QString& path, const QList<StudentListEntry>& students,
                    QList<Record>& records, const QStringList& known, const QList<FieldRowList>& knownRows)
{
    QStringList tables;
    for (const StudentListEntry& s : students)
        if (!known.contains(s.tableName))
            tables << s.tableName;
    QList<FieldRowList> rows;
    QStringList unreadable;
    if (!tables.isEmpty() && !bFunLoadStudentTables(buf, path, tables, rows, &unreadable))
        return false;
    for (const StudentListEntry& s : students) {
        const qsizetype k = known.indexOf(s.tableName);
        const FieldRowList& own = k >= 0 ? knownRows.at(k) : rows.at(tables.indexOf(s.tableName));
        records << recordsOf(own, s.tableName, s.displayName);
    }
    return true;
}

bool bFunStoreIssues(MessageBuffer& buf, const QString& path, const QList<Record>& records)
{
    // Only the records' own rows are written: the rest of the pupils' tables stay untouched.
    QList<std::pair<QString, FieldRow>> rows;
    rows.reserve(records.size());
    for (const Record& r : records)
        rows.append({r.tableName, toRow(r)});
    return bFunPutStudentRows(buf, path, rows);
}

FieldRowList joinRecords(const FieldRowList& base, const FieldRowList& other)
{
    FieldRowList out = base;
    for (const Record& theirs : recordsOf(other)) {
        const QList<Record> mine = recordsOf(out);
        auto same =
            std::find_if(mine.cbegin(), mine.cend(), [&](const Record& r) { return r.key == theirs.key; });
        if (same == mine.cend() || theirs.changedAt > same->changedAt)
            putRecord(out, theirs);
    }
    return out;
}

QList<Record> markRepeatedNumbers(QList<Record>& records, QStringList& messages)
{
    QList<Record*> originals;
    for (Record& r : records)
        if (!r.duplicate && !r.number.isEmpty())
            originals << &r;
    std::stable_sort(originals.begin(), originals.end(),
                     [](const Record* a, const Record* b) { return a->issuedAt < b->issuedAt; });
    QHash<QString, const Record*> first;
    QList<Record> changed;
    for (Record* r : std::as_const(originals)) {
        const Record* earlier = first.value(r->number.trimmed());
        if (!earlier) {
            first.insert(r->number.trimmed(), r);
            continue;
        }
        const QString note =
            QStringLiteral("numer %1 wydano także: %2, %3 (%4)")
                .arg(r->number, earlier->pupil, documentName(earlier->document), earlier->login);
        messages << QStringLiteral(
                        "Numer %1 został już wydany (%2, %3); dokument ucznia %4 ma ten sam numer.")
                        .arg(r->number, earlier->pupil, documentName(earlier->document), r->pupil);
        if (r->note != note) {
            r->note = note;
            changed << *r;
        }
    }
    return changed;
}

namespace {

// Every table's rows that hold records, by table name.
bool loadRecordRows(MessageBuffer& buf, const QString& path, QHash<QString, FieldRowList>& out)
{
    QStringList tables;
    try {
        if (!bFunGetTableList(buf, path, tables))
            return false;
    } catch (const CppSQLite3Exception&) {
        return false;
    }
    QList<FieldRowList> rows;
    QStringList unreadable;
    if (!bFunLoadStudentTables(buf, path, tables, rows, &unreadable))
        return false;
    for (qsizetype i = 0; i < tables.size(); ++i) {
        FieldRowList records;
        carryRecords(rows.at(i), records);
        if (!records.isEmpty())
            out.insert(tables.at(i), records);
    }
    return true;
}

// Whether the register file at `path` may hold record rows: false only when it is a
// database of UTF-8 text in which the section name occurs nowhere. SQLite keeps text as
// stored, and a row's first value (the section) always lies on the row's own page, so a
// file without those bytes has no record row. Anything else (unreadable, another text
// encoding) may hold some.
bool mayHoldRecords(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() < 100)
        return true;
    const uchar* data = file.map(0, file.size());
    if (!data)
        return true;
    const auto* h = data;
    if (std::memcmp(h, "SQLite format 3", 16) != 0 || h[56] != 0 || h[57] != 0 || h[58] != 0 || h[59] != 1)
        return true;
    static const QByteArrayMatcher section(SectionId.toLatin1());
    return section.indexIn(QByteArrayView(reinterpret_cast<const char*>(data), file.size())) >= 0;
}

} // namespace

bool bFunMergeKeepingIssues(MessageBuffer& buf, const RegisterMergeContext& context, RegisterMergePlan& plan,
                            QStringList& repeats)
{
    const QString& merged = context.merged;
    const QString& theirs = context.theirs;
    // The joined file holds only tables of the two sides: without record rows on either
    // side there are none to keep and no number given twice.
    if (!mayHoldRecords(merged) && !mayHoldRecords(theirs))
        return bFunMergeRegisters(buf, context, plan);
    QHash<QString, FieldRowList> mine, other;
    MessageBuffer quiet;
    // A side whose records cannot be read joins as before.
    loadRecordRows(quiet, merged, mine);
    loadRecordRows(quiet, theirs, other);
    if (!bFunMergeRegisters(buf, context, plan))
        return false;
    QList<StudentListEntry> students;
    if (!bFunGetStudentsList(buf, merged, students))
        return true; // the join stands; its listing reports the failure
    QList<StudentTable> changed;
    QStringList tables;
    for (const StudentListEntry& s : std::as_const(students))
        tables << s.tableName;
    QList<FieldRowList> rows;
    if (!bFunLoadStudentTables(buf, merged, tables, rows))
        return true;
    QList<Record> all;
    for (qsizetype i = 0; i < tables.size(); ++i) {
        FieldRowList joined =
            joinRecords(joinRecords(rows.at(i), mine.value(tables.at(i))), other.value(tables.at(i)));
        if (joined != rows.at(i))
            changed << StudentTable{tables.at(i), joined, true};
        all << recordsOf(joined, tables.at(i), students.at(i).displayName);
    }
    if (!changed.isEmpty() && !bFunStoreStudents(buf, merged, changed))
        return false;
    const QList<Record> noted = markRepeatedNumbers(all, repeats);
    return noted.isEmpty() || bFunStoreIssues(buf, merged, noted);
}

} // namespace Issued

#include "storage/CalibrationStore.h"

#include "platform/FileOps.h"
#include "storage/CppSQLite3.h"
#include "storage/DataPaths.h"
#include "storage/SqlText.h"

#include <QFileInfo>
#include <QSet>

namespace {

const char* const kDocumentKeys[] = {"zawiadomienie_o_przekazaniu", "potwierdzenie_przyjecia_ucznia"};

// The integer columns of a calibration table with the values an object may take;
// `required` ones must not be NULL (the others read NULL as 0).
struct IntegerColumn {
    const char* name;
    int CalibEntry::*field;
    int low, high;
    bool required;
};
constexpr IntegerColumn kIntegerColumns[] = {
    {"x1", &CalibEntry::x1, -20000, 20000, true},
    {"y1", &CalibEntry::y1, -20000, 20000, true},
    {"x2", &CalibEntry::x2, -20000, 20000, true},
    {"y2", &CalibEntry::y2, -20000, 20000, true},
    {"font_size", &CalibEntry::fontSize, 1, 200, true},
    {"font_align", &CalibEntry::align, 0, 3, false},
    {"font_style_bold", &CalibEntry::bold, 0, 1, false},
    {"font_style_italic", &CalibEntry::italic, 0, 1, false},
    {"font_style_underline", &CalibEntry::underline, 0, 1, false},
    {"font_style_strike", &CalibEntry::strike, 0, 1, false},
};

// The longest object and font names the entries hold.
constexpr qsizetype NameLengthLimit = 255;
constexpr qsizetype FontNameLengthLimit = 99;

// Font names are made of letters, digits, blanks and a few marks ("Times New Roman",
// "DejaVu Sans Mono", "Arial Narrow", "MS Sans Serif", "Noto Sans CJK JP").
bool isFontNameCharacter(QChar c)
{
    return c.isLetterOrNumber() || c == QLatin1Char(' ') || QStringLiteral("-_.&'(),+").contains(c);
}

// The reason why the names of an object cannot be taken, or the empty text.
QString checkNames(const CalibEntry& entry)
{
    if (entry.name.size() > NameLengthLimit)
        return QStringLiteral(" ma nazwę dłuższą niż %1 znaków").arg(NameLengthLimit);
    for (const QChar c : entry.name)
        if (c.category() == QChar::Other_Control || c.category() == QChar::Other_Format)
            return QStringLiteral(" ma w nazwie znak sterujący");
    if (entry.fontName.trimmed().isEmpty())
        return QStringLiteral(" nie ma nazwy czcionki");
    if (entry.fontName.size() > FontNameLengthLimit)
        return QStringLiteral(" ma nazwę czcionki dłuższą niż %1 znaków").arg(FontNameLengthLimit);
    for (const QChar c : entry.fontName)
        if (!isFontNameCharacter(c))
            return QStringLiteral(" ma w nazwie czcionki znak, którego nazwy czcionek nie zawierają");
    return QString();
}

// The columns as the installed calibration file creates them.
QString createCalibTable(const QString& table)
{
    return QStringLiteral("create table `") + SqlText::ident(table) +
           QStringLiteral("`( `name` TEXT, `x1` INTEGER, `y1` INTEGER, `x2` INTEGER, `y2` INTEGER, "
                          "`font_name` TEXT, `font_size` INTEGER, `font_align` INTEGER, "
                          "`font_style_bold` INTEGER, `font_style_italic` INTEGER, "
                          "`font_style_underline` INTEGER, `font_style_strike` INTEGER )");
}

QString quoted(const QString& text)
{
    // A message names an object; a name of a whole page would bury the reason, and a
    // control character would garble it.
    QString shown = text.size() > 80 ? text.left(80) + QStringLiteral("…") : text;
    for (QChar& c : shown)
        if (c.category() == QChar::Other_Control || c.category() == QChar::Other_Format)
            c = QLatin1Char('?');
    return QLatin1Char('"') + shown + QLatin1Char('"');
}

// The reason why the object cannot take the column's value, or the empty text.
QString takeInteger(const CppSQLite3Query& q, const IntegerColumn& column, CalibEntry& entry)
{
    const int index = q.columnIndex(column.name);
    const QString in = QStringLiteral(" w kolumnie \"%1\"").arg(QLatin1String(column.name));
    // Read before the text: reading a value as text may change the type SQLite reports.
    const int type = q.typeAt(index);
    if (type == SQLITE_NULL) {
        entry.*column.field = 0;
        return column.required ? QStringLiteral(" nie ma wartości") + in : QString();
    }
    const QByteArray text = QByteArray(q.textAt(index, "")).trimmed();
    bool integer = false;
    const qlonglong value = text.toLongLong(&integer, 10);
    if (!integer || type == SQLITE_FLOAT || type == SQLITE_BLOB)
        return QStringLiteral(" ma") + in + QStringLiteral(" wartość ") +
               quoted(SqlText::text(text.constData())) + QStringLiteral(", która nie jest liczbą całkowitą");
    // The program stores numbers as numbers; digits kept as text come from elsewhere.
    if (type != SQLITE_INTEGER)
        return QStringLiteral(" ma") + in + QStringLiteral(" wartość ") +
               quoted(SqlText::text(text.constData())) +
               QStringLiteral(" zapisaną jako tekst, a nie jako liczbę całkowitą");
    if (value < column.low || value > column.high)
        return QStringLiteral(" ma") + in +
               QStringLiteral(" wartość %1 spoza zakresu od %2 do %3")
                   .arg(value)
                   .arg(column.low)
                   .arg(column.high);
    entry.*column.field = int(value);
    return QString();
}

QString tableNamed(const char* key)
{
    return QStringLiteral("\"%1\"").arg(QLatin1String(key));
}

// Whether the document table is there with every column; the reason it is not, or empty.
QString checkCalibColumns(CppSQLite3DB& db, const char* key)
{
    const QString named = tableNamed(key);
    if (!db.hasTable(key))
        return QStringLiteral("brak tablicy ") + named;
    QSet<QByteArray> present;
    SqlText::forEachRow(db, QByteArray("PRAGMA table_info(`") + key + "`)",
                        [&present](const CppSQLite3Query& q) { present.insert(q.textOf("name", "")); });
    QByteArrayList columns{"name", "font_name"};
    for (const IntegerColumn& column : kIntegerColumns)
        columns.append(column.name);
    for (const QByteArray& column : std::as_const(columns))
        if (!present.contains(column))
            return QStringLiteral("w tablicy %1 brak kolumny \"%2\"").arg(named, QString::fromLatin1(column));
    return QString();
}

// Reads the objects of one document table, checking every one; the reason of a refusal
// or empty.
QString readCalibRows(CppSQLite3DB& db, const char* key, CalibTable& table)
{
    const QString named = tableNamed(key);
    table.name = QString::fromLatin1(key);
    QString reason;
    QSet<QString> names;
    CppSQLite3Query q = db.runQuery(QByteArray("select * from `") + key + "`");
    for (; !q.atEnd(); q.next()) {
        if (table.entries.size() == CalibObjectLimit) {
            reason = QStringLiteral("tablica %1 zawiera ponad %2 obiektów").arg(named).arg(CalibObjectLimit);
            break;
        }
        CalibEntry entry;
        entry.name = SqlText::text(q.textOf("name", ""));
        entry.fontName = SqlText::text(q.textOf("font_name", ""));
        const QString object = QStringLiteral("w tablicy ") + named + QStringLiteral(" obiekt ");
        if (entry.name.trimmed().isEmpty()) {
            reason = object + QStringLiteral("nr %1 nie ma nazwy").arg(table.entries.size() + 1);
            break;
        }
        if (const QString why = checkNames(entry); !why.isEmpty()) {
            reason = object + quoted(entry.name) + why;
            break;
        }
        // The editor and the renderer find an object by its name: a second one of the
        // same name could never be edited.
        if (names.contains(entry.name)) {
            reason = object + quoted(entry.name) + QStringLiteral(" występuje więcej niż raz");
            break;
        }
        names.insert(entry.name);
        for (const IntegerColumn& column : kIntegerColumns)
            if (const QString why = takeInteger(q, column, entry); !why.isEmpty()) {
                reason = object + quoted(entry.name) + why;
                break;
            }
        if (!reason.isEmpty())
            break;
        table.entries.append(std::move(entry));
    }
    q.release();
    if (reason.isEmpty() && table.entries.isEmpty())
        reason = QStringLiteral("tablica ") + named + QStringLiteral(" nie zawiera żadnego obiektu");
    return reason;
}

} // namespace

bool bFunCalibLoadData(MessageBuffer& buf, const QString& path, const QString& table,
                       QList<CalibEntry>& entries)
{
    const QString label = QStringLiteral("bFunCalibLoadData()");
    if (!FileOps::exists(path))
        return SqlText::fail(buf, QStringLiteral("Plik nie istnieje: \n") + path, label);
    bool tableMissing = false;
    const bool read =
        SqlText::readFile(buf, path, QStringLiteral("SQLite exception: \n"), label, [&](CppSQLite3DB& db) {
            if (!db.hasTable(SqlText::bytes(table))) {
                tableMissing = true;
                return;
            }
            entries.clear();
            const QByteArray select = SqlText::bytes(QStringLiteral("select * from `") +
                                                     SqlText::ident(table) + QStringLiteral("`"));
            SqlText::forEachRow(db, select, [&entries](const CppSQLite3Query& q) {
                CalibEntry e;
                e.name = SqlText::text(q.textOf("name", ""));
                e.x1 = q.intOf("x1", 0);
                e.y1 = q.intOf("y1", 0);
                e.x2 = q.intOf("x2", 0);
                e.y2 = q.intOf("y2", 0);
                e.fontName = SqlText::text(q.textOf("font_name", ""));
                e.fontSize = q.intOf("font_size", 0);
                e.align = q.intOf("font_align", 0);
                e.bold = q.intOf("font_style_bold", 0);
                e.italic = q.intOf("font_style_italic", 0);
                e.underline = q.intOf("font_style_underline", 0);
                e.strike = q.intOf("font_style_strike", 0);
                entries.append(std::move(e));
            });
        });
    if (tableMissing)
        return SqlText::fail(buf, QStringLiteral("Tablica nie istnieje: \n") + table, label);
    return read;
}

bool bFunSqlCalibUpdateValue(MessageBuffer& buf, const QString& path, const QString& table,
                             const CalibEntry& entry)
{
    const QString label = QStringLiteral("bFunSqlCalibUpdateValue()");
    if (!FileOps::exists(path))
        return SqlText::fail(buf, QStringLiteral("Plik nie istnieje.\n") + path, label);
    auto n = [](int value) { return QString::number(value); };
    // Quotes in the texts are doubled, so a name or font with an apostrophe is stored as typed.
    const QString update =
        QStringLiteral("update `") + SqlText::ident(table) + QStringLiteral("` set `x1`='") + n(entry.x1) +
        QStringLiteral("', `y1`='") + n(entry.y1) + QStringLiteral("', `x2`='") + n(entry.x2) +
        QStringLiteral("', `y2`='") + n(entry.y2) + QStringLiteral("', `font_name`='") +
        strFunSqlEscape(entry.fontName) + QStringLiteral("', `font_size`='") + n(entry.fontSize) +
        QStringLiteral("', `font_align`='") + n(entry.align) + QStringLiteral("', `font_style_bold`='") +
        n(entry.bold) + QStringLiteral("', `font_style_italic`='") + n(entry.italic) +
        QStringLiteral("', `font_style_underline`='") + n(entry.underline) +
        QStringLiteral("', `font_style_strike`='") + n(entry.strike) + QStringLiteral("' where `name`='") +
        strFunSqlEscape(entry.name) + QStringLiteral("'");
    CppSQLite3DB db;
    try {
        const QByteArray sql = SqlText::bytes(update);
        db.openFile(path);
        if (db.runStatement(sql) == 0) {
            SqlText::closeQuietly(db);
            return SqlText::fail(buf, QStringLiteral("Błąd aktualizacji wpisu kalibracji.\n\n") + update,
                                 label);
        }
        db.closeFile();
        return true;
    } catch (const CppSQLite3Exception& e) {
        SqlText::closeQuietly(db);
        return SqlText::fail(buf, e, QStringLiteral("SqlException\n"), label);
    }
}

bool bFunCalibLoadCertList(MessageBuffer& buf, QStringList& names)
{
    names.clear();
    const QString path = strFunGetCalibFilePath(buf, false);
    return SqlText::readFile(buf, path, QStringLiteral("Sql exception: "),
                             QStringLiteral("bFunCalibLoadCertList()"), [&names](CppSQLite3DB& db) {
                                 SqlText::forEachRow(db, "SELECT * FROM sqlite_master WHERE type='table'",
                                                     [&names](const CppSQLite3Query& q) {
                                                         names.append(SqlText::text(q.textOf("name", "")));
                                                     });
                             });
}

bool bFunReadCalibFile(const QString& path, QList<CalibTable>& tables, QString& reason)
{
    tables.clear();
    const QFileInfo file(path);
    if (!file.exists()) {
        reason = QStringLiteral("plik nie istnieje");
        return false;
    }
    // A pipe or a device would keep the reading waiting or never end.
    if (FileOps::kind(path) != FileOps::Kind::Regular) {
        reason = QStringLiteral("wskazany plik nie jest zwykłym plikiem");
        return false;
    }
    if (file.size() > CalibFileSizeLimit) {
        reason = QStringLiteral("plik ma %1 MB, a plik kalibracji ma najwyżej %2 MB")
                     .arg((file.size() + 1024 * 1024 - 1) / (1024 * 1024))
                     .arg(CalibFileSizeLimit / (1024 * 1024));
        return false;
    }
    CppSQLite3DB db;
    try {
        db.openUntouched(path);
        db.limitValueLength(CalibValueLengthLimit);
        for (const char* key : kDocumentKeys) {
            reason = checkCalibColumns(db, key);
            if (!reason.isEmpty()) {
                db.closeFile();
                return false;
            }
        }
        for (const char* key : kDocumentKeys) {
            CalibTable table;
            reason = readCalibRows(db, key, table);
            if (!reason.isEmpty()) {
                db.closeFile();
                tables.clear();
                return false;
            }
            tables.append(std::move(table));
        }
        db.closeFile();
        return true;
    } catch (const CppSQLite3Exception& e) {
        SqlText::closeQuietly(db);
        tables.clear();
        if (e.code() == SQLITE_NOTADB)
            reason = QStringLiteral("plik nie jest bazą danych SQLite");
        else if (e.code() == SQLITE_TOOBIG)
            reason =
                QStringLiteral("plik zawiera wartość dłuższą niż %1 kB").arg(CalibValueLengthLimit / 1024);
        else
            reason = SqlText::reason(e.code());
        return false;
    }
}

bool bFunWriteCalibFile(MessageBuffer& buf, const QString& path, const QList<CalibTable>& tables)
{
    for (const char* suffix : {"", "-journal"})
        FileOps::removeFile(path + QString::fromLatin1(suffix));
    CppSQLite3DB db;
    try {
        // Encoded before the file is made: a text that cannot be stored writes nothing.
        QList<QByteArray> statements;
        for (const CalibTable& table : tables) {
            statements.append(SqlText::bytes(createCalibTable(table.name)));
            for (const CalibEntry& e : table.entries) {
                QString insert = QStringLiteral("insert into `") + SqlText::ident(table.name) +
                                 QStringLiteral("` values( '") + strFunSqlEscape(e.name) +
                                 QStringLiteral("'");
                for (const int value : {e.x1, e.y1, e.x2, e.y2})
                    insert += QStringLiteral(", '%1'").arg(value);
                insert += QStringLiteral(", '") + strFunSqlEscape(e.fontName) + QStringLiteral("'");
                for (const int value : {e.fontSize, e.align, e.bold, e.italic, e.underline, e.strike})
                    insert += QStringLiteral(", '%1'").arg(value);
                statements.append(SqlText::bytes(insert + QStringLiteral(" )")));
            }
        }
        db.openFile(path);
        db.runStatement("begin transaction;");
        for (const QByteArray& statement : std::as_const(statements))
            db.runStatement(statement);
        db.runStatement("commit transaction;");
        db.closeFile();
        return true;
    } catch (const CppSQLite3Exception& e) {
        SqlText::rollbackAndClose(db);
        for (const char* suffix : {"", "-journal"})
            FileOps::removeFile(path + QString::fromLatin1(suffix));
        return SqlText::fail(buf, e, QStringLiteral("SQLite exception: \n"),
                             QStringLiteral("bFunWriteCalibFile()"));
    }
}

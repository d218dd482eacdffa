// Comma-separated text as spreadsheet programs and school e-registers write it:
// UTF-8 (with or without a byte-order mark) or Windows-1250, fields separated by ';',
// ',' or a tab, quoted fields that hold separators, quotes and line breaks, Windows
// and Unix line ends.
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

namespace CsvText {

enum class Encoding { Utf8, Windows1250 };

// True when the bytes are a valid UTF-8 text (a byte-order mark allowed) or, for
// Windows-1250, hold no byte the code page leaves unassigned.
bool decodesCleanly(const QByteArray& bytes, Encoding encoding);
// UTF-8 when the bytes decode cleanly as UTF-8 (plain ASCII does), otherwise Windows-1250.
Encoding detectEncoding(const QByteArray& bytes);
// The text; a UTF-8 byte-order mark is dropped, bytes that do not decode become U+FFFD.
QString decode(const QByteArray& bytes, Encoding encoding);

// A file that holds NUL bytes or many control characters is no text.
bool looksBinary(const QByteArray& bytes);

// The separator the first record uses most often outside quotes: ';', ',' or a tab;
// ';' when it uses none.
QChar detectSeparator(const QString& text);

struct Record {
    QStringList fields;
    int line = 0;              // the line of the text the record starts on, from 1
    bool unterminated = false; // a quoted field ran to the end of the text
};

// Splits the text into records. A line end inside quotes belongs to the field; CR LF,
// LF and a lone CR end a record; "" inside quotes is one quote. A quote inside an
// unquoted field and text after a closing quote are kept as they stand. The line end
// after the last record gives no empty record; an empty line gives a record of one
// empty field.
QList<Record> parse(const QString& text, QChar separator);

// The most a text may hold, so that a hostile file costs bounded time and memory.
struct Limits {
    qsizetype fieldsPerRecord = 200;
    qsizetype charsPerField = 1000;
    qsizetype charsPerRecord = 20000;
    qsizetype records = 50000;
    qsizetype fields = 1000000; // of all records together
};
enum class Breach { None, FieldsPerRecord, CharsPerField, CharsPerRecord, Records, Fields };
// As parse(), but stops at the first limit the text passes: `breach` says which, and
// `line` the line of the record that passed it; the records read are then incomplete.
QList<Record> parse(const QString& text, QChar separator, const Limits& limits, Breach& breach, int& line);

// A cell a spreadsheet would take for a formula (it begins with '=', '+', '-', '@', a
// tab or a carriage return) is written after an apostrophe, which spreadsheets show
// as nothing; unformula() takes that apostrophe off again.
bool startsFormula(QStringView cell);
QString formulaSafe(const QString& cell);
QString unformula(const QString& cell);

// One record as a line ending in CR LF; fields that hold the separator, a quote, a line
// end or blanks at either end are quoted. The fields are written as given: a caller
// writing for spreadsheets passes them through formulaSafe() first.
QString formatRecord(const QStringList& fields, QChar separator);

} // namespace CsvText

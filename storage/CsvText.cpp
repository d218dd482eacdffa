#include "storage/CsvText.h"

#include "storage/Cp1250.h"

#include <QStringDecoder>

#include <algorithm>
#include <limits>

namespace CsvText {

namespace {

// The bytes the code page leaves unassigned.
bool unassignedIn1250(unsigned char c)
{
    return c == 0x81 || c == 0x83 || c == 0x88 || c == 0x90 || c == 0x98;
}

const QChar Quote = QLatin1Char('"');
const QChar Cr = QLatin1Char('\r');
const QChar Lf = QLatin1Char('\n');

} // namespace

bool decodesCleanly(const QByteArray& bytes, Encoding encoding)
{
    if (encoding == Encoding::Windows1250)
        return std::none_of(bytes.cbegin(), bytes.cend(), [](char c) { return unassignedIn1250(uchar(c)); });
    QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    const QString text = decoder.decode(bytes);
    return !decoder.hasError();
}

Encoding detectEncoding(const QByteArray& bytes)
{
    return decodesCleanly(bytes, Encoding::Utf8) ? Encoding::Utf8 : Encoding::Windows1250;
}

QString decode(const QByteArray& bytes, Encoding encoding)
{
    if (encoding == Encoding::Windows1250)
        return Cp1250::decode(bytes);
    QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    return decoder.decode(bytes);
}

bool looksBinary(const QByteArray& bytes)
{
    qsizetype controls = 0;
    for (const char c : bytes) {
        if (c == '\0')
            return true;
        if (uchar(c) < 0x20 && c != '\t' && c != '\n' && c != '\r' && c != '\f')
            ++controls;
    }
    // A stray control character or two do not make a class list binary.
    return controls > 8 && controls * 100 > bytes.size();
}

QChar detectSeparator(const QString& text)
{
    const QChar candidates[] = {QLatin1Char(';'), QLatin1Char(','), QLatin1Char('\t')};
    qsizetype counts[3] = {0, 0, 0};
    bool quoted = false;
    for (const QChar c : text) {
        if (c == Quote)
            quoted = !quoted;
        else if (!quoted && (c == Cr || c == Lf))
            break;
        else if (!quoted)
            for (int i = 0; i < 3; ++i)
                if (c == candidates[i])
                    ++counts[i];
    }
    int best = 0;
    for (int i = 1; i < 3; ++i)
        if (counts[i] > counts[best])
            best = i;
    return candidates[best];
}

QList<Record> parse(const QString& text, QChar separator)
{
    Breach breach = Breach::None;
    int line = 0;
    const qsizetype unbounded = std::numeric_limits<qsizetype>::max();
    return parse(text, separator, {unbounded, unbounded, unbounded, unbounded, unbounded}, breach, line);
}

QList<Record> parse(const QString& text, QChar separator, const Limits& limits, Breach& breach,
                    int& breachLine)
{
    breach = Breach::None;
    breachLine = 0;
    QList<Record> records;
    qsizetype recordChars = 0; // of the current record
    qsizetype allFields = 0;
    Record record;
    QString field;
    int line = 1;
    record.line = 1;
    bool quoted = false;    // inside a quoted field
    bool wasQuoted = false; // the field began with a quote
    bool pending = false;   // something of the current record has been read

    // False when the record passed a limit; parsing then stops.
    auto endField = [&] {
        record.fields.append(field);
        field.clear();
        wasQuoted = false;
        if (record.fields.size() > limits.fieldsPerRecord)
            breach = Breach::FieldsPerRecord;
        else if (++allFields > limits.fields)
            breach = Breach::Fields;
        return breach == Breach::None;
    };
    auto endRecord = [&] {
        if (!endField())
            return false;
        records.append(std::move(record));
        record = Record();
        pending = false;
        recordChars = 0;
        if (records.size() > limits.records)
            breach = Breach::Records;
        return breach == Breach::None;
    };
    auto stop = [&](Breach why) {
        if (breach == Breach::None)
            breach = why;
        breachLine = record.line != 0 ? record.line : line;
        return records;
    };

    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text.at(i);
        if (field.size() > limits.charsPerField)
            return stop(Breach::CharsPerField);
        if (++recordChars > limits.charsPerRecord)
            return stop(Breach::CharsPerRecord);
        if (quoted) {
            if (c == Quote) {
                if (i + 1 < n && text.at(i + 1) == Quote) {
                    field += Quote;
                    ++i;
                } else {
                    quoted = false;
                }
            } else {
                if (c == Lf || (c == Cr && !(i + 1 < n && text.at(i + 1) == Lf)))
                    ++line;
                field += c;
            }
            continue;
        }
        if (!pending) {
            record.line = line;
            pending = true;
        }
        if (c == separator) {
            if (!endField())
                return stop(breach);
        } else if (c == Cr || c == Lf) {
            if (c == Cr && i + 1 < n && text.at(i + 1) == Lf)
                ++i;
            const int recordLine = record.line;
            ++line;
            if (!endRecord()) {
                breachLine = recordLine;
                return records;
            }
        } else if (c == Quote && field.isEmpty() && !wasQuoted) {
            quoted = true;
            wasQuoted = true;
        } else {
            field += c;
        }
    }
    if (field.size() > limits.charsPerField)
        return stop(Breach::CharsPerField);
    if (quoted)
        record.unterminated = true;
    if (pending || quoted) {
        const int recordLine = record.line;
        if (!endRecord())
            breachLine = recordLine;
    }
    return records;
}

bool startsFormula(QStringView cell)
{
    if (cell.isEmpty())
        return false;
    const char16_t c = cell.front().unicode();
    return c == u'=' || c == u'+' || c == u'-' || c == u'@' || c == u'\t' || c == u'\r';
}

QString formulaSafe(const QString& cell)
{
    return startsFormula(cell) ? QLatin1Char('\'') + cell : cell;
}

QString unformula(const QString& cell)
{
    return cell.startsWith(QLatin1Char('\'')) && startsFormula(QStringView(cell).mid(1)) ? cell.mid(1) : cell;
}

QString formatRecord(const QStringList& fields, QChar separator)
{
    QStringList out;
    out.reserve(fields.size());
    for (const QString& field : fields) {
        const bool needsQuotes = field.contains(separator) || field.contains(Quote) || field.contains(Cr) ||
                                 field.contains(Lf) ||
                                 (!field.isEmpty() && (field.front().isSpace() || field.back().isSpace()));
        if (!needsQuotes) {
            out.append(field);
            continue;
        }
        QString quotedField = field;
        quotedField.replace(Quote, QStringLiteral("\"\""));
        out.append(Quote + quotedField + Quote);
    }
    return out.join(separator) + QStringLiteral("\r\n");
}

} // namespace CsvText

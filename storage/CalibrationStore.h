// The calibration of the printed documents, "dokumenty_kalibracja.sqset": one table per
// document type, one row per printed field with its box on the page and its font. The
// store reads rows and updates existing ones; the set of fields comes with the file.
#pragma once

#include "storage/MessageBuffer.h"

#include <QList>
#include <QString>
#include <QStringList>

// One calibrated object of a document: a form component's name or a picture marker,
// its box in page units and its font (size in points).
struct CalibEntry {
    QString name;
    int x1 = 0, x2 = 0, y1 = 0, y2 = 0;
    QString fontName;
    int fontSize = 0;
    int align = 0; // 0 left, 1 centred, 2 right, 3 justified; any other value centred
    int bold = 0, italic = 0, underline = 0, strike = 0;
};

// Replaces `entries` by the rows of `table` in the order the file returns them; NULL
// cells read as 0 and as the empty text.
bool bFunCalibLoadData(MessageBuffer& buf, const QString& path, const QString& table,
                       QList<CalibEntry>& entries);
// Writes the box and font of the row named like `entry`; false when no row has that name.
bool bFunSqlCalibUpdateValue(MessageBuffer& buf, const QString& path, const QString& table,
                             const CalibEntry& entry);
// The tables of the data folder's calibration file, in the order they were created.
bool bFunCalibLoadCertList(MessageBuffer& buf, QStringList& names);

// The objects of one document table, in the order of the file.
struct CalibTable {
    QString name;
    QList<CalibEntry> entries;
};

// What an imported calibration file may hold at most. The installed file has some tens
// of kilobytes and some tens of objects per document.
constexpr qint64 CalibFileSizeLimit = 4 * 1024 * 1024;
constexpr int CalibObjectLimit = 1000;
constexpr int CalibValueLengthLimit = 64 * 1024;

// Reads the objects of both document tables from a calibration file the user chose,
// which is only read, never written. Every object needs a name of its own (at most 255
// characters, no control characters), a font name of at most 99 characters that a font
// name may hold, integer coordinates within -20000...20000, an integer font size within
// 1...200, an alignment within 0...3 and style flags of 0 or 1, every number stored as
// an integer; a table needs at least one object. False with the reason in `reason` (naming the table and the
// object, no full stop) when the file is refused.
bool bFunReadCalibFile(const QString& path, QList<CalibTable>& tables, QString& reason);
// Creates a new calibration file at `path` (removing what lies there) that holds the
// tables with the program's own columns and nothing else.
bool bFunWriteCalibFile(MessageBuffer& buf, const QString& path, const QList<CalibTable>& tables);

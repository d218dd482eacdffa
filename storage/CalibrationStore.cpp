#include "storage/CalibrationStore.h"

#include "platform/FileOps.h"
#include "storage/CppSQLite3.h"
#include "storage/DataPaths.h"
#include "storage/SqlText.h"

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

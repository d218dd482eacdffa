#include "storage/Templates.h"

#include "platform/FileOps.h"
#include "storage/CppSQLite3.h"
#include "storage/DataFolder.h"
#include "storage/SqlText.h"

namespace {

// The town and the province dictionaries differ only in their table and their names
// in the log.
struct Dictionary {
    const char* table;
    const char* loadLabel;
    const char* addLabel;
};

const Dictionary kCity{"city", "bFunStudentDataLoadCityList()", "bFunStudentDataAddCity()"};
const Dictionary kProvince{"province", "bFunStudentDataLoadProvinceList()", "bFunStudentDataAddProvince()"};

bool loadDictionary(MessageBuffer& buf, const Dictionary& dict, QStringList& names)
{
    const QString label = QString::fromLatin1(dict.loadLabel);
    const QString path = strFunGetSettingsFilePath(buf, false);
    if (!FileOps::exists(path))
        return SqlText::fail(buf, QStringLiteral("Plik nie istnieje.\n") + path, label);
    const QByteArray select =
        QByteArray("select * from `") + dict.table + QByteArray("` order by `name` ASC");
    // Filled aside, so that a failed load leaves the list as it was.
    QStringList loaded;
    if (!SqlText::readFile(buf, path, QStringLiteral("Sql exception: "), label, [&](CppSQLite3DB& db) {
            SqlText::forEachRow(db, select, [&loaded](const CppSQLite3Query& q) {
                loaded.append(SqlText::text(q.textOf("name", "")));
            });
        }))
        return false;
    names = std::move(loaded);
    return true;
}

bool addToDictionary(MessageBuffer& buf, const Dictionary& dict, const QString& name)
{
    const QString label = QString::fromLatin1(dict.addLabel);
    const QString path = strFunGetSettingsFilePath(buf, false);
    if (!FileOps::exists(path))
        return SqlText::fail(buf, QStringLiteral("Plik nie istnieje.\n") + path, label);
    CppSQLite3DB db;
    try {
        const QString table = QString::fromLatin1(dict.table);
        const QString value = strFunSqlEscape(name);
        const QByteArray update =
            SqlText::bytes(QStringLiteral("update `") + table + QStringLiteral("` set `name`='") + value +
                           QStringLiteral("' where `name`='") + value + QStringLiteral("'"));
        const QByteArray insert =
            SqlText::bytes(QStringLiteral("insert into `") + table + QStringLiteral("`( `name` ) values( '") +
                           value + QStringLiteral("' )"));
        db.openFile(path);
        // The update changes no data; it only tells whether the name is there already.
        if (db.runStatement(update) > 0) {
            db.closeFile();
            return true;
        }
        const int inserted = db.runStatement(insert);
        db.closeFile();
        return inserted > 0;
    } catch (const CppSQLite3Exception& e) {
        SqlText::closeQuietly(db);
        return SqlText::fail(buf, e, QStringLiteral("Sql exception: "), label);
    }
}

} // namespace

bool bFunSqlTemplateWriteData(MessageBuffer& buf, const QString& path, const QString& tableName,
                              const FieldRowList& rows)
{
    const QString label = QStringLiteral("bFunSqlTemplateWriteData()");
    if (!FileOps::exists(path))
        return SqlText::fail(buf, QStringLiteral("Plik nie istnieje.\n\n") + path, label);
    CppSQLite3DB db;
    try {
        // Everything is encoded first: a text that cannot be stored changes nothing.
        const QString table = SqlText::ident(tableName);
        const QByteArray name = SqlText::bytes(tableName);
        const QByteArray drop = SqlText::bytes(QStringLiteral("drop table `") + table + QStringLiteral("`"));
        const QByteArray create = SqlText::bytes(QStringLiteral("create table `") + table +
                                                 QStringLiteral("`( id TEXT, comp_name TEXT, value TEXT )"));
        QStringList insertTexts;
        QList<QByteArray> inserts;
        insertTexts.reserve(rows.size());
        inserts.reserve(rows.size());
        for (const FieldRow& row : rows) {
            QString text = QStringLiteral("insert into `") + table +
                           QStringLiteral("`( `id`, `comp_name`, `value` ) values( '") +
                           strFunSqlEscape(row.id) + QStringLiteral("', '") + strFunSqlEscape(row.compName) +
                           QStringLiteral("', '") + strFunSqlEscape(row.value) + QStringLiteral("')");
            inserts.append(SqlText::bytes(text));
            insertTexts.append(std::move(text));
        }

        db.openFile(path);
        // Drop, create and inserts form one transaction, so a failed save keeps the
        // previous template. The existence check comes first so that the transaction
        // starts with a write and waits for a file locked by another process.
        const bool exists = db.hasTable(name);
        db.runStatement("begin transaction;");
        if (exists) {
            try {
                db.runStatement(drop);
            } catch (const CppSQLite3Exception&) {
                SqlText::rollbackAndClose(db);
                return SqlText::fail(buf,
                                     QStringLiteral("Błąd podczas próby kasowania tablicy \"") + tableName +
                                         QLatin1Char('"'),
                                     label);
            }
        }
        db.runStatement(create);
        for (qsizetype i = 0; i < inserts.size(); ++i) {
            if (db.runStatement(inserts.at(i)) == 0) {
                SqlText::rollbackAndClose(db);
                return SqlText::fail(buf, QStringLiteral("Błąd zapisu danych.\n\n") + insertTexts.at(i),
                                     label);
            }
        }
        db.runStatement("commit transaction;");
        db.closeFile();
        return true;
    } catch (const CppSQLite3Exception& e) {
        SqlText::rollbackAndClose(db);
        return SqlText::fail(buf, e, QStringLiteral("SqlException\n"),
                             QStringLiteral("bFunSqlWriteTemplateData()"));
    }
}

bool bFunSqlTemplateReadData(MessageBuffer& buf, const QString& path, const QString& tableName,
                             FieldRowList& rows)
{
    const QString label = QStringLiteral("bFunSqlTemplateReadData()");
    if (!FileOps::exists(path))
        return SqlText::fail(buf, QStringLiteral("Plik nie istnieje.\n") + path, label);
    rows.clear();
    return SqlText::readFile(buf, path, QStringLiteral("SqlException\n"), label, [&](CppSQLite3DB& db) {
        const QByteArray name = SqlText::bytes(tableName);
        const QByteArray select = SqlText::bytes(QStringLiteral("select * from `") +
                                                 SqlText::ident(tableName) + QStringLiteral("`"));
        if (!db.hasTable(name))
            return;
        SqlText::forEachRow(db, select, [&rows](const CppSQLite3Query& q) {
            rows.append({SqlText::text(q.textOf("id", "")), SqlText::text(q.textOf("comp_name", "")),
                         SqlText::text(q.textOf("value", ""))});
        });
    });
}

bool bFunStudentDataLoadCityList(MessageBuffer& buf, QStringList& names)
{
    return loadDictionary(buf, kCity, names);
}

bool bFunStudentDataLoadProvinceList(MessageBuffer& buf, QStringList& names)
{
    return loadDictionary(buf, kProvince, names);
}

bool bFunStudentDataAddCity(MessageBuffer& buf, const QString& name)
{
    return addToDictionary(buf, kCity, name);
}

bool bFunStudentDataAddProvince(MessageBuffer& buf, const QString& name)
{
    return addToDictionary(buf, kProvince, name);
}

#include "storage/SqlText.h"

#include "storage/EventLog.h"

QString strFunSqlEscape(const QString& value)
{
    QString out = value;
    out.replace(QLatin1Char('\''), QStringLiteral("''"));
    return out;
}

namespace SqlText {

QString ident(const QString& name)
{
    QString out = name;
    out.replace(QLatin1Char('`'), QStringLiteral("``"));
    return out;
}

QByteArray bytes(const QString& statement)
{
    QByteArray out;
    QString bad;
    if (!Cp1250::encode(statement, out, &bad))
        throw StorageTextError(Cp1250::refusalMessage(bad));
    return out;
}

void requireStorable(const QString& text)
{
    (void)bytes(text);
}

QString text(const char* stored)
{
    return Cp1250::decode(stored);
}

bool fail(MessageBuffer& buf, const CppSQLite3Exception& e, const QString& prefix, const QString& fun)
{
    if (const auto* textError = dynamic_cast<const StorageTextError*>(&e))
        buf.reset(textError->message());
    else
        buf.reset(prefix + QString::fromLatin1(CppSQLite3Exception::codeName(e.code())));
    if (!fun.isEmpty())
        vFunLogError(buf, fun);
    return false;
}

bool fail(MessageBuffer& buf, const QString& message, const QString& fun)
{
    buf.reset(message);
    if (!fun.isEmpty())
        vFunLogError(buf, fun);
    return false;
}

void closeQuietly(CppSQLite3DB& db)
{
    try {
        db.closeFile();
    } catch (const CppSQLite3Exception&) {
    }
}

void rollbackAndClose(CppSQLite3DB& db)
{
    if (db.isOpen()) {
        try {
            db.runStatement("rollback transaction;");
        } catch (const CppSQLite3Exception&) {
            // No transaction was open, or it is already gone.
        }
    }
    closeQuietly(db);
}

void cleanUp(CppSQLite3Query& q, CppSQLite3DB& db)
{
    try {
        q.release();
    } catch (const CppSQLite3Exception&) {
    }
    closeQuietly(db);
}

} // namespace SqlText

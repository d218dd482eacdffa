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

QString reason(int code)
{
    if (code == CPPSQLITE_ERROR)
        return QStringLiteral("plik nie ma budowy, której program oczekuje");
    switch (code & 0xff) {
    case SQLITE_ERROR:
        return QStringLiteral("plik nie ma budowy, której program oczekuje");
    case SQLITE_PERM:
    case SQLITE_AUTH:
        return QStringLiteral("brak uprawnień do pliku");
    case SQLITE_ABORT:
    case SQLITE_INTERRUPT:
        return QStringLiteral("działanie zostało przerwane");
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
    case SQLITE_PROTOCOL:
        return QStringLiteral("plik jest zablokowany przez inny program");
    case SQLITE_NOMEM:
        return QStringLiteral("brak wolnej pamięci");
    case SQLITE_READONLY:
        return QStringLiteral("plik jest tylko do odczytu");
    case SQLITE_IOERR:
        return QStringLiteral("błąd odczytu lub zapisu dysku");
    case SQLITE_CORRUPT:
    case SQLITE_FORMAT:
        return QStringLiteral("plik jest uszkodzony");
    case SQLITE_FULL:
        return QStringLiteral("brak miejsca na dysku");
    case SQLITE_CANTOPEN:
        return QStringLiteral("nie można otworzyć pliku");
    case SQLITE_SCHEMA:
        return QStringLiteral("budowa pliku zmieniła się w trakcie pracy");
    case SQLITE_TOOBIG:
        return QStringLiteral("plik zawiera zbyt długą wartość");
    case SQLITE_CONSTRAINT:
    case SQLITE_MISMATCH:
        return QStringLiteral("dane nie pasują do budowy pliku");
    case SQLITE_NOLFS:
        return QStringLiteral("plik jest zbyt duży dla tego systemu");
    case SQLITE_NOTADB:
        return QStringLiteral("plik nie jest rejestrem ani innym plikiem danych programu");
    default:
        return QStringLiteral("wewnętrzny błąd bazy danych");
    }
}

void logWithCode(const MessageBuffer& buf, int code, const QString& fun)
{
    MessageBuffer raw;
    raw << buf.text() << "\n" << QString::fromLatin1(CppSQLite3Exception::codeName(code));
    vFunLogError(raw, fun);
}

bool fail(MessageBuffer& buf, const CppSQLite3Exception& e, const QString& prefix, const QString& fun)
{
    if (const auto* textError = dynamic_cast<const StorageTextError*>(&e)) {
        buf.reset(textError->message());
        if (!fun.isEmpty())
            vFunLogError(buf, fun);
        return false;
    }
    buf.reset(QStringLiteral("Przyczyna: ") + reason(e.code()) + QLatin1Char('.'));
    if (!fun.isEmpty()) {
        MessageBuffer raw;
        raw << buf.text() << "\n" << prefix << QString::fromLatin1(CppSQLite3Exception::codeName(e.code()));
        vFunLogError(raw, fun);
    }
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

// Build step: turns a reviewable SQL script (UTF-8) into an SQLite data file whose
// texts are Windows-1250 bytes, like every file the program writes.
#include "storage/Cp1250.h"

#include <sqlite3.h>

#include <QFile>
#include <QString>

#include <cstdio>

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s SCRIPT.sql OUTPUT\n", argv[0]);
        return 2;
    }
    QFile script(QString::fromLocal8Bit(argv[1]));
    if (!script.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "cannot read %s\n", argv[1]);
        return 1;
    }
    QByteArray sql;
    QString bad;
    if (!Cp1250::encode(QString::fromUtf8(script.readAll()), sql, &bad)) {
        std::fprintf(stderr, "%s: character %s has no Windows-1250 byte\n", argv[1],
                     bad.toUtf8().constData());
        return 1;
    }
    const QString output = QString::fromLocal8Bit(argv[2]);
    QFile::remove(output);
    sqlite3* db = nullptr;
    if (sqlite3_open(argv[2], &db) != SQLITE_OK) {
        std::fprintf(stderr, "cannot create %s\n", argv[2]);
        return 1;
    }
    char* error = nullptr;
    if (sqlite3_exec(db, sql.constData(), nullptr, nullptr, &error) != SQLITE_OK) {
        std::fprintf(stderr, "%s: %s\n", argv[1], error ? error : "error");
        sqlite3_free(error);
        sqlite3_close(db);
        QFile::remove(output);
        return 1;
    }
    sqlite3_close(db);
    return 0;
}

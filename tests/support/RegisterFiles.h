// Registers written and read in a short notation, for the tests of shared registers:
// "1=Nowak,2=Lis" is the table PESEL1 of the student Nowak Anna, and so on; surnames are
// stored bytes. A surname "+X" stands for a value that runs over several database pages
// and ends in X.
#pragma once

#include "tests/support/TestEnvironment.h"

#include <QFile>

inline constexpr int kLongValue = 6000;

inline void writeRegister(const QString& path, const QByteArray& students)
{
    QFile::remove(path);
    QByteArray sql = "pragma journal_mode=memory;pragma user_version=0;";
    for (const QByteArray& student : students.split(',')) {
        const qsizetype eq = student.indexOf('=');
        if (eq < 0)
            continue;
        const QByteArray table = "PESEL" + student.left(eq);
        QByteArray surname = student.mid(eq + 1);
        if (surname.startsWith('+'))
            surname = QByteArray(kLongValue, 'x') + surname.mid(1);
        sql += "create table " + table + "( id TEXT, comp_name TEXT, value TEXT );insert into " + table +
               " values('DANE UCZNIA', 'Nazwisko_DATA_EDIT', '" + surname + "');insert into " + table +
               " values('DANE UCZNIA', 'Imie_DATA_EDIT', 'Anna');";
    }
    RawSql::exec(path, sql);
}

// The students of a register in the same notation, by table name.
inline QByteArray studentsOf(const QString& path)
{
    QByteArrayList out;
    for (const QByteArray& table :
         RawSql::column(path, "select name from sqlite_master where type='table' order by name")) {
        QByteArray surname =
            RawSql::column(path, "select value from `" + table + "` where comp_name='Nazwisko_DATA_EDIT'")
                .value(0);
        if (surname.startsWith(QByteArray(kLongValue, 'x')))
            surname = '+' + surname.mid(kLongValue);
        out << table.mid(5) + '=' + surname;
    }
    return out.join(',');
}

// Whole files as bytes, for fixtures and for checks that nothing changed.
#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

namespace RawFile {

// The file's bytes; empty when it cannot be read.
inline QByteArray bytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline bool write(const QString& path, const QByteArray& data)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(data) == data.size();
}

// Damages an SQLite file where a long value of `filler` bytes is stored: every page
// holding nothing else is overwritten with garbage. The number of pages overwritten.
inline int damageValuePages(const QString& path, char filler)
{
    QByteArray data = bytes(path);
    if (data.size() < 100)
        return 0;
    const int pageSize = (uchar(data.at(16)) << 8) | uchar(data.at(17));
    int overwritten = 0;
    for (qsizetype page = 0; page + pageSize <= data.size(); page += pageSize)
        if (data.mid(page + 4, pageSize - 4) == QByteArray(pageSize - 4, filler) && ++overwritten)
            data.replace(page, pageSize, QByteArray(pageSize, '\xa5'));
    return write(path, data) ? overwritten : 0;
}

} // namespace RawFile

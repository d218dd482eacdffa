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

} // namespace RawFile

// Windows-1250, the code page in which every stored text of the program's files is
// kept, so that files move freely between this program and Windows machines.
// Used only where texts enter or leave a data file.
#pragma once

#include <QByteArray>
#include <QString>

namespace Cp1250 {

// Every byte decodes; the five bytes the code page leaves unassigned come back as
// the C1 control characters of the same value, so that decode/encode is lossless.
QString decode(const char* bytes);
QString decode(const QByteArray& bytes);

// Encodes the whole text. Returns false (and leaves `out` unchanged) when a
// character has no place in the code page; `badChar` then receives that character.
bool encode(const QString& text, QByteArray& out, QString* badChar = nullptr);

// Encodes, replacing what does not fit by '?'. Only for the event log, which must
// always be written.
QByteArray encodeLossy(const QString& text);

// The user's message for a text that cannot be stored.
QString refusalMessage(const QString& badChar);

} // namespace Cp1250

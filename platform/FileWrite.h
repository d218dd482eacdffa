// Writing a whole file so that it is either complete or not there at all.
#pragma once

#include <QByteArray>
#include <QString>

namespace FileWrite {

// Writes `data` into a hidden temporary file beside `path` (a symbolic link is
// followed), flushes it to disk, checks that all of it is there and renames it over
// `path`. A replaced file keeps its permissions; a new one gets the usual ones of the
// user's new files. On any failure the temporary file is removed and `path` is left as
// it was. Returns 0 or the errno value.
int replaceWith(const QString& path, const QByteArray& data);

} // namespace FileWrite

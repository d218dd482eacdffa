// One state of a file, cheap to compare: a file rewritten or replaced by another has a
// stamp of its own. And scratch copies that hash what they copy.
#pragma once

#include <QByteArray>
#include <QString>

struct FileStamp {
    qint64 size = -1;
    qint64 modifiedNs = 0;
    quint64 inode = 0;
    quint64 device = 0;

    bool isNull() const { return size < 0; }
    friend bool operator==(const FileStamp&, const FileStamp&) = default;

    // The stamp of the file at `path` (a symbolic link is followed); 0 or errno.
    static int of(const QString& path, FileStamp& stamp);
};

// Copies the regular file `source` to `target` (created or emptied, readable by its owner
// only) without flushing it to disk: for copies the program can make again; an empty
// `target` only reads. `sha256`, when given, receives the hash of the bytes copied,
// `sourceStamp` the stamp of the file they were read from and `header` its first 100
// bytes (fewer when it is shorter). 0 or errno; `readFailed`, when given, tells whether
// the error came from the source rather than from writing the copy.
int copyHashed(const QString& source, const QString& target, QByteArray* sha256,
               FileStamp* sourceStamp = nullptr, bool* readFailed = nullptr, QByteArray* header = nullptr);

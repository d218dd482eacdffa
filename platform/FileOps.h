// File operations with the system's error codes (errno values), as the program's
// messages report them.
#pragma once

#include <QString>

namespace FileOps {

bool exists(const QString& path);

// Copies `source` to `target` without ever leaving a half-written target: the data go
// into a temporary file in the target's folder, are flushed to disk, and the temporary
// file is then renamed over the target (or linked to it when `failIfExists`, which
// fails with EEXIST when the target is there). Returns 0 or the errno value.
int copyFile(const QString& source, const QString& target, bool failIfExists);

// Removes a file; 0 or errno.
int removeFile(const QString& path);

// Creates one folder level; 0 (also when it exists) or errno.
int makeDir(const QString& path);

// Gives the owner write permission; 0 or errno (ENOENT for a missing file).
int makeWritable(const QString& path);

// Creates an empty file when there is none; 0 or errno.
int touch(const QString& path);

// For tests: the next copies fail with `error` after `bytes` bytes were written.
// A negative byte count switches this off.
void failCopiesAfter(long long bytes, int error);

} // namespace FileOps

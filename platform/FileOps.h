// File operations with the system's error codes (errno values), as the program's
// messages report them.
#pragma once

#include <QByteArray>
#include <QString>

#include <sys/stat.h>
#include <sys/types.h>

namespace FileOps {

// A regular file (or a symbolic link to one) is there.
bool exists(const QString& path);

// What lies at a path; a symbolic link is followed.
enum class Kind { Missing, Regular, Directory, Fifo, Socket, Device, Other };
Kind kind(const QString& path);

// Copies `source` to `target` without ever leaving a half-written target: the data go
// into a hidden temporary file beside the real target (a symbolic link is followed),
// are flushed to disk, and the temporary file is then renamed over the target (or,
// when `failIfExists`, given its name only while it is free: EEXIST when it is not).
// A replaced target keeps its mode, owner and group (as far as the process may set
// them); a new one gets the mode of the user's new files (the umask) and, in a
// set-group-ID folder, the folder's group, so that others who share the folder can
// read it. The temporary file's name carries this computer and process; one that an
// interrupted copy left behind is removed after a later successful copy only when its
// process is known to be gone or it is old, never while another desk may be writing it.
// Only a regular file is read: a directory gives EISDIR, any other special file
// EINVAL, before it is opened; with `SourceLink::Refuse` a source that is itself a
// symbolic link gives ELOOP. Returns 0 or the errno value.
enum class SourceLink { Follow, Refuse };
int copyFile(const QString& source, const QString& target, bool failIfExists,
             SourceLink sourceLink = SourceLink::Follow);

// Writes `data` to `target` the way copyFile() replaces a file: a temporary file beside
// it, flushed, then renamed over it. Returns 0 or the errno value.
int writeFile(const QString& target, const QByteArray& data);

// The path a write to `path` really reaches: symbolic links followed, also one whose
// target does not exist yet.
QString resolveLinks(const QString& path);

// The mode a new file of the user gets: 0666 without the bits of the process's umask.
mode_t newFileMode();
// Gives the open new file `fd` the user's usual mode and, when its folder `dir` is
// set-group-ID, that folder's group (a share may not do it itself).
void shareLikeUsersFiles(int fd, const QString& dir);

// "<host>-<pid>": names the files this process makes beside a register, so that
// another desk tells whose they are.
QString ownerTag();
// Whether a file named with `tag` (ownerTag() of some process) is a leftover that may be
// removed: its process of this computer is gone (this process's own: it is older than
// ten minutes), or, made on another computer, it is older than a day.
bool isAbandonedTag(const QString& tag, qint64 ageSeconds);

// Asks for the status of `path` in a thread of its own and waits at most `timeoutMs`
// for the answer: a folder on a server that no longer answers must not freeze the
// window. 0, errno, or ETIMEDOUT when the answer did not come in time.
int probe(const QString& path, int timeoutMs);

// Removes a file; 0 or errno.
int removeFile(const QString& path);

// Creates one folder level, readable by its owner only; 0 (also when it exists) or errno.
int makeDir(const QString& path);

// Gives the owner write permission; 0 or errno (ENOENT for a missing file).
int makeWritable(const QString& path);

// Creates an empty file, readable by its owner only, when there is none; 0 or errno.
int touch(const QString& path);

// The system calls through which copyFile writes, links and flushes its files. The
// program uses the system's own; a test installs one that behaves like a full disk, a
// file system without hard links, or one that notes what reaches the disk.
class SystemCalls
{
public:
    virtual ~SystemCalls() = default;
    // As write(2), link(2) and fsync(2): -1 with errno set on failure.
    virtual ssize_t write(int fd, const void* data, size_t size);
    virtual int link(const char* existing, const char* created);
    virtual int fsync(int fd);
    // As stat(2): what the file system says about a file; a share may say it from a
    // cache that is seconds old.
    virtual int stat(const char* path, struct stat* st);

    static SystemCalls& instance();
    // Not owned; nullptr restores the system's own.
    static void install(SystemCalls* calls);
};

} // namespace FileOps

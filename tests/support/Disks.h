// File systems that behave the way real ones do when things go wrong, each in force
// while it lives: copies go through them instead of the system's own calls.
#pragma once

#include "platform/FileOps.h"
#include "tests/support/StandIn.h"

#include <QFile>
#include <QString>

#include <algorithm>
#include <cerrno>
#include <functional>

// A disk with room for `room` more bytes of copied data; writes past that fail with
// ENOSPC. A negative room never fills.
class FullDisk : public StandIn<FileOps::SystemCalls>
{
public:
    explicit FullDisk(long long room) : m_room(room) {}
    ssize_t write(int fd, const void* data, size_t size) override
    {
        if (m_room < 0)
            return SystemCalls::write(fd, data, size);
        if (m_room == 0) {
            errno = ENOSPC;
            return -1;
        }
        const ssize_t n = SystemCalls::write(fd, data, std::min<size_t>(size, size_t(m_room)));
        if (n > 0)
            m_room -= n;
        return n;
    }

private:
    long long m_room;
};

// A file system without hard links (FAT, many network shares).
class NoHardLinks : public StandIn<FileOps::SystemCalls>
{
public:
    int link(const char*, const char*) override
    {
        errno = EPERM;
        return -1;
    }
};

// Tells `observer` the path of every file or folder just before it is flushed to disk.
class ObservedSyncs : public StandIn<FileOps::SystemCalls>
{
public:
    explicit ObservedSyncs(std::function<void(const QString& path)> observer)
        : m_observer(std::move(observer))
    {
    }
    int fsync(int fd) override
    {
        m_observer(QFile::symLinkTarget(QStringLiteral("/proc/self/fd/") + QString::number(fd)));
        return SystemCalls::fsync(fd);
    }

private:
    std::function<void(const QString&)> m_observer;
};

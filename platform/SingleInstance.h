// Tells a second copy of the program that a first one runs. A lock file with the
// holder's process id stands in for a named system semaphore: a lock left by a copy
// that crashed is recognised as stale and taken over.
#pragma once

#include <QString>

#include <memory>

class QLockFile;

class SingleInstance
{
public:
    // `name` is the system-wide name of the object ("MELVOK-DOKUMENTY"); `folder`
    // the folder of the lock file (the user's runtime folder when empty).
    explicit SingleInstance(const QString& name, const QString& folder = QString());
    ~SingleInstance();

    enum class State { First, AlreadyRunning, Unavailable };
    // Takes the lock for the life of this object.
    State acquire();
    QString lockPath() const { return m_path; }

private:
    QString m_path;
    std::unique_ptr<QLockFile> m_lock;
};

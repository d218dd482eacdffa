// The program's clock. Tests install their own to fix backup names and log times.
#pragma once

#include <QDateTime>

class Clock
{
public:
    virtual ~Clock() = default;
    virtual QDateTime nowLocal() const { return QDateTime::currentDateTime(); }
    virtual QDateTime nowUtc() const { return QDateTime::currentDateTimeUtc(); }

    static const Clock& instance();
    // Not owned; nullptr restores the system clock.
    static void install(const Clock* clock);
};

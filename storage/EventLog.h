// The event log "logs.sqdb": every reported failure with its UTC time and the name
// of the function that reported it.
#pragma once

#include "storage/MessageBuffer.h"

#include <QList>
#include <QString>

struct LogEntry {
    QString datetime;
    QString fun;
    QString info;
};

// Appends the buffer's text under `fun`. Never throws and never reports: a log that
// cannot be written must not hide the failure being reported.
void vFunLogError(const MessageBuffer& buf, const QString& fun);
bool bFunSqlGetLogsData(MessageBuffer& buf, QList<LogEntry>& entries);

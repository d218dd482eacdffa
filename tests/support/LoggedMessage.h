// What the event log must hold of a reported failure.
#pragma once

#include "storage/Cp1250.h"

#include <QRegularExpression>
#include <QtTest>

// The log keeps what Windows-1250 can hold of the message, and after a database's
// reason the layer's own code, which the user is never shown.
inline void verifyLoggedMessage(const QString& logged, const QString& message)
{
    const QString shown = Cp1250::decode(Cp1250::encodeLossy(message));
    if (shown.startsWith(QStringLiteral("Przyczyna: "))) {
        QVERIFY2(logged.startsWith(shown + QLatin1Char('\n')), qPrintable(logged));
        QVERIFY2(logged.contains(QRegularExpression(QStringLiteral("SQLITE_[A-Z]+$"))), qPrintable(logged));
    } else {
        QCOMPARE(logged, shown);
    }
}

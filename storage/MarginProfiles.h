// Named print positions of the print dialog: table `margin` of "ustawienia.sqset".
#pragma once

#include "storage/MessageBuffer.h"

#include <QList>
#include <QString>

// Edges of the printed page in millimetres from the sheet's left and top edges, for the
// first and the second page of a document.
struct MarginProfile {
    QString name;
    int page1X1 = 0;
    int page1Y1 = 0;
    int page1X2 = 0;
    int page1Y2 = 0;
    int page2X1 = 0;
    int page2Y1 = 0;
    int page2X2 = 0;
    int page2Y2 = 0;

    bool operator==(const MarginProfile&) const = default;
};

using MarginProfileList = QList<MarginProfile>;

// Empties `profiles` first; true when it holds every row, in table order.
bool bFunMarginReadData(MessageBuffer& buf, const QString& path, MarginProfileList& profiles);
// Adds a row; a name already present gives a second row of that name.
bool bFunMarginWriteNewSettings(MessageBuffer& buf, const QString& path, const MarginProfile& profile);
// Deletes every row of that name; true when at least one went.
bool bFunMarginDeleteSettings(MessageBuffer& buf, const QString& path, const QString& name);
// Replaces every profile of `target` by those of `source`, all or nothing.
bool bFunMarginRestoreOriginal(MessageBuffer& buf, const QString& source, const QString& target);

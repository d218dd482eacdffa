// The desktop as the tests see it: every address the program hands over, in order,
// and nothing opened for real.
#pragma once

#include "platform/DesktopOpen.h"
#include "tests/support/StandIn.h"

#include <QList>

class RecordingDesktop : public StandIn<DesktopOpen::Handler>
{
public:
    QList<QUrl> opened;
    bool open(const QUrl& url) override
    {
        opened << url;
        return true;
    }
};

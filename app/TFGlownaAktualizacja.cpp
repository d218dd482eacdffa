// The main window's side of the maintenance services: the update check with the
// download window it leads to, and the log viewer.
#include "app/TFGlowna.h"

#include "app/Version.h"
#include "services/TFAktualizacja.h"
#include "services/TFLogi.h"
#include "services/UpdateCheck.h"

#include <QTimer>

void TFGlowna::connectMaintenance()
{
    if (m_updateCheck || !m_windows.aktualizacja)
        return;
    m_updateCheck = new UpdateCheck(
        {Version::major, Version::minor, Version::build}, m_windows.aktualizacja.get(),
        [this] { return m_unsavedChanges; }, this);
    // The download window opens from the timer, after the check has finished answering.
    m_updateTimer->setInterval(1000);
    connect(m_updateTimer, &QTimer::timeout, this, &TFGlowna::AktualizacjaTimerTimer);
    connect(m_updateCheck, &UpdateCheck::downloadAccepted, m_updateTimer, qOverload<>(&QTimer::start));
}

void TFGlowna::vFunCheckForUpdate(bool silent)
{
    if (m_updateCheck)
        m_updateCheck->vFunCheckForUpdate(silent ? UpdateCheck::Mode::Silent : UpdateCheck::Mode::Manual);
}

void TFGlowna::Sprawdczyjestnowawersja1Click()
{
    vFunCheckForUpdate(false);
}

void TFGlowna::AktualizacjaTimerTimer()
{
    m_updateTimer->stop();
    m_windows.aktualizacja->exec();
    if (m_windows.aktualizacja->installerStarted()) {
        m_closeWithoutQuestions = true;
        close();
    }
}

void TFGlowna::Logiprogramu1Click()
{
    if (m_windows.logi)
        m_windows.logi->exec();
}

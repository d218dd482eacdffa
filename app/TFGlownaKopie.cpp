// The main window's backups: the ten-minute copy of the working copy and the recovery
// of a backup into a document file; and the school data template command.
#include "app/TFGlowna.h"

#include "app/TFBackupFiles.h"
#include "documents/TFDaneSzkoly.h"
#include "platform/FileErrorReason.h"
#include "platform/FileOps.h"
#include "prompts/Prompts.h"
#include "storage/DataFolder.h"
#include "storage/EventLog.h"
#include "storage/RecentFiles.h"

#include <QFileInfo>

namespace {

// Why a backup could not be copied: what the chosen entry is now, or else what the
// system said.
QString strFunRecoveryFailureReason(const QString& backup, int error)
{
    const QFileInfo entry(backup);
    if (entry.isSymLink())
        return QStringLiteral(
            "\nWybrana kopia bezpieczeństwa jest dowiązaniem symbolicznym, a nie zwykłym plikiem.");
    if (!entry.exists())
        return QStringLiteral("\nWybrana kopia bezpieczeństwa już nie istnieje.");
    const QString special = strFunNotRegularReason(backup);
    return special.isEmpty() ? strFunFileErrorReason(error) : special;
}

} // namespace

void TFGlowna::timerBackupTimer()
{
    // Without a working copy (nothing opened yet, or after New) nothing is copied.
    vFunBackupWorkingCopy(m_buf);
}

void TFGlowna::Otwrzplikzkopizapasowej1Click()
{
    if (!m_windows.backupFiles || m_windows.backupFiles->exec() != QDialog::Accepted)
        return;
    const QString chosen = m_windows.backupFiles->chosenBackupPath();
    const QString target = Prompts::instance().saveFileName(
        this, QStringLiteral("Zapisz dane z kopii"), QStringLiteral("Dokumenty(*.sqdoc)|*.sqdoc"),
        strFunDialogStart(FileKind::Registers, m_saveDialogName));
    if (target.isEmpty())
        return;
    vFunRememberFolder(FileKind::Registers, target);
    m_saveDialogName = target;
    if (FileOps::exists(target) &&
        !Prompts::instance().askYesNo(this,
                                      QStringLiteral("Plik o takiej nazwie już istnieje, czy chcesz nadpisać "
                                                     "istniejący plik ?"),
                                      QStringLiteral("Duplikat"), Prompts::Icon::Warning))
        return;
    // Through a temporary file renamed over the target: a failed copy leaves an existing
    // target as it was. Only a regular file of the backup folder itself is read, never
    // what a symbolic link points to.
    if (const int err = FileOps::copyFile(chosen, target, false, FileOps::SourceLink::Refuse); err != 0) {
        m_buf.reset();
        m_buf << "Funkcja: btnRecoverFromBackupFile()\n\n"
              << "Błąd podczas próby kopiowania pliku\nz\n"
              << chosen << "\ndo\n"
              << target << "\nKod błędu: " << err << strFunRecoveryFailureReason(chosen, err)
              << "\n\nDane nie zostały zapisane.";
        vFunLogError(m_buf, QStringLiteral("btnRecoverFromBackupFile()"));
        Prompts::instance().message(this, m_buf.text(), QStringLiteral("Atrybuty"), Prompts::Icon::Warning,
                                    Prompts::Buttons::Ok);
    }
}

void TFGlowna::Szablondanychszkoy1Click()
{
    if (m_windows.daneSzkoly)
        m_windows.daneSzkoly->exec();
}

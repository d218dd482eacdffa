// The main window's start-up and the life cycle of the open document file: every
// edit goes to the working copy, and only Save and Save as write the document file.
#include "app/TFGlowna.h"

#include "app/Version.h"
#include "documents/DocumentFile.h"
#include "documents/DocumentForm.h"
#include "documents/RegisterSession.h"
#include "platform/FileErrorReason.h"
#include "platform/FileOps.h"
#include "prompts/Prompts.h"
#include "storage/DataFolder.h"
#include "storage/EventLog.h"
#include "storage/RecentFiles.h"
#include "storage/SettingsStore.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QFileInfo>
#include <QScopeGuard>
#include <QTimer>
#include <QTreeWidget>

#include <cerrno>

namespace {
const QString kDocumentFilter = QStringLiteral("Dokumenty(*.sqdoc)|*.sqdoc");
// After the database's own reason, which is not in Polish.
const QString kNotADocument =
    QStringLiteral("\n\nWybrany plik nie jest plikiem dokumentów albo jest uszkodzony.");
} // namespace

bool TFGlowna::FormCreate()
{
    if (!bFunCheckFilesDir(m_buf)) {
        showError(QStringLiteral("Błąd podczas próby sprawdzenia wymaganych plików / katalogów.\n\n") +
                  m_buf.text());
        m_closeWithoutQuestions = true;
        close();
        return false;
    }
    setWindowTitle(Version::mainCaption());

    int importAlert = 0;
    if (!bFunSqlGetSettingsValue(m_buf, QStringLiteral("import_alert"), importAlert)) {
        showError(QStringLiteral("Błąd podczas próby odczytania ustawień.\n\n") + m_buf.text());
        m_closeWithoutQuestions = true;
        close();
        return false;
    }
    if (importAlert != 0) {
        Prompts::instance().message(
            this,
            QStringLiteral("UWAGA !!!\n\nNastąpiła zmiana w plikach przechowujących dane. "
                           "Stare pliki można wczytać poprzez funkcję import w menu plik."),
            QString(), Prompts::Icon::Warning, Prompts::Buttons::Ok);
        bFunSqlSettingWriteValue(m_buf, QStringLiteral("import_alert"), 0);
    }

    for (const auto& [box, key] :
         {std::pair{WykreskujPusteCheckBox, "strike_empty_fields"},
          std::pair{PrintNoDotsCheckBox, "print_without_dots"}, std::pair{cbWordWrap, "word_wrap"}}) {
        int value = 0;
        MessageBuffer quiet; // a failed read here is not reported
        if (bFunSqlGetSettingsValue(quiet, QString::fromLatin1(key), value))
            box->setChecked(value != 0);
    }

    loadZoom();
    vFunDrawStartPage();
    m_closeWithoutQuestions = false;
    m_unsavedChanges = false;
    vFunUpdateStudentMenuItems();
    bFunDeleteTmpFile(m_buf);
    forgetRegister();
    // The keyboard starts in the student list, not on the first tool button.
    treeView()->setFocus();
    return true;
}

bool TFGlowna::bFunWczytajPlikSwiadectw(const QString& path)
{
    // A pipe, a device, a folder or a file larger than any school's register is refused
    // before anything reads it; the register open so far stays as it is.
    if (const QString why = strFunRegisterRefusal(path); !why.isEmpty()) {
        m_buf.reset();
        m_buf << "Błąd podczas próby wczytania pliku\n"
              << path << why << "\nDane świadectw nie zostały wczytane.";
        vFunLogError(m_buf, QStringLiteral("bFunWczytajPlikSwiadectw()"));
        showError(m_buf.text());
        m_openCancelled = true;
        return false;
    }
    // A register that another user has open is opened only when the user says so;
    // Anuluj leaves the register open so far as it is.
    const RegisterAccess access = askAboutOtherUser(path);
    m_openCancelled = access == RegisterAccess::Cancelled;
    if (m_openCancelled)
        return false;
    claimRegister(path, access);
    auto forgetOnFailure = qScopeGuard([this] { forgetRegister(); });
    if (!bFunDeleteTmpFile(m_buf)) {
        showError(m_buf.text());
        return false;
    }
    // A log or a journal beside the file holds changes that a copy of the file alone
    // would lose or garble; SQLite settles them first.
    if (!bFunSettleDocumentFile(m_buf, path)) {
        showError(m_buf.text());
        return false;
    }
    const QString tmp = strFunGetTmpFilePath(m_buf);
    if (const int err = FileOps::copyFile(path, tmp, false); err != 0) {
        m_buf.reset();
        m_buf << "Błąd kopiowania pliku\nz :" << path << "\ndo :" << tmp << "\nKod błędu: " << err
              << strFunNotRegularReason(path);
        if (err == EACCES || err == EPERM)
            m_buf << "\nBrak uprawnień do odczytu pliku „" << QFileInfo(path).fileName() << "”.";
        m_buf << "\nDane świadectw nie zostały wczytane.";
        vFunLogError(m_buf, QStringLiteral("bFunWczytajPlikSwiadectw()"));
        showError(m_buf.text());
        return false;
    }
    session().rememberBase();
    if (!bFunUseRollbackJournal(m_buf, tmp)) {
        showError(QStringLiteral("Błąd podczas próby wczytania listy uczniów\n\n") + m_buf.text() +
                  kNotADocument);
        MessageBuffer quiet;
        bFunDeleteTmpFile(quiet);
        return false;
    }
    if (!bFunOfferReadablePart(path, tmp)) {
        MessageBuffer quiet;
        bFunDeleteTmpFile(quiet);
        return false;
    }
    // Only a file that Save will write needs to become writable.
    if (!m_readablePartOpened && !bFunSetFileNormal(path)) {
        m_buf.reset();
        m_buf << "Uwaga\nJeśli plik posiada atrybut \"tylko do odczytu\" zapis danych nie będzie możliwy."
              << "\nKod: " << iFunLastFileError();
        vFunLogError(m_buf, QStringLiteral("bFunWczytajPlikSwiadectw()"));
        Prompts::instance().message(this, m_buf.text(), QStringLiteral("Uwaga"), Prompts::Icon::Warning,
                                    Prompts::Buttons::Ok);
    }
    if (!bFunSetFileNormal(tmp)) {
        m_buf.reset();
        m_buf << "Błąd podczas próby sprawdzenia atrybutów pliku.\n"
              << tmp << "\nJeśli plik posiada atrybut \"tylko do odczytu\" zapis danych nie będzie możliwy."
              << "\nKod błędu: " << iFunLastFileError();
        vFunLogError(m_buf, QStringLiteral("bFunWczytajPlikSwiadectw()"));
        showError(m_buf.text());
    }
    // A file whose students cannot be listed (not a register, or a damaged one) is not
    // opened: keeping it would leave the previous register in the tree and make every
    // later command fail.
    if (!vFunRefreshStudentList(kNotADocument)) {
        MessageBuffer quiet;
        bFunDeleteTmpFile(quiet);
        return false;
    }
    // The readable part of a damaged register is a new document: the damaged file is
    // not kept open, so no one else is told it is in use and no Save joins against it.
    if (!m_readablePartOpened)
        forgetOnFailure.dismiss();
    mentionWaitingCases();
    return true;
}

bool TFGlowna::bFunZapiszIstniejacyPlikSwiadectw()
{
    // Another user's register opened read-only is never written over.
    if (readOnly())
        return bFunZapiszNowyPlikSwiadectw();
    const QString target = openDocumentPath();
    if (!bFunSetFileNormal(target)) {
        m_buf.reset();
        m_buf << "Błąd podczas próby sprawdzenia atrybutów pliku\n"
              << target
              << "\nJeśli plik ma atrybut \"tylko do odczytu\"\nzapis danych nie będzie możliwy.\nKod błędu: "
              << iFunLastFileError();
        vFunLogError(m_buf, QStringLiteral("bFunZapiszIstniejacyPlikSwiadectw()"));
        Prompts::instance().message(this, m_buf.text(), QStringLiteral("Atrybuty"), Prompts::Icon::Warning,
                                    Prompts::Buttons::Ok);
    }
    // What another user saved since this program read the file is joined, not lost.
    if (const std::optional<bool> saved = saveOverRegister())
        return *saved;
    return bFunZapiszNowyPlikSwiadectw();
}

bool TFGlowna::bFunZapiszNowyPlikSwiadectw()
{
    const QString target =
        Prompts::instance().saveFileName(this, QStringLiteral("Zapisz"), kDocumentFilter,
                                         strFunDialogStart(FileKind::Registers, m_saveDialogName));
    if (target.isEmpty())
        return false;
    vFunRememberFolder(FileKind::Registers, target);
    m_saveDialogName = target;
    const bool openRegister =
        FileOps::exists(target) && FileOps::exists(openDocumentPath()) &&
        QFileInfo(target).canonicalFilePath() == QFileInfo(openDocumentPath()).canonicalFilePath();
    if (openRegister && readOnly()) {
        Prompts::instance().message(
            this, QStringLiteral("Rejestr otwarto tylko do odczytu: wybierz inną nazwę pliku."),
            QStringLiteral("Zapisz"), Prompts::Icon::Warning, Prompts::Buttons::Ok);
        return false;
    }
    if (FileOps::exists(target) &&
        !Prompts::instance().askYesNo(
            this, QStringLiteral("Wybrany plik już istnieje.\nCzy chcesz zastąpić istniejący plik ?"),
            QStringLiteral("Zapisz"))) {
        return false;
    }
    // Onto the open register itself: a save like Save, joining another user's changes.
    if (openRegister)
        return bFunZapiszIstniejacyPlikSwiadectw();
    if (FileOps::exists(target) && !bFunSetFileNormal(target)) {
        m_buf.reset();
        m_buf << "Funkcja: vFunZapiszNowyPlikSwiadectw()\n\n"
              << "Błąd podczas próby sprawdzenia atrybutów pliku\n"
              << target
              << "\nJeśli plik ma atrybut \"tylko do odczytu\"\nzapis danych nie będzie możliwy.\nKod błędu: "
              << iFunLastFileError();
        vFunLogError(m_buf, QStringLiteral("bFunZapiszNowyPlikSwiadectw()"));
        Prompts::instance().message(this, m_buf.text(), QStringLiteral("Atrybuty"), Prompts::Icon::Warning,
                                    Prompts::Buttons::Ok);
    }
    const QString tmp = strFunGetTmpFilePath(m_buf);
    if (!FileOps::exists(tmp))
        FileOps::touch(tmp);
    if (const int err = FileOps::copyFile(tmp, target, false); err != 0) {
        m_buf.reset();
        m_buf << "Funkcja: vFunZapiszNowyPlikSwiadectw()\n\n"
              << "Błąd podczas próby kopiowania pliku\nz\n"
              << tmp << "\ndo\n"
              << target << "\nKod błędu: " << err << strFunFileErrorReason(err)
              << "\n\nDane nie zostały zapisane.";
        vFunLogError(m_buf, QStringLiteral("bFunZapiszNowyPlikSwiadectw()"));
        Prompts::instance().message(this, m_buf.text(), QStringLiteral("Atrybuty"), Prompts::Icon::Warning,
                                    Prompts::Buttons::Ok);
        return false;
    }
    setOpenDocumentPath(target);
    m_note.clear();
    session().adopt(target);
    setReadOnly(false);
    return true;
}

void TFGlowna::vFunReset()
{
    // The copies of the last job complete their records in the working copy first.
    IssueDesk::finishCopies();
    {
        const QSignalBlocker blocker(m_tree);
        m_tree->clear();
    }
    m_students.clear();
    setOpenDocumentPath(QString());
    bFunDeleteTmpFile(m_buf);
    forgetRegister();
    m_windows.zawiadomienie->ClearFields();
    m_windows.potwierdzenie->ClearFields();
    vFunDrawPage(m_windows.zawiadomienie, false, 0, 1);
    vFunUpdateStudentMenuItems();
}

void TFGlowna::NowyPlikToolButtonClick()
{
    if (m_unsavedChanges && Prompts::instance().askYesNo(this, QStringLiteral("Czy chcesz zapisać zmiany ?"),
                                                         QStringLiteral("Edycja"))) {
        const bool saved = FileOps::exists(openDocumentPath()) ? bFunZapiszIstniejacyPlikSwiadectw()
                                                               : bFunZapiszNowyPlikSwiadectw();
        if (!saved)
            return;
        m_unsavedChanges = false;
    }
    vFunReset();
}

bool TFGlowna::bFunSaveBeforeOpening()
{
    IssueDesk::finishCopies();
    // Opening replaces the working copy: when the save the user asked for did not
    // happen (it failed or its dialog was cancelled), the unsaved students stay.
    return !(m_unsavedChanges &&
             Prompts::instance().message(this, QStringLiteral("Czy chcesz zapisać zmiany ?"), QString(),
                                         Prompts::Icon::None,
                                         Prompts::Buttons::YesNo) == Prompts::Answer::Yes &&
             !bFunSaveCommand());
}

void TFGlowna::OtworzPlikToolButtonClick()
{
    if (!bFunSaveBeforeOpening())
        return;
    const QString path = Prompts::instance().openFileName(
        this, QStringLiteral("Wczytaj plik"), kDocumentFilter, strFunDialogStart(FileKind::Registers));
    if (path.isEmpty())
        return;
    vFunRememberFolder(FileKind::Registers, path);
    openRegisterFile(path);
}

void TFGlowna::openRegisterFile(const QString& path)
{
    if (bFunWczytajPlikSwiadectw(path)) {
        setOpenDocumentPath(readablePartOpened() ? QString() : path);
        return;
    }
    if (m_openCancelled)
        return;
    setOpenDocumentPath(QString());
    bFunDeleteTmpFile(m_buf);
    const QSignalBlocker blocker(m_tree);
    m_tree->clear();
    m_students.clear();
}

bool TFGlowna::bFunSaveCommand()
{
    // The copies of the last print complete their records before the register is saved.
    IssueDesk::finishCopies();
    // A register on a share that went away: the reason, never an empty save dialog, and
    // never a window frozen until the server answers.
    if (const QString path = openDocumentPath(); !path.isEmpty() && !readOnly()) {
        if (const QString why = RegisterSession::folderUnavailable(path); !why.isEmpty()) {
            m_buf.reset();
            m_buf << why;
            vFunLogError(m_buf, QStringLiteral("bFunZapiszIstniejacyPlikSwiadectw()"));
            Prompts::instance().message(this, m_buf.text(), QStringLiteral("Zapisz"), Prompts::Icon::Warning,
                                        Prompts::Buttons::Ok);
            return false;
        }
    }
    const bool saved = FileOps::exists(openDocumentPath()) ? bFunZapiszIstniejacyPlikSwiadectw()
                                                           : bFunZapiszNowyPlikSwiadectw();
    // Only a save that reached the disk clears the flag, so closing still asks.
    if (saved)
        m_unsavedChanges = false;
    return saved;
}

void TFGlowna::Zapisz1Click()
{
    bFunSaveCommand();
}

void TFGlowna::Zapiszjako1Click()
{
    bFunZapiszNowyPlikSwiadectw();
}

void TFGlowna::Koniec1Click()
{
    m_closeWithoutQuestions = false;
    close();
}

void TFGlowna::closeEvent(QCloseEvent* event)
{
    IssueDesk::finishCopies();
    if (m_closeWithoutQuestions) {
        session().releaseLock();
        event->accept();
        return;
    }
    // With unsaved changes the save question alone decides; a save the user asked for
    // that did not happen keeps the program open: the next start would delete the
    // working copy with the unsaved students.
    if (m_unsavedChanges) {
        const QuitAnswer answer = askSaveBeforeQuit();
        if (answer == QuitAnswer::Cancel || (answer == QuitAnswer::Save && !bFunSaveCommand())) {
            event->ignore();
            return;
        }
        session().releaseLock();
        event->accept();
        return;
    }
    if (Prompts::instance().askYesNo(this, QStringLiteral("Czy na pewno chcesz zakończyć pracę ?"),
                                     QStringLiteral("Koniec"))) {
        session().releaseLock(); // the register is no longer open
        event->accept();
    } else {
        event->ignore();
    }
}

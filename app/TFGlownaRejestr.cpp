// The main window's side of a register that two desks share: the lock that tells who
// has it open, the question when someone has, and the Save that joins the other user's
// changes instead of writing over them. The program keeps a private copy of the file as
// it was read or last written (the base); at Save a file on disk that differs from it is
// joined with the working copy student by student.
#include "app/TFGlowna.h"
#include "app/Version.h"
#include "documents/RegisterMerge.h"
#include "platform/Clock.h"
#include "platform/FileErrorReason.h"
#include "platform/FileOps.h"
#include "prompts/Prompts.h"
#include "storage/DataFolder.h"
#include "storage/EventLog.h"
#include "storage/SqlText.h"

#include <QAction>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QLabel>
#include <QSet>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>

#include <cerrno>
#include <cstdio>

namespace {

const QString kSaveLabel = QStringLiteral("bFunZapiszIstniejacyPlikSwiadectw()");
const QString kReadOnly = QStringLiteral("(tylko do odczytu)");
const QString kUseSaveAs = QStringLiteral("\n\nZapisz dane w innym pliku („Zapisz jako”).");
const QString kNothingWritten =
    QStringLiteral("\n\nPlik rejestru został bez zmian, a Twoje zmiany pozostają w programie.\n"
                   "Dane nie zostały zapisane.");

// The private copies beside the working copy: the base, the file on disk as read at
// Save, and the register joined from both.
QString scratchFile(MessageBuffer& buf, const char* name)
{
    return QFileInfo(strFunGetTmpFilePath(buf)).absolutePath() + QLatin1Char('/') + QString::fromLatin1(name);
}
QString basePath(MessageBuffer& buf)
{
    return scratchFile(buf, "data_base.sqtmp");
}
QString diskPath(MessageBuffer& buf)
{
    return scratchFile(buf, "data_plik.sqtmp");
}
QString mergedPath(MessageBuffer& buf)
{
    return scratchFile(buf, "data_scal.sqtmp");
}

QString fileName(const QString& path)
{
    return QFileInfo(path).fileName();
}

} // namespace

TFGlowna::RegisterAccess TFGlowna::askAboutOtherUser(const QString& path)
{
    RegisterLock::Owner owner;
    QString text = QStringLiteral("Rejestr „") + fileName(path) + QStringLiteral("” jest otwarty przez ");
    switch (RegisterLock::inspect(path, &owner)) {
    case RegisterLock::State::Free:
    case RegisterLock::State::Ours:
    case RegisterLock::State::Stale: // its program no longer runs: taken over
        return RegisterAccess::Normal;
    case RegisterLock::State::Foreign:
        text += owner.fullName + QStringLiteral(" (") + owner.login + QStringLiteral(") na komputerze ") +
                owner.host + QStringLiteral(" od ") +
                owner.opened.toLocalTime().toString(QStringLiteral("dd.MM.yyyy hh:mm")) + QLatin1Char('.');
        break;
    case RegisterLock::State::Unreadable:
        text += QStringLiteral("nieznanego użytkownika.");
        break;
    }
    const int answer =
        Prompts::instance().choose(this, text, QStringLiteral("Rejestr w użyciu"), Prompts::Icon::Warning,
                                   {QStringLiteral("Otwórz tylko do &odczytu"),
                                    QStringLiteral("Otwórz &mimo to"), QStringLiteral("&Anuluj")});
    return answer == 0   ? RegisterAccess::ReadOnly
           : answer == 1 ? RegisterAccess::Normal
                         : RegisterAccess::Cancelled;
}

void TFGlowna::claimRegister(const QString& path, RegisterAccess access)
{
    forgetRegister(); // the register open so far stops being open
    setReadOnly(access == RegisterAccess::ReadOnly);
    // Taken before the copy: a change made while copying shows at Save as a file that
    // differs, never as one that does not.
    if (FileStamp::of(path, m_baseStamp) != 0)
        m_baseStamp = FileStamp();
    if (access != RegisterAccess::ReadOnly)
        lockRegister(path);
}

void TFGlowna::lockRegister(const QString& path)
{
    const int err = m_lock.acquire(path, Clock::instance().nowUtc());
    // Another user's lock stays where it is: that user still has the register open.
    m_lockNote =
        err == 0 || err == EEXIST
            ? QString()
            : QStringLiteral("Inni użytkownicy nie zobaczą, że rejestr jest otwarty: w jego katalogu "
                             "nie można utworzyć pliku blokady (kod błędu: ") +
                  QString::number(err) + QStringLiteral(").");
    setStatusNote(m_note);
}

void TFGlowna::rememberBase(const QString& path)
{
    MessageBuffer quiet;
    const QString base = basePath(quiet);
    // Without a base copy Save writes over the file as it always did.
    if (copyHashed(strFunGetTmpFilePath(quiet), base, &m_baseHash) != 0) {
        m_baseHash.clear();
        FileOps::removeFile(base);
    }
    if (!m_watcher) {
        m_watcher = new QFileSystemWatcher(this);
        connect(m_watcher, &QFileSystemWatcher::fileChanged, this, &TFGlowna::registerChangedOnDisk);
        connect(m_watcher, &QFileSystemWatcher::directoryChanged, this, &TFGlowna::registerChangedOnDisk);
    }
    if (!m_watcher->files().isEmpty())
        m_watcher->removePaths(m_watcher->files());
    if (!m_watcher->directories().isEmpty())
        m_watcher->removePaths(m_watcher->directories());
    // The folder too: a file saved by renaming a new one over it is another file.
    m_watcher->addPaths({path, QFileInfo(path).absolutePath()});
}

void TFGlowna::forgetRegister()
{
    m_lock.release();
    MessageBuffer quiet;
    for (const QString& file : {basePath(quiet), diskPath(quiet), mergedPath(quiet)})
        FileOps::removeFile(file);
    m_baseStamp = FileStamp();
    m_baseHash.clear();
    if (m_watcher && !m_watcher->files().isEmpty())
        m_watcher->removePaths(m_watcher->files());
    if (m_watcher && !m_watcher->directories().isEmpty())
        m_watcher->removePaths(m_watcher->directories());
    m_lockNote.clear();
    setReadOnly(false);
    setStatusNote(QString());
}

void TFGlowna::rememberSavedRegister(const QString& target)
{
    // The stamp first: it must describe the file as this save left it.
    if (FileStamp::of(target, m_baseStamp) != 0)
        m_baseStamp = FileStamp();
    rememberBase(target);
    setStatusNote(QString());
    // Opened while another user had it: the lock is taken once that user has left.
    if (!m_lock.held() && m_lockNote.isEmpty())
        m_lock.acquire(target, Clock::instance().nowUtc());
}

void TFGlowna::adoptSavedRegister(const QString& target)
{
    if (RegisterLock::lockPath(target) != m_lock.path()) {
        m_lock.release();
        lockRegister(target);
    }
    setReadOnly(false);
    rememberSavedRegister(target);
}

TFGlowna::SaveStep TFGlowna::joinChangesOnDisk(const QString& target)
{
    if (m_baseHash.isEmpty())
        return SaveStep::CopyWorkingCopy;
    FileStamp now;
    if (FileStamp::of(target, now) == 0 && now == m_baseStamp)
        return SaveStep::CopyWorkingCopy;
    // Another user may save again while this one joins: the file is read anew then.
    for (int attempt = 0; attempt < 3; ++attempt) {
        QByteArray hash;
        FileStamp read;
        bool unreadable = false;
        if (const int err = copyHashed(target, diskPath(m_buf), &hash, &read, &unreadable); err != 0) {
            FileOps::removeFile(diskPath(m_buf));
            m_buf.reset();
            if (!unreadable) { // the private copy could not be written
                m_buf << "Nie udało się dołączyć zmian innego użytkownika.\n\nKod błędu: " << err
                      << strFunFileErrorReason(err) << kNothingWritten;
                vFunLogError(m_buf, kSaveLabel);
                showError(m_buf.text());
                return SaveStep::Stopped;
            }
            m_buf << "Nie można odczytać pliku rejestru\n"
                  << target << "\nKod błędu: " << err << strFunFileErrorReason(err) << kUseSaveAs;
            vFunLogError(m_buf, kSaveLabel);
            Prompts::instance().message(this, m_buf.text(), QStringLiteral("Zapisz"), Prompts::Icon::Warning,
                                        Prompts::Buttons::Ok);
            return SaveStep::SaveAs;
        }
        if (hash == m_baseHash) { // rewritten, but the same
            FileOps::removeFile(diskPath(m_buf));
            m_baseStamp = read;
            return SaveStep::CopyWorkingCopy;
        }
        if (const SaveStep step = mergeSnapshot(target, read); step != SaveStep::CopyWorkingCopy)
            return step;
    }
    m_buf.reset();
    m_buf << "Plik rejestru\n" << target << "\nzmieniał się w trakcie zapisu." << kNothingWritten;
    vFunLogError(m_buf, kSaveLabel);
    showError(m_buf.text());
    return SaveStep::Stopped;
}

// Joins the snapshot of the file on disk with the working copy and writes the result;
// CopyWorkingCopy here means that the file changed again meanwhile and must be read anew.
TFGlowna::SaveStep TFGlowna::mergeSnapshot(const QString& target, const FileStamp& snapshotStamp)
{
    const QString tmp = strFunGetTmpFilePath(m_buf);
    const QString disk = diskPath(m_buf);
    const QString merged = mergedPath(m_buf);
    RegisterMergePlan plan;
    const auto decide = [this](const QString& student) {
        const int answer = Prompts::instance().choose(
            this,
            QStringLiteral("Dane ucznia ") + student + QStringLiteral(" zmienił także inny użytkownik."),
            QStringLiteral("Zapisz"), Prompts::Icon::Question,
            {QStringLiteral("Zachowaj &moje"), QStringLiteral("Zachowaj zapisane w &pliku"),
             QStringLiteral("&Anuluj")});
        return answer == 0 ? MergeChoice::Mine : answer == 1 ? MergeChoice::Theirs : MergeChoice::Cancel;
    };
    int err = copyHashed(tmp, merged, nullptr);
    QStringList repeats;
    const bool joined = err == 0 && Issued::bFunMergeKeepingIssues(m_buf, basePath(m_buf), disk, merged,
                                                                   decide, plan, repeats);
    FileOps::removeFile(disk);
    FileStamp now;
    if (joined && (FileStamp::of(target, now) != 0 || now != snapshotStamp)) {
        FileOps::removeFile(merged);
        return SaveStep::CopyWorkingCopy; // saved again by the other user meanwhile
    }
    if (joined)
        err = FileOps::copyFile(merged, target, false);
    if (joined && err == 0) {
        // The working copy becomes the register as written.
        if (std::rename(merged.toUtf8().constData(), tmp.toUtf8().constData()) != 0)
            FileOps::copyFile(merged, tmp, false);
        FileOps::removeFile(merged);
        rememberSavedRegister(target);
        refillKeepingSelection(plan);
        setStatusNote(
            QStringLiteral("Dołączono zmiany innego użytkownika: dodani %1, zmienieni %2, usunięci %3.")
                .arg(plan.added)
                .arg(plan.changed)
                .arg(plan.removed));
        if (!plan.damaged.isEmpty())
            reportDamagedStudents(target, plan.damaged);
        reportRepeatedNumbers(repeats);
        return SaveStep::Written;
    }

    FileOps::removeFile(merged);
    if (plan.cancelled)
        return SaveStep::Stopped;
    const QString reason =
        err != 0 ? QStringLiteral("Kod błędu: ") + QString::number(err) + strFunFileErrorReason(err)
                 : m_buf.text();
    m_buf.reset();
    if (plan.theirsUnreadable) {
        m_buf << "Plik\n"
              << target << "\nnie jest już plikiem rejestru: zastąpił go inny plik albo jest uszkodzony.\n\n"
              << reason << kUseSaveAs;
        vFunLogError(m_buf, kSaveLabel);
        Prompts::instance().message(this, m_buf.text(), QStringLiteral("Zapisz"), Prompts::Icon::Warning,
                                    Prompts::Buttons::Ok);
        return SaveStep::SaveAs;
    }
    m_buf << "Nie udało się dołączyć zmian innego użytkownika.\n\n" << reason << kNothingWritten;
    vFunLogError(m_buf, kSaveLabel);
    showError(m_buf.text());
    return SaveStep::Stopped;
}

void TFGlowna::reportDamagedStudents(const QString& target, const QStringList& students)
{
    m_buf.reset();
    m_buf << "W pliku rejestru\n"
          << target << "\nnie dało się odczytać danych uczniów:\n"
          << students.join(QLatin1Char('\n')) << "\nZapisano ich dane z Twojej kopii.";
    vFunLogError(m_buf, kSaveLabel);
    Prompts::instance().message(this, m_buf.text(), QStringLiteral("Zapisz"), Prompts::Icon::Warning,
                                Prompts::Buttons::Ok);
}

void TFGlowna::refillKeepingSelection(const RegisterMergePlan& plan)
{
    const QString table = selectedStudentTable();
    const QString document = selectedDocumentCaption();
    // The working copy is the list so far with the students taken in; listing the
    // whole register again would only repeat it.
    QSet<QString> taken;
    for (const QByteArray& name : plan.fromTheirs)
        taken.insert(SqlText::text(name.constData()));
    QList<StudentListEntry> students;
    students.reserve(m_students.size() + plan.theirStudents.size());
    for (const StudentListEntry& student : std::as_const(m_students))
        if (!taken.contains(student.tableName))
            students.append(student);
    students.append(plan.theirStudents);
    fillStudentTree(std::move(students));
    if (!document.isEmpty() && selectDocument(table, document))
        return;
    // The tree lists the students in the order of the list.
    for (int i = 0; i < m_students.size() && i < m_tree->topLevelItemCount(); ++i)
        if (!table.isEmpty() && m_students.at(i).tableName == table)
            m_tree->setCurrentItem(m_tree->topLevelItem(i));
    vFunUpdateStudentMenuItems();
}

void TFGlowna::setReadOnly(bool on)
{
    m_readOnly = on;
    setWindowTitle(on ? Version::mainCaption() + QLatin1Char(' ') + kReadOnly : Version::mainCaption());
    const QString why =
        on ? QStringLiteral("Rejestr otwarto tylko do odczytu: zapisz go w innym pliku („Zapisz jako”).")
           : QStringLiteral("Zapisz");
    if (QAction* save = action("Zapisz1")) {
        save->setEnabled(!on);
        save->setToolTip(why);
        save->setStatusTip(on ? why : QString());
    }
    if (auto* button = m_toolBar->findChild<QToolButton*>(QStringLiteral("SaveButton"))) {
        button->setEnabled(!on);
        button->setToolTip(why);
        button->setAccessibleDescription(on ? why : QString());
    }
    setStatusNote(m_note);
}

void TFGlowna::setStatusNote(const QString& note)
{
    m_note = note;
    QStringList parts;
    for (const QString& part : {m_readOnly ? kReadOnly : QString(), m_lockNote, note})
        if (!part.isEmpty())
            parts << part;
    const QString text = parts.join(QStringLiteral("  "));
    m_statusNote->setText(text);
    m_statusNote->setAccessibleName(text.isEmpty() ? QStringLiteral("Uwagi o rejestrze: brak")
                                                   : QStringLiteral("Uwagi o rejestrze: ") + text);
}

void TFGlowna::registerChangedOnDisk()
{
    const QString path = openDocumentPath();
    if (path.isEmpty() || m_baseStamp.isNull() || !m_watcher)
        return;
    // A file replaced by a rename is a new one to watch.
    if (!m_watcher->files().contains(path) && FileOps::exists(path))
        m_watcher->addPath(path);
    FileStamp now;
    if (FileStamp::of(path, now) != 0)
        setStatusNote(
            QStringLiteral("Plik rejestru usunięto albo przeniesiono: przy zapisie program zapyta o "
                           "nazwę pliku."));
    else if (now != m_baseStamp)
        setStatusNote(m_readOnly
                          ? QStringLiteral("Inny użytkownik zmienił plik rejestru.")
                          : QStringLiteral("Inny użytkownik zmienił plik rejestru: jego zmiany zostaną "
                                           "dołączone przy następnym zapisie."));
}

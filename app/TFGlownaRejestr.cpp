// The main window's side of a register that several desks share: the question when
// another desk has it open, the Save that joins the other desk's changes, and what the
// status bar says about it. The register itself is the RegisterSession.
#include "app/TFGlowna.h"
#include "app/Version.h"
#include "documents/RegisterMerge.h"
#include "documents/RegisterSession.h"
#include "prompts/Prompts.h"
#include "storage/DataFolder.h"
#include "storage/EventLog.h"
#include "storage/SqlText.h"

#include <QAction>
#include <QCoreApplication>
#include <QLabel>
#include <QSet>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>

namespace {

const QString kSaveLabel = QStringLiteral("bFunZapiszIstniejacyPlikSwiadectw()");
const QString kReadOnly = QStringLiteral("(tylko do odczytu)");

// "dodani 1 (Cieślak Anna)": how many, and who.
QString counted(const QString& what, const QStringList& students)
{
    QString text = what + QLatin1Char(' ') + QString::number(students.size());
    if (!students.isEmpty())
        text += QStringLiteral(" (") + students.join(QStringLiteral(", ")) + QLatin1Char(')');
    return text;
}

} // namespace

RegisterSession& TFGlowna::session()
{
    if (!m_session) {
        m_session = new RegisterSession(strFunGetTmpFilePath(m_buf), true, this);
        connect(m_session, &RegisterSession::notesChanged, this, &TFGlowna::showRegisterNotes);
    }
    return *m_session;
}

bool TFGlowna::readOnly() const
{
    return m_session && m_session->readOnly();
}

TFGlowna::RegisterAccess TFGlowna::askAboutOtherUser(const QString& path)
{
    const RegisterSession::OtherDesk other = RegisterSession::otherDesk(path);
    if (other.question.isEmpty())
        return RegisterAccess::Normal;
    const int answer = Prompts::instance().choose(
        this, other.question, QStringLiteral("Rejestr w użyciu"), Prompts::Icon::Warning,
        {QStringLiteral("Otwórz tylko do &odczytu"), QStringLiteral("Otwórz &mimo to"),
         QStringLiteral("&Anuluj")});
    // A desk gone for minutes gives its lock to the one that opens anyway.
    return answer == 0   ? RegisterAccess::ReadOnly
           : answer == 1 ? (other.state == RegisterLock::State::Inactive ? RegisterAccess::TakeOver
                                                                         : RegisterAccess::Normal)
                         : RegisterAccess::Cancelled;
}

void TFGlowna::claimRegister(const QString& path, RegisterAccess access)
{
    m_note.clear();
    session().claim(path, access == RegisterAccess::ReadOnly, access == RegisterAccess::TakeOver);
    setReadOnly(access == RegisterAccess::ReadOnly);
}

void TFGlowna::forgetRegister()
{
    m_note.clear();
    session().forget();
    setReadOnly(false);
}

std::optional<bool> TFGlowna::saveOverRegister()
{
    const auto decide = [this](MergeQuestion question, const QString& student) {
        QString text;
        QStringList buttons;
        switch (question) {
        case MergeQuestion::BothChanged:
            text =
                QStringLiteral("Dane ucznia ") + student + QStringLiteral(" zmienił także inny użytkownik.");
            buttons = {QStringLiteral("Zachowaj &moje"), QStringLiteral("Zachowaj zapisane w &pliku"),
                       QStringLiteral("&Anuluj")};
            break;
        case MergeQuestion::DeletedThereChangedHere:
            text = QStringLiteral("Ucznia ") + student +
                   QStringLiteral(" usunął inny użytkownik, a Ty zmieniłeś jego dane.");
            buttons = {QStringLiteral("&Zachowaj ucznia"), QStringLiteral("&Usuń ucznia"),
                       QStringLiteral("&Anuluj")};
            break;
        case MergeQuestion::ChangedThereDeletedHere:
            text = QStringLiteral("Ucznia ") + student +
                   QStringLiteral(" zmienił inny użytkownik, a Ty usunąłeś go z rejestru.");
            buttons = {QStringLiteral("&Zachowaj ucznia"), QStringLiteral("&Usuń ucznia"),
                       QStringLiteral("&Anuluj")};
            break;
        }
        const int answer = Prompts::instance().choose(this, text, QStringLiteral("Zapisz"),
                                                      Prompts::Icon::Question, buttons);
        if (answer != 0 && answer != 1)
            return MergeChoice::Cancel;
        // For a deleted student, "Zachowaj ucznia" keeps the side that still has it.
        const bool first = answer == 0;
        switch (question) {
        case MergeQuestion::BothChanged:
        case MergeQuestion::DeletedThereChangedHere:
            return first ? MergeChoice::Mine : MergeChoice::Theirs;
        case MergeQuestion::ChangedThereDeletedHere:
            break;
        }
        return first ? MergeChoice::Theirs : MergeChoice::Mine;
    };
    const auto waiting = [this](const QString& who) {
        m_statusNote->setText(QStringLiteral("Zapisuje teraz ") + who + QStringLiteral(": czekam…"));
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    };
    const QString target = openDocumentPath();
    const RegisterSession::SaveResult result = session().save(decide, waiting);
    showRegisterNotes();
    if (!result.message.isEmpty()) {
        m_buf.reset();
        m_buf << result.message;
        vFunLogError(m_buf, kSaveLabel);
        if (result.warning)
            Prompts::instance().message(this, m_buf.text(), QStringLiteral("Zapisz"), Prompts::Icon::Warning,
                                        Prompts::Buttons::Ok);
        else
            showError(m_buf.text());
    }
    switch (result.outcome) {
    case RegisterSession::SaveResult::Outcome::SaveAs:
        return std::nullopt;
    case RegisterSession::SaveResult::Outcome::Stopped:
        return false;
    case RegisterSession::SaveResult::Outcome::Written:
        break;
    }
    if (!result.joined)
        return true;
    using Kind = StudentChange::Kind;
    const RegisterMergePlan& plan = result.plan;
    refillKeepingSelection(plan);
    QString note = QStringLiteral("Dołączono zmiany innego użytkownika: ") +
                   counted(QStringLiteral("dodani"), plan.students(Kind::Added)) + QStringLiteral(", ") +
                   counted(QStringLiteral("zmienieni"), plan.students(Kind::Changed)) + QStringLiteral(", ") +
                   counted(QStringLiteral("usunięci"), plan.students(Kind::Removed)) + QLatin1Char('.');
    if (const QStringList kept = plan.students(Kind::KeptMissing); !kept.isEmpty())
        note += QStringLiteral(" Zachowani, choć brak ich w pliku: ") + kept.join(QStringLiteral(", ")) +
                QLatin1Char('.');
    setStatusNote(note);
    // The event log keeps what the join did, student by student.
    m_buf.reset();
    m_buf << note;
    vFunLogError(m_buf, kSaveLabel);
    if (const QStringList damaged = plan.students(Kind::Damaged); !damaged.isEmpty())
        reportDamagedStudents(target, damaged);
    reportRepeatedNumbers(result.repeatedNumbers);
    return true;
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

void TFGlowna::showRegisterNotes()
{
    setStatusNote(m_note);
}

void TFGlowna::setStatusNote(const QString& note)
{
    m_note = note;
    // A change seen on disk replaces what the last join said.
    const QString disk = m_session ? m_session->diskNote() : QString();
    QStringList parts;
    for (const QString& part : {readOnly() ? kReadOnly : QString(),
                                m_session ? m_session->lockNote() : QString(), disk.isEmpty() ? note : disk})
        if (!part.isEmpty())
            parts << part;
    const QString text = parts.join(QStringLiteral("  "));
    m_statusNote->setText(text);
    m_statusNote->setAccessibleName(text.isEmpty() ? QStringLiteral("Uwagi o rejestrze: brak")
                                                   : QStringLiteral("Uwagi o rejestrze: ") + text);
}

// The main window's side of class lists: students read from a CSV file into the
// register in one step, and the register's students written out as CSV.
#include "app/TFGlowna.h"

#include "documents/DocumentFile.h"
#include "documents/DocumentForm.h"
#include "documents/StudentFields.h"
#include "documents/TFDaneUcznia.h"
#include "documents/TFImportUczniow.h"
#include "platform/FileErrorReason.h"
#include "platform/FileOps.h"
#include "prompts/Prompts.h"
#include "storage/DataFolder.h"
#include "storage/EventLog.h"
#include "storage/RecentFiles.h"
#include "storage/Templates.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProgressDialog>

namespace {

const QString kImportCaption = QStringLiteral("Import uczniów");
const QString kExportCaption = QStringLiteral("Eksport uczniów");

void inform(QWidget* parent, const QString& text, const QString& caption, Prompts::Icon icon)
{
    Prompts::instance().message(parent, text, caption, icon, Prompts::Buttons::Ok);
}

// The file's bytes; false with the reason in `error` when they cannot be read.
bool readList(const QString& path, QByteArray& bytes, QString& error)
{
    const QString cannot = QStringLiteral("Nie można odczytać pliku:\n") + path;
    // A pipe or a device in the file's place would never end.
    if (FileOps::kind(path) != FileOps::Kind::Regular) {
        error =
            cannot + (FileOps::kind(path) == FileOps::Kind::Missing ? QStringLiteral("\nPlik nie istnieje.")
                                                                    : QStringLiteral("\nTo nie jest plik."));
        return false;
    }
    QFile file(path);
    if (file.size() > StudentImport::LargestFile) {
        error = StudentImport::problemText(StudentImport::Problem::TooLarge, path);
        return false;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        error = cannot + (file.error() == QFileDevice::PermissionsError
                              ? QStringLiteral("\nBrak uprawnień do odczytu pliku.")
                              : QString());
        return false;
    }
    bytes = file.read(StudentImport::LargestFile + 1);
    if (file.error() != QFileDevice::NoError) {
        error = cannot;
        return false;
    }
    return true;
}

} // namespace

void TFGlowna::Importujuczniow1Click()
{
    const QString path = Prompts::instance().openFileName(
        this, QStringLiteral("Importuj uczniów z pliku CSV"),
        QStringLiteral("Pliki CSV (*.csv *.txt)|*.csv;*.txt"), strFunDialogStart(FileKind::ClassLists));
    if (path.isEmpty())
        return;
    vFunRememberFolder(FileKind::ClassLists, path);
    importClassList(path);
}

void TFGlowna::importClassList(const QString& path)
{
    QByteArray bytes;
    QString error;
    if (!readList(path, bytes, error)) {
        showError(error);
        return;
    }
    QSet<QString> registerTables;
    for (const StudentListEntry& student : std::as_const(m_students))
        registerTables.insert(student.tableName);

    TFImportUczniow window(this);
    if (!window.setFile(path, bytes, registerTables)) {
        inform(this, window.problem(), kImportCaption, Prompts::Icon::Warning);
        return;
    }
    // The file is read whole: what the window shows is what is stored, even if the file
    // changes or disappears meanwhile.
    bytes.clear();
    window.setStore([this, &window](const QList<StudentImport::Row>& rows) {
        const QString workingCopy = strFunGetTmpFilePath(m_buf);
        // What the three forms store for a student whose documents are empty, in their order.
        FieldRowList blank;
        m_windows.daneUcznia->CollectFields(blank);
        m_windows.zawiadomienie->CollectFields(blank);
        m_windows.potwierdzenie->CollectFields(blank);
        for (FieldRow& row : blank)
            row.value.clear();

        QStringList replaced;
        for (const StudentImport::Row& row : rows)
            if (row.state == StudentImport::State::InRegister)
                replaced << row.tableName;
        QList<FieldRowList> stored;
        if (!replaced.isEmpty() && !bFunLoadStudentTables(m_buf, workingCopy, replaced, stored)) {
            showError(QStringLiteral("Błąd podczas próby wczytania danych.\n\n") + m_buf.text());
            return false;
        }
        QList<StudentTable> tables;
        tables.reserve(rows.size());
        qsizetype next = 0; // the stored tables come in the order of `replaced`
        for (const StudentImport::Row& row : rows) {
            const bool replace = row.state == StudentImport::State::InRegister;
            tables.append({row.tableName,
                           StudentImport::rowsOf(row, blank, replace ? stored.at(next++) : FieldRowList()),
                           replace});
        }

        // A new register gets its working copy as the student form gives it one.
        if (iFunCheckIsStudentExists(m_buf, workingCopy, StudentFields::tableName(QString()), true) < 0) {
            showError(QStringLiteral("Błąd zapisu danych.\n\n") + m_buf.text());
            return false;
        }
        // A long list shows how far it is and can be stopped; "Anuluj" leaves the register
        // as it was.
        QProgressDialog progress(QStringLiteral("Zapisywanie uczniów w rejestrze…"), QStringLiteral("Anuluj"),
                                 0, int(tables.size()), &window);
        progress.setWindowTitle(kImportCaption);
        progress.setWindowModality(Qt::WindowModal);
        // A class stores in a blink; a school's list shows its progress from the start.
        progress.setMinimumDuration(tables.size() > 200 ? 0 : 500);
        progress.setAutoReset(false);
        int done = 0;
        QElapsedTimer sinceShown;
        const bool ok = bFunStoreStudents(
            m_buf, workingCopy, tables,
            [&] {
                ++done;
                // The window is drawn a few times a second, not once per pupil.
                if (!sinceShown.isValid() || sinceShown.elapsed() >= 50 || done == int(tables.size())) {
                    progress.setValue(done);
                    sinceShown.start();
                }
            },
            [&progress] { return progress.wasCanceled(); });
        const bool stopped = progress.wasCanceled();
        progress.close();
        if (!ok) {
            // A journal a failure left beside the working copy is rolled back now, not at
            // the next opening.
            if (FileOps::exists(workingCopy + QStringLiteral("-journal"))) {
                MessageBuffer quiet;
                bFunSettleDocumentFile(quiet, workingCopy);
            }
            if (stopped)
                inform(&window, m_buf.text(), kImportCaption, Prompts::Icon::Information);
            else
                showError(QStringLiteral("Błąd zapisu danych.\n\nŻaden uczeń nie został zapisany.\n\n") +
                          m_buf.text());
            return false;
        }
        m_unsavedChanges = true;

        // The place lists learn the file's towns and provinces, as they learn typed ones.
        QSet<QString> towns;
        QSet<QString> provinces;
        for (const StudentImport::Row& row : rows) {
            towns.insert(row.given.value(StudentFields::Town));
            provinces.insert(row.given.value(StudentFields::Province));
        }
        MessageBuffer quiet; // a failure is logged there, as for the form
        for (const QString& town : std::as_const(towns))
            if (!town.isEmpty())
                bFunStudentDataAddCity(quiet, town);
        for (const QString& province : std::as_const(provinces))
            if (!province.isEmpty())
                bFunStudentDataAddProvince(quiet, province);

        vFunRefreshStudentList();
        int errors = 0;
        for (const StudentImport::Row& row : window.rows())
            errors += row.state == StudentImport::State::Error ? 1 : 0;
        const qsizetype added = rows.size() - replaced.size();
        QString summary = QStringLiteral("Wczytano uczniów: %1 (nowych: %2, zastąpionych: %3).")
                              .arg(rows.size())
                              .arg(added)
                              .arg(replaced.size());
        if (errors > 0)
            summary += QStringLiteral("\nWierszy z błędami, których nie wczytano: %1.").arg(errors);
        inform(this, summary, kImportCaption, Prompts::Icon::Information);
        return true;
    });
    window.exec();
}

void TFGlowna::Eksportujliste1Click()
{
    if (m_students.isEmpty()) {
        inform(this, QStringLiteral("W rejestrze nie ma żadnego ucznia."), kExportCaption,
               Prompts::Icon::Information);
        return;
    }
    const QString path = Prompts::instance().saveFileName(
        this, QStringLiteral("Eksportuj listę uczniów do CSV"), QStringLiteral("Pliki CSV (*.csv)|*.csv"),
        strFunDialogStart(FileKind::ClassLists, QStringLiteral("uczniowie.csv")));
    if (path.isEmpty())
        return;
    vFunRememberFolder(FileKind::ClassLists, path);
    if (FileOps::exists(path) &&
        !Prompts::instance().askYesNo(
            this, QStringLiteral("Wybrany plik już istnieje.\nCzy chcesz zastąpić istniejący plik ?"),
            kExportCaption, Prompts::Icon::Question, Prompts::Answer::No))
        return;

    // In the order of the list.
    QStringList tables;
    for (const StudentListEntry& student : std::as_const(m_students))
        tables << student.tableName;
    QList<FieldRowList> loaded;
    if (!bFunLoadStudentTables(m_buf, strFunGetTmpFilePath(m_buf), tables, loaded)) {
        showError(QStringLiteral("Błąd podczas próby wczytania danych.\n\n") + m_buf.text());
        return;
    }
    // Only students: a table without the student's rows (another program's) has none to give.
    QList<FieldRowList> students;
    for (const FieldRowList& rows : std::as_const(loaded))
        if (std::any_of(rows.cbegin(), rows.cend(),
                        [](const FieldRow& r) { return r.id == StudentFields::Section; }))
            students.append(rows);

    if (const int err = FileOps::writeFile(path, StudentImport::exportText(students)); err != 0) {
        m_buf.reset();
        m_buf << "Błąd zapisu pliku:\n"
              << path << "\nKod błędu: " << err << strFunFileErrorReason(err)
              << "\nLista uczniów nie została zapisana.";
        vFunLogError(m_buf, QStringLiteral("Eksportujliste1Click()"));
        showError(m_buf.text());
        return;
    }
    inform(this, QStringLiteral("Zapisano listę uczniów (%1) w pliku:\n").arg(students.size()) + path,
           kExportCaption, Prompts::Icon::Information);
}

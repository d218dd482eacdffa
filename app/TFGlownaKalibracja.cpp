// The main window's side of the calibration: the editor in its two modes with the
// preview that follows it, and the calibration file copied out and in.
#include "app/TFGlowna.h"

#include "documents/DocumentForm.h"
#include "platform/FileOps.h"
#include "printing/TFKalibracja.h"
#include "prompts/Prompts.h"
#include "storage/DataPaths.h"
#include "storage/EventLog.h"
#include "storage/RecentFiles.h"

#include <QFileInfo>
#include <QLabel>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>

#include <cerrno>

namespace {

const QString kCalibFilter = QStringLiteral("Kalibracja(*.sqset)|*.sqset");
const QString kTransferKey = QStringLiteral("zawiadomienie_o_przekazaniu");
const QString kAdmissionKey = QStringLiteral("potwierdzenie_przyjecia_ucznia");

bool sameFile(const QString& a, const QString& b)
{
    const QString canonical = QFileInfo(a).canonicalFilePath();
    return !canonical.isEmpty() && canonical == QFileInfo(b).canonicalFilePath();
}

// Like a read-only file on the desktop the program was made for, a file without its
// owner's write permission is not replaced.
int writableTarget(const QString& target)
{
    if (FileOps::exists(target) && !(QFile::permissions(target) & QFileDevice::WriteOwner))
        return EACCES;
    return 0;
}

} // namespace

void TFGlowna::connectCalibration()
{
    m_windows.kalibracja.whenBuilt([this](TFKalibracja* editor) {
        TFKalibracja::Host host;
        host.drawPreview = [this](const QString& key, const QString& highlighted) {
            drawCalibrationPreview(key, highlighted);
        };
        host.fillSampleValues = [this] {
            m_windows.zawiadomienie->FillSampleValues();
            m_windows.potwierdzenie->FillSampleValues();
        };
        host.reloadStudents = [this] { vFunRefreshStudentList(); };
        host.clearPreview = [this] { vFunBlankPreview(); };
        editor->setHost(std::move(host));
    });
}

void TFGlowna::Formatowaniewiadectwapodstawowe1Click()
{
    openCalibrationEditor(false);
}

void TFGlowna::Ustawieniaczcionki1Click()
{
    openCalibrationEditor(true);
}

void TFGlowna::openCalibrationEditor(bool advanced)
{
    TFKalibracja* editor = m_windows.kalibracja;
    if (!editor)
        return;
    setHighlightMode(true);
    editor->setMode(advanced ? TFKalibracja::Mode::Advanced : TFKalibracja::Mode::Basic);
    // At the left of the screen, so that the preview beside it stays in view.
    if (const QScreen* where = screen()) {
        const QRect area = where->availableGeometry();
        editor->move(area.left() + 5, area.top() + qMax(0, (area.height() - editor->height()) / 2));
    }
    editor->setWindowTitle(advanced ? QStringLiteral("Formatowanie zaawansowane")
                                    : QStringLiteral("Formatowanie podstawowe"));
    const QString table = selectedStudentTable();
    const QString document = selectedDocumentCaption();
    // The editor reads the student list again as it closes.
    editor->exec();
    setHighlightMode(false);
    // The document forms hold the sample values now: the document chosen before is
    // selected again, which loads its student's own values back and draws it instead of
    // the blanked preview. A student still selected (the list could not be read again)
    // gets its own values back before any command uses them.
    if (document.isEmpty() || !selectDocument(table, document)) {
        if (!selectedStudentCaption().isEmpty())
            TreeViewClick();
    }
    // The editor scrolled the preview to its last object; the page is read from the top.
    m_scroll->verticalScrollBar()->setValue(0);
}

void TFGlowna::drawCalibrationPreview(const QString& key, const QString& highlighted)
{
    m_highlightedName = highlighted;
    if (key == kTransferKey)
        vFunDrawPage(m_windows.zawiadomienie, false, 0, 1);
    else if (key == kAdmissionKey)
        vFunDrawPage(m_windows.potwierdzenie, false, 1, 1);
}

void TFGlowna::vFunBlankPreview()
{
    finishStartPage();
    QPixmap blank(previewPageSize());
    blank.fill(Qt::white);
    m_image->setPixmap(blank);
    applyZoom();
}

namespace {

// The failures of the calibration file commands, as one box: logged, caption
// "Atrybuty", warning icon.
void reportCopyFailure(QWidget* parent, MessageBuffer& buf, const QString& fun, const QString& text)
{
    buf.reset();
    buf << "Funkcja: " << fun << "\n\n" << text;
    vFunLogError(buf, fun);
    Prompts::instance().message(parent, buf.text(), QStringLiteral("Atrybuty"), Prompts::Icon::Warning,
                                Prompts::Buttons::Ok);
}

QString copyFailure(const QString& source, const QString& target, int error)
{
    return QStringLiteral("Błąd podczas próby kopiowania pliku\nz\n") + source + QStringLiteral("\ndo\n") +
           target + QStringLiteral("\nKod błędu: ") + QString::number(error) +
           QStringLiteral("\n\nDane nie zostały zapisane.");
}

QString sameFileFailure(const QString& path)
{
    return QStringLiteral("Plik\n") + path +
           QStringLiteral("\njest plikiem kalibracji programu; nie można go skopiować na samego siebie.\n\n"
                          "Dane nie zostały zapisane.");
}

} // namespace

void TFGlowna::EksportujPlikKalibracji()
{
    const QString fun = QStringLiteral("EksportujPlikKalibracji()");
    const QString target = Prompts::instance().saveFileName(
        this, QStringLiteral("Zapisz plik kalibracji"), kCalibFilter,
        strFunDialogStart(FileKind::Calibration, QStringLiteral("dokumenty_kalibracja")));
    if (target.isEmpty())
        return;
    vFunRememberFolder(FileKind::Calibration, target);
    const QString source = strFunGetCalibFilePath(m_buf, false);
    if (sameFile(source, target)) {
        reportCopyFailure(this, m_buf, fun, sameFileFailure(target));
        return;
    }
    int error = writableTarget(target);
    // The dialog leaves the overwrite question to the program: a file is not replaced unasked.
    if (!error && FileOps::exists(target) &&
        !Prompts::instance().askYesNo(
            this, QStringLiteral("Wybrany plik już istnieje.\nCzy chcesz zastąpić istniejący plik ?"),
            QStringLiteral("Zapisz plik kalibracji")))
        return;
    if (!error)
        error = FileOps::copyFile(source, target, false);
    if (error)
        reportCopyFailure(this, m_buf, fun, copyFailure(source, target, error));
}

void TFGlowna::ImportujPlikKalibracji()
{
    const QString fun = QStringLiteral("ImportujPlikKalibracji()");
    const QString source =
        Prompts::instance().openFileName(this, QStringLiteral("Wczytaj plik kalibracji"), kCalibFilter,
                                         strFunDialogStart(FileKind::Calibration));
    if (source.isEmpty())
        return;
    vFunRememberFolder(FileKind::Calibration, source);
    const QString target = strFunGetCalibFilePath(m_buf, false);
    if (sameFile(source, target)) {
        reportCopyFailure(this, m_buf, fun, sameFileFailure(source));
        return;
    }
    int error = writableTarget(target);
    if (error) {
        reportCopyFailure(this, m_buf, fun, copyFailure(source, target, error));
        return;
    }
    // The chosen file is only read: its objects, once checked, go into a new file that
    // the program makes itself beside the calibration file, and that file replaces the
    // calibration. Whatever else the chosen file holds (triggers, views, indexes, a
    // journal mode of its own) never arrives.
    QList<CalibTable> tables;
    QString reason;
    if (!bFunReadCalibFile(source, tables, reason)) {
        reportCopyFailure(this, m_buf, fun,
                          QStringLiteral("Plik\n") + source +
                              QStringLiteral("\nnie jest plikiem kalibracji: ") + reason +
                              QStringLiteral(".\n\nObecne ustawienia kalibracji pozostały bez zmian."));
        return;
    }
    const QFileInfo info(target);
    const QString built =
        info.absolutePath() + QStringLiteral("/.") + info.fileName() + QStringLiteral(".import");
    if (!bFunWriteCalibFile(m_buf, built, tables)) {
        reportCopyFailure(this, m_buf, fun,
                          QStringLiteral("Błąd podczas próby zapisania pliku kalibracji\n") + built +
                              QStringLiteral("\n\n") + m_buf.text() +
                              QStringLiteral("\n\nObecne ustawienia kalibracji pozostały bez zmian."));
        return;
    }
    error = FileOps::copyFile(built, target, false);
    FileOps::removeFile(built);
    if (error)
        reportCopyFailure(this, m_buf, fun, copyFailure(source, target, error));
}

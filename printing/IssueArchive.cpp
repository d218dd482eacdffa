#include "printing/IssueArchive.h"

#include "platform/FileErrorReason.h"
#include "platform/FileWrite.h"
#include "printing/PageRenderer.h"

#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace IssueArchive {

namespace {

QString reasonOf(int err)
{
    const QString reason = strFunFileErrorReason(err);
    return reason.isEmpty() ? QStringLiteral("Kod błędu: ") + QString::number(err) : reason.mid(1);
}

// Writes the file whole, without forcing it to the disk; 0 or the errno value.
int writeWhole(const QString& path, const QByteArray& data)
{
    const int fd =
        ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return errno;
    qsizetype done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(fd, data.constData() + done, size_t(data.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            const int err = n < 0 ? errno : EIO;
            ::close(fd);
            ::unlink(QFile::encodeName(path).constData());
            return err;
        }
        done += n;
    }
    return ::close(fd) == 0 ? 0 : errno;
}

} // namespace

void flush(const QStringList& files)
{
    // The data of all the copies goes out together; each file then only waits for it.
    QStringList folders;
    for (const QString& file : files) {
        const int fd = ::open(QFile::encodeName(file).constData(), O_RDONLY | O_CLOEXEC);
        if (fd >= 0) {
            ::fdatasync(fd);
            ::close(fd);
        }
        const QString folder = QFileInfo(file).absolutePath();
        if (!folders.contains(folder))
            folders << folder;
    }
    for (const QString& folder : std::as_const(folders)) {
        const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd >= 0) {
            ::fsync(fd);
            ::close(fd);
        }
    }
}

QString folderFor(const QString& registerPath)
{
    if (registerPath.isEmpty())
        return QString();
    const QFileInfo info(registerPath);
    return info.absolutePath() + QLatin1Char('/') + info.completeBaseName() +
           QStringLiteral(" – wydane dokumenty");
}

QString fileName(const Meta& meta)
{
    QString name = meta.number + QStringLiteral(" – ") + meta.pupil + QStringLiteral(" – ") + meta.document;
    static const QString kForbidden = QStringLiteral("/\\:*?\"<>|");
    for (QChar& c : name)
        if (kForbidden.contains(c) || c.unicode() < 32)
            c = u'_';
    return name.left(200).trimmed() + QStringLiteral(".pdf");
}

QByteArray pdfOf(const QPicture& page, const Meta& meta)
{
    return pdfOf(QList<QPicture>{page}, meta);
}

QByteArray pdfOf(const QList<QPicture>& layers, const Meta& meta)
{
    QBuffer pdf;
    pdf.open(QIODevice::WriteOnly);
    {
        QPdfWriter writer(&pdf);
        writer.setPdfVersion(QPagedPaintDevice::PdfVersion_A1b);
        writer.setResolution(600);
        writer.setTitle(meta.document + QStringLiteral(" – ") + meta.pupil + QStringLiteral(" – L. dz. ") +
                        meta.number);
        writer.setCreator(QStringLiteral("Melvok - Liceum: Drukowanie dokumentów"));
        writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF()));
        QPainter painter;
        if (!painter.begin(&writer))
            return QByteArray();
        for (const QPicture& layer : layers)
            PageRenderer::stretch(painter, layer, QRectF(0, 0, writer.width(), writer.height()));
        if (!painter.end())
            return QByteArray();
    }
    return pdf.data().trimmed().endsWith("%%EOF") ? pdf.data() : QByteArray();
}

QString write(const QString& folder, const QPicture& page, const Meta& meta, QString& error)
{
    return writeMade(folder, pdfOf(page, meta), meta, error);
}

QString writeMade(const QString& folder, const QByteArray& pdf, const Meta& meta, QString& error, bool sync)
{
    if (folder.isEmpty()) {
        error = QStringLiteral("Rejestr nie ma jeszcze pliku: zapisz go, aby kopie dokumentów były "
                               "przechowywane obok niego.");
        return QString();
    }
    if (pdf.isEmpty()) {
        error = QStringLiteral("Nie udało się utworzyć treści dokumentu.");
        return QString();
    }
    if (!QDir().mkpath(folder)) {
        error = QStringLiteral("Nie można utworzyć folderu ") + folder;
        return QString();
    }
    // Written whole under a hidden name, then linked under the first free name: a link
    // never replaces a file, so a copy made by another desk at the same moment stays.
    const QString temporary = folder + QStringLiteral("/.kopia-%1.tmp").arg(::getpid());
    if (const int err = sync ? FileWrite::replaceWith(temporary, pdf) : writeWhole(temporary, pdf);
        err != 0) {
        error = reasonOf(err);
        return QString();
    }
    const QString name = fileName(meta);
    const QString stem = name.chopped(4);
    QString target;
    int err = EEXIST;
    for (int n = 1; n < 1000 && err == EEXIST; ++n) {
        target = folder + QLatin1Char('/') + (n == 1 ? name : stem + QStringLiteral(" (%1).pdf").arg(n));
        err = ::link(QFile::encodeName(temporary).constData(), QFile::encodeName(target).constData()) == 0
                  ? 0
                  : errno;
    }
    ::unlink(QFile::encodeName(temporary).constData());
    if (err != 0) {
        error = reasonOf(err);
        return QString();
    }
    return target;
}

} // namespace IssueArchive

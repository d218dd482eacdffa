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
#include <unistd.h>

namespace IssueArchive {

namespace {

QString reasonOf(int err)
{
    const QString reason = strFunFileErrorReason(err);
    return reason.isEmpty() ? QStringLiteral("Kod błędu: ") + QString::number(err) : reason.mid(1);
}

} // namespace

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
        PageRenderer::stretch(painter, page, QRectF(0, 0, writer.width(), writer.height()));
        if (!painter.end())
            return QByteArray();
    }
    return pdf.data().trimmed().endsWith("%%EOF") ? pdf.data() : QByteArray();
}

QString write(const QString& folder, const QPicture& page, const Meta& meta, QString& error)
{
    return writeMade(folder, pdfOf(page, meta), meta, error);
}

QString writeMade(const QString& folder, const QByteArray& pdf, const Meta& meta, QString& error)
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
    if (const int err = FileWrite::replaceWith(temporary, pdf); err != 0) {
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

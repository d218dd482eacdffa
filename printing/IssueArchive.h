// The copies of issued documents: every issue is also written as a PDF/A-1b file (fonts
// embedded, the number, the pupil and the document in its metadata) into the folder
// "<register name> – wydane dokumenty" beside the register. A copy is never
// overwritten: a name already taken gets " (2)", " (3)" and so on.
#pragma once

#include <QDateTime>
#include <QPicture>
#include <QString>
#include <QStringList>

namespace IssueArchive {

// The folder beside the register; empty for a register without a file yet.
QString folderFor(const QString& registerPath);

struct Meta {
    QString number;
    QString pupil;
    QString document;
    QDateTime issuedAt;
};

// "<number> – <pupil> – <document>.pdf", with what a file name cannot hold replaced.
QString fileName(const Meta& meta);

// The page (885 x 1314 units) filling an A4 sheet, as a PDF/A-1b document in memory.
QByteArray pdfOf(const QPicture& page, const Meta& meta);
// The same with the page laid out of pictures drawn one over another. A picture is read
// by one thread at a time: the caller gives each thread copies of its own.
QByteArray pdfOf(const QList<QPicture>& layers, const Meta& meta);

// Writes the copy into `folder` (created when missing) under a free name; the path of
// the file, or an empty text with the reason in `error`.
QString write(const QString& folder, const QPicture& page, const Meta& meta, QString& error);
// The same with the document already made by pdfOf(). Without `sync` the file is not
// forced to the disk: flush() does that once for many copies.
QString writeMade(const QString& folder, const QByteArray& pdf, const Meta& meta, QString& error,
                  bool sync = true);
// Forces the copies written by writeMade() without `sync`, and their folder, to the disk.
void flush(const QStringList& files);

} // namespace IssueArchive

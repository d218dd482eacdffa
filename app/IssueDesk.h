// The office's book at the print: proposes the "L. dz." number of a document, checks the
// one the user confirms, draws it into the page and, once the job went out, keeps the
// record and the PDF/A copy of the issue. One desk serves one print command: a single
// document, or a batch in which every page gets a number of its own.
#pragma once

#include "documents/IssuedDocuments.h"
#include "printing/PageRenderer.h"
#include "printing/TFDrukuj.h"
#include "storage/FieldRow.h"
#include "storage/MessageBuffer.h"

#include <QHash>
#include <QPicture>

#include <functional>

class DocumentForm;
class QWidget;

class IssueDesk
{
public:
    struct Context {
        QWidget* parent = nullptr;
        MessageBuffer* buf = nullptr;
        QString workingCopy;
        QString registerPath; // empty: the register has no file yet
        bool readOnly = false;
        QList<StudentListEntry> students;
        std::function<void()> changed; // a record was stored in the working copy
    };
    explicit IssueDesk(Context context);

    // The number pattern of the school data template (empty when none is set).
    static QString pattern(MessageBuffer& buf);
    // The page's texts with the number, the reprint's mark and, for a reprint, the texts
    // the document was issued with.
    static PageTexts withIssue(PageTexts base, const QString& number, const QString& duplicateMark,
                               const QMap<QString, QString>& issuedFields);
    // The calibration with the number's and the mark's objects added where a calibration
    // file of an earlier version lacks them.
    static QList<CalibEntry> withIssueEntries(QList<CalibEntry> entries);
    // The values of a document form as its page shows them.
    static QMap<QString, QString> fieldsOf(const DocumentForm& form);

    // Reads the register's records; false when the user does not want to print after
    // being told that the record cannot be kept (a read-only register, an unreadable book).
    // `known`: pupils' tables already read as `knownRows`, not read again.
    bool begin(const QStringList& known = {}, const QList<FieldRowList>& knownRows = {});
    bool keeping() const { return m_keep; }

    // One document of one pupil. `draw` records the printed page from the texts given.
    IssueHooks single(const QString& tableName, int document, const DocumentForm& form,
                      std::function<QPicture(const PageTexts&)> draw);

    // A batch: the hooks of the dialog, then per page its texts (the number given there)
    // and the page as drawn.
    IssueHooks batch(int document);
    PageTexts batchTexts(int index, const QString& tableName, const PageTexts& base);
    // `layers`: the pictures `draw` lays one over another, kept for the page's copy.
    void keepBatchPage(int index, const DocumentForm& form, const DrukujSheet::PagePainter& draw,
                       const QList<QPicture>& layers);

    // The records as last read and written.
    const QList<Issued::Record>& records() const { return m_records; }

    // The PDF/A copies are written after the job went out, beside the user's work; their
    // records are completed when they are done. Copies not yet written (0 when none).
    static int copiesPending();
    // Waits, the window still answering, until every copy is written and its record
    // completed: before the working copy is saved or replaced.
    static void finishCopies();

private:
    struct Pending {
        QString tableName;
        QString number;
        bool reprint = false;
        bool duplicate = false;
        QMap<QString, QString> fields;
        DrukujSheet::PagePainter draw;
        // The page as drawn, for its PDF/A copy made once the job went out.
        QList<QPicture> copy;
    };
    // Keeps the pictures of the drawn page for its copy, as copies of their own for the
    // thread that makes it.
    void keepForCopy(Pending& page, const QList<QPicture>& layers);
    QString pupilOf(const QString& tableName) const;
    QString proposal(const QString& tableName, int document, int offset, bool* reprint) const;
    // Keeps the records of the pages that went out and starts writing their copies.
    void issue(const QList<Pending>& pages, int document, const QString& printer, const QString& pdfFile);

    Context m_ctx;
    QList<Issued::Record> m_records;
    QString m_pattern;
    bool m_keep = false;
    // The batch: the numbers given so far and the pages drawn.
    int m_batchDocument = 0;
    int m_nextOffset = 0;
    QHash<int, Pending> m_batch;
};

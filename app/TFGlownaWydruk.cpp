// One document for many students: the students chosen in the tree, each page drawn from
// that student's stored values by the preview's own drawing, sent as one job.
#include "app/TFGlowna.h"

#include "documents/DocumentFile.h"
#include "documents/DocumentForm.h"
#include "documents/TFDaneUcznia.h"
#include "printing/TFDrukuj.h"
#include "prompts/Prompts.h"
#include "storage/DataPaths.h"

#include <QHash>

void TFGlowna::DrukujDlaZaznaczonychClick()
{
    const QStringList tables = selectedStudentTables();
    if (tables.isEmpty()) {
        Prompts::instance().message(this,
                                    QStringLiteral("Zaznacz na liście uczniów, dla których chcesz wydrukować "
                                                   "dokument"),
                                    QStringLiteral("Brak wyboru"), Prompts::Icon::Warning,
                                    Prompts::Buttons::Ok);
        return;
    }
    const int documentType = Prompts::instance().choose(
        this,
        QStringLiteral("Który dokument wydrukować dla każdego z zaznaczonych uczniów (%1)?")
            .arg(tables.size()),
        QStringLiteral("Drukowanie dla zaznaczonych uczniów"), Prompts::Icon::Question,
        {kTransferNotice, kAdmissionConfirmation, QStringLiteral("Anuluj")});
    if ((documentType != 0 && documentType != 1) || !m_windows.drukuj)
        return;
    finishStartPage();
    if (!bFunLoadPageCalibration(true, documentType)) {
        TreeViewClick();
        return;
    }
    // The emblem and the stamp mark are the same on every page: drawn once, laid over
    // each page as it is printed.
    QList<CalibEntry> entries, markEntries;
    for (const CalibEntry& entry : std::as_const(m_calibEntries))
        (PageRenderer::isMark(entry.name) ? markEntries : entries) << entry;
    const QString document = documentType == 0 ? kTransferNotice : kAdmissionConfirmation;
    DocumentForm* form = documentType == 0 ? m_windows.zawiadomienie : m_windows.potwierdzenie;
    QHash<QString, QString> names;
    for (const StudentListEntry& student : std::as_const(m_students))
        names.insert(student.tableName, student.displayName);
    // Every student read at once, through one connection to the working copy.
    QList<FieldRowList> stored;
    QStringList unreadable;
    if (!bFunLoadStudentTables(m_buf, strFunGetTmpFilePath(m_buf), tables, stored, &unreadable)) {
        showError(QStringLiteral("Błąd podczas próby wczytania danych.\n\n") + m_buf.text());
        TreeViewClick();
        return;
    }
    // Every page gets its number; the issues are recorded once the job went out.
    IssueDesk desk(issueContext());
    if (!desk.begin(tables, stored)) {
        TreeViewClick();
        return;
    }
    if (desk.keeping())
        entries = IssueDesk::withIssueEntries(entries);
    const QString mainDir = strFunGetMainDirPath(m_buf);
    const PageOptions options = pageOptions();
    QPicture marks;
    PageRenderer(m_buf, options, mainDir).record(marks, markEntries, pageTextsOf(*form), true);

    // Every page goes through the forms, as the preview does, so that the copied fields
    // (the name, the birth date, the PESEL) come from the student form.
    auto drawPage = [&, this](int index) {
        BatchPage page;
        const QString& table = tables.at(index);
        const QString name = names.value(table, table);
        if (const QString& reason = unreadable.at(index); !reason.isEmpty()) {
            page.unreadable = name + QStringLiteral(" (") + reason + QLatin1Char(')');
            return page;
        }
        // The other document's form waits for the forms to be restored at the end.
        m_windows.daneUcznia->FillFields(stored.at(index));
        form->FillFields(stored.at(index));
        QPicture picture;
        // Drawn once "Drukuj" is pressed: fitted for the sheet of the chosen profile.
        PageOptions fitted = options;
        fitted.paperScale = m_windows.drukuj->paperScale();
        PageRenderer renderer(m_buf, fitted, mainDir);
        renderer.record(
            picture, entries,
            desk.keeping() ? desk.batchTexts(index, table, pageTextsOf(*form)) : pageTextsOf(*form), true);
        for (const QString& line : clippedLines(*form, renderer))
            page.clippedFields << name + QStringLiteral(" – ") + line;
        page.draw = [picture, marks](QPainter& painter, const QRectF& onSheet) {
            PageRenderer::stretch(painter, picture, onSheet);
            PageRenderer::stretch(painter, marks, onSheet);
        };
        if (desk.keeping())
            desk.keepBatchPage(index, *form, page.draw, {picture, marks});
        return page;
    };
    // "Kowalski Jan - Zawiadomienie o przekazaniu" for one; a slash cannot stand in a file name.
    QString jobName = tables.size() == 1 ? names.value(tables.constFirst()) + QStringLiteral(" - ") + document
                                         : document + QStringLiteral(" - %1 uczniów").arg(tables.size());
    jobName.replace(QLatin1Char('/'), QLatin1Char('-'));
    m_printing = true;
    m_windows.drukuj->setBatch(int(tables.size()), drawPage, jobName);
    if (desk.keeping())
        m_windows.drukuj->setIssue(desk.batch(documentType));
    m_windows.drukuj->exec();
    // The batch is forgotten with the window's last job, and the forms and the preview go
    // back to the student that has the focus.
    m_windows.drukuj->setBatch(0, nullptr, QString());
    m_printing = false;
    TreeViewClick();
}

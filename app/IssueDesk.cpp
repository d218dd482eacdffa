#include "app/IssueDesk.h"

#include "documents/DocumentForm.h"
#include "documents/TFDaneSzkoly.h"
#include "platform/Clock.h"
#include "platform/Environment.h"
#include "platform/RegisterLock.h"
#include "printing/IssueArchive.h"
#include "prompts/Prompts.h"
#include "storage/DataPaths.h"
#include "storage/EventLog.h"
#include "storage/Templates.h"

#include <QApplication>
#include <QEventLoop>
#include <QPainter>
#include <QPointer>
#include <QRandomGenerator>
#include <QThreadPool>

#include <mutex>

namespace {

const QString kCaption = QStringLiteral("Wydane dokumenty");

QString placeOf(const QMap<QString, QString>& f)
{
    QString place = f.value(QStringLiteral("ZMIENNA_Miejscowosc_STR1_DATA_EDIT"));
    const QString day = f.value(QStringLiteral("ZMIENNA_MiejscowoscDnia_STR1_DATA_EDIT"));
    const QString year = f.value(QStringLiteral("ZMIENNA_MiejscowoscRok_STR1_DATA_EDIT"));
    if (!day.isEmpty() || !year.isEmpty())
        place += QStringLiteral(", dnia ") + (day + QLatin1Char(' ') + year).trimmed();
    return place;
}

const QString kCopyPending = QStringLiteral("Kopia PDF/A nie została jeszcze zapisana.");

// Batches whose copies are being written; read and changed on the main thread only.
int g_copiesPending = 0;
// The loops waiting for them, ended when the last batch is done.
QList<QEventLoop*> g_waiting;

// The outcome of the copies of one job, on the main thread: the records completed in one
// transaction, the user told of the copies that could not be made.
void copiesWritten(QList<Issued::Record> made, const QStringList& files, const QStringList& errors,
                   const IssueDesk::Context& ctx, const QPointer<QWidget>& parent)
{
    const QDateTime now = Clock::instance().nowLocal();
    QStringList notCopied;
    for (qsizetype i = 0; i < made.size(); ++i) {
        Issued::Record& r = made[i];
        r.archive = files.at(i);
        r.archiveNote = r.archive.isEmpty() ? errors.at(i) : QString();
        r.changedAt = now;
        if (r.archive.isEmpty())
            notCopied << r.pupil + QStringLiteral(": ") + errors.at(i);
    }
    MessageBuffer buf;
    const bool stored = Issued::bFunStoreIssues(buf, ctx.workingCopy, made);
    if (!stored)
        vFunLogError(buf, QStringLiteral("IssueDesk::copiesWritten()"));
    if (stored && parent && ctx.changed)
        ctx.changed();
    if (!notCopied.isEmpty()) {
        buf.reset(QStringLiteral("Kopia PDF/A wydanego dokumentu nie została zapisana:\n") +
                  notCopied.mid(0, 10).join(u'\n'));
        vFunLogError(buf, QStringLiteral("IssueDesk::copiesWritten()"));
        Prompts::instance().message(parent, buf.text(), kCaption, Prompts::Icon::Warning,
                                    Prompts::Buttons::Ok);
    }
    if (--g_copiesPending == 0)
        for (QEventLoop* loop : std::as_const(g_waiting))
            loop->quit();
}

// The copies of one job being written.
struct CopyJob {
    QList<Issued::Record> made;
    QList<QList<QPicture>> pages;
    QString folder;
    IssueDesk::Context ctx;
    QPointer<QWidget> parent;
    std::mutex lock;
    QStringList files, errors;
    int left = 0;
};

// Makes and writes the copies of a job on the worker threads, once the job went out so
// that they never slow it down: each page its own PDF/A under a name of its own, all
// forced to the disk together by the last one done; the records are then completed on
// the main thread.
void writeCopies(const QList<Issued::Record>& made, const QList<QList<QPicture>>& pages,
                 const QString& folder, const IssueDesk::Context& ctx)
{
    if (made.isEmpty())
        return;
    ++g_copiesPending;
    auto job = std::make_shared<CopyJob>();
    job->made = made;
    job->pages = pages;
    job->folder = folder;
    job->ctx = ctx;
    job->parent = ctx.parent;
    job->files.resize(made.size());
    job->errors.resize(made.size());
    job->left = int(made.size());
    for (qsizetype i = 0; i < made.size(); ++i) {
        QThreadPool::globalInstance()->start([job, i] {
            const Issued::Record& r = job->made.at(i);
            const IssueArchive::Meta meta{r.number, r.pupil, Issued::documentName(r.document), r.issuedAt};
            QString error;
            const QString file = IssueArchive::writeMade(
                job->folder, IssueArchive::pdfOf(job->pages.at(i), meta), meta, error, false);
            {
                const std::lock_guard<std::mutex> hold(job->lock);
                job->files[i] = file;
                job->errors[i] = error;
                if (--job->left > 0)
                    return;
            }
            QStringList written = job->files;
            written.removeAll(QString());
            IssueArchive::flush(written);
            QMetaObject::invokeMethod(
                qApp, [job] { copiesWritten(job->made, job->files, job->errors, job->ctx, job->parent); },
                Qt::QueuedConnection);
        });
    }
}

} // namespace

IssueDesk::IssueDesk(Context context) : m_ctx(std::move(context)) {}

QString IssueDesk::pattern(MessageBuffer& buf)
{
    FieldRowList rows;
    if (!bFunSqlTemplateReadData(buf, strFunGetTemplatesFilePath(buf), TFDaneSzkoly::TemplateName, rows))
        return QString();
    for (const FieldRow& row : std::as_const(rows))
        if (row.compName == Issued::PatternField)
            return Issued::checkPattern(row.value.trimmed()).isEmpty() ? row.value.trimmed() : QString();
    return QString();
}

PageTexts IssueDesk::withIssue(PageTexts base, const QString& number, const QString& duplicateMark,
                               const QMap<QString, QString>& issuedFields)
{
    return [base = std::move(base), number, duplicateMark,
            issuedFields](const QString& name) -> std::optional<QString> {
        if (name == Issued::NumberField)
            return number;
        if (name == Issued::DuplicateField)
            return duplicateMark.isEmpty() ? std::nullopt : std::optional<QString>(duplicateMark);
        if (const auto it = issuedFields.constFind(name); it != issuedFields.cend())
            return *it;
        return base ? base(name) : std::nullopt;
    };
}

QList<CalibEntry> IssueDesk::withIssueEntries(QList<CalibEntry> entries)
{
    const auto has = [&entries](const QString& name) {
        return std::any_of(entries.cbegin(), entries.cend(),
                           [&name](const CalibEntry& e) { return e.name == name; });
    };
    // The same boxes as the installed calibration gives them.
    if (!has(Issued::NumberField))
        entries << CalibEntry{Issued::NumberField, 92, 279, 204, 232, QStringLiteral("Arial"), 12, 1};
    if (!has(Issued::DuplicateField))
        entries << CalibEntry{Issued::DuplicateField, 587, 850, 112, 140, QStringLiteral("Arial"), 14, 2, 1};
    return entries;
}

QMap<QString, QString> IssueDesk::fieldsOf(const DocumentForm& form)
{
    FieldRowList rows;
    form.CollectFields(rows);
    QMap<QString, QString> out;
    for (const FieldRow& row : std::as_const(rows))
        out.insert(row.compName, row.value);
    return out;
}

bool IssueDesk::begin(const QStringList& known, const QList<FieldRowList>& knownRows)
{
    m_records.clear();
    m_pattern = pattern(*m_ctx.buf);
    QString why;
    if (m_ctx.readOnly) {
        why = QStringLiteral("Rejestr jest otwarty tylko do odczytu (używa go inna osoba): wydania tego "
                             "dokumentu nie da się zapisać w rejestrze wydanych dokumentów.");
    } else if (!Issued::bFunLoadIssues(*m_ctx.buf, m_ctx.workingCopy, m_ctx.students, m_records, known,
                                       knownRows)) {
        why = QStringLiteral("Nie można odczytać rejestru wydanych dokumentów:\n") + m_ctx.buf->text() +
              QStringLiteral("\nWydanie tego dokumentu nie zostanie zapisane.");
    }
    m_keep = why.isEmpty();
    return m_keep ||
           Prompts::instance().askProceed(m_ctx.parent, why, kCaption, QStringLiteral("Drukuj bez zapisu"),
                                          QStringLiteral("Anuluj"));
}

QString IssueDesk::pupilOf(const QString& tableName) const
{
    for (const StudentListEntry& s : m_ctx.students)
        if (s.tableName == tableName)
            return s.displayName;
    return tableName;
}

QString IssueDesk::proposal(const QString& tableName, int document, int offset, bool* reprint) const
{
    if (const Issued::Record* last = Issued::lastIssue(m_records, tableName, document)) {
        *reprint = true;
        return last->number;
    }
    *reprint = false;
    const int year = Clock::instance().nowLocal().date().year();
    return Issued::numberFor(m_pattern, Issued::nextNr(m_pattern, year, m_records) + offset, year);
}

IssueHooks IssueDesk::single(const QString& tableName, int document, const DocumentForm& form,
                             std::function<QPicture(const PageTexts&)> draw)
{
    IssueHooks hooks;
    bool reprint = false;
    hooks.number = proposal(tableName, document, 0, &reprint);
    hooks.reprint = reprint;
    auto pending = std::make_shared<Pending>();
    hooks.prepare = [this, tableName, document, &form, draw, pending](const QString& number, bool duplicate,
                                                                      QPicture& page) {
        if (number.isEmpty()) {
            Prompts::instance().message(m_ctx.parent, QStringLiteral("Podaj numer L. dz. dokumentu."),
                                        QStringLiteral("Brak danych"), Prompts::Icon::Warning,
                                        Prompts::Buttons::Ok);
            return false;
        }
        const Issued::Record* last = Issued::lastIssue(m_records, tableName, document);
        const bool reprint = last && last->number == number;
        if (!reprint && Issued::numberTaken(number, m_records, tableName, document) &&
            !Prompts::instance().askYesNo(
                m_ctx.parent,
                QStringLiteral(
                    "Numer L. dz. %1 został już użyty w tym rejestrze.\nCzy mimo to wydać dokument z "
                    "tym numerem?")
                    .arg(number),
                kCaption, Prompts::Icon::Warning, Prompts::Answer::No))
            return false;
        pending->tableName = tableName;
        pending->number = number;
        pending->reprint = reprint;
        pending->duplicate = duplicate;
        pending->fields = reprint && !last->fields.isEmpty() ? last->fields : fieldsOf(form);
        const QString mark =
            duplicate ? QStringLiteral("Duplikat, ") +
                            Clock::instance().nowLocal().date().toString(QStringLiteral("dd.MM.yyyy"))
                      : QString();
        page = draw(withIssue(pageTextsOf(form), number, mark, pending->fields));
        pending->draw = [page](QPainter& painter, const QRectF& onSheet) {
            PageRenderer::stretch(painter, page, onSheet);
        };
        keepForCopy(*pending, {page});
        return true;
    };
    hooks.issued = [this, document, pending](const QString& printer, const QString& pdfFile) {
        if (m_keep)
            issue({*pending}, document, printer, pdfFile);
    };
    return hooks;
}

IssueHooks IssueDesk::batch(int document)
{
    m_batchDocument = document;
    IssueHooks hooks;
    hooks.prepare = [this](const QString&, bool, QPicture&) {
        m_nextOffset = 0;
        m_batch.clear();
        return true;
    };
    hooks.issued = [this, document](const QString& printer, const QString& pdfFile) {
        QList<Pending> pages;
        QList<int> indices = m_batch.keys();
        std::sort(indices.begin(), indices.end());
        for (int i : std::as_const(indices))
            pages << m_batch.value(i);
        if (m_keep)
            issue(pages, document, printer, pdfFile);
    };
    return hooks;
}

PageTexts IssueDesk::batchTexts(int index, const QString& tableName, const PageTexts& base)
{
    Pending& page = m_batch[index];
    page.tableName = tableName;
    page.number = proposal(tableName, m_batchDocument, m_nextOffset, &page.reprint);
    if (!page.reprint)
        ++m_nextOffset;
    const Issued::Record* last = Issued::lastIssue(m_records, tableName, m_batchDocument);
    if (page.reprint && last)
        page.fields = last->fields;
    return withIssue(base, page.number, QString(), page.fields);
}

void IssueDesk::keepBatchPage(int index, const DocumentForm& form, const DrukujSheet::PagePainter& draw,
                              const QList<QPicture>& layers)
{
    Pending& page = m_batch[index];
    if (page.fields.isEmpty())
        page.fields = fieldsOf(form);
    page.draw = draw;
    keepForCopy(page, layers);
}

void IssueDesk::keepForCopy(Pending& page, const QList<QPicture>& layers)
{
    if (!m_keep)
        return;
    page.copy.clear();
    for (const QPicture& layer : layers) {
        // The bytes copied, not shared: playing a picture moves its read position.
        QPicture own;
        own.setData(layer.data(), layer.size());
        page.copy << own;
    }
}

void IssueDesk::issue(const QList<Pending>& pages, int document, const QString& printer,
                      const QString& pdfFile)
{
    const QDateTime now = Clock::instance().nowLocal();
    const RegisterLock::Owner me = RegisterLock::thisProcess(now.toUTC());
    const QString folder = IssueArchive::folderFor(m_ctx.registerPath);
    QList<Issued::Record> made;
    QList<QList<QPicture>> copies;
    int serial = 0;
    for (const Pending& page : pages) {
        Issued::Record r;
        // Unique across desks and runs: the time, the login, the page and a random part.
        r.key = QStringLiteral("WYDANIE_%1_%2_%3_%4")
                    .arg(now.toString(QStringLiteral("yyyyMMddHHmmsszzz")), strFunPlainLoginName(me.login))
                    .arg(++serial)
                    .arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0'));
        r.tableName = page.tableName;
        r.pupil = pupilOf(page.tableName);
        r.number = page.number;
        r.document = document;
        r.issuedAt = now;
        r.place = placeOf(page.fields);
        r.school = page.fields.value(QStringLiteral("ZMIENNA_Ucz_STR1_DATA_EDIT"));
        r.login = me.login;
        r.fullName = me.fullName;
        r.toPdf = printer.isEmpty();
        r.destination = printer.isEmpty() ? pdfFile : printer;
        r.duplicate = page.reprint;
        r.fields = page.fields;
        r.state = document == 0 && !page.reprint ? Issued::CaseState::AwaitingConfirmation
                                                 : Issued::CaseState::None;
        r.changedAt = now;
        if (page.duplicate)
            r.note = QStringLiteral("wydruk z oznaczeniem \"Duplikat\"");
        // Until the copy is written the record says it is not there, so that a program
        // stopped meanwhile never claims a copy it did not make.
        r.archiveNote = kCopyPending;
        made << r;
        copies << page.copy;
    }
    // All the records of the job in one transaction.
    if (!Issued::bFunStoreIssues(*m_ctx.buf, m_ctx.workingCopy, made)) {
        vFunLogError(*m_ctx.buf, QStringLiteral("IssueDesk::issue()"));
        Prompts::instance().error(
            m_ctx.parent, QStringLiteral("Dokument wydrukowano, ale jego wydania nie udało się zapisać w "
                                         "rejestrze wydanych dokumentów.\n\n") +
                              m_ctx.buf->text());
        return;
    }
    m_records << made;
    if (m_ctx.changed)
        m_ctx.changed();
    writeCopies(made, copies, folder, m_ctx);
}

int IssueDesk::copiesPending()
{
    return g_copiesPending;
}

void IssueDesk::finishCopies()
{
    if (g_copiesPending == 0)
        return;
    QEventLoop loop;
    g_waiting << &loop;
    loop.exec();
    g_waiting.removeOne(&loop);
}

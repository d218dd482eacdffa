// The book of issued documents: the register's list of them, the open transfer cases,
// and what the main window tells about them.
#include "app/TFGlowna.h"

#include "platform/Clock.h"
#include "printing/TFRejestrWydanych.h"
#include "printing/TFSprawyWToku.h"
#include "prompts/Prompts.h"
#include "storage/DataPaths.h"
#include "storage/EventLog.h"
#include "storage/SettingsStore.h"

#include <QTreeWidgetItem>

namespace {

// How many days an open case may wait before the opening mentions it.
int caseDays()
{
    MessageBuffer quiet;
    int days = 0;
    return bFunSqlGetSettingsValue(quiet, QStringLiteral("case_reminder_days"), days) && days > 0
               ? days
               : Issued::DefaultCaseDays;
}

} // namespace

IssueDesk::Context TFGlowna::issueContext()
{
    IssueDesk::Context context;
    context.parent = this;
    context.buf = &m_buf;
    context.workingCopy = strFunGetTmpFilePath(m_buf);
    // A register not yet saved, or the readable part of a damaged one, has no folder.
    context.registerPath = m_readablePartOpened ? QString() : openDocumentPath();
    context.readOnly = readOnly();
    context.students = m_students;
    context.changed = [this] { m_unsavedChanges = true; };
    return context;
}

QPicture TFGlowna::drawIssuedPage(const PageTexts& texts)
{
    QPicture page;
    PageRenderer renderer(m_buf, pageOptions(), strFunGetMainDirPath(m_buf));
    renderer.record(page, IssueDesk::withIssueEntries(m_calibEntries), texts, true);
    return page;
}

void TFGlowna::showIssuesInTree()
{
    QTreeWidgetItem* node = selectedNode();
    if (!node)
        return;
    if (node->parent())
        node = node->parent();
    const QList<Issued::Record> issues = Issued::recordsOf(m_fieldRows);
    for (int i = 0; i < node->childCount(); ++i) {
        QTreeWidgetItem* documentNode = node->child(i);
        const int document = documentNode->text(0) == kTransferNotice ? 0 : 1;
        QStringList lines;
        for (const Issued::Record& r : issues) {
            if (r.document != document)
                continue;
            QString line = QStringLiteral("L. dz. ") + r.number + QStringLiteral(", ") +
                           r.issuedAt.toString(QStringLiteral("dd.MM.yyyy HH:mm")) +
                           (r.duplicate ? QStringLiteral(" (ponowny wydruk)") : QString());
            if (r.state != Issued::CaseState::None)
                line += QStringLiteral(" – ") + Issued::caseStateText(r.state);
            lines << line;
        }
        const QString text = lines.isEmpty() ? QString() : QStringLiteral("Wydano:\n") + lines.join(u'\n');
        documentNode->setToolTip(0, text);
        documentNode->setStatusTip(0, lines.isEmpty() ? QString()
                                                      : QStringLiteral("Wydano: ") + lines.constLast());
    }
}

void TFGlowna::Rejestrwydanychdokumentow1Click()
{
    QList<Issued::Record> records;
    if (!Issued::bFunLoadIssues(m_buf, strFunGetTmpFilePath(m_buf), m_students, records)) {
        showError(QStringLiteral("Błąd podczas próby wczytania danych.\n\n") + m_buf.text());
        return;
    }
    TFRejestrWydanych window(this);
    window.setRecords(records);
    window.exec();
}

void TFGlowna::Sprawywtoku1Click()
{
    const QString path = strFunGetTmpFilePath(m_buf);
    QList<Issued::Record> records;
    if (!Issued::bFunLoadIssues(m_buf, path, m_students, records)) {
        showError(QStringLiteral("Błąd podczas próby wczytania danych.\n\n") + m_buf.text());
        return;
    }
    TFSprawyWToku window(this);
    window.setRecords(records, Clock::instance().nowLocal().date(),
                      [this, path](const Issued::Record& record) {
                          if (!Issued::bFunStoreIssues(m_buf, path, {record})) {
                              vFunLogError(m_buf, QStringLiteral("Sprawywtoku1Click()"));
                              showError(QStringLiteral("Błąd zapisu danych.\n\n") + m_buf.text());
                              return false;
                          }
                          m_unsavedChanges = true;
                          return true;
                      });
    window.exec();
}

void TFGlowna::mentionWaitingCases()
{
    MessageBuffer quiet;
    QList<Issued::Record> records;
    if (!Issued::bFunLoadIssues(quiet, strFunGetTmpFilePath(quiet), m_students, records))
        return;
    const int days = caseDays();
    const int waiting = TFSprawyWToku::waitingLongerThan(records, Clock::instance().nowLocal().date(), days);
    if (waiting <= 0)
        return;
    const QString text =
        QStringLiteral("Sprawy w toku czekające dłużej niż %1 dni: %2 (Świadectwa – Sprawy w toku).")
            .arg(days)
            .arg(waiting);
    setStatusNote(m_note.isEmpty() ? text : m_note + QStringLiteral("  ") + text);
}

void TFGlowna::reportRepeatedNumbers(const QStringList& repeats)
{
    if (repeats.isEmpty())
        return;
    m_buf.reset(
        QStringLiteral("Na innym stanowisku w tym samym czasie wydano dokumenty o tych samych numerach "
                       "L. dz. Oba wydania zostały zachowane w rejestrze z uwagą:\n") +
        repeats.mid(0, 10).join(u'\n'));
    vFunLogError(m_buf, QStringLiteral("reportRepeatedNumbers()"));
    Prompts::instance().message(this, m_buf.text(), QStringLiteral("Wydane dokumenty"),
                                Prompts::Icon::Warning, Prompts::Buttons::Ok);
}

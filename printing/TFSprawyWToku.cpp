#include "printing/TFSprawyWToku.h"

#include "platform/Clock.h"
#include "printing/RecordWindow.h"
#include "prompts/Prompts.h"

#include <QBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTableWidget>

#include <algorithm>

namespace {

const QString kCaption = QStringLiteral("Sprawy w toku");
const QString kDateFormat = QStringLiteral("dd.MM.yyyy");

bool isOpen(const Issued::Record& r)
{
    return r.state == Issued::CaseState::AwaitingConfirmation || r.state == Issued::CaseState::SendRecords;
}

} // namespace

TFSprawyWToku::TFSprawyWToku(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("FSprawyWToku"));
    setWindowTitle(kCaption);
    resize(860, 420);
    SprawyTable =
        RecordWindow::table(this, QStringLiteral("SprawyTable"), kCaption,
                            {QStringLiteral("Uczeń"), QStringLiteral("L. dz."), QStringLiteral("Wydano"),
                             QStringLiteral("Szkoła (ucz.)"), QStringLiteral("Stan"), QStringLiteral("Dni")});
    SprawyTable->setSelectionMode(QAbstractItemView::SingleSelection);
    QHBoxLayout* buttons = RecordWindow::buttons<TFSprawyWToku>(
        this, {
                  {"PotwierdzenieButton", "&Otrzymano potwierdzenie przyjęcia…",
                   &TFSprawyWToku::PotwierdzenieClick},
                  {"WyslanoButton", "&Wysłano kartę zdrowia i arkusz ocen…", &TFSprawyWToku::WyslanoClick},
              });
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(SprawyTable, 1);
    layout->addLayout(buttons);
}

void TFSprawyWToku::setRecords(const QList<Issued::Record>& records, const QDate& today, Store store)
{
    m_today = today;
    m_store = std::move(store);
    m_cases.clear();
    for (const Issued::Record& r : records)
        if (isOpen(r))
            m_cases << r;
    // The longest waiting first.
    std::stable_sort(m_cases.begin(), m_cases.end(),
                     [&today](const Issued::Record& a, const Issued::Record& b) {
                         return Issued::caseAge(a, today) > Issued::caseAge(b, today);
                     });
    fill();
}

int TFSprawyWToku::waitingLongerThan(const QList<Issued::Record>& records, const QDate& today, int days)
{
    return int(std::count_if(records.cbegin(), records.cend(), [&](const Issued::Record& r) {
        return isOpen(r) && Issued::caseAge(r, today) > days;
    }));
}

void TFSprawyWToku::fill()
{
    SprawyTable->clearContents();
    SprawyTable->setRowCount(int(m_cases.size()));
    for (int row = 0; row < m_cases.size(); ++row) {
        const Issued::Record& r = m_cases.at(row);
        const QStringList cells{r.pupil,
                                r.number,
                                r.issuedAt.date().toString(kDateFormat),
                                r.school,
                                Issued::caseStateText(r.state),
                                QString::number(Issued::caseAge(r, m_today))};
        for (int column = 0; column < cells.size(); ++column)
            SprawyTable->setItem(row, column, new QTableWidgetItem(cells.at(column)));
    }
    SprawyTable->resizeColumnsToContents();
}

int TFSprawyWToku::chosen()
{
    const int row = SprawyTable->currentRow();
    if (row >= 0 && row < m_cases.size())
        return row;
    Prompts::instance().message(this, QStringLiteral("Wybierz sprawę z listy."),
                                QStringLiteral("Brak wyboru"), Prompts::Icon::Warning, Prompts::Buttons::Ok);
    return -1;
}

bool TFSprawyWToku::askDate(const QString& label, QDate& date)
{
    QString text = m_today.toString(kDateFormat);
    if (!Prompts::instance().inputText(this, kCaption, label, text))
        return false;
    date = QDate::fromString(text.trimmed(), kDateFormat);
    if (!date.isValid())
        date = QDate::fromString(text.trimmed(), QStringLiteral("d.M.yyyy"));
    if (!date.isValid()) {
        Prompts::instance().message(this,
                                    QStringLiteral("To nie jest data: ") + text.trimmed() +
                                        QStringLiteral("\nPodaj datę w postaci dd.mm.rrrr."),
                                    QStringLiteral("Brak danych"), Prompts::Icon::Warning,
                                    Prompts::Buttons::Ok);
        return false;
    }
    return true;
}

void TFSprawyWToku::store(int index, const Issued::Record& changed)
{
    if (m_store && !m_store(changed))
        return;
    m_cases[index] = changed;
    if (!isOpen(changed))
        m_cases.removeAt(index);
    fill();
    // The case stays chosen for its next step, or the next one when it closed.
    if (!m_cases.isEmpty())
        SprawyTable->setCurrentCell(std::min(index, int(m_cases.size()) - 1), 0);
}

void TFSprawyWToku::PotwierdzenieClick()
{
    const int index = chosen();
    if (index < 0)
        return;
    QDate on;
    if (!askDate(QStringLiteral("Data otrzymania potwierdzenia przyjęcia (dd.mm.rrrr):"), on))
        return;
    QString number;
    if (!Prompts::instance().inputText(this, kCaption,
                                       QStringLiteral("Numer potwierdzenia (może zostać pusty):"), number))
        return;
    Issued::Record changed = m_cases.at(index);
    QString error;
    if (!Issued::noteConfirmation(changed, on, number, QString(), error)) {
        Prompts::instance().message(this, error, kCaption, Prompts::Icon::Warning, Prompts::Buttons::Ok);
        return;
    }
    changed.changedAt = Clock::instance().nowLocal();
    store(index, changed);
}

void TFSprawyWToku::WyslanoClick()
{
    const int index = chosen();
    if (index < 0)
        return;
    QDate on;
    if (!askDate(QStringLiteral("Data wysłania karty zdrowia i arkusza ocen (dd.mm.rrrr):"), on))
        return;
    Issued::Record changed = m_cases.at(index);
    QString error;
    if (!Issued::noteSent(changed, on, error)) {
        Prompts::instance().message(this, error, kCaption, Prompts::Icon::Warning, Prompts::Buttons::Ok);
        return;
    }
    changed.changedAt = Clock::instance().nowLocal();
    store(index, changed);
}

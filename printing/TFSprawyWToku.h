// "Sprawy w toku": the transfers still open, with their age. A transfer notice waits for
// the admission confirmation from the other school; then the health card and the
// extract of the marks are to be sent. Each step is noted here with its date.
#pragma once

#include "documents/IssuedDocuments.h"

#include <QDate>
#include <QDialog>

#include <functional>

class QTableWidget;

class TFSprawyWToku : public QDialog
{
    Q_OBJECT

public:
    // Stores a changed record; false when it could not be stored (the store reports why).
    using Store = std::function<bool(const Issued::Record& record)>;

    explicit TFSprawyWToku(QWidget* parent = nullptr);

    // The register's records (only open cases are listed), the day ages are counted to,
    // and where a noted step is stored.
    void setRecords(const QList<Issued::Record>& records, const QDate& today, Store store);
    const QList<Issued::Record>& openCases() const { return m_cases; }

    // Open cases older than `days` among `records`.
    static int waitingLongerThan(const QList<Issued::Record>& records, const QDate& today, int days);

public slots:
    void PotwierdzenieClick();
    void WyslanoClick();

private:
    void fill();
    // The chosen case, or -1 after telling the user to choose one.
    int chosen();
    // Asks for a date ("dd.mm.rrrr", today proposed); false when cancelled or not a date.
    bool askDate(const QString& label, QDate& date);
    void store(int index, const Issued::Record& changed);

    QList<Issued::Record> m_cases;
    QDate m_today;
    Store m_store;
    QTableWidget* SprawyTable = nullptr;
};

// "Rejestr wydanych dokumentów": every document issued from the register, filterable by
// year, document and pupil, printed or written out (CSV as the class lists are, and
// PDF) for the office's own correspondence book.
#pragma once

#include "documents/IssuedDocuments.h"

#include <QDialog>

class QComboBox;
class QLineEdit;
class QTableWidget;

class TFRejestrWydanych : public QDialog
{
    Q_OBJECT

public:
    explicit TFRejestrWydanych(QWidget* parent = nullptr);

    // The records to list, newest first.
    void setRecords(QList<Issued::Record> records);
    // The records the filters let through, in the list's order.
    QList<Issued::Record> shownRecords() const;

    // The list as CSV: UTF-8 with a byte-order mark, fields separated by ';'.
    static QByteArray csvOf(const QList<Issued::Record>& records);
    // The list as an HTML table, for the PDF and the printer.
    static QString htmlOf(const QList<Issued::Record>& records, const QString& title);

public slots:
    void applyFilter();
    void EksportujCsvClick();
    void ZapiszPdfClick();
    void DrukujClick();

private:
    struct RowKey {
        int year = 0;
        int document = 0;
        QString pupil; // case-folded
    };
    QList<Issued::Record> m_records;
    QList<RowKey> m_keys;
    QComboBox* RokComboBox = nullptr;
    QComboBox* DokumentComboBox = nullptr;
    QLineEdit* UczenEdit = nullptr;
    QTableWidget* RejestrTable = nullptr;
};

#include "printing/TFRejestrWydanych.h"

#include "platform/FileErrorReason.h"
#include "platform/FileOps.h"
#include "printing/RecordWindow.h"
#include "prompts/Prompts.h"
#include "storage/CsvText.h"

#include <QBoxLayout>
#include <QComboBox>
#include <QFormLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPageLayout>
#include <QPdfWriter>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QTableWidget>
#include <QTextDocument>

#include <algorithm>

namespace {

const QString kCaption = QStringLiteral("Rejestr wydanych dokumentów");

QStringList columns()
{
    return {QStringLiteral("L. dz."), QStringLiteral("Data wydania"),  QStringLiteral("Dokument"),
            QStringLiteral("Uczeń"),  QStringLiteral("Szkoła (ucz.)"), QStringLiteral("Wydał(a)"),
            QStringLiteral("Wydruk"), QStringLiteral("Kopia PDF/A"),   QStringLiteral("Sprawa"),
            QStringLiteral("Uwagi")};
}

QStringList cellsOf(const Issued::Record& r)
{
    QString note = r.note;
    if (r.duplicate)
        note = (QStringLiteral("ponowny wydruk; ") + note).trimmed();
    return {r.number,
            r.issuedAt.toString(QStringLiteral("dd.MM.yyyy HH:mm")),
            Issued::documentName(r.document),
            r.pupil,
            r.school,
            r.fullName == r.login || r.fullName.isEmpty()
                ? r.login
                : r.fullName + QStringLiteral(" (") + r.login + u')',
            (r.toPdf ? QStringLiteral("PDF: ") : QStringLiteral("drukarka: ")) + r.destination,
            r.archive.isEmpty() ? QStringLiteral("brak – ") + r.archiveNote : r.archive.section(u'/', -1),
            Issued::caseStateText(r.state),
            note.endsWith(u';') ? note.chopped(1) : note};
}

} // namespace

TFRejestrWydanych::TFRejestrWydanych(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("FRejestrWydanych"));
    setWindowTitle(kCaption);
    resize(980, 560);

    RokComboBox = new QComboBox(this);
    RokComboBox->setObjectName(QStringLiteral("RokComboBox"));
    RokComboBox->setAccessibleName(QStringLiteral("Rok wydania"));
    DokumentComboBox = new QComboBox(this);
    DokumentComboBox->setObjectName(QStringLiteral("DokumentComboBox"));
    DokumentComboBox->setAccessibleName(QStringLiteral("Dokument"));
    DokumentComboBox->addItems(
        {QStringLiteral("Wszystkie dokumenty"), Issued::documentName(0), Issued::documentName(1)});
    UczenEdit = new QLineEdit(this);
    UczenEdit->setObjectName(QStringLiteral("UczenEdit"));
    UczenEdit->setAccessibleName(QStringLiteral("Uczeń"));
    UczenEdit->setPlaceholderText(QStringLiteral("nazwisko lub imię"));
    UczenEdit->setClearButtonEnabled(true);

    auto* filters = new QHBoxLayout;
    const std::pair<const char*, QWidget*> captions[] = {
        {"&Rok:", RokComboBox}, {"&Dokument:", DokumentComboBox}, {"&Uczeń:", UczenEdit}};
    for (const auto& [caption, field] : captions) {
        auto* label = new QLabel(QString::fromUtf8(caption), this);
        label->setBuddy(field);
        filters->addWidget(label);
        filters->addWidget(field, field == UczenEdit ? 1 : 0);
    }

    RejestrTable = RecordWindow::table(this, QStringLiteral("RejestrTable"), kCaption, columns());
    QHBoxLayout* buttons = RecordWindow::buttons<TFRejestrWydanych>(
        this, {
                  {"EksportujCsvButton", "Eksportuj do &CSV…", &TFRejestrWydanych::EksportujCsvClick},
                  {"ZapiszPdfButton", "Zapisz jako &PDF…", &TFRejestrWydanych::ZapiszPdfClick},
                  {"DrukujButton", "Dru&kuj…", &TFRejestrWydanych::DrukujClick},
              });

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(filters);
    layout->addWidget(RejestrTable, 1);
    layout->addLayout(buttons);

    connect(RokComboBox, &QComboBox::currentIndexChanged, this, &TFRejestrWydanych::applyFilter);
    connect(DokumentComboBox, &QComboBox::currentIndexChanged, this, &TFRejestrWydanych::applyFilter);
    connect(UczenEdit, &QLineEdit::textChanged, this, &TFRejestrWydanych::applyFilter);
}

void TFRejestrWydanych::setRecords(QList<Issued::Record> records)
{
    std::stable_sort(records.begin(), records.end(), [](const Issued::Record& a, const Issued::Record& b) {
        return a.issuedAt > b.issuedAt;
    });
    m_records = std::move(records);
    m_keys.clear();
    QList<int> years;
    RejestrTable->setUpdatesEnabled(false);
    RejestrTable->clearContents();
    RejestrTable->setRowCount(int(m_records.size()));
    for (int row = 0; row < m_records.size(); ++row) {
        const Issued::Record& r = m_records.at(row);
        const QStringList cells = cellsOf(r);
        for (int column = 0; column < cells.size(); ++column)
            RejestrTable->setItem(row, column, new QTableWidgetItem(cells.at(column)));
        m_keys << RowKey{r.issuedAt.date().year(), r.document, r.pupil.toCaseFolded()};
        if (!years.contains(m_keys.last().year))
            years << m_keys.last().year;
    }
    RejestrTable->resizeColumnsToContents();
    RejestrTable->setUpdatesEnabled(true);
    std::sort(years.begin(), years.end(), std::greater<>());
    const QSignalBlocker block(RokComboBox);
    RokComboBox->clear();
    RokComboBox->addItem(QStringLiteral("Wszystkie lata"), 0);
    for (int year : std::as_const(years))
        RokComboBox->addItem(QString::number(year), year);
    applyFilter();
}

void TFRejestrWydanych::applyFilter()
{
    const int year = RokComboBox->currentData().toInt();
    const int document = DokumentComboBox->currentIndex() - 1;
    const QString pupil = UczenEdit->text().trimmed().toCaseFolded();
    for (int row = 0; row < m_keys.size(); ++row) {
        const RowKey& key = m_keys.at(row);
        const bool shown = (year == 0 || key.year == year) && (document < 0 || key.document == document) &&
                           (pupil.isEmpty() || key.pupil.contains(pupil));
        if (RejestrTable->isRowHidden(row) == shown)
            RejestrTable->setRowHidden(row, !shown);
    }
}

QList<Issued::Record> TFRejestrWydanych::shownRecords() const
{
    QList<Issued::Record> out;
    for (int row = 0; row < m_records.size(); ++row)
        if (!RejestrTable->isRowHidden(row))
            out << m_records.at(row);
    return out;
}

QByteArray TFRejestrWydanych::csvOf(const QList<Issued::Record>& records)
{
    const QChar separator = QLatin1Char(';');
    QString text = CsvText::formatRecord(columns(), separator);
    for (const Issued::Record& r : records)
        text += CsvText::formatRecord(cellsOf(r), separator);
    return QByteArray("\xEF\xBB\xBF") + text.toUtf8();
}

QString TFRejestrWydanych::htmlOf(const QList<Issued::Record>& records, const QString& title)
{
    QString html = QStringLiteral("<h3>") + title.toHtmlEscaped() +
                   QStringLiteral("</h3><table border=\"1\" cellspacing=\"0\" cellpadding=\"2\"><tr>");
    // The book on paper leaves out the file columns.
    const QList<int> shown{0, 1, 2, 3, 4, 5, 8, 9};
    for (int c : shown)
        html += QStringLiteral("<th>") + columns().at(c).toHtmlEscaped() + QStringLiteral("</th>");
    html += QStringLiteral("</tr>");
    for (const Issued::Record& r : records) {
        const QStringList cells = cellsOf(r);
        html += QStringLiteral("<tr>");
        for (int c : shown)
            html += QStringLiteral("<td>") + cells.at(c).toHtmlEscaped() + QStringLiteral("</td>");
        html += QStringLiteral("</tr>");
    }
    return html + QStringLiteral("</table>");
}

void TFRejestrWydanych::EksportujCsvClick()
{
    const QString path = Prompts::instance().saveFileName(this, QStringLiteral("Eksportuj rejestr do CSV"),
                                                          QStringLiteral("Pliki CSV (*.csv)|*.csv"),
                                                          QStringLiteral("wydane_dokumenty.csv"));
    if (path.isEmpty())
        return;
    if (FileOps::exists(path) &&
        !Prompts::instance().askYesNo(
            this, QStringLiteral("Wybrany plik już istnieje.\nCzy chcesz zastąpić istniejący plik ?"),
            kCaption, Prompts::Icon::Question, Prompts::Answer::No))
        return;
    if (const int err = FileOps::writeFile(path, csvOf(shownRecords())); err != 0)
        Prompts::instance().error(this, QStringLiteral("Błąd zapisu pliku:\n") + path +
                                            QStringLiteral("\nKod błędu: ") + QString::number(err) +
                                            strFunFileErrorReason(err));
}

void TFRejestrWydanych::ZapiszPdfClick()
{
    QString path = Prompts::instance().saveFileName(this, QStringLiteral("Zapisz rejestr jako PDF"),
                                                    QStringLiteral("PDF (*.pdf)|*.pdf"),
                                                    QStringLiteral("wydane_dokumenty.pdf"));
    if (path.isEmpty())
        return;
    if (!path.endsWith(QStringLiteral(".pdf"), Qt::CaseInsensitive))
        path += QStringLiteral(".pdf");
    if (FileOps::exists(path) &&
        !Prompts::instance().askYesNo(
            this, QStringLiteral("Wybrany plik już istnieje.\nCzy chcesz zastąpić istniejący plik ?"),
            kCaption, Prompts::Icon::Question, Prompts::Answer::No))
        return;
    QPdfWriter writer(path);
    writer.setPageLayout(
        QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Landscape, QMarginsF(12, 12, 12, 12)));
    writer.setTitle(kCaption);
    QTextDocument document;
    document.setHtml(htmlOf(shownRecords(), kCaption));
    document.print(&writer);
    if (!FileOps::exists(path))
        Prompts::instance().error(this, QStringLiteral("Błąd zapisu pliku:\n") + path);
}

void TFRejestrWydanych::DrukujClick()
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageOrientation(QPageLayout::Landscape);
    QPrintDialog dialog(&printer, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    QTextDocument document;
    document.setHtml(htmlOf(shownRecords(), kCaption));
    document.print(&printer);
}

// The print dialog: the printer or a PDF file, the margin profile that places the page
// on the sheet, the duplex mode, and the profile editing.
#pragma once

#include "printing/TFDrukujSheet.h"
#include "storage/MarginProfiles.h"
#include "storage/MessageBuffer.h"

#include <QDialog>
#include <QPicture>
#include <QStringList>

#include <functional>
#include <memory>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QSpinBox;
class QPrinter;
class QPushButton;
struct NudgeButton;

// One page of a job for many students, drawn when the job starts.
struct BatchPage {
    DrukujSheet::PagePainter draw; // draws the page when the job is printed
    QStringList clippedFields;     // its fields cut at their boxes, one line each
    QString unreadable;            // not empty: the page could not be drawn; whose it is and why
};
using BatchPageSource = std::function<BatchPage(int index)>;

// What the print of a document kept in the register's book needs: its "L. dz." number,
// proposed and editable in the dialog, checked and drawn into the page before the job,
// and recorded once the job went out.
struct IssueHooks {
    QString number;       // proposed; empty hooks show no number row
    bool reprint = false; // issued before: the page may carry "Duplikat"
    // Checks the number (asking the user where needed) and draws the page with it;
    // false keeps the dialog open. A single page is handed back in `page`.
    std::function<bool(const QString& number, bool duplicate, QPicture& page)> prepare;
    // The job went out: to `printer`, or into `pdfFile` when `printer` is empty.
    std::function<void(const QString& printer, const QString& pdfFile)> issued;
};

class TFDrukuj : public QDialog
{
    Q_OBJECT

public:
    // `buf` is the program's message buffer.
    explicit TFDrukuj(MessageBuffer& buf, QWidget* parent = nullptr);
    ~TFDrukuj() override;

    // The page drawn for printing (885 x 1314 units at 96 dpi), its page count and the
    // file name proposed when printing into a PDF.
    void setPage(const QPicture& picture, int pageCount, const QString& proposedPdfName);
    // The fields of that page cut at their boxes, one line each; printing warns first.
    void setClippedFields(const QStringList& lines) { m_clippedFields = lines; }
    // Draws the page again for the sheet it is printed on, given how much the chosen margin
    // profile reduces it: the page and its cut fields. Called once "Drukuj" is pressed.
    using PageRedraw = std::function<void(qreal paperScale, QPicture& page, QStringList& clippedFields)>;
    void setPageRedraw(PageRedraw redraw) { m_redrawPage = std::move(redraw); }
    // How much the page edges of page 1 reduce the page on the sheet.
    qreal paperScale() const;
    // Instead of one page: a job of `count` pages, one sheet each, prepared by `drawPage`
    // in order once "Drukuj" is pressed, under a progress window whose "Anuluj" stops
    // between pages before anything is printed or written.
    void setBatch(int count, BatchPageSource drawPage, const QString& proposedPdfName);
    // The number row and the record of the job; setPage() and setBatch() forget them.
    void setIssue(IssueHooks hooks);

    // The last entry of the printer list.
    static QString pdfChoice();

    // Applies the duplex capability of the chosen printer to the dialog and stores A4,
    // portrait and the duplex mode as that printer's defaults.
    void vFunUstawDrukarke();

public slots:
    void FormShow();
    void DrukarkiComboBoxChange();
    void MarginesyComboBoxChange();
    void SaveNewButtonClick();
    void DeleteButtonClick();
    void ResetButtonClick();
    void PomocButtonClick();
    void BitBtn1Click();
    void DrukujButtonClick();
    void AnulujButtonClick();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void fillPrinters();
    void loadProfiles();
    void nudge(const NudgeButton& button);
    MarginProfile profileFromEdits(const QString& name) const;
    // Empty for the PDF file.
    QString chosenPrinter() const;
    // The PDF file to print into, or an empty text when the user cancelled.
    QString askPdfFile();
    DrukujSheet::Edges page1Edges() const;
    // Prints or writes the pages where the dialog says; false when the user cancelled the
    // file name.
    bool sendJob(const QList<DrukujSheet::PagePainter>& pages);
    // Prepares the pages of a batch; false when the user stopped it or nothing is left to print.
    bool drawBatch(QList<DrukujSheet::PagePainter>& pages);
    // Shows `text`, logs it under `fun`.
    void reportFailure(const QString& text, const QString& fun);

    MessageBuffer& m_buf;
    QPicture m_page;
    int m_pageCount = 0;
    QString m_pdfName;
    MarginProfileList m_profiles;
    QStringList m_clippedFields;
    PageRedraw m_redrawPage;
    int m_batchCount = 0;
    BatchPageSource m_drawBatchPage;
    // What the set-up dialog chose for the printer it was opened for.
    std::unique_ptr<QPrinter> m_setUp;
    IssueHooks m_issue;

    QComboBox* DrukarkiComboBox = nullptr;
    QComboBox* DuplexComboBox = nullptr;
    QCheckBox* cbRotateSecondPage = nullptr;
    QComboBox* MarginesyComboBox = nullptr;
    QSpinBox* m_edits[2][4] = {}; // [page][left, top, right, bottom]
    QPushButton* BitBtn1 = nullptr;
    QWidget* m_numberLabel = nullptr;
    QLineEdit* m_numberEdit = nullptr;
    QCheckBox* m_duplicateBox = nullptr;
};

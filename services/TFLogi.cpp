#include "services/TFLogi.h"

#include "prompts/Prompts.h"
#include "services/ControlTable.h"
#include "services/SendMail.h"
#include "storage/DataPaths.h"
#include "storage/EventLog.h"

#include <QGridLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QSet>
#include <QShowEvent>
#include <QTreeWidget>

#include <algorithm>

namespace {

constexpr ControlEntry Controls[] = {
    {"LogsListView", ControlKind::List, "Logi programu", 0, 0, 2},
    {"BitBtn2", ControlKind::Button, "Wyślij plik z logami", 1, 0},
    {"BitBtn1", ControlKind::Button, "OK", 1, 1},
};

constexpr int kFunWidth = 120;
constexpr int kFunWidthMost = 360; // a text stored in the place of a name stays cut
// Room around a cell's text: margins and the column's separator.
constexpr int kCellPadding = 16;

// As much of a stored text as a row shows: one line, at most 1023 characters (the
// file itself keeps everything and is what the mail carries).
QString rowText(const QString& stored)
{
    constexpr qsizetype kMost = 1023;
    QString text = stored.left(kMost + 1);
    text.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    text.replace(QLatin1Char('\r'), QLatin1Char(' '));
    if (text.size() > kMost)
        text = text.left(kMost - 1) + QChar(0x2026);
    return text;
}

} // namespace

TFLogi::TFLogi(QWidget* parent) : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
{
    setObjectName(QStringLiteral("FLogi"));
    setWindowTitle(QStringLiteral("Logi programu"));
    auto* grid = new QGridLayout(this);
    const auto controls = ControlTable::build(this, grid, Controls);
    LogsListView = static_cast<QTreeWidget*>(controls.value(QStringLiteral("LogsListView")));
    BitBtn1 = static_cast<QPushButton*>(controls.value(QStringLiteral("BitBtn1")));
    BitBtn2 = static_cast<QPushButton*>(controls.value(QStringLiteral("BitBtn2")));
    LogsListView->setHeaderLabels(
        {QStringLiteral("Data / czas"), QStringLiteral("Funkcja"), QStringLiteral("Informacja")});
    // The widest time the log holds stays readable in the desktop's font.
    const int timeWidth =
        LogsListView->fontMetrics().horizontalAdvance(QStringLiteral("2026.12.31 23:59:59")) + kCellPadding;
    LogsListView->setColumnWidth(0, std::max(100, timeWidth));
    LogsListView->setColumnWidth(1, kFunWidth);
    LogsListView->setColumnWidth(2, 550);
    LogsListView->setMinimumSize(790, 300);
    grid->setColumnStretch(0, 1);
    grid->addWidget(BitBtn1, 1, 1, Qt::AlignRight);
    grid->addWidget(BitBtn2, 1, 0, Qt::AlignLeft);
    BitBtn1->setDefault(true);
    connect(BitBtn1, &QPushButton::clicked, this, &QDialog::accept);
    connect(BitBtn2, &QPushButton::clicked, this, &TFLogi::BitBtn2Click);
}

void TFLogi::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous())
        vFunFillList();
}

void TFLogi::vFunFillList()
{
    LogsListView->clear();
    // No log yet, or one that cannot be read (that failure is logged itself): an
    // empty list and no message.
    MessageBuffer buf;
    QList<LogEntry> entries;
    if (!bFunSqlGetLogsData(buf, entries))
        return;
    QList<QTreeWidgetItem*> rows;
    rows.reserve(entries.size());
    // Function names run to 49 characters; the column is widened to the longest one
    // the log holds, so that support can read where each failure came from.
    const QFontMetrics metrics = LogsListView->fontMetrics();
    int funWidth = kFunWidth;
    QSet<QString> measured;
    for (const LogEntry& entry : std::as_const(entries)) {
        auto* row = new QTreeWidgetItem(
            QStringList{rowText(entry.datetime), rowText(entry.fun), rowText(entry.info)});
        row->setToolTip(2, entry.info.left(1023));
        rows.append(row);
        if (!measured.contains(row->text(1))) {
            measured.insert(row->text(1));
            funWidth = std::max(funWidth, metrics.horizontalAdvance(row->text(1)) + kCellPadding);
        }
    }
    LogsListView->setColumnWidth(1, std::min(funWidth, kFunWidthMost));
    LogsListView->addTopLevelItems(rows);
    // Entries stay in the order they were written; the newest, at the bottom, is the
    // one the user came to see.
    if (!rows.isEmpty()) {
        LogsListView->setCurrentItem(rows.last());
        LogsListView->scrollToItem(rows.last());
    }
}

void TFLogi::BitBtn2Click()
{
    // One mail program at a time: until it returns (some stay until their compose
    // window is closed) the button waits for it.
    if (m_sending)
        return;
    m_sending = true;
    BitBtn2->setEnabled(false);
    MessageBuffer buf;
    const SendMail::Message message{QStringLiteral("Logi"), SendMail::strFunGetSupportAddress(),
                                    QStringLiteral("Logi programu Melvok-Gimnazjum"),
                                    strFunGetLogFilePath(buf)};
    SendMail::vFunSendMail(message, this, [this](bool sent, const QString& reason) {
        m_sending = false;
        BitBtn2->setEnabled(true);
        if (!sent) {
            const QString text = QStringLiteral("Błąd podczas próby wysłania maila");
            MessageBuffer failure;
            failure.reset(text + QStringLiteral(": ") + reason);
            vFunLogError(failure, QStringLiteral("bFunSendMail()"));
            // A mail program that fails after the viewer has closed is not reported
            // over whatever window the user has moved on to; the log keeps it.
            if (isVisible())
                Prompts::instance().error(this, text);
        }
        Q_EMIT mailFinished(sent);
    });
}

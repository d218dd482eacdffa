// The log viewer: every entry of the event log, and the log file sent to the maker's
// support by the desktop's mail program.
#pragma once

#include <QDialog>

class QPushButton;
class QTreeWidget;

class TFLogi : public QDialog
{
    Q_OBJECT
public:
    explicit TFLogi(QWidget* parent = nullptr);

Q_SIGNALS:
    // The mail program took the log (true) or the failure message was shown (false).
    void mailFinished(bool sent);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void vFunFillList();
    void BitBtn2Click();

    QTreeWidget* LogsListView;
    QPushButton* BitBtn1;
    QPushButton* BitBtn2;
};

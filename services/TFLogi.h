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
    // The mail program took the log (true) or failed (false: logged, and shown while
    // the viewer is open).
    void mailFinished(bool sent);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void vFunFillList();
    void BitBtn2Click();

    QTreeWidget* LogsListView;
    QPushButton* BitBtn1;
    QPushButton* BitBtn2;
    bool m_sending = false;
};

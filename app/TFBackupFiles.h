// The backup recovery window: lists the entries of the backup folder and lets the user
// take one of them.
#pragma once

#include "storage/MessageBuffer.h"

#include <QDialog>

class QTreeWidget;

class TFBackupFiles : public QDialog
{
    Q_OBJECT
public:
    explicit TFBackupFiles(QWidget* parent = nullptr);

    // The buffer the backup folder is resolved with; the window has its own until one is given.
    void setMessageBuffer(MessageBuffer* buf) { m_buf = buf ? buf : &m_ownBuffer; }

    // After an accepted showing: the backup folder path followed by the chosen entry's name.
    QString chosenBackupPath() const { return m_chosenBackupPath; }

    // Lists the backup folder afresh; runs on every showing.
    void FormShow();

    QTreeWidget* lvFiles = nullptr;

public slots:
    void btnRecoverFromBackupFileClick();
    void BitBtn2Click();

protected:
    void showEvent(QShowEvent* event) override;

private:
    QString m_chosenBackupPath;
    MessageBuffer m_ownBuffer;
    MessageBuffer* m_buf = &m_ownBuffer;
};

// The small borderless window with a progress bar shown while a student is stored.
#pragma once

#include <QWidget>

class QProgressBar;

class TFWait : public QWidget
{
    Q_OBJECT
public:
    explicit TFWait(QWidget* parent = nullptr);
    QProgressBar* ProgressBar1;
    // Shows the window centred on the screen and paints it at once.
    void showAndPaint();
};

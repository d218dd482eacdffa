// The About window.
#pragma once

#include <QDialog>

class TFOProgramie : public QDialog
{
    Q_OBJECT
public:
    explicit TFOProgramie(QWidget* parent = nullptr);
};

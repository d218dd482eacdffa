#include "app/TFWait.h"

#include <QApplication>
#include <QLabel>
#include <QProgressBar>
#include <QScreen>

TFWait::TFWait(QWidget* parent)
    : QWidget(parent, Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::Tool)
{
    setObjectName(QStringLiteral("FWait"));
    setFixedSize(186, 51);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(0, 0, 160));
    pal.setColor(QPalette::WindowText, Qt::white);
    setPalette(pal);

    auto* picture = new QLabel(QStringLiteral("Proszę czekać..."), this);
    picture->setObjectName(QStringLiteral("Image1"));
    picture->setGeometry(0, 0, 186, 35);
    picture->setAlignment(Qt::AlignCenter);
    QFont f = picture->font();
    f.setBold(true);
    picture->setFont(f);

    ProgressBar1 = new QProgressBar(this);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setGeometry(0, 35, 186, 17);
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setTextVisible(false);
    ProgressBar1->setAccessibleName(QStringLiteral("Postęp zapisu"));
}

void TFWait::showAndPaint()
{
    if (const QScreen* screen = QApplication::primaryScreen())
        move(screen->geometry().center() - rect().center());
    show();
    repaint();
}

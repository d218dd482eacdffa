#include "app/TFOProgramie.h"

#include "app/ProgramIcon.h"
#include "app/Version.h"

#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

TFOProgramie::TFOProgramie(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
{
    setObjectName(QStringLiteral("FOProgramie"));
    setWindowTitle(QStringLiteral("O programie"));
    setFixedSize(316, 282);

    auto* layout = new QVBoxLayout(this);
    auto* icon = new QLabel(this);
    icon->setObjectName(QStringLiteral("Image1"));
    icon->setAccessibleName(QStringLiteral("Ikona programu"));
    icon->setPixmap(programIcon().pixmap(64, 64));
    icon->setAlignment(Qt::AlignCenter);
    layout->addWidget(icon);

    auto* text = new QLabel(this);
    text->setObjectName(QStringLiteral("InfoLabel"));
    text->setAlignment(Qt::AlignCenter);
    text->setWordWrap(true);
    text->setTextFormat(Qt::RichText);
    text->setOpenExternalLinks(true);
    text->setText(QStringLiteral("<b>Melvok - Liceum</b><br>Drukowanie dokumentów<br>wersja %1<br><br>"
                                 "Melvok<br><a href=\"%2\">%2</a>")
                      .arg(Version::triple(), QString::fromLatin1(Maker::webPage)));
    layout->addWidget(text, 1);

    auto* close = new QPushButton(QStringLiteral("Zamknij"), this);
    close->setObjectName(QStringLiteral("ZamknijButton"));
    close->setDefault(true);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    layout->addWidget(close, 0, Qt::AlignHCenter);
}

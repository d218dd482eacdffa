#include "app/TFBackupFiles.h"

#include "documents/FormTable.h"
#include "prompts/Prompts.h"
#include "storage/DataFolder.h"
#include "storage/DataPaths.h"

#include <QDir>
#include <QHeaderView>
#include <QPushButton>
#include <QShowEvent>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

constexpr int PanelHeight = 53;

// The two buttons under the list; the list itself comes first in the tab order.
constexpr ComponentEntry Panel[] = {
    {.name = "btnRecoverFromBackupFile",
     .kind = ComponentKind::Button,
     .text = "&Wczytaj z wybranego pliku",
     .left = 8,
     .top = 10,
     .width = 177,
     .height = 33,
     .tab = 1},
    {.name = "BitBtn2",
     .kind = ComponentKind::Button,
     .text = "Anuluj",
     .left = 191,
     .top = 10,
     .width = 177,
     .height = 33,
     .tab = 2},
};

} // namespace

TFBackupFiles::TFBackupFiles(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
{
    setObjectName(QStringLiteral("FBackupFiles"));
    setWindowTitle(QStringLiteral("Kopie bezpieczeństwa"));
    setFixedSize(376, 407);

    lvFiles = new QTreeWidget(this);
    lvFiles->setObjectName(QStringLiteral("lvFiles"));
    lvFiles->setAccessibleName(QStringLiteral("Kopie bezpieczeństwa"));
    lvFiles->setHeaderLabels({QStringLiteral("Nazwa")});
    lvFiles->setColumnWidth(0, 340);
    lvFiles->setRootIsDecorated(false);
    lvFiles->setSelectionBehavior(QAbstractItemView::SelectRows);
    lvFiles->setSelectionMode(QAbstractItemView::SingleSelection);
    lvFiles->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lvFiles->header()->setSectionsMovable(false);

    auto* panel = new QWidget(this);
    panel->setObjectName(QStringLiteral("Panel1"));
    panel->setFixedHeight(PanelHeight);
    const QList<BuiltComponent> buttons = FormTable::build(panel, Panel);
    QWidget::setTabOrder(lvFiles, buttons.at(0).widget);
    FormTable::applyTabOrder(buttons);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(lvFiles, 1);
    layout->addWidget(panel);

    auto* recover = qobject_cast<QPushButton*>(buttons.at(0).widget);
    recover->setDefault(true);
    connect(recover, &QPushButton::clicked, this, &TFBackupFiles::btnRecoverFromBackupFileClick);
    connect(qobject_cast<QPushButton*>(buttons.at(1).widget), &QPushButton::clicked, this,
            &TFBackupFiles::BitBtn2Click);
    // A double click takes a backup; Enter does the same through the default button.
    connect(lvFiles, &QTreeWidget::itemDoubleClicked, this, &TFBackupFiles::btnRecoverFromBackupFileClick);
}

void TFBackupFiles::FormShow()
{
    m_chosenBackupPath.clear();
    lvFiles->clear();
    // Every file that can be recovered, in the order the file system gives them: folders,
    // symbolic links, pipes, sockets, devices and files that hold no database are no
    // backups and are not offered.
    const QFileInfoList files =
        QDir(strFunGetBackupDirPath(*m_buf))
            .entryInfoList(QDir::Files | QDir::Hidden | QDir::NoSymLinks | QDir::NoDotAndDotDot,
                           QDir::Unsorted);
    for (const QFileInfo& file : files)
        if (file.isFile() && !file.isSymLink() && bFunIsSqliteFile(file.absoluteFilePath()))
            lvFiles->addTopLevelItem(new QTreeWidgetItem(QStringList{file.fileName()}));
    lvFiles->setCurrentItem(nullptr);
    lvFiles->setFocus();
}

void TFBackupFiles::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

void TFBackupFiles::btnRecoverFromBackupFileClick()
{
    const QList<QTreeWidgetItem*> selected = lvFiles->selectedItems();
    if (selected.isEmpty()) {
        Prompts::instance().message(this, QStringLiteral("Proszę wybrać plik"), QStringLiteral("Brak wyboru"),
                                    Prompts::Icon::Warning, Prompts::Buttons::Ok);
        return;
    }
    m_chosenBackupPath = strFunGetBackupDirPath(*m_buf) + selected.constFirst()->text(0);
    accept();
}

void TFBackupFiles::BitBtn2Click()
{
    reject();
}

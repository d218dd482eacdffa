// Finding and reaching students and registers: the filter above the student list, the
// keyboard's way between the window's areas, "Ostatnio otwierane", files dropped on the
// window and the question before the program ends.
#include "app/StudentOrder.h"
#include "app/TFGlowna.h"
#include "prompts/Prompts.h"
#include "storage/RecentFiles.h"

#include <QAction>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QScrollArea>
#include <QTreeWidget>

namespace {

enum class Dropped { None, Register, ClassList };

Dropped kindOf(const QString& path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == QLatin1String("sqdoc"))
        return Dropped::Register;
    if (suffix == QLatin1String("csv"))
        return Dropped::ClassList;
    return Dropped::None;
}

} // namespace

QLabel* TFGlowna::buildFilter()
{
    m_filter = new QLineEdit;
    m_filter->setObjectName(QStringLiteral("FiltrUczniow"));
    m_filter->setPlaceholderText(QStringLiteral("Szukaj: nazwisko, imię lub PESEL (Ctrl+F)"));
    m_filter->setAccessibleName(QStringLiteral("Szukaj ucznia"));
    m_filter->setAccessibleDescription(QStringLiteral(
        "Zawęża listę uczniów do tych, których nazwisko, imię lub PESEL zawiera wpisany tekst; "
        "Escape czyści pole"));
    m_filter->setClearButtonEnabled(true);
    m_filter->setFixedWidth(265);
    m_filter->installEventFilter(this);
    // The placeholder says what the box is for on screen; a screen reader gets the label.
    auto* label = new QLabel(m_filter->accessibleName());
    label->setObjectName(QStringLiteral("FiltrUczniowOpis"));
    label->setBuddy(m_filter);
    label->setVisible(false);
    connect(m_filter, &QLineEdit::textChanged, this, &TFGlowna::applyFilter);
    return label;
}

void TFGlowna::applyFilter()
{
    if (!m_tree)
        return;
    const QString filter = m_filter->text().trimmed();
    for (int i = 0; i < m_tree->topLevelItemCount(); ++i) {
        QTreeWidgetItem* node = m_tree->topLevelItem(i);
        const StudentListEntry student{node->data(0, kNameRole).toString(),
                                       node->data(0, kTableRole).toString()};
        node->setHidden(!filter.isEmpty() && !bFunStudentMatches(student, filter));
    }
    // A student the filter hides is no longer the one the commands act on.
    const QList<QTreeWidgetItem*> selected = m_tree->selectedItems();
    for (QTreeWidgetItem* node : selected) {
        QTreeWidgetItem* student = node->parent() ? node->parent() : node;
        if (student->isHidden())
            node->setSelected(false);
    }
}

bool TFGlowna::filterKey(int key)
{
    switch (key) {
    case Qt::Key_Escape:
        // The first Escape empties the filter, the next one goes back to the list.
        if (m_filter->text().isEmpty())
            m_tree->setFocus();
        else
            m_filter->clear();
        return true;
    case Qt::Key_Down:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        // Into the list, on the first student the filter left.
        for (int i = 0; i < m_tree->topLevelItemCount(); ++i) {
            QTreeWidgetItem* student = m_tree->topLevelItem(i);
            if (student->isHidden())
                continue;
            if (!selectedNode() || selectedNode()->isHidden() ||
                (selectedNode()->parent() && selectedNode()->parent()->isHidden()))
                m_tree->setCurrentItem(student);
            break;
        }
        m_tree->setFocus();
        return true;
    default:
        return false;
    }
}

bool TFGlowna::selectStudent(const QString& tableName, const QString& documentCaption)
{
    if (tableName.isEmpty())
        return false;
    QTreeWidgetItem* target = nullptr;
    for (int i = 0; !target && i < m_tree->topLevelItemCount(); ++i) {
        QTreeWidgetItem* student = m_tree->topLevelItem(i);
        if (student->data(0, kTableRole).toString() != tableName)
            continue;
        target = student;
        for (int j = 0; !documentCaption.isEmpty() && j < student->childCount(); ++j)
            if (student->child(j)->text(0) == documentCaption)
                target = student->child(j);
    }
    if (!target)
        return false;
    // A student the filter would hide (one just added, say) is shown with all the others.
    if ((target->parent() ? target->parent() : target)->isHidden())
        m_filter->clear();
    m_tree->setCurrentItem(target);
    m_tree->scrollToItem(target);
    m_tree->setFocus();
    return true;
}

void TFGlowna::SzukajUczniaClick()
{
    m_filter->setFocus(Qt::ShortcutFocusReason);
    m_filter->selectAll();
}

void TFGlowna::cycleArea(int step)
{
    QWidget* const areas[] = {m_tree, m_filter, m_scroll};
    constexpr int count = int(std::size(areas));
    int current = -1;
    for (int i = 0; i < count; ++i)
        if (QWidget* focus = focusWidget(); focus && (focus == areas[i] || areas[i]->isAncestorOf(focus)))
            current = i;
    const int next = current < 0 ? (step > 0 ? 0 : count - 1) : (current + step + count) % count;
    areas[next]->setFocus(step > 0 ? Qt::TabFocusReason : Qt::BacktabFocusReason);
}

void TFGlowna::NastepnyObszarClick()
{
    cycleArea(1);
}

void TFGlowna::PoprzedniObszarClick()
{
    cycleArea(-1);
}

// ---------------------------------------------------------------- recent registers

void TFGlowna::buildRecentMenu(QMenu* fileMenu)
{
    m_recentMenu = new QMenu(QStringLiteral("Ostatnio o&twierane"), this);
    m_recentMenu->setObjectName(QStringLiteral("OstatnioOtwierane"));
    // Right under "Otwórz plik", filled each time it opens (files come and go), not
    // while the window is built: the data folder is checked only after that.
    const QList<QAction*> items = fileMenu->actions();
    const qsizetype open = items.indexOf(findChild<QAction*>(QStringLiteral("Otworzplik1")));
    fileMenu->insertMenu(items.value(open + 1), m_recentMenu);
    connect(m_recentMenu, &QMenu::aboutToShow, this, &TFGlowna::refreshRecentMenu);
}

void TFGlowna::refreshRecentMenu()
{
    m_recentMenu->clear();
    const QStringList paths = RecentFiles::registers();
    if (paths.isEmpty()) {
        m_recentMenu->addAction(QStringLiteral("&Brak ostatnio otwieranych plików"))->setEnabled(false);
        return;
    }
    for (qsizetype i = 0; i < paths.size(); ++i) {
        const QString& path = paths.at(i);
        // "&1" to "&9", then "1&0": every entry has a key of its own.
        const QString number = i < 9 ? QStringLiteral("&") + QString::number(i + 1) : QStringLiteral("1&0");
        QString label = path;
        label.replace(QLatin1Char('&'), QStringLiteral("&&"));
        const bool there = QFileInfo(path).isFile();
        QAction* item = m_recentMenu->addAction(number + QLatin1Char(' ') + label +
                                                (there ? QString() : QStringLiteral(" (brak pliku)")));
        item->setEnabled(there);
        item->setData(path);
        connect(item, &QAction::triggered, this, [this, path] { openRecentRegister(path); });
    }
}

void TFGlowna::openRecentRegister(const QString& path)
{
    if (!QFileInfo(path).isFile()) {
        Prompts::instance().message(this, QStringLiteral("Plik nie istnieje:\n") + path,
                                    QStringLiteral("Ostatnio otwierane"), Prompts::Icon::Warning,
                                    Prompts::Buttons::Ok);
        return;
    }
    if (bFunSaveBeforeOpening())
        openRegisterFile(path);
}

// ---------------------------------------------------------------- dropped files

QString TFGlowna::droppedFile(const QMimeData* data)
{
    if (!data || !data->hasUrls() || data->urls().size() != 1)
        return QString();
    const QUrl url = data->urls().constFirst();
    if (!url.isLocalFile())
        return QString();
    const QString path = url.toLocalFile();
    return kindOf(path) != Dropped::None && QFileInfo(path).isFile() ? path : QString();
}

void TFGlowna::dragEnterEvent(QDragEnterEvent* event)
{
    if (!droppedFile(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void TFGlowna::dropEvent(QDropEvent* event)
{
    const QString path = droppedFile(event->mimeData());
    if (path.isEmpty())
        return;
    event->acceptProposedAction();
    if (kindOf(path) == Dropped::Register) {
        vFunRememberFolder(FileKind::Registers, path);
        if (bFunSaveBeforeOpening())
            openRegisterFile(path);
    } else {
        vFunRememberFolder(FileKind::ClassLists, path);
        importClassList(path);
    }
}

// ---------------------------------------------------------------- leaving

TFGlowna::QuitAnswer TFGlowna::askSaveBeforeQuit()
{
    switch (Prompts::instance().choose(
        this, QStringLiteral("Czy chcesz zapisać zmiany ?"), QStringLiteral("Koniec"),
        Prompts::Icon::Question,
        {QStringLiteral("Zapisz"), QStringLiteral("Nie zapisuj"), QStringLiteral("Anuluj")})) {
    case 0:
        return QuitAnswer::Save;
    case 1:
        return QuitAnswer::Discard;
    default:
        return QuitAnswer::Cancel;
    }
}

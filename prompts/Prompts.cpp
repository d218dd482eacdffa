#include "prompts/Prompts.h"

#include <QComboBox>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QIdentityProxyModel>
#include <QInputDialog>
#include <QLabel>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QTreeView>

namespace {

Prompts* g_prompts = nullptr;

// The toolkit's own file dialog writes sizes and dates in the system's language: in
// the program's own (Polish) they are written here.
class PolishFileColumns : public QIdentityProxyModel
{
public:
    using QIdentityProxyModel::QIdentityProxyModel;
    QVariant data(const QModelIndex& index, int role) const override
    {
        const auto* files = qobject_cast<const QFileSystemModel*>(sourceModel());
        if (role != Qt::DisplayRole || !files || (index.column() != 1 && index.column() != 3))
            return QIdentityProxyModel::data(index, role);
        const QModelIndex source = mapToSource(index);
        if (index.column() == 3)
            return QLocale().toString(files->lastModified(source), QLocale::ShortFormat);
        return files->isDir(source) ? QString() : QLocale().formattedDataSize(files->size(source));
    }
};

// The toolkit's own file dialog opens too narrow for its columns: names, sizes, types
// and dates are cut short. It opens in the detailed view, each column as wide as it needs.
void widenColumns(QFileDialog& dialog)
{
    dialog.setProxyModel(new PolishFileColumns(&dialog));
    dialog.setViewMode(QFileDialog::Detail);
    dialog.resize(qMax(dialog.width(), 900), qMax(dialog.height(), 560));
    // The toolkit names "Szukaj w:" and "Pliki typu:" without making them the labels of
    // their lists; a screen reader then reads the lists without a name.
    for (const auto& [label, list] :
         {std::pair{"lookInLabel", "lookInCombo"}, std::pair{"fileTypeLabel", "fileTypeCombo"}}) {
        auto* caption = dialog.findChild<QLabel*>(QLatin1String(label));
        auto* field = dialog.findChild<QComboBox*>(QLatin1String(list));
        if (caption && field && !caption->buddy())
            caption->setBuddy(field);
    }
    if (auto* view = dialog.findChild<QTreeView*>(QStringLiteral("treeView"))) {
        QHeaderView* header = view->header();
        header->setStretchLastSection(false);
        header->setSectionResizeMode(QHeaderView::ResizeToContents);
        header->setSectionResizeMode(0, QHeaderView::Stretch);
    }
}

} // namespace

Prompts& Prompts::instance()
{
    static QtPrompts desktop;
    return g_prompts ? *g_prompts : desktop;
}

void Prompts::install(Prompts* prompts)
{
    g_prompts = prompts;
}

QString Prompts::qtFilter(const QString& filter)
{
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList out;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString patterns = parts.at(i + 1);
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        // The description already names the patterns ("Dokumenty(*.sqdoc)").
        out << (parts.at(i).contains(QLatin1Char('('))
                    ? parts.at(i)
                    : parts.at(i) + QStringLiteral(" (") + patterns + QLatin1Char(')'));
    }
    return out.isEmpty() ? filter : out.join(QStringLiteral(";;"));
}

namespace {

void setUp(QMessageBox& box, const QString& text, const QString& caption, Prompts::Icon icon)
{
    using Icon = Prompts::Icon;
    box.setWindowTitle(caption);
    box.setText(text);
    switch (icon) {
    case Icon::None:
        box.setIcon(QMessageBox::NoIcon);
        break;
    case Icon::Information:
        box.setIcon(QMessageBox::Information);
        break;
    case Icon::Warning:
        box.setIcon(QMessageBox::Warning);
        break;
    case Icon::Error:
        box.setIcon(QMessageBox::Critical);
        break;
    case Icon::Question:
        box.setIcon(QMessageBox::Question);
        break;
    }
}

} // namespace

Prompts::Answer QtPrompts::message(QWidget* parent, const QString& text, const QString& caption, Icon icon,
                                   Buttons buttons, Answer defaultAnswer)
{
    QMessageBox box(parent);
    setUp(box, text, caption, icon);
    if (buttons == Buttons::YesNo) {
        QPushButton* yes = box.addButton(QStringLiteral("&Tak"), QMessageBox::YesRole);
        QPushButton* no = box.addButton(QStringLiteral("&Nie"), QMessageBox::NoRole);
        box.setDefaultButton(defaultAnswer == Answer::No ? no : yes);
        box.setEscapeButton(no);
        box.exec();
        return box.clickedButton() == yes ? Answer::Yes : Answer::No;
    }
    box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
    box.exec();
    return Answer::Ok;
}

int QtPrompts::choose(QWidget* parent, const QString& text, const QString& caption, Icon icon,
                      const QStringList& buttons, int defaultButton)
{
    QMessageBox box(parent);
    setUp(box, text, caption, icon);
    QList<QPushButton*> pushed;
    for (const QString& label : buttons)
        pushed.append(box.addButton(label, pushed.size() + 1 == buttons.size() ? QMessageBox::RejectRole
                                                                               : QMessageBox::AcceptRole));
    if (pushed.isEmpty())
        return -1;
    box.setDefaultButton(pushed.value(defaultButton, pushed.constFirst()));
    box.setEscapeButton(pushed.constLast());
    box.exec();
    const qsizetype index = pushed.indexOf(qobject_cast<QPushButton*>(box.clickedButton()));
    return int(index < 0 ? pushed.size() - 1 : index);
}

QString QtPrompts::openFileName(QWidget* parent, const QString& title, const QString& filter,
                                const QString& initialName)
{
    QFileDialog dialog(parent, title, initialName, qtFilter(filter));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    widenColumns(dialog);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    return dialog.selectedFiles().constFirst();
}

QString QtPrompts::saveFileName(QWidget* parent, const QString& title, const QString& filter,
                                const QString& initialName)
{
    QFileDialog dialog(parent, title, QString(), qtFilter(filter));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    // The program asks its own overwrite question.
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    // A name typed without an extension gets the one of the filter ("*.sqdoc", "*.pdf").
    const QStringList parts = filter.split(QLatin1Char('|'));
    if (parts.size() > 1 && parts.at(1).startsWith(QStringLiteral("*.")))
        dialog.setDefaultSuffix(parts.at(1).mid(2).section(QLatin1Char(';'), 0, 0));
    dialog.selectFile(initialName);
    widenColumns(dialog);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    return dialog.selectedFiles().constFirst();
}

bool QtPrompts::inputText(QWidget* parent, const QString& title, const QString& label, QString& text)
{
    bool ok = false;
    const QString answer = QInputDialog::getText(parent, title, label, QLineEdit::Normal, text, &ok);
    if (ok)
        text = answer;
    return ok;
}

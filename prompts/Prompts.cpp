#include "prompts/Prompts.h"

#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>

namespace {
Prompts* g_prompts = nullptr;
}

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

void setIcon(QMessageBox& box, Prompts::Icon icon)
{
    switch (icon) {
    case Prompts::Icon::None:
        box.setIcon(QMessageBox::NoIcon);
        break;
    case Prompts::Icon::Information:
        box.setIcon(QMessageBox::Information);
        break;
    case Prompts::Icon::Warning:
        box.setIcon(QMessageBox::Warning);
        break;
    case Prompts::Icon::Error:
        box.setIcon(QMessageBox::Critical);
        break;
    case Prompts::Icon::Question:
        box.setIcon(QMessageBox::Question);
        break;
    }
}

} // namespace

Prompts::Answer QtPrompts::message(QWidget* parent, const QString& text, const QString& caption, Icon icon,
                                   Buttons buttons, Answer defaultAnswer)
{
    QMessageBox box(parent);
    box.setWindowTitle(caption);
    box.setText(text);
    setIcon(box, icon);
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

QString QtPrompts::openFileName(QWidget* parent, const QString& title, const QString& filter,
                                const QString& initialName)
{
    return QFileDialog::getOpenFileName(parent, title, initialName, qtFilter(filter));
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
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    return dialog.selectedFiles().constFirst();
}

int QtPrompts::choose(QWidget* parent, const QString& text, const QString& caption, Icon icon,
                      const QStringList& buttons, int defaultIndex, int escapeIndex)
{
    QMessageBox box(parent);
    box.setWindowTitle(caption);
    box.setText(text);
    setIcon(box, icon);
    QList<QPushButton*> pushed;
    for (const QString& button : buttons)
        pushed.append(box.addButton(button, QMessageBox::ActionRole));
    if (defaultIndex >= 0 && defaultIndex < pushed.size())
        box.setDefaultButton(pushed.at(defaultIndex));
    if (escapeIndex >= 0 && escapeIndex < pushed.size())
        box.setEscapeButton(pushed.at(escapeIndex));
    box.exec();
    const int pressed = int(pushed.indexOf(qobject_cast<QPushButton*>(box.clickedButton())));
    return pressed >= 0 ? pressed : escapeIndex;
}

bool QtPrompts::inputText(QWidget* parent, const QString& title, const QString& label, QString& text)
{
    bool ok = false;
    const QString answer = QInputDialog::getText(parent, title, label, QLineEdit::Normal, text, &ok);
    if (ok)
        text = answer;
    return ok;
}

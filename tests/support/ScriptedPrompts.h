// Answers the program's boxes from a script and records every box shown.
#pragma once

#include "prompts/Prompts.h"

#include <QList>
#include <QQueue>
#include <QStringList>

struct ShownBox {
    enum class Kind { Message, OpenFile, SaveFile, Input, Choice };
    Kind kind = Kind::Message;
    QString text;    // message text, or the input box's label
    QString caption; // caption, or the dialog's title
    Prompts::Icon icon = Prompts::Icon::None;
    Prompts::Buttons buttons = Prompts::Buttons::Ok;
    Prompts::Answer defaultAnswer = Prompts::Answer::Ok; // the button Enter presses
    QString filter;
    QString initialName;
    QStringList choices; // the buttons of a choice
};

class ScriptedPrompts : public Prompts
{
public:
    ScriptedPrompts() { Prompts::install(this); }
    ~ScriptedPrompts() override { Prompts::install(nullptr); }

    // Answers for Yes/No boxes, in order; an unscripted question answers No.
    QQueue<Answer> answers;
    // Paths for file dialogs, in order; an empty path (or none left) cancels.
    QQueue<QString> files;
    // Texts for input boxes; none left cancels.
    QQueue<QString> inputs;
    // Button indexes for boxes with buttons of their own; none left presses Escape.
    QQueue<int> choices;

    QList<ShownBox> shown;

    using Prompts::message;
    Answer message(QWidget*, const QString& text, const QString& caption, Icon icon, Buttons buttons,
                   Answer defaultAnswer) override
    {
        shown.append({ShownBox::Kind::Message, text, caption, icon, buttons, defaultAnswer, {}, {}});
        if (buttons == Buttons::Ok)
            return Answer::Ok;
        return answers.isEmpty() ? Answer::No : answers.dequeue();
    }
    QString openFileName(QWidget*, const QString& title, const QString& filter,
                         const QString& initial) override
    {
        shown.append(
            {ShownBox::Kind::OpenFile, {}, title, Icon::None, Buttons::Ok, Answer::Ok, filter, initial});
        return files.isEmpty() ? QString() : files.dequeue();
    }
    QString saveFileName(QWidget*, const QString& title, const QString& filter,
                         const QString& initial) override
    {
        shown.append(
            {ShownBox::Kind::SaveFile, {}, title, Icon::None, Buttons::Ok, Answer::Ok, filter, initial});
        return files.isEmpty() ? QString() : files.dequeue();
    }
    bool inputText(QWidget*, const QString& title, const QString& label, QString& text) override
    {
        shown.append({ShownBox::Kind::Input, label, title, Icon::None, Buttons::Ok, Answer::Ok, {}, text});
        if (inputs.isEmpty())
            return false;
        text = inputs.dequeue();
        return true;
    }

    int choose(QWidget*, const QString& text, const QString& caption, Icon icon, const QStringList& buttons,
               int /*defaultIndex*/, int escapeIndex) override
    {
        ShownBox box{ShownBox::Kind::Choice, text, caption, icon, Buttons::Ok, Answer::Ok, {}, {}};
        box.choices = buttons;
        shown.append(box);
        return choices.isEmpty() ? escapeIndex : choices.dequeue();
    }

    // Texts of the message boxes shown so far.
    QStringList texts() const
    {
        QStringList out;
        for (const ShownBox& box : shown)
            if (box.kind == ShownBox::Kind::Message || box.kind == ShownBox::Kind::Choice)
                out << box.text;
        return out;
    }
    void clear() { shown.clear(); }
};

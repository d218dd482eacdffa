// The boxes of the program answered without a screen, for benchmarks that drive the
// main window's commands.
#pragma once

#include "prompts/Prompts.h"

class BenchPrompts : public Prompts
{
public:
    QString file;    // given to every file dialog
    int choice = -1; // the button pressed in boxes with buttons of their own; -1: the last
    int shown = 0;   // boxes shown so far
    using Prompts::message;
    // Questions are answered Yes.
    Answer message(QWidget*, const QString&, const QString&, Icon, Buttons buttons, Answer) override
    {
        ++shown;
        return buttons == Buttons::YesNo ? Answer::Yes : Answer::Ok;
    }
    int choose(QWidget*, const QString&, const QString&, Icon, const QStringList& buttons, int) override
    {
        ++shown;
        return choice < 0 ? int(buttons.size()) - 1 : choice;
    }
    QString openFileName(QWidget*, const QString&, const QString&, const QString&) override { return file; }
    QString saveFileName(QWidget*, const QString&, const QString&, const QString&) override { return file; }
    bool inputText(QWidget*, const QString&, const QString&, QString&) override { return false; }
};

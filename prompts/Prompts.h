// Every message box, file dialog and input box of the program goes through here, so
// that tests can answer them and read what each one said.
#pragma once

#include <QString>
#include <QStringList>

class QWidget;

class Prompts
{
public:
    enum class Icon { None, Information, Warning, Error, Question };
    enum class Buttons { Ok, YesNo };
    enum class Answer { Ok, Yes, No };

    virtual ~Prompts() = default;

    // `defaultAnswer` is the button that Enter presses (Yes or No of a question).
    virtual Answer message(QWidget* parent, const QString& text, const QString& caption, Icon icon,
                           Buttons buttons, Answer defaultAnswer) = 0;
    // Questions default to Yes.
    Answer message(QWidget* parent, const QString& text, const QString& caption, Icon icon, Buttons buttons)
    {
        return message(parent, text, caption, icon, buttons,
                       buttons == Buttons::YesNo ? Answer::Yes : Answer::Ok);
    }
    // `filter` is written "Description(*.ext)|*.ext"; an empty result means cancelled.
    virtual QString openFileName(QWidget* parent, const QString& title, const QString& filter,
                                 const QString& initialName) = 0;
    virtual QString saveFileName(QWidget* parent, const QString& title, const QString& filter,
                                 const QString& initialName) = 0;
    // False when cancelled.
    virtual bool inputText(QWidget* parent, const QString& title, const QString& label, QString& text) = 0;
    // A box with buttons of the caller's captions, left to right; the index of the one
    // pressed. Enter presses `defaultIndex`; Escape and the close box press `escapeIndex`.
    virtual int choose(QWidget* parent, const QString& text, const QString& caption, Icon icon,
                       const QStringList& buttons, int defaultIndex, int escapeIndex) = 0;

    // Shorthands for the two common kinds of box.
    void error(QWidget* parent, const QString& text, const QString& caption = QStringLiteral("Błąd"))
    {
        message(parent, text, caption, Icon::Error, Buttons::Ok);
    }
    bool askYesNo(QWidget* parent, const QString& text, const QString& caption, Icon icon = Icon::Question,
                  Answer defaultAnswer = Answer::Yes)
    {
        return message(parent, text, caption, icon, Buttons::YesNo, defaultAnswer) == Answer::Yes;
    }

    static Prompts& instance();
    // Not owned; nullptr restores the dialogs of the desktop.
    static void install(Prompts* prompts);

    // "Dokumenty(*.sqdoc)|*.sqdoc" -> "Dokumenty(*.sqdoc)"
    static QString qtFilter(const QString& filter);
};

// The real dialogs.
class QtPrompts : public Prompts
{
public:
    using Prompts::message;
    Answer message(QWidget* parent, const QString& text, const QString& caption, Icon icon, Buttons buttons,
                   Answer defaultAnswer) override;
    QString openFileName(QWidget* parent, const QString& title, const QString& filter,
                         const QString& initialName) override;
    QString saveFileName(QWidget* parent, const QString& title, const QString& filter,
                         const QString& initialName) override;
    bool inputText(QWidget* parent, const QString& title, const QString& label, QString& text) override;
    int choose(QWidget* parent, const QString& text, const QString& caption, Icon icon,
               const QStringList& buttons, int defaultIndex, int escapeIndex) override;
};

// The program-wide text stream for failure messages: a failing function resets it,
// writes its message and logs it; the command that started the action shows its own
// sentence followed by this text.
#pragma once

#include <QString>

class MessageBuffer
{
public:
    void reset() { m_text.clear(); }
    void reset(const QString& text) { m_text = text; }
    MessageBuffer& operator<<(const QString& text)
    {
        m_text += text;
        return *this;
    }
    MessageBuffer& operator<<(const char* text)
    {
        m_text += QString::fromUtf8(text);
        return *this;
    }
    MessageBuffer& operator<<(int value)
    {
        m_text += QString::number(value);
        return *this;
    }
    const QString& text() const { return m_text; }

private:
    QString m_text;
};

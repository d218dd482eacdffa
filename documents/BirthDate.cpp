#include "documents/BirthDate.h"

#include <QRegularExpression>

namespace BirthDate {

namespace {

const char* const MonthGenitive[12] = {"stycznia", "lutego",       "marca",     "kwietnia",
                                       "maja",     "czerwca",      "lipca",     "sierpnia",
                                       "września", "października", "listopada", "grudnia"};

int monthOfWord(const QString& word)
{
    for (int i = 0; i < 12; ++i)
        if (word.compare(QString::fromUtf8(MonthGenitive[i]), Qt::CaseInsensitive) == 0)
            return i + 1;
    return 0;
}

const QRegularExpression& isoForm()
{
    static const QRegularExpression re(QStringLiteral("^(\\d{4})-(\\d{1,2})-(\\d{1,2})$"));
    return re;
}

const QRegularExpression& dayFirstForm()
{
    static const QRegularExpression re(QStringLiteral("^(\\d{1,2})([.-])(\\d{1,2})\\2(\\d{4})$"));
    return re;
}

const QRegularExpression& wordsForm()
{
    static const QRegularExpression re(
        QStringLiteral("^(\\d{1,2})\\s+(\\w+)(?:\\s+(\\d{4})\\s*(?:r\\.?)?)?$"),
        QRegularExpression::UseUnicodePropertiesOption);
    return re;
}

// A date of the form, valid or not; false when the text has no known form.
bool split(const QString& raw, int& day, int& month, int& year)
{
    const QString text = raw.trimmed();
    if (const auto m = isoForm().match(text); m.hasMatch()) {
        year = m.captured(1).toInt();
        month = m.captured(2).toInt();
        day = m.captured(3).toInt();
        return true;
    }
    if (const auto m = dayFirstForm().match(text); m.hasMatch()) {
        day = m.captured(1).toInt();
        month = m.captured(3).toInt();
        year = m.captured(4).toInt();
        return true;
    }
    if (const auto m = wordsForm().match(text); m.hasMatch() && !m.captured(3).isEmpty()) {
        month = monthOfWord(m.captured(2));
        if (month == 0)
            return false;
        day = m.captured(1).toInt();
        year = m.captured(3).toInt();
        return true;
    }
    return false;
}

} // namespace

QString dayText(const QDate& date)
{
    return QString::number(date.day()) + QLatin1Char(' ') +
           QString::fromUtf8(MonthGenitive[date.month() - 1]);
}

QString yearText(int year)
{
    return QString::number(year) + QStringLiteral(" r.");
}

Parsed parse(const QString& text, QDate& date)
{
    int day = 0;
    int month = 0;
    int year = 0;
    if (!split(text, day, month, year))
        return Parsed::NoDate;
    const QDate found(year, month, day);
    if (!found.isValid())
        return Parsed::Impossible;
    date = found;
    return Parsed::Date;
}

bool parseDayText(const QString& text, int& day, int& month)
{
    static const QRegularExpression re(QStringLiteral("^(\\d{1,2})\\s+(\\w+)$"),
                                       QRegularExpression::UseUnicodePropertiesOption);
    const auto m = re.match(text.trimmed());
    if (!m.hasMatch())
        return false;
    month = monthOfWord(m.captured(2));
    day = m.captured(1).toInt();
    return month != 0 && day >= 1 && day <= 31;
}

int parseYearText(const QString& text)
{
    static const QRegularExpression re(QStringLiteral("^(\\d{4})\\s*(?:r\\.?)?$"));
    const auto m = re.match(text.trimmed());
    return m.hasMatch() ? m.captured(1).toInt() : 0;
}

} // namespace BirthDate

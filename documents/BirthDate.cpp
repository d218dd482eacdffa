#include "documents/BirthDate.h"

#include "platform/Clock.h"

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

const char* const Roman[12] = {"i", "ii", "iii", "iv", "v", "vi", "vii", "viii", "ix", "x", "xi", "xii"};

// The month of a genitive word or a Roman numeral; 0 for any other word.
int monthOfName(const QString& word)
{
    if (const int month = monthOfWord(word); month != 0)
        return month;
    for (int i = 0; i < 12; ++i)
        if (word.compare(QLatin1String(Roman[i]), Qt::CaseInsensitive) == 0)
            return i + 1;
    return 0;
}

const QRegularExpression& yearFirstForm()
{
    static const QRegularExpression re(QStringLiteral("^(\\d{4})([-./])(\\d{1,2})\\2(\\d{1,2})$"));
    return re;
}

const QRegularExpression& dayFirstForm()
{
    static const QRegularExpression re(
        QStringLiteral("^(\\d{1,2})([-./])(\\d{1,2})\\2(\\d{4}|\\d{2})\\s*(?:r\\.?)?$"));
    return re;
}

// The month as a word or a Roman numeral, between blanks, dots, hyphens or slashes.
const QRegularExpression& namedMonthForm()
{
    static const QRegularExpression re(
        QStringLiteral(
            "^(\\d{1,2})(?:\\s+|\\s*[-./]\\s*)(\\w+)(?:\\s+|\\s*[-./]\\s*)(\\d{4}|\\d{2})\\s*(?:r\\.?)?$"),
        QRegularExpression::UseUnicodePropertiesOption);
    return re;
}

// The year a two-digit one stands for.
int fullYear(int twoDigits, const QDate& peselDate)
{
    if (peselDate.isValid() && peselDate.year() % 100 == twoDigits)
        return peselDate.year();
    const int now = Clock::instance().nowLocal().date().year();
    const int year = now - now % 100 + twoDigits;
    return year > now ? year - 100 : year;
}

int yearOf(const QString& digits, const QDate& peselDate)
{
    const int value = digits.toInt();
    return digits.size() == 2 ? fullYear(value, peselDate) : value;
}

// A date of the form, valid or not; false when the text has no known form.
bool split(const QString& raw, int& day, int& month, int& year, const QDate& peselDate)
{
    const QString text = raw.trimmed();
    if (const auto m = yearFirstForm().match(text); m.hasMatch()) {
        year = m.captured(1).toInt();
        month = m.captured(3).toInt();
        day = m.captured(4).toInt();
        return true;
    }
    if (const auto m = dayFirstForm().match(text); m.hasMatch()) {
        day = m.captured(1).toInt();
        month = m.captured(3).toInt();
        year = yearOf(m.captured(4), peselDate);
        return true;
    }
    if (const auto m = namedMonthForm().match(text); m.hasMatch()) {
        month = monthOfName(m.captured(2));
        if (month == 0)
            return false;
        day = m.captured(1).toInt();
        year = yearOf(m.captured(3), peselDate);
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

Parsed parse(const QString& text, QDate& date, const QDate& peselDate)
{
    int day = 0;
    int month = 0;
    int year = 0;
    if (!split(text, day, month, year, peselDate))
        return Parsed::NoDate;
    const QDate found(year, month, day);
    if (!found.isValid())
        return Parsed::Impossible;
    date = found;
    return Parsed::Date;
}

bool parseDayText(const QString& text, int& day, int& month)
{
    static const QRegularExpression re(QStringLiteral("^(\\d{1,2})(?:\\s+|\\s*[-./]\\s*)(\\w+)$"),
                                       QRegularExpression::UseUnicodePropertiesOption);
    const auto m = re.match(text.trimmed());
    if (!m.hasMatch())
        return false;
    month = monthOfName(m.captured(2));
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

namespace BirthDate {

QString listText(const QString& dayText, const QString& yearText)
{
    const int year = parseYearText(yearText);
    QDate date;
    // A whole date typed into the day's field carries its own year.
    if (parse(dayText, date) == Parsed::Date && (year == 0 || year == date.year()))
        return date.toString(Qt::ISODate);
    int day = 0;
    int month = 0;
    const bool dayKnown = parseDayText(dayText, day, month) && QDate::isValid(2000, month, day);
    if (dayKnown && year != 0 && QDate::isValid(year, month, day))
        return QDate(year, month, day).toString(Qt::ISODate);
    if (dayKnown && yearText.trimmed().isEmpty())
        return BirthDate::dayText(QDate(2000, month, day));
    if (year != 0 && dayText.trimmed().isEmpty())
        return QString::number(year);
    return QStringList({dayText, yearText}).join(QLatin1Char(' ')).trimmed();
}

} // namespace BirthDate

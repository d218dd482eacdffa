#include "documents/Pesel.h"

#include "documents/BirthDate.h"
#include "platform/Clock.h"

#include <algorithm>

namespace Pesel {

Decoded decode(const QString& pesel)
{
    Decoded out;
    if (pesel.size() != 11)
        return out;
    int digit[11];
    for (int i = 0; i < 11; ++i) {
        const char16_t c = pesel.at(i).unicode();
        if (c < u'0' || c > u'9')
            return out;
        digit[i] = c - u'0';
    }
    out.elevenDigits = true;

    static constexpr int Weights[10] = {1, 3, 7, 9, 1, 3, 7, 9, 1, 3};
    int sum = 0;
    for (int i = 0; i < 10; ++i)
        sum += Weights[i] * digit[i];
    out.checkDigitOk = (10 - sum % 10) % 10 == digit[10];

    int month = digit[2] * 10 + digit[3];
    const int century = month > 80 ? 1800 : month > 60 ? 2200 : month > 40 ? 2100 : month > 20 ? 2000 : 1900;
    month %= 20;
    const int year = century + digit[0] * 10 + digit[1];
    const QDate date(year, month, digit[4] * 10 + digit[5]);
    out.dateOk = date.isValid();
    if (out.dateOk) {
        out.birthDate = date;
        out.inFuture = date > Clock::instance().nowLocal().date();
    }
    out.male = digit[9] % 2 == 1;
    return out;
}

QString sexText(bool male)
{
    return male ? QStringLiteral("mężczyzna") : QStringLiteral("kobieta");
}

namespace {

// "1 cyfrę", "3 cyfry", "10 cyfr", "22 cyfry".
QString digitsText(qsizetype n)
{
    const char* word = n == 1                                                           ? "cyfrę"
                       : (n % 10 >= 2 && n % 10 <= 4 && (n % 100 < 12 || n % 100 > 14)) ? "cyfry"
                                                                                        : "cyfr";
    return QString::number(n) + QLatin1Char(' ') + QString::fromUtf8(word);
}

} // namespace

QStringList faults(const QString& pesel)
{
    if (pesel.isEmpty())
        return {};
    const bool digitsOnly =
        std::all_of(pesel.cbegin(), pesel.cend(), [](QChar c) { return c >= u'0' && c <= u'9'; });
    if (!digitsOnly)
        return {QStringLiteral("numer PESEL zawiera znaki inne niż cyfry")};
    if (pesel.size() != 11)
        return {QStringLiteral("numer PESEL ma %1 zamiast 11").arg(digitsText(pesel.size()))};
    const Decoded d = decode(pesel);
    QStringList out;
    if (!d.checkDigitOk)
        out << QStringLiteral("cyfra kontrolna numeru PESEL się nie zgadza");
    if (!d.dateOk)
        out << QStringLiteral("numer PESEL zawiera datę urodzenia, która nie istnieje");
    else if (d.inFuture)
        out << QStringLiteral("numer PESEL zawiera datę urodzenia z przyszłości (%1)")
                   .arg(d.birthDate.toString(QStringLiteral("dd.MM.yyyy")));
    return out;
}

QString withLeadingZero(const QString& pesel)
{
    if (pesel.size() != 10)
        return QString();
    const QString whole = QLatin1Char('0') + pesel;
    return faults(whole).isEmpty() ? whole : QString();
}

QStringList warnings(const QString& pesel, const QString& dayText, const QString& yearText,
                     const QString& sex)
{
    QStringList out = faults(pesel);
    const Decoded d = decode(pesel);
    if (!out.isEmpty() || !d.valid())
        return out;

    int day = 0;
    int month = 0;
    const bool dayDiffers = BirthDate::parseDayText(dayText, day, month) &&
                            (day != d.birthDate.day() || month != d.birthDate.month());
    const int year = BirthDate::parseYearText(yearText);
    const bool yearDiffers = year != 0 && year != d.birthDate.year();
    if (dayDiffers || yearDiffers)
        out << QStringLiteral("według numeru PESEL data urodzenia to: %1 %2")
                   .arg(BirthDate::dayText(d.birthDate), BirthDate::yearText(d.birthDate.year()));
    if ((sex == sexText(true) || sex == sexText(false)) && sex != sexText(d.male))
        out << QStringLiteral("według numeru PESEL płeć to: %1").arg(sexText(d.male));
    return out;
}

} // namespace Pesel

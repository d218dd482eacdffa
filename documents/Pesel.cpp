#include "documents/Pesel.h"

#include "documents/BirthDate.h"

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
    if (out.dateOk)
        out.birthDate = date;
    out.male = digit[9] % 2 == 1;
    return out;
}

QString sexText(bool male)
{
    return male ? QStringLiteral("mężczyzna") : QStringLiteral("kobieta");
}

QStringList warnings(const QString& pesel, const QString& dayText, const QString& yearText,
                     const QString& sex)
{
    const Decoded d = decode(pesel);
    if (!d.elevenDigits)
        return {};
    QStringList out;
    if (!d.checkDigitOk)
        out << QStringLiteral("cyfra kontrolna numeru PESEL się nie zgadza");
    if (!d.dateOk)
        out << QStringLiteral("numer PESEL zawiera datę urodzenia, która nie istnieje");
    if (!out.isEmpty())
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

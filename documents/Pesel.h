// What a PESEL number carries: the birth date (the century in the month: +80 for the
// 1800s, none for the 1900s, +20, +40 and +60 for the 2000s, 2100s and 2200s), the sex
// (the tenth digit, even for a woman) and a check digit.
#pragma once

#include <QDate>
#include <QString>
#include <QStringList>

namespace Pesel {

struct Decoded {
    bool elevenDigits = false; // only then is anything below decoded
    bool checkDigitOk = false;
    bool dateOk = false;
    QDate birthDate; // valid when dateOk
    bool male = false;

    bool valid() const { return elevenDigits && checkDigitOk && dateOk; }
};

Decoded decode(const QString& pesel);

// The sex as the student form writes it: "kobieta" or "mężczyzna".
QString sexText(bool male);

// In words, what is wrong with the number or where it disagrees with the birth date
// (`dayText` "14 marca", `yearText` "2008 r.") and the sex ("kobieta", "mężczyzna")
// given beside it; empty texts are not compared, nor texts of another form. Nothing
// for a number that is not eleven digits.
QStringList warnings(const QString& pesel, const QString& dayText, const QString& yearText,
                     const QString& sex);

} // namespace Pesel

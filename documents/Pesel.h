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
    QDate birthDate;       // valid when dateOk
    bool inFuture = false; // the date lies after today of the program's clock
    bool male = false;

    bool valid() const { return elevenDigits && checkDigitOk && dateOk && !inFuture; }
};

Decoded decode(const QString& pesel);

// In words, each thing that keeps the number from being a whole PESEL: characters
// other than digits, a count of digits other than 11, the check digit, a date that does
// not exist or has not come yet. Nothing for a whole number or an empty text.
QStringList faults(const QString& pesel);

// The number a spreadsheet makes of a PESEL with a leading zero, read as a number and
// written without it: the eleven digits when "0" and the ten given make a whole PESEL,
// else an empty text.
QString withLeadingZero(const QString& pesel);

// The sex as the student form writes it: "kobieta" or "mężczyzna".
QString sexText(bool male);

// In words, what is wrong with the number (faults()) or, for a whole number, where it
// disagrees with the birth date (`dayText` "14 marca", `yearText` "2008 r.") and the
// sex ("kobieta", "mężczyzna") given beside it; empty texts are not compared, nor texts
// of another form.
QStringList warnings(const QString& pesel, const QString& dayText, const QString& yearText,
                     const QString& sex);

} // namespace Pesel

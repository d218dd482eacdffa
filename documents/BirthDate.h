// The birth date as the student form keeps it: the day and month in words ("14 marca",
// "1 marca") in one field, the year in the list's form ("2008 r.") in another.
#pragma once

#include <QDate>
#include <QString>

namespace BirthDate {

// "14 marca": the day without a leading zero, the month in the genitive.
QString dayText(const QDate& date);
// "2008 r."
QString yearText(int year);

enum class Parsed { NoDate, Impossible, Date };
// A date as Polish offices write it: "2008-03-14", "2008.03.14", "14.03.2008",
// "14-03-2008", "14/03/2008" (one-digit day and month allowed), the month in words,
// "14 marca 2008", or in Roman numerals, "14 III 2008", "14.III.2008", with or without
// " r.". A two-digit year ("14.03.08") is the year of `peselDate` when that ends in the
// same digits, else the latest year of those digits that is not in the future. `date`
// is set only when the text names a day that exists.
Parsed parse(const QString& text, QDate& date, const QDate& peselDate = QDate());

// The day and month of a text such as "14 marca" or "14 III" (case and blanks
// ignored); false when the text is not of that form.
bool parseDayText(const QString& text, int& day, int& month);

// The birth date as a class list carries it, from the form's two texts whatever their
// form: "2008-03-14" for a whole date, "14 marca" for a day without a year, "2008" for
// a year alone, the texts as they stand (joined by a blank) when they are no date.
QString listText(const QString& dayText, const QString& yearText);
// The year of "2008 r.", "2008r." or "2008"; 0 when the text is not of that form.
int parseYearText(const QString& text);

} // namespace BirthDate

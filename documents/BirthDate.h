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
// A date written "2008-03-14", "14.03.2008" or "14-03-2008" (one-digit day and month
// allowed), or in words, "14 marca 2008" with or without " r.". `date` is set only
// when the text names a day that exists.
Parsed parse(const QString& text, QDate& date);

// The day and month of a text such as "14 marca" (case and blanks ignored); false
// when the text is not of that form.
bool parseDayText(const QString& text, int& day, int& month);
// The year of "2008 r.", "2008r." or "2008"; 0 when the text is not of that form.
int parseYearText(const QString& text);

} // namespace BirthDate

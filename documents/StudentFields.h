// The student form's fields and the rules by which it stores a student, shared with
// the import of class lists so that both store a student alike.
#pragma once

#include <QString>

namespace StudentFields {

// The section id of the student form's rows.
inline const QString Section = QStringLiteral("DANE UCZNIA");

inline const QString FirstName = QStringLiteral("Imie_DATA_EDIT");
inline const QString BirthDay = QStringLiteral("UrodzonyDnia_DATA_EDIT");
inline const QString Sex = QStringLiteral("Plec_DATA_COMBOBOX");
inline const QString BirthYear = QStringLiteral("UrodzonyRok_DATA_COMBOBOX");
inline const QString Town = QStringLiteral("UrodzonyMiasto_DATA_COMBOBOX");
inline const QString Province = QStringLiteral("UrodzonyWoj_DATA_COMBOBOX");
inline const QString Surname = QStringLiteral("Nazwisko_DATA_EDIT");
inline const QString Pesel = QStringLiteral("NrPesel_DATA_EDIT");
inline const QString RegisterNumber = QStringLiteral("NrDziennika_DATA_EDIT");

// The most characters the user can type.
constexpr int NameLimit = 48; // surname, first name, register number
constexpr int BirthDayLimit = 46;
constexpr int PeselLimit = 30;

// The first letter made a capital when it is one of a to z; other first characters,
// Polish letters included, stay as typed.
inline QString withCapital(const QString& text)
{
    if (text.isEmpty() || text.front() < u'a' || text.front() > u'z')
        return text;
    QString out = text;
    out[0] = out.front().toUpper();
    return out;
}

// The PESEL becomes part of a table name, which is never escaped: ASCII letters and
// digits only.
inline bool peselCharactersAllowed(const QString& pesel)
{
    for (const QChar c : pesel) {
        const char16_t u = c.unicode();
        if (!((u >= u'0' && u <= u'9') || (u >= u'A' && u <= u'Z') || (u >= u'a' && u <= u'z')))
            return false;
    }
    return true;
}

inline QString tableName(const QString& pesel)
{
    return QStringLiteral("PESEL") + pesel;
}

} // namespace StudentFields

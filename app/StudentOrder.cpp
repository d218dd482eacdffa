#include "app/StudentOrder.h"

#include "storage/Cp1250.h"

#include <QHash>

#include <algorithm>

QByteArray strFunStudentSortKey(const QString& displayName)
{
    QString key = displayName;
    for (QChar& c : key) {
        const char16_t u = c.unicode();
        if (u >= u'a' && u <= u'z')
            c = QChar(u - 32);
        else if (u == u'ą' || u == u'Ą')
            c = u'A';
        else if (u == u'ć' || u == u'Ć')
            c = u'C';
        else if (u == u'ę' || u == u'Ę')
            c = u'E';
        else if (u == u'ł' || u == u'Ł')
            c = u'L';
        else if (u == u'ń' || u == u'Ń')
            c = u'N';
        else if (u == u'ś' || u == u'Ś')
            c = u'S';
        else if (u == u'ó' || u == u'Ó')
            c = u'O';
        else if (u == u'ż' || u == u'Ż' || u == u'ź' || u == u'Ź')
            c = u'Z';
    }
    // Names come from the file, so every character has its Windows-1250 byte.
    return Cp1250::encodeLossy(key);
}

void vFunSortStudents(QList<StudentListEntry>& students)
{
    QList<std::pair<QByteArray, StudentListEntry>> keyed;
    keyed.reserve(students.size());
    for (const StudentListEntry& s : students)
        keyed.append({strFunStudentSortKey(s.displayName), s});
    std::stable_sort(keyed.begin(), keyed.end(), [](const auto& a, const auto& b) {
        return std::lexicographical_compare(a.first.begin(), a.first.end(), b.first.begin(), b.first.end(),
                                            [](char x, char y) { return uchar(x) < uchar(y); });
    });
    for (qsizetype i = 0; i < keyed.size(); ++i)
        students[i] = std::move(keyed[i].second);
}

QString strFunStudentPesel(const StudentListEntry& student)
{
    return student.tableName.startsWith(QLatin1String("PESEL")) ? student.tableName.mid(5) : QString();
}

QStringList strFunStudentCaptions(const QList<StudentListEntry>& students)
{
    QHash<QString, int> uses;
    for (const StudentListEntry& s : students)
        ++uses[s.displayName];
    QStringList captions;
    captions.reserve(students.size());
    for (const StudentListEntry& s : students) {
        if (uses.value(s.displayName) < 2) {
            captions << s.displayName;
            continue;
        }
        const QString pesel = strFunStudentPesel(s);
        captions << s.displayName + (pesel.isEmpty() ? QStringLiteral(" (bez numeru PESEL)")
                                                     : QStringLiteral(" (PESEL ") + pesel + QLatin1Char(')'));
    }
    return captions;
}

bool bFunStudentMatches(const StudentListEntry& student, const QString& filter)
{
    const QByteArray name = strFunStudentSortKey(student.displayName.toUpper());
    const QString pesel = strFunStudentPesel(student);
    const QStringList words = filter.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    return std::all_of(words.begin(), words.end(), [&](const QString& word) {
        // Both sides in capitals first, so that letters the key leaves alone match too.
        return name.contains(strFunStudentSortKey(word.toUpper())) || pesel.contains(word);
    });
}

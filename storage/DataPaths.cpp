#include "storage/DataPaths.h"

#include "platform/Environment.h"
#include "platform/FileOps.h"
#include "storage/CppSQLite3.h"

#include <QDir>

#include <cerrno>

namespace {
const QString kSeparator = QStringLiteral("/");
} // namespace

bool createDirUnlogged(MessageBuffer& buf, const QString& path)
{
    const int err = FileOps::makeDir(path);
    if (err == 0)
        return true;
    buf.reset();
    buf << "Błąd podczas tworzenia katalogu:\n" << path << "\nKod błędu: " << err;
    return false;
}

QString strFunPlainLoginName(const QString& login)
{
    static const char16_t pairs[][2] = {
        {u'Ą', u'A'}, {u'ą', u'a'}, {u'Ć', u'C'}, {u'ć', u'c'}, {u'Ę', u'E'}, {u'ę', u'e'},
        {u'Ł', u'L'}, {u'ł', u'l'}, {u'Ń', u'N'}, {u'ń', u'n'}, {u'Ó', u'O'}, {u'ó', u'o'},
        {u'Ś', u'S'}, {u'ś', u's'}, {u'Ź', u'Z'}, {u'ź', u'z'}, {u'Ż', u'Z'}, {u'ż', u'z'},
    };
    QString name = login;
    for (const auto& pair : pairs)
        name.replace(QChar(pair[0]), QChar(pair[1]));
    return name;
}

QString strFunGetMainDirPath(MessageBuffer& buf)
{
    const QString root = Environment::appDataRoot();
    // The XDG data home may not exist yet on a new account; it is the system's folder,
    // so it is made whole here, unlike the program's own levels below it.
    if (root.isEmpty() || !QDir().mkpath(root)) {
        buf.reset();
        buf << "Błąd uzyskania ścieżki głównego katalagu.\n"
            << "Kod błędu: " << (root.isEmpty() ? ENOENT : EACCES);
        return QString();
    }
    QString path = root + kSeparator + QStringLiteral("Melvok-Dokumenty");
    if (!createDirUnlogged(buf, path))
        return QString();
    path += kSeparator + strFunPlainLoginName(Environment::loginName());
    if (!createDirUnlogged(buf, path))
        return QString();
    return path;
}

QString strFunGetProgramDirPath()
{
    return Environment::programDir();
}

QString strFunGetHelpFilePath()
{
    const QString name = QStringLiteral("Zoravavivo.html");
    const QString beside = strFunGetProgramDirPath() + kSeparator + name;
    if (FileOps::exists(beside))
        return beside;
    const QString installed = QDir::cleanPath(strFunGetProgramDirPath() + kSeparator +
                                              QStringLiteral(MELVOK_HELP_FROM_PROGRAM_DIR)) +
                              kSeparator + name;
    return FileOps::exists(installed) ? installed : beside;
}

QString strFunGetTmpFilePath(MessageBuffer& buf)
{
    return strFunGetMainDirPath(buf) + kSeparator + QStringLiteral("data_tmp.sqtmp");
}

QString strFunGetSettingsFilePath(MessageBuffer& buf, bool installedCopy)
{
    const QString dir = installedCopy ? strFunGetProgramDirPath() : strFunGetMainDirPath(buf);
    return dir + kSeparator + QStringLiteral("ustawienia.sqset");
}

QString strFunGetCalibFilePath(MessageBuffer& buf, bool installedCopy)
{
    const QString dir = installedCopy ? strFunGetProgramDirPath() : strFunGetMainDirPath(buf);
    return dir + kSeparator + QStringLiteral("dokumenty_kalibracja.sqset");
}

QString strFunGetTemplatesFilePath(MessageBuffer& buf)
{
    QString path = strFunGetMainDirPath(buf) + kSeparator + QStringLiteral("szablony.sqset");
    if (!FileOps::exists(path)) {
        try {
            CppSQLite3DB db;
            db.openFile(path);
            db.closeFile();
        } catch (const CppSQLite3Exception&) {
            // The template operations report the missing file themselves.
        }
    }
    return path;
}

QString strFunGetLogFilePath(MessageBuffer& buf)
{
    return strFunGetMainDirPath(buf) + kSeparator + QStringLiteral("logs.sqdb");
}

QString strFunGetBackupDirPath(MessageBuffer& buf)
{
    return strFunGetMainDirPath(buf) + kSeparator + QStringLiteral("backup") + kSeparator;
}

#include "storage/RecentFiles.h"

#include "storage/SettingsStore.h"

#include <QDir>
#include <QFileInfo>

namespace {

const QString kRegistersKey = QStringLiteral("recent_registers");
// A path longer than any the system makes is no path: the stored list is bounded.
constexpr qsizetype kPathLimit = 4096;

QString folderKey(FileKind kind)
{
    switch (kind) {
    case FileKind::Registers:
        return QStringLiteral("last_folder_registers");
    case FileKind::ClassLists:
        return QStringLiteral("last_folder_class_lists");
    case FileKind::Calibration:
        return QStringLiteral("last_folder_calibration");
    case FileKind::Pdf:
        return QStringLiteral("last_folder_pdf");
    }
    return QString();
}

bool usablePath(const QString& path)
{
    return !path.isEmpty() && path.size() <= kPathLimit && QDir::isAbsolutePath(path) &&
           !path.contains(QLatin1Char('\n'));
}

} // namespace

namespace RecentFiles {

QStringList added(QStringList list, const QString& path)
{
    list.removeAll(path);
    list.prepend(path);
    while (list.size() > kLimit)
        list.removeLast();
    return list;
}

QStringList registers()
{
    MessageBuffer quiet; // an unreadable list is an empty one
    QString stored;
    if (!bFunSqlGetSettingsText(quiet, kRegistersKey, stored))
        return {};
    QStringList out;
    for (const QString& line : stored.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        if (out.size() == kLimit)
            break;
        if (usablePath(line) && !out.contains(line))
            out << line;
    }
    return out;
}

void rememberRegister(const QString& path)
{
    const QString absolute = QFileInfo(path).absoluteFilePath();
    if (path.isEmpty() || !usablePath(absolute))
        return;
    const QStringList before = registers();
    if (before.value(0) == absolute)
        return;
    MessageBuffer quiet; // a list that cannot be kept costs nothing but the list
    bFunSqlSettingWriteText(quiet, kRegistersKey, added(before, absolute).join(QLatin1Char('\n')));
}

} // namespace RecentFiles

QString strFunLastFolder(FileKind kind)
{
    MessageBuffer quiet;
    QString folder;
    if (!bFunSqlGetSettingsText(quiet, folderKey(kind), folder) || !usablePath(folder) ||
        !QFileInfo(folder).isDir())
        return QString();
    return folder;
}

void vFunRememberFolder(FileKind kind, const QString& filePath)
{
    if (filePath.isEmpty())
        return;
    const QString folder = QFileInfo(filePath).absolutePath();
    if (!usablePath(folder) || folder == strFunLastFolder(kind))
        return;
    MessageBuffer quiet;
    bFunSqlSettingWriteText(quiet, folderKey(kind), folder);
}

QString strFunDialogStart(FileKind kind, const QString& name)
{
    const QString folder = strFunLastFolder(kind);
    if (folder.isEmpty() || QDir::isAbsolutePath(name))
        return name;
    return name.isEmpty() ? folder : QDir(folder).filePath(name);
}

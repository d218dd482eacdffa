// What the file commands remember between runs, in the settings store: the registers
// opened last and the folder each kind of file was last taken from or written to.
#pragma once

#include <QString>
#include <QStringList>

namespace RecentFiles {

// Registers listed in "Ostatnio otwierane".
constexpr int kLimit = 10;

// `list` with `path` in front and no second copy of it, at most kLimit long.
QStringList added(QStringList list, const QString& path);
// The registers opened last, the newest first; at most kLimit, each an absolute path.
QStringList registers();
// Puts `path` in front of the stored list. A path the store cannot hold is left out.
void rememberRegister(const QString& path);

} // namespace RecentFiles

enum class FileKind { Registers, ClassLists, Calibration, Pdf };

// The folder a file of `kind` was last chosen in; empty when none was or it is gone.
QString strFunLastFolder(FileKind kind);
// Remembers the folder of `filePath` for the next dialog of `kind`.
void vFunRememberFolder(FileKind kind, const QString& filePath);
// Where a file dialog of `kind` starts: `name` in the last folder (a name that already
// has a folder, or no last folder: `name` as it is).
QString strFunDialogStart(FileKind kind, const QString& name = QString());

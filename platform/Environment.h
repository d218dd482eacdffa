// Where the program lives and who runs it. Each value can be overridden, so that a
// test works in folders of its own and never in the user's home.
#pragma once

#include <QString>

namespace Environment {

// Folder of the running executable, links resolved, without a trailing separator.
QString programDir();
// The desktop's folder for application data (XDG data home).
QString appDataRoot();
// Login name of the user running the program.
QString loginName();

void overrideProgramDir(const QString& dir);  // empty: back to the real one
void overrideAppDataRoot(const QString& dir); // empty: back to the real one
void overrideLoginName(const QString& name);  // empty: back to the real one

} // namespace Environment

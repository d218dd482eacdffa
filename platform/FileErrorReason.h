// A line that tells the user in words why a file could not be written, for the
// messages that otherwise give only the system's error number.
#pragma once

#include <QString>

// "\n" and the reason for the error codes an office meets (a full disk, a read-only
// medium or folder, missing rights, a vanished folder); empty for any other code.
QString strFunFileErrorReason(int errorCode);

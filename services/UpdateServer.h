// Where the program looks for its newer version, and how it asks: the server's address
// is configuration (the `text_value` of "update_address" in the settings), with a
// built-in default.
#pragma once

#include <QNetworkRequest>
#include <QString>
#include <QUrl>

class QNetworkReply;

namespace UpdateServer {

// The address built into the program.
extern const char* const defaultAddress;

// The folder of the two files on the server, ending in "/".
QString strFunGetUpdateAddress();
QUrl versionFileUrl(); // "doc_wersja.bin"
QUrl installerUrl();   // "zidarari.exe"

// A request as the program sends it: agent "UPDATE CHECK", the body as stored on the
// server (never compressed, so its length is the announced one), a few redirects at
// most, and a time-out instead of a wait without end.
QNetworkRequest request(const QUrl& url);

// How long a transfer may stand still before it is given up, in milliseconds.
int transferTimeout();
void overrideTransferTimeout(int ms); // 0: back to the default

// The outcome of a finished reply, as the check and the download tell them apart.
enum class Answer {
    Success,   // a 2xx status
    NotServed, // the server answered with another status
    NoAnswer   // no connection, no answer in time, a redirect loop
};
Answer answerOf(const QNetworkReply* reply);
// Whether the status line of an unfinished reply has arrived and is a 2xx one.
bool isSuccessStatus(const QNetworkReply* reply);

} // namespace UpdateServer

// Where the program looks for its newer version: the server's address is
// configuration (the `text_value` of "update_address" in the settings), with a
// built-in default. The server's folder holds the version file and, for every
// version it offers, the Debian package and its SHA-256 sum.
#pragma once

#include <QString>
#include <QUrl>

// (major, minor, release), compared in that order.
struct VersionTriple {
    qint32 major = 0;
    qint32 minor = 0;
    qint32 release = 0;

    // The version file: three little-endian 32-bit integers; bytes that are missing
    // count as zero.
    static VersionTriple fromBytes(const QByteArray& bytes);
    bool isNewerThan(const VersionTriple& other) const;
    // Whether a program could have this version: no part negative or above 999.
    bool isPlausible() const;
    QString text() const; // "1.0.0"
};

namespace UpdateServer {

// The address built into the program.
extern const char* const defaultAddress;

// The folder of the files on the server, ending in "/".
QString strFunGetUpdateAddress();
QUrl versionFileUrl(); // "doc_wersja.bin"
// "melvok-dokumenty_1.0.1_amd64.deb"
QString packageFileName(const VersionTriple& version);
QUrl packageUrl(const VersionTriple& version);
// "melvok-dokumenty_1.0.1.sha256": the package's sum in hexadecimal, as sha256sum writes it.
QUrl checksumUrl(const VersionTriple& version);

// The most the server may send in one answer: a few kilobytes for the version and sum
// files, a sensible size for a package. A longer answer is cut off and refused.
constexpr qint64 SmallAnswerLimit = 4 * 1024;
constexpr qint64 PackageSizeLimit = 100LL * 1024 * 1024;
qint64 answerLimit(const QUrl& url);

// How long the server may take. Whoever makes a check or a download passes them;
// the program uses the defaults.
struct Limits {
    int answerMs = 30000; // the whole version check
    // A download that brings less than `leastBytes` in `stallMs` is given up.
    int stallMs = 60000;
    qint64 leastBytes = 1024;
};

// The outcome of a finished request, as the check and the download tell them apart.
enum class Answer {
    Success,   // a 2xx status
    NotServed, // the server answered with another status, or a redirect that is not followed
    NoAnswer   // no connection, a reply cut short
};

} // namespace UpdateServer

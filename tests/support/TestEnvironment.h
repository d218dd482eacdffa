// A program folder and a data root of the test's own, in a temporary folder, with
// the installed data files of the build copied into the program folder.
#pragma once

#include "platform/Clock.h"
#include "platform/Environment.h"
#include "storage/MessageBuffer.h"
#include "tests/support/StandIn.h"

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

// The program's clock while it lives.
class FixedClock : public StandIn<Clock>
{
public:
    explicit FixedClock(const QDateTime& utc) : utc(utc) {}
    QDateTime nowLocal() const override { return utc.toLocalTime(); }
    QDateTime nowUtc() const override { return utc; }
    QDateTime utc;
};

class TestEnvironment
{
public:
    // `installData`: copy the generated installed files into the program folder.
    explicit TestEnvironment(bool installData = true, const QString& login = QStringLiteral("sekretariat"));
    ~TestEnvironment();

    QString root() const { return m_dir.path(); }
    QString programDir() const { return m_dir.path() + QStringLiteral("/program"); }
    QString appDataRoot() const { return m_dir.path() + QStringLiteral("/share"); }
    // The resolved data folder (created).
    QString dataDir();
    QString dataFile(const QString& name) { return dataDir() + QLatin1Char('/') + name; }
    // Runs the start-up check, so the data folder holds its required files.
    bool installDataFolder();
    MessageBuffer buf;

private:
    QTemporaryDir m_dir;
};

// The function name of the newest event log entry, empty when there is none.
QString lastLoggedFunction();

// Raw SQLite helpers for fixtures and checks, working on bytes.
namespace RawSql {
void exec(const QString& path, const QByteArray& sql);
// First column of every row, as raw bytes (NULL gives a null QByteArray).
QList<QByteArray> column(const QString& path, const QByteArray& sql);
QList<QList<QByteArray>> rows(const QString& path, const QByteArray& sql);
// The statement that creates a calibration table of the given name.
QByteArray createCalibrationTable(const QByteArray& table);
} // namespace RawSql

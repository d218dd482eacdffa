// What a power cut or "kill -9" does to the registers, and what damaged and hostile
// files do to the open command. Not a test of the suite: it runs for minutes and
// prints figures.
//
//   melvok-killtest kill N   N runs: a child process stores students into the working
//                            copy and saves the register; it is killed with SIGKILL at
//                            a random moment; then the next start opens another
//                            register and the killed one again, and everything is
//                            checked.
//   melvok-killtest fuzz N   N damaged files opened with "Plik" -> "Otwórz".
#include "app/Program.h"
#include "app/TFGlowna.h"
#include "documents/DocumentFile.h"
#include "platform/Environment.h"
#include "platform/FileOps.h"
#include "storage/DataFolder.h"
#include "tests/support/RawFile.h"
#include "tests/support/ScriptedPrompts.h"
#include "tests/support/TestEnvironment.h"

#include <sqlite3.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMap>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTreeWidget>

#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// Every table whole (34 rows, as one store writes them) and SQLite's own check.
bool isWholeRegister(const QString& path, int* students = nullptr)
{
    sqlite3* db = nullptr;
    bool whole = sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK;
    auto scalar = [&](const QByteArray& sql) {
        QByteArray out;
        sqlite3_stmt* stmt = nullptr;
        if (sqlite3_prepare_v2(db, sql.constData(), -1, &stmt, nullptr) == SQLITE_OK &&
            sqlite3_step(stmt) == SQLITE_ROW)
            out = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0));
        else
            whole = false;
        sqlite3_finalize(stmt);
        return out;
    };
    whole = whole && scalar("pragma integrity_check") == "ok";
    QList<QByteArray> tables;
    sqlite3_stmt* stmt = nullptr;
    if (whole && sqlite3_prepare_v2(db, "select name from sqlite_master where type='table'", -1, &stmt,
                                    nullptr) == SQLITE_OK)
        while (sqlite3_step(stmt) == SQLITE_ROW)
            tables << reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0));
    sqlite3_finalize(stmt);
    for (const QByteArray& table : std::as_const(tables))
        whole = whole && scalar("select count(*) from `" + table + "`") == "34";
    sqlite3_close(db);
    if (students)
        *students = int(tables.size());
    return whole;
}

FieldRowList studentRows(int n)
{
    FieldRowList rows;
    for (int i = 0; i < 34; ++i)
        rows.append({QStringLiteral("DANE UCZNIA"), QStringLiteral("Pole%1_DATA_EDIT").arg(i),
                     QStringLiteral("Zażółć gęślą jaźń, uczeń %1, pole %2 ").repeated(4).arg(n).arg(i)});
    rows[0].compName = QStringLiteral("Nazwisko_DATA_EDIT");
    rows[1].compName = QStringLiteral("Imie_DATA_EDIT");
    return rows;
}

// The killed program: opens the register and then stores students and saves, for ever.
[[noreturn]] void storeForEver(const QString& doc, int seed, int ready)
{
    MessageBuffer buf;
    bFunDeleteTmpFile(buf);
    bFunSettleDocumentFile(buf, doc);
    const QString tmp = strFunGetTmpFilePath(buf);
    FileOps::copyFile(doc, tmp, false);
    (void)!::write(ready, "r", 1);
    for (int n = 0;; ++n) {
        const int pesel = (seed * 7 + n) % 60;
        bFunReplaceCertData(buf, tmp, QStringLiteral("PESEL%1").arg(pesel), studentRows(n));
        if (n % 2 == 1)
            FileOps::copyFile(tmp, doc, false); // Save
    }
}

int leftovers(const QString& doc)
{
    const QFileInfo info(doc);
    return int(QDir(info.absolutePath())
                   .entryList({QStringLiteral(".") + info.fileName() + QStringLiteral(".*")},
                              QDir::Files | QDir::Hidden)
                   .size());
}

int killRuns(int runs)
{
    // A program folder of its own with every installed file, as the start-up's check
    // of required files wants it, and a data folder beside it.
    TestEnvironment env;
    MessageBuffer& buf = env.buf;
    if (!env.installDataFolder()) {
        std::fprintf(stderr, "%s\n", qPrintable(buf.text()));
        return 1;
    }
    const QString doc = env.root() + QStringLiteral("/klasa.sqdoc");
    const QString other = env.root() + QStringLiteral("/inna.sqdoc");
    const QString tmp = strFunGetTmpFilePath(buf);
    FileOps::touch(doc);
    FileOps::touch(other);
    for (int n = 0; n < 60; ++n)
        bFunReplaceCertData(buf, doc, QStringLiteral("PESEL%1").arg(n), studentRows(n));
    for (int n = 0; n < 3; ++n)
        bFunReplaceCertData(buf, other, QStringLiteral("PESEL%1").arg(n), studentRows(n));
    const QByteArray otherBytes = RawFile::bytes(other);

    int hotJournals = 0, leftoverRuns = 0, wrongOther = 0, brokenSave = 0, brokenReopen = 0, failedSteps = 0;
    int stillLeft = 0, maxStudents = 0;
    QRandomGenerator random(1100);
    for (int run = 0; run < runs; ++run) {
        int ready[2];
        if (::pipe(ready) != 0)
            return 1;
        const pid_t child = ::fork();
        if (child == 0) {
            ::close(ready[0]);
            storeForEver(doc, run, ready[1]);
        }
        ::close(ready[1]);
        char c;
        (void)!::read(ready[0], &c, 1);
        ::close(ready[0]);
        ::usleep(useconds_t(random.bounded(1, 200000)));
        ::kill(child, SIGKILL);
        ::waitpid(child, nullptr, 0);
        hotJournals += QFileInfo(tmp + QStringLiteral("-journal")).size() > 0;
        leftoverRuns += leftovers(doc) > 0;
        // The saved register is the old or the new one, never a mixture.
        int students = 0;
        brokenSave += !isWholeRegister(doc, &students);
        maxStudents = std::max(maxStudents, students);

        // The next start, and another register opened first.
        QList<StudentListEntry> list;
        const bool opened = bFunDeleteTmpFile(buf) && bFunSettleDocumentFile(buf, other) &&
                            FileOps::copyFile(other, tmp, false) == 0 && bFunGetStudentsList(buf, tmp, list);
        failedSteps += !opened;
        wrongOther += RawFile::bytes(tmp) != otherBytes || list.size() != 3;
        // The killed register again, stored into and saved once more.
        list.clear();
        const bool reopened = bFunDeleteTmpFile(buf) && bFunSettleDocumentFile(buf, doc) &&
                              FileOps::copyFile(doc, tmp, false) == 0 &&
                              bFunGetStudentsList(buf, tmp, list) &&
                              bFunReplaceCertData(buf, tmp, QStringLiteral("PESEL99"), studentRows(99)) &&
                              FileOps::copyFile(tmp, doc, false) == 0;
        failedSteps += !reopened;
        brokenReopen += !isWholeRegister(doc);
        stillLeft += leftovers(doc) > 0;
        bFunDeleteTable(buf, tmp, QStringLiteral("PESEL99"));
        FileOps::copyFile(tmp, doc, false);
    }
    std::printf("kill runs: %d (SIGKILL at a random moment in 0-200 ms of storing and saving)\n", runs);
    std::printf("  hot journal beside the working copy after the kill: %d\n", hotJournals);
    std::printf("  hidden temporary copy of an interrupted save left:  %d\n", leftoverRuns);
    std::printf("  ... still there after the next successful save:     %d\n", stillLeft);
    std::printf("  saved register not whole after the kill:            %d\n", brokenSave);
    std::printf("  other register's working copy not byte-identical:   %d\n", wrongOther);
    std::printf("  killed register not whole after reopen and save:    %d\n", brokenReopen);
    std::printf("  open or save steps that failed:                     %d\n", failedSteps);
    std::printf("  students in the saved register at most:             %d\n", maxStudents);
    return wrongOther + brokenSave + brokenReopen + failedSteps + stillLeft == 0 ? 0 : 1;
}

// One damaged file: random bytes, a register cut short, a register with bytes flipped
// (anywhere or in its header), or a good register with a journal of random bytes.
QString damagedFile(const QString& dir, const QByteArray& good, int n, QRandomGenerator& random, int& kind)
{
    const QString path = dir + QStringLiteral("/uszkodzony%1.sqdoc").arg(n);
    kind = n % 5;
    QByteArray bytes = good;
    switch (kind) {
    case 0:
        bytes.resize(random.bounded(1, 20000));
        for (char& b : bytes)
            b = char(random.bounded(256));
        break;
    case 1:
        bytes.truncate(random.bounded(1, int(good.size())));
        break;
    case 2:
        for (int i = random.bounded(1, 40); i > 0; --i)
            bytes[random.bounded(int(bytes.size()))] = char(random.bounded(256));
        break;
    case 3:
        for (int i = random.bounded(1, 8); i > 0; --i)
            bytes[random.bounded(100)] = char(random.bounded(256));
        break;
    default: {
        QByteArray journal(random.bounded(512, 20000), '\0');
        for (char& b : journal)
            b = char(random.bounded(256));
        journal.replace(0, 8, QByteArray::fromHex("d9d505f920a163d7")); // a journal's magic
        RawFile::write(path + QStringLiteral("-journal"), journal);
        break;
    }
    }
    RawFile::write(path, bytes);
    return path;
}

int fuzzRuns(int files)
{
    QTemporaryDir dir;
    Environment::overrideAppDataRoot(dir.path() + QStringLiteral("/share"));
    Environment::overrideProgramDir(QStringLiteral(MELVOK_PROGRAM_DIR));
    ScriptedPrompts prompts;
    ProgramWindows windows;
    if (!bFunStartProgram(windows, QString()))
        return 1;
    TFGlowna& main = *windows.glowna;
    MessageBuffer buf;
    const QString goodPath = dir.path() + QStringLiteral("/dobry.sqdoc");
    FileOps::touch(goodPath);
    for (int n = 0; n < 40; ++n)
        bFunReplaceCertData(buf, goodPath, QStringLiteral("PESEL%1").arg(n), studentRows(n));
    const QByteArray good = RawFile::bytes(goodPath);

    int opened[5] = {}, refused[5] = {}, badState = 0, unknown = 0, clickErrors = 0;
    QMap<QString, int> messages; // first and last line of each message shown
    QRandomGenerator random(2049);
    for (int n = 0; n < files; ++n) {
        int kind = 0;
        const QString path = damagedFile(dir.path(), good, n, random, kind);
        prompts.clear();
        prompts.files.enqueue(path);
        main.OtworzPlikToolButtonClick();
        const bool ok = !main.openDocumentPath().isEmpty();
        ++(ok ? opened : refused)[kind];
        if (!ok)
            badState +=
                main.treeView()->topLevelItemCount() != 0 || QFileInfo::exists(strFunGetTmpFilePath(buf));
        // Every student of an opened file can be clicked.
        for (int i = 0; ok && i < main.treeView()->topLevelItemCount(); ++i)
            main.treeView()->setCurrentItem(main.treeView()->topLevelItem(i)->child(0));
        if (ok)
            clickErrors += int(prompts.texts().size());
        for (const QString& text : prompts.texts()) {
            unknown += text.contains(QStringLiteral("UNKNOWN_ERROR"));
            ++messages[text.section(QLatin1Char('\n'), 0, 0) + QStringLiteral(" … ") +
                       text.section(QLatin1Char('\n'), -1)];
        }
        QFile::remove(path);
        QFile::remove(path + QStringLiteral("-journal"));
    }
    const char* names[5] = {"random bytes", "cut short", "bytes flipped", "header flipped", "random journal"};
    std::printf("damaged files opened: %d\n", files);
    for (int k = 0; k < 5; ++k)
        std::printf("  %-15s opened %4d, refused with a message %4d\n", names[k], opened[k], refused[k]);
    std::printf("  refused but a tree, path or working copy left: %d\n", badState);
    std::printf("  messages naming UNKNOWN_ERROR:                  %d\n", unknown);
    std::printf("  messages while clicking students of opened ones: %d\n", clickErrors);
    for (auto it = messages.cbegin(); it != messages.cend(); ++it)
        std::printf("  %5d × %s\n", it.value(), qPrintable(it.key()));
    main.setCloseWithoutQuestions(true);
    Environment::overrideAppDataRoot(QString());
    Environment::overrideProgramDir(QString());
    return badState + unknown == 0 ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    const QString mode = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    const int count = argc > 2 ? std::atoi(argv[2]) : 300;
    if (mode == QStringLiteral("kill"))
        return killRuns(count);
    if (mode == QStringLiteral("fuzz")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
        QApplication app(argc, argv);
        return fuzzRuns(count);
    }
    std::fprintf(stderr, "usage: %s kill|fuzz [count]\n", argv[0]);
    return 2;
}

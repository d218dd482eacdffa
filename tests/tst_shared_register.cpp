// One register on two desks: who has it open, and a Save that joins what the other user
// saved instead of writing over it.
#include "app/Program.h"
#include "app/TFGlowna.h"
#include "documents/RegisterMerge.h"
#include "platform/RegisterLock.h"
#include "storage/DataPaths.h"
#include "tests/support/FileSizeLimit.h"
#include "tests/support/RegisterFiles.h"
#include "tests/support/RunningProgram.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QSysInfo>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>
#include <QtTest>

#include <csignal>
#include <cstdio>
#include <iostream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <tuple>
#include <unistd.h>

namespace {

// The other desk's Save: a new file renamed over the register.
void otherUserSaves(const QString& path, const QByteArray& students)
{
    writeRegister(path + QStringLiteral(".inny"), students);
    QCOMPARE(std::rename((path + QStringLiteral(".inny")).toUtf8().constData(), path.toUtf8().constData()),
             0);
}

// Overwrites the first page of a table, so that its rows can no longer be read.
void damageTable(const QString& path, const QByteArray& table)
{
    const int page = RawSql::column(path, "pragma page_size").value(0).toInt();
    const int root = RawSql::column(path, "select rootpage from sqlite_master where name='" + table + "'")
                         .value(0)
                         .toInt();
    QFile file(path);
    QVERIFY(page > 0 && root > 1 && file.open(QIODevice::ReadWrite));
    file.seek(qint64(root - 1) * page);
    file.write(QByteArray(page, '\xff'));
}

QByteArray contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

const QStringList kOpenButtons = {QStringLiteral("Otwórz tylko do &odczytu"),
                                  QStringLiteral("Otwórz &mimo to"), QStringLiteral("&Anuluj")};

// A running program with one register open.
struct Desk : RunningProgram {
    TFGlowna* main() const { return w.glowna.get(); }
    QString doc;
    QString note() const { return main()->findChild<QLabel*>(QStringLiteral("StatusBarNote"))->text(); }
    QString tmp() { return strFunGetTmpFilePath(env.buf); }
    bool open(const QString& path)
    {
        prompts.files.enqueue(path);
        main()->OtworzPlikToolButtonClick();
        return main()->openDocumentPath() == path;
    }
    bool openRegister(const QByteArray& students, const QString& name = QStringLiteral("klasa.sqdoc"))
    {
        doc = env.root() + QLatin1Char('/') + name;
        writeRegister(doc, students);
        return start() && open(doc);
    }
};

// One desk of the end-to-end test: a program in a process and a home of its own, doing
// what its standard input says ("open <path>", "add <surname> <pesel>", "save") and
// answering each with the boxes it showed, then a line with a dot.
int runDesk(int argc, char** argv)
{
    QApplication app(argc, argv);
    Desk desk;
    Environment::overrideLoginName(QString::fromLocal8Bit(argv[2]));
    if (!desk.start())
        return 1;
    std::string line;
    while (std::getline(std::cin, line)) {
        QCoreApplication::processEvents();
        desk.prompts.clear();
        const QStringList words = QString::fromStdString(line).split(QLatin1Char(' '));
        if (words.first() == QLatin1String("open")) {
            desk.prompts.choices.enqueue(1); // open it even when the other desk has it
            desk.open(words.mid(1).join(QLatin1Char(' ')));
        } else if (words.first() == QLatin1String("add") && words.size() == 3) {
            QTimer::singleShot(0, [words] {
                QWidget* form = QApplication::activeModalWidget();
                form->findChild<QLineEdit*>(QStringLiteral("Nazwisko_DATA_EDIT"))->setText(words.at(1));
                form->findChild<QLineEdit*>(QStringLiteral("Imie_DATA_EDIT"))
                    ->setText(QStringLiteral("Anna"));
                form->findChild<QLineEdit*>(QStringLiteral("NrPesel_DATA_EDIT"))->setText(words.at(2));
                auto* sex = form->findChild<QComboBox*>(QStringLiteral("Plec_DATA_COMBOBOX"));
                sex->setCurrentIndex(sex->findText(QStringLiteral("kobieta")));
                form->findChild<QPushButton*>(QStringLiteral("OKButton"))->click();
            });
            desk.main()->DodajUczniaToolButtonClick();
        } else if (words.first() == QLatin1String("save")) {
            desk.main()->Zapisz1Click();
        }
        for (const QString& text : desk.prompts.texts())
            std::cout << text.simplified().toStdString() << '\n';
        std::cout << '.' << std::endl;
    }
    desk.main()->setCloseWithoutQuestions(true);
    desk.main()->close();
    return 0;
}

// The test's end of a desk process.
struct DeskProcess {
    QProcess process;
    DeskProcess(const QString& home, const QString& login)
    {
        QDir().mkpath(home + QStringLiteral("/tmp"));
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HOME"), home);
        env.insert(QStringLiteral("TMPDIR"), home + QStringLiteral("/tmp"));
        env.insert(QStringLiteral("XDG_DATA_HOME"), home + QStringLiteral("/.local/share"));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        process.setProcessEnvironment(env);
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.start(QCoreApplication::applicationFilePath(), {QStringLiteral("desk"), login});
    }
    // The boxes the command showed; "failed" when the desk did not answer.
    QStringList run(const QString& command)
    {
        process.write(command.toUtf8() + '\n');
        QStringList shown;
        for (;;) {
            while (!process.canReadLine())
                if (!process.waitForReadyRead(60000))
                    return {QStringLiteral("failed")};
            const QString line = QString::fromUtf8(process.readLine()).chopped(1);
            if (line == QLatin1String("."))
                return shown;
            shown << line;
        }
    }
    bool quit()
    {
        process.closeWriteChannel();
        return process.waitForFinished(60000) && process.exitCode() == 0;
    }
};

// Registers as "1=Nowak,2=Lis"; '!' before a surname: that table is damaged on disk;
// '$': its stored definition goes on with statements of its own. A question is asked
// as "B:" (changed on both sides), "D:" (deleted there, changed here) or "C:" (changed
// there, deleted here) and the student.
struct MergeCase {
    const char* name;
    const char* base;
    const char* theirs;
    const char* mine;
    MergeChoice answer; // to every question
    bool later;         // the file on disk is a later save than the base
    const char* asked;
    const char* merged; // "-": cancelled, nothing joined
    int added, changed, removed, keptMissing;
    const char* damaged;
};
constexpr MergeChoice kMine = MergeChoice::Mine;
constexpr MergeChoice kTheirs = MergeChoice::Theirs;
constexpr MergeChoice kCancel = MergeChoice::Cancel;
const MergeCase kMergeCases[] = {
    {"add/add", "1=A", "1=A,2=B", "1=A,3=C", kMine, true, "", "1=A,2=B,3=C", 1, 0, 0, 0, ""},
    {"add/delete", "1=A,2=B", "1=A,2=B,3=C", "1=A", kMine, true, "", "1=A,3=C", 1, 0, 0, 0, ""},
    {"delete/add", "1=A,2=B", "1=A", "1=A,2=B,3=C", kMine, true, "", "1=A,3=C", 0, 0, 1, 0, ""},
    {"missing from an earlier save", "1=A,2=B", "1=A", "1=A,2=B,3=C", kMine, false, "", "1=A,2=B,3=C", 0, 0,
     0, 1, ""},
    {"their change, bytes kept", "1=A,2=B", "1=A,2=\xb3", "1=A,2=B,3=C", kMine, true, "", "1=A,2=\xb3,3=C", 0,
     1, 0, 0, ""},
    {"their change past the first page", "1=A,2=+B", "1=A,2=+C", "1=A,2=+B", kMine, true, "", "1=A,2=+C", 0,
     1, 0, 0, ""},
    {"change/change, mine", "1=A", "1=T", "1=M", kMine, true, "B:M Anna", "1=M", 0, 0, 0, 0, ""},
    {"change/change, theirs", "1=A", "1=T", "1=M", kTheirs, true, "B:M Anna", "1=T", 0, 1, 0, 0, ""},
    {"change/change, cancel", "1=A", "1=T", "1=M", kCancel, true, "B:M Anna", "-", 0, 0, 0, 0, ""},
    {"deleted here, changed there: keep", "1=A", "1=T", "", kTheirs, true, "C:T Anna", "1=T", 1, 0, 0, 0, ""},
    {"deleted here, changed there: delete", "1=A", "1=T", "", kMine, true, "C:T Anna", "", 0, 0, 0, 0, ""},
    {"changed here, deleted there: keep", "1=A", "", "1=M", kMine, true, "D:M Anna", "1=M", 0, 0, 0, 0, ""},
    {"changed here, deleted there: delete", "1=A", "", "1=M", kTheirs, true, "D:M Anna", "", 0, 0, 1, 0, ""},
    {"changed here, deleted there: cancel", "1=A", "", "1=M", kCancel, true, "D:M Anna", "-", 0, 0, 0, 0, ""},
    {"same student added, equal", "", "2=B", "2=B", kCancel, true, "", "2=B", 0, 0, 0, 0, ""},
    {"same student added, different", "", "2=T", "2=M", kTheirs, true, "B:M Anna", "2=T", 0, 1, 0, 0, ""},
    {"damaged on disk", "1=A", "1=A,2=!T,3=C", "1=A,2=M", kTheirs, true, "", "1=A,2=M,3=C", 1, 0, 0, 0,
     "M Anna"},
    {"not a student table", "1=A", "1=A,_9=Z", "1=A", kTheirs, true, "", "1=A", 0, 0, 0, 0, "PESEL_9"},
    {"stored statements never run", "1=A", "1=A,2=$B", "1=A", kTheirs, true, "", "1=A,2=B", 1, 0, 0, 0, ""},
};

} // namespace

class TestSharedRegister : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void mergeStudentByStudent_data();
    void mergeStudentByStudent();
    void lockLifeCycle_data();
    void lockLifeCycle();
    void saveJoinsTheOtherUsersChanges();
    void saveWhenTheFileWentBad_data();
    void saveWhenTheFileWentBad();
    void twoDesksSaveInTurn();
};

void TestSharedRegister::mergeStudentByStudent_data()
{
    QTest::addColumn<int>("row");
    for (int i = 0; i < int(std::size(kMergeCases)); ++i)
        QTest::newRow(kMergeCases[i].name) << i;
}

void TestSharedRegister::mergeStudentByStudent()
{
    QFETCH(int, row);
    const MergeCase& c = kMergeCases[row];
    TestEnvironment env;
    const QString dir = env.root() + QLatin1Char('/');
    const QByteArray theirs = c.theirs;
    writeRegister(dir + QStringLiteral("base"), c.base);
    writeRegister(dir + QStringLiteral("theirs"), QByteArray(theirs).replace('!', "").replace('$', ""));
    if (theirs.contains('!'))
        damageTable(dir + QStringLiteral("theirs"), "PESEL2");
    const QString planted = dir + QStringLiteral("wstawiony");
    if (theirs.contains('$'))
        RawSql::exec(dir + QStringLiteral("theirs"),
                     "pragma writable_schema=1; update sqlite_master set sql = sql || '; attach ''" +
                         planted.toUtf8() + "'' as v; create table v.x(y)' where name='PESEL2';");
    writeRegister(dir + QStringLiteral("mine"), c.mine);
    QVERIFY(QFile::copy(dir + QStringLiteral("mine"), dir + QStringLiteral("merged")));
    QFile(dir + QStringLiteral("merged")).setPermissions(QFile::ReadOwner | QFile::WriteOwner);

    QStringList questions;
    RegisterMergePlan plan;
    MessageBuffer buf;
    RegisterMergeContext context;
    context.base = dir + QStringLiteral("base");
    context.theirs = dir + QStringLiteral("theirs");
    context.merged = dir + QStringLiteral("merged");
    context.theirsIsLater = c.later;
    context.decide = [&](MergeQuestion question, const QString& student) {
        questions << QString(QLatin1Char("BDC"[int(question)])) + QLatin1Char(':') + student;
        return c.answer;
    };
    const bool joined = bFunMergeRegisters(buf, context, plan);
    QCOMPARE(questions.join(QLatin1Char(',')), QString::fromLatin1(c.asked));
    if (qstrcmp(c.merged, "-") == 0) {
        QVERIFY(!joined && plan.cancelled);
        QCOMPARE(contents(dir + QStringLiteral("merged")), contents(dir + QStringLiteral("mine")));
        return;
    }
    QVERIFY2(joined, qPrintable(buf.text()));
    QCOMPARE(studentsOf(dir + QStringLiteral("merged")), QByteArray(c.merged));
    QVERIFY(!QFile::exists(planted));
    using Kind = StudentChange::Kind;
    QCOMPARE((QList<int>{plan.count(Kind::Added), plan.count(Kind::Changed), plan.count(Kind::Removed),
                         plan.count(Kind::KeptMissing)}),
             (QList<int>{c.added, c.changed, c.removed, c.keptMissing}));
    QCOMPARE(plan.students(Kind::Damaged).join(QLatin1Char(',')), QString::fromLatin1(c.damaged));
}

void TestSharedRegister::lockLifeCycle_data()
{
    QTest::addColumn<QByteArray>("lock"); // beside the register before it is opened; null: none
    QTest::addColumn<int>("answer");
    QTest::addColumn<QString>("asked");   // "unknown": held by an unknown user
    QTest::addColumn<QString>("outcome"); // ours, kept (theirs stays), read-only, cancelled, none
    const QByteArray foreign = "ewa\nEwa Nowak\nsekretariat-2\n4242\n2024-03-07T07:15:00Z\n";
    const QString byEwa = QStringLiteral("Rejestr „klasa.sqdoc” jest otwarty przez Ewa Nowak (ewa) na "
                                         "komputerze sekretariat-2 od 07.03.2024 08:15.");
    const struct {
        const char* name;
        QByteArray lock;
        int answer;
        QString asked;
        const char* outcome;
    } rows[] = {
        {"free", QByteArray(), -1, QString(), "ours"},
        {"killed program of this computer", "killed", -1, QString(), "ours"},
        {"another computer, cancel", foreign, 2, byEwa, "cancelled"},
        {"another computer, open anyway", foreign, 1, byEwa, "kept"},
        {"another computer, read-only", foreign, 0, byEwa, "read-only"},
        {"empty", QByteArray(""), 2, QStringLiteral("unknown"), "cancelled"},
        {"binary", QByteArray("\x00\xff\x13\x88\n\n\n\n", 8), 1, QStringLiteral("unknown"), "kept"},
        {"10 MB", QByteArray(10 << 20, 'x'), 0, QStringLiteral("unknown"), "read-only"},
        {"read-only folder", "read-only folder", -1, QString(), "none"},
        {"name too long for a lock", "long name", -1, QString(), "none"},
    };
    for (const auto& row : rows)
        QTest::newRow(row.name) << row.lock << row.answer << row.asked << QString::fromLatin1(row.outcome);
}

void TestSharedRegister::lockLifeCycle()
{
    QFETCH(QByteArray, lock);
    QFETCH(int, answer);
    QFETCH(QString, asked);
    QFETCH(QString, outcome);
    if (lock == "read-only folder" && geteuid() == 0)
        QSKIP("root writes into read-only folders");
    Desk p;
    QVERIFY(p.openRegister(QByteArray("1=A"), QStringLiteral("pierwszy.sqdoc")));
    const QString first = p.doc;
    QVERIFY(RegisterLock::inspect(first) == RegisterLock::State::Ours);
    QString shared = p.env.root() + QStringLiteral("/klasa.sqdoc");
    if (lock == "read-only folder")
        shared = p.env.root() + QStringLiteral("/zamknięty/klasa.sqdoc");
    if (lock == "long name")
        shared = p.env.root() + QLatin1Char('/') + QString(244, QLatin1Char('k')) + QStringLiteral(".sqdoc");
    QDir().mkpath(QFileInfo(shared).absolutePath());
    writeRegister(shared, QByteArray("2=B"));
    const QString lockFile = RegisterLock::lockPath(shared);
    if (lock == "killed") { // a program that held the register, killed with SIGKILL
        int ready[2];
        QVERIFY(pipe(ready) == 0);
        const pid_t child = fork();
        if (child == 0) {
            RegisterLock held;
            const char acquired = held.acquire(shared, QDateTime::currentDateTimeUtc()) == 0 ? 'y' : 'n';
            (void)!write(ready[1], &acquired, 1);
            if (acquired != 'y')
                _exit(1);
            for (;;)
                pause();
        }
        char acquired = 0;
        const bool answered = read(ready[0], &acquired, 1) == 1;
        kill(child, SIGKILL);
        waitpid(child, nullptr, 0);
        QVERIFY(answered && acquired == 'y');
        QVERIFY(RegisterLock::inspect(shared) == RegisterLock::State::Stale);
    } else if (lock == "read-only folder") {
        QVERIFY(chmod(QFileInfo(shared).absolutePath().toUtf8().constData(), 0555) == 0);
    } else if (!lock.isNull() && lock != "long name") {
        writeFile(lockFile, lock);
    }
    const QByteArray before = contents(lockFile);

    p.prompts.clear();
    if (answer >= 0)
        p.prompts.choices.enqueue(answer);
    p.open(shared);
    if (asked == QLatin1String("unknown"))
        asked = QStringLiteral("Rejestr „klasa.sqdoc” jest otwarty przez nieznanego użytkownika.");
    QCOMPARE(p.prompts.texts(), asked.isEmpty() ? QStringList() : QStringList{asked});
    if (!asked.isEmpty())
        QCOMPARE(p.prompts.shown.last().choices, kOpenButtons);
    QCOMPARE(p.main()->openDocumentPath(), outcome == QLatin1String("cancelled") ? first : shared);
    QCOMPARE(QFile::exists(RegisterLock::lockPath(first)), outcome == QLatin1String("cancelled"));
    RegisterLock::Owner owner;
    const RegisterLock::State state = RegisterLock::inspect(shared, &owner);
    if (outcome == QLatin1String("ours"))
        QVERIFY(state == RegisterLock::State::Ours && owner.login == QLatin1String("sekretariat") &&
                owner.fullName == QLatin1String("sekretariat") && owner.host == QSysInfo::machineHostName());
    else if (outcome == QLatin1String("none"))
        QVERIFY(state == RegisterLock::State::Free &&
                p.note().startsWith(QStringLiteral("Inni użytkownicy nie zobaczą, że rejestr jest otwarty")));
    else
        QCOMPARE(contents(lockFile), before);

    const bool readOnly = outcome == QLatin1String("read-only");
    QCOMPARE(p.main()->readOnly(), readOnly);
    QCOMPARE(p.main()->windowTitle().endsWith(QStringLiteral(" (tylko do odczytu)")), readOnly);
    QCOMPARE(p.note().startsWith(QStringLiteral("(tylko do odczytu)")), readOnly);
    auto* saveButton = p.main()->findChild<QToolButton*>(QStringLiteral("SaveButton"));
    QCOMPARE(saveButton->isEnabled(), !readOnly);
    QCOMPARE(p.main()->findChild<QAction*>(QStringLiteral("Zapisz1"))->isEnabled(), !readOnly);
    if (readOnly) {
        QVERIFY(saveButton->toolTip().contains(QStringLiteral("tylko do odczytu")));
        // Closing with changes and saving them asks for another file; the register stays.
        const QByteArray registerBytes = contents(shared);
        p.prompts.clear();
        p.main()->setUnsavedChanges(true);
        QVERIFY(!p.main()->bFunSaveCommand());
        QCOMPARE(p.prompts.shown.size(), 1);
        QVERIFY(p.prompts.shown[0].kind == ShownBox::Kind::SaveFile);
        QCOMPARE(contents(shared), registerBytes);
        p.main()->setUnsavedChanges(false);
    }

    // New: the register stops being open; only this program's lock goes with it.
    p.main()->NowyPlikToolButtonClick();
    QVERIFY(!QFile::exists(RegisterLock::lockPath(first)));
    QCOMPARE(contents(lockFile),
             outcome == QLatin1String("ours") || outcome == QLatin1String("none") ? QByteArray() : before);
    QVERIFY(!p.main()->readOnly());
    QCOMPARE(p.main()->windowTitle(), QStringLiteral("Drukowanie dokumentów, wersja: 1.0.0"));
    chmod(QFileInfo(shared).absolutePath().toUtf8().constData(), 0755);
}

void TestSharedRegister::saveJoinsTheOtherUsersChanges()
{
    Desk p;
    QVERIFY(p.openRegister(QByteArray("1=Adamska,2=Baran")));
    otherUserSaves(p.doc, QByteArray("1=Adamska,2=Baran,3=Cieslak"));
    QTRY_VERIFY(p.note().endsWith(QStringLiteral("zostaną dołączone przy następnym zapisie.")));
    writeRegister(p.env.root() + QStringLiteral("/moj"), QByteArray("1=Adamska,2=Baran,4=Dudek"));
    QVERIFY(QFile::remove(p.tmp()) && QFile::copy(p.env.root() + QStringLiteral("/moj"), p.tmp()));
    p.main()->vFunRefreshStudentList(); // as after every change of the working copy
    QVERIFY(p.main()->selectDocument(QStringLiteral("PESEL2"), TFGlowna::kTransferNotice));
    p.main()->setUnsavedChanges(true);

    p.prompts.clear();
    p.main()->Zapisz1Click();
    QCOMPARE(p.prompts.texts(), QStringList());
    QCOMPARE(studentsOf(p.doc), QByteArray("1=Adamska,2=Baran,3=Cieslak,4=Dudek"));
    QCOMPARE(studentsOf(p.tmp()), studentsOf(p.doc));
    QCOMPARE(p.note(),
             QStringLiteral(
                 "Dołączono zmiany innego użytkownika: dodani 1 (Cieslak Anna), zmienieni 0, usunięci 0."));
    QStringList listed;
    for (const StudentListEntry& student : p.main()->students())
        listed << student.displayName + QLatin1Char('/') + student.tableName;
    QCOMPARE(listed.join(QLatin1Char(',')),
             QStringLiteral("Adamska Anna/PESEL1,Baran Anna/PESEL2,Cieslak Anna/PESEL3,Dudek Anna/PESEL4"));
    QCOMPARE(p.main()->selectedStudentTable(), QStringLiteral("PESEL2"));
    QCOMPARE(p.main()->selectedDocumentCaption(), TFGlowna::kTransferNotice);
    QVERIFY(!p.main()->unsavedChanges());

    // Both change one student: Anuluj writes nothing, "Zachowaj moje" keeps this desk's.
    otherUserSaves(p.doc, QByteArray("1=Nowa,2=Baran,3=Cieslak,4=Dudek"));
    RawSql::exec(p.tmp(), "update PESEL1 set value='Moja' where comp_name='Nazwisko_DATA_EDIT'");
    p.main()->vFunRefreshStudentList();
    p.main()->setUnsavedChanges(true);
    const QByteArray theirs = contents(p.doc);
    p.prompts.clear();
    p.prompts.choices << 2;
    p.main()->Zapisz1Click();
    QCOMPARE(p.prompts.shown.size(), 1);
    QCOMPARE(p.prompts.shown[0].text, QStringLiteral("Dane ucznia Moja Anna zmienił także inny użytkownik."));
    QCOMPARE(p.prompts.shown[0].choices,
             (QStringList{QStringLiteral("Zachowaj &moje"), QStringLiteral("Zachowaj zapisane w &pliku"),
                          QStringLiteral("&Anuluj")}));
    QCOMPARE(contents(p.doc), theirs);
    QVERIFY(p.main()->unsavedChanges());
    p.prompts.choices << 0;
    p.main()->Zapisz1Click();
    QCOMPARE(studentsOf(p.doc), QByteArray("1=Moja,2=Baran,3=Cieslak,4=Dudek"));
    QCOMPARE(p.note(),
             QStringLiteral("Dołączono zmiany innego użytkownika: dodani 0, zmienieni 0, usunięci 0."));

    // A student changed and one deleted there: each named, each listed once or not at all.
    otherUserSaves(p.doc, QByteArray("1=Moja,2=Baranowska,3=Cieslak"));
    p.main()->setUnsavedChanges(true);
    p.prompts.clear();
    p.main()->Zapisz1Click();
    QCOMPARE(p.prompts.texts(), QStringList());
    QCOMPARE(p.note(),
             QStringLiteral("Dołączono zmiany innego użytkownika: dodani 0, zmienieni 1 (Baranowska "
                            "Anna), usunięci 1 (Dudek Anna)."));
    listed.clear();
    for (const StudentListEntry& student : p.main()->students())
        listed << student.displayName;
    QCOMPARE(listed.join(QLatin1Char(',')), QStringLiteral("Baranowska Anna,Cieslak Anna,Moja Anna"));
    QCOMPARE(p.main()->treeView()->topLevelItemCount(), 3);
}

void TestSharedRegister::saveWhenTheFileWentBad_data()
{
    QTest::addColumn<QString>("change");   // what happened to the register while it was open
    QTest::addColumn<QString>("message");  // the start of the one message; empty: none
    QTest::addColumn<QByteArray>("saved"); // the register afterwards; empty: as it was
    QTest::addColumn<bool>("saveAs");      // Save as offered, writing the working copy
    const struct {
        const char* change;
        const char* message;
        const char* saved;
        bool saveAs;
    } rows[] = {
        {"deleted", "", "", true},
        {"not a register", "Plik\n%1\nnie jest już plikiem rejestru", "", true},
        {"disk full", "Nie udało się dołączyć zmian innego użytkownika.\n\nKod błędu: 27\nPlik przekroczył",
         "", false},
        {"damaged student", "W pliku rejestru\n%1\nnie dało się odczytać danych uczniów:\nB Anna\n",
         "1=A,2=B,3=C,5=E", false},
    };
    for (const auto& row : rows)
        QTest::newRow(row.change) << QString::fromLatin1(row.change) << QString::fromUtf8(row.message)
                                  << QByteArray(row.saved) << row.saveAs;
}

void TestSharedRegister::saveWhenTheFileWentBad()
{
    QFETCH(QString, change);
    QFETCH(QString, message);
    QFETCH(QByteArray, saved);
    QFETCH(bool, saveAs);
    Desk p;
    QVERIFY(p.openRegister(QByteArray("1=A,2=B")));
    RawSql::exec(p.tmp(), "create table PESEL3( id TEXT, comp_name TEXT, value TEXT );"
                          "insert into PESEL3 values('DANE UCZNIA', 'Nazwisko_DATA_EDIT', 'C');");
    p.main()->setUnsavedChanges(true);
    if (change == QLatin1String("deleted"))
        QVERIFY(QFile::remove(p.doc));
    if (change == QLatin1String("not a register"))
        writeFile(p.doc, "To nie jest rejestr.\n");
    if (change == QLatin1String("disk full"))
        otherUserSaves(p.doc, QByteArray("1=A,2=B,5=E"));
    if (change == QLatin1String("damaged student")) {
        otherUserSaves(p.doc, QByteArray("1=A,2=T,5=E"));
        damageTable(p.doc, "PESEL2");
    }
    if (change == QLatin1String("deleted"))
        QTRY_VERIFY(p.note().startsWith(QStringLiteral("Plik rejestru usunięto albo przeniesiono")));
    const QByteArray before = contents(p.doc);
    const QString copy = p.env.root() + QStringLiteral("/kopia.sqdoc");
    p.prompts.clear();
    p.prompts.files << copy;
    {
        std::unique_ptr<FileSizeLimit> diskFull;
        if (change == QLatin1String("disk full"))
            diskFull = std::make_unique<FileSizeLimit>(8192);
        p.main()->Zapisz1Click();
    }
    QCOMPARE(p.prompts.texts().size(), message.isEmpty() ? 0 : 1);
    if (!message.isEmpty())
        QVERIFY2(
            p.prompts.texts().constFirst().startsWith(QString(message).replace(QStringLiteral("%1"), p.doc)),
            qPrintable(p.prompts.texts().constFirst()));
    QCOMPARE(p.prompts.shown.last().kind == ShownBox::Kind::SaveFile, saveAs);
    QCOMPARE(saveAs ? studentsOf(copy) : QByteArray(), saveAs ? QByteArray("1=A,2=B,3=C") : QByteArray());
    if (saved.isEmpty())
        QCOMPARE(contents(p.doc), before);
    else
        QCOMPARE(studentsOf(p.doc), saved);
    // The user's work is kept whatever happened to the file.
    QCOMPARE(studentsOf(p.tmp()), saved.isEmpty() ? QByteArray("1=A,2=B,3=C") : saved);
    QCOMPARE(p.main()->unsavedChanges(), change == QLatin1String("disk full"));
}

void TestSharedRegister::twoDesksSaveInTurn()
{
    TestEnvironment env;
    const QString doc = env.root() + QStringLiteral("/klasa.sqdoc");
    writeRegister(doc, QByteArray());
    DeskProcess a(env.root() + QStringLiteral("/ewa"), QStringLiteral("ewa"));
    DeskProcess b(env.root() + QStringLiteral("/jan"), QStringLiteral("jan"));
    QCOMPARE(a.run(QStringLiteral("open ") + doc), QStringList());
    const QStringList asked = b.run(QStringLiteral("open ") + doc);
    QCOMPARE(asked.size(), 1);
    QVERIFY2(asked[0].startsWith(
                 QStringLiteral("Rejestr „klasa.sqdoc” jest otwarty przez ewa (ewa) na komputerze ") +
                 QSysInfo::machineHostName() + QStringLiteral(" od ")),
             qPrintable(asked[0]));
    for (auto [desk, surname, pesel] :
         {std::tuple{&a, "Adamska", "08100605525"}, std::tuple{&b, "Baran", "08231401249"},
          std::tuple{&a, "Cieslak", "08270104628"}}) {
        QCOMPARE(desk->run(QStringLiteral("add %1 %2").arg(QLatin1String(surname), QLatin1String(pesel))),
                 QStringList());
        QCOMPARE(desk->run(QStringLiteral("save")), QStringList());
    }
    QCOMPARE(studentsOf(doc), QByteArray("08100605525=Adamska,08231401249=Baran,08270104628=Cieslak"));
    QVERIFY(a.quit() && b.quit());
    QVERIFY(!QFile::exists(RegisterLock::lockPath(doc)));
}

int main(int argc, char** argv)
{
    // Lock times are shown in local time; the expected texts are Polish office hours.
    qputenv("TZ", "Europe/Warsaw");
    if (argc > 2 && qstrcmp(argv[1], "desk") == 0)
        return runDesk(argc, argv);
    QApplication app(argc, argv);
    TestSharedRegister test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_shared_register.moc"

#include "app/Program.h"

#include "app/ProgramIcon.h"
#include "app/TFBackupFiles.h"
#include "app/TFGlowna.h"
#include "app/TFOProgramie.h"
#include "app/TFWait.h"
#include "documents/TFDaneSzkoly.h"
#include "documents/TFDaneUcznia.h"
#include "documents/TFPotwierdzeniePrzyjUcznia.h"
#include "documents/TFZawiadomieniePrzek.h"
#include "platform/FileOps.h"
#include "platform/SingleInstance.h"
#include "printing/TFDrukuj.h"
#include "printing/TFKalibracja.h"
#include "prompts/PolishToolkit.h"
#include "prompts/Prompts.h"
#include "services/TFAktualizacja.h"
#include "services/TFLogi.h"
#include "storage/SqlText.h"

#include <QApplication>
#include <QNetworkProxyFactory>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>
#include <QTranslator>
#include <QWindow>

#include <exception>
#include <functional>
#include <utility>

namespace {

// Reports an exception that escaped a command and lets the event loop go on.
class GuardedApplication : public QApplication
{
public:
    using QApplication::QApplication;
    bool notify(QObject* receiver, QEvent* event) override
    {
        try {
            return QApplication::notify(receiver, event);
        } catch (const StorageTextError& e) {
            Prompts::instance().error(nullptr, e.message());
        } catch (const CppSQLite3Exception& e) {
            // The reason in the user's words; the layer's code goes to the log.
            MessageBuffer buf;
            buf << "Błąd bazy danych.\n\nPrzyczyna: " << SqlText::reason(e.code()) << ".";
            SqlText::logWithCode(buf, e.code(), QStringLiteral("notify()"));
            Prompts::instance().error(nullptr, buf.text());
        } catch (const std::exception& e) {
            Prompts::instance().error(nullptr, QString::fromLocal8Bit(e.what()));
        } catch (...) {
            Prompts::instance().error(nullptr, QStringLiteral("Nieznany błąd programu."));
        }
        return false;
    }
};

// The command line as the process received it, program name first, each argument
// as given; arguments with blanks are joined back with single blanks.
QString commandLineOf(const QStringList& arguments)
{
    QStringList parts = arguments;
    if (!parts.isEmpty() && parts.first().contains(QLatin1Char(' ')))
        parts.first() = QLatin1Char('"') + parts.first() + QLatin1Char('"');
    return parts.join(QLatin1Char(' '));
}

// Runs an action once the window's first picture is on screen: the picture is painted
// while its first exposure is handled, and the action follows it. A window that is never
// exposed (started minimised) gets it after a second.
class AfterFirstPicture : public QObject
{
public:
    AfterFirstPicture(QWidget* window, std::function<void()> action)
        : QObject(window), m_action(std::move(action))
    {
        if (QWindow* handle = window->windowHandle())
            handle->installEventFilter(this);
        QTimer::singleShot(1000, this, &AfterFirstPicture::run);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Expose && static_cast<QWindow*>(watched)->isExposed())
            QTimer::singleShot(0, this, &AfterFirstPicture::run);
        return false;
    }

private:
    void run()
    {
        if (const auto action = std::exchange(m_action, nullptr))
            action();
        deleteLater();
    }

    std::function<void()> m_action;
};

} // namespace

ProgramWindows::ProgramWindows() = default;
ProgramWindows::~ProgramWindows() = default;

QString strFunCommandLineTail(const QString& commandLine)
{
    qsizetype i = 0;
    const qsizetype n = commandLine.size();
    auto blank = [&](qsizetype k) {
        return commandLine.at(k) == QLatin1Char(' ') || commandLine.at(k) == QLatin1Char('\t');
    };
    while (i < n && blank(i))
        ++i;
    if (i < n && commandLine.at(i) == QLatin1Char('"')) {
        ++i;
        while (i < n && commandLine.at(i) != QLatin1Char('"'))
            ++i;
        if (i < n)
            ++i; // the closing quote
    } else {
        while (i < n && !blank(i))
            ++i;
    }
    while (i < n && blank(i))
        ++i;
    return commandLine.mid(i);
}

bool bFunLoadQtTranslations()
{
    return bFunUsePolishToolkit();
}

bool bFunStartProgram(ProgramWindows& w, const QString& tail)
{
    w.glowna = std::make_unique<TFGlowna>();
    TFGlowna* main = w.glowna.get();
    // The toolkit's button that shows the tool bar's hidden buttons has no name of its own.
    for (QWidget* more : main->findChildren<QWidget*>(QStringLiteral("qt_toolbar_ext_button")))
        more->setAccessibleName(QStringLiteral("Więcej przycisków paska narzędzi"));
    w.daneUcznia = WindowSlot<TFDaneUcznia>([main] { return new TFDaneUcznia(main); });
    w.kalibracja = WindowSlot<TFKalibracja>([main] { return new TFKalibracja(main->messageBuffer(), main); });
    w.daneSzkoly = WindowSlot<TFDaneSzkoly>([main] { return new TFDaneSzkoly(main); });
    w.drukuj = WindowSlot<TFDrukuj>([main] { return new TFDrukuj(main->messageBuffer(), main); });
    w.wait = WindowSlot<TFWait>([main] { return new TFWait(main); });
    w.oProgramie = WindowSlot<TFOProgramie>([main] { return new TFOProgramie(main); });
    w.logi = WindowSlot<TFLogi>([main] { return new TFLogi(main); });
    w.aktualizacja = WindowSlot<TFAktualizacja>([main] { return new TFAktualizacja(main); });
    w.potwierdzenie = WindowSlot<TFPotwierdzeniePrzyjUcznia>(
        [main, student = w.daneUcznia] { return new TFPotwierdzeniePrzyjUcznia(student, main); });
    w.backupFiles = WindowSlot<TFBackupFiles>([main] { return new TFBackupFiles(main); });
    w.zawiadomienie = WindowSlot<TFZawiadomieniePrzek>(
        [main, student = w.daneUcznia] { return new TFZawiadomieniePrzek(student, main); });
    TFGlowna::Windows windows;
    windows.daneUcznia = w.daneUcznia;
    windows.daneSzkoly = w.daneSzkoly;
    windows.drukuj = w.drukuj;
    windows.backupFiles = w.backupFiles;
    windows.kalibracja = w.kalibracja;
    windows.wait = w.wait;
    windows.oProgramie = w.oProgramie;
    windows.logi = w.logi;
    windows.aktualizacja = w.aktualizacja;
    windows.potwierdzenie = w.potwierdzenie;
    windows.zawiadomienie = w.zawiadomienie;
    w.glowna->setWindows(windows);

    if (!w.glowna->FormCreate())
        return false;
    if (tail.size() > 5) {
        if (FileOps::exists(tail) && w.glowna->bFunWczytajPlikSwiadectw(tail))
            w.glowna->setOpenDocumentPath(w.glowna->readablePartOpened() ? QString() : tail);
        else
            w.glowna->setOpenDocumentPath(QString());
    }
    return true;
}

int iFunRunProgram(int argc, char** argv)
{
    GuardedApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Melvok - Liceum"));
    // Lets the desktop match the running window to its menu entry and icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("melvok-dokumenty"));
    QApplication::setWindowIcon(programIcon());
    // Without the file the toolkit's own buttons and menus stay in English; months,
    // sizes and file types are Polish whatever the system's language.
    bFunLoadQtTranslations();

    SingleInstance instance(QStringLiteral("MELVOK-DOKUMENTY"));
    if (instance.acquire() == SingleInstance::State::AlreadyRunning) {
        Prompts::instance().message(nullptr, QStringLiteral("Ten program jest już uruchomiony."),
                                    QStringLiteral("Kopia"), Prompts::Icon::Error, Prompts::Buttons::Ok);
        return 0;
    }

    ProgramWindows windows;
    if (!bFunStartProgram(windows, strFunCommandLineTail(commandLineOf(QApplication::arguments()))))
        return 0;
    // Without a window manager (a bare X server) maximising does nothing; the window
    // then still fills the screen.
    if (const QScreen* screen = QApplication::primaryScreen())
        windows.glowna->setGeometry(screen->availableGeometry());
    windows.glowna->showMaximized();
    // The silent update check belongs to the running program only: tests that start
    // the main window never reach the network. It starts once the window is on screen,
    // as loading the network's TLS library would hold up its first picture.
    TFGlowna* main = windows.glowna.get();
    new AfterFirstPicture(main, [main] {
        QNetworkProxyFactory::setUseSystemConfiguration(true);
        main->vFunCheckForUpdate(true);
    });
    QApplication::exec();
    return 0;
}

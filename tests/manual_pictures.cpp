// Makes the pictures of the user's manual from the program's own windows, in folders of
// its own: `manual_pictures <folder>` writes one PNG per window shown in the manual. Run
// it on the offscreen platform (or under Xvfb) and copy the pictures to data/manual.
#include "app/Program.h"
#include "app/TFGlowna.h"
#include "documents/TFDaneSzkoly.h"
#include "documents/TFDaneUcznia.h"
#include "documents/TFImportUczniow.h"
#include "documents/TFZawiadomieniePrzek.h"
#include "printing/TFDrukuj.h"
#include "services/TFAktualizacja.h"
#include "tests/support/ScriptedPrompts.h"
#include "tests/support/TestEnvironment.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include <cstdio>
#include <functional>

namespace {

struct Pupil {
    const char* surname;
    const char* firstName;
    const char* pesel;
    const char* sex;
};

constexpr Pupil Pupils[] = {
    {"Nowak", "Anna", "08222804385", "kobieta"},
    {"Kowalski", "Jan", "08310101257", "mężczyzna"},
    {"Żółkiewska", "Zofia", "08240501743", "kobieta"},
    {"Nowak", "Anna", "08251300984", "kobieta"},
};

QString text(const char* utf8)
{
    return QString::fromUtf8(utf8);
}

// Waits for the window to be painted, then writes it.
bool save(QWidget* window, const QString& path)
{
    window->show();
    for (int i = 0; i < 20; ++i)
        QApplication::processEvents();
    const bool saved = window->grab().save(path);
    std::fprintf(stderr, "%s %s\n", saved ? "wrote" : "could not write", qPrintable(path));
    return saved;
}

// Runs `open`, which shows a modal window, and writes that window before it is closed.
bool saveModal(const std::function<void()>& open, const QString& path)
{
    bool saved = false;
    QTimer::singleShot(200, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        saved = modal && save(modal, path);
        if (auto* dialog = qobject_cast<QDialog*>(modal))
            dialog->reject();
    });
    open();
    return saved;
}

void addPupil(TFGlowna* main, const Pupil& pupil)
{
    QTimer::singleShot(0, [pupil] {
        QWidget* form = QApplication::activeModalWidget();
        if (!form)
            return;
        form->findChild<QLineEdit*>(QStringLiteral("Nazwisko_DATA_EDIT"))->setText(text(pupil.surname));
        form->findChild<QLineEdit*>(QStringLiteral("Imie_DATA_EDIT"))->setText(text(pupil.firstName));
        form->findChild<QLineEdit*>(QStringLiteral("NrPesel_DATA_EDIT"))->setText(text(pupil.pesel));
        auto* sex = form->findChild<QComboBox*>(QStringLiteral("Plec_DATA_COMBOBOX"));
        sex->setCurrentIndex(sex->findText(text(pupil.sex)));
        form->findChild<QPushButton*>(QStringLiteral("OKButton"))->click();
        if (auto* dialog = qobject_cast<QDialog*>(form); dialog && dialog->isVisible())
            dialog->reject();
    });
    main->DodajUczniaToolButtonClick();
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: manual_pictures <folder>\n");
        return 2;
    }
    const QString out = QDir(QString::fromLocal8Bit(argv[1])).absolutePath();
    if (!QDir().mkpath(out)) {
        std::fprintf(stderr, "cannot make the folder %s\n", qPrintable(out));
        return 1;
    }
    bFunLoadQtTranslations();
    TestEnvironment env;
    ScriptedPrompts prompts; // every question answered "Nie", nothing asked of the desktop
    ProgramWindows w;
    if (!bFunStartProgram(w, QString()))
        return 1;
    TFGlowna* main = w.glowna.get();
    main->resize(1100, 760);
    main->show();
    for (const Pupil& pupil : Pupils)
        addPupil(main, pupil);
    const QString table = QStringLiteral("PESEL") + text(Pupils[0].pesel);
    main->selectDocument(table, TFGlowna::kTransferNotice);
    main->setCloseWithoutQuestions(true);

    bool all = save(main, out + QStringLiteral("/okno_glowne.png"));
    all &=
        saveModal([&] { main->EdytujDaneUczniaToolButtonClick(); }, out + QStringLiteral("/dane_ucznia.png"));
    all &= saveModal([&] { main->EdytujSwiadectwoToolButtonClick(); },
                     out + QStringLiteral("/zawiadomienie.png"));
    all &= saveModal([&] { main->Szablondanychszkoy1Click(); }, out + QStringLiteral("/szablon.png"));
    all &= saveModal([&] { main->DrukujToolButtonClick(); }, out + QStringLiteral("/drukowanie.png"));
    all &= saveModal([&] { main->Formatowaniewiadectwapodstawowe1Click(); },
                     out + QStringLiteral("/kalibracja.png"));

    // The update window after a failed download: the cause in "Status", "Zamknij" at hand.
    RawSql::exec(env.dataFile(QStringLiteral("ustawienia.sqset")),
                 "delete from settings where name='update_address';"
                 "insert into settings( name, text_value ) values( 'update_address', "
                 "'http://127.0.0.1:9/melvok/' )");
    TFAktualizacja* update = w.aktualizacja.get();
    update->setVersions({1, 0, 0}, {1, 0, 1});
    update->show();
    auto* status = update->findChild<QLineEdit*>(QStringLiteral("editStatus"));
    QElapsedTimer waited;
    waited.start();
    while (status->text().isEmpty() && waited.elapsed() < 5000)
        QApplication::processEvents(QEventLoop::AllEvents, 50);
    all &= save(update, out + QStringLiteral("/aktualizacja.png"));
    update->hide();

    TFImportUczniow import(main);
    import.resize(1000, 520);
    const QByteArray list = "Nazwisko;Imię;PESEL;Data urodzenia\n"
                            "Wiśniewska;Maria;08281200645;12.08.2008\n"
                            "Kowalski;Jan;08310101257;01.11.2008\n"
                            "Lewandowski;Piotr;0821;\n";
    QSet<QString> tables;
    for (const StudentListEntry& student : main->students())
        tables.insert(student.tableName);
    all &= import.setFile(QStringLiteral("klasa_1a.csv"), list, tables) &&
           save(&import, out + QStringLiteral("/import.png"));
    return all ? 0 : 1;
}

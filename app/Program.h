// The program's entry: one copy at a time, the main window and its start-up, the
// document named on the command line.
#pragma once

#include "app/WindowSlot.h"

#include <QString>

#include <memory>

class TFBackupFiles;
class TFGlowna;
class TFDaneSzkoly;
class TFDaneUcznia;
class TFKalibracja;
class TFWait;
class TFOProgramie;
class TFDrukuj;
class TFLogi;
class TFAktualizacja;
class TFPotwierdzeniePrzyjUcznia;
class TFZawiadomieniePrzek;

// The windows of the program. The main window is built at start; every other one the
// first time it is used, and kept from then on. The main window owns the others (they
// are its children), so they live exactly as long as it does.
struct ProgramWindows {
    ProgramWindows();
    ~ProgramWindows();
    std::unique_ptr<TFGlowna> glowna;
    WindowSlot<TFDaneUcznia> daneUcznia;
    WindowSlot<TFKalibracja> kalibracja;
    WindowSlot<TFDaneSzkoly> daneSzkoly;
    WindowSlot<TFDrukuj> drukuj;
    WindowSlot<TFWait> wait;
    WindowSlot<TFOProgramie> oProgramie;
    WindowSlot<TFLogi> logi;
    WindowSlot<TFAktualizacja> aktualizacja;
    WindowSlot<TFPotwierdzeniePrzyjUcznia> potwierdzenie;
    WindowSlot<TFBackupFiles> backupFiles;
    WindowSlot<TFZawiadomieniePrzek> zawiadomienie;
};

// The command-line tail as one path: the part after the program name.
QString strFunCommandLineTail(const QString& commandLine);

// Installs the toolkit's own Polish texts (file dialogs, input boxes, the context
// menu of text fields) from Qt's qtbase_pl.qm. False when the file cannot be loaded.
bool bFunLoadQtTranslations();

// Creates the windows, runs the start-up routine and opens the document of the
// command-line tail. False when the start-up ended the program.
bool bFunStartProgram(ProgramWindows& windows, const QString& commandLineTail);

// The whole program; returns the exit code.
int iFunRunProgram(int argc, char** argv);

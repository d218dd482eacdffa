// A program of the test's own for the tests that drive the main window: its folders,
// boxes answered from a script, and its windows, closed without questions after each test.
#pragma once

#include "app/Program.h"
#include "app/TFGlowna.h"
#include "tests/support/ScriptedPrompts.h"
#include "tests/support/TestEnvironment.h"

#include <QFile>

#include <memory>

class ProgramFixture
{
protected:
    std::unique_ptr<TestEnvironment> env;
    std::unique_ptr<ScriptedPrompts> prompts;
    std::unique_ptr<ProgramWindows> w;

    TFGlowna* main() { return w->glowna.get(); }
    // Fresh folders and boxes, before the program starts.
    void prepare()
    {
        env = std::make_unique<TestEnvironment>();
        prompts = std::make_unique<ScriptedPrompts>();
    }
    // Both documents calibrated with no objects: every preview is a blank page.
    void blankCalibration()
    {
        const QString calibration = env->dataFile(QStringLiteral("dokumenty_kalibracja.sqset"));
        if (!QFile::exists(calibration))
            RawSql::exec(calibration, RawSql::createCalibrationTable("zawiadomienie_o_przekazaniu") +
                                          RawSql::createCalibrationTable("potwierdzenie_przyjecia_ucznia"));
    }
    // The start-up with the command line's tail; false when it ended the program.
    bool startProgram(const QString& tail = QString())
    {
        w = std::make_unique<ProgramWindows>();
        return bFunStartProgram(*w, tail);
    }
    void closeProgram()
    {
        if (w && w->glowna)
            w->glowna->setCloseWithoutQuestions(true);
        w.reset();
        prompts.reset();
        env.reset();
    }
};

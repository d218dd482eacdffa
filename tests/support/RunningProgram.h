// A test's own running program: temporary program and data folders, scripted boxes and
// every window, started the way the program starts. Closing it asks no questions.
#pragma once

#include "app/Program.h"
#include "app/TFGlowna.h"
#include "tests/support/ScriptedPrompts.h"
#include "tests/support/TestEnvironment.h"

struct RunningProgram {
    TestEnvironment env;
    ScriptedPrompts prompts;
    ProgramWindows w;

    bool start(const QString& tail = QString()) { return bFunStartProgram(w, tail); }
    ~RunningProgram()
    {
        if (w.glowna)
            w.glowna->setCloseWithoutQuestions(true);
    }
};

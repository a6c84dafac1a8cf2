// The setup's command line, read once at start-up into the shared run state.
// Without switches the setup is the interactive program it always was; the
// switches serve unattended deployment, as NSIS's and Inno Setup's do:
//
//   /S          install without any window
//   /D=folder   the folder: the last switch, the rest of the line, spaces
//               allowed, no quotes needed
//   /DISCARD    over an earlier installation, do not keep its user data
//   /RUN        start the client once the installation is done
//   /LOG=file   the run's record goes to file (else %TEMP%\OrvexSetup.log)
//
// Switches begin with "/" and are read in any letter case; a value may be
// quoted ("/LOG=C:\My Logs\setup.log" or /LOG="C:\My Logs\setup.log").
#pragma once
#include "framework/String.h"

struct SfxCommandLine {
    bool silent = false;
    bool discard = false;
    bool run = false;
    bool hasFolder = false;
    CString folder;
    bool hasLog = false;
    CString logPath;
    // Empty when the line is understood; else what is wrong with it, in one
    // line naming the switch, and the argument itself.
    CString error;
    CString badArgument;
};

// What a setup run without a window tells the program that started it.
enum SfxExitCode {
    SFX_EXIT_INSTALLED = 0,
    SFX_EXIT_USAGE = 1,           // a switch not understood
    SFX_EXIT_DAMAGED = 2,         // the setup is damaged or holds no archive; nothing written
    SFX_EXIT_NOT_STARTED = 3,     // a check before the first write failed; nothing written
    SFX_EXIT_UNDONE = 4,          // a failure after writing began; the earlier installation put back
};
// The exit code for the engine's result; written: whether the run had
// begun to write (CSfxArchive::HasWritten).
int SfxExitCodeFor(int engineResult, bool written);

// Reads the arguments that follow the program's own name (the program's
// text, code page 936 with escapes). Every switch is read even after an
// error, so that /S still keeps a wrong line from showing a window.
SfxCommandLine SfxParseCommandLine(const CString& arguments);

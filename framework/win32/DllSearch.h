// Where the shipped executables take their DLLs from: System32, never the
// folder the program was started from. A setup is run from Downloads, next
// to whatever else was downloaded, and a DLL there named like one Windows
// loads by bare name would otherwise run with the user's trust.
//
// The executables import only Windows' KnownDLLs, which the loader maps
// from System32 whatever lies beside the program (and their own
// dependencies with them); everything else is decided here. The entry
// points below run before the C runtime starts, so no program code,
// constructor included, loads a DLL before the search is narrowed.
#pragma once
#include <windows.h>

// Loads the DLL fileName ("comctl32.dll") from the System32 folder by its
// full path, its own dependencies resolved from there too. NULL when it is
// not there.
HMODULE SfxLoadSystemLibrary(const wchar_t* fileName);

// Narrows the DLL search of the whole process to System32 and loads from
// there, before anything can ask for them by bare name, the DLLs that
// Windows' own components load that way.
void SfxNarrowDllSearch();

// The executables' entry points (linked with -e): narrow the search, then
// start the C runtime, which calls WinMain or main.
extern "C" int SfxGuiEntry();
extern "C" int SfxConsoleEntry();

// The program entry of an application built on the framework: linked as an
// object file (a static library member would be dropped, as only the C
// runtime asks for WinMain).
#include <windows.h>

#include "WinApp.h"

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE, LPSTR, int nCmdShow) { return AfxWinMain(hInstance, nCmdShow); }

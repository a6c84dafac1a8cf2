// Basic Windows-style type names used by the portable code, so that the
// portable core reads like the Windows code without including windows.h.
#pragma once
#include <cstdint>

#ifdef _WIN32
#include <windows.h>
#else
typedef int BOOL;
typedef unsigned int UINT;
typedef int32_t LONG;
typedef uint32_t DWORD;
typedef unsigned char BYTE;
#ifndef TRUE
#define TRUE 1
#define FALSE 0
#endif
#ifndef MAX_PATH
#define MAX_PATH 260
#endif
#endif

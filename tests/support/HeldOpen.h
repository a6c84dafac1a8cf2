// Another program holding a file open, as a running client holds its own
// executable: on Windows a handle that shares nothing; on Linux the file
// run as a program (a copy of sleep), which the system then refuses to
// open for writing.
#pragma once
#include "framework/String.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/types.h>
#endif

class HeldOpen {
public:
    explicit HeldOpen(const CString& path);
    ~HeldOpen() { Release(); }
    HeldOpen(const HeldOpen&) = delete;
    HeldOpen& operator=(const HeldOpen&) = delete;
    void Release();

private:
#ifdef _WIN32
    HANDLE m_handle = INVALID_HANDLE_VALUE;
#else
    pid_t m_child = -1;
#endif
};

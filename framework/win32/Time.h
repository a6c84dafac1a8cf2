// CTime: a point in time to the second, formatted in local time.
//
// Differences from MFC: only what the installer needs (the current time and
// Format with strftime codes); the value is a time_t.
#pragma once
#include <ctime>

#include "framework/String.h"

class CTime {
public:
    explicit CTime(time_t t = 0) : m_time(t) {}
    static CTime GetCurrentTime() { return CTime(std::time(nullptr)); }
    time_t GetTime() const { return m_time; }
    // The local time formatted with strftime codes ("%m%d%H%M").
    CString Format(const char* pszFormat) const
    {
        char buf[128] = "";
        const struct tm* local = std::localtime(&m_time);
        if (local)
            std::strftime(buf, sizeof buf, pszFormat, local);
        return CString(buf);
    }

private:
    time_t m_time;
};

#include "SfxLog.h"

#include <cstdarg>
#include <cstdio>
#include <string>

#include "app/SfxAppState.h"
#include "framework/Mbcs.h"

bool CSfxLog::Open(const CString& path)
{
    Close();
    m_strPath = path;
    m_start = std::chrono::steady_clock::now();
    return m_file.Open(path, CFile::modeCreate | CFile::modeWrite | CFile::shareDenyWrite | CFile::modeNoInherit) != FALSE;
}

void CSfxLog::Write(const CString& line)
{
    if (!m_file.IsOpen())
        return;
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - m_start).count();
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%8.3f ", seconds);
    const std::string text = stamp + AfxUtf8FromText(line) + "\r\n";
    try {
        m_file.Write(text.data(), static_cast<UINT>(text.size()));
    } catch (const CFileException&) {
        // A full disk or a lost share: the record stops here, the run goes on.
        m_file.Abort();
    }
}

void CSfxLog::Close()
{
    try {
        m_file.Close();
    } catch (const CFileException&) {
        m_file.Abort();
    }
}

void SfxLog(const char* format, ...)
{
    CSfxAppState* app = AfxGetAppState();
    if (!app || !app->m_pLog || !app->m_pLog->IsOpen())
        return;
    CString line;
    va_list args;
    va_start(args, format);
    line.FormatV(format, args);
    va_end(args);
    app->m_pLog->Write(line);
}

// The host layer on Windows: wide names, the console's control handler.
#include <io.h>
#include <process.h>
#include <windows.h>

#include <atomic>
#include <csignal>

#include "Host.h"
#include "HostText.h"
#include "framework/WideText.h"

namespace fs = std::filesystem;

namespace sfxpack {
namespace host {

unsigned long ProcessId() { return static_cast<unsigned long>(_getpid()); }

bool IsTerminal(FILE* stream) { return _isatty(_fileno(stream)) != 0; }

bool Seek(FILE* stream, uint64_t position) { return _fseeki64(stream, static_cast<__int64>(position), SEEK_SET) == 0; }

int64_t Tell(FILE* stream) { return _ftelli64(stream); }

// "D": deleted when its last handle closes, which the system also does for
// a process that is ended.
FILE* OpenAnonymousFile(const fs::path& path) { return OpenHostFile(path, "w+bD"); }

void UseFromOneThread(FILE*) {}

namespace {

std::atomic<InterruptHandler> g_handler{nullptr};
std::atomic<bool> g_caught{false};

BOOL WINAPI OnConsoleControl(DWORD type)
{
    if (type != CTRL_C_EVENT && type != CTRL_BREAK_EVENT)
        return FALSE;
    const InterruptHandler handler = g_handler;
    if (!handler || g_caught.exchange(true))
        return FALSE;  // the second one: the default handler ends the process
    handler(SIGINT);
    return TRUE;
}

}  // namespace

void CatchInterrupts(InterruptHandler handler)
{
    g_caught = false;
    g_handler = handler;
    SetConsoleCtrlHandler(OnConsoleControl, TRUE);
}

void ReleaseInterrupts()
{
    SetConsoleCtrlHandler(OnConsoleControl, FALSE);
    g_handler = nullptr;
}

int InterruptExitCode(int signalNumber) { return 128 + (signalNumber > 0 ? signalNumber : SIGINT); }

}  // namespace host

namespace {

const unsigned kGbk = 936;

bool WideToCodePage(const std::wstring& wide, unsigned codePage, std::string* out)
{
    if (wide.empty()) {
        out->clear();
        return true;
    }
    BOOL usedDefault = FALSE;
    const DWORD flags = codePage == CP_UTF8 ? 0 : WC_NO_BEST_FIT_CHARS;
    BOOL* pUsed = codePage == CP_UTF8 ? nullptr : &usedDefault;
    const int n = WideCharToMultiByte(codePage, flags, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, pUsed);
    if (n <= 0 || usedDefault)
        return false;
    out->assign(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(codePage, flags, wide.data(), static_cast<int>(wide.size()), &(*out)[0], n, nullptr, pUsed);
    return !usedDefault;
}

std::wstring CodePageToWide(const std::string& text, unsigned codePage)
{
    if (text.empty())
        return std::wstring();
    const int n = MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (n <= 0)
        return std::wstring();
    std::wstring wide(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()), &wide[0], n);
    return wide;
}

}  // namespace

bool GbkFromHostName(const fs::path::string_type& name, std::string* gbk)
{
    return WideToCodePage(name, kGbk, gbk) && CodePageToWide(*gbk, kGbk) == name;
}

bool GbkFromUtf8(const std::string& utf8, std::string* gbk)
{
    const std::wstring wide = CodePageToWide(utf8, CP_UTF8);
    if (wide.empty() && !utf8.empty())
        return false;
    return GbkFromHostName(wide, gbk);
}

bool ConvertGbkToUtf8(const std::string& gbk, std::string* utf8)
{
    const std::wstring wide = CodePageToWide(gbk, kGbk);
    return (!wide.empty() || gbk.empty()) && WideToCodePage(wide, CP_UTF8, utf8);
}

fs::path HostPathBelow(const fs::path& folder, const std::string& gbkRelative)
{
    return folder / fs::path(CodePageToWide(gbkRelative, kGbk)).make_preferred();
}

// The engine's text holds any wide name whole (framework/WideText.h), so
// a setup or a folder under any name is reached, whatever the system's
// code page.
bool AnsiFromHost(const fs::path& host, CString* ansi)
{
    *ansi = AfxFromWide(host.wstring());
    return true;
}

EngineSetupPath::~EngineSetupPath() = default;

bool EngineSetupPath::Open(const fs::path& setup, std::string*) { return AnsiFromHost(setup, &m_ansi); }

std::string Printable(const fs::path& host)
{
    std::string utf8;
    WideToCodePage(host.wstring(), CP_UTF8, &utf8);
    return utf8;
}

FILE* OpenHostFile(const fs::path& host, const char* mode)
{
    const std::wstring wideMode(mode, mode + std::char_traits<char>::length(mode));
    return _wfopen(host.c_str(), wideMode.c_str());
}

}  // namespace sfxpack

// The host layer on Linux and other POSIX systems: UTF-8 names, signals.
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#if defined(__GLIBC__)
#include <stdio_ext.h>
#endif

#include "Host.h"
#include "HostText.h"
#include "framework/FileSystem.h"
#include "framework/HostPath.h"

namespace fs = std::filesystem;

namespace sfxpack {
namespace host {

unsigned long ProcessId() { return static_cast<unsigned long>(::getpid()); }

bool IsTerminal(FILE* stream) { return ::isatty(::fileno(stream)) != 0; }

bool Seek(FILE* stream, uint64_t position) { return ::fseeko(stream, static_cast<off_t>(position), SEEK_SET) == 0; }

int64_t Tell(FILE* stream) { return static_cast<int64_t>(::ftello(stream)); }

FILE* OpenAnonymousFile(const fs::path& path)
{
    FILE* stream = OpenHostFile(path, "w+b");
    std::error_code ec;
    if (stream)
        fs::remove(path, ec);
    return stream;
}

void UseFromOneThread(FILE* stream)
{
#if defined(__GLIBC__)
    __fsetlocking(stream, FSETLOCKING_BYCALLER);
#else
    (void)stream;
#endif
}

namespace {

const int kSignals[] = {SIGINT, SIGTERM, SIGHUP};
struct sigaction g_previous[3];

}  // namespace

void CatchInterrupts(InterruptHandler handler)
{
    struct sigaction action = {};
    action.sa_handler = handler;
    // The handler serves once; the next signal takes its default course.
    action.sa_flags = SA_RESETHAND;
    // And no other interrupt breaks into it.
    sigfillset(&action.sa_mask);
    for (int i = 0; i < 3; ++i) {
        sigaction(kSignals[i], &action, &g_previous[i]);
        if (g_previous[i].sa_handler == SIG_IGN)
            sigaction(kSignals[i], &g_previous[i], nullptr);
    }
}

void ReleaseInterrupts()
{
    for (int i = 0; i < 3; ++i)
        sigaction(kSignals[i], &g_previous[i], nullptr);
}

int InterruptExitCode(int signalNumber) { return 128 + (signalNumber > 0 ? signalNumber : SIGINT); }

}  // namespace host

bool GbkFromHostName(const fs::path::string_type& name, std::string* gbk)
{
    std::string back;
    return ConvertText("UTF-8", "CP936", name, gbk) && ConvertText("CP936", "UTF-8", *gbk, &back) && back == name;
}

bool GbkFromUtf8(const std::string& utf8, std::string* gbk) { return GbkFromHostName(utf8, gbk); }

bool ConvertGbkToUtf8(const std::string& gbk, std::string* utf8) { return ConvertText("CP936", "UTF-8", gbk, utf8); }

fs::path HostPathBelow(const fs::path& folder, const std::string& gbkRelative)
{
    // The engine's own spelling of the name, one component at a time.
    return folder / fs::path(HostPathFromAnsi(gbkRelative.c_str()));
}

bool AnsiFromHost(const fs::path& host, CString* ansi) { return AnsiFromHostPath(host.string(), ansi); }

EngineSetupPath::~EngineSetupPath()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

bool EngineSetupPath::Open(const fs::path& setup, std::string* error)
{
    // Opened here by the host's own name; the engine gets a name of this
    // open file, which no conversion can re-spell into another file's.
    m_fd = ::open(setup.c_str(), O_RDONLY | O_CLOEXEC);
    if (m_fd < 0) {
        *error = Printable(setup) + ": cannot open for reading: " + std::strerror(errno);
        return false;
    }
    const std::string byDescriptor = "/proc/self/fd/" + std::to_string(m_fd);
    if (::access(byDescriptor.c_str(), R_OK) == 0) {
        m_ansi = byDescriptor.c_str();
        return true;
    }
    // No /proc: the name itself, when it converts exactly.
    if (AnsiFromHost(setup, &m_ansi))
        return true;
    *error = Printable(setup) + ": the path cannot be named in the ANSI code page";
    return false;
}

std::string Printable(const fs::path& host) { return host.string(); }

FILE* OpenHostFile(const fs::path& host, const char* mode) { return std::fopen(host.c_str(), mode); }

}  // namespace sfxpack

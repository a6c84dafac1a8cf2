#include "Tool.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <system_error>

#include "Host.h"
#include "HostText.h"

namespace fs = std::filesystem;

namespace sfxpack {

namespace {

// Set by a signal handler or the console's control thread and read by every
// thread; a lock-free atomic is safe in both.
std::atomic<bool> g_interrupted{false};
std::atomic<int> g_signal{0};
static_assert(std::atomic<bool>::is_always_lock_free, "the interrupt flag is set from a signal handler");
static_assert(std::atomic<int>::is_always_lock_free, "the signal number is set from a signal handler");

void OnInterrupt(int signalNumber)
{
    g_signal = signalNumber;
    g_interrupted = true;
}

}  // namespace

InterruptGuard::InterruptGuard()
{
    g_interrupted = false;
    g_signal = 0;
    host::CatchInterrupts(OnInterrupt);
}

InterruptGuard::~InterruptGuard() { host::ReleaseInterrupts(); }

bool Interrupted() { return g_interrupted; }

int InterruptExitCode() { return InterruptExitCode(g_signal); }

int InterruptExitCode(int signalNumber) { return host::InterruptExitCode(signalNumber); }

bool StderrIsTerminal() { return host::IsTerminal(stderr); }

ProgressLine::ProgressLine(bool enabled) : m_enabled(enabled), m_start(std::chrono::steady_clock::now()) {}

void ProgressLine::Show(size_t entriesDone, size_t entriesTotal, uint64_t bytesDone, uint64_t bytesTotal)
{
    if (!m_enabled)
        return;
    // A few redraws a second are enough for the eye.
    const double elapsed = Seconds();
    if (m_shown && elapsed - m_lastDrawn < 0.1 && entriesDone != entriesTotal)
        return;
    if (m_shown && entriesDone == m_lastDone && elapsed - m_lastDrawn < 1.0)
        return;
    m_lastDrawn = elapsed;
    m_lastDone = entriesDone;
    char eta[32] = "--:--";
    if (bytesDone > 0 && bytesDone < bytesTotal && elapsed > 0.5) {
        const double left = elapsed * static_cast<double>(bytesTotal - bytesDone) / static_cast<double>(bytesDone);
        const unsigned long s = static_cast<unsigned long>(left + 0.5);
        std::snprintf(eta, sizeof eta, "%lu:%02lu", s / 60, s % 60);
    }
    const int width = 24;
    const int filled = bytesTotal ? static_cast<int>(width * static_cast<double>(bytesDone) / static_cast<double>(bytesTotal)) : width;
    std::string bar(static_cast<size_t>(filled), '#');
    bar.resize(width, '.');
    std::fprintf(stderr, "\r[%s] %zu/%zu entries  %s / %s  ETA %s   ", bar.c_str(), entriesDone, entriesTotal,
                 FormatBytes(bytesDone).c_str(), FormatBytes(bytesTotal).c_str(), eta);
    std::fflush(stderr);
    m_shown = true;
}

void ProgressLine::Clear()
{
    if (m_shown) {
        std::fprintf(stderr, "\r%78s\r", "");
        std::fflush(stderr);
        m_shown = false;
    }
}

double ProgressLine::Seconds() const
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - m_start).count();
}

void Error(const std::string& message) { std::fprintf(stderr, "sfxpack: %s\n", message.c_str()); }

void Warning(const std::string& message) { std::fprintf(stderr, "sfxpack: warning: %s\n", message.c_str()); }

bool Args::Has(const std::string& name) const
{
    for (const auto& o : options)
        if (o.first == name)
            return true;
    return false;
}

std::string Args::Value(const std::string& name) const
{
    for (const auto& o : options)
        if (o.first == name)
            return o.second;
    return std::string();
}

bool ParseArgs(const std::vector<std::string>& argv, const std::vector<std::string>& flags,
               const std::vector<std::string>& withValue, Args* args)
{
    const auto contains = [](const std::vector<std::string>& list, const std::string& s) {
        for (const auto& x : list)
            if (x == s)
                return true;
        return false;
    };
    for (size_t i = 0; i < argv.size(); ++i) {
        const std::string& a = argv[i];
        if (a.size() > 1 && a[0] == '-' && a != "-") {
            std::string name = a;
            std::string value;
            const size_t eq = a.find('=');
            const bool inlineValue = a.rfind("--", 0) == 0 && eq != std::string::npos;
            if (inlineValue) {
                name = a.substr(0, eq);
                value = a.substr(eq + 1);
            }
            if (contains(flags, name) && !inlineValue) {
                args->options.push_back({name, ""});
            } else if (contains(withValue, name)) {
                if (!inlineValue) {
                    if (i + 1 >= argv.size()) {
                        Error("option " + name + " needs a value");
                        return false;
                    }
                    value = argv[++i];
                }
                args->options.push_back({name, value});
            } else {
                Error("unknown option " + a);
                return false;
            }
        } else {
            args->words.push_back(a);
        }
    }
    return true;
}

OutputFile::OutputFile(const fs::path& finalPath) : m_finalPath(finalPath)
{
    const unsigned long pid = host::ProcessId();
    m_tempPath = finalPath;
    m_tempPath += ".sfxpack-" + std::to_string(pid) + ".tmp";
}

OutputFile::~OutputFile()
{
    if (!m_committed)
        Discard();
}

bool OutputFile::Open()
{
    m_stream = OpenHostFile(m_tempPath, "wb");
    return m_stream != nullptr;
}

int64_t OutputFile::Position() { return host::Tell(m_stream); }

bool OutputFile::Write(const void* data, size_t size)
{
    return size == 0 || std::fwrite(data, 1, size, m_stream) == size;
}

bool OutputFile::Commit(std::string* error)
{
    const bool flushed = std::fflush(m_stream) == 0 && !std::ferror(m_stream);
    const int savedErrno = errno;
    const bool closed = std::fclose(m_stream) == 0;
    m_stream = nullptr;
    if (!flushed || !closed) {
        *error = Printable(m_finalPath) + ": cannot write: " + std::strerror(flushed ? errno : savedErrno);
        Discard();
        return false;
    }
    std::error_code ec;
    fs::rename(m_tempPath, m_finalPath, ec);
    if (ec) {
        *error = Printable(m_finalPath) + ": cannot create: " + ec.message();
        Discard();
        return false;
    }
    m_committed = true;
    return true;
}

void OutputFile::Discard()
{
    if (m_stream) {
        std::fclose(m_stream);
        m_stream = nullptr;
    }
    std::error_code ec;
    fs::remove(m_tempPath, ec);
}

bool ReadWholeFile(const fs::path& path, std::string* bytes)
{
    FILE* f = OpenHostFile(path, "rb");
    if (!f)
        return false;
    bytes->clear();
    char buffer[65536];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0)
        bytes->append(buffer, n);
    const bool ok = !std::ferror(f);
    std::fclose(f);
    return ok;
}

std::string FormatBytes(uint64_t bytes)
{
    char text[64];
    if (bytes < 10 * 1024)
        std::snprintf(text, sizeof text, "%llu B", static_cast<unsigned long long>(bytes));
    else if (bytes < 10ull * 1024 * 1024)
        std::snprintf(text, sizeof text, "%.1f KiB", bytes / 1024.0);
    else if (bytes < 10ull * 1024 * 1024 * 1024)
        std::snprintf(text, sizeof text, "%.1f MiB", bytes / (1024.0 * 1024.0));
    else
        std::snprintf(text, sizeof text, "%.1f GiB", bytes / (1024.0 * 1024.0 * 1024.0));
    return text;
}

}  // namespace sfxpack

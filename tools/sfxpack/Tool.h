// Shared pieces of the sfxpack commands: exit codes, messages, output
// files that appear whole or not at all.
#pragma once
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace sfxpack {

enum ExitCode { EXIT_OK = 0, EXIT_DATA = 1, EXIT_USAGE = 2 };

// Prints "sfxpack: message" on stderr.
void Error(const std::string& message);
void Warning(const std::string& message);

// Command line of one subcommand: positional words and --options.
struct Args {
    std::vector<std::string> words;
    std::vector<std::pair<std::string, std::string>> options;  // name, value ("" for flags)
    bool Has(const std::string& name) const;
    std::string Value(const std::string& name) const;
};
// Splits argv; options listed in withValue take the next word. Returns
// false (after printing the reason) on an unknown option or a missing value.
bool ParseArgs(const std::vector<std::string>& argv, const std::vector<std::string>& flags,
               const std::vector<std::string>& withValue, Args* args);

// A file written under a temporary name beside its final name and renamed
// into place by Commit; destroyed uncommitted, it removes the temporary file.
class OutputFile {
public:
    explicit OutputFile(const std::filesystem::path& finalPath);
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    bool Open();  // false when the temporary file cannot be created
    FILE* Stream() { return m_stream; }
    int64_t Position();
    bool Write(const void* data, size_t size);
    // Flushes, closes and renames; false (and nothing left behind) on failure.
    bool Commit(std::string* error);
    const std::filesystem::path& TempPath() const { return m_tempPath; }

private:
    void Discard();
    std::filesystem::path m_finalPath;
    std::filesystem::path m_tempPath;
    FILE* m_stream = nullptr;
    bool m_committed = false;
};

// While one exists, an interrupt (Ctrl-C, SIGINT, SIGTERM or SIGHUP; a
// console's Ctrl-C or Ctrl-Break on Windows) only raises a flag that long
// work polls, so that it can remove what it has written. A second interrupt
// ends the process at once. Not nested.
class InterruptGuard {
public:
    InterruptGuard();
    ~InterruptGuard();
    InterruptGuard(const InterruptGuard&) = delete;
    InterruptGuard& operator=(const InterruptGuard&) = delete;
};
bool Interrupted();
// The exit status for the interrupt that was caught: 128 plus the signal
// number (130 for SIGINT, 143 for SIGTERM); 130 for a Windows console's
// Ctrl-C or Ctrl-Break.
int InterruptExitCode();
int InterruptExitCode(int signalNumber);

bool StderrIsTerminal();

// The one line on a terminal that tells how far long work is: a bar, the
// entries and bytes done, and the time left. Drawn on stderr a few times a
// second at most; disabled, it draws nothing.
class ProgressLine {
public:
    explicit ProgressLine(bool enabled);
    ~ProgressLine() { Clear(); }
    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;

    void Show(size_t entriesDone, size_t entriesTotal, uint64_t bytesDone, uint64_t bytesTotal);
    void Clear();
    double Seconds() const;

private:
    bool m_enabled;
    bool m_shown = false;
    double m_lastDrawn = 0;
    size_t m_lastDone = 0;
    std::chrono::steady_clock::time_point m_start;
};

// Reads a whole host file; false when it cannot be read.
bool ReadWholeFile(const std::filesystem::path& path, std::string* bytes);

std::string FormatBytes(uint64_t bytes);

}  // namespace sfxpack

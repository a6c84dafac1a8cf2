// What sfxpack asks of the operating system, in one place. HostPosix.cpp and
// HostWin32.cpp implement it (CMake builds the one for the target), together
// with the host-specific half of HostText.h; the commands use only this.
#pragma once
#include <cstdint>
#include <cstdio>
#include <filesystem>

namespace sfxpack {
namespace host {

unsigned long ProcessId();
bool IsTerminal(FILE* stream);

// Positions past 2 GiB on every host.
bool Seek(FILE* stream, uint64_t position);
int64_t Tell(FILE* stream);

// A read-write file that has no name once opened (Linux) or goes with its
// last handle (Windows), so that not even a killed process leaves it.
FILE* OpenAnonymousFile(const std::filesystem::path& path);

// The codec reads and writes one byte per call; once the process has
// threads, glibc would lock a stream around each. For a stream that only
// one thread at a time touches, that locking is switched off.
void UseFromOneThread(FILE* stream);

// Interrupts: SIGINT, SIGTERM and SIGHUP; a console's Ctrl-C or Ctrl-Break
// on Windows. CatchInterrupts hands the first one to handler; a signal
// that was ignored from the start (nohup, a background job of a script)
// stays ignored, and a second interrupt takes its default course and ends
// the process. ReleaseInterrupts puts the previous handling back.
using InterruptHandler = void (*)(int signalNumber);
void CatchInterrupts(InterruptHandler handler);
void ReleaseInterrupts();
// The exit status of a process ended by that interrupt: 128 + its number.
int InterruptExitCode(int signalNumber);

}  // namespace host
}  // namespace sfxpack

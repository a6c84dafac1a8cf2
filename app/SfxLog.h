// The record of one run of the setup, for the administrator who deployed it
// and for support after a failure: UTF-8 text, one line per event, each
// with the seconds since the run began. Every step reports here through
// SfxLog(): the start-up, the engine's checks and files, the undo, the
// result. A log that cannot be opened or written is simply not written: it
// never changes what the run does or how it ends.
#pragma once
#include <chrono>

#include "framework/File.h"
#include "framework/String.h"

class CSfxLog {
public:
    CSfxLog() = default;
    ~CSfxLog() { Close(); }
    CSfxLog(const CSfxLog&) = delete;
    CSfxLog& operator=(const CSfxLog&) = delete;

    // Creates the file anew (the last run's record replaces the one before),
    // shared with readers but with no other writer: a second setup running
    // at the same time does not overwrite this one's record. False when it
    // cannot be opened.
    bool Open(const CString& path);
    bool IsOpen() const { return m_file.IsOpen(); }
    const CString& GetPath() const { return m_strPath; }
    // One line; the text is the program's own (code page 936), written as UTF-8.
    void Write(const CString& line);
    void Close();

private:
    CFile m_file;
    CString m_strPath;
    std::chrono::steady_clock::time_point m_start;
};

// A line in the running setup's log (printf format); nothing when the run
// keeps none (sfxpack, the tests).
void SfxLog(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;

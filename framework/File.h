// CFile and CFileException, MFC-shaped. Paths are the program's text (code
// page 936, Mbcs.h) with backslash separators on every platform, translated
// at the system-call boundary only: to UTF-16 on Windows (WideText.h), to
// the host's UTF-8 names on POSIX hosts.
//
// As in MFC: Open reports failure by its result; Read, Write and Seek throw
// CFileException on failure, and a Write that cannot write every byte (a
// full disk) throws with cause diskFull. The destructor closes without
// throwing.
#pragma once
#include <cstdint>

#include "String.h"
#include "Types.h"

class CFileException {
public:
    enum Cause {
        none,
        genericException,
        fileNotFound,
        badPath,
        tooManyOpenFiles,
        accessDenied,
        invalidFile,
        removeCurrentDir,
        directoryFull,
        badSeek,
        hardIO,
        sharingViolation,
        lockViolation,
        diskFull,
        endOfFile
    };

    CFileException() = default;
    CFileException(int cause, long osError, const char* fileName)
        : m_cause(cause), m_lOsError(osError), m_strFileName(fileName)
    {
    }

    // One line for the user: what failed and on which file.
    CString GetErrorText() const;

    int m_cause = none;
    long m_lOsError = 0;
    CString m_strFileName;
};

class CFile {
public:
    enum OpenFlags : UINT {
        modeRead = 0x0000,
        modeWrite = 0x0001,
        modeReadWrite = 0x0002,
        shareCompat = 0x0000,
        shareExclusive = 0x0010,
        shareDenyWrite = 0x0020,
        shareDenyRead = 0x0030,
        shareDenyNone = 0x0040,
        modeNoInherit = 0x0080,
        modeCreate = 0x1000,
        modeNoTruncate = 0x2000,
        typeText = 0x4000,
        typeBinary = 0x8000
    };
    enum SeekPosition : UINT { begin = 0, current = 1, end = 2 };

    CFile() = default;
    ~CFile();
    CFile(const CFile&) = delete;
    CFile& operator=(const CFile&) = delete;

    BOOL Open(const char* path, UINT openFlags, CFileException* error = nullptr);
    UINT Read(void* buffer, UINT count);
    void Write(const void* buffer, UINT count);
    // Returns the new position. Positions are signed 32-bit, as the archive's.
    LONG Seek(LONG offset, UINT from);
    int64_t GetLength() const;
    void Close();           // throws when the close fails (data not written)
    void Abort();           // closes, never throws
    bool IsOpen() const;
    const CString& GetFilePath() const { return m_strFileName; }

    static void Rename(const char* oldName, const char* newName);  // throws
    static void Remove(const char* fileName);                      // throws

private:
    [[noreturn]] void ThrowLastError(int fallbackCause) const;

    // The open file: a HANDLE on Windows, a descriptor elsewhere; -1 when
    // closed (INVALID_HANDLE_VALUE is -1 too).
    intptr_t m_hFile = -1;
    CString m_strFileName;
};

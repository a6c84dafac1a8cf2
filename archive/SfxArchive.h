// CSfxArchive: reads the archive behind the running executable and unpacks
// every entry below the installation folder.
//
// Each entry's packed bytes are copied into a temporary file beside the
// final file (the stored name, suffix included), decoded into the final
// file, and the temporary file is removed. The entries are visited from the
// last directory record to the first. In keep mode the protected user-data
// files are skipped.
//
// Contract on hostile input: the whole directory is validated before
// anything is written; a damaged directory, a name that would leave the
// installation folder or name a device, a payload outside the file, a
// truncated stream, a full disk or any file error ends the run with a
// failure code. Nothing is written outside the installation folder.
//
// Installing over an earlier installation is all or nothing. Before the
// first write the run checks the digests, the folder, the path lengths,
// the free space and the files it replaces (SfxRunChecks.h); then it
// records every change before making it (SfxUndo.h). An earlier file is
// moved aside only once its replacement is whole, and a run that fails, or
// is cancelled through the pulse, puts every earlier file back and removes
// what it made. A run that was killed outright is put back by the next run
// in that folder, before anything else.
#pragma once
#include <cstdint>

#include "archive/SfxLayout.h"
#include "framework/File.h"
#include "framework/String.h"
#include "framework/StringArray.h"

class CSfxUndo;

// Result codes. There is no 1003.
enum {
    SFX_ERR_OPEN_SELF = 1000,      // the archive file cannot be opened
    SFX_ERR_NO_MAGIC = 1001,       // the archive's last 10 bytes are not the magic
    SFX_OK = 1002,
    SFX_ERR_EMPTY = 1004,          // the entry count is 0
    SFX_ERR_CREATE_OUTPUT = 1005,  // an entry's temporary file cannot be created
    SFX_ERR_REOPEN_SELF = 1006,    // the archive cannot be opened a second time
    SFX_ERR_DAMAGED = 1007,        // the directory or a payload is damaged
    SFX_ERR_FILE_IO = 1008,        // a file could not be read or written whole (full disk, I/O error)
    // Found before the first write: nothing was written, the user can change
    // something and start again.
    SFX_ERR_BAD_FOLDER = 1009,     // the folder is not absolute, or cannot be made or written in
    SFX_ERR_PATH_TOO_LONG = 1010,  // a path of the run would reach MAX_PATH
    SFX_ERR_NO_SPACE = 1011,       // the volume has too little free space for the run and its undo
    SFX_ERR_IN_USE = 1012,         // a file to be replaced is open elsewhere (a running client)
    SFX_ERR_CANCELLED = 1013,      // the caller's pulse asked to stop (an interrupt); the run was undone
};

// The most bytes copied from the archive in one read.
constexpr int SFX_COPY_CHUNK = 1000;

// One directory record.
struct SfxEntry {
    CString m_strName;      // stored name, still with its 4-byte suffix
    int32_t m_nPackedSize = 0;
    int32_t m_nOffset = 0;

    void Reset()
    {
        m_strName.Empty();
        m_nPackedSize = 0;
    }
    CString GetName() const { return m_strName; }
    void SetName(CString name) { m_strName = name; }
};

// Called after each unpacked entry; the result is ignored.
typedef int (*SfxProgressFn)(SfxEntry* pEntry, void* pContext);

// Called often during long work (at least every 64 KiB read, hashed or
// written): a window answers its messages here, a tool looks for an
// interrupt. Returns false to stop the run, which is then undone and ends
// with SFX_ERR_CANCELLED.
typedef bool (*SfxPulseFn)(void* pContext);

// A short text for a result code (for tools and logs; the dialog has its own).
const char* SfxResultText(int code);

class CSfxArchive {
public:
    CSfxArchive();
    virtual ~CSfxArchive();
    CSfxArchive(const CSfxArchive&) = delete;
    CSfxArchive& operator=(const CSfxArchive&) = delete;

    // Reads the directory from the executable (or from the file given to
    // SetArchivePath) and unpacks every entry below strDestFolder.
    int ExtractAll(CString strDestFolder, SfxProgressFn pfnProgress, void* pContext);

    int ReadDirectory(CString strArchivePath);
    int ExtractEntry(CFile* pArchive, int nIndex, CString strDestFolder);
    void CreateFolders(CString strPath);
    bool IsFolderCreated(CString strFolder);
    void AddCreatedFolder(CString strFolder);
    void ResetEntries();
    CString GetModulePath();
    CString EnsureTrailingBackslash(CString& strFolder);

    // Tools unpack or check another file than the running executable.
    void SetArchivePath(const CString& path) { m_strArchivePath = path; }
    CString GetArchivePath();
    // A tool that makes the installation folder its current folder passes
    // "." and takes a relative folder; the installer never does.
    void SetRelativeFolderAllowed(bool allowed) { m_bRelativeFolderAllowed = allowed; }
    // Called during long work; may be null.
    void SetPulse(SfxPulseFn pfnPulse, void* pContext)
    {
        m_pfnPulse = pfnPulse;
        m_pPulseContext = pContext;
    }

    int GetEntryCount() const { return m_nEntryCount; }
    const SfxEntry& GetEntry(int index) const { return m_entries[index]; }
    // Where the last ReadDirectory found the archive's end, and the
    // certificate table behind it (size 0: the file is not signed).
    int64_t GetArchiveEnd() const { return m_nArchiveEnd; }
    // Where the directory records begin (the end of the last payload in a
    // setup sfxpack wrote).
    int64_t GetDirectoryStart() const { return m_nDirectoryStart; }
    uint32_t GetCertificateTableOffset() const { return m_nTableOffset; }
    uint32_t GetCertificateTableSize() const { return m_nTableSize; }
    // The file-error text of the last failure (empty when none); for tools.
    const CString& GetLastErrorText() const { return m_strLastError; }
    // What stopped the last ExtractAll: the file in use, the folder that
    // cannot be used, the path that is too long, the file that could not be
    // put back; and for SFX_ERR_NO_SPACE the bytes needed and available.
    const CString& GetProblemPath() const { return m_strProblemPath; }
    uint64_t GetSpaceNeeded() const { return m_nSpaceNeeded; }
    uint64_t GetSpaceAvailable() const { return m_nSpaceAvailable; }
    // SFX_ERR_DAMAGED from the digests: the first entry whose digest
    // differs, -1 for the directory (or no digest check failed).
    int GetDamagedEntry() const { return m_nDamagedEntry; }
    // False when the last ExtractAll ended before its first write: the
    // folder is untouched, and the user may change something and try again.
    bool HasWritten() const { return m_bWritten; }
    // False when a failed run could not put everything back; the next run
    // in that folder finishes the job.
    bool WasUndoneWhole() const { return m_bUndoneWhole; }

    SfxEntry m_entries[SFX_MAX_ENTRIES];
    int m_nEntryCount = 0;

private:
    // ExtractAll's parts: what keep mode leaves alone, the checks made
    // before the first write, and the walk over the entries.
    bool IsEntryWritten(int index, bool keepDataMode, CStringArray& protectedFiles) const;
    int CheckBeforeWriting(CFile& archive, const CString& folder, const bool* writes, CSfxUndo& undo);
    int UnpackEntry(CFile* pArchive, int nIndex, const CString& strDestFolder);
    int CopyPayload(CFile* pArchive, const SfxEntry& entry, const CString& tempPath);
    int Undo(int result, CSfxUndo& undo);
    bool Pulse();
    // Keeps the text of a failure for tools, and puts it in the run's log
    // with the system's code and words for it (osError 0: none).
    void Failed(const CString& text, long osError);

    CString m_strArchivePath;
    CString m_strLastError;
    CString m_strProblemPath;
    uint64_t m_nSpaceNeeded = 0;
    uint64_t m_nSpaceAvailable = 0;
    int m_nDamagedEntry = -1;
    bool m_bWritten = false;
    bool m_bUndoneWhole = true;
    bool m_bRelativeFolderAllowed = false;
    SfxPulseFn m_pfnPulse = nullptr;
    void* m_pPulseContext = nullptr;
    // The running ExtractAll's record of changes, or null.
    CSfxUndo* m_pUndo = nullptr;
    int64_t m_nArchiveEnd = 0;
    int64_t m_nDirectoryStart = 0;
    uint32_t m_nTableOffset = 0;
    uint32_t m_nTableSize = 0;
};

// The folder with one backslash after its last character (a double-byte
// character whose second byte is 0x5C is not one).
CString SfxWithTrailingBackslash(CString folder);
// True when both name the same folder as Windows reads them: a final
// backslash and the letter case of A to Z make no difference.
bool SfxIsSameFolder(const CString& a, const CString& b);

// True when an element of the list equals the string byte for byte.
bool IsInStringList(CStringArray& list, CString str);

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
// failure code. Nothing is written outside the installation folder, and
// the current entry's temporary file never survives a failure.
#pragma once
#include <csignal>
#include <cstdint>

#include "archive/SfxLayout.h"
#include "framework/File.h"
#include "framework/String.h"
#include "framework/StringArray.h"

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

// Which files of the entry being unpacked are incomplete (m_nWorkStage).
enum {
    SFX_WORK_NONE = 0,            // none: between entries, or the entry is whole
    SFX_WORK_TEMP = 1,            // its temporary file; the final file is still an earlier one, or whole
    SFX_WORK_TEMP_AND_FINAL = 2,  // both: the final file is being replaced
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

    SfxEntry m_entries[SFX_MAX_ENTRIES];
    int m_nEntryCount = 0;

    // What ExtractEntry is doing, for a tool's interrupt handler: the entry
    // (-1 for none) and an SFX_WORK_ value. The engine sets the entry before
    // the stage and clears the stage once the files are whole or removed;
    // it never reads them itself.
    volatile sig_atomic_t m_nWorkEntry = -1;
    volatile sig_atomic_t m_nWorkStage = SFX_WORK_NONE;

private:
    CString m_strArchivePath;
    CString m_strLastError;
    int64_t m_nArchiveEnd = 0;
    int64_t m_nDirectoryStart = 0;
    uint32_t m_nTableOffset = 0;
    uint32_t m_nTableSize = 0;
};

// True when an element of the list equals the string byte for byte.
bool IsInStringList(CStringArray& list, CString str);

// The checks an installation makes after reading the directory and before
// its first write, so that whatever can be known beforehand stops the run
// while the folder is still untouched: the folder can be used, every path
// fits, the volume has room for the run and its undo, and no file to be
// replaced is held open by another program. (The digests are checked
// first, by SfxCheckDigests.)
//
// Each check returns SFX_OK or the result code that names what stops the
// run, with the details in Report(). Only the entries marked in `writes`
// are looked at: keep mode leaves the protected ones out, as the walk does.
#pragma once
#include <cstdint>
#include <string>

#include "archive/SfxArchive.h"
#include "archive/SfxUndo.h"
#include "framework/File.h"
#include "framework/String.h"

// Windows' limits on a path with its terminating NUL, in UTF-16 code units
// as the wide functions count them: any file, and a folder that is to be
// made (room for an 8.3 name below it).
constexpr int SFX_MAX_PATH = 260;
constexpr int SFX_MAX_FOLDER_PATH = 248;

// Bytes as MB (2^20 bytes) with one decimal, rounded up or down, so that
// a need shown beside what is available never looks covered.
std::string SfxMegabytes(uint64_t bytes, bool roundUp);

struct SfxRunReport {
    CString path;            // the folder or the file that stops the run
    uint64_t needed = 0;     // SFX_ERR_NO_SPACE: bytes the run needs
    uint64_t available = 0;  // and what the volume has for this user
    CString errorText;       // a file error behind the result, for tools
    long osError = 0;        // and the system's code for it
};

class CSfxRunChecks {
public:
    // folder ends in a backslash; writes[i] is true for each entry the run
    // unpacks. The archive's directory is read and `file` is open on it.
    CSfxRunChecks(const CSfxArchive& archive, CFile& file, const CString& folder, const bool* writes);

    // The folder is absolute (see FsIsAbsoluteFolder). A tool that works in
    // the installation folder as its current folder skips this.
    int FolderIsAbsolute();
    // The folder exists or can be made, and a file can be created in it and
    // removed. The folders made are handed to undo, which removes them when
    // the run stops before writing.
    int FolderCanBeUsed(CSfxUndo& undo);
    // Every temporary, backup and final path, and every folder to be made,
    // stays below Windows' limits.
    int PathsFit();
    // The volume's free space covers every new file and the largest packed
    // payload (the temporary file beside it while it is decoded), each
    // rounded up to the volume's cluster, plus the journal, while every
    // replaced file still takes its place as a backup.
    int SpaceSuffices();
    // Every existing file the run replaces can be opened for writing with
    // no sharing right now (and is closed again at once).
    int FilesAreFree();

    const SfxRunReport& Report() const { return m_report; }

private:
    template <typename Visit>
    void ForEachWrittenEntry(Visit visit) const;
    int Stop(int code, const CString& path);

    const CSfxArchive& m_archive;
    CFile& m_file;
    CString m_folder;
    const bool* m_writes;
    SfxRunReport m_report;
};

// CSfxUndo: what one run changes in the installation folder, so that a run
// that does not finish leaves the folder as it found it.
//
// An earlier file is never removed before its replacement is whole: the
// engine decodes into NAME.zun, moves NAME aside to NAME.zbk, then moves
// NAME.zun to NAME. Each change is recorded here before it is made, in
// memory and in a journal file in the installation folder, written through
// to the system at once. A run that fails rolls back: the earlier files are
// moved back, and every file and folder the run made is removed. A run that
// is killed outright leaves the journal, and the next run in that folder
// rolls it back before anything else (Recover). A run that finishes removes
// the backups and the journal.
//
// Only what the run recorded is touched: names that the journal does not
// hold, the user's own files among them, are never moved or removed.
#pragma once
#include <vector>

#include "framework/File.h"
#include "framework/String.h"

class CSfxUndo {
public:
    // folder: the installation folder, ending in a backslash.
    explicit CSfxUndo(const CString& folder);
    ~CSfxUndo();
    CSfxUndo(const CSfxUndo&) = delete;
    CSfxUndo& operator=(const CSfxUndo&) = delete;

    // A folder made before the journal could exist (the installation folder
    // itself, or one above it): removed by Rollback, not journaled.
    void FolderMadeBeforeJournal(const CString& path);

    // Creates the journal in the installation folder: the run's first write.
    // False (with the file error in *pError) when it cannot be written.
    bool StartJournal(CString* pError);

    // Recorded before the change is made; false when the journal cannot be
    // written, and the change must then not be made. Without a journal (one
    // entry unpacked on its own) the record is kept in memory only.
    bool WillMakeFolder(const CString& path);  // a folder below the installation folder
    // tempPath: the entry's temporary path (the installation folder and the
    // stored name); the final path is that without its last 4 bytes.
    bool WillWriteFile(const CString& tempPath, bool replacing);

    // True when this run has already written the file that tempPath's
    // final path names (an archive may name one file twice): the file there
    // is then the run's own, and the earlier one is already kept.
    bool HasWritten(const CString& tempPath) const;

    // The run is whole: removes the backups, then the journal. A backup that
    // cannot be removed stays for the next run, which removes it.
    void Commit();
    // The run failed: moves every earlier file back, removes what the run
    // made (the journal last). False, with the journal kept for the next
    // run, when something could not be put back; *pProblemPath names it.
    bool Rollback(CString* pProblemPath = nullptr);

    // Folders the last Rollback removed, for the engine's folder cache.
    const std::vector<CString>& RemovedFolders() const { return m_removedFolders; }

    // A journal that a killed run left in the folder: finishes its commit,
    // or rolls it back. Returns false, keeping the journal, when something
    // could not be put back; *pProblemPath names it.
    static bool Recover(const CString& folder, CString* pProblemPath);

    static CString FinalPath(const CString& tempPath);    // the stored name's last 4 bytes dropped
    static CString NewPath(const CString& finalPath);     // NAME.zun
    static CString BackupPath(const CString& finalPath);  // NAME.zbk
    static CString JournalPath(const CString& folder);

private:
    enum Kind : char {
        MADE_ABOVE = 'A',   // a folder made before the journal
        MADE_FOLDER = 'D',  // a folder below the installation folder
        NEW_FILE = 'N',     // a file where there was none (path: its temporary path)
        REPLACED = 'R',     // a file that replaces an earlier one (likewise)
        COMMITTED = 'C',    // the run was whole: only backups are left to remove
    };
    struct Step {
        Kind kind;
        CString path;  // full path
    };

    bool Record(Kind kind, const CString& path);
    bool ReadJournal();
    void RemoveBackups();
    bool UndoStep(const Step& step, CString* pProblemPath);
    void CloseAndRemoveJournal();

    CString m_folder;
    std::vector<Step> m_steps;
    std::vector<CString> m_removedFolders;
    CFile m_journal;
    bool m_bOwnsJournal = false;  // this run wrote it, or is recovering it
    bool m_bCommitted = false;
};

#include "SfxUndo.h"


#include "archive/SfxLayout.h"
#include "archive/SfxNameCheck.h"
#include "framework/FileSystem.h"

namespace {

// The journal: this tag, then one record per change, each a kind byte, a
// 16-bit little-endian length and the path relative to the installation
// folder. A record cut short by a killed run is where the journal ends.
const char kJournalTag[] = "SFXUNDO1";
const int kJournalTagLength = sizeof(kJournalTag) - 1;

// Removes a file the run made or moved. A folder of that name is none of
// its files: it was made for another entry, and goes with its own step.
bool RemoveIfThere(const CString& path)
{
    if (!FileExists(path) || FsIsFolder(path))
        return true;
    FsClearAttributes(path);
    FsDeleteFile(path);
    return !FileExists(path);
}

}  // namespace

CSfxUndo::CSfxUndo(const CString& folder) : m_folder(folder) {}

CSfxUndo::~CSfxUndo() { m_journal.Abort(); }

CString CSfxUndo::FinalPath(const CString& tempPath) { return tempPath.Left(tempPath.GetLength() - SFX_NAME_SUFFIX_LENGTH); }

CString CSfxUndo::NewPath(const CString& finalPath) { return finalPath + SFX_NEW_SUFFIX; }

CString CSfxUndo::BackupPath(const CString& finalPath) { return finalPath + SFX_BACKUP_SUFFIX; }

CString CSfxUndo::JournalPath(const CString& folder) { return folder + SFX_JOURNAL_NAME; }

void CSfxUndo::FolderMadeBeforeJournal(const CString& path) { m_steps.push_back({MADE_ABOVE, path}); }

bool CSfxUndo::StartJournal(CString* pError)
{
    CFileException error;
    if (!m_journal.Open(JournalPath(m_folder), CFile::modeCreate | CFile::modeWrite, &error)) {
        *pError = error.GetErrorText();
        return false;
    }
    m_bOwnsJournal = true;
    try {
        m_journal.Write(kJournalTag, kJournalTagLength);
    } catch (const CFileException& e) {
        *pError = e.GetErrorText();
        m_journal.Abort();
        FsDeleteFile(JournalPath(m_folder));
        return false;
    }
    return true;
}

bool CSfxUndo::Record(Kind kind, const CString& path)
{
    // One write per record, so that a killed run leaves whole records and
    // at most one cut short at the end.
    std::string record(1, static_cast<char>(kind));
    const std::string relative = path.Mid(m_folder.GetLength()).str();
    if (path.Left(m_folder.GetLength()) != m_folder || relative.size() > 0xFFFF)
        return false;
    record += static_cast<char>(relative.size() & 0xFF);
    record += static_cast<char>(relative.size() >> 8);
    record += relative;
    if (m_journal.IsOpen()) {
        try {
            m_journal.Write(record.data(), static_cast<UINT>(record.size()));
        } catch (const CFileException&) {
            return false;
        }
    }
    m_steps.push_back({kind, path});
    return true;
}

bool CSfxUndo::WillMakeFolder(const CString& path) { return Record(MADE_FOLDER, path); }

bool CSfxUndo::WillWriteFile(const CString& tempPath, bool replacing)
{
    return Record(replacing ? REPLACED : NEW_FILE, tempPath);
}

bool CSfxUndo::HasWritten(const CString& tempPath) const
{
    // As the file system compares names: the backup name says which host.
    const std::string key = SfxWindowsPathKey(FinalPath(tempPath).str());
    for (const Step& step : m_steps)
        if ((step.kind == NEW_FILE || step.kind == REPLACED) && SfxWindowsPathKey(FinalPath(step.path).str()) == key)
            return true;
    return false;
}

void CSfxUndo::RemoveBackups()
{
    bool allRemoved = true;
    for (const Step& step : m_steps)
        if (step.kind == REPLACED)
            allRemoved = RemoveIfThere(BackupPath(FinalPath(step.path))) && allRemoved;
    if (allRemoved)
        CloseAndRemoveJournal();
    else
        m_journal.Abort();  // the next run in this folder removes what is left
}

void CSfxUndo::Commit()
{
    // Marked first: a run killed while the backups go must not put some of
    // them back over a whole installation.
    Record(COMMITTED, m_folder);
    m_bCommitted = true;
    RemoveBackups();
}

bool CSfxUndo::UndoStep(const Step& step, CString* pProblemPath)
{
    switch (step.kind) {
    case MADE_ABOVE:
    case MADE_FOLDER:
        // A folder that is not empty holds what the run did not make.
        if (FsRemoveFolder(step.path))
            m_removedFolders.push_back(step.path);
        return true;
    case NEW_FILE:
    case REPLACED: {
        const CString finalPath = FinalPath(step.path);
        const CString backupPath = BackupPath(finalPath);
        FsDeleteFile(step.path);
        FsDeleteFile(NewPath(finalPath));
        if (step.kind == REPLACED && !FileExists(backupPath))
            return true;  // the earlier file never moved
        if (!RemoveIfThere(finalPath)) {
            *pProblemPath = finalPath;
            return false;
        }
        if (step.kind == REPLACED && !FsMoveFile(backupPath, finalPath)) {
            *pProblemPath = finalPath;
            return false;
        }
        return true;
    }
    case COMMITTED:
        return true;
    }
    return true;
}

bool CSfxUndo::Rollback(CString* pProblemPath)
{
    m_removedFolders.clear();
    CString problem;
    bool whole = true;
    // Newest first: a file goes before the folder that holds it.
    for (auto it = m_steps.rbegin(); it != m_steps.rend(); ++it) {
        // The folders made before the journal come first in the record, and
        // one of them holds the journal: it goes once all else is back.
        if (it->kind == MADE_ABOVE && whole)
            CloseAndRemoveJournal();
        CString stepProblem;
        if (!UndoStep(*it, &stepProblem) && whole) {
            whole = false;
            problem = stepProblem;
        }
    }
    if (whole) {
        CloseAndRemoveJournal();
        m_steps.clear();
    } else {
        m_journal.Abort();
    }
    if (pProblemPath)
        *pProblemPath = problem;
    return whole;
}

void CSfxUndo::CloseAndRemoveJournal()
{
    m_journal.Abort();
    if (m_bOwnsJournal)
        FsDeleteFile(JournalPath(m_folder));
}

bool CSfxUndo::ReadJournal()
{
    CFile journal;
    if (!journal.Open(JournalPath(m_folder), CFile::modeRead | CFile::shareDenyWrite))
        return false;
    std::string bytes;
    try {
        char buffer[4096];
        for (UINT n; (n = journal.Read(buffer, sizeof buffer)) > 0;)
            bytes.append(buffer, n);
    } catch (const CFileException&) {
        return false;
    }
    if (bytes.compare(0, kJournalTagLength, kJournalTag) != 0)
        return true;  // nothing recorded yet
    for (size_t at = kJournalTagLength; at + 3 <= bytes.size();) {
        const Kind kind = static_cast<Kind>(bytes[at]);
        const size_t length = static_cast<unsigned char>(bytes[at + 1]) | static_cast<size_t>(static_cast<unsigned char>(bytes[at + 2])) << 8;
        if (at + 3 + length > bytes.size())
            break;
        const CString path = m_folder + CString(bytes.data() + at + 3, static_cast<int>(length));
        if (kind == MADE_FOLDER || kind == NEW_FILE || kind == REPLACED)
            m_steps.push_back({kind, path});
        else if (kind == COMMITTED)
            m_bCommitted = true;
        else
            break;
        at += 3 + length;
    }
    return true;
}

bool CSfxUndo::Recover(const CString& folder, CString* pProblemPath)
{
    if (!FileExists(JournalPath(folder)))
        return true;
    CSfxUndo left(folder);
    left.m_bOwnsJournal = true;
    if (!left.ReadJournal()) {
        *pProblemPath = JournalPath(folder);
        return false;
    }
    if (left.m_bCommitted) {
        // The run was whole; only its backups (and temporary files) remain.
        for (const Step& step : left.m_steps)
            if (step.kind == NEW_FILE || step.kind == REPLACED) {
                FsDeleteFile(step.path);
                FsDeleteFile(NewPath(FinalPath(step.path)));
            }
        left.RemoveBackups();
        return true;
    }
    return left.Rollback(pProblemPath);
}

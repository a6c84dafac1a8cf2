#include "SfxArchive.h"

#include <cstring>
#include <string>
#include <vector>

#include "app/SfxAppState.h"
#include "app/SfxLog.h"
#include "app/SfxRunState.h"
#include "archive/SfxDigest.h"
#include "archive/SfxNameCheck.h"
#include "archive/SfxRunChecks.h"
#include "archive/SfxSignature.h"
#include "archive/SfxUndo.h"
#include "framework/FileSystem.h"
#include "framework/Mbcs.h"
#include "lzari/LzariCodeFile.h"

namespace {

uint32_t LittleEndian32(const unsigned char* b)
{
    return uint32_t(b[0]) | (uint32_t(b[1]) << 8) | (uint32_t(b[2]) << 16) | (uint32_t(b[3]) << 24);
}

// Seeks to `distance` bytes before the archive's end and reads a 32-bit field.
uint32_t ReadFieldFromEnd(CFile& file, LONG archiveEnd, LONG distance)
{
    unsigned char bytes[4];
    file.Seek(archiveEnd - distance, CFile::begin);
    if (file.Read(bytes, 4) != 4)
        throw CFileException(CFileException::endOfFile, 0, file.GetFilePath());
    return LittleEndian32(bytes);
}

// The run state the engine shares with the dialog; tools without a dialog
// get a private one so that the engine behaves the same.
CSfxRunState* RunState(CSfxRunState& fallback)
{
    CSfxAppState* app = AfxGetAppState();
    return (app && app->m_pMainDlg) ? app->m_pMainDlg : &fallback;
}

// The headers of a file for the signature rule; a failed read is "not there".
bool ReadFileAt(void* context, int64_t offset, void* buffer, int length)
{
    CFile& file = *static_cast<CFile*>(context);
    if (offset < 0 || offset > file.GetLength() - length)
        return false;
    file.Seek(static_cast<LONG>(offset), CFile::begin);
    return file.Read(buffer, static_cast<UINT>(length)) == static_cast<UINT>(length);
}

const char* CodecFailureText(int codecResult)
{
    switch (codecResult) {
    case LZARI_ERR_OPEN_INPUT: return "cannot reopen the packed temporary file";
    case LZARI_ERR_OPEN_OUTPUT: return "cannot create the file";
    case LZARI_ERR_TRUNCATED: return "the packed data is cut short";
    case LZARI_ERR_BAD_END: return "the packed data does not end where its stream ends";
    case LZARI_ERR_READ: return "read error while decoding";
    case LZARI_ERR_WRITE: return "write error while decoding (disk full?)";
    case LZARI_ERR_CANCELLED: return "interrupted";
    default: return "decoding failed";
    }
}

int ResultFromCodec(int codecResult)
{
    switch (codecResult) {
    case LZARI_OK: return SFX_OK;
    case LZARI_ERR_TRUNCATED:
    case LZARI_ERR_BAD_END: return SFX_ERR_DAMAGED;
    case LZARI_ERR_OPEN_OUTPUT: return SFX_ERR_CREATE_OUTPUT;
    case LZARI_ERR_CANCELLED: return SFX_ERR_CANCELLED;
    default: return SFX_ERR_FILE_IO;
    }
}

}  // namespace

const char* SfxResultText(int code)
{
    switch (code) {
    case SFX_OK: return "success";
    case SFX_ERR_OPEN_SELF: return "cannot open the archive file";
    case SFX_ERR_NO_MAGIC: return "no archive (the trailer magic is missing)";
    case SFX_ERR_EMPTY: return "the archive holds no entries";
    case SFX_ERR_CREATE_OUTPUT: return "cannot create an output file";
    case SFX_ERR_REOPEN_SELF: return "cannot reopen the archive file";
    case SFX_ERR_DAMAGED: return "the archive is damaged";
    case SFX_ERR_FILE_IO: return "a file could not be read or written whole";
    case SFX_ERR_BAD_FOLDER: return "cannot install into this folder";
    case SFX_ERR_PATH_TOO_LONG: return "a path of the installation would reach 260 characters";
    case SFX_ERR_NO_SPACE: return "not enough free disk space";
    case SFX_ERR_IN_USE: return "a file to be replaced is in use";
    case SFX_ERR_CANCELLED: return "interrupted";
    default: return "unknown result";
    }
}

CSfxArchive::CSfxArchive() { ResetEntries(); }

CSfxArchive::~CSfxArchive() = default;

void CSfxArchive::ResetEntries()
{
    for (SfxEntry& entry : m_entries)
        entry.Reset();
    m_nEntryCount = 0;
}

CString CSfxArchive::GetModulePath() { return FsModulePath(); }

CString CSfxArchive::GetArchivePath()
{
    return m_strArchivePath.IsEmpty() ? GetModulePath() : m_strArchivePath;
}

CString SfxWithTrailingBackslash(CString folder)
{
    // The last character, not the last byte: a folder ending in a
    // double-byte character such as "誠" (D5 5C) still needs its separator.
    const char* text = folder;
    int last = -1;
    for (int i = 0; text[i] != '\0'; i += AfxCharLength(text + i))
        last = i;
    const bool endsInSeparator = last >= 0 && text[last] == '\\' && AfxCharLength(text + last) == 1;
    if (!endsInSeparator)
        folder += '\\';
    return folder;
}

bool SfxIsSameFolder(const CString& a, const CString& b)
{
    // Letter case of single-byte letters only: the second byte of a
    // double-byte character may be a letter's byte ("\xB5\x41" and
    // "\xB5\x61" are two characters), and an escape holds none.
    const CString x = SfxWithTrailingBackslash(a), y = SfxWithTrailingBackslash(b);
    const char* p = x;
    const char* q = y;
    for (;;) {
        const int n = AfxCharLength(p);
        if (n != AfxCharLength(q))
            return false;
        if (n == 1) {
            const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
            if (lower(*p) != lower(*q))
                return false;
            if (*p == '\0')
                return true;
        } else if (std::memcmp(p, q, n) != 0) {
            return false;
        }
        p += n;
        q += n;
    }
}

CString CSfxArchive::EnsureTrailingBackslash(CString& strFolder)
{
    strFolder = SfxWithTrailingBackslash(strFolder);
    return strFolder;
}

bool IsInStringList(CStringArray& list, CString str)
{
    for (int i = 0; i < list.GetSize(); ++i)
        if (list.GetAt(i) == str)
            return true;
    return false;
}

bool CSfxArchive::IsFolderCreated(CString strFolder)
{
    CSfxAppState* app = AfxGetAppState();
    return app && IsInStringList(app->m_createdFolders, strFolder);
}

void CSfxArchive::AddCreatedFolder(CString strFolder)
{
    if (CSfxAppState* app = AfxGetAppState())
        app->m_createdFolders.SetAtGrow(app->m_createdFolders.GetSize(), strFolder);
}

void CSfxArchive::CreateFolders(CString strPath)
{
    // Every prefix that ends before a separator is a folder; the part after
    // the last separator is the file. Each folder is tried once per run.
    for (int pos = strPath.Find('\\'); pos >= 0; pos = strPath.Find('\\', pos + 1)) {
        const CString prefix = strPath.Left(pos);
        if (!IsFolderCreated(prefix)) {
            // Only a folder this run makes is recorded, so that undoing the
            // run never removes one that was there before.
            if (!FileExists(prefix) && (!m_pUndo || m_pUndo->WillMakeFolder(prefix)))
                FsMakeFolder(prefix);
            AddCreatedFolder(prefix);
        }
    }
}

int CSfxArchive::ReadDirectory(CString strArchivePath)
{
    ResetEntries();
    m_strLastError.Empty();
    m_nArchiveEnd = 0;
    m_nDirectoryStart = 0;
    m_nTableOffset = m_nTableSize = 0;
    CFile file;
    CFileException openError;
    if (!file.Open(strArchivePath, CFile::modeRead | CFile::shareDenyWrite, &openError)) {
        Failed(openError.GetErrorText(), openError.m_lOsError);
        return SFX_ERR_OPEN_SELF;
    }
    try {
        const int64_t fileLength = file.GetLength();
        if (fileLength < SFX_MAGIC_LENGTH)
            return SFX_ERR_NO_MAGIC;
        if (fileLength >= SFX_MAX_FILE_SIZE)
            return SFX_ERR_DAMAGED;  // positions are signed 32-bit
        // A signed file carries its certificate table behind the archive.
        const SfxArchiveBounds bounds = SfxLocateArchiveEnd(&ReadFileAt, &file, fileLength);
        m_nArchiveEnd = bounds.archiveEnd;
        m_nTableOffset = bounds.tableOffset;
        m_nTableSize = bounds.tableSize;
        const LONG length = static_cast<LONG>(bounds.archiveEnd);

        char magic[SFX_MAGIC_LENGTH];
        file.Seek(length - SFX_MAGIC_LENGTH, CFile::begin);
        if (file.Read(magic, SFX_MAGIC_LENGTH) != SFX_MAGIC_LENGTH || std::memcmp(magic, SFX_MAGIC, SFX_MAGIC_LENGTH) != 0)
            return SFX_ERR_NO_MAGIC;
        if (length < SFX_TRAILER_LENGTH)
            return SFX_ERR_DAMAGED;

        const uint32_t count = ReadFieldFromEnd(file, length, SFX_TRAILER_LENGTH);
        if (count == 0)
            return SFX_ERR_EMPTY;
        if (count > static_cast<uint32_t>(SFX_MAX_ENTRIES))
            return SFX_ERR_DAMAGED;
        m_nEntryCount = static_cast<int>(count);

        // Walk the records backwards from the trailer, checking before each
        // read that the field lies inside the file.
        int64_t d = SFX_TRAILER_LENGTH;
        char name[SFX_NAME_BUFFER];
        for (int i = m_nEntryCount - 1; i >= 0; --i) {
            if (d + SFX_RECORD_FIXED_LENGTH > length)
                return SFX_ERR_DAMAGED;
            d += 4;
            const uint32_t nameLength = ReadFieldFromEnd(file, length, static_cast<LONG>(d));
            if (nameLength >= static_cast<uint32_t>(SFX_NAME_BUFFER) || d + nameLength + 8 > length)
                return SFX_ERR_DAMAGED;
            d += nameLength;
            file.Seek(static_cast<LONG>(length - d), CFile::begin);
            if (file.Read(name, nameLength) != nameLength)
                return SFX_ERR_DAMAGED;
            d += 4;
            const uint32_t packedSize = ReadFieldFromEnd(file, length, static_cast<LONG>(d));
            d += 4;
            const uint32_t offset = ReadFieldFromEnd(file, length, static_cast<LONG>(d));

            SfxEntry& entry = m_entries[i];
            entry.m_nPackedSize = static_cast<int32_t>(packedSize);
            entry.SetName(CString(name, static_cast<int>(nameLength)));
            entry.m_nOffset = static_cast<int32_t>(offset);
            if (SfxCheckStoredName(name, static_cast<int>(nameLength)) != SFX_NAME_OK)
                return SFX_ERR_DAMAGED;
        }

        // Every payload lies between the start of the file and the directory,
        // and holds at least a stream's length field: a shorter one is found
        // here, before an earlier installation's file is replaced by nothing.
        const int64_t directoryStart = length - d;
        m_nDirectoryStart = directoryStart;
        for (int i = 0; i < m_nEntryCount; ++i) {
            const SfxEntry& entry = m_entries[i];
            if (entry.m_nOffset < 0 || entry.m_nPackedSize < SFX_MIN_PAYLOAD_LENGTH ||
                int64_t(entry.m_nOffset) + int64_t(entry.m_nPackedSize) > directoryStart)
                return SFX_ERR_DAMAGED;
        }
        // A stored name that opens another entry's installed file would be
        // that file's temporary file, and would overwrite or delete it. On
        // Windows that is so whatever the letter case, with a slash for a
        // backslash, and with dots or blanks after the name.
        std::vector<std::string> storedKeys, installedKeys;
        for (int i = 0; i < m_nEntryCount; ++i) {
            const std::string& stored = m_entries[i].m_strName.str();
            storedKeys.push_back(SfxWindowsPathKey(stored));
            installedKeys.push_back(SfxWindowsPathKey(stored.substr(0, stored.size() - SFX_NAME_SUFFIX_LENGTH)));
        }
        for (const std::string& stored : storedKeys)
            for (const std::string& installed : installedKeys)
                if (stored == installed)
                    return SFX_ERR_DAMAGED;
    } catch (const CFileException& e) {
        Failed(e.GetErrorText(), e.m_lOsError);
        return SFX_ERR_DAMAGED;
    }
    return SFX_OK;
}

bool CSfxArchive::Pulse() { return !m_pfnPulse || m_pfnPulse(m_pPulseContext); }

void CSfxArchive::Failed(const CString& text, long osError)
{
    m_strLastError = text;
    if (osError != 0)
        SfxLog("failed: %s (system error %ld: %s)", text.GetString(), osError, FsErrorText(osError).GetString());
    else
        SfxLog("failed: %s", text.GetString());
}

int CSfxArchive::ExtractEntry(CFile* pArchive, int nIndex, CString strDestFolder)
{
    // Unpacked on its own, the entry is a run of one: whole, or undone.
    if (m_pUndo)
        return UnpackEntry(pArchive, nIndex, strDestFolder);
    CSfxUndo undo(strDestFolder);
    m_pUndo = &undo;
    const int result = UnpackEntry(pArchive, nIndex, strDestFolder);
    m_pUndo = nullptr;
    if (result == SFX_OK)
        undo.Commit();
    else
        undo.Rollback();
    return result;
}

int CSfxArchive::UnpackEntry(CFile* pArchive, int nIndex, const CString& strDestFolder)
{
    const SfxEntry& entry = m_entries[nIndex];
    const CString tempPath = strDestFolder + entry.GetName();
    const CString finalPath = CSfxUndo::FinalPath(tempPath);
    const CString newPath = CSfxUndo::NewPath(finalPath);
    // A file this run has written already (the archive names it twice) is
    // replaced outright: the earlier installation's file is kept once.
    const bool rewriting = m_pUndo->HasWritten(tempPath) && FileExists(CSfxUndo::BackupPath(finalPath));
    const bool replacing = !rewriting && FileExists(finalPath);
    if (!Pulse())
        return SFX_ERR_CANCELLED;
    // When the final file exists, so do its folders. The folders are
    // recorded before the file, so that undoing removes the file first.
    if (!replacing && !rewriting)
        CreateFolders(tempPath);
    if (!rewriting && !m_pUndo->WillWriteFile(tempPath, replacing)) {
        Failed(CSfxUndo::JournalPath(strDestFolder) + ": cannot record the change", FsLastError());
        return SFX_ERR_FILE_IO;
    }

    const int copied = CopyPayload(pArchive, entry, tempPath);
    if (copied != SFX_OK)
        return copied;

    // The new content is whole in NAME.zun before the earlier file moves.
    // A link, FIFO or device planted there is replaced, never written through.
    if (FsIsSpecialFile(newPath))
        FsDeleteFile(newPath);
    const int decoded = LzariCodeFile(tempPath, newPath, false, m_pfnPulse, m_pPulseContext);
    FsDeleteFile(tempPath);
    if (decoded != LZARI_OK) {
        // A file that was not decoded whole must not pass for an installed one.
        FsDeleteFile(newPath);
        Failed(finalPath + ": " + CodecFailureText(decoded), 0);
        return ResultFromCodec(decoded);
    }

    // The earlier file (read-only, hidden or system alike, or a link) moves
    // aside as it is, and comes back as it was if the run fails.
    if (replacing && !FsMoveFile(finalPath, CSfxUndo::BackupPath(finalPath))) {
        const long osError = FsLastError();
        FsDeleteFile(newPath);
        Failed(finalPath + ": cannot move the earlier file aside", osError);
        return SFX_ERR_FILE_IO;
    }
    if (rewriting) {
        FsClearAttributes(finalPath);
        FsDeleteFile(finalPath);
    }
    if (!FsMoveFile(newPath, finalPath)) {
        const long osError = FsLastError();
        FsDeleteFile(newPath);
        Failed(finalPath + ": cannot move the new file in", osError);
        return SFX_ERR_FILE_IO;
    }
    SfxLog("%s %s", replacing || rewriting ? "replaced" : "wrote", finalPath.GetString());
    return SFX_OK;
}

int CSfxArchive::CopyPayload(CFile* pArchive, const SfxEntry& entry, const CString& tempPath)
{
    // A link, FIFO or device planted at the temporary name is replaced,
    // never written through.
    if (FsIsSpecialFile(tempPath))
        FsDeleteFile(tempPath);
    CFile temp;
    CFileException openError;
    if (!temp.Open(tempPath, CFile::modeCreate | CFile::modeWrite, &openError)) {
        Failed(openError.GetErrorText(), openError.m_lOsError);
        return SFX_ERR_CREATE_OUTPUT;
    }
    int result = SFX_OK;
    try {
        pArchive->Seek(entry.m_nOffset, CFile::begin);
        char buffer[SFX_COPY_CHUNK];
        int32_t copied = 0;
        for (int chunk = 1; copied < entry.m_nPackedSize; ++chunk) {
            const int32_t left = entry.m_nPackedSize - copied;
            const UINT want = static_cast<UINT>(left < SFX_COPY_CHUNK ? left : SFX_COPY_CHUNK);
            const UINT got = pArchive->Read(buffer, want);
            if (got == 0) {
                // The archive ended before the payload did (it changed under us).
                Failed(pArchive->GetFilePath() + ": payload runs past the end of the file", 0);
                result = SFX_ERR_DAMAGED;
                break;
            }
            temp.Write(buffer, got);
            copied += static_cast<int32_t>(got);
            if (chunk % 64 == 0 && !Pulse()) {
                result = SFX_ERR_CANCELLED;
                break;
            }
        }
        if (result == SFX_OK)
            temp.Close();
    } catch (const CFileException& e) {
        Failed(e.GetErrorText(), e.m_lOsError);
        result = SFX_ERR_FILE_IO;
    }
    if (result != SFX_OK) {
        temp.Abort();
        FsDeleteFile(tempPath);
    }
    return result;
}

bool CSfxArchive::IsEntryWritten(int index, bool keepDataMode, CStringArray& protectedFiles) const
{
    const CString& stored = m_entries[index].m_strName;
    const CString finalName = stored.Left(stored.GetLength() - SFX_NAME_SUFFIX_LENGTH);
    return !(keepDataMode && IsInStringList(protectedFiles, finalName));
}

int CSfxArchive::CheckBeforeWriting(CFile& archive, const CString& folder, const bool* writes, CSfxUndo& undo)
{
    CSfxRunChecks checks(*this, archive, folder, writes);
    const SfxRunReport& report = checks.Report();
    // Each check and what it found, in the run's log.
    const auto logged = [&](const char* check, int result) {
        if (result == SFX_OK)
            SfxLog("check %s: ok", check);
        else
            SfxLog("check %s: %s%s%s", check, SfxResultText(result), report.path.IsEmpty() ? "" : ": ",
                   report.path.GetString());
        return result;
    };
    int result = logged("digests", SfxCheckDigests(archive, *this, writes, m_pfnPulse, m_pPulseContext, &m_nDamagedEntry));
    if (result == SFX_OK && !m_bRelativeFolderAllowed)
        result = logged("folder is absolute", checks.FolderIsAbsolute());
    if (result == SFX_OK)
        result = logged("folder can be used", checks.FolderCanBeUsed(undo));
    if (result == SFX_OK)
        result = logged("paths fit", checks.PathsFit());
    if (result == SFX_OK)
        result = logged("free space", checks.SpaceSuffices());
    if (result == SFX_OK)
        result = logged("files to replace are free", checks.FilesAreFree());
    m_strProblemPath = report.path;
    m_nSpaceNeeded = report.needed;
    m_nSpaceAvailable = report.available;
    if (report.needed > 0)
        SfxLog("space: %s MB needed, %s MB available", SfxMegabytes(report.needed, true).c_str(),
               SfxMegabytes(report.available, false).c_str());
    if (!report.errorText.IsEmpty())
        Failed(report.errorText, report.osError);
    return result;
}

int CSfxArchive::Undo(int result, CSfxUndo& undo)
{
    CString notPutBack;
    m_bUndoneWhole = undo.Rollback(&notPutBack);
    if (m_bWritten)
        SfxLog(m_bUndoneWhole ? "undo: every change of the run was taken back; the folder is as it was"
                              : "undo: %s could not be put back; the next run in this folder puts it back",
               notPutBack.GetString());
    if (!m_bUndoneWhole) {
        m_strProblemPath = notPutBack;
        m_strLastError += CString(m_strLastError.IsEmpty() ? "" : "; ") + notPutBack +
                          ": could not be put back (the next run in this folder does it)";
    }
    // A folder that is gone must be made again by a later run.
    if (CSfxAppState* app = AfxGetAppState()) {
        CStringArray& cache = app->m_createdFolders;
        for (const CString& removed : undo.RemovedFolders())
            for (int i = cache.GetSize() - 1; i >= 0; --i)
                if (cache.GetAt(i) == removed)
                    cache.RemoveAt(i);
    }
    return result;
}

int CSfxArchive::ExtractAll(CString strDestFolder, SfxProgressFn pfnProgress, void* pContext)
{
    EnsureTrailingBackslash(strDestFolder);
    m_strLastError.Empty();
    m_strProblemPath.Empty();
    m_nSpaceNeeded = m_nSpaceAvailable = 0;
    m_nDamagedEntry = -1;
    m_bWritten = false;
    m_bUndoneWhole = true;

    CSfxRunState fallbackState;
    CSfxRunState* state = RunState(fallbackState);
    CSfxAppState* app = AfxGetAppState();

    // A run killed part way left its journal: the folder is put back first,
    // before even the marker below is looked for.
    if (m_bRelativeFolderAllowed || FsIsAbsoluteFolder(strDestFolder)) {
        CString notPutBack;
        if (!CSfxUndo::Recover(strDestFolder, &notPutBack)) {
            m_strProblemPath = notPutBack;
            Failed(notPutBack + ": an earlier run's change could not be put back", 0);
            return FsProbeFileUse(notPutBack) == FS_FILE_IN_USE ? SFX_ERR_IN_USE : SFX_ERR_FILE_IO;
        }
    }

    // Installing over an earlier installation's user data keeps that data,
    // even when the user did not ask for it. Once set, the flag stays set.
    if (!state->m_bKeepDataMode)
        state->m_bKeepDataMode = FileExists(strDestFolder + SFX_KEEP_MARKER);

    const CString archivePath = GetArchivePath();
    const int read = ReadDirectory(archivePath);
    if (read != SFX_OK)
        return read;

    CFile archive;
    CFileException openError;
    if (!archive.Open(archivePath, CFile::modeRead | CFile::shareDenyWrite, &openError)) {
        Failed(openError.GetErrorText(), openError.m_lOsError);
        return SFX_ERR_REOPEN_SELF;
    }

    state->m_nTotal = m_nEntryCount;
    CStringArray noProtectedFiles;
    CStringArray& protectedFiles = app ? app->m_protectedFiles : noProtectedFiles;
    bool writes[SFX_MAX_ENTRIES];
    int written = 0;
    for (int i = 0; i < m_nEntryCount; ++i)
        written += writes[i] = IsEntryWritten(i, state->m_bKeepDataMode, protectedFiles);
    SfxLog("archive: %d entries, %d to write into %s; user data %s", m_nEntryCount, written,
           strDestFolder.GetString(), state->m_bKeepDataMode ? "kept" : "not kept");

    CSfxUndo undo(strDestFolder);
    const int checked = CheckBeforeWriting(archive, strDestFolder, writes, undo);
    if (checked != SFX_OK)
        return Undo(checked, undo);  // removes the folders the checks made
    CString journalError;
    if (!undo.StartJournal(&journalError)) {
        Failed(journalError, FsLastError());
        return Undo(SFX_ERR_FILE_IO, undo);
    }
    m_bWritten = true;

    m_pUndo = &undo;
    int visited = 0;
    int result = SFX_OK;
    for (int i = m_nEntryCount - 1; i >= 0 && result == SFX_OK; --i) {
        ++visited;
        if (!IsEntryWritten(i, state->m_bKeepDataMode, protectedFiles))
            continue;
        result = ExtractEntry(&archive, i, strDestFolder);
        if (result != SFX_OK)
            break;  // everything is put back below; nothing is retried
        state->m_nProcessed = visited;
        if (pfnProgress)
            pfnProgress(&m_entries[i], pContext);
    }
    m_pUndo = nullptr;
    archive.Abort();
    if (result != SFX_OK)
        return Undo(result, undo);
    undo.Commit();
    return SFX_OK;
}

#include "SfxRunChecks.h"

#include <algorithm>

#include "archive/SfxNameCheck.h"
#include "framework/FileSystem.h"
#include "framework/Mbcs.h"

namespace {

uint64_t RoundUp(uint64_t bytes, uint32_t cluster) { return cluster ? (bytes + cluster - 1) / cluster * cluster : bytes; }

// Where the folder's own names begin: after "X:\", "\\server\share\", the
// POSIX root "\", or at once for a relative folder.
int RootLength(const CString& folder)
{
    if (folder.GetLength() >= 3 && folder[1] == ':' && folder[2] == '\\')
        return 3;
    if (folder.Left(2) == "\\\\") {
        const int serverEnd = folder.Find('\\', 2);
        const int shareEnd = serverEnd < 0 ? -1 : folder.Find('\\', serverEnd + 1);
        return shareEnd < 0 ? folder.GetLength() : shareEnd + 1;
    }
    return folder.Left(1) == "\\" ? 1 : 0;
}

}  // namespace

std::string SfxMegabytes(uint64_t bytes, bool roundUp)
{
    const uint64_t mb = uint64_t(1) << 20;
    const uint64_t tenths = (bytes * 10 + (roundUp ? mb - 1 : 0)) / mb;
    return std::to_string(tenths / 10) + "." + std::to_string(tenths % 10);
}

CSfxRunChecks::CSfxRunChecks(const CSfxArchive& archive, CFile& file, const CString& folder, const bool* writes)
    : m_archive(archive), m_file(file), m_folder(folder), m_writes(writes)
{
}

template <typename Visit>
void CSfxRunChecks::ForEachWrittenEntry(Visit visit) const
{
    for (int i = m_archive.GetEntryCount() - 1; i >= 0; --i)
        if (m_writes[i])
            visit(i, m_folder + m_archive.GetEntry(i).m_strName);
}

int CSfxRunChecks::Stop(int code, const CString& path)
{
    m_report.path = path;
    return code;
}

int CSfxRunChecks::FolderIsAbsolute()
{
    return FsIsAbsoluteFolder(m_folder) ? SFX_OK : Stop(SFX_ERR_BAD_FOLDER, m_folder);
}

int CSfxRunChecks::FolderCanBeUsed(CSfxUndo& undo)
{
    if (!FsIsFolder(m_folder)) {
        // Windows makes no folder whose path leaves no room for an 8.3 name.
        if (AfxUtf16Length(m_folder) - 1 >= SFX_MAX_FOLDER_PATH)
            return Stop(SFX_ERR_PATH_TOO_LONG, m_folder);
        for (int pos = m_folder.Find('\\', RootLength(m_folder)); pos >= 0; pos = m_folder.Find('\\', pos + 1)) {
            const CString prefix = m_folder.Left(pos);
            if (FsIsFolder(prefix))
                continue;
            if (FsMakeFolder(prefix) != 0) {
                m_report.osError = FsLastError();
                m_report.errorText = prefix + ": cannot make the folder";
                return Stop(SFX_ERR_BAD_FOLDER, prefix);
            }
            undo.FolderMadeBeforeJournal(prefix);
        }
    }
    // The journal's name: the run's first real write creates it again.
    const CString probe = CSfxUndo::JournalPath(m_folder);
    CFile file;
    CFileException error;
    if (!file.Open(probe, CFile::modeCreate | CFile::modeWrite, &error)) {
        m_report.errorText = error.GetErrorText();
        m_report.osError = error.m_lOsError;
        return Stop(SFX_ERR_BAD_FOLDER, m_folder);
    }
    file.Abort();
    FsDeleteFile(probe);
    return SFX_OK;
}

int CSfxRunChecks::PathsFit()
{
    CString tooLong;
    const auto fits = [](const CString& path, int limit) { return AfxUtf16Length(path) + 1 <= limit; };
    if (!fits(CSfxUndo::JournalPath(m_folder), SFX_MAX_PATH))
        tooLong = CSfxUndo::JournalPath(m_folder);
    ForEachWrittenEntry([&](int, const CString& tempPath) {
        if (!tooLong.IsEmpty())
            return;
        // NAME.zun and NAME.zbk are as long as the temporary NAME.zup.
        if (!fits(tempPath, SFX_MAX_PATH)) {
            tooLong = tempPath;
            return;
        }
        for (int pos = tempPath.Find('\\', m_folder.GetLength()); pos >= 0; pos = tempPath.Find('\\', pos + 1)) {
            const CString folder = tempPath.Left(pos);
            if (!fits(folder, SFX_MAX_FOLDER_PATH) && !FsIsFolder(folder)) {
                tooLong = folder;
                return;
            }
        }
    });
    return tooLong.IsEmpty() ? SFX_OK : Stop(SFX_ERR_PATH_TOO_LONG, tooLong);
}

int CSfxRunChecks::SpaceSuffices()
{
    uint64_t available = 0;
    uint32_t cluster = 0;
    if (!FsGetFreeSpace(m_folder, &available, &cluster))
        return SFX_OK;  // the host cannot tell; a full disk is still undone
    uint64_t needed = RoundUp(1, cluster);  // the journal
    uint64_t largestPacked = 0;
    try {
        ForEachWrittenEntry([&](int i, const CString&) {
            // The stream's length field is the size of the file it unpacks to.
            const SfxEntry& entry = m_archive.GetEntry(i);
            unsigned char field[4];
            m_file.Seek(entry.m_nOffset, CFile::begin);
            if (m_file.Read(field, 4) != 4)
                throw CFileException(CFileException::endOfFile, 0, m_file.GetFilePath());
            const uint32_t unpacked = uint32_t(field[0]) | uint32_t(field[1]) << 8 | uint32_t(field[2]) << 16 |
                                      uint32_t(field[3]) << 24;
            needed += RoundUp(unpacked, cluster);
            largestPacked = std::max<uint64_t>(largestPacked, static_cast<uint32_t>(entry.m_nPackedSize));
        });
    } catch (const CFileException& e) {
        m_report.errorText = e.GetErrorText();
        m_report.osError = e.m_lOsError;
        return SFX_ERR_FILE_IO;
    }
    needed += RoundUp(largestPacked, cluster);
    m_report.needed = needed;
    m_report.available = available;
    return needed <= available ? SFX_OK : Stop(SFX_ERR_NO_SPACE, m_folder);
}

int CSfxRunChecks::FilesAreFree()
{
    int result = SFX_OK;
    ForEachWrittenEntry([&](int, const CString& tempPath) {
        const CString finalPath = CSfxUndo::FinalPath(tempPath);
        if (result != SFX_OK || !FileExists(finalPath))
            return;
        switch (FsProbeFileUse(finalPath)) {
        case FS_FILE_FREE: break;
        case FS_FILE_IN_USE: result = Stop(SFX_ERR_IN_USE, finalPath); break;
        case FS_FILE_DENIED: result = Stop(SFX_ERR_BAD_FOLDER, finalPath); break;
        }
    });
    return result;
}

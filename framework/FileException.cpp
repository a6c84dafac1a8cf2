#include "File.h"

CString CFileException::GetErrorText() const
{
    const char* what = "file error";
    switch (m_cause) {
    case fileNotFound: what = "file not found"; break;
    case badPath: what = "bad path"; break;
    case tooManyOpenFiles: what = "too many open files"; break;
    case accessDenied: what = "access denied"; break;
    case invalidFile: what = "invalid file"; break;
    case directoryFull: what = "directory full"; break;
    case badSeek: what = "seek failed"; break;
    case hardIO: what = "I/O error"; break;
    case sharingViolation: what = "sharing violation"; break;
    case lockViolation: what = "lock violation"; break;
    case diskFull: what = "disk full"; break;
    case endOfFile: what = "unexpected end of file"; break;
    default: break;
    }
    CString text;
    text.Format("%s: %s (os error %ld)", m_strFileName.GetString(), what, m_lOsError);
    return text;
}

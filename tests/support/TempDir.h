// A scratch folder for one test, removed with everything in it afterwards.
// Its path is given in the installer's form: ANSI with backslashes.
#pragma once
#include "framework/String.h"

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const CString& Path() const { return m_path; }

private:
    CString m_path;
};

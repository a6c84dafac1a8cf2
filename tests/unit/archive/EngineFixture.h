// A scratch installation: an archive file, a destination folder, the
// application's shared state and a dialog-like run state.
#pragma once
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/SfxAppState.h"
#include "app/SfxRunState.h"
#include "archive/SfxArchive.h"
#include "support/ArchiveFixtures.h"
#include "support/TempDir.h"

class EngineTest : public ::testing::Test {
protected:
    EngineTest()
    {
        m_app.AddProtectedFiles();
        m_app.m_pMainDlg = &m_run;
        m_run.m_bKeepDataMode = false;
        m_archivePath = m_dir.Path() + "\\setup.exe";
        m_dest = m_dir.Path() + "\\dest";
        m_archive.SetArchivePath(m_archivePath);
    }

    void WriteArchive(const std::vector<FixtureFile>& files) { WriteBinaryFile(m_archivePath, MakeInstallerImage(files)); }

    // Runs the engine and records each callback's entry name and published count.
    int Extract(const CString& dest)
    {
        m_calls.clear();
        return m_archive.ExtractAll(dest, &EngineTest::Record, this);
    }
    int Extract() { return Extract(m_dest); }

    static int Record(SfxEntry* entry, void* context)
    {
        auto* self = static_cast<EngineTest*>(context);
        self->m_calls.push_back({entry->GetName().str(), self->m_run.m_nProcessed, self->m_run.m_nTotal});
        return 0;
    }

    std::string ReadDest(const char* name) { return ReadBinaryFile(m_dest + "\\" + name); }

    struct Call {
        std::string name;
        int processed;
        int total;  // as the dialog sees it when the callback runs
    };

    TempDir m_dir;
    CSfxAppState m_app;
    CSfxRunState m_run;
    CSfxArchive m_archive;
    CString m_archivePath;
    CString m_dest;
    std::vector<Call> m_calls;
};

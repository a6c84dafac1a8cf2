// The three members of the main dialog that the extraction engine shares
// with it. The dialog inherits this small portable base, so the engine and
// its tests build without any window code.
#pragma once

class CSfxRunState {
public:
    // KeepDataMode: while set, the engine leaves the protected files alone.
    bool m_bKeepDataMode = true;
    // Number of archive entries; written by the engine before the first entry.
    int m_nTotal = 0;
    // Entries visited so far; written by the engine before each callback.
    int m_nProcessed = 0;
};

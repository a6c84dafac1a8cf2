// The payload of `sfxpack build`: every entry encoded on its own worker
// thread into a temporary file beside the output, then appended to the
// output in entry order. Which thread packs which entry, and when, never
// shows in the result: the bytes are the same for any number of threads.
//
// Memory stays small whatever the payload's size: a worker holds one codec
// and streams through stdio; the temporary files take at most the packed
// size on disk, and each is gone as soon as it has been appended. They have
// no name (Linux) or are delete-on-close (Windows), so even a killed
// process leaves none. The work stops early when Interrupted() (Tool.h).
#pragma once
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "BuildPlan.h"
#include "Tool.h"
#include "archive/SfxArchiveWriter.h"
#include "archive/SfxDigest.h"

namespace sfxpack {

struct PackProgress {
    size_t entriesDone = 0;  // encoded so far, in any order
    size_t entriesTotal = 0;
    uint64_t bytesDone = 0;  // unpacked bytes of the encoded entries
    uint64_t bytesTotal = 0;
};

// Called on the thread that called PackEntries, a few times a second and
// after each appended entry.
using PackProgressFn = std::function<void(const PackProgress&)>;

struct PackRequest {
    const std::vector<PlannedEntry>* entries = nullptr;
    unsigned threads = 1;
    // Temporary files are created as tempStem + "-<entry>.tmp".
    std::filesystem::path tempStem;
    // Named in messages about writing.
    std::filesystem::path outputShown;
    PackProgressFn progress;
    // Fed every payload byte as it is appended, when the setup gets digests.
    CSfxDigestWriter* digests = nullptr;
};

// Appends the streams of all entries at the output's current end and
// returns their records. On failure returns false with a one-line reason;
// every temporary file is gone by then, and the output holds a partial
// payload that the caller discards.
bool PackEntries(const PackRequest& request, OutputFile* out, std::vector<SfxRecord>* records, std::string* error);

// The number of threads when the user names none.
unsigned DefaultThreadCount();

}  // namespace sfxpack

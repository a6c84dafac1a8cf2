// Damaged variants of one good installer image, each breaking one rule of
// the layout (or cutting the file or a stream short). Used by the engine
// tests, the sfxpack tests and as fuzzing seeds.
#pragma once
#include <string>
#include <vector>

struct DamagedImage {
    std::string label;
    std::string bytes;
    int expected;  // the engine's result code; 0 when any failure will do
};

// The good image the variants derive from.
std::string GoodCorpusImage();
std::vector<DamagedImage> MakeDamagedCorpus();

#pragma once
// Builders for the sample table atoms of a QuickTime "stbl", for tests.
#include <cstdint>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace oxltest {

// (sample count, value) runs of "stts" (value: delta) and "ctts" (value: offset).
using SampleRuns = std::vector<std::pair<uint32_t, uint32_t>>;
// (first chunk, 1-based; samples per chunk; sample description index) of "stsc".
using ChunkRuns = std::vector<std::tuple<uint32_t, uint32_t, uint32_t>>;

std::string RunTableAtom(const char* type, const SampleRuns& runs);
std::string StscAtom(const ChunkRuns& runs);
// One 32-bit word per entry: "stco" offsets, "stss"/"stps" sample numbers.
std::string WordTableAtom(const char* type, const std::vector<uint32_t>& words);
std::string Co64Atom(const std::vector<uint64_t>& offsets);
// `count` samples of `uniform` bytes, or (`uniform` 0) the sizes listed.
std::string StszAtom(uint32_t uniform, const std::vector<uint32_t>& sizes, uint32_t count = 0);
// A version-0 sound description of "stsd" (one entry).
std::string SoundStsdAtom(const char* format, uint16_t channels, uint16_t bits, uint16_t rate);

}  // namespace oxltest

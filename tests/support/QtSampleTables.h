#pragma once
// Builders for the sample table atoms of a QuickTime "stbl", for tests. A
// `declaredCount` of -1 declares the number of entries given; any other
// value is written instead, to make tables that claim more than they hold.
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

std::string RunTableAtom(const char* type, const SampleRuns& runs, int64_t declaredCount = -1);
std::string StscAtom(const ChunkRuns& runs, int64_t declaredCount = -1);
// One 32-bit word per entry: "stco" offsets, "stss"/"stps" sample numbers.
std::string WordTableAtom(const char* type, const std::vector<uint32_t>& words, int64_t declaredCount = -1);
std::string Co64Atom(const std::vector<uint64_t>& offsets, int64_t declaredCount = -1);
// Per-sample sizes when `uniform` is 0; the count is that of `sizes` unless declared.
std::string StszAtom(uint32_t uniform, const std::vector<uint32_t>& sizes, int64_t declaredCount = -1);
// A version-0 sound description of "stsd" (one entry).
std::string SoundStsdAtom(const char* format, uint16_t channels, uint16_t bits, uint16_t rate);

}  // namespace oxltest

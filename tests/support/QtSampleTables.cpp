#include "support/QtSampleTables.h"

#include "support/ByteBuilder.h"

namespace oxltest {
namespace {
uint32_t Count(size_t given, int64_t declared) { return static_cast<uint32_t>(declared < 0 ? int64_t(given) : declared); }
}  // namespace

std::string RunTableAtom(const char* type, const SampleRuns& runs, int64_t declaredCount) {
  ByteBuilder b;
  b.u32(Count(runs.size(), declaredCount));
  for (auto [count, value] : runs) b.u32(count).u32(value);
  return FullAtom(type, 0, 0, b.str());
}

std::string StscAtom(const ChunkRuns& runs, int64_t declaredCount) {
  ByteBuilder b;
  b.u32(Count(runs.size(), declaredCount));
  for (auto [first, perChunk, description] : runs) b.u32(first).u32(perChunk).u32(description);
  return FullAtom("stsc", 0, 0, b.str());
}

std::string WordTableAtom(const char* type, const std::vector<uint32_t>& words, int64_t declaredCount) {
  ByteBuilder b;
  b.u32(Count(words.size(), declaredCount));
  for (uint32_t w : words) b.u32(w);
  return FullAtom(type, 0, 0, b.str());
}

std::string Co64Atom(const std::vector<uint64_t>& offsets, int64_t declaredCount) {
  ByteBuilder b;
  b.u32(Count(offsets.size(), declaredCount));
  for (uint64_t o : offsets) b.u64(o);
  return FullAtom("co64", 0, 0, b.str());
}

std::string StszAtom(uint32_t uniform, const std::vector<uint32_t>& sizes, int64_t declaredCount) {
  ByteBuilder b;
  b.u32(uniform).u32(Count(sizes.size(), declaredCount));
  for (uint32_t s : sizes) b.u32(s);
  return FullAtom("stsz", 0, 0, b.str());
}

std::string SoundStsdAtom(const char* format, uint16_t channels, uint16_t bits, uint16_t rate) {
  ByteBuilder entry;
  entry.u32(36).fourcc(format).zeros(6).u16(1);
  entry.u16(0).u16(0).u32(0).u16(channels).u16(bits).u16(0).u16(0).u16(rate).u16(0);
  return FullAtom("stsd", 0, 0, ByteBuilder().u32(1).bytes(entry.str()).str());
}

}  // namespace oxltest

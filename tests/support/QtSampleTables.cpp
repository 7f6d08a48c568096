#include "support/QtSampleTables.h"

#include "support/ByteBuilder.h"

namespace oxltest {

// A version-0 table atom: `count`, then the entries.
static std::string Table(const char* type, size_t count, const ByteBuilder& entries) {
  return FullAtom(type, 0, 0, ByteBuilder().u32(static_cast<uint32_t>(count)).bytes(entries).str());
}

std::string RunTableAtom(const char* type, const SampleRuns& runs) {
  ByteBuilder b;
  for (auto [count, value] : runs) b.u32(count).u32(value);
  return Table(type, runs.size(), b);
}

std::string StscAtom(const ChunkRuns& runs) {
  ByteBuilder b;
  for (auto [first, perChunk, description] : runs) b.u32(first).u32(perChunk).u32(description);
  return Table("stsc", runs.size(), b);
}

std::string WordTableAtom(const char* type, const std::vector<uint32_t>& words) {
  ByteBuilder b;
  for (uint32_t w : words) b.u32(w);
  return Table(type, words.size(), b);
}

std::string Co64Atom(const std::vector<uint64_t>& offsets) {
  ByteBuilder b;
  for (uint64_t o : offsets) b.u64(o);
  return Table("co64", offsets.size(), b);
}

std::string StszAtom(uint32_t uniform, const std::vector<uint32_t>& sizes, uint32_t count) {
  ByteBuilder b;
  for (uint32_t s : sizes) b.u32(s);
  return FullAtom("stsz", 0, 0, ByteBuilder().u32(uniform).u32(uniform ? count : uint32_t(sizes.size())).bytes(b).str());
}

std::string SoundStsdAtom(const char* format, uint16_t channels, uint16_t bits, uint16_t rate) {
  ByteBuilder entry;
  entry.u32(36).fourcc(format).zeros(6).u16(1);
  entry.u16(0).u16(0).u32(0).u16(channels).u16(bits).u16(0).u16(0).u16(rate).u16(0);
  return Table("stsd", 1, entry);
}

}  // namespace oxltest
